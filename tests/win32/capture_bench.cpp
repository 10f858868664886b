// Prints what one screen capture costs: GetDC(0) + BitBlt of the whole screen into a DIB
// section, and the copy of its rows into a second buffer as a capture into a bitmap that does
// not live on the section needs.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/win32/capture.h"

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  const int width = DesktopWidth();
  const int height = DesktopHeight();
  auto surface = TWin32DibSurface::Create(width, height);
  if (!surface) {
    std::printf("no %dx%d DIB section\n", width, height);
    return 1;
  }
  std::vector<std::uint32_t> target(std::size_t(width) * height);
  std::vector<double> blit;
  std::vector<double> copy;
  CaptureDesktop(*surface, width, height);  // the first one pays for setting up the drivers
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!CaptureDesktop(*surface, width, height)) {
      std::printf("capture failed\n");
      return 1;
    }
    const auto blitted = std::chrono::steady_clock::now();
    std::memcpy(target.data(), surface->Pixels(), target.size() * 4);
    const auto copied = std::chrono::steady_clock::now();
    blit.push_back(std::chrono::duration<double, std::milli>(blitted - start).count());
    copy.push_back(std::chrono::duration<double, std::milli>(copied - blitted).count());
  }
  auto median = [](std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
  };
  std::printf("screen %dx%d, %d captures: GetDC+BitBlt median %.2f ms (min %.2f, max %.2f), row copy median %.2f ms\n",
              width, height, rounds, median(blit), *std::min_element(blit.begin(), blit.end()),
              *std::max_element(blit.begin(), blit.end()), median(copy));
  return 0;
}

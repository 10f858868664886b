#pragma once

#include <cstdint>
#include <memory>

// A 32-bit top-down DIB section with a memory DC selected into it: pixels 0x00RRGGBB in memory
// we can read and the desktop can be block-copied into.
class TWin32DibSurface {
 public:
  // Null when the memory or the DC cannot be had.
  static std::unique_ptr<TWin32DibSurface> Create(int width, int height);
  ~TWin32DibSurface();
  TWin32DibSurface(const TWin32DibSurface&) = delete;
  TWin32DibSurface& operator=(const TWin32DibSurface&) = delete;

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  std::uint32_t* Pixels() const { return FPixels; }  // rows packed, Width() pixels each
  void* Dc() const { return FDc; }

 private:
  TWin32DibSurface() = default;

  int FWidth = 0;
  int FHeight = 0;
  std::uint32_t* FPixels = nullptr;
  void* FDc = nullptr;
  void* FBitmap = nullptr;
  void* FOldBitmap = nullptr;
};

// Copies the desktop's pixels (left, top, width, height) to (0, 0) of `target` with GetDC(0) and
// BitBlt, clipped to the target. The origin is in the virtual screen's pixels: (0, 0) is the
// primary monitor's corner, a monitor left of or above it has negative coordinates. False when
// the desktop could not be read.
bool CaptureDesktop(TWin32DibSurface& target, int width, int height, int left = 0, int top = 0);

// The primary screen's size in pixels.
int DesktopWidth();
int DesktopHeight();

// GetCursorPos; false when the position cannot be read (a secure desktop is in front).
bool CursorPosition(int& x, int& y);

// Brings `window` (an HWND) to the foreground as far as the foreground rules allow.
void BringWindowForward(std::uintptr_t window);

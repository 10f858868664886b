// Writes the fuzzer's seed corpus: one tiny valid file of each kind the decoder reads, made by the
// tests' independent writer.
//   make_seeds <folder>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/unit/bmp_builder.h"

using namespace BmpTest;

namespace {

std::vector<std::uint32_t> Palette(int n) {
  std::vector<std::uint32_t> p;
  for (int i = 0; i < n; ++i) p.push_back(std::uint32_t(i * 0x010305) & 0xFFFFFF);
  return p;
}

std::vector<std::uint32_t> Values(int count, std::uint32_t mod, std::uint32_t step = 1) {
  std::vector<std::uint32_t> v;
  for (int i = 0; i < count; ++i) v.push_back((std::uint32_t(i) * step) % mod);
  return v;
}

TFormat Format(std::uint32_t headerSize, int bits, std::uint32_t compression = BiRgb, int palette = 0,
               std::array<std::uint32_t, 3> masks = {}, bool topDown = false) {
  TFormat f;
  f.HeaderSize = headerSize, f.BitCount = bits, f.Compression = compression;
  f.Palette = Palette(palette), f.Masks = masks, f.TopDown = topDown;
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const std::array<std::uint32_t, 3> m565{0xF800, 0x07E0, 0x001F}, m888{0xFF0000, 0xFF00, 0xFF};
  const struct {
    const char* Name;
    std::vector<std::uint8_t> File;
  } seeds[] = {
      {"core1", MakeBmp(Format(12, 1, BiRgb, 2), 5, 3, Values(15, 2))},
      {"core8", MakeBmp(Format(12, 8, BiRgb, 16), 3, 2, Values(6, 16, 5))},
      {"core24", MakeBmp(Format(12, 24), 3, 2, Values(6, 0xFFFFFF, 0x123457))},
      {"info1", MakeBmp(Format(40, 1, BiRgb, 2), 9, 2, Values(18, 2))},
      {"info4", MakeBmp(Format(40, 4, BiRgb, 16), 5, 3, Values(15, 16, 3))},
      {"info8", MakeBmp(Format(40, 8, BiRgb, 8), 3, 3, Values(9, 8))},
      {"info8-topdown", MakeBmp(Format(40, 8, BiRgb, 4, {}, true), 3, 2, Values(6, 4))},
      {"info16", MakeBmp(Format(40, 16), 3, 2, Values(6, 0x10000, 0x1357))},
      {"info16-fields", MakeBmp(Format(40, 16, BiBitFields, 0, m565), 3, 2, Values(6, 0x10000, 0x2468))},
      {"info24", MakeBmp(Format(40, 24), 3, 2, Values(6, 0xFFFFFF, 0x123457))},
      {"info32", MakeBmp(Format(40, 32), 2, 2, Values(4, 0xFFFFFFFF, 0x12345679))},
      {"info32-fields",
       MakeBmp(Format(40, 32, BiBitFields, 0, {0x3FF00000, 0xFFC00, 0x3FF}), 2, 2, Values(4, 0xFFFFFFFF, 0x12345679))},
      {"v2-16", MakeBmp(Format(52, 16, BiBitFields, 0, m565), 2, 2, Values(4, 0x10000, 0x2468))},
      {"v3-32", MakeBmp(Format(56, 32, BiBitFields, 0, m888), 2, 2, Values(4, 0xFFFFFF, 0x123457))},
      {"v4-24", MakeBmp(Format(108, 24), 2, 2, Values(4, 0xFFFFFF, 0x123457))},
      {"v5-32-topdown", MakeBmp(Format(124, 32, BiRgb, 0, {}, true), 2, 2, Values(4, 0xFFFFFF, 0x123457))},
      {"rle8", MakeBmpFile(Format(40, 8, BiRle8, 8), 6, 3, {3, 1, 0, 3, 2, 3, 4, 0, 0, 0, 0, 2, 2, 1, 2, 5, 0, 1})},
      {"rle4", MakeBmpFile(Format(40, 4, BiRle4, 16), 7, 2,
                           {4, 0x12, 0, 3, 0x34, 0x50, 0, 0, 0, 5, 0x67, 0x89, 0xA0, 0x00, 2, 0xBB, 0, 1})},
  };
  for (const auto& seed : seeds) {
    const std::string path = std::string(argv[1]) + "/" + seed.Name + ".bmp";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out || std::fwrite(seed.File.data(), 1, seed.File.size(), out) != seed.File.size() || std::fclose(out) != 0) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}

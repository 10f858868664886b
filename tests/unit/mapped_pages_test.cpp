// Letting go of the resident pages of mapped data files: the data reads back the same, while
// a private copy written into a read-only mapping and the program's own image are kept.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sysutils.h"

namespace {

constexpr std::size_t FileBytes = 64 * 4096;

// Resident kB of the mapping that holds `address`, as the system reports it; -1 when none does.
long ResidentKb(const void* address) {
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  std::FILE* smaps = std::fopen("/proc/self/smaps", "re");
  if (!smaps) return -1;
  char line[4096];
  bool inside = false;
  long kb = -1;
  while (std::fgets(line, sizeof line, smaps)) {
    unsigned long start = 0, end = 0;
    // Only a mapping's own line starts with its range; its fields start with their names.
    if (std::sscanf(line, "%lx-%lx ", &start, &end) == 2) {
      inside = start <= at && at < end;
      continue;
    }
    long value = 0;
    if (inside && std::sscanf(line, "Rss: %ld kB", &value) == 1) {
      kb = value;
      break;
    }
  }
  std::fclose(smaps);
  return kb;
}

std::uint8_t PatternAt(std::size_t i) { return std::uint8_t(i * 7 + i / 4096); }

class MappedFile {
 public:
  MappedFile(const QString& path, int prot) {
    const std::string name = path.toStdString();
    const int fd = open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    std::vector<std::uint8_t> bytes(FileBytes);
    for (std::size_t i = 0; i < FileBytes; ++i) bytes[i] = PatternAt(i);
    if (fd >= 0 && write(fd, bytes.data(), bytes.size()) == ssize_t(bytes.size()))
      FData = static_cast<std::uint8_t*>(mmap(nullptr, FileBytes, prot, MAP_PRIVATE, fd, 0));
    if (fd >= 0) close(fd);
    if (FData == MAP_FAILED) FData = nullptr;
  }
  ~MappedFile() {
    if (FData) munmap(FData, FileBytes);
  }
  std::uint8_t* Data() const { return FData; }
  // Reads every page, as a font engine reading its glyphs would.
  unsigned ReadAll() const {
    unsigned sum = 0;
    for (std::size_t i = 0; i < FileBytes; i += 512) sum += static_cast<volatile std::uint8_t*>(FData)[i];
    return sum;
  }

 private:
  std::uint8_t* FData = nullptr;
};

TEST(MappedDataPages, ReadDataGoesAndReadsBackTheSameAndWrittenCopiesStay) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  const MappedFile data(folder.filePath(QStringLiteral("face.ttf")), PROT_READ);
  ASSERT_NE(data.Data(), nullptr);
  const unsigned sum = data.ReadAll();
  ASSERT_GT(ResidentKb(data.Data()), 0);

  // A private mapping written into and then made read-only holds the only copy of its bytes.
  const MappedFile written(folder.filePath(QStringLiteral("written.bin")), PROT_READ | PROT_WRITE);
  ASSERT_NE(written.Data(), nullptr);
  written.Data()[5] = 0xA5;
  written.Data()[FileBytes - 1] = 0x5A;
  ASSERT_EQ(mprotect(written.Data(), FileBytes, PROT_READ), 0);

  EXPECT_GE(ReleaseMappedDataPages(), FileBytes);
  EXPECT_EQ(ResidentKb(data.Data()), 0);
  EXPECT_EQ(data.ReadAll(), sum);
  for (std::size_t i : {std::size_t(0), std::size_t(4096), FileBytes - 1}) EXPECT_EQ(data.Data()[i], PatternAt(i)) << i;
  EXPECT_EQ(written.Data()[5], 0xA5);
  EXPECT_EQ(written.Data()[FileBytes - 1], 0x5A);
  EXPECT_EQ(written.Data()[6], PatternAt(6));

  // Read again, the data is resident again and a second release lets it go again.
  EXPECT_GT(ResidentKb(data.Data()), 0);
  EXPECT_GE(ReleaseMappedDataPages(), FileBytes);
  EXPECT_EQ(ResidentKb(data.Data()), 0);
}

TEST(MappedDataPages, TheProgramsOwnImageIsKept) {
  // The program's read-only constants lie in a segment of its image that has no code in it.
  static const char constant[] = "a constant of the program's image";
  ASSERT_EQ(static_cast<const volatile char*>(constant)[0], 'a');
  ASSERT_GT(ResidentKb(constant), 0);
  ReleaseMappedDataPages();
  EXPECT_GT(ResidentKb(constant), 0);
}

}  // namespace

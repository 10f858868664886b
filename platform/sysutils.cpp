#include "platform/sysutils.h"

#include <limits>
#include <map>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>
#endif

void ReleaseFreeMemory() {
#if defined(__GLIBC__)
  // glibc gives back only the free top of its heap by itself; a freed screen-sized buffer lower
  // down stays resident until told.
  malloc_trim(0);
#endif
}

#if defined(__linux__)
namespace {

struct TMapping {
  std::uintptr_t Start = 0;
  std::uintptr_t End = 0;
  bool DataOnly = false;  // readable only: neither written nor run
  std::string Path;
  std::size_t Resident = 0;   // kB
  std::size_t Anonymous = 1;  // kB of private copies; unknown counts as some
};

// The file mappings of the process as /proc/self/smaps lists them.
std::vector<TMapping> FileMappings() {
  std::vector<TMapping> mappings;
  std::FILE* smaps = std::fopen("/proc/self/smaps", "re");
  if (!smaps) return mappings;
  char line[4096];
  while (std::fgets(line, sizeof line, smaps)) {
    unsigned long start = 0, end = 0;
    char perms[8] = {};
    int pathAt = 0;
    if (std::sscanf(line, "%lx-%lx %7s %*s %*s %*s %n", &start, &end, perms, &pathAt) >= 3 && pathAt > 0) {
      TMapping m;
      m.Start = start;
      m.End = end;
      m.DataOnly = perms[0] == 'r' && perms[1] == '-' && perms[2] == '-';
      m.Path = line + pathAt;
      while (!m.Path.empty() && (m.Path.back() == '\n' || m.Path.back() == ' ')) m.Path.pop_back();
      // The executable mappings mark an image too, so that none of its segments is let go.
      if (perms[2] == 'x') m.DataOnly = false;
      mappings.push_back(std::move(m));
      continue;
    }
    if (mappings.empty()) continue;
    std::size_t kb = 0;
    if (std::sscanf(line, "Rss: %zu kB", &kb) == 1) mappings.back().Resident = kb;
    if (std::sscanf(line, "Anonymous: %zu kB", &kb) == 1) mappings.back().Anonymous = kb;
  }
  std::fclose(smaps);
  return mappings;
}

}  // namespace
#endif

std::size_t ReleaseMappedDataPages() {
#if defined(__linux__)
  // FreeType reads a face through a mapping of its file, and loading one face with Chinese
  // glyphs touches megabytes of it (the hinter reads dozens of sample glyphs, and each fault
  // maps its neighbours too); they stay resident while idle though nothing reads them until
  // the next caption.
  const std::vector<TMapping> mappings = FileMappings();
  std::set<std::string> images;  // files with code in them: programs and libraries
  for (const TMapping& m : mappings)
    if (!m.DataOnly && !m.Path.empty()) images.insert(m.Path);
  std::size_t released = 0;
  for (const TMapping& m : mappings) {
    // Only whole files of data that nobody wrote into: dropping a private copy would lose it.
    if (!m.DataOnly || m.Path.empty() || m.Path.front() != '/' || m.Anonymous != 0 || m.Resident == 0) continue;
    if (images.count(m.Path) || m.Path.find(" (deleted)") != std::string::npos) continue;
    if (madvise(reinterpret_cast<void*>(m.Start), m.End - m.Start, MADV_DONTNEED) == 0) released += m.Resident * 1024;
  }
  return released;
#else
  return 0;
#endif
}

String Trim(std::string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  // Bytes of multi-byte characters are 0x80 and above, so only ASCII blanks and controls go.
  while (first < last && static_cast<unsigned char>(text[first]) < 33) ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) < 33) --last;
  return String(text.substr(first, last - first));
}

std::int32_t StrToInt(std::string_view text) {
  const auto fail = [&] { return EConvertError(Format("'%1' is not a valid integer value", {text})); };
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) throw fail();
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') throw fail();
    value = value * 10 + (c - '0');
    if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) throw fail();
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) throw fail();
  return static_cast<std::int32_t>(value);
}

std::uint32_t RegisterWindowMessage(std::string_view name) {
  // Registered messages live in 0xC000..0xFFFF on the original platform; keep that range so
  // they never collide with fixed message numbers.
  static std::map<String, std::uint32_t, std::less<>> registered;
  if (const auto it = registered.find(name); it != registered.end()) return it->second;
  const std::uint32_t number = 0xC000 + static_cast<std::uint32_t>(registered.size());
  registered.emplace(String(name), number);
  return number;
}

String Format(std::string_view pattern, std::initializer_list<std::string_view> args) {
  String out;
  out.reserve(pattern.size());
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
      const std::size_t index = std::size_t(pattern[i + 1] - '1');
      if (index < args.size()) {
        out += *(args.begin() + index);
        ++i;
        continue;
      }
    }
    out += c;
  }
  return out;
}

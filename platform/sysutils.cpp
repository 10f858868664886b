#include "platform/sysutils.h"

#include <limits>
#include <map>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

void ReleaseFreeMemory() {
#if defined(__GLIBC__)
  // glibc gives back only the free top of its heap by itself; a freed screen-sized buffer lower
  // down stays resident until told.
  malloc_trim(0);
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

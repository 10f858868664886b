#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string_view>

#include "platform/strings.h"

// The framework's exception: a message text that the application's error report shows.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const String& message) : std::runtime_error(message), FMessage(message) {}
  const String& Message() const { return FMessage; }

 private:
  String FMessage;
};

// A text that is not a number where one is needed.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// Memory or another resource of the system that an operation needs cannot be had; the
// message says what could not be done and what to do.
class EOutOfResources : public Exception {
 public:
  using Exception::Exception;
};

// Gives the memory the C heap holds freed but unreturned back to the system, where the
// heap allows it.
void ReleaseFreeMemory();

// Lets go of the pages of data files mapped for reading (font files, the font configuration's
// caches, locale tables) that the process holds resident; they are clean, and a later read maps
// them again from the system's file cache. Program and library images are left alone. Returns
// the bytes let go (0 where the system has no such mappings to read).
std::size_t ReleaseMappedDataPages();

// Removes every leading and trailing character whose code is below 33.
String Trim(std::string_view text);

// Strict signed decimal conversion: an optional sign and digits, nothing else.
// Throws EConvertError "'<text>' is not a valid integer value".
std::int32_t StrToInt(std::string_view text);

// A window message, shaped like the ones the original platform delivers.
struct TMessage {
  std::uint32_t Msg = 0;
  std::uintptr_t WParam = 0;
  std::intptr_t LParam = 0;
  std::intptr_t Result = 0;
};

inline constexpr std::uint32_t WM_HOTKEY = 786;
inline constexpr std::uint32_t WM_USER = 0x0400;

// A message number unique in this process for `name`, the same for every call with it.
std::uint32_t RegisterWindowMessage(std::string_view name);

// `pattern` with %1 … %9 replaced by the arguments; a number without an argument stays as it is.
String Format(std::string_view pattern, std::initializer_list<std::string_view> args);

inline constexpr std::uint16_t LoWord(std::intptr_t v) { return static_cast<std::uint16_t>(v & 0xFFFF); }
inline constexpr std::uint16_t HiWord(std::intptr_t v) { return static_cast<std::uint16_t>((v >> 16) & 0xFFFF); }
inline constexpr std::intptr_t MakeLong(std::uint16_t lo, std::uint16_t hi) {
  return static_cast<std::intptr_t>(std::uint32_t{lo} | (std::uint32_t{hi} << 16));
}

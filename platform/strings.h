#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The program's text, on every platform: UTF-8 in a std::string. Literals in the sources are
// UTF-8 already (g++ reads UTF-8, MSVC is given /utf-8). A widgetset converts at its own seam
// (QString on Qt, UTF-16 on Win32) and nowhere else.
using String = std::string;

// The code points of `text`, in order. A malformed byte counts as one code point of its own
// (U+FFFD), so every byte of the text is visited once and nothing is skipped.
class TCodePoints {
 public:
  explicit TCodePoints(std::string_view text) : FText(text) {}
  class iterator {
   public:
    iterator(std::string_view text, std::size_t at) : FText(text), FAt(at) { Decode(); }
    char32_t operator*() const { return FValue; }
    iterator& operator++() {
      FAt += FLength;
      Decode();
      return *this;
    }
    bool operator==(const iterator& other) const { return FAt == other.FAt; }
    // Where the current code point begins, in bytes.
    std::size_t Offset() const { return FAt; }

   private:
    void Decode();
    std::string_view FText;
    std::size_t FAt;
    std::size_t FLength = 0;
    char32_t FValue = 0;
  };
  iterator begin() const { return iterator(FText, 0); }
  iterator end() const { return iterator(FText, FText.size()); }

 private:
  std::string_view FText;
};

// Appends code point `c` to `out` in UTF-8.
void AppendUtf8(String& out, char32_t c);

// UTF-8 to UTF-16 and back, for the widgetsets' seams; malformed input becomes U+FFFD.
std::u16string Utf16Of(std::string_view text);
String Utf8Of(std::u16string_view text);

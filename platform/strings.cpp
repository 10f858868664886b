#include "platform/strings.h"

namespace {

constexpr char32_t Replacement = 0xFFFD;

}  // namespace

void AppendUtf8(String& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

void TCodePoints::iterator::Decode() {
  FLength = 0;
  FValue = 0;
  if (FAt >= FText.size()) return;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(FText[i]); };
  const unsigned lead = byte(FAt);
  FLength = 1;
  FValue = Replacement;
  if (lead < 0x80) {
    FValue = lead;
    return;
  }
  std::size_t length = 0;
  char32_t value = 0;
  char32_t least = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, value = lead & 0x1F, least = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, value = lead & 0x0F, least = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, value = lead & 0x07, least = 0x10000;
  } else {
    return;
  }
  if (FAt + length > FText.size()) return;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned next = byte(FAt + i);
    if ((next & 0xC0) != 0x80) return;
    value = (value << 6) | (next & 0x3F);
  }
  // Overlong forms, surrogates and values past Unicode are malformed, not characters.
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return;
  FLength = length;
  FValue = value;
}

std::u16string Utf16Of(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (char32_t c : TCodePoints(text)) {
    if (c < 0x10000) {
      out += char16_t(c);
    } else {
      c -= 0x10000;
      out += char16_t(0xD800 + (c >> 10));
      out += char16_t(0xDC00 + (c & 0x3FF));
    }
  }
  return out;
}

String Utf8Of(std::u16string_view text) {
  String out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = Replacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

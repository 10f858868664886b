#include "platform/strings.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/sysutils.h"

namespace {

std::vector<char32_t> Points(std::string_view text) {
  std::vector<char32_t> out;
  for (char32_t c : TCodePoints(text)) out.push_back(c);
  return out;
}

}  // namespace

TEST(Strings, CodePointsDecodeEveryLengthAndTakeEachMalformedByteAlone) {
  const struct {
    const char* Name;
    std::string Text;
    std::vector<char32_t> Expected;
  } cases[] = {
      {"empty", "", {}},
      {"ascii", "Ab", {U'A', U'b'}},
      {"two, three and four bytes", "\u00e9你\U0001F600", {0xE9, 0x4F60, 0x1F600}},
      {"lone continuation byte", "a\x80z", {U'a', 0xFFFD, U'z'}},
      {"truncated at the end", "a\xe4\xbd", {U'a', 0xFFFD, 0xFFFD}},
      {"lead byte before ascii", "\xe4z", {0xFFFD, U'z'}},
      {"overlong slash", "\xc0\xaf", {0xFFFD, 0xFFFD}},
      {"encoded surrogate", "\xed\xa0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},
      {"past unicode", "\xf4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
      {"invalid lead", "\xff", {0xFFFD}},
  };
  for (const auto& c : cases) EXPECT_EQ(Points(c.Text), c.Expected) << c.Name;
}

TEST(Strings, Utf16RoundTripsAndLoneSurrogatesBecomeReplacements) {
  const std::string text = "Quilmar课堂\U0001F600";
  EXPECT_EQ(Utf16Of(text), u"Quilmar课堂\U0001F600");
  EXPECT_EQ(Utf8Of(Utf16Of(text)), text);
  // Lone surrogates from a careless peer become the replacement character, not bad UTF-8.
  EXPECT_EQ(Utf8Of(std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)}), "a\uFFFDb\uFFFD");
  EXPECT_EQ(Utf16Of("a\xff"), u"a\uFFFD");
}

TEST(SysUtils, StrToIntTakesASignAndDigitsOnlyWithinThirtyTwoBitsAndFormatFillsItsPlaces) {
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  EXPECT_EQ(StrToInt("2147483647"), INT32_MAX);
  for (const char* bad : {"", "-", "2147483648", "-2147483649", " 3", "3 ", "1e3", "９"}) {
    try {
      StrToInt(bad);
      ADD_FAILURE() << bad;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), "'" + std::string(bad) + "' is not a valid integer value");
    }
  }
  EXPECT_EQ(Trim("\t 3 \n"), "3");
  EXPECT_EQ(Trim(" 你好 "), "你好");
  EXPECT_EQ(Format("Cannot open file \"%1\". %2", {"a.bmp", "No such file"}),
            "Cannot open file \"a.bmp\". No such file");
  EXPECT_EQ(Format("%2%1%3 100%", {"a", "b"}), "ba%3 100%");
}

#include <gtest/gtest.h>

#include <random>

#include "platform/text.h"
#include "session/settings.h"

namespace quorel::cacheapi {
namespace {

struct FieldCase {
  std::u16string text;
  std::u16string delimiter;
  std::int16_t field;
  std::u16string expected;
};

TEST(GetField, PicksFieldsAndFallsBackToTheDefault) {
  const std::vector<FieldCase> cases = {
      {u"a,b,,d", u",", 1, u"a"},   {u"a,b,,d", u",", 2, u"b"},
      {u"a,b,,d", u",", 3, u"DEF"},                                // empty field
      {u"a,b,,d", u",", 4, u"d"},   {u"a,b,,d", u",", 5, u"DEF"},  // missing field
      {u"a,b,,d", u",", 0, u"DEF"}, {u"a,b,,d", u",", -3, u"DEF"},
      {u",x", u",", 1, u"DEF"},    // a leading delimiter empties field 1
      {u"a,b", u",,", 1, u"a,b"},  // a longer delimiter never matches
      {u"a,b", u"", 1, u"a,b"},     {u"1 0 ABC", u" ", 3, u"ABC"},
      {u"1  ABC", u" ", 2, u"DEF"}, {u"1  ABC", u" ", 3, u"ABC"},
      {u"", u" ", 1, u"DEF"},       {u"aAa", u"A", 2, u"a"},  // case-sensitive
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetField(c.text, c.delimiter, c.field, u"DEF"), c.expected)
        << text::ToUtf8(c.text) << " field " << c.field;
  }
  EXPECT_EQ(GetField(u"a,,c", u",", 2), u"");  // no default given: empty text
}

TEST(GetField, EightBitCountersLimitTextAndFields) {
  const std::u16string t254(254, u'x');
  const std::u16string t255(255, u'x');
  const std::u16string t256(256, u'x');
  EXPECT_EQ(GetField(t254, u",", 1), t254);
  EXPECT_THROW(GetField(t256, u",", 1), OverflowError);  // before the scan
  EXPECT_THROW(GetField(t255, u",", 1), OverflowError);  // field 1 not closed by a delimiter
  // 255 characters whose requested field is closed by a delimiter: the scan stops in time.
  const std::u16string closed = u"ab," + std::u16string(252, u'x');
  EXPECT_EQ(GetField(closed, u",", 1), u"ab");
  EXPECT_THROW(GetField(closed, u",", 2), OverflowError);
  // 255 delimiters: the field counter would pass 255 at the last one.
  const std::u16string commas(255, u',');
  EXPECT_EQ(GetField(commas, u",", 254, u"D"), u"D");
  EXPECT_THROW(GetField(commas, u",", 255), OverflowError);
  // Field numbers up to 254 on texts up to 254 characters never overflow.
  const std::u16string commas254(254, u',');
  EXPECT_EQ(GetField(commas254 + u"", u",", 254, u"D"), u"D");
  EXPECT_EQ(GetField(std::u16string(253, u',') + u"z", u",", 254, u"D"), u"z");
  EXPECT_EQ(GetField(t254, u",", 255, u"D"), u"D");
  EXPECT_EQ(GetField(t254, u",", 0, u"D"), u"D");
}

TEST(ScramblePassword, IsItsOwnInverseOverTheWholeCodePage) {
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> code(0, 255);
  std::uniform_int_distribution<int> length(0, 254);
  for (int round = 0; round < 2000; ++round) {
    std::u16string plain(length(random), u'\0');
    for (auto& ch : plain)
      ch = text::CharFromCode(static_cast<std::uint8_t>(code(random)));
    const std::u16string scrambled = ScramblePassword(plain);
    ASSERT_EQ(scrambled.size(), plain.size());
    ASSERT_EQ(ScramblePassword(scrambled), plain);
  }
  EXPECT_EQ(ScramblePassword(u""), u"");
}

TEST(ScramblePassword, ChangesTypedTextToNoC0ControlAndToDelOrC1OnlyFromSixCharacters) {
  std::u16string toDelOrC1;
  for (int c = 0; c < 256; ++c) {
    const char16_t ch = text::CharFromCode(static_cast<std::uint8_t>(c));
    const bool typeable = c >= 0x20 && c != 0x7F && !(c >= 0x80 && c <= 0x9F && ch < 0xA0);
    if (!typeable) continue;
    const char16_t out = ScramblePassword(std::u16string(1, ch))[0];
    EXPECT_NE(out, ch) << "code " << c;
    EXPECT_GE(out, 0x20) << "code " << c << " scrambles to a C0 control character";
    if (out >= 0x7F && out <= 0x9F) toDelOrC1.push_back(ch);
  }
  EXPECT_EQ(toDelOrC1, u"j\u2026\u02C6\u201D\u02DC\u0161");
}

TEST(ScramblePassword, PassesCharactersOutsideTheCodePageUnchanged) {
  const std::u16string mixed = u"a\u0100\u4E2D\U0001F600z";
  const std::u16string scrambled = ScramblePassword(mixed);
  EXPECT_EQ(scrambled.substr(1, 4), mixed.substr(1, 4));
  EXPECT_NE(scrambled[0], u'a');
  EXPECT_EQ(ScramblePassword(scrambled), mixed);
}

TEST(ScramblePassword, HandlesUpTo254Characters) {
  EXPECT_EQ(ScramblePassword(std::u16string(254, u'p')).size(), 254u);
  EXPECT_THROW(ScramblePassword(std::u16string(255, u'p')), OverflowError);
  EXPECT_THROW(ScramblePassword(std::u16string(300, u'p')), OverflowError);
}

}  // namespace
}  // namespace quorel::cacheapi

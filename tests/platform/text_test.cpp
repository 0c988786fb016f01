#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

namespace quorel::text {
namespace {

// Runs of U+FFFD collapsed to one, so that a check does not depend on how many replacement
// characters one malformed sequence yields.
std::u16string Collapsed(const std::u16string& s) {
  std::u16string out;
  for (char16_t c : s)
    if (c != u'\uFFFD' || out.empty() || out.back() != u'\uFFFD') out.push_back(c);
  return out;
}

TEST(Utf8, RoundTripsEveryKindOfCharacter) {
  const std::u16string cases[] = {u"", u"Login 123 !?", u"Grüße aus Köln, Äpfel ÖL Übel",
                                  u"Preis: 5 €", u"Lachen \U0001F600 Ende"};
  for (const auto& utf16 : cases) {
    const std::string utf8 = ToUtf8(utf16);
    EXPECT_EQ(FromUtf8(utf8), utf16) << utf8;
  }
  // The encoded bytes themselves, so that a pair of symmetric mistakes cannot hide.
  EXPECT_EQ(ToUtf8(u"ä"), "\xC3\xA4");
  EXPECT_EQ(ToUtf8(u"€"), "\xE2\x82\xAC");
  EXPECT_EQ(ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), (std::u16string{0xD83D, 0xDE00}));
}

TEST(Utf8, MalformedInputBecomesReplacementAndKeepsWhatFollows) {
  struct Case {
    const char* what;
    std::string utf8;
  };
  const Case cases[] = {
      {"truncated at the end", "a\xE2\x82"},
      {"truncated before ASCII", "a\xE2\x82z"},
      {"truncated before a new sequence", "a\xE2\xC3\xA4"},
      {"overlong slash, two bytes", "a\xC0\xAFz"},
      {"overlong slash, three bytes", "a\xE0\x80\xAFz"},
      {"overlong slash, four bytes", "a\xF0\x80\x80\xAFz"},
      {"surrogate D800", "a\xED\xA0\x80z"},
      {"surrogate DFFF", "a\xED\xBF\xBFz"},
      {"beyond U+10FFFF", "a\xF4\x90\x80\x80z"},
      {"stray continuation byte", "a\x80z"},
      {"invalid lead byte", "a\xFFz"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::u16string decoded = Collapsed(FromUtf8(c.utf8));
    const std::u16string tail = c.utf8.ends_with("\xC3\xA4") ? u"ä"
                                : c.utf8.ends_with('z')      ? u"z"
                                                             : u"";
    EXPECT_EQ(decoded, u"a\uFFFD" + tail);
  }
}

TEST(Utf8, LoneSurrogateBecomesReplacement) {
  const std::string kReplacement = "\xEF\xBF\xBD";
  EXPECT_EQ(ToUtf8(std::u16string{u'a', 0xD83D}), "a" + kReplacement);
  EXPECT_EQ(ToUtf8(std::u16string{u'a', 0xDE00, u'b'}), "a" + kReplacement + "b");
  EXPECT_EQ(ToUtf8(std::u16string{0xD83D, u'b'}), kReplacement + "b");
  // A lone high surrogate followed by a complete pair.
  EXPECT_EQ(ToUtf8(std::u16string{0xD83D, 0xD83D, 0xDE00}), kReplacement + "\xF0\x9F\x98\x80");
}

TEST(CodePage, EveryCodeRoundTrips) {
  for (int code = 0; code < 256; ++code) {
    const char16_t ch = CharFromCode(static_cast<std::uint8_t>(code));
    EXPECT_EQ(CodeFromChar(ch), std::optional<std::uint8_t>(code)) << "code " << code;
  }
}

TEST(CodePage, KnownMappingsAndCharactersWithoutCode) {
  const std::pair<std::uint8_t, char16_t> known[] = {
      {0x41, u'A'}, {0x80, u'€'},   {0x81, 0x0081}, {0x8A, u'Š'}, {0x96, u'–'},
      {0x9F, u'Ÿ'}, {0xA0, 0x00A0}, {0xDF, u'ß'},   {0xE4, u'ä'}, {0xFF, u'ÿ'}};
  for (const auto& [code, ch] : known) {
    EXPECT_EQ(CharFromCode(code), ch) << "code " << int{code};
    EXPECT_EQ(CodeFromChar(ch), code) << "code " << int{code};
  }
  // The C1 controls whose codes carry other characters, and characters beyond the code page.
  for (char16_t ch :
       {char16_t{0x0080}, char16_t{0x009F}, char16_t{0x0100}, char16_t{0x4E2D}, char16_t{0xFFFD}})
    EXPECT_EQ(CodeFromChar(ch), std::nullopt) << "U+" << std::hex << int{ch};
}

TEST(UpperCase, MapsLettersAndLeavesTheRest) {
  struct Case {
    const char* what;
    std::u16string in, out;
  };
  const Case cases[] = {
      {"empty", u"", u""},
      {"ASCII", u"abc xyz ABC", u"ABC XYZ ABC"},
      {"German", u"äöüß ÄÖÜ", u"ÄÖÜß ÄÖÜ"},
      {"Latin-1", u"àéîõøþ ÿ ÷×", u"ÀÉÎÕØÞ Ÿ ÷×"},
      {"Latin Extended-A", u"āčęğłńőšźżž", u"ĀČĘĞŁŃŐŠŹŻŽ"},
      {"Latin Extended-A already upper", u"ĀŁŃŽ", u"ĀŁŃŽ"},
      {"dotless i", u"ı", u"I"},
      {"Greek", u"αβγ ωψ σς άέήίόύώ", u"ΑΒΓ ΩΨ ΣΣ ΆΈΉΊΌΎΏ"},
      {"Greek with dialytika", u"ϊϋ", u"ΪΫ"},
      {"Cyrillic", u"привет ёж ђ", u"ПРИВЕТ ЁЖ Ђ"},
      {"digits and punctuation", u"0123456789 .,;:!?-_()[]{}@#€$%&/\\",
       u"0123456789 .,;:!?-_()[]{}@#€$%&/\\"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ToUtf8(UpperCase(c.in)), ToUtf8(c.out)) << c.what;
}

}  // namespace
}  // namespace quorel::text

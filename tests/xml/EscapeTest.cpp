#include <gtest/gtest.h>

#include <string>

#include "s/xml/Escape.h"
#include "s/xml/Values.h"

namespace {

using s::xml::escapeAttribute;
using s::xml::escapeText;
using s::xml::unescapeAttribute;
using s::xml::unescapeText;

std::u16string attribute(std::u16string_view text) {
  std::u16string out;
  escapeAttribute(text, out);
  return out;
}
std::u16string text(std::u16string_view plain) {
  std::u16string out;
  escapeText(plain, out);
  return out;
}
std::u16string readAttribute(std::u16string_view raw) {
  std::u16string out;
  unescapeAttribute(raw, out);
  return out;
}
std::u16string readText(std::u16string_view raw) {
  std::u16string out;
  unescapeText(raw, out);
  return out;
}

// Every character of the escaping table, in both columns.
TEST(Escaping, EachCharacterOfTheTable) {
  struct Case {
    std::u16string_view plain, inAttribute, inText;
  } cases[] = {
      {u"&", u"&amp;", u"&amp;"},
      {u"<", u"&lt;", u"&lt;"},
      {u">", u">", u"&gt;"},
      {u"\"", u"&quot;", u"\""},
      {u" ", u" ", u"&#160;"},
      {u"\r", u"&#13;", u"&#13;"},
      {u"\n", u"&#10;", u"&#10;"},
      {u"\t", u"\t", u"\t"},
      {u"'", u"'", u"'"},
      {u"\u00e9\u65e5", u"\u00e9\u65e5", u"\u00e9\u65e5"},
      {u"a b&c", u"a b&amp;c", u"a&#160;b&amp;c"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(attribute(c.plain), c.inAttribute);
    EXPECT_EQ(text(c.plain), c.inText);
  }
}

TEST(Escaping, AttributeValuesDecodeOnlyTheirOwnEntities) {
  struct Case {
    std::u16string_view raw, read;
  } cases[] = {
      {u"&amp;&lt;&quot;&#13;&#10;", u"&<\"\r\n"},
      // Text-only entities stay literal in attribute values.
      {u"&gt;&#160;", u"&gt;&#160;"},
      {u"&apos;&unknown;&#65;", u"&apos;&unknown;&#65;"},
      // A lone or cut-off "&" stays as it is.
      {u"a & b", u"a & b"},
      {u"&am", u"&am"},
      {u"&", u"&"},
      {u"&amp;lt;", u"&lt;"},
      // Surrounding white space belongs to the value.
      {u"  x\t ", u"  x\t "},
  };
  for (const Case& c : cases)
    EXPECT_EQ(readAttribute(c.raw), c.read) << std::string(c.raw.begin(), c.raw.end());
}

TEST(Escaping, TextRunsAreTrimmedOnlyWhereTheFileHasLiteralWhiteSpace) {
  struct Case {
    std::u16string_view raw, read;
  } cases[] = {
      {u"  hello  ", u"hello"},
      {u"\r\n\thello\r\n", u"hello"},
      {u"a&#160;b", u"a b"},
      {u"&amp;&lt;&gt;&#13;&#10;", u"&<>\r\n"},
      // Entity-made white space at either end stays.
      {u"&#160;x&#160;", u" x "},
      {u"x&#10;", u"x\n"},
      {u"x&#160; \t", u"x "},
      // Ideographic spaces are dropped at the end only.
      {u"\u3000x\u3000\u3000", u"\u3000x"},
      // Quotes are plain characters in text.
      {u"&quot;\"", u"&quot;\""},
      {u"&#9;x&", u"&#9;x&"},
      {u"   ", u""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(readText(c.raw), c.read) << std::string(c.raw.begin(), c.raw.end());
}

TEST(Escaping, EscapedTextsReadBackUnchanged) {
  const std::u16string_view samples[] = {
      u"a b",
      u"line one\nline two\r\n",
      u"\"quoted\" <tag> & ampersand",
      u"  spaces around  ",
      u"\n\nleading line feeds",
      u"Advanced Options >>",
      u"\u65e5\u672c\u8a9e \U0001F600",
  };
  for (std::u16string_view sample : samples) {
    EXPECT_EQ(readAttribute(attribute(sample)), sample);
    EXPECT_EQ(readText(text(sample)), sample);
  }
}

TEST(Values, IntegersParseStrictlyWithinTheirType) {
  std::int8_t s8 = 7;
  EXPECT_TRUE(s::xml::parseInteger(u"-128", s8));
  EXPECT_EQ(s8, -128);
  EXPECT_FALSE(s::xml::parseInteger(u"128", s8));
  std::uint8_t u8 = 7;
  EXPECT_TRUE(s::xml::parseInteger(u" +255\n", u8));
  EXPECT_EQ(u8, 255);
  EXPECT_FALSE(s::xml::parseInteger(u"256", u8));
  EXPECT_FALSE(s::xml::parseInteger(u"-1", u8));
  std::uint64_t u64 = 7;
  EXPECT_TRUE(s::xml::parseInteger(u"18446744073709551615", u64));
  EXPECT_EQ(u64, UINT64_MAX);
  EXPECT_FALSE(s::xml::parseInteger(u"18446744073709551616", u64));
  std::int32_t s32 = 7;
  for (std::u16string_view bad :
       {u"", u" ", u"12abc", u"1 2", u"+-1", u"++1", u"0x10", u"1.5", u"\uff11"}) {
    EXPECT_FALSE(s::xml::parseInteger(bad, s32)) << std::string(bad.begin(), bad.end());
  }
  EXPECT_EQ(s32, 7);
}

TEST(Values, FloatingValuesReadBackExactly) {
  for (double value : {0.0, -3.5, 0.1, 1e-7, 123456.789, 1.7976931348623157e308, 5e-324}) {
    std::u16string text;
    s::xml::appendDouble(value, text);
    EXPECT_EQ(text.find(u'e'), std::u16string::npos);  // fixed notation
    double back = 0;
    ASSERT_TRUE(s::xml::parseDouble(text, back));
    EXPECT_EQ(back, value);
  }
  for (float value : {0.25f, -1e-6f, 3.4028235e38f}) {
    std::u16string text;
    s::xml::appendFloat(value, text);
    float back = 0;
    ASSERT_TRUE(s::xml::parseFloat(text, back));
    EXPECT_EQ(back, value);
  }
  std::u16string half;
  s::xml::appendDouble(0.5, half);
  EXPECT_EQ(half, u"0.5");
}

TEST(Values, BooleansAreTrueForOneOrLowerCaseTrue) {
  EXPECT_TRUE(s::xml::parseBool(u"1"));
  EXPECT_TRUE(s::xml::parseBool(u"10"));
  EXPECT_TRUE(s::xml::parseBool(u"true"));
  EXPECT_TRUE(s::xml::parseBool(u"trueish"));
  EXPECT_FALSE(s::xml::parseBool(u"True"));
  EXPECT_FALSE(s::xml::parseBool(u"2"));
  EXPECT_FALSE(s::xml::parseBool(u" 1"));
  EXPECT_FALSE(s::xml::parseBool(u""));
}

}  // namespace

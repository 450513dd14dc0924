#include <gtest/gtest.h>

#include "s/str/StrArray.h"
#include "s/str/Utf.h"
#include "s/str/strbuffer/StrBuffer.h"

namespace {

using s::str::strbuffer::StrBuffer;

std::uint32_t referenceHash(std::u16string_view text) {
  std::uint32_t hash = 0;
  for (char16_t c : text) {
    hash = hash << 1;
    if (hash & 0x80000000u) hash |= 1;
    hash ^= c;
  }
  return hash;
}

TEST(StrBuffer, OrdersByMemoryBytesThenLength) {
  // U+0141 is stored 41 01 and U+0042 as 42 00: the first byte decides.
  EXPECT_LT(StrBuffer::compareTexts(u"\u0141", u"B"), 0);
  // 'A' (41 00) against U+0141 (41 01): the second byte decides.
  EXPECT_LT(StrBuffer::compareTexts(u"A", u"\u0141"), 0);
  EXPECT_LT(StrBuffer::compareTexts(u"ab", u"abc"), 0);
  EXPECT_EQ(StrBuffer::compareTexts(u"abc", u"abc"), 0);
  EXPECT_EQ(StrBuffer::compareTextsIgnoreCase(u"Photo.JPG", u"photo.jpg"), 0);
  EXPECT_GT(StrBuffer::compareTextsIgnoreCase(u"ÄBC", u"äb"), 0);
}

TEST(StrBuffer, ObjectsCompareAndHashByValue) {
  auto a = s::thread::own(StrBuffer::obtain(u"Hue"));
  auto b = s::thread::own(StrBuffer::obtainUtf8("hue"));
  EXPECT_FALSE(a->equals(b.get()));
  EXPECT_TRUE(a->equalsIgnoreCase(b.get()));
  EXPECT_EQ(a->hashCode(), referenceHash(u"Hue"));
  EXPECT_EQ(a->hashCodeIgnoreCase(), b->hashCode());
  // 40 characters rotate bits through bit 31 and back.
  const std::u16string longer(40, u'\u7fff');
  EXPECT_EQ(s::thread::own(StrBuffer::obtain(longer))->hashCode(), referenceHash(longer));
}

TEST(Utf, RoundTripsAndReplacesMalformedInput) {
  const std::string text = "Ä€😀 مرحبا 中文";
  EXPECT_EQ(s::str::utf16ToUtf8(s::str::utf8ToUtf16(text)), text);
  EXPECT_EQ(s::str::utf8ToUtf16("a\xC3"), u"a\uFFFD");
  EXPECT_EQ(s::str::utf8ToUtf16("\xE0\x80\x80x"), u"\uFFFDx");  // overlong
  EXPECT_EQ(s::str::utf8ToUtf16("\xFF"), u"\uFFFD");
  EXPECT_EQ(s::str::utf16ToUtf8(u"\xD800"), "\xEF\xBF\xBD");  // lone surrogate
}

TEST(StrArray, OwnsCopies) {
  auto list = s::thread::obtainOwned<s::str::StrArray>();
  list->addUtf8("one");
  list->add(u"two");
  EXPECT_EQ(list->getLength(), 2);
  EXPECT_EQ(list->indexOf(u"two"), 1);
  EXPECT_EQ(list->get(0).toUtf8(), "one");
}

}  // namespace

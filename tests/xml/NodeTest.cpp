#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "s/file/win/PathWin.h"
#include "s/io/ByteArrayStreams.h"
#include "s/str/Utf.h"
#include "s/xml/Node.h"
#include "tests/file/TempFolder.h"

namespace {

using s::file::win::PathWin;
using s::str::utf16ToUtf8;
using s::str::utf8ToUtf16;
using s::thread::obtainOwned;
using s::thread::own;
using s::xml::AttrFactory;
using s::xml::Node;
using tintery_test::readRaw;
using tintery_test::TempFolder;
using tintery_test::writeRaw;

std::string utf8(std::u16string_view text) {
  return utf16ToUtf8(text);
}

std::string serialized(const Node& node) {
  std::u16string out;
  node.serialize(out);
  return utf8(out);
}

// Parses `text` into a new node; the test fails when no element is found.
s::thread::Owned<Node> parsed(std::u16string_view text, bool* complete = nullptr) {
  auto node = obtainOwned<Node>();
  EXPECT_TRUE(node->parse(text, complete)) << utf8(text);
  return node;
}

TEST(NodeParse, EmptyElementWithAttribute) {
  bool complete = false;
  auto node = parsed(u"<a x=\"1\"/>", &complete);
  EXPECT_TRUE(complete);
  EXPECT_EQ(node->getName(), u"a");
  EXPECT_EQ(node->getS32(u"x", -1), 1);
  EXPECT_EQ(node->getChildCount(), 0);
  EXPECT_EQ(node->getAttributes().getCount(), 1);
}

TEST(NodeParse, CommentsAreSkipped) {
  auto node = parsed(u"<a><!-- note --><b/></a>");
  ASSERT_EQ(node->getChildCount(), 1);
  EXPECT_EQ(node->getChild(0)->getName(), u"b");

  // Before the root, between children and holding "<" or "-".
  node =
      parsed(u"\xFEFF<!-- head --> <?xml version=\"1.0\"?><r><!-- a <b> - c --><c/>x<!---->y</r>");
  EXPECT_EQ(node->getName(), u"r");
  ASSERT_EQ(node->getChildCount(), 1);
  EXPECT_EQ(node->getChild(0)->getName(), u"c");
  // The two text runs around the comment stay separate, in order.
  ASSERT_EQ(node->getAttributes().getCount(), 2);
  EXPECT_EQ(node->getAttributes().get(0)->getValue(), u"x");
  EXPECT_EQ(node->getAttributes().get(1)->getValue(), u"y");
}

TEST(NodeParse, TextContentIsTrimmed) {
  auto node = parsed(u"<a>  hello  </a>");
  EXPECT_EQ(node->textOf(u""), u"hello");
  // The stored text is the raw run after the skipped leading white space.
  EXPECT_EQ(node->getRaw(u""), u"hello  ");
}

TEST(NodeParse, AttributesKeepDocumentOrderAndWhiteSpaceBetweenThem) {
  auto node = parsed(u"<e\n\tb=\"2\"  a = \"1\"\r\nc=\"x > y / z\" d=\"\">text</e >");
  const auto& attributes = node->getAttributes();
  ASSERT_EQ(attributes.getCount(), 5);
  const std::u16string_view names[] = {u"b", u"a", u"c", u"d", u""};
  const std::u16string_view values[] = {u"2", u"1", u"x > y / z", u"", u"text"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(attributes.get(i)->getName(), names[i]);
    EXPECT_EQ(attributes.get(i)->getValue(), values[i]);
  }
}

TEST(NodeParse, ClosingTagNamesAreNotCompared) {
  bool complete = false;
  auto node = parsed(u"<a><b>1</c><d/></z>", &complete);
  EXPECT_TRUE(complete);
  ASSERT_EQ(node->getChildCount(), 2);
  EXPECT_EQ(node->getChild(0)->textOf(u""), u"1");
  EXPECT_EQ(node->getChild(1)->getName(), u"d");
}

TEST(NodeParse, NoElementFound) {
  for (std::u16string_view text : {u"", u"just text", u"<", u"< \t", u"<!-- open", u"<!-- x -->"}) {
    auto node = obtainOwned<Node>();
    node->setName(u"old");
    bool complete = true;
    EXPECT_FALSE(node->parse(text, &complete)) << utf8(text);
    EXPECT_FALSE(complete);
    EXPECT_EQ(node->getName(), u"");
  }
}

// Every proper prefix of a document stops at the end of its text. Each prefix
// lies in a heap block of exactly its length, so the address sanitizer
// catches any read past it.
TEST(NodeParse, EveryTruncationStopsAtTheEnd) {
  const std::u16string document =
      u"<!-- c --><root a=\"1\" b='2' c=\"&amp;\"><x>t&#160;u<y z=\"3\"/>"
      u"v</x><!-- d -->w<q/></root>";
  {
    bool complete = false;
    parsed(document, &complete);
    EXPECT_TRUE(complete);
  }
  for (std::size_t length = 0; length < document.size(); ++length) {
    std::unique_ptr<char16_t[]> exact(new char16_t[length == 0 ? 1 : length]);
    std::memcpy(exact.get(), document.data(), length * sizeof(char16_t));
    auto node = obtainOwned<Node>();
    bool complete = true;
    node->parse(std::u16string_view(exact.get(), length), &complete);
    EXPECT_FALSE(complete) << length;
    // Whatever was read serialises and parses again.
    std::u16string again;
    node->serialize(again);
    auto reparsed = obtainOwned<Node>();
    reparsed->parse(again, nullptr);
  }
}

TEST(NodeParse, MalformedInputStillMakesProgress) {
  const std::u16string_view inputs[] = {
      u"<a =\"v\" b c=d e=\"f\">",
      u"<a x=\"1\" / y=\"2\">",
      u"<a><<<>>></a>",
      u"<a>< /a>",
      u"<a/><b/>",
      u"<a x=\"unterminated>text</a>",
      u"<a><b><c><d>",
      u"<\"a\"/>",
  };
  for (std::u16string_view input : inputs) {
    std::string bytes = utf8(input);
    auto node = obtainOwned<Node>();
    EXPECT_TRUE(node->parseUtf8(bytes, nullptr)) << bytes;
  }
  // A valueless attribute gets an empty value; an attribute without a name
  // is dropped so it cannot pose as text.
  auto node = parsed(u"<a =\"v\" b c=\"d\"/>");
  ASSERT_EQ(node->getAttributes().getCount(), 2);
  EXPECT_EQ(node->getRaw(u"b", u"missing"), u"");
  EXPECT_EQ(node->getRaw(u"c"), u"d");
  EXPECT_FALSE(node->hasAttribute(u""));
}

TEST(NodeParse, DeepNestingNeedsNoRecursion) {
  constexpr int kDepth = 200000;
  std::u16string text;
  for (int i = 0; i < kDepth; ++i)
    text += u"<n>";
  for (int i = 0; i < kDepth; ++i)
    text += u"</n>";
  bool complete = false;
  auto node = parsed(text, &complete);
  EXPECT_TRUE(complete);
  std::u16string out;
  node->serialize(out);
  EXPECT_EQ(out, text);
  const Node* deepest = node.get();
  int depth = 1;
  while (deepest->getChildCount() == 1) {
    deepest = deepest->getChild(0);
    ++depth;
  }
  EXPECT_EQ(depth, kDepth);
}

TEST(NodeWrite, SerialisesWithoutDeclarationOrWhiteSpace) {
  auto root = obtainOwned<Node>();
  root->setName(u"doc");
  root->setText(u"b", u"say \"<hi>\"");
  root->setText(u"", u"two words");
  root->setS32(u"a", -5);
  Node* child = root->addChild(u"empty");
  ASSERT_NE(child, nullptr);
  Node* second = root->addChild(u"inner");
  second->setText(u"", u"1 < 2 & 3 > 0");
  second->addChild(u"leaf")->setBool(u"on", true);
  // Only the first text run is written, before the children.
  root->setText(u"", u"not written");
  EXPECT_EQ(serialized(*root),
            "<doc b=\"say &quot;&lt;hi>&quot;\" a=\"-5\">two&#160;words<empty></empty>"
            "<inner>1&#160;&lt;&#160;2&#160;&amp;&#160;3&#160;&gt;&#160;0"
            "<leaf on=\"1\"></leaf></inner></doc>");
}

TEST(NodeWrite, TextsRoundTripThroughTheDocument) {
  const std::u16string_view samples[] = {
      u"a b",
      u"first line\nsecond line\n",
      u"carriage\r\nreturns\r",
      u"\"double\" and 'single' quotes",
      u"<not a tag> & stuff >>",
      u"Convert to: ",
      u"  padded both ends  ",
      u"\u0411\u0435\u043b \u65e5\u672c \U0001F600",
  };
  for (std::u16string_view sample : samples) {
    auto root = obtainOwned<Node>();
    root->setName(u"r");
    root->setText(u"value", sample);
    root->addChild(u"t")->setText(u"", sample);
    // Through the UTF-8 form the files use.
    auto back = obtainOwned<Node>();
    bool complete = false;
    ASSERT_TRUE(back->parseUtf8(root->toUtf8(), &complete));
    EXPECT_TRUE(complete);
    EXPECT_EQ(back->textOf(u"value"), sample) << utf8(sample);
    ASSERT_EQ(back->getChildCount(), 1);
    EXPECT_EQ(back->getChild(0)->textOf(u""), sample) << utf8(sample);
  }
}

TEST(NodeAttributes, LookupIgnoresCaseAndFindsTheFirst) {
  auto node = obtainOwned<Node>();
  node->setS32(u"Width", 1);
  node->setS32(u"WIDTH", 2);
  node->setS32(u"other", 3);
  EXPECT_EQ(node->getS32(u"width", 0), 1);
  EXPECT_EQ(node->getAttributes().count(u"wIdTh"), 2);
  EXPECT_EQ(node->removeAttributes(u"width"), 2);
  EXPECT_EQ(node->getS32(u"width", -7), -7);
  EXPECT_EQ(node->getS32(u"OTHER", 0), 3);
}

TEST(NodeAttributes, TypedValuesAndTheirDefaults) {
  auto node = obtainOwned<Node>();
  node->setS8(u"s8", INT8_MIN);
  node->setS16(u"s16", INT16_MIN);
  node->setS32(u"s32", INT32_MIN);
  node->setS64(u"s64", INT64_MIN);
  node->setU8(u"u8", UINT8_MAX);
  node->setU16(u"u16", UINT16_MAX);
  node->setU32(u"u32", UINT32_MAX);
  node->setU64(u"u64", UINT64_MAX);
  node->setFloat(u"f", -0.125f);
  node->setDouble(u"d", 0.1);
  node->setBool(u"yes", true);
  node->setBool(u"no", false);
  node->setRaw(u"word", u"abc");
  node->setRaw(u"big", u"300");

  EXPECT_EQ(node->getRaw(u"s32"), u"-2147483648");
  EXPECT_EQ(node->getRaw(u"u32"), u"4294967295");
  EXPECT_EQ(node->getS8(u"s8", 0), INT8_MIN);
  EXPECT_EQ(node->getS16(u"s16", 0), INT16_MIN);
  EXPECT_EQ(node->getS32(u"s32", 0), INT32_MIN);
  EXPECT_EQ(node->getS64(u"s64", 0), INT64_MIN);
  EXPECT_EQ(node->getU8(u"u8", 0), UINT8_MAX);
  EXPECT_EQ(node->getU16(u"u16", 0), UINT16_MAX);
  EXPECT_EQ(node->getU32(u"u32", 0), UINT32_MAX);
  EXPECT_EQ(node->getU64(u"u64", 0), UINT64_MAX);
  EXPECT_EQ(node->getFloat(u"f", 0), -0.125f);
  EXPECT_EQ(node->getDouble(u"d", 0), 0.1);
  EXPECT_TRUE(node->getBool(u"yes", false));
  EXPECT_FALSE(node->getBool(u"no", true));

  // Missing, not a number, or out of the type's range: the caller's default.
  EXPECT_EQ(node->getS32(u"missing", 42), 42);
  EXPECT_EQ(node->getS32(u"word", 42), 42);
  EXPECT_EQ(node->getU8(u"big", 42), 42);
  EXPECT_EQ(node->getS8(u"big", 42), 42);
  EXPECT_EQ(node->getU16(u"big", 42), 300);
  EXPECT_EQ(node->getU32(u"s8", 42), 42u);
  EXPECT_EQ(node->getDouble(u"word", 2.5), 2.5);
  EXPECT_TRUE(node->getBool(u"missing", true));
  // A present text that is not "1…" or "true…" is false, not the default.
  EXPECT_FALSE(node->getBool(u"word", true));
}

TEST(NodeChildren, LookupRemovalAndIndexes) {
  auto node = parsed(u"<r><Alpha/><beta/><alpha n=\"2\"/><BETA/></r>");
  EXPECT_EQ(node->indexOfChild(u"ALPHA"), 0);
  EXPECT_EQ(node->indexOfChild(u"alpha", true), 2);
  EXPECT_EQ(node->findChild(u"alpha", true)->getS32(u"n", 0), 2);
  EXPECT_EQ(node->indexOfChild(u"gamma"), -1);
  EXPECT_EQ(node->findChild(u"gamma"), nullptr);
  EXPECT_EQ(node->getChild(4), nullptr);
  EXPECT_EQ(node->getChild(-1), nullptr);
  EXPECT_EQ(node->removeChildren(u"beta"), 2);
  EXPECT_EQ(serialized(*node), "<r><Alpha></Alpha><alpha n=\"2\"></alpha></r>");
  EXPECT_TRUE(node->removeChild(0));
  EXPECT_FALSE(node->removeChild(1));
  node->removeAllChildren();
  EXPECT_EQ(node->getChildCount(), 0);
}

TEST(NodeFiles, SaveWritesUtf8WithoutMarkAndCreatesTheFolder) {
  TempFolder temp;
  ASSERT_FALSE(temp.path().empty());
  auto node = obtainOwned<Node>();
  node->setName(u"r");
  node->setText(u"n", u"\u00e9");
  auto path = own(PathWin::obtain(temp.at16("new/sub/doc.xml")));
  ASSERT_TRUE(node->save(*path));
  EXPECT_EQ(readRaw(temp.at("new/sub/doc.xml")), "<r n=\"\xC3\xA9\"></r>");

  auto loaded = obtainOwned<Node>();
  bool complete = false;
  ASSERT_TRUE(loaded->load(*path, &complete));
  EXPECT_TRUE(complete);
  EXPECT_EQ(loaded->textOf(u"n"), u"\u00e9");
}

TEST(NodeFiles, LoadSkipsAByteOrderMarkAndFailsOnMissingFiles) {
  TempFolder temp;
  ASSERT_TRUE(writeRaw(temp.at("bom.xml"), "\xEF\xBB\xBF<r><c>x</c></r>\r\n"));
  auto path = own(PathWin::obtain(temp.at16("bom.xml")));
  auto node = obtainOwned<Node>();
  ASSERT_TRUE(node->load(*path, nullptr));
  EXPECT_EQ(node->getName(), u"r");
  EXPECT_EQ(node->getChild(0)->textOf(u""), u"x");

  auto missing = own(PathWin::obtain(temp.at16("missing.xml")));
  EXPECT_FALSE(node->load(*missing, nullptr));
  EXPECT_EQ(node->getName(), u"");
  auto folder = own(PathWin::obtain(utf8ToUtf16(temp.path())));
  EXPECT_FALSE(node->load(*folder, nullptr));
}

TEST(NodeFiles, StreamsCarryTheSameBytes) {
  auto node = parsed(u"<a b=\"c d\">e&#160;f</a>");
  auto out = obtainOwned<s::io::ByteArrayOutputStream>();
  ASSERT_TRUE(node->save(*out));
  const std::vector<std::uint8_t>& bytes = out->bytes();
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "<a b=\"c d\">e&#160;f</a>");
  auto in = obtainOwned<s::io::ByteArrayInputStream>();
  in->open(bytes.data(), bytes.size());
  auto back = obtainOwned<Node>();
  ASSERT_TRUE(back->load(*in, nullptr));
  EXPECT_EQ(back->textOf(u""), u"e f");
}

TEST(AttributeRecords, GoBackToTheFactoryCleared) {
  AttrFactory* factory = AttrFactory::instance();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->getClassTag(), AttrFactory::CLASS_TAG);
  {
    auto node = obtainOwned<Node>();
    node->setText(u"a", u"1");
    node->setText(u"b", u"2");
    node->addChild(u"c")->setText(u"d", u"3");
    const std::int32_t spare = factory->getSpareCount();
    node->clear();
    EXPECT_EQ(factory->getSpareCount(), spare + 3);
  }
  s::xml::Attr* record = AttrFactory::obtainRecord();
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->name, nullptr);
  EXPECT_EQ(record->value, nullptr);
  EXPECT_EQ(record->nameLength, 0);
  EXPECT_EQ(record->valueLength, 0);
  AttrFactory::releaseRecord(record);
}

TEST(AttributeRecords, TheFactoryKeepsAtMostItsLimit) {
  AttrFactory* factory = AttrFactory::instance();
  std::vector<s::xml::Attr*> records;
  for (int i = 0; i < AttrFactory::RECORD_LIMIT + 50; ++i)
    records.push_back(AttrFactory::obtainRecord());
  for (s::xml::Attr* record : records)
    AttrFactory::releaseRecord(record);
  // A record is kept while the free list holds no more than the limit.
  EXPECT_EQ(factory->getSpareCount(), AttrFactory::RECORD_LIMIT + 1);
}

}  // namespace

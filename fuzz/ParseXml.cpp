// The XML model: the bytes are parsed as a document, every attribute is read
// through every typed getter, and the tree is written. Writing must give a
// text that parses completely into a tree that writes the same text again.

#include <string>
#include <vector>

#include "fuzz/CodecSupport.h"
#include "fuzz/FuzzTargets.h"
#include "s/io/ByteArrayStreams.h"
#include "s/str/strbuffer/StrBuffer.h"
#include "s/xml/Node.h"

namespace tintery::fuzz {

namespace {

using s::xml::Node;

void readEveryValue(const Node& node) {
  const s::xml::Attributes& attributes = node.getAttributes();
  s::str::strbuffer::StrBuffer text;
  for (std::int32_t i = 0; i < attributes.getCount(); ++i) {
    const std::u16string_view name = attributes.get(i)->getName();
    require(node.findAttribute(name) != nullptr && node.hasAttribute(name));
    node.getS8(name, 0);
    node.getS16(name, 0);
    node.getS32(name, 0);
    node.getS64(name, 0);
    node.getU8(name, 0);
    node.getU16(name, 0);
    node.getU32(name, 0);
    node.getU64(name, 0);
    node.getFloat(name, 0);
    node.getDouble(name, 0);
    node.getBool(name, false);
    node.getRaw(name);
    require(node.getText(name, text));
    require(node.textOf(name) == text.view());
  }
  for (std::int32_t i = 0; i < node.getChildCount(); ++i) {
    const std::u16string_view name = node.getChild(i)->getName();
    // Lookups find the first child of the name.
    const std::int32_t exact = node.indexOfChild(name, true);
    require(exact >= 0 && exact <= i && node.getChild(exact)->nameEquals(name, false));
    require(node.findChild(name) != nullptr);
  }
}

}  // namespace

int parseXml(const std::uint8_t* data, std::size_t size) {
  auto stream = s::thread::obtainOwned<s::io::ByteArrayInputStream>();
  auto document = s::thread::obtainOwned<Node>();
  require(stream != nullptr && document != nullptr);
  stream->open(data, size);
  bool complete = false;
  if (!document->load(*stream, &complete)) return 0;

  // Every element, without recursion: documents may nest deeply.
  std::vector<const Node*> pending{document.get()};
  while (!pending.empty()) {
    const Node* node = pending.back();
    pending.pop_back();
    readEveryValue(*node);
    for (std::int32_t i = 0; i < node->getChildCount(); ++i)
      pending.push_back(node->getChild(i));
  }

  std::u16string written;
  document->serialize(written);
  auto again = s::thread::obtainOwned<Node>();
  require(again != nullptr);
  bool againComplete = false;
  require(again->parse(written, &againComplete) && againComplete);
  std::u16string rewritten;
  again->serialize(rewritten);
  require(rewritten == written);
  return 0;
}

}  // namespace tintery::fuzz

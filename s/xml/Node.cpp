#include "s/xml/Node.h"

#include <utility>
#include <vector>

#include "s/file/IPath.h"
#include "s/io/IInputStream.h"
#include "s/io/IOutputStream.h"
#include "s/str/Utf.h"
#include "s/xml/Escape.h"
#include "s/xml/Values.h"

namespace s::xml {

namespace {

using str::strbuffer::StrBuffer;

bool isSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// A position in the text being parsed. Every access checks the position
// against the end first.
class Scanner {
 public:
  explicit Scanner(std::u16string_view text) : text_(text) {}

  bool atEnd() const { return position_ >= text_.size(); }
  // The current character; only valid when not at the end.
  char16_t peek() const { return text_[position_]; }
  // True when the character after the current one exists and is `c`.
  bool nextIs(char16_t c) const {
    return position_ + 1 < text_.size() && text_[position_ + 1] == c;
  }
  void advance() { ++position_; }
  std::size_t position() const { return position_; }
  std::u16string_view from(std::size_t start) const {
    return text_.substr(start, position_ - start);
  }

  void skipSpace() {
    while (!atEnd() && isSpace(text_[position_]))
      ++position_;
  }
  // Moves to the next `c`; false (at the end) when there is none.
  bool skipTo(char16_t c) {
    const std::size_t found = text_.find(c, position_);
    position_ = found == std::u16string_view::npos ? text_.size() : found;
    return found != std::u16string_view::npos;
  }
  // Moves past the next `sequence`; false (at the end) when there is none.
  bool skipPast(std::u16string_view sequence) {
    const std::size_t found = text_.find(sequence, position_);
    if (found == std::u16string_view::npos) {
      position_ = text_.size();
      return false;
    }
    position_ = found + sequence.size();
    return true;
  }

 private:
  std::u16string_view text_;
  std::size_t position_ = 0;
};

enum class TagKind {
  None,     // no "<" before the end of the text
  Skipped,  // a comment or a processing instruction
  Empty,    // an element closed by "/>" (or cut off by the end of the text)
  Open,     // an element whose content follows
};

struct Tag {
  TagKind kind;
  // The end of the text came before the tag's own end.
  bool truncated;
};

bool endsName(char16_t c) {
  return isSpace(c) || c == u'/' || c == u'>';
}

// Reads the attributes up to ">" or "/" into `node`.
Tag readAttributes(Scanner& scan, Node& node) {
  for (;;) {
    scan.skipSpace();
    if (scan.atEnd()) return {TagKind::Empty, true};
    if (scan.peek() == u'>') {
      scan.advance();
      return {TagKind::Open, false};
    }
    if (scan.peek() == u'/') {
      const bool closed = scan.skipTo(u'>');
      if (closed) scan.advance();
      return {TagKind::Empty, !closed};
    }
    const std::size_t nameStart = scan.position();
    while (!scan.atEnd() && scan.peek() != u'=' && !endsName(scan.peek()))
      scan.advance();
    const std::u16string_view name = scan.from(nameStart);
    scan.skipSpace();
    std::u16string_view value;
    if (!scan.atEnd() && scan.peek() == u'=') {
      scan.advance();
      // The value runs from after the next double quote to the following one.
      if (scan.skipTo(u'"')) {
        scan.advance();
        const std::size_t valueStart = scan.position();
        const bool closed = scan.skipTo(u'"');
        value = scan.from(valueStart);
        if (closed) scan.advance();
      }
    }
    // An empty name would read as a text run; such an attribute is dropped.
    if (!name.empty()) node.setRaw(name, value);
  }
}

// Reads the tag at or after the scanner's position into `node`.
Tag readTag(Scanner& scan, Node& node) {
  if (!scan.skipTo(u'<')) return {TagKind::None, true};
  scan.advance();
  scan.skipSpace();
  if (scan.atEnd()) return {TagKind::None, true};
  if (scan.peek() == u'!') {
    node.setName(Node::COMMENT_NAME);
    scan.advance();
    return {TagKind::Skipped, !scan.skipPast(u"-->")};
  }
  if (scan.peek() == u'?') {
    scan.advance();
    return {TagKind::Skipped, !scan.skipPast(u"?>")};
  }
  const std::size_t nameStart = scan.position();
  while (!scan.atEnd() && !endsName(scan.peek()))
    scan.advance();
  node.setName(scan.from(nameStart));
  return readAttributes(scan, node);
}

// Skips white space, then stores the text up to the next "<" (or the end) as
// a text run of `node`.
void readText(Scanner& scan, Node& node) {
  scan.skipSpace();
  if (scan.atEnd() || scan.peek() == u'<') return;
  const std::size_t start = scan.position();
  scan.skipTo(u'<');
  node.setRaw(u"", scan.from(start));
}

void writeOpening(const Node& node, std::u16string& out) {
  out += u'<';
  out += node.getName();
  const Attributes& attributes = node.getAttributes();
  const Attr* text = nullptr;
  for (std::int32_t i = 0; i < attributes.getCount(); ++i) {
    const Attr* attribute = attributes.get(i);
    if (attribute->nameLength == 0) {
      if (text == nullptr) text = attribute;
      continue;
    }
    out += u' ';
    out += attribute->getName();
    out += u"=\"";
    out += attribute->getValue();
    out += u'"';
  }
  out += u'>';
  if (text != nullptr) out += text->getValue();
}

void writeClosing(const Node& node, std::u16string& out) {
  out += u"</";
  out += node.getName();
  out += u'>';
}

}  // namespace

Node* Node::obtain(std::u16string_view name) {
  Node* node = obtain();
  if (node != nullptr) node->setName(name);
  return node;
}

void Node::clear() {
  releaseChildren();
  attributes_.removeAll();
  name_.clear();
}

void Node::recycle() {
  releaseChildren();
  PooledObject::recycle();
}

void Node::releaseChildren() {
  if (children_.isEmpty()) return;
  std::vector<Node*> pending;
  pending.reserve(static_cast<std::size_t>(children_.getLength()));
  for (void* child : children_)
    pending.push_back(static_cast<Node*>(child));
  children_.removeAllWithoutDisposing();
  while (!pending.empty()) {
    Node* node = pending.back();
    pending.pop_back();
    for (void* child : node->children_)
      pending.push_back(static_cast<Node*>(child));
    node->children_.removeAllWithoutDisposing();
    // The node has no children left, so its reset releases attributes only.
    thread::ClassPool<Node>::release(node);
  }
}

bool Node::nameEquals(std::u16string_view text, bool ignoreCase) const {
  return ignoreCase ? StrBuffer::compareTextsIgnoreCase(name_.view(), text) == 0
                    : name_.view() == text;
}

Node* Node::getChild(std::int32_t index) const {
  if (index < 0 || index >= children_.getLength()) return nullptr;
  return static_cast<Node*>(children_.get(index));
}

Node* Node::addChild(std::u16string_view name) {
  Node* child = obtain(name);
  if (child != nullptr) children_.add(child);
  return child;
}

std::int32_t Node::indexOfChild(std::u16string_view name, bool exact) const {
  for (std::int32_t i = 0; i < children_.getLength(); ++i) {
    if (static_cast<const Node*>(children_.get(i))->nameEquals(name, !exact)) return i;
  }
  return -1;
}

Node* Node::findChild(std::u16string_view name, bool exact) const {
  return getChild(indexOfChild(name, exact));
}

bool Node::removeChild(std::int32_t index) {
  Node* child = getChild(index);
  if (child == nullptr) return false;
  children_.remove(index);
  child->recycle();
  return true;
}

std::int32_t Node::removeChildren(std::u16string_view name) {
  std::int32_t removed = 0;
  for (std::int32_t i = children_.getLength() - 1; i >= 0; --i) {
    if (static_cast<const Node*>(children_.get(i))->nameEquals(name, true)) {
      removeChild(i);
      ++removed;
    }
  }
  return removed;
}

void Node::removeAllChildren() {
  releaseChildren();
}

namespace {

template <class T>
T getInteger(const Node& node, std::u16string_view name, T fallback) {
  const Attr* attribute = node.findAttribute(name);
  T value;
  return attribute != nullptr && parseInteger(attribute->getValue(), value) ? value : fallback;
}

}  // namespace

std::int8_t Node::getS8(std::u16string_view name, std::int8_t fallback) const {
  return getInteger(*this, name, fallback);
}
std::int16_t Node::getS16(std::u16string_view name, std::int16_t fallback) const {
  return getInteger(*this, name, fallback);
}
std::int32_t Node::getS32(std::u16string_view name, std::int32_t fallback) const {
  return getInteger(*this, name, fallback);
}
std::int64_t Node::getS64(std::u16string_view name, std::int64_t fallback) const {
  return getInteger(*this, name, fallback);
}
std::uint8_t Node::getU8(std::u16string_view name, std::uint8_t fallback) const {
  return getInteger(*this, name, fallback);
}
std::uint16_t Node::getU16(std::u16string_view name, std::uint16_t fallback) const {
  return getInteger(*this, name, fallback);
}
std::uint32_t Node::getU32(std::u16string_view name, std::uint32_t fallback) const {
  return getInteger(*this, name, fallback);
}
std::uint64_t Node::getU64(std::u16string_view name, std::uint64_t fallback) const {
  return getInteger(*this, name, fallback);
}

float Node::getFloat(std::u16string_view name, float fallback) const {
  const Attr* attribute = findAttribute(name);
  float value;
  return attribute != nullptr && parseFloat(attribute->getValue(), value) ? value : fallback;
}

double Node::getDouble(std::u16string_view name, double fallback) const {
  const Attr* attribute = findAttribute(name);
  double value;
  return attribute != nullptr && parseDouble(attribute->getValue(), value) ? value : fallback;
}

bool Node::getBool(std::u16string_view name, bool fallback) const {
  const Attr* attribute = findAttribute(name);
  return attribute != nullptr ? parseBool(attribute->getValue()) : fallback;
}

std::u16string_view Node::getRaw(std::u16string_view name, std::u16string_view fallback) const {
  const Attr* attribute = findAttribute(name);
  return attribute != nullptr ? attribute->getValue() : fallback;
}

bool Node::getText(std::u16string_view name, StrBuffer& out, std::u16string_view fallback) const {
  const Attr* attribute = findAttribute(name);
  if (attribute == nullptr) {
    out.set(fallback);
    return false;
  }
  std::u16string text;
  if (name.empty()) {
    unescapeText(attribute->getValue(), text);
  } else {
    unescapeAttribute(attribute->getValue(), text);
  }
  out.set(text);
  return true;
}

std::u16string Node::textOf(std::u16string_view name, std::u16string_view fallback) const {
  const Attr* attribute = findAttribute(name);
  if (attribute == nullptr) return std::u16string(fallback);
  std::u16string text;
  if (name.empty()) {
    unescapeText(attribute->getValue(), text);
  } else {
    unescapeAttribute(attribute->getValue(), text);
  }
  return text;
}

bool Node::setS64(std::u16string_view name, std::int64_t value) {
  std::u16string text;
  appendSigned(value, text);
  return attributes_.add(name, text);
}

bool Node::setU64(std::u16string_view name, std::uint64_t value) {
  std::u16string text;
  appendUnsigned(value, text);
  return attributes_.add(name, text);
}

bool Node::setFloat(std::u16string_view name, float value) {
  std::u16string text;
  appendFloat(value, text);
  return attributes_.add(name, text);
}

bool Node::setDouble(std::u16string_view name, double value) {
  std::u16string text;
  appendDouble(value, text);
  return attributes_.add(name, text);
}

bool Node::setBool(std::u16string_view name, bool value) {
  return attributes_.add(name, value ? u"1" : u"0");
}

bool Node::setText(std::u16string_view name, std::u16string_view text) {
  std::u16string escaped;
  if (name.empty()) {
    escapeText(text, escaped);
  } else {
    escapeAttribute(text, escaped);
  }
  return attributes_.add(name, escaped);
}

void Node::serialize(std::u16string& out) const {
  struct Frame {
    const Node* node;
    std::int32_t nextChild;
  };
  std::vector<Frame> open;
  writeOpening(*this, out);
  open.push_back({this, 0});
  while (!open.empty()) {
    Frame& top = open.back();
    if (top.nextChild < top.node->getChildCount()) {
      const Node* child = top.node->getChild(top.nextChild++);
      writeOpening(*child, out);
      open.push_back({child, 0});
    } else {
      writeClosing(*top.node, out);
      open.pop_back();
    }
  }
}

void Node::serialize(StrBuffer& out) const {
  std::u16string text;
  serialize(text);
  out.append(text);
}

std::string Node::toUtf8() const {
  std::u16string text;
  serialize(text);
  return str::utf16ToUtf8(text);
}

bool Node::parse(std::u16string_view text, bool* complete) {
  clear();
  if (complete != nullptr) *complete = false;
  Scanner scan(text);
  Tag tag;
  // Comments and processing instructions before the first element are
  // skipped.
  do {
    clear();
    tag = readTag(scan, *this);
  } while (tag.kind == TagKind::Skipped && !tag.truncated);
  if (tag.kind == TagKind::None || tag.kind == TagKind::Skipped) {
    clear();
    return false;
  }
  if (tag.kind == TagKind::Empty) {
    if (complete != nullptr) *complete = !tag.truncated;
    return true;
  }

  // The elements whose closing tag has not been read yet, innermost last.
  std::vector<Node*> open{this};
  readText(scan, *this);
  bool closed = false;
  while (!scan.atEnd()) {
    // The scanner stands on a "<".
    if (scan.nextIs(u'/')) {
      // The closing tag's name is not compared with the element's.
      if (!scan.skipTo(u'>')) break;
      scan.advance();
      open.pop_back();
      if (open.empty()) {
        closed = true;
        break;
      }
      readText(scan, *open.back());
      continue;
    }
    Node* child = obtain();
    if (child == nullptr) break;
    const Tag childTag = readTag(scan, *child);
    if (childTag.kind == TagKind::None || childTag.kind == TagKind::Skipped) {
      child->recycle();
    } else {
      open.back()->children_.add(child);
      if (childTag.kind == TagKind::Open) {
        open.push_back(child);
        readText(scan, *child);
        continue;
      }
    }
    if (childTag.truncated) break;
    readText(scan, *open.back());
  }
  if (complete != nullptr) *complete = closed;
  return true;
}

bool Node::parseUtf8(std::string_view bytes, bool* complete) {
  return parse(str::utf8ToUtf16(bytes), complete);
}

bool Node::load(file::IPath& path, bool* complete) {
  if (complete != nullptr) *complete = false;
  auto in = thread::own(path.openInputStream());
  return in != nullptr && load(*in, complete);
}

bool Node::load(io::IInputStream& in, bool* complete) {
  clear();
  if (complete != nullptr) *complete = false;
  if (!in.isOpen()) return false;
  std::string bytes;
  char chunk[65536];
  for (;;) {
    std::size_t got = 0;
    if (!in.read(chunk, sizeof chunk, &got) || got == 0) break;
    if (static_cast<std::int64_t>(bytes.size() + got) > MAX_FILE_SIZE) return false;
    bytes.append(chunk, got);
  }
  return parseUtf8(bytes, complete);
}

bool Node::save(file::IPath& path) const {
  auto out = thread::own(path.openOutputStream(false));
  if (out == nullptr || !out->isOpen()) return false;
  const bool written = save(*out);
  return out->close() && written;
}

bool Node::save(io::IOutputStream& out) const {
  const std::string bytes = toUtf8();
  std::size_t written = 0;
  return out.write(bytes.data(), bytes.size(), &written) && written == bytes.size();
}

}  // namespace s::xml

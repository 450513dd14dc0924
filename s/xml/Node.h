#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "s/col/_array/ArrayP.h"
#include "s/str/strbuffer/StrBuffer.h"
#include "s/thread/Pool.h"
#include "s/xml/Attributes.h"
#include "s/xml/IXml.h"

namespace s::xml {

// An element of the library's small XML model: a name, attributes in
// insertion order and child elements, which the node owns.
//
// The model reads and writes a plain subset of XML: elements, attributes in
// double quotes, text between tags and comments, which are skipped. Text
// content is held as attributes with an empty name, one per text run in
// document order. Attribute values and text are kept escaped as they stand in
// the file (Escape.h); typed getters unescape, typed setters escape.
//
// Parsing never reports a syntax error: malformed input gives whatever tree
// the scan produced, and truncated input stops at the end of the text. Trees
// of any depth are parsed, written and released without recursion.
class Node final : public thread::PooledObject<Node, IXml> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_xml_Node";
  // The name the scanner gives a comment.
  static constexpr std::u16string_view COMMENT_NAME = u"!--";
  // Files larger than this are not read.
  static constexpr std::int64_t MAX_FILE_SIZE = 64 << 20;

  Node() { clear(); }
  ~Node() override { clear(); }
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;

  static Node* obtain() { return PooledObject::obtain(); }
  // A new node named `name` (null when none could be allocated).
  static Node* obtain(std::u16string_view name);

  // Releases every descendant and attribute and forgets the name.
  void clear() override;
  // Hands every descendant back to the pool first, so that the pool's reset
  // never has to release nodes into the pool it is filling.
  void recycle() override;

  // Name.
  void setName(std::u16string_view name) { name_.set(name); }
  std::u16string_view getName() const { return name_.view(); }
  bool nameEquals(std::u16string_view text, bool ignoreCase) const;
  bool isComment() const { return name_.view() == COMMENT_NAME; }

  // Children. Lookups by name ignore case unless `exact` is set and find the
  // first match.
  std::int32_t getChildCount() const { return children_.getLength(); }
  // Null when `index` is out of range.
  Node* getChild(std::int32_t index) const;
  // Appends a new child named `name` and returns it (null when no node could
  // be allocated).
  Node* addChild(std::u16string_view name);
  std::int32_t indexOfChild(std::u16string_view name, bool exact = false) const;
  Node* findChild(std::u16string_view name, bool exact = false) const;
  // Releases the child at `index` with its descendants; false when out of range.
  bool removeChild(std::int32_t index);
  // Releases every child named `name` (ignoring case); returns how many.
  std::int32_t removeChildren(std::u16string_view name);
  void removeAllChildren();

  // Attributes. Lookups ignore case and find the first match; the empty name
  // stands for the text content.
  const Attributes& getAttributes() const { return attributes_; }
  const Attr* findAttribute(std::u16string_view name) const { return attributes_.find(name); }
  bool hasAttribute(std::u16string_view name) const { return findAttribute(name) != nullptr; }
  std::int32_t removeAttributes(std::u16string_view name) { return attributes_.remove(name); }
  void removeAllAttributes() { attributes_.removeAll(); }

  // Typed getters return `fallback` when the attribute is missing or its text
  // is no number of the type.
  std::int8_t getS8(std::u16string_view name, std::int8_t fallback) const;
  std::int16_t getS16(std::u16string_view name, std::int16_t fallback) const;
  std::int32_t getS32(std::u16string_view name, std::int32_t fallback) const;
  std::int64_t getS64(std::u16string_view name, std::int64_t fallback) const;
  std::uint8_t getU8(std::u16string_view name, std::uint8_t fallback) const;
  std::uint16_t getU16(std::u16string_view name, std::uint16_t fallback) const;
  std::uint32_t getU32(std::u16string_view name, std::uint32_t fallback) const;
  std::uint64_t getU64(std::u16string_view name, std::uint64_t fallback) const;
  float getFloat(std::u16string_view name, float fallback) const;
  double getDouble(std::u16string_view name, double fallback) const;
  // True when the text begins with "1" or "true"; `fallback` when missing.
  bool getBool(std::u16string_view name, bool fallback) const;
  // The stored (escaped) text, or `fallback`.
  std::u16string_view getRaw(std::u16string_view name, std::u16string_view fallback = {}) const;
  // Sets `out` to the unescaped text (attribute rules for a named attribute,
  // text rules for the empty name); to `fallback` when missing, returning false.
  bool getText(std::u16string_view name, str::strbuffer::StrBuffer& out,
               std::u16string_view fallback = {}) const;
  // The unescaped text, or `fallback`.
  std::u16string textOf(std::u16string_view name, std::u16string_view fallback = {}) const;

  // Typed setters append a new record (records of the same name stay; remove
  // them first to replace a value). False when memory ran out.
  bool setS8(std::u16string_view name, std::int8_t value) { return setS64(name, value); }
  bool setS16(std::u16string_view name, std::int16_t value) { return setS64(name, value); }
  bool setS32(std::u16string_view name, std::int32_t value) { return setS64(name, value); }
  bool setS64(std::u16string_view name, std::int64_t value);
  bool setU8(std::u16string_view name, std::uint8_t value) { return setU64(name, value); }
  bool setU16(std::u16string_view name, std::uint16_t value) { return setU64(name, value); }
  bool setU32(std::u16string_view name, std::uint32_t value) { return setU64(name, value); }
  bool setU64(std::u16string_view name, std::uint64_t value);
  bool setFloat(std::u16string_view name, float value);
  bool setDouble(std::u16string_view name, double value);
  // Stored as "1" or "0".
  bool setBool(std::u16string_view name, bool value);
  // Escapes `text` (attribute rules for a named attribute, text rules for the
  // empty name) and appends it.
  bool setText(std::u16string_view name, std::u16string_view text);
  // Appends `raw` as it is; it must already be escaped.
  bool setRaw(std::u16string_view name, std::u16string_view raw) {
    return attributes_.add(name, raw);
  }

  // Writing: "<name", every named attribute as ` name="value"`, ">", the
  // first text run, the children, "</name>"; no declaration, line breaks or
  // indentation.
  void serialize(std::u16string& out) const override;
  void serialize(str::strbuffer::StrBuffer& out) const;
  std::string toUtf8() const;

  // Reading. A byte-order mark or anything else before the first "<" is
  // ignored, and so are comments and processing instructions before the
  // first element.
  bool parse(std::u16string_view text, bool* complete) override;
  bool parseUtf8(std::string_view bytes, bool* complete);
  bool load(file::IPath& path, bool* complete) override;
  bool load(io::IInputStream& in, bool* complete) override;

  // Saving creates the parent folder when it is missing. It does not wait
  // for the disk; the settings store writes its file atomically itself.
  bool save(file::IPath& path) const override;
  bool save(io::IOutputStream& out) const override;

 private:
  // Releases the descendants without recursion.
  void releaseChildren();

  str::strbuffer::StrBuffer name_;
  Attributes attributes_;
  col::_array::ArrayP children_;
};

}  // namespace s::xml

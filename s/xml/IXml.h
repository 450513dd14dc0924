#pragma once

#include <string>
#include <string_view>

#include "s/base/IObject.h"
#include "s/thread/IPoolable.h"

namespace s::file {
class IPath;
}
namespace s::io {
class IInputStream;
class IOutputStream;
}  // namespace s::io

namespace s::xml {

// An XML element that can be written out and read back: the document-level
// operations of the library's XML model.
class IXml : public base::IObject, public thread::IPoolable {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_xml_IXml";

  // Appends the element, its attributes and all its descendants to `out`.
  virtual void serialize(std::u16string& out) const = 0;
  // Replaces this element by the first element of `text`. True when an
  // element was found; `complete` (may be null) tells whether every element
  // it opened was also closed before the text ended.
  virtual bool parse(std::u16string_view text, bool* complete) = 0;
  // Reads a whole file or stream as UTF-8 and parses it as above.
  virtual bool load(file::IPath& path, bool* complete) = 0;
  virtual bool load(io::IInputStream& in, bool* complete) = 0;
  // Writes the serialised element as UTF-8 without a byte-order mark.
  virtual bool save(file::IPath& path) const = 0;
  virtual bool save(io::IOutputStream& out) const = 0;
};

}  // namespace s::xml

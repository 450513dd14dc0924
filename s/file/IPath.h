#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "s/base/IObject.h"
#include "s/file/IFileInputStream.h"
#include "s/file/IFileOutputStream.h"

namespace s::file {

// A file-system path: parses a text into its parts, answers questions about
// the file or folder it names and derives related paths.
//
// Texts come back as views into the path object; they stay valid until the
// path is set again, cleared or recycled. Every path or stream returned is a
// new pooled object that the caller recycles (null only when no object could
// be allocated).
class IPath : public base::IObject {
 public:
  // Attribute bits as getAttributes reports them.
  static constexpr std::uint32_t ATTRIBUTE_READONLY = 0x1;
  static constexpr std::uint32_t ATTRIBUTE_HIDDEN = 0x2;
  static constexpr std::uint32_t ATTRIBUTE_SYSTEM = 0x4;
  static constexpr std::uint32_t ATTRIBUTE_DIRECTORY = 0x10;
  static constexpr std::uint32_t ATTRIBUTE_ARCHIVE = 0x20;
  // Nothing exists at the path (or it could not be asked).
  static constexpr std::uint32_t ATTRIBUTES_INVALID = 0xFFFFFFFF;

  // Parses `text` into the full path and its parts, forgetting every cached
  // answer about the previous path.
  virtual void setPath(std::u16string_view text) = 0;
  // The text given to setPath.
  virtual std::u16string_view getGivenPath() const = 0;
  virtual std::u16string_view getFullPath() const = 0;
  // The form handed to system calls.
  virtual const std::string& getNativePath() const = 0;

  virtual bool exists() const = 0;
  virtual bool isReadable() const = 0;
  virtual bool isWritable() const = 0;
  virtual bool isReadWritable() const = 0;
  // Read once on first use and kept until refresh, setPath or clear.
  virtual std::uint32_t getAttributes() const = 0;
  // The attribute questions answer false when nothing exists at the path.
  virtual bool isFolder() const = 0;
  virtual bool isFile() const = 0;
  virtual bool isHidden() const = 0;
  virtual bool isSystem() const = 0;
  virtual bool isArchive() const = 0;
  // A network path: more than two characters, two leading slashes or
  // backslashes, the third character neither.
  virtual bool isUnc() const = 0;
  // Forgets the cached attributes, so the next question reads them again.
  virtual void refresh() = 0;

  virtual std::u16string_view getDrive() const = 0;
  // The containing folder with its trailing separator.
  virtual std::u16string_view getFolder() const = 0;
  // Stem and extension.
  virtual std::u16string_view getFileName() const = 0;
  // The name without its last extension.
  virtual std::u16string_view getStem() const = 0;
  // The last extension with its dot; empty when there is none.
  virtual std::u16string_view getExtension() const = 0;

  // The containing folder as a new path; null for an empty path.
  virtual IPath* getParent() const = 0;
  // The size of the file in bytes; -1 when it does not exist or is a folder.
  virtual std::int64_t getFileSize() const = 0;
  // The first numbered variant of this path at which nothing exists, as a
  // new path (this path itself when it is free).
  virtual IPath* firstFreeVariant() const = 0;
  // Creates the folder, and its missing parents when needed.
  virtual bool createFolder(bool notify) = 0;
  // Makes sure the containing folder exists.
  virtual bool createParentFolders() = 0;
  // A new stream on the path; when opening failed the stream is closed and
  // every read or write on it reports false.
  virtual IFileInputStream* openInputStream() = 0;
  // Creates the missing parent folders first.
  virtual IFileOutputStream* openOutputStream(bool append) = 0;

  // Hands the path back to its class pool.
  virtual void recycle() = 0;
};

}  // namespace s::file

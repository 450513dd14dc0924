#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "s/file/IPath.h"
#include "s/file/win/FileInputStream.h"
#include "s/file/win/FileOutputStream.h"
#include "s/thread/Pool.h"

namespace s::file::win {

// The path object of the native platform (POSIX): "/" separates the parts,
// there is no drive, and the native form is the UTF-8 text of the full path.
//
// The full path is absolute and lexically normalised: a relative text is
// resolved against the current folder, "." and empty segments are dropped,
// ".." removes the segment before it (at the root it stays at the root), and
// no separator trails except for the root "/" itself. The folding is purely
// textual, so "link/.." names the folder holding "link" even when "link" is a
// symbolic link. "\" is an ordinary character in a name. A text holding a NUL
// character cannot name a file and gives an empty path.
//
// The name splits at its last dot into stem and extension; dots at the start
// of a name do not begin an extension, so ".bashrc" is a stem without
// extension and "archive.tar.gz" has stem "archive.tar" and extension ".gz".
class PathWin final : public thread::PooledObject<PathWin, IPath> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_file_win_PathWin";

  PathWin() { clear(); }
  static PathWin* obtain() { return PooledObject::obtain(); }
  // A new path set to `text` (null when none could be allocated).
  static PathWin* obtain(std::u16string_view text);

  void clear() override;

  void setPath(std::u16string_view text) override;
  void setPathUtf8(std::string_view text);
  std::u16string_view getGivenPath() const override { return given_; }
  std::u16string_view getFullPath() const override { return full_; }
  const std::string& getNativePath() const override { return native_; }

  bool exists() const override;
  bool isReadable() const override;
  bool isWritable() const override;
  bool isReadWritable() const override;
  // Directory for folders, archive for regular files, hidden for names that
  // start with a dot, read-only when the current user may not write; invalid
  // when nothing exists at the path (symbolic links are followed).
  std::uint32_t getAttributes() const override;
  bool isFolder() const override;
  bool isFile() const override;
  bool isHidden() const override;
  bool isSystem() const override;
  bool isArchive() const override;
  // Judged on the given text: a normalised full path never starts with "//".
  bool isUnc() const override;
  void refresh() override { attributesRead_ = false; }

  std::u16string_view getDrive() const override { return {}; }
  std::u16string_view getFolder() const override;
  std::u16string_view getFileName() const override;
  std::u16string_view getStem() const override;
  std::u16string_view getExtension() const override;

  // The parent of the root is the root.
  PathWin* getParent() const override;
  std::int64_t getFileSize() const override;
  // Counts n = 1, 2, ...: an existing folder becomes "<full path> (n)",
  // anything else "<path without extension> (n)<extension>". A name is taken
  // when anything occupies it, a dangling symbolic link included.
  PathWin* firstFreeVariant() const override;
  // Refuses the root and an empty path. An existing folder is a failure, as
  // for any creation that does not happen. There is no shell to notify here,
  // so `notify` changes nothing.
  bool createFolder(bool notify) override;
  // True when the parent already exists (whatever it is), else creates it
  // with its own missing parents.
  bool createParentFolders() override;
  FileInputStream* openInputStream() override;
  FileOutputStream* openOutputStream(bool append) override;

 private:
  // Sets the full path and its parts from an already normalised text.
  void setFull(std::u16string full);

  std::u16string given_;
  std::u16string full_;
  // full_[0, folderEnd_) is the folder with its trailing "/", full_[folderEnd_,
  // extensionStart_) the stem and full_[extensionStart_, end) the extension.
  std::size_t folderEnd_ = 0;
  std::size_t extensionStart_ = 0;
  std::string native_;
  mutable std::uint32_t attributes_ = ATTRIBUTES_INVALID;
  mutable bool attributesRead_ = false;
};

}  // namespace s::file::win

#include "s/file/win/PathWin.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <limits>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "s/str/Utf.h"

namespace s::file::win {

namespace {

// The current folder as UTF-8, or empty when the system cannot tell (it was
// removed, or lies outside this process's root).
std::string currentFolder() {
  std::string buffer(256, '\0');
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
      buffer.resize(std::strlen(buffer.c_str()));
      if (buffer.empty() || buffer[0] != '/') return {};
      return buffer;
    }
    if (errno != ERANGE || buffer.size() >= (std::size_t{1} << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

// The absolute, lexically normalised form of `text`; empty when `text` is
// empty, holds a NUL character or is relative while the current folder is
// unknown.
std::u16string normalise(std::u16string_view text) {
  if (text.empty() || text.find(u'\0') != std::u16string_view::npos) return {};
  std::u16string base;
  if (text[0] != u'/') {
    const std::string cwd = currentFolder();
    if (cwd.empty()) return {};
    base = str::utf8ToUtf16(cwd);
  }

  std::vector<std::u16string_view> segments;
  auto fold = [&segments](std::u16string_view part) {
    std::size_t start = 0;
    while (start <= part.size()) {
      std::size_t end = part.find(u'/', start);
      if (end == std::u16string_view::npos) end = part.size();
      const std::u16string_view segment = part.substr(start, end - start);
      if (segment == u"..") {
        if (!segments.empty()) segments.pop_back();
      } else if (!segment.empty() && segment != u".") {
        segments.push_back(segment);
      }
      start = end + 1;
    }
  };
  fold(base);
  fold(text);

  if (segments.empty()) return u"/";
  std::u16string full;
  for (std::u16string_view segment : segments) {
    full.push_back(u'/');
    full.append(segment);
  }
  return full;
}

bool isSlash(char16_t c) {
  return c == u'/' || c == u'\\';
}

// True when anything occupies the name, a dangling symbolic link included.
bool nameTaken(const std::string& native) {
  struct stat info;
  return !native.empty() && ::lstat(native.c_str(), &info) == 0;
}

bool isDirectoryNow(const std::string& native) {
  struct stat info;
  return !native.empty() && ::stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void appendNumber(std::u16string& text, std::int64_t number) {
  char16_t digits[24];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + number % 10);
    number /= 10;
  } while (number > 0 && count < sizeof(digits) / sizeof(digits[0]));
  while (count > 0)
    text.push_back(digits[--count]);
}

}  // namespace

PathWin* PathWin::obtain(std::u16string_view text) {
  PathWin* path = obtain();
  if (path != nullptr) path->setPath(text);
  return path;
}

void PathWin::clear() {
  given_.clear();
  full_.clear();
  folderEnd_ = 0;
  extensionStart_ = 0;
  native_.clear();
  attributes_ = ATTRIBUTES_INVALID;
  attributesRead_ = false;
}

void PathWin::setPath(std::u16string_view text) {
  // Copied first: the text may be a view into this very path.
  std::u16string given(text);
  std::u16string full = normalise(given);
  clear();
  given_ = std::move(given);
  setFull(std::move(full));
}

void PathWin::setPathUtf8(std::string_view text) {
  setPath(str::utf8ToUtf16(text));
}

void PathWin::setFull(std::u16string full) {
  full_ = std::move(full);
  if (full_.empty()) return;
  folderEnd_ = full_.rfind(u'/') + 1;
  extensionStart_ = full_.size();
  // Leading dots belong to the stem.
  std::size_t stemStart = folderEnd_;
  while (stemStart < full_.size() && full_[stemStart] == u'.')
    ++stemStart;
  const std::size_t dot = full_.rfind(u'.');
  if (dot != std::u16string::npos && dot >= stemStart) extensionStart_ = dot;
  native_ = str::utf16ToUtf8(full_);
}

bool PathWin::exists() const {
  return !native_.empty() && ::access(native_.c_str(), F_OK) == 0;
}

bool PathWin::isReadable() const {
  return !native_.empty() && ::access(native_.c_str(), R_OK) == 0;
}

bool PathWin::isWritable() const {
  return !native_.empty() && ::access(native_.c_str(), W_OK) == 0;
}

bool PathWin::isReadWritable() const {
  return !native_.empty() && ::access(native_.c_str(), R_OK | W_OK) == 0;
}

std::uint32_t PathWin::getAttributes() const {
  if (attributesRead_) return attributes_;
  attributesRead_ = true;
  attributes_ = ATTRIBUTES_INVALID;
  struct stat info;
  if (native_.empty() || ::stat(native_.c_str(), &info) != 0) return attributes_;
  std::uint32_t attributes = 0;
  if (S_ISDIR(info.st_mode)) attributes |= ATTRIBUTE_DIRECTORY;
  if (S_ISREG(info.st_mode)) attributes |= ATTRIBUTE_ARCHIVE;
  if (folderEnd_ < full_.size() && full_[folderEnd_] == u'.') attributes |= ATTRIBUTE_HIDDEN;
  if (::access(native_.c_str(), W_OK) != 0) attributes |= ATTRIBUTE_READONLY;
  attributes_ = attributes;
  return attributes_;
}

bool PathWin::isFolder() const {
  const std::uint32_t attributes = getAttributes();
  return attributes != ATTRIBUTES_INVALID && (attributes & ATTRIBUTE_DIRECTORY) != 0;
}

bool PathWin::isFile() const {
  const std::uint32_t attributes = getAttributes();
  return attributes != ATTRIBUTES_INVALID && (attributes & ATTRIBUTE_DIRECTORY) == 0;
}

bool PathWin::isHidden() const {
  const std::uint32_t attributes = getAttributes();
  return attributes != ATTRIBUTES_INVALID && (attributes & ATTRIBUTE_HIDDEN) != 0;
}

bool PathWin::isSystem() const {
  const std::uint32_t attributes = getAttributes();
  return attributes != ATTRIBUTES_INVALID && (attributes & ATTRIBUTE_SYSTEM) != 0;
}

bool PathWin::isArchive() const {
  const std::uint32_t attributes = getAttributes();
  return attributes != ATTRIBUTES_INVALID && (attributes & ATTRIBUTE_ARCHIVE) != 0;
}

bool PathWin::isUnc() const {
  return given_.size() > 2 && isSlash(given_[0]) && isSlash(given_[1]) && !isSlash(given_[2]);
}

std::u16string_view PathWin::getFolder() const {
  return std::u16string_view(full_).substr(0, folderEnd_);
}

std::u16string_view PathWin::getFileName() const {
  return std::u16string_view(full_).substr(folderEnd_);
}

std::u16string_view PathWin::getStem() const {
  return std::u16string_view(full_).substr(folderEnd_, extensionStart_ - folderEnd_);
}

std::u16string_view PathWin::getExtension() const {
  return std::u16string_view(full_).substr(extensionStart_);
}

PathWin* PathWin::getParent() const {
  if (full_.empty()) return nullptr;
  PathWin* parent = obtain();
  if (parent == nullptr) return nullptr;
  // The folder without its trailing separator, except for the root.
  const std::size_t length = folderEnd_ > 1 ? folderEnd_ - 1 : 1;
  parent->given_ = full_.substr(0, length);
  parent->setFull(parent->given_);
  return parent;
}

std::int64_t PathWin::getFileSize() const {
  struct stat info;
  if (native_.empty() || ::stat(native_.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return -1;
  return static_cast<std::int64_t>(info.st_size);
}

PathWin* PathWin::firstFreeVariant() const {
  PathWin* result = obtain();
  if (result == nullptr) return nullptr;
  if (!nameTaken(native_)) {
    result->given_ = given_;
    result->setFull(full_);
    return result;
  }
  const bool folder = isDirectoryNow(native_);
  const std::u16string_view full(full_);
  const std::u16string_view head = folder ? full : full.substr(0, extensionStart_);
  const std::u16string_view tail = folder ? std::u16string_view() : full.substr(extensionStart_);
  std::u16string candidate;
  for (std::int64_t n = 1; n < std::numeric_limits<std::int64_t>::max(); ++n) {
    candidate.assign(head);
    candidate.append(u" (");
    appendNumber(candidate, n);
    candidate.push_back(u')');
    candidate.append(tail);
    if (!nameTaken(str::utf16ToUtf8(candidate))) break;
  }
  // Appending to a normalised path keeps it normalised.
  result->given_ = candidate;
  result->setFull(std::move(candidate));
  return result;
}

bool PathWin::createFolder(bool /*notify*/) {
  // The root cannot be created; a text too long for the system cannot name a
  // folder (and must not send the parent creation deep into recursion).
  if (full_.size() <= 1 || native_.size() >= PATH_MAX) return false;
  refresh();
  if (::mkdir(native_.c_str(), 0777) == 0) return true;
  if (!createParentFolders()) return false;
  return ::mkdir(native_.c_str(), 0777) == 0;
}

bool PathWin::createParentFolders() {
  thread::Owned<PathWin> parent = thread::own(getParent());
  if (parent == nullptr) return false;
  if (parent->exists()) return true;
  return parent->createFolder(false);
}

FileInputStream* PathWin::openInputStream() {
  FileInputStream* stream = FileInputStream::obtain();
  if (stream != nullptr) stream->open(*this);
  return stream;
}

FileOutputStream* PathWin::openOutputStream(bool append) {
  createParentFolders();
  refresh();
  FileOutputStream* stream = FileOutputStream::obtain();
  if (stream != nullptr) stream->open(*this, append);
  return stream;
}

}  // namespace s::file::win

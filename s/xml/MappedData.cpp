#include "s/xml/MappedData.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "s/col/_array/IntArrays.h"
#include "s/file/win/NativeFiles.h"
#include "s/file/win/PathWin.h"
#include "s/map/SectionPath.h"
#include "s/str/Utf.h"
#include "s/xml/Escape.h"
#include "s/xml/Values.h"

namespace s::xml {

namespace {

using col::_array::ArrayU08;
using file::win::PathWin;
using file::win::renameWithoutReplacing;
using file::win::syncFolder;
using str::strbuffer::StrBuffer;

constexpr std::string_view kVendorFolder = "Kelto";
constexpr std::string_view kProductFolder = "Kelto Tintery";
constexpr std::string_view kFileName = "SaveData.xml";
// How many numbered names a damaged file may try before giving up.
constexpr int kSetAsideAttempts = 1000;

bool isStorableName(std::u16string_view name) {
  if (name.empty() || name[0] == u'!' || name[0] == u'?') return false;
  for (char16_t c : name) {
    if (c < 0x20 || c == 0x7F || c == u' ' || c == u'<' || c == u'>' || c == u'/' || c == u'=' ||
        c == u'"') {
      return false;
    }
  }
  return true;
}

bool isStorableKey(std::u16string_view key) {
  return key.empty() || isStorableName(key);
}

std::u16string escapeValue(std::u16string_view key, std::u16string_view text) {
  std::u16string escaped;
  if (key.empty()) {
    escapeText(text, escaped);
  } else {
    escapeAttribute(text, escaped);
  }
  return escaped;
}

int hexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// Writes all of `bytes` to `fd`, looping over partial writes and
// interruptions.
bool writeAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t count = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    done += static_cast<std::size_t>(count);
  }
  return true;
}

// Replaces the file at `path` by one holding `bytes` so that a crash at any
// moment leaves either the old or the new file: write a temporary file in
// the same folder, synchronise it, rename it over `path`, synchronise the
// folder.
bool replaceFile(PathWin& path, std::string_view bytes) {
  if (!path.createParentFolders()) return false;
  const std::string folder = str::utf16ToUtf8(path.getFolder());
  std::string temporary = path.getNativePath() + str::utf16ToUtf8(MappedData::TEMPORARY_INFIX);
  temporary += "XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = writeAll(fd, bytes);
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(temporary.c_str(), path.getNativePath().c_str()) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  return syncFolder(folder);
}

}  // namespace

std::u16string MappedData::defaultFilePath() {
  std::string base;
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    std::string homeFolder;
    if (home != nullptr && home[0] == '/') {
      homeFolder = home;
    } else {
      std::vector<char> buffer(16384);
      passwd entry;
      passwd* found = nullptr;
      if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
          found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        homeFolder = found->pw_dir;
      }
    }
    if (homeFolder.empty()) return {};
    base = homeFolder + "/.config";
  }
  std::string path = base;
  path += '/';
  path += kVendorFolder;
  path += '/';
  path += kProductFolder;
  path += '/';
  path += kFileName;
  return str::utf8ToUtf16(path);
}

MappedData* MappedData::create(std::u16string_view filePath) {
  MappedData* store = obtain();
  if (store != nullptr) store->open(filePath);
  return store;
}

void MappedData::clear() {
  thread::recycleAndNull(document_);
  path_.clear();
  nativePath_.clear();
  setAsidePath_.clear();
  forgetSection();
  autoFlush_ = true;
  dirty_ = false;
  writable_ = true;
}

void MappedData::recycle() {
  flush();
  PooledObject::recycle();
}

bool MappedData::open(std::u16string_view filePath) {
  flush();
  clear();
  if (filePath.empty()) return true;
  auto path = thread::own(PathWin::obtain(filePath));
  if (path == nullptr || path->getFullPath().empty()) {
    writable_ = false;
    return false;
  }
  path_ = path->getFullPath();
  nativePath_ = path->getNativePath();
  removeStaleTemporaries();

  struct stat info;
  if (::lstat(nativePath_.c_str(), &info) != 0) {
    // Nothing there yet (perhaps not even the folder): start from defaults.
    if (errno == ENOENT || errno == ENOTDIR) return true;
    // Whatever is there could not even be looked at: leave it alone.
    writable_ = false;
    return false;
  }
  Node* document = Node::obtain();
  bool complete = false;
  if (document != nullptr && document->load(*path, &complete) && complete &&
      document->nameEquals(ROOT_NAME, true)) {
    document_ = document;
    return true;
  }
  if (document != nullptr) document->recycle();
  if (!setAside()) writable_ = false;
  return false;
}

bool MappedData::setAside() {
  std::string target = nativePath_ + str::utf16ToUtf8(DAMAGED_SUFFIX);
  for (int attempt = 0; attempt < kSetAsideAttempts; ++attempt) {
    const std::string candidate = attempt == 0 ? target : target + "." + std::to_string(attempt);
    if (renameWithoutReplacing(nativePath_, candidate)) {
      setAsidePath_ = str::utf8ToUtf16(candidate);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

void MappedData::removeStaleTemporaries() {
  auto path = thread::own(PathWin::obtain(path_));
  if (path == nullptr) return;
  const std::string folder = str::utf16ToUtf8(path->getFolder());
  const std::string prefix =
      str::utf16ToUtf8(path->getFileName()) + str::utf16ToUtf8(TEMPORARY_INFIX);
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  // A temporary file is only left behind by a write that never finished.
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name.size() > prefix.size() && name.starts_with(prefix)) {
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

bool MappedData::flush() {
  if (!dirty_) return true;
  if (!isWritable() || document_ == nullptr) return false;
  auto path = thread::own(PathWin::obtain(path_));
  if (path == nullptr || !replaceFile(*path, document_->toUtf8())) return false;
  dirty_ = false;
  return true;
}

void MappedData::forgetSection() {
  cachedPath_.clear();
  cachedSection_ = nullptr;
}

Node* MappedData::walk(std::u16string_view section, bool create) {
  if (document_ == nullptr) {
    if (!create) return nullptr;
    document_ = Node::obtain(ROOT_NAME);
    if (document_ == nullptr) return nullptr;
    dirty_ = true;
  }
  Node* node = document_;
  for (std::u16string_view component : map::splitSectionPath(section, true)) {
    Node* child = node->findChild(component);
    if (child == nullptr) {
      if (!create || !isStorableName(component)) return nullptr;
      child = node->addChild(component);
      if (child == nullptr) return nullptr;
      dirty_ = true;
    }
    node = child;
  }
  return node;
}

Node* MappedData::findSection(std::u16string_view section, bool create) {
  if (cachedSection_ != nullptr && StrBuffer::compareTextsIgnoreCase(section, cachedPath_) == 0) {
    return cachedSection_;
  }
  cachedPath_.assign(section);
  cachedSection_ = walk(section, create);
  return cachedSection_;
}

bool MappedData::openSection(std::u16string_view section) {
  return findSection(section, true) != nullptr;
}

bool MappedData::selectSection(std::u16string_view section) {
  return findSection(section, false) != nullptr;
}

void MappedData::deleteSection(std::u16string_view section) {
  // The cached element may be the one removed or lie inside it.
  forgetSection();
  const std::vector<std::u16string_view> components = map::splitSectionPath(section, true);
  if (document_ == nullptr) return;
  if (components.empty()) {
    // The root section itself: everything stored goes.
    if (document_->getChildCount() > 0 || document_->getAttributes().getCount() > 0) {
      document_->removeAllChildren();
      document_->removeAllAttributes();
      dirty_ = true;
    }
  } else {
    Node* parent = document_;
    for (std::size_t i = 0; i + 1 < components.size() && parent != nullptr; ++i)
      parent = parent->findChild(components[i]);
    if (parent != nullptr && parent->removeChildren(components.back()) > 0) dirty_ = true;
  }
  if (autoFlush_) flush();
}

const Attr* MappedData::findValue(std::u16string_view section, std::u16string_view key) {
  const Node* node = findSection(section, false);
  return node != nullptr ? node->findAttribute(key) : nullptr;
}

bool MappedData::hasValue(std::u16string_view section, std::u16string_view key) {
  return findValue(section, key) != nullptr;
}

template <class T>
T MappedData::getInteger(std::u16string_view section, std::u16string_view key, T fallback) {
  const Attr* value = findValue(section, key);
  T number;
  return value != nullptr && parseInteger(value->getValue(), number) ? number : fallback;
}

std::uint8_t MappedData::getU8(std::u16string_view section, std::u16string_view key,
                               std::uint8_t fallback) {
  return getInteger(section, key, fallback);
}
std::uint16_t MappedData::getU16(std::u16string_view section, std::u16string_view key,
                                 std::uint16_t fallback) {
  return getInteger(section, key, fallback);
}
std::uint32_t MappedData::getU32(std::u16string_view section, std::u16string_view key,
                                 std::uint32_t fallback) {
  return getInteger(section, key, fallback);
}
std::uint64_t MappedData::getU64(std::u16string_view section, std::u16string_view key,
                                 std::uint64_t fallback) {
  return getInteger(section, key, fallback);
}
std::int8_t MappedData::getS8(std::u16string_view section, std::u16string_view key,
                              std::int8_t fallback) {
  return getInteger(section, key, fallback);
}
std::int16_t MappedData::getS16(std::u16string_view section, std::u16string_view key,
                                std::int16_t fallback) {
  return getInteger(section, key, fallback);
}
std::int32_t MappedData::getS32(std::u16string_view section, std::u16string_view key,
                                std::int32_t fallback) {
  return getInteger(section, key, fallback);
}
std::int64_t MappedData::getS64(std::u16string_view section, std::u16string_view key,
                                std::int64_t fallback) {
  return getInteger(section, key, fallback);
}

float MappedData::getFloat(std::u16string_view section, std::u16string_view key, float fallback) {
  const Attr* value = findValue(section, key);
  float number;
  return value != nullptr && parseFloat(value->getValue(), number) ? number : fallback;
}

double MappedData::getDouble(std::u16string_view section, std::u16string_view key,
                             double fallback) {
  const Attr* value = findValue(section, key);
  double number;
  return value != nullptr && parseDouble(value->getValue(), number) ? number : fallback;
}

bool MappedData::getBool(std::u16string_view section, std::u16string_view key, bool fallback) {
  const Attr* value = findValue(section, key);
  if (value == nullptr) return fallback;
  std::int64_t number;
  if (parseSigned(value->getValue(), number)) return number != 0;
  if (value->getValue().starts_with(u"true")) return true;
  if (value->getValue().starts_with(u"false")) return false;
  return fallback;
}

std::u16string MappedData::getString(std::u16string_view section, std::u16string_view key,
                                     std::u16string_view fallback, bool* expandable, bool) {
  if (expandable != nullptr) *expandable = false;
  const Node* node = findSection(section, false);
  return node != nullptr ? node->textOf(key, fallback) : std::u16string(fallback);
}

void* MappedData::getReserved(std::u16string_view, std::u16string_view) {
  return nullptr;
}

ArrayU08* MappedData::getBinary(std::u16string_view section, std::u16string_view key,
                                ArrayU08* bytes) {
  const Attr* value = findValue(section, key);
  if (value == nullptr) return bytes;
  const std::u16string_view digits = value->getValue();
  if (digits.size() % 2 != 0) return bytes;
  std::vector<std::uint8_t> decoded(digits.size() / 2);
  for (std::size_t i = 0; i < decoded.size(); ++i) {
    const int high = hexDigit(digits[2 * i]);
    const int low = hexDigit(digits[2 * i + 1]);
    if (high < 0 || low < 0) return bytes;
    decoded[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  ArrayU08* out = bytes != nullptr ? bytes : ArrayU08::obtain();
  if (out == nullptr) return nullptr;
  out->removeAllWithoutDisposing();
  out->ensureCapacity(static_cast<std::int32_t>(decoded.size()));
  for (std::uint8_t byte : decoded)
    out->add(byte);
  return out;
}

void MappedData::deleteValue(std::u16string_view section, std::u16string_view key) {
  Node* node = findSection(section, false);
  if (node != nullptr && node->removeAttributes(key) > 0) dirty_ = true;
  if (autoFlush_) flush();
}

void MappedData::store(std::u16string_view section, std::u16string_view key,
                       std::u16string_view stored) {
  Node* node = isStorableKey(key) ? findSection(section, true) : nullptr;
  if (node != nullptr) {
    const bool unchanged = node->getAttributes().count(key) == 1 && node->getRaw(key) == stored;
    if (!unchanged) {
      node->removeAttributes(key);
      node->setRaw(key, stored);
      dirty_ = true;
    }
  }
  if (autoFlush_) flush();
}

void MappedData::setU8(std::u16string_view section, std::u16string_view key, std::uint8_t value) {
  setU64(section, key, value);
}
void MappedData::setU16(std::u16string_view section, std::u16string_view key, std::uint16_t value) {
  setU64(section, key, value);
}
void MappedData::setU32(std::u16string_view section, std::u16string_view key, std::uint32_t value) {
  setU64(section, key, value);
}
void MappedData::setU64(std::u16string_view section, std::u16string_view key, std::uint64_t value) {
  std::u16string text;
  appendUnsigned(value, text);
  store(section, key, text);
}
void MappedData::setS8(std::u16string_view section, std::u16string_view key, std::int8_t value) {
  setS64(section, key, value);
}
void MappedData::setS16(std::u16string_view section, std::u16string_view key, std::int16_t value) {
  setS64(section, key, value);
}
void MappedData::setS32(std::u16string_view section, std::u16string_view key, std::int32_t value) {
  setS64(section, key, value);
}
void MappedData::setS64(std::u16string_view section, std::u16string_view key, std::int64_t value) {
  std::u16string text;
  appendSigned(value, text);
  store(section, key, text);
}
void MappedData::setFloat(std::u16string_view section, std::u16string_view key, float value) {
  std::u16string text;
  appendFloat(value, text);
  store(section, key, text);
}
void MappedData::setDouble(std::u16string_view section, std::u16string_view key, double value) {
  std::u16string text;
  appendDouble(value, text);
  store(section, key, text);
}
void MappedData::setBool(std::u16string_view section, std::u16string_view key, bool value) {
  store(section, key, value ? u"1" : u"0");
}
void MappedData::setString(std::u16string_view section, std::u16string_view key,
                           std::u16string_view text) {
  store(section, key, escapeValue(key, text));
}
void MappedData::setExpandString(std::u16string_view section, std::u16string_view key,
                                 std::u16string_view text) {
  store(section, key, escapeValue(key, text));
}
void MappedData::setReserved(std::u16string_view, std::u16string_view) {
  if (autoFlush_) flush();
}
void MappedData::setBinary(std::u16string_view section, std::u16string_view key,
                           const std::uint8_t* bytes, std::size_t length) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string text;
  if (bytes != nullptr) {
    text.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
      text += kDigits[bytes[i] >> 4];
      text += kDigits[bytes[i] & 0xF];
    }
  }
  store(section, key, text);
}

}  // namespace s::xml

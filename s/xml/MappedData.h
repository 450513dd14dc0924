#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "s/map/IMappedData.h"
#include "s/thread/Pool.h"
#include "s/xml/Node.h"

namespace s::xml {

// The settings store kept in one XML file.
//
// The document's root element is "savedata". A section is the element reached
// by following child elements named by the path components ("\" or "/"
// between them); a value is an attribute of the section element named by the
// key, and the empty key is the element's text. Section and key names are
// matched ignoring case. Integers and booleans are stored in decimal
// (booleans as 0 or 1), floating values in fixed notation, texts escaped, and
// bytes as two upper-case hexadecimal digits each. The file keeps no value
// types, so an expandable text is stored and read back as a plain one.
//
// Names must be storable as XML names: a section component or a non-empty
// key holding white space or control characters, "<", ">", "/", "=" or a
// double quote, or starting with "!" or "?", is refused (the setter stores
// nothing, openSection fails).
//
// flush() rewrites the whole file atomically: the text goes to a temporary
// file in the same folder, which is synchronised to disk and then renamed over
// the settings file, and the folder is synchronised too. A crash at any moment
// leaves either the old or the new file. Opening a file that does not parse
// completely as a "savedata" document sets it aside (renamed with the suffix
// ".damaged", numbered when that name is taken) and starts from defaults; if
// it cannot be set aside, the store keeps working in memory and never writes
// over it. Changes still pending when the store is released are written then,
// so switching auto-flush off never loses them.
class MappedData final : public thread::PooledObject<MappedData, map::IMappedData> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_xml_MappedData";
  static constexpr std::u16string_view ROOT_NAME = u"savedata";
  static constexpr std::u16string_view DAMAGED_SUFFIX = u".damaged";
  // Temporary files are named after the settings file with this infix and a
  // unique ending.
  static constexpr std::u16string_view TEMPORARY_INFIX = u".tmp-";

  MappedData() { clear(); }
  // Pending changes are written before the store goes.
  ~MappedData() override {
    flush();
    clear();
  }
  MappedData(const MappedData&) = delete;
  MappedData& operator=(const MappedData&) = delete;

  // The settings file of the current user:
  // ${XDG_CONFIG_HOME:-$HOME/.config}/Kelto/Kelto Tintery/SaveData.xml. A
  // relative XDG_CONFIG_HOME is ignored; without a usable HOME the account's
  // home folder is asked. Empty when no folder can be found.
  static std::u16string defaultFilePath();

  // A new store opened on `filePath` (null when none could be allocated).
  static MappedData* create(std::u16string_view filePath);

  // Writes pending changes, then hands the store back to its pool.
  void recycle() override;

  // Writes what is pending for the previous file, forgets everything and
  // reads the file at `filePath`. True when the file
  // was read or does not exist yet; false when it was damaged (and set aside
  // when possible) or could not be examined. An empty path keeps the store in
  // memory only.
  bool open(std::u16string_view filePath);
  std::u16string_view getFilePath() const { return path_; }
  // Where a damaged file was moved by open(); empty when none was.
  std::u16string_view getSetAsidePath() const { return setAsidePath_; }
  // False when flush() refuses to write (no file, or a file that could not
  // be read nor set aside).
  bool isWritable() const { return writable_ && !path_.empty(); }
  // The document root; null before anything was stored.
  const Node* getDocument() const { return document_; }

  void clear() override;

  bool flush() override;
  bool openSection(std::u16string_view section) override;
  void deleteSection(std::u16string_view section) override;
  bool selectSection(std::u16string_view section) override;
  bool hasValue(std::u16string_view section, std::u16string_view key) override;

  std::uint8_t getU8(std::u16string_view section, std::u16string_view key,
                     std::uint8_t fallback) override;
  std::uint16_t getU16(std::u16string_view section, std::u16string_view key,
                       std::uint16_t fallback) override;
  std::uint32_t getU32(std::u16string_view section, std::u16string_view key,
                       std::uint32_t fallback) override;
  std::uint64_t getU64(std::u16string_view section, std::u16string_view key,
                       std::uint64_t fallback) override;
  std::int8_t getS8(std::u16string_view section, std::u16string_view key,
                    std::int8_t fallback) override;
  std::int16_t getS16(std::u16string_view section, std::u16string_view key,
                      std::int16_t fallback) override;
  std::int32_t getS32(std::u16string_view section, std::u16string_view key,
                      std::int32_t fallback) override;
  std::int64_t getS64(std::u16string_view section, std::u16string_view key,
                      std::int64_t fallback) override;
  float getFloat(std::u16string_view section, std::u16string_view key, float fallback) override;
  double getDouble(std::u16string_view section, std::u16string_view key, double fallback) override;
  // True for any non-zero decimal number and for texts beginning with "true";
  // false for zero and texts beginning with "false".
  bool getBool(std::u16string_view section, std::u16string_view key, bool fallback) override;
  std::u16string getString(std::u16string_view section, std::u16string_view key,
                           std::u16string_view fallback, bool* expandable, bool expand) override;
  void* getReserved(std::u16string_view section, std::u16string_view key) override;
  col::_array::ArrayU08* getBinary(std::u16string_view section, std::u16string_view key,
                                   col::_array::ArrayU08* bytes) override;
  void deleteValue(std::u16string_view section, std::u16string_view key) override;

  void setU8(std::u16string_view section, std::u16string_view key, std::uint8_t value) override;
  void setU16(std::u16string_view section, std::u16string_view key, std::uint16_t value) override;
  void setU32(std::u16string_view section, std::u16string_view key, std::uint32_t value) override;
  void setU64(std::u16string_view section, std::u16string_view key, std::uint64_t value) override;
  void setS8(std::u16string_view section, std::u16string_view key, std::int8_t value) override;
  void setS16(std::u16string_view section, std::u16string_view key, std::int16_t value) override;
  void setS32(std::u16string_view section, std::u16string_view key, std::int32_t value) override;
  void setS64(std::u16string_view section, std::u16string_view key, std::int64_t value) override;
  void setFloat(std::u16string_view section, std::u16string_view key, float value) override;
  void setDouble(std::u16string_view section, std::u16string_view key, double value) override;
  void setBool(std::u16string_view section, std::u16string_view key, bool value) override;
  void setString(std::u16string_view section, std::u16string_view key,
                 std::u16string_view text) override;
  void setExpandString(std::u16string_view section, std::u16string_view key,
                       std::u16string_view text) override;
  void setReserved(std::u16string_view section, std::u16string_view key) override;
  void setBinary(std::u16string_view section, std::u16string_view key, const std::uint8_t* bytes,
                 std::size_t length) override;

  bool autoFlush() const override { return autoFlush_; }
  void setAutoFlush(bool on) override { autoFlush_ = on; }

 private:
  // The section element for `section`, through the one-entry cache; created
  // with its missing parents when `create` is set. Null when missing or not
  // creatable.
  Node* findSection(std::u16string_view section, bool create);
  Node* walk(std::u16string_view section, bool create);
  void forgetSection();
  // The stored value text, or null.
  const Attr* findValue(std::u16string_view section, std::u16string_view key);
  // Replaces the value's records by one holding `stored` (already escaped),
  // then flushes when auto-flush is on.
  void store(std::u16string_view section, std::u16string_view key, std::u16string_view stored);
  template <class T>
  T getInteger(std::u16string_view section, std::u16string_view key, T fallback);
  // Renames the damaged file aside; false when that failed.
  bool setAside();
  void removeStaleTemporaries();

  Node* document_ = nullptr;
  std::u16string path_;
  std::string nativePath_;
  std::u16string setAsidePath_;
  std::u16string cachedPath_;
  Node* cachedSection_ = nullptr;
  bool autoFlush_ = true;
  bool dirty_ = false;
  bool writable_ = true;
};

}  // namespace s::xml

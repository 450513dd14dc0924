#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "s/base/IObject.h"
#include "s/thread/IPoolable.h"

namespace s::col::_array {
class ArrayU08;
}

namespace s::map {

// The settings store: a tree of named sections, each holding named, typed
// values.
//
// A section path is a text of components separated by "\" (file-backed
// stores also accept "/"); the empty path is the root section. A key names a
// value inside a section; the empty key names the section's own default
// value. Getters return the caller's default when the section or the value is
// missing or cannot be read as the asked type; setters report nothing.
//
// Every setter first opens (creates) its section, writes, and then flushes
// when auto-flush is on. Selecting a section is cached: asking again for the
// same path, in any letter case, reuses the open section.
class IMappedData : public base::IObject, public thread::IPoolable {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_map_IMappedData";

  // Writes pending changes to the medium. True when nothing is left pending.
  virtual bool flush() = 0;
  // Selects the section, creating it and any missing parents; false when it
  // cannot be created.
  virtual bool openSection(std::u16string_view section) = 0;
  // Removes the section with its values and subsections.
  virtual void deleteSection(std::u16string_view section) = 0;
  // Selects an existing section only.
  virtual bool selectSection(std::u16string_view section) = 0;
  virtual bool hasValue(std::u16string_view section, std::u16string_view key) = 0;

  virtual std::uint8_t getU8(std::u16string_view section, std::u16string_view key,
                             std::uint8_t fallback) = 0;
  virtual std::uint16_t getU16(std::u16string_view section, std::u16string_view key,
                               std::uint16_t fallback) = 0;
  virtual std::uint32_t getU32(std::u16string_view section, std::u16string_view key,
                               std::uint32_t fallback) = 0;
  virtual std::uint64_t getU64(std::u16string_view section, std::u16string_view key,
                               std::uint64_t fallback) = 0;
  virtual std::int8_t getS8(std::u16string_view section, std::u16string_view key,
                            std::int8_t fallback) = 0;
  virtual std::int16_t getS16(std::u16string_view section, std::u16string_view key,
                              std::int16_t fallback) = 0;
  virtual std::int32_t getS32(std::u16string_view section, std::u16string_view key,
                              std::int32_t fallback) = 0;
  virtual std::int64_t getS64(std::u16string_view section, std::u16string_view key,
                              std::int64_t fallback) = 0;
  virtual float getFloat(std::u16string_view section, std::u16string_view key, float fallback) = 0;
  virtual double getDouble(std::u16string_view section, std::u16string_view key,
                           double fallback) = 0;
  virtual bool getBool(std::u16string_view section, std::u16string_view key, bool fallback) = 0;
  // The stored text, or `fallback`. `expandable` (may be null) tells whether
  // the text was stored as an expandable one; with `expand` such a text comes
  // back with its environment references expanded.
  virtual std::u16string getString(std::u16string_view section, std::u16string_view key,
                                   std::u16string_view fallback, bool* expandable, bool expand) = 0;
  // Reserved: always returns null.
  virtual void* getReserved(std::u16string_view section, std::u16string_view key) = 0;
  // Stored bytes: replaces the contents of `bytes` (or of a new array when
  // null, which the caller recycles) and returns it. When the value is
  // missing or unreadable, returns `bytes` untouched (null when none given).
  virtual col::_array::ArrayU08* getBinary(std::u16string_view section, std::u16string_view key,
                                           col::_array::ArrayU08* bytes) = 0;
  virtual void deleteValue(std::u16string_view section, std::u16string_view key) = 0;

  virtual void setU8(std::u16string_view section, std::u16string_view key, std::uint8_t value) = 0;
  virtual void setU16(std::u16string_view section, std::u16string_view key,
                      std::uint16_t value) = 0;
  virtual void setU32(std::u16string_view section, std::u16string_view key,
                      std::uint32_t value) = 0;
  virtual void setU64(std::u16string_view section, std::u16string_view key,
                      std::uint64_t value) = 0;
  virtual void setS8(std::u16string_view section, std::u16string_view key, std::int8_t value) = 0;
  virtual void setS16(std::u16string_view section, std::u16string_view key, std::int16_t value) = 0;
  virtual void setS32(std::u16string_view section, std::u16string_view key, std::int32_t value) = 0;
  virtual void setS64(std::u16string_view section, std::u16string_view key, std::int64_t value) = 0;
  virtual void setFloat(std::u16string_view section, std::u16string_view key, float value) = 0;
  virtual void setDouble(std::u16string_view section, std::u16string_view key, double value) = 0;
  virtual void setBool(std::u16string_view section, std::u16string_view key, bool value) = 0;
  virtual void setString(std::u16string_view section, std::u16string_view key,
                         std::u16string_view text) = 0;
  virtual void setExpandString(std::u16string_view section, std::u16string_view key,
                               std::u16string_view text) = 0;
  // Reserved: stores nothing; flushes when auto-flush is on.
  virtual void setReserved(std::u16string_view section, std::u16string_view key) = 0;
  virtual void setBinary(std::u16string_view section, std::u16string_view key,
                         const std::uint8_t* bytes, std::size_t length) = 0;

  virtual bool autoFlush() const = 0;
  virtual void setAutoFlush(bool on) = 0;
};

}  // namespace s::map

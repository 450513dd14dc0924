#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "s/thread/Pool.h"

namespace s::io {
class IInputStream;
class IOutputStream;
}  // namespace s::io

namespace s::archive::icon {

// One directory entry of an icon file and the data it points at.
class Entry final : public thread::PooledObject<Entry> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_archive_icon_Entry";

  Entry() { clear(); }
  void clear() override {
    directory.fill(0);
    loaded = false;
    data.clear();
  }

  // Directory fields (the 16 bytes hold them little-endian).
  std::uint32_t width() const { return directory[0]; }
  std::uint32_t height() const { return directory[1]; }
  std::uint32_t bitCount() const { return directory[6] | directory[7] << 8; }
  std::uint32_t bytesInResource() const;
  std::uint32_t imageOffset() const;
  void setBytesInResource(std::uint32_t bytes);
  void setImageOffset(std::uint32_t offset);

  std::array<std::uint8_t, 16> directory{};
  bool loaded = false;
  std::vector<std::uint8_t> data;
};

// The container of an icon file: a 6-byte header, a directory of 16-byte
// entries and the entries' data.
class Archive final : public thread::PooledObject<Archive> {
 public:
  static constexpr base::ClassTagText CLASS_TAG = u"s_archive_icon_Archive";
  // Entries larger than this are not loaded (no icon picture comes close).
  static constexpr std::uint32_t kLargestEntry = 64u << 20;

  Archive() { clear(); }
  ~Archive() override { clear(); }
  void clear() override;

  // Reads the header and directory from the stream's current position. The
  // directory must fit the stream; an entry whose data would lie outside the
  // stream stays in the list but cannot be loaded. False when the header or
  // directory cannot be read.
  bool readDirectory(io::IInputStream& stream);
  // Reads entry i's data (once); false when it lies outside the stream.
  bool load(std::int32_t index);
  // Header, directory with computed offsets, then every entry's data.
  bool write(io::IOutputStream& stream);

  std::int32_t getCount() const { return static_cast<std::int32_t>(entries_.size()); }
  Entry& get(std::int32_t index) { return *entries_[index]; }
  // Appends a new empty entry and returns it.
  Entry& add();

 private:
  io::IInputStream* stream_ = nullptr;
  std::int64_t start_ = 0;
  std::int64_t size_ = 0;
  std::vector<Entry*> entries_;
};

}  // namespace s::archive::icon

#include "s/archive/icon/Archive.h"

#include "s/io/ByteReader.h"
#include "s/io/IInputStream.h"
#include "s/io/IOutputStream.h"

namespace s::archive::icon {

std::uint32_t Entry::bytesInResource() const {
  return io::ByteReader::loadLe32(&directory[8]);
}
std::uint32_t Entry::imageOffset() const {
  return io::ByteReader::loadLe32(&directory[12]);
}
void Entry::setBytesInResource(std::uint32_t bytes) {
  io::storeLe32(&directory[8], bytes);
}
void Entry::setImageOffset(std::uint32_t offset) {
  io::storeLe32(&directory[12], offset);
}

void Archive::clear() {
  for (Entry* entry : entries_)
    entry->recycle();
  entries_.clear();
  stream_ = nullptr;
  start_ = size_ = 0;
}

Entry& Archive::add() {
  Entry* entry = Entry::obtain();
  entries_.push_back(entry);
  return *entry;
}

bool Archive::readDirectory(io::IInputStream& stream) {
  clear();
  stream_ = &stream;
  start_ = stream.getPosition();
  if (!stream.seekToEnd()) return false;
  size_ = stream.getPosition() - start_;
  if (!stream.seekTo(start_)) return false;
  std::uint8_t header[6];
  if (stream.readFully(header, 6) != 6) return false;
  const std::uint32_t count = io::ByteReader::loadLe16(header + 4);
  if (6 + 16 * static_cast<std::int64_t>(count) > size_) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    Entry& entry = add();
    if (stream.readFully(entry.directory.data(), 16) != 16) return false;
  }
  return true;
}

bool Archive::load(std::int32_t index) {
  Entry& entry = get(index);
  if (entry.loaded) return true;
  const std::int64_t offset = entry.imageOffset();
  const std::int64_t bytes = entry.bytesInResource();
  const std::int64_t directoryEnd = 6 + 16 * static_cast<std::int64_t>(getCount());
  if (stream_ == nullptr || bytes == 0 || bytes > kLargestEntry || offset < directoryEnd ||
      offset + bytes > size_) {
    return false;
  }
  entry.data.resize(static_cast<std::size_t>(bytes));
  if (!stream_->seekTo(start_ + offset) ||
      stream_->readFully(entry.data.data(), entry.data.size()) != entry.data.size()) {
    entry.data.clear();
    return false;
  }
  entry.loaded = true;
  return true;
}

bool Archive::write(io::IOutputStream& stream) {
  std::vector<std::uint8_t> head(6 + 16 * entries_.size());
  io::storeLe16(&head[2], 1);
  io::storeLe16(&head[4], static_cast<std::uint16_t>(entries_.size()));
  std::uint32_t offset = static_cast<std::uint32_t>(head.size());
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    Entry& entry = *entries_[i];
    entry.setBytesInResource(static_cast<std::uint32_t>(entry.data.size()));
    entry.setImageOffset(offset);
    offset += static_cast<std::uint32_t>(entry.data.size());
    std::copy(entry.directory.begin(), entry.directory.end(), head.begin() + 6 + 16 * i);
  }
  std::size_t written = 0;
  if (!stream.write(head.data(), head.size(), &written) || written != head.size()) return false;
  for (Entry* entry : entries_) {
    if (!stream.write(entry->data.data(), entry->data.size(), &written) ||
        written != entry->data.size()) {
      return false;
    }
  }
  return true;
}

}  // namespace s::archive::icon

#include "s/image/jpg/MarkerSegments.h"

#include <algorithm>
#include <cstring>

namespace s::image::jpg {

namespace {

// "Exif" and two zero bytes open the EXIF APP1 segment (EXIF 2.3, 4.5.4).
constexpr std::uint8_t kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
// ICC.1 B.4: "ICC_PROFILE", a zero byte, the 1-based sequence number of the
// part and the number of parts, then the part's bytes.
constexpr std::uint8_t kIccHeader[] = {'I', 'C', 'C', '_', 'P', 'R', 'O', 'F', 'I', 'L', 'E', 0};
constexpr std::size_t kIccPartHeader = sizeof kIccHeader + 2;
// Offset of the data colour space in the profile header (ICC.1 7.2.6).
constexpr std::size_t kColourSpaceOffset = 16;

bool startsWith(const std::uint8_t* data, std::size_t size, const std::uint8_t* prefix,
                std::size_t length) {
  return size >= length && std::memcmp(data, prefix, length) == 0;
}

}  // namespace

void MarkerSegments::clear() {
  exif_.clear();
  profileParts_.clear();
  profileBytes_ = 0;
  profileDamaged_ = false;
}

void MarkerSegments::collect(int marker, const std::uint8_t* data, std::size_t size) {
  if (data == nullptr || size > kMaxSegmentBytes) return;
  if (marker == kExifMarker) {
    if (exif_.empty() && startsWith(data, size, kExifHeader, sizeof kExifHeader)) {
      exif_.assign(data, data + size);
    }
    return;
  }
  if (marker != kIccMarker || !startsWith(data, size, kIccHeader, sizeof kIccHeader)) return;
  if (profileDamaged_) return;
  if (size < kIccPartHeader || profileBytes_ + size > kMaxProfileBytes) {
    profileDamaged_ = true;
    return;
  }
  profileBytes_ += size;
  profileParts_.emplace_back(data, data + size);
}

void MarkerSegments::finishCollecting() {
  if (profileParts_.empty()) return;
  auto sequence = [](const std::vector<std::uint8_t>& part) { return part[sizeof kIccHeader]; };
  std::stable_sort(profileParts_.begin(), profileParts_.end(),
                   [&](const auto& a, const auto& b) { return sequence(a) < sequence(b); });
  // Parts 1 to n, each once, all agreeing on n.
  const std::size_t count = profileParts_.size();
  bool whole = !profileDamaged_ && count <= 255;
  for (std::size_t i = 0; whole && i < count; ++i) {
    whole = sequence(profileParts_[i]) == i + 1 &&
            profileParts_[i][sizeof kIccHeader + 1] == static_cast<std::uint8_t>(count);
  }
  // The profile must describe RGB data; its header starts in part 1.
  const std::vector<std::uint8_t>& first = profileParts_.front();
  whole = whole && first.size() >= kIccPartHeader + kColourSpaceOffset + 4 &&
          std::memcmp(&first[kIccPartHeader + kColourSpaceOffset], "RGB ", 4) == 0;
  if (!whole) {
    profileParts_.clear();
    profileBytes_ = 0;
  }
  profileDamaged_ = false;
}

}  // namespace s::image::jpg

#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace s::image::jpg {

// The application segments that decide how a JPEG picture looks besides its
// pixels: the EXIF block (APP1, which holds the orientation) and the ICC
// colour profile (APP2, split over up to 255 segments). Kept when a file is
// read, so that the files written from it look the same apart from what the
// program changed.
class MarkerSegments {
 public:
  // APP1 and APP2 marker codes.
  static constexpr int kExifMarker = 0xE1;
  static constexpr int kIccMarker = 0xE2;
  // The payload of one segment: 65535 minus the two length bytes.
  static constexpr std::size_t kMaxSegmentBytes = 65533;
  // Profiles larger than this are dropped rather than carried.
  static constexpr std::size_t kMaxProfileBytes = std::size_t{16} << 20;

  // Takes the segments worth keeping from a file's APP1 and APP2 segments,
  // given in file order: the first "Exif" APP1, and a complete ICC profile
  // for RGB pictures ("ICC_PROFILE" APP2 segments numbered 1 to n, each
  // once). A damaged or partial profile is dropped whole; so is a profile
  // for another colour space (a CMYK or grey profile does not describe the
  // RGB pixels written).
  void collect(int marker, const std::uint8_t* data, std::size_t size);
  // Call once every segment has been collected: checks the profile's parts.
  void finishCollecting();

  void clear();
  bool empty() const { return exif_.empty() && profileParts_.empty(); }
  const std::vector<std::uint8_t>& exif() const { return exif_; }
  // The APP2 payloads of the profile, in sequence order, each with its
  // "ICC_PROFILE" header.
  const std::vector<std::vector<std::uint8_t>>& profileParts() const { return profileParts_; }

 private:
  std::vector<std::uint8_t> exif_;
  std::vector<std::vector<std::uint8_t>> profileParts_;
  std::size_t profileBytes_ = 0;
  bool profileDamaged_ = false;
};

}  // namespace s::image::jpg

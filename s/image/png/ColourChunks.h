#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace s::image::png {

// The chunks that say how a PNG picture's samples are to be shown (PNG
// 11.3.3): the ICC profile, the sRGB rendering intent, the gamma and the
// chromaticities. Kept when a file is read, so that the files written from
// it show the same colours. Values are as stored in the file (gamma and
// chromaticities times 100000).
struct ColourChunks {
  // Profiles larger than this are dropped rather than carried.
  static constexpr std::size_t kMaxProfileBytes = std::size_t{16} << 20;

  bool hasProfile = false;
  std::string profileName;
  std::vector<std::uint8_t> profile;
  bool hasIntent = false;
  int intent = 0;
  bool hasGamma = false;
  std::int32_t gamma = 0;
  bool hasChromaticities = false;
  // White point x, y, then red, green and blue x, y.
  std::array<std::int32_t, 8> chromaticities{};

  void clear() { *this = ColourChunks{}; }
  bool empty() const { return !hasProfile && !hasIntent && !hasGamma && !hasChromaticities; }
};

}  // namespace s::image::png

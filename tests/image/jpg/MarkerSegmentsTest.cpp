#include "s/image/jpg/MarkerSegments.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using s::image::jpg::MarkerSegments;
using Bytes = std::vector<std::uint8_t>;

Bytes text(const std::string& s) {
  return {s.begin(), s.end()};
}

// An ICC APP2 payload: part `sequence` of `count`, with `body` after the header.
Bytes iccPart(int sequence, int count, const Bytes& body) {
  const std::string name("ICC_PROFILE");
  Bytes part(name.size() + 3 + body.size());
  std::copy(name.begin(), name.end(), part.begin());
  part[12] = static_cast<std::uint8_t>(sequence);
  part[13] = static_cast<std::uint8_t>(count);
  std::copy(body.begin(), body.end(), part.begin() + 14);
  return part;
}

// The first 20 bytes of a profile header naming colour space `space`.
Bytes header(const std::string& space) {
  Bytes b(16, 0);
  const Bytes s = text(space);
  b.insert(b.end(), s.begin(), s.end());
  return b;
}

TEST(MarkerSegments, KeepsTheFirstExifBlockOnly) {
  MarkerSegments segments;
  const Bytes xmp = text("http://ns.adobe.com/xap/1.0/");
  const Bytes first = text(std::string("Exif\0\0MM\0*", 10));
  const Bytes second = text(std::string("Exif\0\0II*\0", 10));
  segments.collect(MarkerSegments::kExifMarker, xmp.data(), xmp.size());
  segments.collect(MarkerSegments::kExifMarker, first.data(), first.size());
  segments.collect(MarkerSegments::kExifMarker, second.data(), second.size());
  segments.finishCollecting();
  EXPECT_EQ(segments.exif(), first);
  EXPECT_TRUE(segments.profileParts().empty());
  segments.clear();
  EXPECT_TRUE(segments.empty());
}

TEST(MarkerSegments, ProfilesAreKeptOnlyWhenWholeAndRgb) {
  const Bytes rgb = header("RGB ");
  const Bytes tail = {1, 2, 3};
  struct Case {
    const char* name;
    std::vector<Bytes> parts;
    std::size_t kept;
  } cases[] = {
      {"one part", {iccPart(1, 1, rgb)}, 1},
      {"two parts in order", {iccPart(1, 2, rgb), iccPart(2, 2, tail)}, 2},
      {"two parts reversed", {iccPart(2, 2, tail), iccPart(1, 2, rgb)}, 2},
      {"second part missing", {iccPart(1, 2, rgb)}, 0},
      {"part numbered twice", {iccPart(1, 2, rgb), iccPart(1, 2, rgb)}, 0},
      {"counts disagree", {iccPart(1, 2, rgb), iccPart(2, 3, tail)}, 0},
      {"numbering from 0", {iccPart(0, 1, rgb)}, 0},
      {"CMYK profile", {iccPart(1, 1, header("CMYK"))}, 0},
      {"header cut short", {iccPart(1, 1, Bytes(10, 0))}, 0},
      {"no header at all", {Bytes{'I', 'C', 'C'}}, 0},
  };
  for (const Case& c : cases) {
    MarkerSegments segments;
    for (const Bytes& part : c.parts)
      segments.collect(MarkerSegments::kIccMarker, part.data(), part.size());
    segments.finishCollecting();
    ASSERT_EQ(segments.profileParts().size(), c.kept) << c.name;
    // Kept parts come out in sequence order.
    for (std::size_t i = 0; i < c.kept; ++i)
      EXPECT_EQ(segments.profileParts()[i][12], i + 1) << c.name;
  }
}

TEST(MarkerSegments, ProfilesBeyondTheLimitAreDropped) {
  // 260 parts of 65,000 bytes exceed both the 255-part numbering and 16 MiB.
  MarkerSegments segments;
  Bytes body(65000 - 14, 0);
  std::copy_n(header("RGB ").begin(), 20, body.begin());
  for (int i = 1; i <= 260; ++i) {
    const Bytes part = iccPart(i, 4, body);
    segments.collect(MarkerSegments::kIccMarker, part.data(), part.size());
  }
  segments.finishCollecting();
  EXPECT_TRUE(segments.profileParts().empty());
}

}  // namespace

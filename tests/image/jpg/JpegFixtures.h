#pragma once

// JPEG files for the tests, written with libjpeg directly (not through the
// codec), and a reader of a JPEG file's segment list.

#include <cstdio>

#include <jpeglib.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

namespace tintery::test {

struct Segment {
  int marker = 0;
  std::vector<std::uint8_t> payload;
};

// A width x height JPEG of `components` channels in colour space `space`;
// sample(x, y, c) gives each sample. `segments` are written right after the
// library's own headers. A scan script makes the file progressive with
// exactly those scans.
inline std::vector<std::uint8_t> libjpegFile(int width, int height, int components,
                                             J_COLOR_SPACE space, int quality,
                                             const std::function<int(int, int, int)>& sample,
                                             const std::vector<Segment>& segments = {},
                                             const std::vector<jpeg_scan_info>& script = {}) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = components;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  if (!script.empty()) {
    info.scan_info = script.data();
    info.num_scans = static_cast<int>(script.size());
  }
  jpeg_start_compress(&info, TRUE);
  for (const Segment& s : segments) {
    jpeg_write_marker(&info, s.marker, s.payload.data(), static_cast<unsigned>(s.payload.size()));
  }
  std::vector<JSAMPLE> row(static_cast<std::size_t>(width * components));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < components; ++c)
        row[x * components + c] = static_cast<JSAMPLE>(sample(x, y, c));
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<std::uint8_t> bytes(buffer, buffer + size);
  std::free(buffer);
  return bytes;
}

// The segments from the start of the file to the first scan, in order
// (markers without a length, such as SOI, are not listed).
inline std::vector<Segment> segmentsOf(const std::vector<std::uint8_t>& file) {
  std::vector<Segment> out;
  std::size_t at = 2;
  while (at + 4 <= file.size() && file[at] == 0xFF) {
    const int marker = file[at + 1];
    const std::size_t length = static_cast<std::size_t>(file[at + 2] << 8 | file[at + 3]);
    if (length < 2 || at + 2 + length > file.size()) break;
    out.push_back({marker,
                   {file.begin() + static_cast<long>(at + 4),
                    file.begin() + static_cast<long>(at + 2 + length)}});
    if (marker == 0xDA) break;
    at += 2 + length;
  }
  return out;
}

}  // namespace tintery::test

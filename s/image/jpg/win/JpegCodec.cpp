// Reading and writing JPEG files through libjpeg.
//
// Every function here that calls into the library sets the error manager's
// jump point first and holds no object with a destructor while the library
// may jump back: a fatal library error lands in the function's error branch,
// which destroys the library object and ends the read or write.

#include <jerror.h>

#include <algorithm>
#include <cstring>

#include "s/image/ImageLimits.h"
#include "s/image/bmp/win/Bitmap.h"
#include "s/image/jpg/win/Jpeg.h"
#include "s/image/jpg/win/JpegStreams.h"

namespace s::image::jpg::win {

namespace {

// One row of library samples into blue-green-red pixels. Four-channel
// files (CMYK, YCCK) come out of the library with Adobe's inverted samples:
// each of the first three is scaled by the fourth. One or two channels are
// grey (a second channel is ignored); three or more are red, green, blue.
void convertRow(const JSAMPLE* in, int components, std::int32_t width, std::uint8_t* out) {
  if (components == 4) {
    for (std::int32_t x = 0; x < width; ++x, in += 4, out += 3) {
      out[0] = static_cast<std::uint8_t>(in[2] * in[3] / 255);
      out[1] = static_cast<std::uint8_t>(in[1] * in[3] / 255);
      out[2] = static_cast<std::uint8_t>(in[0] * in[3] / 255);
    }
  } else if (components < 3) {
    for (std::int32_t x = 0; x < width; ++x, in += components, out += 3)
      out[0] = out[1] = out[2] = in[0];
  } else {
    for (std::int32_t x = 0; x < width; ++x, in += components, out += 3) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }
}

// A progressive file may split its data into any number of scans, each a
// pass over the whole picture; real files use about ten. More than this is
// damage or a file made to keep the decoder busy.
constexpr int kMaxScans = 100;
// The message code our scan guard stops the library with; the library's own
// codes are far below it.
constexpr int kTooManyScansCode = 0x7F00;

// Called by the library as it works through the data: ends the decoding,
// through the error manager, once the scan count passes the limit.
void guardScans(j_common_ptr common) {
  if (!common->is_decompressor) return;
  const auto* info = reinterpret_cast<j_decompress_ptr>(common);
  if (info->input_scan_number <= kMaxScans) return;
  common->err->msg_code = kTooManyScansCode;
  (*common->err->error_exit)(common);
}

// Memory the library may take for the whole-picture coefficient buffers of
// progressive and multi-scan files: two bytes per sample for up to four
// full-size components, and room for everything else.
long libraryMemoryLimit(std::int64_t pixels) {
  return static_cast<long>(std::int64_t{16} * 1024 * 1024 + 8 * pixels);
}

const char* describeFatal(int code, bool pastHeader) {
  switch (code) {
    case kTooManyScansCode:
      return "damaged image data (too many scans)";
    case JERR_INPUT_EMPTY:
      return "empty file";
    case JERR_OUT_OF_MEMORY:
      return "not enough memory";
    case JERR_NO_SOI:
      return "not a JPEG file";
    default:
      return pastHeader ? "damaged image data" : "damaged or unsupported header";
  }
}

}  // namespace

void Jpeg::keepSegments(const void* decompressInfo) {
  const auto* info = static_cast<const jpeg_decompress_struct*>(decompressInfo);
  for (jpeg_saved_marker_ptr marker = info->marker_list; marker != nullptr; marker = marker->next) {
    // Only whole segments: the library keeps at most the requested length.
    if (marker->data_length != marker->original_length) continue;
    segments_.collect(marker->marker, marker->data, marker->data_length);
  }
  segments_.finishCollecting();
}

void Jpeg::writeSegments(void* compressInfo) const {
  auto* info = static_cast<jpeg_compress_struct*>(compressInfo);
  const std::vector<std::uint8_t>& exif = segments_.exif();
  if (!exif.empty()) {
    jpeg_write_marker(info, MarkerSegments::kExifMarker, exif.data(),
                      static_cast<unsigned>(exif.size()));
  }
  for (const std::vector<std::uint8_t>& part : segments_.profileParts()) {
    jpeg_write_marker(info, MarkerSegments::kIccMarker, part.data(),
                      static_cast<unsigned>(part.size()));
  }
}

bool Jpeg::read(io::IInputStream& stream) {
  clear();
  jpeg_decompress_struct info;
  JpegErrors errors;
  info.err = installErrors(errors);
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    // A fatal error leaves nothing usable: the picture is dropped.
    clear();
    noteProblem(describeFatal(errors.fatalCode, errors.pastHeader));
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_progress_mgr progress{};
  progress.progress_monitor = guardScans;
  info.progress = &progress;
  useInputStream(&info, stream);
  jpeg_save_markers(&info, MarkerSegments::kExifMarker, 0xFFFF);
  jpeg_save_markers(&info, MarkerSegments::kIccMarker, 0xFFFF);
  jpeg_read_header(&info, TRUE);
  errors.pastHeader = true;
  // Refused before the library or the program allocates for the picture.
  if (!isAcceptableSize(info.image_width, info.image_height)) {
    jpeg_destroy_decompress(&info);
    noteProblem(kTooLargeProblem);
    return false;
  }
  info.mem->max_memory_to_use =
      libraryMemoryLimit(static_cast<std::int64_t>(info.image_width) * info.image_height);
  keepSegments(&info);
  // Colour files come out of the library in the store's own blue-green-red
  // order, straight into its rows.
  const bool direct = info.out_color_space == JCS_RGB;
  if (direct) info.out_color_space = JCS_EXT_BGR;

  jpeg_start_decompress(&info);
  const std::int32_t width = static_cast<std::int32_t>(info.output_width);
  const std::int32_t height = static_cast<std::int32_t>(info.output_height);
  const int components = info.output_components;
  if (components < 1 || !allocate(width, height)) {
    jpeg_destroy_decompress(&info);
    clear();
    noteProblem(components < 1 ? "unsupported colour space" : "not enough memory");
    return false;
  }
  JSAMPARRAY samples = direct ? nullptr
                              : (*info.mem->alloc_sarray)(
                                    reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                    static_cast<JDIMENSION>(std::max(3, components) * width), 1);
  while (info.output_scanline < info.output_height) {
    const auto y = static_cast<std::int32_t>(info.output_scanline);
    JSAMPROW row = getRow(y);
    if (jpeg_read_scanlines(&info, direct ? &row : samples, 1) != 1) break;
    if (!direct) convertRow(samples[0], components, width, row);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  if (errors.truncated) {
    noteProblem("truncated image data");
  } else if (errors.damaged) {
    noteProblem("damaged image data");
  }
  return true;
}

bool Jpeg::write(io::IOutputStream& stream) {
  const std::int32_t width = getWidth();
  const std::int32_t height = getHeight();
  if (width <= 0 || height <= 0) return false;
  jpeg_compress_struct info;
  JpegErrors errors;
  info.err = installErrors(errors);
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&info);
    return false;
  }
  jpeg_create_compress(&info);
  useOutputStream(&info, stream);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  // The library reads the store's blue-green-red rows as they are.
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality_, TRUE);
  jpeg_start_compress(&info, TRUE);
  writeSegments(&info);
  for (std::int32_t y = 0; y < height; ++y) {
    JSAMPROW row = getRow(y);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  return true;
}

}  // namespace s::image::jpg::win

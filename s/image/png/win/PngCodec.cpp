// Reading and writing PNG files through libpng.
//
// Every function here that calls into the library sets the library's jump
// point first and holds no object with a destructor while the library may
// jump back: an error lands in the function's error branch, which destroys
// the library's structures and ends the read or write.

#include <cstdlib>
#include <cstring>

#include "s/image/ImageLimits.h"
#include "s/image/bmp/win/Bitmap.h"
#include "s/image/png/win/Png.h"
#include "s/image/png/win/PngStreams.h"
#include "s/io/IInputStream.h"
#include "s/io/IOutputStream.h"

namespace s::image::png::win {

namespace {

constexpr std::size_t kSignatureSize = 8;
// Chunks the codec has no use for, skipped unread: the text chunks (which
// may inflate to megabytes each), suggested palettes and EXIF.
constexpr png_byte kIgnoredChunks[] = "tEXt\0zTXt\0iTXt\0sPLT\0eXIf";
constexpr int kIgnoredChunkCount = 5;
// Bounds on what the library keeps of the chunks it does read: at most this
// many ancillary chunks, none larger than this once inflated (a colour
// profile is a few kilobytes to a few hundred).
constexpr png_uint_32 kMaxKeptChunks = 1000;
constexpr png_alloc_size_t kMaxChunkBytes = 8 * 1024 * 1024;
// Offset of the data colour space in an ICC profile header (ICC.1 7.2.6),
// and the size of the header.
constexpr std::size_t kColourSpaceOffset = 16;
constexpr std::size_t kProfileHeaderSize = 128;

enum class Stage { Header, Rows, End };

// An array of height pointers to the rows of the pixel store, top first.
png_bytepp rowPointers(Png& png) {
  const std::int32_t height = png.getHeight();
  auto* rows = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * height));
  if (rows == nullptr) return nullptr;
  for (std::int32_t y = 0; y < height; ++y)
    rows[y] = png.getRow(y);
  return rows;
}

}  // namespace

void Png::keepColourChunks(void* pngPointer, void* infoPointer) {
  auto png = static_cast<png_structp>(pngPointer);
  auto info = static_cast<png_infop>(infoPointer);
  png_charp name = nullptr;
  int compression = 0;
  png_bytep profile = nullptr;
  png_uint_32 length = 0;
  // Written pictures are RGB, so only an RGB profile describes them.
  if (png_get_iCCP(png, info, &name, &compression, &profile, &length) != 0 && profile != nullptr &&
      length >= kProfileHeaderSize && length <= ColourChunks::kMaxProfileBytes &&
      std::memcmp(profile + kColourSpaceOffset, "RGB ", 4) == 0) {
    colour_.hasProfile = true;
    colour_.profileName = name != nullptr ? name : "ICC profile";
    colour_.profile.assign(profile, profile + length);
  }
  int intent = 0;
  if (png_get_sRGB(png, info, &intent) != 0) {
    colour_.hasIntent = true;
    colour_.intent = intent;
  }
  png_fixed_point gamma = 0;
  if (png_get_gAMA_fixed(png, info, &gamma) != 0) {
    colour_.hasGamma = true;
    colour_.gamma = gamma;
  }
  auto& c = colour_.chromaticities;
  if (png_get_cHRM_fixed(png, info, &c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6], &c[7]) != 0) {
    colour_.hasChromaticities = true;
  }
}

void Png::setColourChunks(void* pngPointer, void* infoPointer) const {
  auto png = static_cast<png_structp>(pngPointer);
  auto info = static_cast<png_infop>(infoPointer);
  if (colour_.hasGamma) png_set_gAMA_fixed(png, info, colour_.gamma);
  if (colour_.hasChromaticities) {
    const auto& c = colour_.chromaticities;
    png_set_cHRM_fixed(png, info, c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7]);
  }
  if (colour_.hasIntent) png_set_sRGB(png, info, colour_.intent);
  if (colour_.hasProfile) {
    png_set_iCCP(png, info, colour_.profileName.c_str(), PNG_COMPRESSION_TYPE_BASE,
                 colour_.profile.data(), static_cast<png_uint_32>(colour_.profile.size()));
  }
}

bool Png::read(io::IInputStream& stream) {
  clear();
  png_byte signature[kSignatureSize];
  if (stream.readFully(signature, kSignatureSize) != kSignatureSize ||
      png_sig_cmp(signature, 0, kSignatureSize) != 0) {
    noteProblem("not a PNG file");
    return false;
  }
  PngFailure failure;
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, &failure, returnToCodec, noteWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    noteProblem("not enough memory");
    return false;
  }
  volatile Stage stage = Stage::Header;
  png_bytepp volatile rows = nullptr;
  png_bytep volatile firstRow = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    std::free(rows);
    std::free(firstRow);
    png_destroy_read_struct(&png, &info, nullptr);
    stream.close();
    // Every row had arrived: the picture is whole, only what follows it is
    // damaged.
    if (stage == Stage::End) {
      noteProblem("damaged data after the image");
      return true;
    }
    // Rows missing or wrong: the file is refused and nothing of it is kept,
    // also when some rows had been decoded.
    clear();
    if (failure.tooLarge) {
      noteProblem(kTooLargeProblem);
    } else {
      noteProblem(stage == Stage::Header ? "damaged or unsupported header"
                                         : "truncated or damaged image data");
    }
    return false;
  }
  png_set_read_fn(png, &stream, readFromStream);
  png_set_sig_bytes(png, kSignatureSize);
  png_set_user_limits(png, kMaxDimension, kMaxDimension);
  png_set_chunk_cache_max(png, kMaxKeptChunks);
  png_set_chunk_malloc_max(png, kMaxChunkBytes);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks, kIgnoredChunkCount);
  png_read_info(png, info);
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bitDepth = 0;
  int colourType = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);
  // Refused before anything is allocated for the rows.
  if (!isAcceptableSize(width, height)) {
    png_destroy_read_struct(&png, &info, nullptr);
    noteProblem(kTooLargeProblem);
    return false;
  }
  keepColourChunks(png, info);

  // Whatever the file holds becomes 8-bit red, green, blue, alpha.
  png_set_strip_16(png);
  png_set_packing(png);
  png_set_packswap(png);
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS) != 0) png_set_tRNS_to_alpha(png);
  if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_set_gray_to_rgb(png);
  }
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  // The rows the library will write must be exactly the store's rows.
  const std::size_t rowBytes = std::size_t{width} * 4;
  if (png_get_rowbytes(png, info) != rowBytes) {
    png_destroy_read_struct(&png, &info, nullptr);
    noteProblem("unsupported pixel layout");
    return false;
  }
  // The first row is decoded before the store is allocated: a file whose
  // data ends or breaks before it holds no picture and costs no picture's
  // memory.
  stage = Stage::Rows;
  firstRow = static_cast<png_bytep>(std::calloc(rowBytes, 1));
  if (firstRow != nullptr) {
    png_read_row(png, firstRow, nullptr);
    if (allocate(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height))) {
      rows = rowPointers(*this);
    }
  }
  if (rows == nullptr) {
    std::free(firstRow);
    png_destroy_read_struct(&png, &info, nullptr);
    clear();
    noteProblem("not enough memory");
    return false;
  }
  std::memcpy(rows[0], firstRow, rowBytes);
  std::free(firstRow);
  firstRow = nullptr;
  // The rest of the rows, every pass over every row as the library expects
  // them (it skips the rows a pass does not touch).
  for (int pass = 0; pass < passes; ++pass) {
    for (png_uint_32 y = pass == 0 ? 1 : 0; y < height; ++y)
      png_read_row(png, rows[y], nullptr);
  }
  std::free(rows);
  rows = nullptr;
  swapRedAndBlue();
  stage = Stage::End;
  png_read_end(png, info);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

bool Png::write(io::IOutputStream& stream) {
  const std::int32_t width = getWidth();
  const std::int32_t height = getHeight();
  if (width <= 0 || height <= 0) return false;
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, returnToCodec, noteWarning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  volatile bool swapped = false;
  png_bytepp volatile rows = nullptr;
  if (setjmp(png_jmpbuf(png))) {
    // The pixel store is left as it was, also when writing failed midway.
    if (swapped) swapRedAndBlue();
    std::free(rows);
    png_destroy_write_struct(&png, &info);
    stream.flush();
    stream.close();
    return false;
  }
  png_set_write_fn(png, &stream, writeToStream, flushStream);
  // Mismatched colour chunks are dropped with a warning, not an error.
  png_set_benign_errors(png, 1);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB_ALPHA,
               withInterlace_ != 0 ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  setColourChunks(png, info);
  png_write_info(png, info);
  rows = rowPointers(*this);
  if (rows == nullptr) png_error(png, "out of memory");
  swapRedAndBlue();
  swapped = true;
  png_write_image(png, rows);
  swapRedAndBlue();
  swapped = false;
  std::free(rows);
  rows = nullptr;
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace s::image::png::win

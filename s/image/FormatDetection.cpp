#include "s/image/FormatDetection.h"

#include <array>
#include <cstring>

#include "s/file/IFileInputStream.h"
#include "s/file/win/PathWin.h"
#include "s/image/IEncodedImage.h"
#include "s/image/bmp/win/Bitmap.h"
#include "s/image/gif/win/Gif.h"
#include "s/image/ico/win/Icon.h"
#include "s/image/jpg/win/Jpeg.h"
#include "s/image/png/win/Png.h"
#include "s/io/ByteReader.h"
#include "s/thread/Pool.h"

namespace s::image {

namespace {

constexpr std::size_t kHeaderSize = 100;

// Byte 3 of a JPEG file: the codes of the markers that may follow the
// start-of-image marker.
constexpr std::uint8_t kJpegMarkers[] = {
    0xC0, 0xC1, 0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC8, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE,
    0xCF, 0xC4, 0xCC, 0xD0, 0xD1, 0xD2, 0xD3, 0xD4, 0xD5, 0xD6, 0xD7, 0xD8, 0xD9,
    0xDA, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6,
    0xE7, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xFD, 0xFE, 0x01};

bool isJpeg(const std::uint8_t* h) {
  if (h[0] != 0xFF || h[1] != 0xD8 || h[2] != 0xFF) return false;
  return std::memchr(kJpegMarkers, h[3], sizeof kJpegMarkers) != nullptr;
}

bool startsWith(const std::uint8_t* h, const char* text, std::size_t length) {
  return std::memcmp(h, text, length) == 0;
}

// An icon directory: reserved 0, type 1, a non-zero count, and entries
// (those wholly inside the first 100 bytes) whose data lies inside the file.
bool isIcon(const std::uint8_t* h, std::int64_t fileSize) {
  if (h[0] != 0 || h[1] != 0 || h[2] != 1 || h[3] != 0) return false;
  const std::int64_t count = io::ByteReader::loadLe16(h + 4);
  if (count == 0 || fileSize <= count * 16 + 6) return false;
  for (std::int64_t i = 0, entry = 6; i < count && entry < 84; ++i, entry += 16) {
    const std::uint8_t* e = h + entry;
    if (e[3] != 0) return false;
    if (io::ByteReader::loadLe16(e + 6) > 32) return false;
    const auto offset = static_cast<std::int32_t>(io::ByteReader::loadLe32(e + 12));
    const std::int64_t bytes = io::ByteReader::loadLe32(e + 8);
    if (offset < entry + 16) return false;
    if (offset + bytes > fileSize) return false;
  }
  return true;
}

}  // namespace

const char16_t* matchSignature(const std::uint8_t* h, std::size_t size, std::int64_t fileSize) {
  if (size < kHeaderSize) return nullptr;
  if (isJpeg(h)) return kFormatJpg;
  if (startsWith(h, "GIF87a", 6) || startsWith(h, "GIF89a", 6)) return kFormatGif;
  if (startsWith(h, "\x89PNG\r\n\x1A\n", 8)) return kFormatPng;
  if (startsWith(h, "BM", 2) && h[6] == 0 && h[7] == 0 && h[8] == 0 && h[9] == 0) {
    return kFormatBmp;
  }
  // Big-endian TIFF files start "MM", 00, 2A; "MM*" is accepted as well.
  if (startsWith(h, "MM*", 3) || startsWith(h, "MM\0*", 4)) return kFormatTiff;
  if (startsWith(h, "II*", 3)) return kFormatTiff;
  if (isIcon(h, fileSize)) return kFormatIco;
  return nullptr;
}

bool detectFormat(std::u16string_view pathText, const char16_t*& formatName) {
  formatName = nullptr;
  auto path = thread::own(file::win::PathWin::obtain(pathText));
  if (path == nullptr || !path->exists() || path->isFolder()) return false;
  const std::int64_t size = path->getFileSize();
  if (size <= static_cast<std::int64_t>(kHeaderSize)) return false;
  auto stream = thread::own(path->openInputStream());
  if (stream == nullptr || !stream->isOpen()) return false;
  std::array<std::uint8_t, kHeaderSize> header{};
  if (stream->readFully(header.data(), header.size()) != header.size()) return false;
  formatName = matchSignature(header.data(), header.size(), size);
  return formatName != nullptr;
}

IEncodedImage* createCodec(const char16_t* formatName) {
  if (formatName == kFormatBmp) return bmp::win::Bitmap::obtain();
  if (formatName == kFormatGif) return gif::win::Gif::obtain();
  if (formatName == kFormatJpg) return jpg::win::Jpeg::obtain();
  if (formatName == kFormatPng) return png::win::Png::obtain();
  if (formatName == kFormatIco) return ico::win::Icon::obtain();
  // TIFF is recognised only to be refused.
  return nullptr;
}

IEncodedImage* openEncodedImage(file::IPath& path) {
  const char16_t* format = nullptr;
  if (!detectFormat(path.getFullPath(), format)) return nullptr;
  IEncodedImage* codec = createCodec(format);
  if (codec != nullptr) codec->loadFromFile(path);
  return codec;
}

}  // namespace s::image

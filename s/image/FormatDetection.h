#pragma once

#include <cstdint>
#include <string_view>

namespace s::file {
class IPath;
}

namespace s::image {

class IEncodedImage;

// Format names shared by detection and codec selection.
inline constexpr char16_t kFormatBmp[] = u"bmp";
inline constexpr char16_t kFormatJpg[] = u"jpg";
inline constexpr char16_t kFormatGif[] = u"gif";
inline constexpr char16_t kFormatPng[] = u"png";
inline constexpr char16_t kFormatIco[] = u"ico";
inline constexpr char16_t kFormatTiff[] = u"tiff";

// Recognises a file by its first 100 bytes (files of 100 bytes or less are
// never recognised). On success formatName points at one of the names above.
bool detectFormat(std::u16string_view path, const char16_t*& formatName);

// The signature test on a file's first bytes and its size; exposed for tests.
const char16_t* matchSignature(const std::uint8_t* header, std::size_t headerSize,
                               std::int64_t fileSize);

// A new, empty codec object for a detected format name; null for "tiff" and
// unknown names. The caller recycles it.
IEncodedImage* createCodec(const char16_t* formatName);

// Detects the format, obtains its codec and loads the file into it. Null
// when the content is not a recognised format (or is TIFF). A damaged file
// of a recognised format still yields the object; its decode() then gives
// an empty or partial set.
IEncodedImage* openEncodedImage(file::IPath& path);

}  // namespace s::image

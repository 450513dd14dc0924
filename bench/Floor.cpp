// The least work a colour-variant run of one file can do: the file decoded
// once, then N copies encoded with the codec and settings the job uses and
// written to files, but with no colour filter attached. bench/compare sets
// tintery-cli's time against this.
//
//   encode_floor FILE N OUTDIR         decode FILE once, write N copies into
//                                      OUTDIR (made when missing; existing
//                                      files are never replaced)
//   encode_floor --make DIR [--small]  write the pictures bench/compare times
//                                      into DIR; --small for a quick check
//
// Each copy goes the way a variant does in VariantJob::writeVariant: a new
// FileOutputStream opened with openNew, the source codec's encodeSetLike on
// the decoded set, write, commit, one copy after the other on one thread.
// Only the colour shift is left out: the encoder reads the decoded pictures
// themselves. One line on standard output gives the decode time and the time
// of the N copies.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include <png.h>

#include "s/file/win/FileOutputStream.h"
#include "s/file/win/PathWin.h"
#include "s/image/FormatDetection.h"
#include "s/image/IEncodedImage.h"
#include "s/image/bmp/EncodeSetting.h"
#include "s/image/gif/EncodeSetting.h"
#include "s/image/ico/EncodeSetting.h"
#include "s/image/jpg/EncodeSetting.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/str/Utf.h"
#include "s/thread/Pool.h"

namespace {

using s::file::win::FileOutputStream;
using s::file::win::PathWin;
using s::image::IEncodedImage;
using s::image::win::BufferedImage;
using s::image::win::BufferedImageSet;
using s::thread::obtainOwned;
using s::thread::own;
using s::thread::Owned;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// ---------------------------------------------------------------------------
// Decode once, encode N.

// Writes one copy of the set to path as the job writes a variant. Returns the
// bytes written, or -1 when the copy could not be made complete.
std::int64_t writeCopy(IEncodedImage& codec, BufferedImageSet& set, const std::string& path) {
  auto target = own(PathWin::obtain(s::str::utf8ToUtf16(path)));
  if (target == nullptr) return -1;
  auto stream = own(FileOutputStream::obtain());
  if (stream == nullptr || !stream->openNew(*target)) return -1;
  auto encoded = own(codec.encodeSetLike(&set));
  if (encoded == nullptr || !encoded->write(*stream)) {
    stream->close();
    return -1;
  }
  const std::int64_t bytes = stream->getPosition();
  return stream->commit() ? bytes : -1;
}

int encodeFloor(const char* file, int count, const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::fprintf(stderr, "encode_floor: cannot create %s: %s\n", folder.c_str(),
                 error.message().c_str());
    return 1;
  }

  const Clock::time_point decodeStart = Clock::now();
  auto source = own(PathWin::obtain(s::str::utf8ToUtf16(file)));
  const char16_t* format = nullptr;
  if (source == nullptr || !source->exists() ||
      !s::image::detectFormat(source->getFullPath(), format) || format == nullptr) {
    std::fprintf(stderr, "encode_floor: %s: not a recognised image\n", file);
    return 1;
  }
  auto codec = own(s::image::createCodec(format));
  if (codec == nullptr) {
    std::fprintf(stderr, "encode_floor: %s: no codec for this format\n", file);
    return 1;
  }
  codec->loadFromFile(*source);
  auto set = own(codec->decode(0));
  if (set != nullptr && set->isAnimated()) {
    // Full frames, as the job encodes them.
    BufferedImageSet* coalesced = set->coalesce();
    if (coalesced != nullptr) set.reset(coalesced);
  }
  if (set == nullptr || set->getCount() == 0) {
    std::fprintf(stderr, "encode_floor: %s: nothing could be decoded\n", file);
    return 1;
  }
  // The job hands the encoder pictures whose transparency flag says whether
  // any pixel is not opaque; the encoders choose their output by it.
  for (std::int32_t e = 0; e < set->getCount(); ++e)
    set->get(e)->setHasAlpha(set->get(e)->anyTransparentPixel());
  const double decodeSeconds = secondsSince(decodeStart);

  const std::string extension = s::str::utf16ToUtf8(codec->getExtension());
  const Clock::time_point encodeStart = Clock::now();
  std::int64_t totalBytes = 0;
  int failed = 0;
  for (int j = 0; j < count; ++j) {
    char name[32];
    std::snprintf(name, sizeof name, "/copy-%04d", j + 1);
    const std::string path = folder + name + extension;
    const std::int64_t bytes = writeCopy(*codec, *set, path);
    if (bytes < 0) {
      std::fprintf(stderr, "encode_floor: could not write %s\n", path.c_str());
      ++failed;
    } else {
      totalBytes += bytes;
    }
  }
  const double encodeSeconds = secondsSince(encodeStart);

  std::printf("%s: %s, %d entries; decode %.3f s; %d copies %.3f s (%.3f s each), %.1f MB\n", file,
              s::str::utf16ToUtf8(format).c_str(), set->getCount(), decodeSeconds, count - failed,
              encodeSeconds, count > 0 ? encodeSeconds / count : 0.0,
              static_cast<double>(totalBytes) / 1e6);
  return failed == 0 ? 0 : 1;
}

// ---------------------------------------------------------------------------
// The pictures to compare on, written by the program's own encoders. The
// same arguments always give the same files.

// Smooth gradients with per-channel noise, like a photograph.
Owned<BufferedImage> photoLike(std::int32_t width, std::int32_t height, std::uint32_t seed) {
  auto image = own(BufferedImage::create(width, height));
  if (image == nullptr) return image;
  std::mt19937 random(seed);
  const auto noise = [&random] { return static_cast<int>(random() % 21) - 10; };
  const std::int64_t w = width;
  const std::int64_t h = height;
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* p = image->getRow(y);
    for (std::int32_t x = 0; x < width; ++x, p += 4) {
      // Blue, green, red: three ramps at different angles, so every pixel
      // has a colour of its own and every hue is present somewhere.
      const int blue = static_cast<int>((w - 1 - x) * 255 / w);
      const int green = static_cast<int>(y * 255 / h);
      const int red = static_cast<int>((x + y) * 255 / (w + h));
      p[0] = static_cast<std::uint8_t>(std::clamp(blue + noise(), 0, 255));
      p[1] = static_cast<std::uint8_t>(std::clamp(green + noise(), 0, 255));
      p[2] = static_cast<std::uint8_t>(std::clamp(red + noise(), 0, 255));
      p[3] = 255;
    }
  }
  return image;
}

// One frame of an animation: a photo-like background with a disc that moves
// from left to right over the frames.
Owned<BufferedImage> animationFrame(std::int32_t width, std::int32_t height, std::int32_t frame,
                                    std::int32_t frames) {
  auto image = photoLike(width, height, 100 + static_cast<std::uint32_t>(frame));
  if (image == nullptr) return image;
  const std::int64_t centreX = width / 6 + std::int64_t{width} * 2 / 3 * frame / frames;
  const std::int64_t centreY = height / 2;
  const std::int64_t radius = std::max(2, height / 5);
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* p = image->getRow(y);
    for (std::int32_t x = 0; x < width; ++x, p += 4) {
      const std::int64_t dx = x - centreX;
      const std::int64_t dy = y - centreY;
      if (dx * dx + dy * dy > radius * radius) continue;
      p[0] = 40;
      p[1] = static_cast<std::uint8_t>(160 + frame * 4 % 96);
      p[2] = 230;
    }
  }
  return image;
}

// An 8-bit RGB PNG, not interlaced, straight through libpng: the codec's own
// writer always adds the alpha channel, and most PNG photographs have none.
// Never replaces an existing file.
bool writeRgbPng(BufferedImage& image, const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wbx");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  std::vector<png_byte> row(static_cast<std::size_t>(image.getWidth()) * 3);
  bool ok = info != nullptr;
  if (ok && setjmp(png_jmpbuf(png)) != 0) ok = false;
  if (ok) {
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.getWidth()),
                 static_cast<png_uint_32>(image.getHeight()), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    for (std::int32_t y = 0; y < image.getHeight(); ++y) {
      const std::uint8_t* p = image.getRow(y);
      for (std::int32_t x = 0; x < image.getWidth(); ++x, p += 4) {
        // Blue, green, red, alpha in the buffer; red, green, blue in the file.
        row[x * 3] = p[2];
        row[x * 3 + 1] = p[1];
        row[x * 3 + 2] = p[0];
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, info);
  }
  png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
  return std::fclose(file) == 0 && ok;
}

struct Sizes {
  std::int32_t photoWidth, photoHeight;
  std::int32_t bitmapWidth, bitmapHeight;
  std::int32_t frameWidth, frameHeight, frames;
};

constexpr Sizes kFullSizes{4000, 3000, 1920, 1080, 480, 270, 20};
constexpr Sizes kSmallSizes{800, 600, 480, 270, 240, 135, 6};

bool report(const std::string& path, bool written) {
  std::printf("%s %s\n", written ? "wrote" : "could not write", path.c_str());
  return written;
}

int makeInputs(const std::string& folder, const Sizes& sizes) {
  using namespace s::image;
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::fprintf(stderr, "encode_floor: cannot create %s: %s\n", folder.c_str(),
                 error.message().c_str());
    return 1;
  }
  const auto at = [&folder](const char* name) { return folder + "/" + name; };
  const auto u16 = [](const std::string& text) { return s::str::utf8ToUtf16(text); };
  bool ok = true;

  {
    auto photo = photoLike(sizes.photoWidth, sizes.photoHeight, 7);
    if (photo == nullptr) return 1;
    auto jpeg = obtainOwned<jpg::EncodeSetting>();
    jpeg->quality = 90;
    ok &= report(at("photo.jpg"), photo->writeJpeg(u16(at("photo.jpg")), *jpeg));
    ok &= report(at("photo.png"), writeRgbPng(*photo, at("photo.png")));
  }
  {
    auto picture = photoLike(sizes.bitmapWidth, sizes.bitmapHeight, 21);
    if (picture == nullptr) return 1;
    auto bmp = obtainOwned<bmp::EncodeSetting>();
    bmp->bpp = 24;
    ok &= report(at("picture.bmp"), picture->writeBmp(u16(at("picture.bmp")), *bmp));
  }
  {
    auto frames = own(BufferedImageSet::obtain());
    if (frames == nullptr) return 1;
    for (std::int32_t f = 0; f < sizes.frames; ++f) {
      auto frame = animationFrame(sizes.frameWidth, sizes.frameHeight, f, sizes.frames);
      if (frame == nullptr) return 1;
      // Every other frame is drawn over its predecessor, so that coalescing
      // has work to do.
      frames->add(frame.release(), 8, 8, f % 2 == 0 ? 2 : 1);
    }
    frames->setAnimation(true, 0);
    auto setting = obtainOwned<gif::EncodeSetting>();
    auto gif = own(setting->createFromSet(frames.get()));
    ok &= report(at("animation.gif"), gif != nullptr && gif->saveToFile(u16(at("animation.gif"))));
  }
  {
    // 32-bit entries of six sizes; the ICO writer stores the 256 one as PNG.
    auto setting = obtainOwned<ico::EncodeSetting>();
    for (std::int32_t size : {16, 24, 32, 48, 64, 256})
      setting->sizes.add(size);
    setting->bitDepths.add(32);
    auto square = photoLike(256, 256, 11);
    auto icon = own(square == nullptr ? nullptr : setting->createFromImage(square.get()));
    ok &= report(at("icon.ico"), icon != nullptr && icon->saveToFile(u16(at("icon.ico"))));
  }
  return ok ? 0 : 1;
}

void usage() {
  std::fprintf(stderr,
               "usage: encode_floor FILE N OUTDIR          decode FILE once, write N copies\n"
               "       encode_floor --make DIR [--small]   write the comparison pictures\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string_view(argv[1]) == "--make") {
    const bool small = argc == 4 && std::string_view(argv[3]) == "--small";
    if (argc != 3 && !small) {
      usage();
      return 2;
    }
    return makeInputs(argv[2], small ? kSmallSizes : kFullSizes);
  }
  if (argc != 4 || argv[1][0] == '-') {
    usage();
    return 2;
  }
  char* end = nullptr;
  const long count = std::strtol(argv[2], &end, 10);
  if (end == argv[2] || *end != '\0' || count < 1 || count > 1000) {
    std::fprintf(stderr, "encode_floor: N must be a whole number from 1 to 1000\n");
    return 2;
  }
  return encodeFloor(argv[1], static_cast<int>(count), argv[3]);
}

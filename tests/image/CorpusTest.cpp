// Every picture file of the public test corpus under tests/data (BMP, GIF,
// ICO, JPEG, PNG), loaded the way the program loads a dropped file: format
// detection on the first 100 bytes, then the codec of the detected format.
// One row per file states what detection says and what the codec makes of
// it; files that detection does not recognise are handed to the reader of
// their format directly, which must still cope with them.
//
// Where a file may be handled in more than one acceptable way (an unusual
// layout, a damaged part that can be skipped), the row's comment gives the
// way this program takes; the table keeps it stable.
//
// Pixel checks: a row may name a reference picture that the file's first
// picture must match within a tolerance per channel. Further pixel checks
// live with the codecs: interlaced PNG files against their plain twins, the
// transparency counts of the PNG files met in practice and the cut PNG
// against its whole original (PngTest), the damaged JPEG header and the CMYK
// samples (JpegTest), the GIF frames against browser renderings and the
// interlaced GIF twin (GifCorpusTest), the first icon pixel (IconTest).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include "s/file/win/PathWin.h"
#include "s/image/FormatDetection.h"
#include "s/image/IEncodedImage.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/str/Utf.h"
#include "s/thread/Pool.h"

namespace {

using s::image::IEncodedImage;
using s::image::kFormatBmp;
using s::image::kFormatGif;
using s::image::kFormatIco;
using s::image::kFormatJpg;
using s::image::kFormatPng;
using s::image::win::BufferedImage;
using s::image::win::BufferedImageSet;
using s::thread::own;
using s::thread::Owned;

const std::string kData = TINTERY_TEST_DATA;

constexpr bool kDetected = true;
constexpr bool kUndetected = false;

// What the codec makes of a file: `count` pictures, the largest of them
// width x height; `problem`: a damaged part is reported although pictures
// are kept. No pictures: the file is refused (and a problem reported).
struct Outcome {
  int count;
  int width, height;
  bool problem;
};

constexpr Outcome decodes(int width, int height, int count = 1) {
  return {count, width, height, false};
}
constexpr Outcome decodesDamaged(int width, int height) {
  return {1, width, height, true};
}
constexpr Outcome kRefused = {0, 0, 0, true};

// A picture the file's first picture must match: every channel within
// `tolerance`; with `colourOnly` the alpha channel is not compared.
struct Reference {
  const char* file = nullptr;
  int tolerance = 0;
  bool colourOnly = false;
};

struct Row {
  const char* file;        // under tests/data
  const char16_t* format;  // the format of the content
  bool detected;           // whether detection recognises it
  Outcome outcome;
  Reference reference = {};
};

// clang-format off
const Row kRows[] = {
    // BMP. The suite's pictures are 127 x 64 unless the row says otherwise.
    // Against the suite's own renderings: palette files within 1 level, 24-
    // and 32-bit files exactly, 5-bit channels (which readers widen to 8 bits
    // in different ways) within 8.
    {"bmp/good/pal1.bmp", kFormatBmp, kDetected, decodes(127, 64), {"bmp/reference/pal1.png", 1}},
    {"bmp/good/pal1bg.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/pal1bg.png", 1}},
    {"bmp/good/pal1wb.bmp", kFormatBmp, kDetected, decodes(127, 64), {"bmp/reference/pal1.png", 1}},
    {"bmp/good/pal4.bmp", kFormatBmp, kDetected, decodes(127, 64), {"bmp/reference/pal4.png", 1}},
    // Run-length coded: decoded rather than refused.
    {"bmp/good/pal4rle.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/pal4.png", 1}},
    // Every optional header field 0: 256 colours, image size from the rows.
    {"bmp/good/pal8-0.bmp", kFormatBmp, kDetected, decodes(127, 64), {"bmp/reference/pal8.png", 1}},
    {"bmp/good/pal8.bmp", kFormatBmp, kDetected, decodes(127, 64), {"bmp/reference/pal8.png", 1}},
    // Twice as dense horizontally: shown at its stored size, not stretched.
    {"bmp/good/pal8nonsquare.bmp", kFormatBmp, kDetected, decodes(127, 32),
     {"bmp/reference/pal8nonsquare-e.png", 1}},
    // 12-byte header with 3-byte palette entries: decoded rather than refused.
    {"bmp/good/pal8os2.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/pal8.png", 1}},
    // Run-length coded: decoded rather than refused.
    {"bmp/good/pal8rle.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/pal8.png", 1}},
    // Rows stored top first: decoded upright rather than refused.
    {"bmp/good/pal8topdown.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/pal8.png", 1}},
    {"bmp/good/pal8v4.bmp", kFormatBmp, kDetected, decodes(127, 64), {"bmp/reference/pal8.png", 1}},
    {"bmp/good/pal8v5.bmp", kFormatBmp, kDetected, decodes(127, 64), {"bmp/reference/pal8.png", 1}},
    // Widths 124 to 126: every row padding.
    {"bmp/good/pal8w124.bmp", kFormatBmp, kDetected, decodes(124, 61),
     {"bmp/reference/pal8w124.png", 1}},
    {"bmp/good/pal8w125.bmp", kFormatBmp, kDetected, decodes(125, 62),
     {"bmp/reference/pal8w125.png", 1}},
    {"bmp/good/pal8w126.bmp", kFormatBmp, kDetected, decodes(126, 63),
     {"bmp/reference/pal8w126.png", 1}},
    {"bmp/good/rgb16-565.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/rgb16-565.png", 1}},
    {"bmp/good/rgb16-565pal.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/rgb16-565.png", 1}},
    {"bmp/good/rgb16.bmp", kFormatBmp, kDetected, decodes(127, 64), {"bmp/reference/rgb16.png", 8}},
    {"bmp/good/rgb24.bmp", kFormatBmp, kDetected, decodes(127, 64), {"bmp/reference/rgb24.png"}},
    {"bmp/good/rgb24pal.bmp", kFormatBmp, kDetected, decodes(127, 64), {"bmp/reference/rgb24.png"}},
    // Fourth bytes all 0: opaque.
    {"bmp/good/rgb32.bmp", kFormatBmp, kDetected, decodes(127, 64), {"bmp/reference/rgb24.png"}},
    {"bmp/good/rgb32bf.bmp", kFormatBmp, kDetected, decodes(127, 64), {"bmp/reference/rgb24.png"}},
    // One palette entry, and 2 bits per pixel: both decoded.
    {"bmp/questionable/pal1p1.bmp", kFormatBmp, kDetected, decodes(127, 64)},
    {"bmp/questionable/pal2.bmp", kFormatBmp, kDetected, decodes(127, 64)},
    // Runs that skip pixels: decoded, the skipped pixels take palette entry 0.
    {"bmp/questionable/pal4rletrns.bmp", kFormatBmp, kDetected, decodes(127, 64)},
    {"bmp/questionable/pal8offs.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/pal8.png", 1}},
    // 12-byte header with a short palette: decoded.
    {"bmp/questionable/pal8os2sp.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/pal8.png", 1}},
    // 16-byte header: decoded.
    {"bmp/questionable/pal8os2v2-16.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/pal8.png", 1}},
    // 64-byte header: its first 40 bytes read as the common header.
    {"bmp/questionable/pal8os2v2.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/pal8.png", 1}},
    // 300 colours for an 8-bit picture: refused rather than cut to 256.
    {"bmp/questionable/pal8oversizepal.bmp", kFormatBmp, kDetected, kRefused},
    // Runs that skip pixels: decoded, the skipped pixels take palette entry 0.
    {"bmp/questionable/pal8rletrns.bmp", kFormatBmp, kDetected, decodes(127, 64)},
    // Channel masks of 2, 3 and 1 bits: decoded.
    {"bmp/questionable/rgb16-231.bmp", kFormatBmp, kDetected, decodes(127, 64)},
    // An embedded JPEG stream: refused.
    {"bmp/questionable/rgb24jpeg.bmp", kFormatBmp, kDetected, kRefused},
    // A 300-entry palette in a 24-bit file: passed over, never copied.
    {"bmp/questionable/rgb24largepal.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/rgb24.png"}},
    // Linked and embedded colour profiles: ignored.
    {"bmp/questionable/rgb24lprof.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/rgb24.png"}},
    // An embedded PNG stream: refused.
    {"bmp/questionable/rgb24png.bmp", kFormatBmp, kDetected, kRefused},
    {"bmp/questionable/rgb24prof.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/rgb24.png"}},
    // Channel masks of 11, 11 and 10 bits: decoded, each channel scaled to 8 bits.
    {"bmp/questionable/rgb32-111110.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/rgb24.png", 1}},
    {"bmp/questionable/rgb32bf-xbgr.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/rgb24.png"}},
    // Non-zero fourth bytes in a 32-bit file are kept as alpha (the picture is
    // partly transparent); the colours are the reference's.
    {"bmp/questionable/rgb32fakealpha.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/rgb24.png", 0, true}},
    // 52-byte header: decoded.
    {"bmp/questionable/rgb32h52.bmp", kFormatBmp, kDetected, decodes(127, 64),
     {"bmp/reference/rgb24.png"}},
    // Alpha masks (16 and 32 bits, 56- and 124-byte headers, the alpha bit
    // fields compression): decoded with alpha.
    {"bmp/questionable/rgba16-4444.bmp", kFormatBmp, kDetected, decodes(127, 64)},
    {"bmp/questionable/rgba32.bmp", kFormatBmp, kDetected, decodes(127, 64)},
    {"bmp/questionable/rgba32abf.bmp", kFormatBmp, kDetected, decodes(127, 64)},
    {"bmp/questionable/rgba32h56.bmp", kFormatBmp, kDetected, decodes(127, 64)},
    {"bmp/bad/badbitcount.bmp", kFormatBmp, kDetected, kRefused},
    // An image size of gigabytes, absurd densities, a file size of 2 GB: the
    // fields are not needed, the pictures decode.
    {"bmp/bad/badbitssize.bmp", kFormatBmp, kDetected, decodes(127, 64)},
    {"bmp/bad/baddens1.bmp", kFormatBmp, kDetected, decodes(127, 64)},
    {"bmp/bad/baddens2.bmp", kFormatBmp, kDetected, decodes(127, 64)},
    {"bmp/bad/badfilesize.bmp", kFormatBmp, kDetected, decodes(127, 64)},
    {"bmp/bad/badheadersize.bmp", kFormatBmp, kDetected, kRefused},
    {"bmp/bad/badpalettesize.bmp", kFormatBmp, kDetected, kRefused},
    {"bmp/bad/badplanes.bmp", kFormatBmp, kDetected, kRefused},
    // Runs past the picture: decoded, what falls outside is dropped.
    {"bmp/bad/badrle.bmp", kFormatBmp, kDetected, decodes(127, 64)},
    {"bmp/bad/badwidth.bmp", kFormatBmp, kDetected, kRefused},
    // Indices past the palette: decoded, unknown entries are black.
    {"bmp/bad/pal8badindex.bmp", kFormatBmp, kDetected, decodes(127, 64)},
    // 3,000,000 x 2,000,000: refused before anything is allocated.
    {"bmp/bad/reallybig.bmp", kFormatBmp, kDetected, kRefused},
    {"bmp/bad/rletopdown.bmp", kFormatBmp, kDetected, kRefused},
    // Cut after 273 bytes: decoded, the missing rows zero, the cut reported.
    {"bmp/bad/shortfile.bmp", kFormatBmp, kDetected, decodesDamaged(127, 64)},
    // The suite's renderings themselves.
    {"bmp/reference/pal1.png", kFormatPng, kDetected, decodes(127, 64)},
    {"bmp/reference/pal1bg.png", kFormatPng, kDetected, decodes(127, 64)},
    {"bmp/reference/pal4.png", kFormatPng, kDetected, decodes(127, 64)},
    {"bmp/reference/pal8.png", kFormatPng, kDetected, decodes(127, 64)},
    {"bmp/reference/pal8nonsquare-e.png", kFormatPng, kDetected, decodes(127, 32)},
    {"bmp/reference/pal8w124.png", kFormatPng, kDetected, decodes(124, 61)},
    {"bmp/reference/pal8w125.png", kFormatPng, kDetected, decodes(125, 62)},
    {"bmp/reference/pal8w126.png", kFormatPng, kDetected, decodes(126, 63)},
    {"bmp/reference/rgb16-565.png", kFormatPng, kDetected, decodes(127, 64)},
    {"bmp/reference/rgb16.png", kFormatPng, kDetected, decodes(127, 64)},
    {"bmp/reference/rgb24.png", kFormatPng, kDetected, decodes(127, 64)},

    // GIF. Every frame becomes a picture of the logical screen's size, drawn
    // as a browser shows the animation at that frame.
    {"gif/background_outside_palette.gif", kFormatGif, kUndetected, decodes(1, 1, 2)},
    {"gif/comment_after_last_frame.gif", kFormatGif, kDetected, decodes(1, 1, 2)},
    // A 65535 x 1321 frame with code size 143 in a 44-byte file: refused.
    {"gif/decompression_bomb.gif", kFormatGif, kUndetected, kRefused},
    // A frame at (65535, 65535): clipped to the screen.
    {"gif/decompression_bomb_extents.gif", kFormatGif, kDetected, decodes(100, 100, 2)},
    {"gif/different_transparency.gif", kFormatGif, kDetected, decodes(100, 100, 2)},
    {"gif/dispose_bgnd.gif", kFormatGif, kDetected, decodes(100, 100, 5)},
    {"gif/dispose_none.gif", kFormatGif, kDetected, decodes(100, 100, 5)},
    {"gif/dispose_prev.gif", kFormatGif, kDetected, decodes(100, 100, 5)},
    // Two loop extensions: the later one counts (GifCorpusTest checks 3).
    {"gif/duplicate_number_of_loops.gif", kFormatGif, kDetected, decodes(1, 1, 2)},
    // A 50 x 50 frame at (25, 0): drawn on the 75 x 50 screen.
    {"gif/first_frame_transparency.gif", kFormatGif, kDetected, decodes(75, 50)},
    {"gif/hopper.gif", kFormatGif, kDetected, decodes(128, 128)},
    // A comment without data blocks: passed over; the same pixels as
    // hopper.gif (GifCorpusTest).
    {"gif/hopper_zero_comment_subblocks.gif", kFormatGif, kDetected, decodes(128, 128)},
    {"gif/iss634.gif", kFormatGif, kDetected, decodes(245, 245, 42)},
    // Minimum code size 11 with an 8-bit table: decoded rather than refused.
    {"gif/issue_2811.gif", kFormatGif, kDetected, decodes(100, 100)},
    {"gif/missing_background.gif", kFormatGif, kDetected, decodes(32, 32, 4)},
    // No colour table anywhere: a grey ramp.
    {"gif/no_palette.gif", kFormatGif, kUndetected, decodes(1, 1, 2)},
    {"gif/no_palette_after_rgb.gif", kFormatGif, kDetected, decodes(1, 1, 3)},
    {"gif/test.colors.gif", kFormatGif, kDetected, decodes(807, 606)},
    // A frame reaching past the screen: clipped.
    {"gif/test_extents.gif", kFormatGif, kDetected, decodes(100, 100, 2)},
    // 25 stray bytes between the frames: passed over, both frames kept.
    {"gif/test_extents_transparency.gif", kFormatGif, kDetected, decodes(100, 100, 2)},
    {"gif/zero_width.gif", kFormatGif, kUndetected, kRefused},

    // ICO. The size is the largest entry's.
    {"ico/black_and_white.ico", kFormatIco, kDetected, decodes(16, 16)},
    // The bitmap header claims 65535 x 65535 in 176 bytes: no usable entry.
    {"ico/decompression_bomb.ico", kFormatIco, kDetected, kRefused},
    {"ico/hopper.ico", kFormatIco, kDetected, decodes(16, 16)},
    {"ico/hopper_256x256.ico", kFormatIco, kDetected, decodes(256, 256)},
    // Half the pixels masked out: the same colours and alpha as the PNG.
    {"ico/hopper_mask.ico", kFormatIco, kDetected, decodes(16, 16), {"ico/hopper_mask.png"}},
    {"ico/hopper_mask.png", kFormatPng, kDetected, decodes(16, 16)},
    // The directory says 32 pixels high, the bitmap header 16: the bitmap
    // header is believed.
    {"ico/hopper_unexpected.ico", kFormatIco, kDetected, decodes(16, 16)},
    {"ico/pillow.ico", kFormatIco, kDetected, decodes(256, 256, 5)},
    {"ico/python.ico", kFormatIco, kDetected, decodes(48, 48, 3)},

    // JPEG. Warnings of the library do not stop decoding.
    {"jpeg/wild/app13-multiple.jpg", kFormatJpg, kDetected, decodes(256, 160)},
    {"jpeg/wild/hopper.jpg", kFormatJpg, kDetected, decodes(128, 128)},
    {"jpeg/wild/hopper_16bit_qtables.jpg", kFormatJpg, kDetected, decodes(128, 128)},
    // Damaged entropy data: decoded at the declared size, the damage reported.
    {"jpeg/wild/hopper_bad_exif.jpg", kFormatJpg, kDetected, decodesDamaged(500, 500)},
    {"jpeg/wild/hopper_gray.jpg", kFormatJpg, kDetected, decodes(128, 128)},
    {"jpeg/wild/icc-after-SOF.jpg", kFormatJpg, kDetected, decodes(10, 10)},
    {"jpeg/wild/junk_jpeg_header.jpg", kFormatJpg, kDetected, decodes(1024, 768)},
    // EXIF orientation 8: the stored 2 x 1 pixels, not turned.
    {"jpeg/wild/orientation_rectangle.jpg", kFormatJpg, kDetected, decodes(2, 1)},
    // A segment length too short: the same pixels as the original (JpegTest).
    {"jpeg/wild/photoshop-200dpi-broken.jpg", kFormatJpg, kDetected, decodes(200, 200)},
    {"jpeg/wild/photoshop-200dpi.jpg", kFormatJpg, kDetected, decodes(200, 200)},
    {"jpeg/wild/pil_sample_cmyk.jpg", kFormatJpg, kDetected, decodes(100, 100)},
    {"jpeg/wild/pil_sample_rgb.jpg", kFormatJpg, kDetected, decodes(100, 100)},
    {"jpeg/wild/sugarshack_bad_mpo_header.jpg", kFormatJpg, kDetected, decodes(640, 480)},
    {"jpeg/wild/truncated_app14.jpg", kFormatJpg, kDetected, decodes(100, 100)},
    // Cut inside the scans: decoded at the declared size, the cut reported.
    {"jpeg/wild/truncated_jpeg.jpg", kFormatJpg, kDetected, decodesDamaged(100, 100)},

    // PNG files met in practice.
    {"png/wild/1_trns.png", kFormatPng, kDetected, decodes(64, 64)},
    // Mangled by a text conversion after the signature.
    {"png/wild/broken.png", kFormatPng, kUndetected, kRefused},
    // Damaged image data (bad filter bytes): refused.
    {"png/wild/broken_data_stream.png", kFormatPng, kDetected, kRefused},
    {"png/wild/bw_gradient.png", kFormatPng, kDetected, decodes(256, 10)},
    {"png/wild/hopper.png", kFormatPng, kDetected, decodes(128, 128)},
    // A second image data chunk after the picture is complete.
    {"png/wild/hopper_idat_after_image_end.png", kFormatPng, kDetected, decodes(128, 128)},
    {"png/wild/i_trns.png", kFormatPng, kDetected, decodes(64, 64)},
    // Bytes after the end of the compressed stream.
    {"png/wild/padded_idat.png", kFormatPng, kDetected, decodes(256, 10),
     {"png/wild/bw_gradient.png"}},
    {"png/wild/pil123p.png", kFormatPng, kDetected, decodes(162, 150)},
    // Text chunks that inflate to megabytes: not read.
    {"png/wild/png_decompression_dos.png", kFormatPng, kDetected, decodes(1, 1)},
    // Stored without its first byte (0x89); PngTest puts it back.
    {"png/wild/pngtest_bad.png.bin", kFormatPng, kUndetected, kRefused},
    // An animated PNG: its default picture.
    {"png/wild/single_frame_default.png", kFormatPng, kDetected, decodes(128, 64)},
    {"png/wild/tRNS_null_1x1.png", kFormatPng, kUndetected, decodes(1, 1)},
    // Every row present, the file cut inside the final chunk: the picture is
    // kept and the damage reported; the same pixels as hopper.png (PngTest).
    {"png/wild/truncated_end_chunk.png", kFormatPng, kDetected, decodesDamaged(128, 128)},
    // Cut inside the image data: refused.
    {"png/wild/truncated_image.png", kFormatPng, kDetected, kRefused},
    // A colour profile chunk with an unknown compression method: dropped.
    {"png/wild/unknown_compression_method.png", kFormatPng, kDetected, decodes(57, 57)},

    // PngSuite.
    // Every colour type and bit depth; the Adam7 twins ('i') decode to the
    // pixels of their plain twins (PngTest checks every pair).
    {"png/pngsuite/basi0g01.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basi0g02.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basi0g04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basi0g08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basi0g16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basi2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basi2c16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basi3p01.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basi3p02.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basi3p04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basi3p08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basi4a08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basi4a16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basi6a08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basi6a16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basn0g01.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basn0g02.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basn0g04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basn0g08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basn0g16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basn2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basn2c16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basn3p01.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basn3p02.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basn3p04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basn3p08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basn4a08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basn4a16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basn6a08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/basn6a16.png", kFormatPng, kDetected, decodes(32, 32)},
    // Odd sizes, N x N for the number in the name, palettes of 1, 2 and 4 bits.
    {"png/pngsuite/s01i3p01.png", kFormatPng, kDetected, decodes(1, 1)},
    {"png/pngsuite/s01n3p01.png", kFormatPng, kDetected, decodes(1, 1)},
    {"png/pngsuite/s02i3p01.png", kFormatPng, kDetected, decodes(2, 2)},
    {"png/pngsuite/s02n3p01.png", kFormatPng, kDetected, decodes(2, 2)},
    {"png/pngsuite/s03i3p01.png", kFormatPng, kDetected, decodes(3, 3)},
    {"png/pngsuite/s03n3p01.png", kFormatPng, kDetected, decodes(3, 3)},
    {"png/pngsuite/s04i3p01.png", kFormatPng, kDetected, decodes(4, 4)},
    {"png/pngsuite/s04n3p01.png", kFormatPng, kDetected, decodes(4, 4)},
    {"png/pngsuite/s05i3p02.png", kFormatPng, kDetected, decodes(5, 5)},
    {"png/pngsuite/s05n3p02.png", kFormatPng, kDetected, decodes(5, 5)},
    {"png/pngsuite/s06i3p02.png", kFormatPng, kDetected, decodes(6, 6)},
    {"png/pngsuite/s06n3p02.png", kFormatPng, kDetected, decodes(6, 6)},
    {"png/pngsuite/s07i3p02.png", kFormatPng, kDetected, decodes(7, 7)},
    {"png/pngsuite/s07n3p02.png", kFormatPng, kDetected, decodes(7, 7)},
    {"png/pngsuite/s08i3p02.png", kFormatPng, kDetected, decodes(8, 8)},
    {"png/pngsuite/s08n3p02.png", kFormatPng, kDetected, decodes(8, 8)},
    {"png/pngsuite/s09i3p02.png", kFormatPng, kDetected, decodes(9, 9)},
    {"png/pngsuite/s09n3p02.png", kFormatPng, kDetected, decodes(9, 9)},
    {"png/pngsuite/s32i3p04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/s32n3p04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/s33i3p04.png", kFormatPng, kDetected, decodes(33, 33)},
    {"png/pngsuite/s33n3p04.png", kFormatPng, kDetected, decodes(33, 33)},
    {"png/pngsuite/s34i3p04.png", kFormatPng, kDetected, decodes(34, 34)},
    {"png/pngsuite/s34n3p04.png", kFormatPng, kDetected, decodes(34, 34)},
    {"png/pngsuite/s35i3p04.png", kFormatPng, kDetected, decodes(35, 35)},
    {"png/pngsuite/s35n3p04.png", kFormatPng, kDetected, decodes(35, 35)},
    {"png/pngsuite/s36i3p04.png", kFormatPng, kDetected, decodes(36, 36)},
    {"png/pngsuite/s36n3p04.png", kFormatPng, kDetected, decodes(36, 36)},
    {"png/pngsuite/s37i3p04.png", kFormatPng, kDetected, decodes(37, 37)},
    {"png/pngsuite/s37n3p04.png", kFormatPng, kDetected, decodes(37, 37)},
    {"png/pngsuite/s38i3p04.png", kFormatPng, kDetected, decodes(38, 38)},
    {"png/pngsuite/s38n3p04.png", kFormatPng, kDetected, decodes(38, 38)},
    {"png/pngsuite/s39i3p04.png", kFormatPng, kDetected, decodes(39, 39)},
    {"png/pngsuite/s39n3p04.png", kFormatPng, kDetected, decodes(39, 39)},
    {"png/pngsuite/s40i3p04.png", kFormatPng, kDetected, decodes(40, 40)},
    {"png/pngsuite/s40n3p04.png", kFormatPng, kDetected, decodes(40, 40)},
    // Alpha with and without a background colour chunk (not used).
    {"png/pngsuite/bgai4a08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/bgai4a16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/bgan6a08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/bgan6a16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/bgbn4a08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/bggn4a16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/bgwn6a08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/bgyn6a16.png", kFormatPng, kDetected, decodes(32, 32)},
    // Transparency chunks in grey, RGB and palette pictures become alpha
    // (tp0*: without transparency).
    {"png/pngsuite/tbbn0g04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/tbbn2c16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/tbbn3p08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/tbgn2c16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/tbgn3p08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/tbrn2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/tbwn0g16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/tbwn3p08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/tbyn3p08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/tm3n3p02.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/tp0n0g08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/tp0n2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/tp0n3p08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/tp1n3p08.png", kFormatPng, kDetected, decodes(32, 32)},
    // Gamma chunks from 0.35 to 2.50: raw samples, no gamma applied.
    {"png/pngsuite/g03n0g16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g03n2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g03n3p04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g04n0g16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g04n2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g04n3p04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g05n0g16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g05n2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g05n3p04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g07n0g16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g07n2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g07n3p04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g10n0g16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g10n2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g10n3p04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g25n0g16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g25n2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/g25n3p04.png", kFormatPng, kDetected, decodes(32, 32)},
    // Row filter types 0 to 4; f99: the filter changes from row to row.
    {"png/pngsuite/f00n0g08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/f00n2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/f01n0g08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/f01n2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/f02n0g08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/f02n2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/f03n0g08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/f03n2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/f04n0g08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/f04n2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/f99n0g04.png", kFormatPng, kDetected, decodes(32, 32)},
    // Palettes in truecolour pictures and suggested palettes (ignored).
    {"png/pngsuite/pp0n2c16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/pp0n6a08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/ps1n0g08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/ps1n2c16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/ps2n0g08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/ps2n2c16.png", kFormatPng, kDetected, decodes(32, 32)},
    // Ancillary chunks (chromaticities, density, histogram, time, significant
    // bits, text); the three cm* files differ only in their time chunks.
    {"png/pngsuite/ccwn2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/ccwn3p08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/cdfn2c08.png", kFormatPng, kDetected, decodes(8, 32)},
    {"png/pngsuite/cdhn2c08.png", kFormatPng, kDetected, decodes(32, 8)},
    {"png/pngsuite/cdsn2c08.png", kFormatPng, kDetected, decodes(8, 8)},
    {"png/pngsuite/cdun2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/ch1n3p04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/ch2n3p08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/cm0n0g04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/cm7n0g04.png", kFormatPng, kDetected, decodes(32, 32),
     {"png/pngsuite/cm0n0g04.png"}},
    {"png/pngsuite/cm9n0g04.png", kFormatPng, kDetected, decodes(32, 32),
     {"png/pngsuite/cm0n0g04.png"}},
    {"png/pngsuite/cs3n2c16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/cs3n3p08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/cs5n2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/cs5n3p08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/cs8n2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/cs8n3p08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/ct0n0g04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/ct1n0g04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/cten0g04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/ctfn0g04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/ctgn0g04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/cthn0g04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/ctjn0g04.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/ctzn0g04.png", kFormatPng, kDetected, decodes(32, 32)},
    // An EXIF chunk (ignored).
    {"png/pngsuite/exif2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    // The image data split into 1, 2, 4 or one-byte data chunks: identical
    // pixels within each colour type.
    {"png/pngsuite/oi1n0g16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/oi1n2c16.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/oi2n0g16.png", kFormatPng, kDetected, decodes(32, 32),
     {"png/pngsuite/oi1n0g16.png"}},
    {"png/pngsuite/oi2n2c16.png", kFormatPng, kDetected, decodes(32, 32),
     {"png/pngsuite/oi1n2c16.png"}},
    {"png/pngsuite/oi4n0g16.png", kFormatPng, kDetected, decodes(32, 32),
     {"png/pngsuite/oi1n0g16.png"}},
    {"png/pngsuite/oi4n2c16.png", kFormatPng, kDetected, decodes(32, 32),
     {"png/pngsuite/oi1n2c16.png"}},
    {"png/pngsuite/oi9n0g16.png", kFormatPng, kDetected, decodes(32, 32),
     {"png/pngsuite/oi1n0g16.png"}},
    {"png/pngsuite/oi9n2c16.png", kFormatPng, kDetected, decodes(32, 32),
     {"png/pngsuite/oi1n2c16.png"}},
    // Compression levels 0, 3, 6 and 9: identical pixels.
    {"png/pngsuite/z00n2c08.png", kFormatPng, kDetected, decodes(32, 32)},
    {"png/pngsuite/z03n2c08.png", kFormatPng, kDetected, decodes(32, 32),
     {"png/pngsuite/z00n2c08.png"}},
    {"png/pngsuite/z06n2c08.png", kFormatPng, kDetected, decodes(32, 32),
     {"png/pngsuite/z00n2c08.png"}},
    {"png/pngsuite/z09n2c08.png", kFormatPng, kDetected, decodes(32, 32),
     {"png/pngsuite/z00n2c08.png"}},
    // Deliberately corrupt files: refused. A damaged signature or a file of
    // 100 bytes or less is not recognised by detection.
    {"png/pngsuite/xc1n0g08.png", kFormatPng, kDetected, kRefused},  // colour type 1
    {"png/pngsuite/xc9n2c08.png", kFormatPng, kDetected, kRefused},  // colour type 9
    {"png/pngsuite/xcrn0g04.png", kFormatPng, kUndetected, kRefused},  // carriage returns added
    {"png/pngsuite/xcsn0g01.png", kFormatPng, kDetected, kRefused},  // image data checksum wrong
    {"png/pngsuite/xd0n2c08.png", kFormatPng, kDetected, kRefused},  // bit depth 0
    {"png/pngsuite/xd3n2c08.png", kFormatPng, kDetected, kRefused},  // bit depth 3
    {"png/pngsuite/xd9n2c08.png", kFormatPng, kDetected, kRefused},  // bit depth 99
    {"png/pngsuite/xdtn0g01.png", kFormatPng, kUndetected, kRefused},  // no image data (61 bytes)
    {"png/pngsuite/xhdn0g08.png", kFormatPng, kDetected, kRefused},  // header checksum wrong
    {"png/pngsuite/xlfn0g04.png", kFormatPng, kUndetected, kRefused},  // line feeds added
    {"png/pngsuite/xs1n0g01.png", kFormatPng, kUndetected, kRefused},  // byte 1: top bit cleared
    {"png/pngsuite/xs2n0g01.png", kFormatPng, kUndetected, kRefused},  // byte 2 changed
    {"png/pngsuite/xs4n0g01.png", kFormatPng, kUndetected, kRefused},  // byte 4 in lower case
    {"png/pngsuite/xs7n0g01.png", kFormatPng, kUndetected, kRefused},  // byte 7 a space
};
// clang-format on

std::u16string pathOf(const std::string& file) {
  return s::str::utf8ToUtf16(kData + "/" + file);
}

// Both sets hold the same pictures, byte for byte.
void expectSamePictures(BufferedImageSet& a, BufferedImageSet& b) {
  ASSERT_EQ(a.getCount(), b.getCount());
  for (int i = 0; i < a.getCount(); ++i) {
    BufferedImage* x = a.get(i);
    BufferedImage* y = b.get(i);
    ASSERT_TRUE(x != nullptr && y != nullptr) << "picture " << i;
    ASSERT_EQ(x->getWidth(), y->getWidth()) << "picture " << i;
    ASSERT_EQ(x->getHeight(), y->getHeight()) << "picture " << i;
    EXPECT_EQ(x->hasAlpha(), y->hasAlpha()) << "picture " << i;
    for (int row = 0; row < x->getHeight(); ++row) {
      ASSERT_EQ(std::memcmp(x->getRow(row), y->getRow(row), std::size_t(x->getWidth()) * 4), 0)
          << "picture " << i << " row " << row;
    }
  }
}

// Detection, then the codec, then a second read of the same file by a new
// codec object, which gives read()'s own answer and must decode the same.
void checkRow(const Row& row) {
  SCOPED_TRACE(row.file);
  const std::u16string path = pathOf(row.file);
  const char16_t* format = u"unset";
  EXPECT_EQ(s::image::detectFormat(path, format), row.detected);
  EXPECT_EQ(format, row.detected ? row.format : nullptr);

  auto file = own(s::file::win::PathWin::obtain(path));
  ASSERT_NE(file, nullptr);
  testing::internal::CaptureStderr();
  Owned<IEncodedImage> codec = own(s::image::openEncodedImage(*file));
  if (!row.detected) {
    EXPECT_TRUE(codec == nullptr);
    // Not recognised, so the loader passes the file over; the reader of its
    // format must still cope with it.
    codec = own(s::image::createCodec(row.format));
    if (codec != nullptr) codec->loadFromFile(*file);
  }
  Owned<BufferedImageSet> set = codec != nullptr ? own(codec->decode(0)) : nullptr;
  Owned<BufferedImage> first = codec != nullptr ? own(codec->decodeImage(0, nullptr)) : nullptr;
  auto again = own(s::image::createCodec(row.format));
  const bool read = again != nullptr && again->loadFromFile(*file);
  Owned<BufferedImageSet> second = again != nullptr ? own(again->decode(0)) : nullptr;
  // The libraries' messages are caught by the codecs, never printed.
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  ASSERT_TRUE(codec != nullptr && again != nullptr);
  ASSERT_TRUE(set != nullptr && second != nullptr);

  const Outcome& expected = row.outcome;
  if (expected.count == 0) {
    EXPECT_FALSE(read);
    EXPECT_EQ(set->getCount(), 0);
    EXPECT_TRUE(first == nullptr);
    EXPECT_FALSE(codec->getProblem().empty());
  } else {
    EXPECT_TRUE(read);
    ASSERT_EQ(set->getCount(), expected.count);
    EXPECT_EQ(codec->getImageCount(), expected.count);
    EXPECT_EQ(set->getWidth(), expected.width);
    EXPECT_EQ(set->getHeight(), expected.height);
    EXPECT_TRUE(first != nullptr);
    EXPECT_EQ(codec->getProblem().empty(), !expected.problem) << codec->getProblem();
    // Every frame of an animation has the screen's size.
    for (int i = 0; row.format == kFormatGif && i < set->getCount(); ++i) {
      EXPECT_EQ(set->get(i)->getWidth(), expected.width) << "frame " << i;
      EXPECT_EQ(set->get(i)->getHeight(), expected.height) << "frame " << i;
    }
  }
  EXPECT_EQ(again->getProblem(), codec->getProblem());
  expectSamePictures(*set, *second);
}

void checkRows(std::string_view folder) {
  for (const Row& row : kRows) {
    if (std::string_view(row.file).substr(0, folder.size()) == folder) checkRow(row);
  }
}

TEST(Corpus, BmpFilesGiveTheOutcomesOfTheirRows) {
  checkRows("bmp/");
}

TEST(Corpus, GifFilesGiveTheOutcomesOfTheirRows) {
  checkRows("gif/");
}

TEST(Corpus, IconFilesGiveTheOutcomesOfTheirRows) {
  checkRows("ico/");
}

TEST(Corpus, JpegFilesGiveTheOutcomesOfTheirRows) {
  checkRows("jpeg/");
}

TEST(Corpus, PngFilesGiveTheOutcomesOfTheirRows) {
  checkRows("png/");
}

Owned<BufferedImage> firstPictureOf(const std::string& file) {
  auto path = own(s::file::win::PathWin::obtain(pathOf(file)));
  auto codec = own(s::image::openEncodedImage(*path));
  if (codec == nullptr) return nullptr;
  return own(codec->decodeImage(0, nullptr));
}

void checkReference(const Row& row) {
  SCOPED_TRACE(row.file);
  auto picture = firstPictureOf(row.file);
  auto reference = firstPictureOf(row.reference.file);
  ASSERT_TRUE(picture != nullptr);
  ASSERT_TRUE(reference != nullptr) << row.reference.file;
  ASSERT_EQ(picture->getWidth(), reference->getWidth());
  ASSERT_EQ(picture->getHeight(), reference->getHeight());
  const int channels = row.reference.colourOnly ? 3 : 4;
  int largest = 0;
  for (int y = 0; y < picture->getHeight(); ++y) {
    const std::uint8_t* a = picture->getRow(y);
    const std::uint8_t* b = reference->getRow(y);
    for (int x = 0; x < picture->getWidth(); ++x) {
      for (int c = 0; c < channels; ++c)
        largest = std::max(largest, std::abs(a[x * 4 + c] - b[x * 4 + c]));
    }
  }
  EXPECT_LE(largest, row.reference.tolerance) << "against " << row.reference.file;
}

TEST(Corpus, PicturesMatchTheirReferences) {
  for (const Row& row : kRows) {
    if (row.reference.file != nullptr) checkReference(row);
  }
}

// Every picture file under the codecs' data folders has exactly one row,
// and every row and reference names an existing file.
TEST(Corpus, EveryPictureFileHasOneRow) {
  const std::set<std::string> pictureExtensions = {".bmp", ".gif", ".ico", ".jpg", ".png", ".bin"};
  std::set<std::string> listed;
  for (const Row& row : kRows) {
    EXPECT_TRUE(listed.insert(row.file).second) << row.file << " has two rows";
    EXPECT_TRUE(std::filesystem::is_regular_file(kData + "/" + row.file)) << row.file;
    if (row.reference.file != nullptr) {
      EXPECT_TRUE(std::filesystem::is_regular_file(kData + "/" + row.reference.file))
          << row.reference.file;
    }
  }
  for (const char* folder : {"bmp", "gif", "ico", "jpeg", "png"}) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(kData + "/" + folder)) {
      if (!entry.is_regular_file() ||
          pictureExtensions.count(entry.path().extension().string()) == 0) {
        continue;
      }
      const std::string name = entry.path().lexically_relative(kData).generic_string();
      EXPECT_EQ(listed.count(name), 1u) << name << " has no row";
    }
  }
}

}  // namespace

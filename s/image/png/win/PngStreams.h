#pragma once

// The glue between libpng and the program's streams: error and warning
// routines that print nothing and return control to the codec, and the
// read, write and flush callbacks over IInputStream and IOutputStream.

#include <png.h>

namespace s::image::png::win {

// What the error routine learnt about the failure that ended the work; the
// codec passes it to the library as the error pointer.
struct PngFailure {
  // The picture's size was beyond the limits given to the library.
  volatile bool tooLarge = false;
};

// Jumps back to the codec's setjmp point (png_jmpbuf); never returns.
[[noreturn]] void returnToCodec(png_structp png, png_const_charp message);
// Warnings are of no use to the person converting pictures: never shown.
// One kind is remembered: a size beyond the limits (libpng warns with the
// reason, then fails with "Invalid IHDR data").
void noteWarning(png_structp png, png_const_charp message);

// Callbacks for png_set_read_fn and png_set_write_fn; the io pointer is the
// program's IInputStream or IOutputStream. A stream that ends before the
// bytes libpng asks for, or refuses bytes, is a library error.
void readFromStream(png_structp png, png_bytep data, size_t length);
void writeToStream(png_structp png, png_bytep data, size_t length);
void flushStream(png_structp png);

}  // namespace s::image::png::win

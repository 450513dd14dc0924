#pragma once

// The glue between libjpeg and the program's streams: an error manager that
// returns control to the codec instead of ending the process, and source and
// destination managers over IInputStream and IOutputStream.

#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

namespace s::io {
class IInputStream;
class IOutputStream;
}  // namespace s::io

namespace s::image::jpg::win {

// libjpeg's error manager with a way back to the codec. Fatal errors jump to
// `jump`, which the codec sets with setjmp before its first library call;
// warnings and trace messages are counted, never printed.
struct JpegErrors {
  jpeg_error_mgr library;  // first, so that the library's pointer is ours
  std::jmp_buf jump;
  // Set by the codec once the headers have been read; warnings after that
  // point concern the pixels.
  volatile bool pastHeader;
  // JWRN_JPEG_EOF: the data ended early and an end-of-image marker was
  // supplied.
  volatile bool truncated;
  // Any other warning about the compressed pixel data.
  volatile bool damaged;
  // The message code of the fatal error, when one ended the work.
  volatile int fatalCode;
};

// Fills errors in and returns the pointer to give the library's object.
jpeg_error_mgr* installErrors(JpegErrors& errors);

// The size of the buffers between the library and the streams.
constexpr std::size_t kStreamBufferSize = 4096;

// Reads the compressed data from stream. A stream that ends before the end
// of the picture makes the library warn (JWRN_JPEG_EOF) and see an
// end-of-image marker, so the picture keeps its declared size; a stream
// that holds nothing at all is a fatal error (JERR_INPUT_EMPTY).
void useInputStream(j_decompress_ptr info, io::IInputStream& stream);

// Writes the compressed data to stream; a write the stream refuses is a
// fatal error (JERR_FILE_WRITE).
void useOutputStream(j_compress_ptr info, io::IOutputStream& stream);

}  // namespace s::image::jpg::win

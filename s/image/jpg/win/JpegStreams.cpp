#include "s/image/jpg/win/JpegStreams.h"

#include <jerror.h>

#include "s/io/IInputStream.h"
#include "s/io/IOutputStream.h"

namespace s::image::jpg::win {

namespace {

JpegErrors& errorsOf(j_common_ptr info) {
  return *reinterpret_cast<JpegErrors*>(info->err);
}

[[noreturn]] void returnToCodec(j_common_ptr info) {
  JpegErrors& errors = errorsOf(info);
  errors.fatalCode = errors.library.msg_code;
  std::longjmp(errors.jump, 1);
}

// Warnings (level -1) are remembered for the codec's problem report; trace
// messages (levels 0 and up) are dropped. Nothing reaches standard error.
void noteMessage(j_common_ptr info, int level) {
  if (level >= 0) return;
  JpegErrors& errors = errorsOf(info);
  ++errors.library.num_warnings;
  if (errors.library.msg_code == JWRN_JPEG_EOF) {
    errors.truncated = true;
  } else if (errors.pastHeader) {
    errors.damaged = true;
  }
}

void printNothing(j_common_ptr) {}

// One read of up to `count` bytes; 0 at the end of the data or on an error.
std::size_t readSome(io::IInputStream& stream, JOCTET* buffer, std::size_t count) {
  std::size_t got = 0;
  if (!stream.read(buffer, count, &got) || got > count) return 0;
  return got;
}

// Hands every byte to the stream; false as soon as one write fails.
bool writeAll(io::IOutputStream& stream, const JOCTET* bytes, std::size_t count) {
  while (count > 0) {
    std::size_t taken = 0;
    if (!stream.write(bytes, count, &taken) || taken == 0 || taken > count) return false;
    bytes += taken;
    count -= taken;
  }
  return true;
}

struct StreamSource {
  jpeg_source_mgr library;  // first: the library's pointer is ours
  io::IInputStream* stream;
  JOCTET* buffer;
  bool startOfFile;
};

StreamSource& sourceOf(j_decompress_ptr info) {
  return *reinterpret_cast<StreamSource*>(info->src);
}

void initSource(j_decompress_ptr info) {
  sourceOf(info).startOfFile = true;
}

boolean fillInputBuffer(j_decompress_ptr info) {
  StreamSource& source = sourceOf(info);
  std::size_t count = readSome(*source.stream, source.buffer, kStreamBufferSize);
  if (count == 0) {
    if (source.startOfFile) ERREXIT(info, JERR_INPUT_EMPTY);
    WARNMS(info, JWRN_JPEG_EOF);
    // An end-of-image marker ends the picture where the data ends.
    source.buffer[0] = 0xFF;
    source.buffer[1] = JPEG_EOI;
    count = 2;
  }
  source.library.next_input_byte = source.buffer;
  source.library.bytes_in_buffer = count;
  source.startOfFile = false;
  return TRUE;
}

void skipInputData(j_decompress_ptr info, long count) {
  if (count <= 0) return;
  jpeg_source_mgr& source = *info->src;
  while (count > static_cast<long>(source.bytes_in_buffer)) {
    count -= static_cast<long>(source.bytes_in_buffer);
    fillInputBuffer(info);
  }
  source.next_input_byte += count;
  source.bytes_in_buffer -= static_cast<std::size_t>(count);
}

void termSource(j_decompress_ptr) {}

struct StreamDestination {
  jpeg_destination_mgr library;  // first: the library's pointer is ours
  io::IOutputStream* stream;
  JOCTET* buffer;
};

StreamDestination& destinationOf(j_compress_ptr info) {
  return *reinterpret_cast<StreamDestination*>(info->dest);
}

void initDestination(j_compress_ptr info) {
  StreamDestination& destination = destinationOf(info);
  destination.buffer = static_cast<JOCTET*>((*info->mem->alloc_small)(
      reinterpret_cast<j_common_ptr>(info), JPOOL_IMAGE, kStreamBufferSize));
  destination.library.next_output_byte = destination.buffer;
  destination.library.free_in_buffer = kStreamBufferSize;
}

boolean emptyOutputBuffer(j_compress_ptr info) {
  StreamDestination& destination = destinationOf(info);
  if (!writeAll(*destination.stream, destination.buffer, kStreamBufferSize)) {
    ERREXIT(info, JERR_FILE_WRITE);
  }
  destination.library.next_output_byte = destination.buffer;
  destination.library.free_in_buffer = kStreamBufferSize;
  return TRUE;
}

void termDestination(j_compress_ptr info) {
  StreamDestination& destination = destinationOf(info);
  const std::size_t count = kStreamBufferSize - destination.library.free_in_buffer;
  if (count > 0 && !writeAll(*destination.stream, destination.buffer, count)) {
    ERREXIT(info, JERR_FILE_WRITE);
  }
}

}  // namespace

jpeg_error_mgr* installErrors(JpegErrors& errors) {
  jpeg_std_error(&errors.library);
  errors.library.error_exit = returnToCodec;
  errors.library.emit_message = noteMessage;
  errors.library.output_message = printNothing;
  errors.pastHeader = false;
  errors.truncated = false;
  errors.damaged = false;
  errors.fatalCode = 0;
  return &errors.library;
}

void useInputStream(j_decompress_ptr info, io::IInputStream& stream) {
  // The manager and its buffer live as long as the library object.
  if (info->src == nullptr) {
    auto* source = static_cast<StreamSource*>((*info->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(info), JPOOL_PERMANENT, sizeof(StreamSource)));
    source->buffer = static_cast<JOCTET*>((*info->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(info), JPOOL_PERMANENT, kStreamBufferSize));
    info->src = &source->library;
  }
  StreamSource& source = sourceOf(info);
  source.library.init_source = initSource;
  source.library.fill_input_buffer = fillInputBuffer;
  source.library.skip_input_data = skipInputData;
  source.library.resync_to_restart = jpeg_resync_to_restart;
  source.library.term_source = termSource;
  source.library.bytes_in_buffer = 0;
  source.library.next_input_byte = nullptr;
  source.stream = &stream;
  source.startOfFile = true;
}

void useOutputStream(j_compress_ptr info, io::IOutputStream& stream) {
  if (info->dest == nullptr) {
    info->dest = static_cast<jpeg_destination_mgr*>((*info->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(info), JPOOL_PERMANENT, sizeof(StreamDestination)));
  }
  StreamDestination& destination = destinationOf(info);
  destination.library.init_destination = initDestination;
  destination.library.empty_output_buffer = emptyOutputBuffer;
  destination.library.term_destination = termDestination;
  destination.stream = &stream;
  destination.buffer = nullptr;
}

}  // namespace s::image::jpg::win

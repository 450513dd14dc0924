// Peak memory of decoding one picture file, as the colour-variant job does it
// before it writes anything: format detection, the codec's loadFromFile,
// decode(0) into a set and, for an animation, coalesce().
//
//   decode_peak FILE...          one line per file, exit 1 when any is over
//   decode_peak --make DIR       writes large pictures to measure into DIR,
//                                and copies of some cut off after 4 KiB
//
// Each file is decoded in a child process of its own (fork), so one file's
// pools and heap cannot hide or inflate another's. The heap figure comes from
// this program's own malloc family, which counts the bytes in use (as the
// allocator's usable size) and their high-water mark; every library in the
// process (libjpeg, libpng, zlib, the C++ runtime) allocates through it. The
// resident-set growth (peak RSS during the decode minus RSS before it) is
// printed beside it: it is lower for zero-filled blocks whose pages are never
// touched.
//
// The bound is 16 MiB plus 12 bytes per decoded pixel, the pixels being the
// sum over every entry of the set the job ends with (coalesced frames for an
// animation).

#include <malloc.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <string_view>

#include "s/file/win/PathWin.h"
#include "s/image/FormatDetection.h"
#include "s/image/IEncodedImage.h"
#include "s/image/bmp/EncodeSetting.h"
#include "s/image/gif/EncodeSetting.h"
#include "s/image/ico/EncodeSetting.h"
#include "s/image/jpg/EncodeSetting.h"
#include "s/image/png/EncodeSetting.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/str/Utf.h"
#include "s/thread/Pool.h"

// ---------------------------------------------------------------------------
// The counting allocator. These definitions take the place of the C
// library's for the whole process; the real work is done by glibc's own
// entry points.

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);
}

namespace {

std::atomic<std::int64_t> gInUse{0};
std::atomic<std::int64_t> gPeak{0};

void countAllocated(void* pointer) {
  if (pointer == nullptr) return;
  const auto size = static_cast<std::int64_t>(malloc_usable_size(pointer));
  const std::int64_t now = gInUse.fetch_add(size, std::memory_order_relaxed) + size;
  std::int64_t peak = gPeak.load(std::memory_order_relaxed);
  while (now > peak && !gPeak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
}

void countReleased(void* pointer) {
  if (pointer == nullptr) return;
  gInUse.fetch_sub(static_cast<std::int64_t>(malloc_usable_size(pointer)),
                   std::memory_order_relaxed);
}

bool isPowerOfTwo(std::size_t n) {
  return n != 0 && (n & (n - 1)) == 0;
}

}  // namespace

extern "C" {

void* malloc(std::size_t size) noexcept {
  void* pointer = __libc_malloc(size);
  countAllocated(pointer);
  return pointer;
}

void free(void* pointer) noexcept {
  countReleased(pointer);
  __libc_free(pointer);
}

void* calloc(std::size_t count, std::size_t size) noexcept {
  void* pointer = __libc_calloc(count, size);
  countAllocated(pointer);
  return pointer;
}

void* realloc(void* pointer, std::size_t size) noexcept {
  if (pointer == nullptr) return malloc(size);
  const auto before = static_cast<std::int64_t>(malloc_usable_size(pointer));
  void* moved = __libc_realloc(pointer, size);
  if (moved == nullptr) {
    // realloc(p, 0) frees p; a failed growth leaves p as it was.
    if (size == 0) gInUse.fetch_sub(before, std::memory_order_relaxed);
    return nullptr;
  }
  gInUse.fetch_sub(before, std::memory_order_relaxed);
  countAllocated(moved);
  return moved;
}

void* reallocarray(void* pointer, std::size_t count, std::size_t size) noexcept {
  std::size_t bytes = 0;
  if (__builtin_mul_overflow(count, size, &bytes)) {
    errno = ENOMEM;
    return nullptr;
  }
  return realloc(pointer, bytes);
}

void* memalign(std::size_t alignment, std::size_t size) noexcept {
  void* pointer = __libc_memalign(alignment, size);
  countAllocated(pointer);
  return pointer;
}

void* aligned_alloc(std::size_t alignment, std::size_t size) noexcept {
  return memalign(alignment, size);
}

int posix_memalign(void** result, std::size_t alignment, std::size_t size) noexcept {
  if (!isPowerOfTwo(alignment) || alignment % sizeof(void*) != 0) return EINVAL;
  void* pointer = memalign(alignment, size);
  if (pointer == nullptr) return ENOMEM;
  *result = pointer;
  return 0;
}

void* valloc(std::size_t size) noexcept {
  return memalign(static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), size);
}

void* pvalloc(std::size_t size) noexcept {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return memalign(page, (size + page - 1) / page * page);
}

}  // extern "C"

namespace {

using s::file::win::PathWin;
using s::image::IEncodedImage;
using s::image::win::BufferedImage;
using s::image::win::BufferedImageSet;
using s::thread::obtainOwned;
using s::thread::own;
using s::thread::Owned;

constexpr std::int64_t kFixedAllowance = std::int64_t{16} << 20;
constexpr std::int64_t kBytesPerPixel = 12;

// Resident set size in bytes, from /proc/self/status ("VmRSS:  1234 kB").
std::int64_t residentBytes() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  std::int64_t kilobytes = 0;
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::strncmp(line, "VmRSS:", 6) == 0) {
      kilobytes = std::strtoll(line + 6, nullptr, 10);
      break;
    }
  }
  std::fclose(status);
  return kilobytes * 1024;
}

// Restarts the kernel's peak-RSS mark at the current RSS where the kernel
// allows it; the child otherwise starts from its parent's mark, which is
// small because the parent decodes nothing.
void restartPeakResident() {
  std::FILE* refs = std::fopen("/proc/self/clear_refs", "w");
  if (refs == nullptr) return;
  std::fputs("5", refs);
  std::fclose(refs);
}

std::int64_t peakResidentBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::int64_t>(usage.ru_maxrss) * 1024;
}

struct Measurement {
  std::int64_t decodedPixels = 0;  // over the entries of the set the job keeps
  std::int64_t entries = 0;
  std::int64_t peakHeap = 0;  // high-water mark of heap bytes above the start
  std::int64_t residentGrowth = 0;
  char format[8] = "-";
};

// The job's steps up to the first variant, for one file.
Measurement decodeOnce(const char* file) {
  Measurement m;
  restartPeakResident();
  const std::int64_t residentBefore = residentBytes();
  const std::int64_t heapBefore = gInUse.load();
  gPeak.store(heapBefore);
  {
    const std::u16string path = s::str::utf8ToUtf16(file);
    auto source = own(PathWin::obtain(path));
    const char16_t* format = nullptr;
    if (source != nullptr && s::image::detectFormat(source->getFullPath(), format) &&
        format != nullptr) {
      const std::string name = s::str::utf16ToUtf8(format);
      std::snprintf(m.format, sizeof m.format, "%s", name.c_str());
      auto codec = own(s::image::createCodec(format));
      if (codec != nullptr) {
        codec->loadFromFile(*source);
        auto set = own(codec->decode(0));
        if (set != nullptr && set->isAnimated()) {
          BufferedImageSet* coalesced = set->coalesce();
          if (coalesced != nullptr) set.reset(coalesced);
        }
        if (set != nullptr) {
          m.entries = set->getCount();
          for (std::int32_t e = 0; e < set->getCount(); ++e)
            m.decodedPixels += set->get(e)->getPixelCount();
        }
      }
    }
  }
  m.peakHeap = gPeak.load() - heapBefore;
  m.residentGrowth = std::max<std::int64_t>(0, peakResidentBytes() - residentBefore);
  return m;
}

std::string megabytes(std::int64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1 << 20));
  return text;
}

// Forks, decodes the file in the child and reads its measurement back.
// False when the child did not report (it crashed or could not be made).
bool measureInChild(const char* file, Measurement& m) {
  int channel[2];
  if (pipe(channel) != 0) return false;
  std::fflush(stdout);
  const pid_t child = fork();
  if (child < 0) {
    close(channel[0]);
    close(channel[1]);
    return false;
  }
  if (child == 0) {
    close(channel[0]);
    const Measurement result = decodeOnce(file);
    const bool sent = write(channel[1], &result, sizeof result) == sizeof result;
    _exit(sent ? 0 : 1);
  }
  close(channel[1]);
  std::size_t got = 0;
  auto* bytes = reinterpret_cast<char*>(&m);
  while (got < sizeof m) {
    const ssize_t n = read(channel[0], bytes + got, sizeof m - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  close(channel[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return got == sizeof m && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

int measureFiles(int count, char** files) {
  std::printf("%-5s %-4s %7s %11s %10s %10s %6s %9s  %s\n", "", "fmt", "entries", "pixels",
              "peak MiB", "bound MiB", "use", "RSS+ MiB", "file");
  int over = 0;
  int failed = 0;
  double worstShare = 0;
  std::string worstFile;
  for (int i = 0; i < count; ++i) {
    Measurement m;
    if (!measureInChild(files[i], m)) {
      std::printf("%-5s %-4s %7s %11s %10s %10s %6s %9s  %s\n", "FAIL", "?", "-", "-", "-", "-",
                  "-", "-", files[i]);
      ++failed;
      continue;
    }
    const std::int64_t bound = kFixedAllowance + kBytesPerPixel * m.decodedPixels;
    const bool ok = m.peakHeap <= bound;
    if (!ok) ++over;
    const double share = static_cast<double>(m.peakHeap) / static_cast<double>(bound);
    if (share > worstShare) {
      worstShare = share;
      worstFile = files[i];
    }
    std::printf("%-5s %-4s %7lld %11lld %10s %10s %5.0f%% %9s  %s\n", ok ? "OK" : "OVER", m.format,
                static_cast<long long>(m.entries), static_cast<long long>(m.decodedPixels),
                megabytes(m.peakHeap).c_str(), megabytes(bound).c_str(), share * 100,
                megabytes(m.residentGrowth).c_str(), files[i]);
  }
  std::printf("%d files, %d over the bound, %d not measured; highest use %.0f%% (%s)\n", count,
              over, failed, worstShare * 100, worstFile.c_str());
  return over == 0 && failed == 0 ? 0 : 1;
}

// ---------------------------------------------------------------------------
// Large pictures to measure, written by the program's own encoders.

// Smooth gradients with per-channel noise, like a photograph.
Owned<BufferedImage> photoLike(std::int32_t width, std::int32_t height, std::uint32_t seed) {
  auto image = own(BufferedImage::create(width, height));
  if (image == nullptr) return image;
  std::mt19937 random(seed);
  const auto noise = [&random] { return static_cast<int>(random() % 9) - 4; };
  for (std::int32_t y = 0; y < height; ++y) {
    std::uint8_t* p = image->getRow(y);
    for (std::int32_t x = 0; x < width; ++x, p += 4) {
      p[0] = static_cast<std::uint8_t>(std::clamp(x * 255 / width + noise(), 0, 255));
      p[1] = static_cast<std::uint8_t>(std::clamp(y * 255 / height + noise(), 0, 255));
      p[2] =
          static_cast<std::uint8_t>(std::clamp((x + y) * 255 / (width + height) + noise(), 0, 255));
      p[3] = 255;
    }
  }
  return image;
}

// A frame of an animation: a gradient background with a disc that moves by
// frame, a few hundred colours in all.
Owned<BufferedImage> animationFrame(std::int32_t size, std::int32_t frame, std::int32_t frames) {
  auto image = own(BufferedImage::create(size, size));
  if (image == nullptr) return image;
  const std::int32_t centreX = size / 4 + size / 2 * frame / frames;
  const std::int32_t centreY = size / 2;
  const std::int64_t radius = size / 6;
  for (std::int32_t y = 0; y < size; ++y) {
    std::uint8_t* p = image->getRow(y);
    for (std::int32_t x = 0; x < size; ++x, p += 4) {
      const std::int64_t dx = x - centreX;
      const std::int64_t dy = y - centreY;
      const bool inDisc = dx * dx + dy * dy <= radius * radius;
      p[0] = static_cast<std::uint8_t>(inDisc ? 40 : (x * 8 / size) * 32);
      p[1] = static_cast<std::uint8_t>(inDisc ? 200 : (y * 8 / size) * 32);
      p[2] = static_cast<std::uint8_t>(inDisc ? 240 : ((x + y) * 4 / size) * 32);
      p[3] = 255;
    }
  }
  return image;
}

// Writes the first `bytes` bytes of source to a new file at target.
bool copyStart(const std::string& source, const std::string& target, std::size_t bytes) {
  std::ifstream in(source, std::ios::binary);
  std::string data(bytes, '\0');
  in.read(data.data(), static_cast<std::streamsize>(bytes));
  if (in.gcount() != static_cast<std::streamsize>(bytes)) return false;
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(bytes));
  return static_cast<bool>(out.flush());
}

bool report(const std::string& path, bool written) {
  std::printf("%s %s\n", written ? "wrote" : "could not write", path.c_str());
  return written;
}

int makeSamples(const std::string& folder) {
  using namespace s::image;
  const auto at = [&folder](const char* name) { return folder + "/" + name; };
  const auto u16 = [](const std::string& text) { return s::str::utf8ToUtf16(text); };
  bool ok = true;

  auto photo = photoLike(4000, 3000, 7);
  if (photo == nullptr) return 1;
  {
    auto setting = obtainOwned<jpg::EncodeSetting>();
    setting->quality = 90;
    const std::string path = at("photo-4000x3000.jpg");
    ok &= report(path, photo->writeJpeg(u16(path), *setting));
  }
  {
    auto setting = obtainOwned<png::EncodeSetting>();
    setting->keepTransparency = 0;
    setting->withInterlace = 0;
    const std::string path = at("photo-4000x3000.png");
    ok &= report(path, photo->writePng(u16(path), *setting));
  }
  {
    // What the job writes for PNG sources: interlaced, with alpha.
    auto setting = obtainOwned<png::EncodeSetting>();
    const std::string path = at("photo-4000x3000-interlaced.png");
    ok &= report(path, photo->writePng(u16(path), *setting));
  }
  for (std::int32_t bpp : {24, 32}) {
    auto setting = obtainOwned<bmp::EncodeSetting>();
    setting->bpp = bpp;
    const std::string path = at(bpp == 24 ? "photo-4000x3000-24.bmp" : "photo-4000x3000-32.bmp");
    ok &= report(path, photo->writeBmp(u16(path), *setting));
  }
  {
    auto setting = obtainOwned<bmp::EncodeSetting>();
    setting->bpp = 8;
    const std::string path = at("photo-4000x3000-8.bmp");
    ok &= report(path, photo->writeBmp(u16(path), *setting));
  }
  {
    constexpr std::int32_t kFrames = 16;
    auto frames = own(BufferedImageSet::obtain());
    for (std::int32_t f = 0; f < kFrames; ++f) {
      auto frame = animationFrame(1000, f, kFrames);
      if (frame == nullptr) return 1;
      // Every other frame is drawn over its predecessor, so coalescing has
      // work to do.
      frames->add(frame.release(), 8, 100, f % 2 == 0 ? 2 : 1);
    }
    frames->setAnimation(true, 0);
    auto setting = obtainOwned<gif::EncodeSetting>();
    auto gif = own(setting->createFromSet(frames.get()));
    const std::string path = at("animation-1000x1000x16.gif");
    ok &= report(path, gif != nullptr && gif->saveToFile(u16(path)));
  }
  {
    auto setting = obtainOwned<ico::EncodeSetting>();
    for (std::int32_t size : {16, 32, 48, 256})
      setting->sizes.add(size);
    for (std::int32_t depth : {8, 32})
      setting->bitDepths.add(depth);
    auto square = photoLike(256, 256, 11);
    auto icon = own(square == nullptr ? nullptr : setting->createFromImage(square.get()));
    const std::string path = at("icon-16-to-256.ico");
    ok &= report(path, icon != nullptr && icon->saveToFile(u16(path)));
  }
  // Interrupted downloads: the headers promise the whole picture, the data
  // stops after a few kilobytes.
  for (const char* name : {"photo-4000x3000.jpg", "photo-4000x3000.png", "photo-4000x3000-24.bmp",
                           "animation-1000x1000x16.gif"}) {
    const std::string path = at((std::string("cut-4k-") + name).c_str());
    ok &= report(path, copyStart(at(name), path, 4096));
  }
  return ok ? 0 : 1;
}

void usage() {
  std::fprintf(stderr,
               "usage: decode_peak FILE...   peak memory of decoding each file\n"
               "       decode_peak --make DIR   write large pictures to measure into DIR\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && std::string_view(argv[1]) == "--make") {
    if (argc != 3) {
      usage();
      return 2;
    }
    return makeSamples(argv[2]);
  }
  if (argc < 2 || argv[1][0] == '-') {
    usage();
    return 2;
  }
  return measureFiles(argc - 1, argv + 1);
}

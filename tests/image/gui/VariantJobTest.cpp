#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "s/file/win/FileOutputStream.h"
#include "s/file/win/PathWin.h"
#include "s/image/FormatDetection.h"
#include "s/image/IEncodedImage.h"
#include "s/image/gui/dialogs/tintery/HSVSetting.h"
#include "s/image/gui/dialogs/tintery/VariantJob.h"
#include "s/image/win/BufferedImage.h"
#include "s/image/win/BufferedImageSet.h"
#include "s/str/Utf.h"
#include "tests/file/TempFolder.h"
#include "tests/support/BmpFixture.h"
#include "tests/support/PlainHsv.h"

namespace {

using tintery_test::listFolder;

using s::file::win::FileOutputStream;
using s::file::win::PathWin;
using s::image::gui::dialogs::tintery::Brightness;
using s::image::gui::dialogs::tintery::computeShifts;
using s::image::gui::dialogs::tintery::HSVSetting;
using s::image::gui::dialogs::tintery::Hue;
using s::image::gui::dialogs::tintery::IVariantJobListener;
using s::image::gui::dialogs::tintery::Saturation;
using s::image::gui::dialogs::tintery::SkipReason;
using s::image::gui::dialogs::tintery::VariantFailure;
using s::image::gui::dialogs::tintery::VariantJob;
using s::thread::obtainOwned;
using s::thread::own;
using s::thread::Owned;
using tintery_test::Rgb;
using tintery_test::TempFolder;

std::string u8(std::u16string_view text) {
  return s::str::utf16ToUtf8(text);
}

bool exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

// Writes every call of the job as one line, with the test's folder shown as
// "~", so that whole runs compare as lists.
class RecordingListener : public IVariantJobListener {
 public:
  explicit RecordingListener(std::string folder) : folder_(std::move(folder)) {}

  void onStatus(std::u16string_view name, std::int32_t first, std::int32_t second,
                std::u16string_view text) override {
    std::string line = u8(name) + " " + std::to_string(first) + " " + std::to_string(second);
    if (!text.empty()) line += " " + u8(text);
    add(line);
    ++statusCount;
    if (onUpdate && name == u"ProcessStatusUpdate") onUpdate(statusCount);
  }
  void onFileSkipped(std::u16string_view path, SkipReason reason,
                     std::string_view detail) override {
    std::string line = "skipped " + u8(path) + ": " + std::string(describe(reason));
    if (!detail.empty()) line += ": " + std::string(detail);
    add(line);
  }
  void onFileWarning(std::u16string_view path, std::string_view problem) override {
    add("warning " + u8(path) + ": " + std::string(problem));
  }
  void onFolderCreated(std::u16string_view folder) override {
    add("folder " + u8(folder));
    if (onFolder) onFolder();
  }
  void onVariantFailed(std::u16string_view path, VariantFailure failure) override {
    add("failed " + u8(path) + ": " + std::string(describe(failure)));
  }
  void onFileDone(std::u16string_view path, std::u16string_view folder, std::int32_t written,
                  std::int32_t failed) override {
    add("done " + u8(path) + " in " + u8(folder) + " " + std::to_string(written) + "/" +
        std::to_string(failed));
  }

  std::vector<std::string> log;
  int statusCount = 0;
  std::function<void(int)> onUpdate;
  std::function<void()> onFolder;

 private:
  void add(const std::string& line) {
    std::string shown;
    std::size_t from = 0;
    for (std::size_t at = line.find(folder_); at != std::string::npos;
         at = line.find(folder_, from)) {
      shown.append(line, from, at - from).push_back('~');
      from = at + folder_.size();
    }
    shown.append(line, from);
    log.push_back(std::move(shown));
  }

  std::string folder_;
};

// The pixels of the first picture of an image file, as the program decodes
// it: 4 bytes per pixel (blue, green, red, alpha), top row first.
struct Decoded {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> pixels;
};

Decoded decodeFile(const std::string& path) {
  Decoded result;
  auto file = obtainOwned<PathWin>();
  file->setPathUtf8(path);
  auto codec = own(s::image::openEncodedImage(*file));
  if (codec == nullptr) return result;
  auto set = own(codec->decode(0));
  if (set == nullptr || set->getCount() == 0) return result;
  s::image::win::BufferedImage* image = set->get(0);
  result.width = image->getWidth();
  result.height = image->getHeight();
  for (std::int32_t y = 0; y < result.height; ++y) {
    const std::uint8_t* row = image->getRow(y);
    result.pixels.insert(result.pixels.end(), row, row + result.width * 4);
  }
  return result;
}

class VariantJobOnFiles : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(temp.path().empty()); }

  void writePicture(const std::string& name, std::int32_t width = 8, std::int32_t height = 6) {
    ASSERT_TRUE(
        tintery_test::writeBytes(temp.at(name), tintery_test::bmp24Quadrants(width, height)));
  }

  // A setting of `count` variants; the limited range when percent > 0.
  static Owned<HSVSetting> settingOf(std::int32_t mode, std::int32_t count, std::int32_t percent) {
    auto setting = obtainOwned<HSVSetting>();
    setting->mode = mode;
    setting->numOfSamples = count;
    setting->inMaximumRange = percent <= 0;
    setting->percent = percent;
    computeShifts(*setting);
    return setting;
  }

  std::vector<std::u16string> queueOf(const std::vector<std::string>& names) {
    std::vector<std::u16string> queue;
    for (const std::string& name : names)
      queue.push_back(temp.at16(name));
    return queue;
  }

  std::vector<std::string> run(const HSVSetting& setting, const std::vector<std::string>& names) {
    RecordingListener listener(temp.path());
    VariantJob job(setting, listener);
    job.run(queueOf(names));
    return listener.log;
  }

  TempFolder temp;
};

TEST_F(VariantJobOnFiles, WritesTheDefaultHueVariantsAndReportsEachStep) {
  writePicture("photo.bmp");
  const auto setting = settingOf(Hue, 10, 0);
  const std::vector<std::string> log = run(*setting, {"photo.bmp"});

  std::vector<std::string> expected{"ProcessStatusStart 0 0", "folder ~/photo.bmp (Hue)"};
  for (int j = 0; j < 10; ++j)
    expected.push_back("ProcessStatusUpdate 10 " + std::to_string(j) + " photo.bmp");
  expected.push_back("done ~/photo.bmp in ~/photo.bmp (Hue) 10/0");
  expected.push_back("ProcessStatusEnd 0 0");
  EXPECT_EQ(log, expected);

  EXPECT_EQ(
      listFolder(temp.at("photo.bmp (Hue)")),
      (std::vector<std::string>{"photo (H +27%).bmp", "photo (H +45%).bmp", "photo (H +63%).bmp",
                                "photo (H +81%).bmp", "photo (H +9%).bmp", "photo (H -10%).bmp",
                                "photo (H -28%).bmp", "photo (H -46%).bmp", "photo (H -64%).bmp",
                                "photo (H -82%).bmp"}));

  // A second run leaves the first folder alone and numbers its own.
  run(*setting, {"photo.bmp"});
  EXPECT_EQ(listFolder(temp.at("photo.bmp (Hue) (1)")).size(), 10u);
  EXPECT_EQ(listFolder(temp.at("photo.bmp (Hue)")).size(), 10u);
}

struct PixelCase {
  std::int32_t mode;
  std::int32_t percent;  // 0: the whole range
  const char* file;      // inside "photo.bmp (<mode>)"
  int dh;
  int ds;
  int dv;
};

TEST_F(VariantJobOnFiles, EachVariantCarriesOnlyItsOwnShift) {
  // Filters of earlier variants must not stay attached, and each file must
  // get the shift its name states, on the right channel.
  const PixelCase cases[] = {
      {Hue, 0, "photo.bmp (Hue)/photo (H -82%).bmp", -147, 0, 0},
      {Hue, 0, "photo.bmp (Hue)/photo (H +9%).bmp", 16, 0, 0},
      {Hue, 0, "photo.bmp (Hue)/photo (H +81%).bmp", 145, 0, 0},
      {Saturation, 70, "photo.bmp (Saturation)/photo (S -70%).bmp", 0, -70, 0},
      {Saturation, 70, "photo.bmp (Saturation)/photo (S +54%).bmp", 0, 54, 0},
      {Brightness, 0, "photo.bmp (Brightness)/photo (B -100%).bmp", 0, 0, -100},
      {Brightness, 0, "photo.bmp (Brightness)/photo (B +33%).bmp", 0, 0, 33},
  };
  writePicture("photo.bmp", 9, 5);
  const Decoded source = decodeFile(temp.at("photo.bmp"));
  ASSERT_EQ(source.width, 9);
  for (std::int32_t mode : {Hue, Saturation, Brightness}) {
    run(*settingOf(mode, 10, mode == Saturation ? 70 : 0), {"photo.bmp"});
  }
  for (const PixelCase& c : cases) {
    const std::string path = temp.at(c.file);
    const Decoded variant = decodeFile(path);
    ASSERT_EQ(variant.width, source.width) << c.file;
    ASSERT_EQ(variant.height, source.height) << c.file;
    std::vector<std::uint8_t> expected = source.pixels;
    for (std::size_t i = 0; i < expected.size(); i += 4)
      tintery::test::plainHsvPixel(&expected[i], c.dh, c.ds, c.dv);
    EXPECT_EQ(variant.pixels, expected) << c.file;
    // A 24-bit source gives 24-bit variants.
    EXPECT_EQ(tintery_test::readRaw(path)[28], 24) << c.file;
  }
}

TEST_F(VariantJobOnFiles, ProgressCountsEveryQueuedFile) {
  writePicture("a.bmp");
  writePicture("b.bmp");
  const auto setting = settingOf(Saturation, 3, 70);
  EXPECT_EQ(run(*setting, {"a.bmp", "missing.bmp", "b.bmp"}),
            (std::vector<std::string>{
                "ProcessStatusStart 0 0",
                "folder ~/a.bmp (Saturation)",
                "ProcessStatusUpdate 9 0 a.bmp",
                "ProcessStatusUpdate 9 1 a.bmp",
                "ProcessStatusUpdate 9 2 a.bmp",
                "done ~/a.bmp in ~/a.bmp (Saturation) 3/0",
                // A skipped file sends no update; the numbers jump past it.
                "skipped ~/missing.bmp: not found",
                "folder ~/b.bmp (Saturation)",
                "ProcessStatusUpdate 9 6 b.bmp",
                "ProcessStatusUpdate 9 7 b.bmp",
                "ProcessStatusUpdate 9 8 b.bmp",
                "done ~/b.bmp in ~/b.bmp (Saturation) 3/0",
                "ProcessStatusEnd 0 0",
            }));
  EXPECT_EQ(listFolder(temp.at("a.bmp (Saturation)")),
            (std::vector<std::string>{"a (S +0%).bmp", "a (S +70%).bmp", "a (S -70%).bmp"}));
}

TEST_F(VariantJobOnFiles, KeepsTheExtensionAsSpelledAndLetsTheContentDecide) {
  writePicture("PHOTO.BMP");
  writePicture("disguised.png");  // BMP data under a PNG name
  const auto setting = settingOf(Brightness, 2, 30);
  run(*setting, {"PHOTO.BMP", "disguised.png"});
  EXPECT_EQ(listFolder(temp.at("PHOTO.BMP (Brightness)")),
            (std::vector<std::string>{"PHOTO (B +30%).BMP", "PHOTO (B -30%).BMP"}));
  const std::string variant = temp.at("disguised.png (Brightness)/disguised (B -30%).png");
  EXPECT_EQ(tintery_test::readRaw(variant).substr(0, 2), "BM");
  EXPECT_EQ(decodeFile(variant).width, 8);
}

struct SkipCase {
  const char* name;
  std::string content;  // empty: nothing is written (or a folder, see below)
  bool folder;
  const char* outcome;
};

TEST_F(VariantJobOnFiles, SkipsFilesItCannotUseWithoutLeavingAFolder) {
  const std::string picture = tintery_test::bmp24Quadrants(8, 6);
  std::string tiff = "II*";
  tiff.append(200, '\0');
  std::string badPlanes = picture;
  badPlanes[26] = 2;  // biPlanes
  std::string tooLarge = picture;
  // biWidth = 0x011170 = 70000, wider than any picture the readers accept.
  tooLarge[18] = 0x70;
  tooLarge[19] = 0x11;
  tooLarge[20] = 0x01;
  // 4 x 2 pixels at 24 bits: 78 bytes, too short to be recognised.
  const std::string tiny = tintery_test::bmp24Solid(4, 2, Rgb{1, 2, 3});

  const SkipCase cases[] = {
      {"missing.bmp", "", false, "not found"},
      {"dir.bmp", "", true, "is a folder"},
      {"picture.tif", picture, false, "unsupported extension (use .bmp .gif .jpg .jpeg .png .ico)"},
      {"picture", picture, false, "unsupported extension (use .bmp .gif .jpg .jpeg .png .ico)"},
      {".bmp", picture, false, "unsupported extension (use .bmp .gif .jpg .jpeg .png .ico)"},
      {"notes.gif", std::string(300, 'x'), false, "not a recognised image"},
      {"tiny.bmp", tiny, false, "not a recognised image"},
      {"scan.jpg", tiff, false, "TIFF is not supported"},
      {"planes.bmp", badPlanes, false, "damaged: damaged header (plane count is not 1)"},
      {"huge.bmp", tooLarge, false, "image too large"},
  };
  const auto setting = settingOf(Hue, 10, 0);
  for (const SkipCase& c : cases) {
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    const std::string path = folder.at(c.name);
    if (c.folder) {
      ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
    }
    if (!c.content.empty()) {
      ASSERT_TRUE(tintery_test::writeBytes(path, c.content));
    }
    const std::vector<std::string> before = listFolder(folder.path());

    RecordingListener listener(folder.path());
    VariantJob job(*setting, listener);
    job.run({folder.at16(c.name)});
    EXPECT_EQ(listener.log, (std::vector<std::string>{
                                "ProcessStatusStart 0 0",
                                "skipped ~/" + std::string(c.name) + ": " + c.outcome,
                                "ProcessStatusEnd 0 0",
                            }))
        << c.name;
    EXPECT_EQ(listFolder(folder.path()), before) << c.name;
  }
}

TEST_F(VariantJobOnFiles, ConvertsWhatCouldBeReadOfATruncatedFile) {
  std::string picture = tintery_test::bmp24Quadrants(16, 16);
  picture.resize(54 + 100);  // the header and the bottom rows only
  ASSERT_TRUE(tintery_test::writeBytes(temp.at("cut.bmp"), picture));
  const std::vector<std::string> log = run(*settingOf(Saturation, 2, 50), {"cut.bmp"});
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[1], "warning ~/cut.bmp: truncated pixel data");
  EXPECT_EQ(log[log.size() - 2], "done ~/cut.bmp in ~/cut.bmp (Saturation) 2/0");
  EXPECT_EQ(decodeFile(temp.at("cut.bmp (Saturation)/cut (S +50%).bmp")).width, 16);
}

TEST(VariantJobWorkers, SeveralWorkersWriteTheSameFilesWithTheSameEvents) {
  // One file of every format, animations and icons with several entries
  // among them; each run in a folder of its own.
  const std::string data = TINTERY_TEST_DATA;
  const std::vector<std::pair<std::string, std::string>> sources = {
      {"a.bmp", tintery_test::bmp24Quadrants(9, 7)},
      {"b.gif", tintery_test::readRaw(data + "/gif/dispose_prev.gif")},
      {"c.ico", tintery_test::readRaw(data + "/ico/pillow.ico")},
      {"d.jpg", tintery_test::readRaw(data + "/jpeg/wild/hopper.jpg")},
      {"e.png", tintery_test::readRaw(data + "/png/wild/pil123p.png")},
  };
  struct Run {
    std::vector<std::string> log;
    std::map<std::string, std::string> files;  // path below the folder -> bytes
  };
  const auto runWith = [&](std::int32_t workers) {
    TempFolder folder;
    std::vector<std::u16string> queue;
    for (const auto& [name, bytes] : sources) {
      EXPECT_FALSE(bytes.empty()) << name;
      EXPECT_TRUE(tintery_test::writeBytes(folder.at(name), bytes));
      queue.push_back(folder.at16(name));
    }
    auto setting = obtainOwned<HSVSetting>();
    setting->mode = Hue;
    setting->numOfSamples = 6;
    setting->inMaximumRange = true;
    computeShifts(*setting);
    RecordingListener listener(folder.path());
    VariantJob job(*setting, listener);
    job.setWorkerCount(workers);
    EXPECT_EQ(job.getWorkerCount(), workers);
    job.run(queue);
    Run run{listener.log, {}};
    for (const std::string& entry : listFolder(folder.path())) {
      for (const std::string& file : listFolder(folder.at(entry)))
        run.files[entry + "/" + file] = tintery_test::readRaw(folder.at(entry + "/" + file));
    }
    return run;
  };
  const Run one = runWith(1);
  EXPECT_EQ(one.files.size(), 5u * 6u);
  for (const std::int32_t workers : {2, 3}) {
    const Run several = runWith(workers);
    EXPECT_EQ(several.log, one.log) << workers;
    EXPECT_TRUE(several.files == one.files) << workers;
  }
}

TEST_F(VariantJobOnFiles, StopsAfterTheVariantBeingWrittenWhenCancelled) {
  writePicture("a.bmp");
  writePicture("b.bmp");
  const auto setting = settingOf(Hue, 10, 0);
  RecordingListener listener(temp.path());
  VariantJob job(*setting, listener);
  // Cancelled while the third variant is announced: it is still written.
  listener.onUpdate = [&job](int status) {
    if (status == 4) job.cancel();
  };
  job.run(queueOf({"a.bmp", "b.bmp"}));
  EXPECT_EQ(listener.log, (std::vector<std::string>{
                              "ProcessStatusStart 0 0",
                              "folder ~/a.bmp (Hue)",
                              "ProcessStatusUpdate 20 0 a.bmp",
                              "ProcessStatusUpdate 20 1 a.bmp",
                              "ProcessStatusUpdate 20 2 a.bmp",
                              "done ~/a.bmp in ~/a.bmp (Hue) 3/0",
                              "ProcessStatusEnd 0 0",
                          }));
  EXPECT_EQ(listFolder(temp.at("a.bmp (Hue)")),
            (std::vector<std::string>{"a (H -46%).bmp", "a (H -64%).bmp", "a (H -82%).bmp"}));
  EXPECT_FALSE(exists(temp.at("b.bmp (Hue)")));
}

TEST_F(VariantJobOnFiles, CancelBeforeAnyVariantLeavesNothingBehind) {
  writePicture("a.bmp");
  const auto setting = settingOf(Hue, 10, 0);
  RecordingListener listener(temp.path());
  VariantJob job(*setting, listener);
  listener.onFolder = [&job] { job.cancel(); };
  job.run(queueOf({"a.bmp"}));
  EXPECT_EQ(listener.log, (std::vector<std::string>{
                              "ProcessStatusStart 0 0",
                              "folder ~/a.bmp (Hue)",
                              "done ~/a.bmp in ~/a.bmp (Hue) 0/0",
                              "ProcessStatusEnd 0 0",
                          }));
  EXPECT_FALSE(exists(temp.at("a.bmp (Hue)")));

  // Cancelled before the run: only the two framing events.
  listener.log.clear();
  listener.onFolder = nullptr;
  job.run(queueOf({"a.bmp"}));
  EXPECT_EQ(listener.log,
            (std::vector<std::string>{"ProcessStatusStart 0 0", "ProcessStatusEnd 0 0"}));
  job.resetCancel();
  job.run(queueOf({"a.bmp"}));
  EXPECT_EQ(listFolder(temp.at("a.bmp (Hue)")).size(), 10u);
}

// A new-file stream on a real folder that takes only `accept` bytes, or
// whose commit fails, standing in for a full disk; or that finds its name
// taken by another program when it commits.
class FailingStream final
    : public s::thread::PooledObject<FailingStream, s::file::IFileOutputStream> {
 public:
  static constexpr s::base::ClassTagText CLASS_TAG = u"tests_image_gui_FailingStream";

  FailingStream() { clear(); }
  void clear() override {
    file_.reset();
    accept_ = SIZE_MAX;
    taken_ = 0;
    failCommit_ = false;
    squatter_.clear();
  }
  void wrap(FileOutputStream* file, std::size_t accept, bool failCommit, std::string squatter) {
    file_ = own(file);
    accept_ = accept;
    failCommit_ = failCommit;
    squatter_ = std::move(squatter);
  }

  bool open(std::u16string_view, bool) override { return false; }
  bool open(const s::file::IPath&, bool) override { return false; }
  bool openNew(const s::file::IPath&) override { return false; }
  bool commit() override {
    if (file_ == nullptr) return false;
    if (!squatter_.empty()) tintery_test::writeRaw(squatter_, "mine");
    if (failCommit_) return file_->close() && false;
    return file_->commit();
  }
  bool setEnd() override { return isOpen() && file_->setEnd(); }
  std::uint64_t getSystemWriteCount() const override {
    return file_ != nullptr ? file_->getSystemWriteCount() : 0;
  }
  bool write(const void* bytes, std::size_t count, std::size_t* written) override {
    if (written != nullptr) *written = 0;
    if (!isOpen()) return false;
    const std::size_t room = accept_ - taken_;
    const std::size_t part = std::min(count, room);
    std::size_t done = 0;
    const bool ok = file_->write(bytes, part, &done);
    taken_ += done;
    if (written != nullptr) *written = done;
    return ok && part == count;
  }
  bool flush() override { return isOpen() && file_->flush(); }
  bool seekToStart() override { return isOpen() && file_->seekToStart(); }
  bool seekToEnd() override { return isOpen() && file_->seekToEnd(); }
  bool seekTo(std::int64_t position) override { return isOpen() && file_->seekTo(position); }
  bool seekForward(std::int64_t count) override { return isOpen() && file_->seekForward(count); }
  bool seekBackward(std::int64_t count) override { return isOpen() && file_->seekBackward(count); }
  std::int64_t getPosition() const override { return isOpen() ? file_->getPosition() : 0; }
  bool isOpen() const override { return file_ != nullptr && file_->isOpen(); }
  bool close() override { return file_ != nullptr && file_->close(); }

 private:
  Owned<FileOutputStream> file_;
  std::size_t accept_ = SIZE_MAX;
  std::size_t taken_ = 0;
  bool failCommit_ = false;
  std::string squatter_;
};

enum class Fault { None, NoStream, ShortWrite, FailedCommit, NameTaken };

// A job whose variant files named with `victim` fail in the way given.
class FaultyJob : public VariantJob {
 public:
  FaultyJob(const HSVSetting& setting, IVariantJobListener& listener, std::string victim,
            Fault fault)
      : VariantJob(setting, listener), victim_(std::move(victim)), fault_(fault) {}

 protected:
  s::file::IFileOutputStream* openOutput(s::file::IPath& variant) override {
    const std::string path = u8(variant.getFullPath());
    if (path.find(victim_) == std::string::npos) return VariantJob::openOutput(variant);
    if (fault_ == Fault::NoStream) return nullptr;
    FailingStream* stream = FailingStream::obtain();
    // The real stream receives the first bytes, as on a disk that fills up
    // during the write.
    auto* file = FileOutputStream::obtain();
    file->openNew(variant);
    stream->wrap(file, fault_ == Fault::ShortWrite ? 20 : SIZE_MAX, fault_ == Fault::FailedCommit,
                 fault_ == Fault::NameTaken ? path : "");
    return stream;
  }

 private:
  std::string victim_;
  Fault fault_;
};

struct FaultCase {
  Fault fault;
  const char* outcome;
};

TEST_F(VariantJobOnFiles, ReportsAVariantThatCannotBeWrittenAndLeavesNothingOfIt) {
  const FaultCase cases[] = {
      {Fault::NoStream, "cannot create the file"},
      {Fault::ShortWrite, "cannot write the file"},
      {Fault::FailedCommit, "cannot write the file"},
      {Fault::NameTaken, "a file of that name already exists"},
  };
  const auto setting = settingOf(Saturation, 3, 70);
  for (const FaultCase& c : cases) {
    TempFolder folder;
    ASSERT_FALSE(folder.path().empty());
    ASSERT_TRUE(tintery_test::writeBytes(folder.at("a.bmp"), tintery_test::bmp24Quadrants(8, 6)));
    RecordingListener listener(folder.path());
    FaultyJob job(*setting, listener, "(S +70%)", c.fault);
    job.run({folder.at16("a.bmp")});
    EXPECT_EQ(listener.log,
              (std::vector<std::string>{
                  "ProcessStatusStart 0 0",
                  "folder ~/a.bmp (Saturation)",
                  "ProcessStatusUpdate 3 0 a.bmp",
                  "ProcessStatusUpdate 3 1 a.bmp",
                  "failed ~/a.bmp (Saturation)/a (S +70%).bmp: " + std::string(c.outcome),
                  "ProcessStatusUpdate 3 2 a.bmp",
                  "done ~/a.bmp in ~/a.bmp (Saturation) 2/1",
                  "ProcessStatusEnd 0 0",
              }))
        << c.outcome;
    // Nothing of the failed variant is on disk (no partial file, hidden or
    // not); the others are complete pictures. A file that took the name
    // first is left as it was.
    const std::string variants = folder.at("a.bmp (Saturation)");
    std::vector<std::string> expected = {"a (S +0%).bmp", "a (S -70%).bmp"};
    if (c.fault == Fault::NameTaken) expected.insert(expected.begin() + 1, "a (S +70%).bmp");
    EXPECT_EQ(listFolder(variants), expected) << c.outcome;
    EXPECT_EQ(decodeFile(variants + "/a (S +0%).bmp").width, 8);
    if (c.fault == Fault::NameTaken) {
      EXPECT_EQ(tintery_test::readRaw(variants + "/a (S +70%).bmp"), "mine");
    }
  }
}

TEST_F(VariantJobOnFiles, AFolderThatCannotBeCreatedSkipsTheFile) {
  // The source lies in a folder the job may read but not write. Root may
  // write anywhere, so the job runs in a child process as an ordinary user
  // and sends its log back through a pipe.
  writePicture("a.bmp");
  ASSERT_EQ(::chmod(temp.path().c_str(), 0555), 0);
  ASSERT_EQ(::chmod(temp.at("a.bmp").c_str(), 0444), 0);
  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(pipeEnds[0]);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
    const auto setting = settingOf(Hue, 3, 0);
    RecordingListener listener(temp.path());
    VariantJob job(*setting, listener);
    job.run(queueOf({"a.bmp"}));
    std::string text;
    for (const std::string& line : listener.log)
      text += line + "\n";
    const bool sent =
        ::write(pipeEnds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::_exit(sent ? 0 : 3);
  }
  ::close(pipeEnds[1]);
  std::string text;
  char buffer[256];
  for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(got));
  ::close(pipeEnds[0]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ::chmod(temp.path().c_str(), 0700);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(text,
            "ProcessStatusStart 0 0\n"
            "skipped ~/a.bmp: cannot create the variant folder\n"
            "ProcessStatusEnd 0 0\n");
  EXPECT_EQ(listFolder(temp.path()), (std::vector<std::string>{"a.bmp"}));
}

TEST_F(VariantJobOnFiles, RemovesTheFolderWhenNoVariantCouldBeWritten) {
  writePicture("a.bmp");
  const auto setting = settingOf(Saturation, 3, 70);
  RecordingListener listener(temp.path());
  FaultyJob job(*setting, listener, "(S ", Fault::ShortWrite);
  job.run(queueOf({"a.bmp"}));
  ASSERT_GE(listener.log.size(), 2u);
  EXPECT_EQ(listener.log[listener.log.size() - 2], "done ~/a.bmp in ~/a.bmp (Saturation) 0/3");
  EXPECT_EQ(listener.log.back(), "ProcessStatusEnd 0 0");
  EXPECT_EQ(listFolder(temp.path()), (std::vector<std::string>{"a.bmp"}));
}

TEST(VariantJob, AcceptsTheImageExtensionsInAnyCase) {
  struct Case {
    const char* path;
    bool accepted;
  };
  const Case cases[] = {
      {"/p/a.bmp", true},   {"/p/a.GIF", true},      {"/p/a.Jpg", true},  {"/p/a.jpeg", true},
      {"/p/a.PNG", true},   {"/p/a.ico", true},      {"/p/a.tif", false}, {"/p/a.tiff", false},
      {"/p/a.jpe", false},  {"/p/a.bmp.txt", false}, {"/p/a", false},     {"/p/.png", false},
      {"/p/a.pngx", false}, {"/p/a.png ", false},
  };
  for (const Case& c : cases) {
    auto path = obtainOwned<PathWin>();
    path->setPathUtf8(c.path);
    EXPECT_EQ(s::image::gui::dialogs::tintery::hasSupportedExtension(*path), c.accepted) << c.path;
  }
}

}  // namespace

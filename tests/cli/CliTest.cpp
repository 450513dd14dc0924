#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cli/Cli.h"
#include "cli/Options.h"
#include "s/image/gui/dialogs/tintery/HSVSetting.h"
#include "tests/file/TempFolder.h"
#include "tests/support/BmpFixture.h"

namespace {

using tintery_test::listFolder;

using s::image::gui::dialogs::tintery::Brightness;
using s::image::gui::dialogs::tintery::HSVSetting;
using s::image::gui::dialogs::tintery::Hue;
using s::image::gui::dialogs::tintery::Saturation;
using tintery::cli::applyOptions;
using tintery::cli::Options;
using tintery::cli::parseArguments;
using tintery::cli::ParseResult;
using tintery::cli::Range;
using tintery_test::TempFolder;

ParseResult parse(std::vector<std::string_view> arguments) {
  return parseArguments(arguments);
}

// --- Option parsing -------------------------------------------------------

struct AcceptedCase {
  std::vector<std::string_view> arguments;
  std::int32_t mode;
  std::int32_t variants;
  Range range;
  std::int32_t percent;  // meaningful for Range::Limited
  bool quiet;
  std::vector<std::string> files;
};

TEST(CliOptions, AcceptsShortLongAndAttachedForms) {
  const AcceptedCase cases[] = {
      {{"a.png"}, Hue, 10, Range::Default, 0, false, {"a.png"}},
      {{"-c", "saturation", "a.png", "b.jpg"},
       Saturation,
       10,
       Range::Default,
       0,
       false,
       {"a.png", "b.jpg"}},
      {{"--convert-to=Brightness", "a.png"}, Brightness, 10, Range::Default, 0, false, {"a.png"}},
      {{"--convert-to", "HUE", "a.png"}, Hue, 10, Range::Default, 0, false, {"a.png"}},
      {{"-csaturation", "a.png"}, Saturation, 10, Range::Default, 0, false, {"a.png"}},
      {{"-n", "3", "a.png"}, Hue, 3, Range::Default, 0, false, {"a.png"}},
      {{"-n7", "a.png"}, Hue, 7, Range::Default, 0, false, {"a.png"}},
      {{"--variants=1000", "a.png"}, Hue, 1000, Range::Default, 0, false, {"a.png"}},
      {{"--variants", "+1", "a.png"}, Hue, 1, Range::Default, 0, false, {"a.png"}},
      {{"--max-range", "-c", "brightness", "a.png"},
       Brightness,
       10,
       Range::Maximum,
       0,
       false,
       {"a.png"}},
      {{"--limited", "25", "a.png"}, Hue, 10, Range::Limited, 25, false, {"a.png"}},
      {{"--limited=100000", "a.png"}, Hue, 10, Range::Limited, 100000, false, {"a.png"}},
      // The later of two range options wins.
      {{"--limited=5", "--max-range", "a.png"}, Hue, 10, Range::Maximum, 0, false, {"a.png"}},
      {{"--max-range", "--limited=5", "a.png"}, Hue, 10, Range::Limited, 5, false, {"a.png"}},
      // Flags cluster, and a value may end a cluster.
      {{"-qn", "4", "a.png"}, Hue, 4, Range::Default, 0, true, {"a.png"}},
      {{"-qn4", "a.png"}, Hue, 4, Range::Default, 0, true, {"a.png"}},
      {{"a.png", "--quiet", "b.png"}, Hue, 10, Range::Default, 0, true, {"a.png", "b.png"}},
      // After "--" everything is a file; a lone "-" is a file too.
      {{"--", "-n", "--help"}, Hue, 10, Range::Default, 0, false, {"-n", "--help"}},
      {{"-"}, Hue, 10, Range::Default, 0, false, {"-"}},
      {{"Farbtöne ü.bmp"}, Hue, 10, Range::Default, 0, false, {"Farbtöne ü.bmp"}},
  };
  for (const AcceptedCase& c : cases) {
    const ParseResult result = parse(c.arguments);
    const std::string where = std::string(c.arguments.front()) + " ...";
    ASSERT_TRUE(result.ok()) << where << ": " << result.error;
    const Options& o = result.options;
    EXPECT_EQ(o.mode, c.mode) << where;
    EXPECT_EQ(o.variants, c.variants) << where;
    EXPECT_EQ(o.range, c.range) << where;
    if (c.range == Range::Limited) {
      EXPECT_EQ(o.limitedPercent, c.percent) << where;
    }
    EXPECT_EQ(o.quiet, c.quiet) << where;
    EXPECT_FALSE(o.help) << where;
    EXPECT_FALSE(o.version) << where;
    EXPECT_EQ(o.files, c.files) << where;
  }
}

TEST(CliOptions, JobsDefaultToOnePerCore) {
  const std::pair<std::vector<std::string_view>, std::int32_t> cases[] = {
      {{"a.png"}, 0},
      {{"-j", "1", "a.png"}, 1},
      {{"-qj3", "a.png"}, 3},
      {{"--jobs=256", "a.png"}, 256},
  };
  for (const auto& [arguments, jobs] : cases) {
    const ParseResult result = parse(arguments);
    ASSERT_TRUE(result.ok()) << result.error;
    EXPECT_EQ(result.options.jobs, jobs) << arguments[0];
  }
}

struct RejectedCase {
  std::vector<std::string_view> arguments;
  const char* message;  // a part of the error text
};

TEST(CliOptions, RejectsUsageErrorsWithAClearMessage) {
  const RejectedCase cases[] = {
      {{}, "no input files"},
      {{"-q"}, "no input files"},
      {{"--bogus", "a.png"}, "unknown option '--bogus'"},
      {{"-x", "a.png"}, "unknown option '-x'"},
      {{"-qz", "a.png"}, "unknown option '-z'"},
      {{"-c", "value", "a.png"}, "'value' is not one of hue, saturation, brightness"},
      {{"-c", "a.png"}, "'a.png' is not one of"},
      {{"--convert-to"}, "'--convert-to' needs a value"},
      {{"a.png", "-n"}, "'-n' needs a value"},
      {{"-n", "ten", "a.png"}, "'ten' is not a whole number"},
      {{"-n", "3.5", "a.png"}, "'3.5' is not a whole number"},
      {{"-n", "", "a.png"}, "'' is not a whole number"},
      {{"--variants= 4", "a.png"}, "' 4' is not a whole number"},
      {{"-n", "0", "a.png"}, "0 is out of range (1 to 1000)"},
      {{"-n", "-3", "a.png"}, "-3 is out of range"},
      {{"--variants=1001", "a.png"}, "1001 is out of range"},
      {{"-n", "99999999999999999999999", "a.png"}, "is out of range"},
      {{"--limited", "0", "a.png"}, "--limited: 0 is out of range (1 to 100000)"},
      {{"-j", "0", "a.png"}, "--jobs: 0 is out of range (1 to 256)"},
      {{"--jobs=257", "a.png"}, "257 is out of range"},
      {{"--limited=100001", "a.png"}, "out of range"},
      {{"--limited=7%", "a.png"}, "'7%' is not a whole number"},
      {{"--max-range=1", "a.png"}, "'--max-range' takes no value"},
      {{"--quiet=yes", "a.png"}, "'--quiet' takes no value"},
  };
  for (const RejectedCase& c : cases) {
    const ParseResult result = parse(c.arguments);
    std::string where;
    for (std::string_view argument : c.arguments)
      where.append(argument).append(" ");
    EXPECT_FALSE(result.ok()) << where;
    EXPECT_NE(result.error.find(c.message), std::string::npos) << where << "gave: " << result.error;
  }
}

TEST(CliOptions, HelpAndVersionEndTheParsing) {
  for (auto arguments : std::vector<std::vector<std::string_view>>{
           {"-h"}, {"--help"}, {"-qh", "--bogus"}, {"a.png", "--help", "-n", "0"}}) {
    const ParseResult result = parse(arguments);
    EXPECT_TRUE(result.ok()) << result.error;
    EXPECT_TRUE(result.options.help);
  }
  const ParseResult version = parse({"--version", "--bogus"});
  EXPECT_TRUE(version.ok()) << version.error;
  EXPECT_TRUE(version.options.version);
  EXPECT_EQ(tintery::cli::versionText(), std::string("tintery-cli ") + TINTERY_VERSION);
}

std::vector<int> shiftsFor(std::vector<std::string_view> arguments) {
  const ParseResult result = parse(arguments);
  EXPECT_TRUE(result.ok()) << result.error;
  auto setting = s::thread::obtainOwned<HSVSetting>();
  applyOptions(result.options, *setting);
  return std::vector<int>(setting->shifts.begin(), setting->shifts.end());
}

TEST(CliOptions, UseTheWindowsFirstStartDefaultsPerChannel) {
  // Hue over the whole range; saturation and brightness within +/-70 %.
  EXPECT_EQ(shiftsFor({"a.png"}), (std::vector<int>{-82, -64, -46, -28, -10, 9, 27, 45, 63, 81}));
  const std::vector<int> limited70{-70, 70, -55, -39, -24, -8, 7, 23, 38, 54};
  EXPECT_EQ(shiftsFor({"-c", "saturation", "a.png"}), limited70);
  EXPECT_EQ(shiftsFor({"-c", "brightness", "a.png"}), limited70);
  EXPECT_EQ(shiftsFor({"-c", "brightness", "--max-range", "a.png"}),
            (std::vector<int>{-100, 100, -78, -56, -34, -12, 11, 33, 55, 77}));
  EXPECT_EQ(shiftsFor({"--limited", "1", "-c", "brightness", "a.png"}),
            (std::vector<int>{-1, 1, 0}));
  EXPECT_EQ(shiftsFor({"-n", "3", "--limited=40", "a.png"}), (std::vector<int>{-40, 40, 0}));
}

// --- The program itself ---------------------------------------------------

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

// Runs tintery-cli in `folder` with `arguments`, standard output and error
// going to files that are read back afterwards.
RunResult runProgram(const std::string& folder, const std::vector<std::string>& arguments,
                     const std::string& scratch) {
  const std::string outPath = scratch + "/stdout";
  const std::string errPath = scratch + "/stderr";
  std::vector<char*> argv;
  std::string program = TINTERY_CLI;
  argv.push_back(program.data());
  std::vector<std::string> copies(arguments);
  for (std::string& argument : copies)
    argv.push_back(argument.data());
  argv.push_back(nullptr);

  RunResult result;
  const pid_t child = ::fork();
  if (child == 0) {
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 ||
        ::chdir(folder.c_str()) != 0) {
      ::_exit(127);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  if (child < 0) return result;
  int status = 0;
  if (::waitpid(child, &status, 0) == child && WIFEXITED(status)) {
    result.status = WEXITSTATUS(status);
  }
  result.out = tintery_test::readRaw(outPath);
  result.err = tintery_test::readRaw(errPath);
  return result;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    result.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return result;
}

class CliProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(work.path().empty());
    ASSERT_FALSE(scratch.path().empty());
  }

  RunResult run(const std::vector<std::string>& arguments) {
    return runProgram(work.path(), arguments, scratch.path());
  }

  void writePicture(const std::string& name) {
    ASSERT_TRUE(tintery_test::writeBytes(work.at(name), tintery_test::bmp24Quadrants(8, 6)));
  }

  TempFolder work;
  TempFolder scratch;
};

TEST_F(CliProgram, ReportsVersionHelpAndUsageErrors) {
  const RunResult version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("tintery-cli ") + TINTERY_VERSION + "\n");

  const RunResult help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: tintery-cli", 0), 0u) << help.out;
  EXPECT_TRUE(help.err.empty());

  for (const auto& arguments : std::vector<std::vector<std::string>>{
           {}, {"--variants=0", "a.bmp"}, {"--frobnicate", "a.bmp"}}) {
    const RunResult usage = run(arguments);
    EXPECT_EQ(usage.status, 2);
    EXPECT_TRUE(usage.out.empty());
    EXPECT_EQ(usage.err.rfind("tintery-cli: ", 0), 0u) << usage.err;
    EXPECT_NE(usage.err.find("Usage: tintery-cli"), std::string::npos);
  }
  EXPECT_TRUE(listFolder(work.path()).empty());
}

TEST_F(CliProgram, ConvertsEveryFileAndListsTheFolders) {
  writePicture("one.bmp");
  writePicture("Farbtöne ü.BMP");
  const RunResult result = run({"-c", "saturation", "-n", "3", "one.bmp", "Farbtöne ü.BMP"});
  EXPECT_EQ(result.status, 0) << result.err;
  // Not a terminal: no progress, and nothing went wrong.
  EXPECT_TRUE(result.err.empty()) << result.err;
  EXPECT_EQ(lines(result.out), (std::vector<std::string>{work.at("one.bmp (Saturation)"),
                                                         work.at("Farbtöne ü.BMP (Saturation)")}));
  EXPECT_EQ(listFolder(work.at("one.bmp (Saturation)")),
            (std::vector<std::string>{"one (S +0%).bmp", "one (S +70%).bmp", "one (S -70%).bmp"}));
  EXPECT_EQ(listFolder(work.at("Farbtöne ü.BMP (Saturation)")),
            (std::vector<std::string>{"Farbtöne ü (S +0%).BMP", "Farbtöne ü (S +70%).BMP",
                                      "Farbtöne ü (S -70%).BMP"}));

  // A second run numbers its folder.
  const RunResult again = run({"-q", "--convert-to=saturation", "-n3", "one.bmp"});
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(lines(again.out), (std::vector<std::string>{work.at("one.bmp (Saturation) (1)")}));
}

TEST_F(CliProgram, NamesEverySkippedFileAndExitsWithOne) {
  writePicture("good.bmp");
  ASSERT_TRUE(tintery_test::writeBytes(work.at("notes.txt"), std::string(200, 'n')));
  ASSERT_TRUE(tintery_test::writeBytes(work.at("text.png"), std::string(200, 't')));
  ASSERT_EQ(::mkdir(work.at("dir.bmp").c_str(), 0755), 0);
  std::string damaged = tintery_test::bmp24Quadrants(8, 6);
  damaged[26] = 3;  // biPlanes must be 1
  ASSERT_TRUE(tintery_test::writeBytes(work.at("damaged.bmp"), damaged));
  const RunResult result = run(
      {"missing.bmp", "notes.txt", "good.bmp", "text.png", "dir.bmp", "-n", "2", "damaged.bmp"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(lines(result.out), (std::vector<std::string>{work.at("good.bmp (Hue)")}));
  EXPECT_EQ(lines(result.err), (std::vector<std::string>{
                                   "tintery-cli: missing.bmp: not found",
                                   "tintery-cli: notes.txt: unsupported extension (use .bmp "
                                   ".gif .jpg .jpeg .png .ico)",
                                   "tintery-cli: text.png: not a recognised image",
                                   "tintery-cli: dir.bmp: is a folder",
                                   "tintery-cli: damaged.bmp: damaged: damaged header (plane "
                                   "count is not 1)",
                               }));
  // Only the good file got a folder.
  EXPECT_EQ(listFolder(work.path()),
            (std::vector<std::string>{"damaged.bmp", "dir.bmp", "good.bmp", "good.bmp (Hue)",
                                      "notes.txt", "text.png"}));
  EXPECT_EQ(listFolder(work.at("good.bmp (Hue)")),
            (std::vector<std::string>{"good (H +33%).bmp", "good (H -34%).bmp"}));
}

TEST_F(CliProgram, LetsTheContentChooseTheCodec) {
  // BMP data under a JPEG name: read and written as BMP, named .jpg.
  writePicture("disguised.jpg");
  const RunResult result =
      run({"--quiet", "-c", "brightness", "--limited", "20", "-n", "2", work.at("disguised.jpg")});
  EXPECT_EQ(result.status, 0) << result.err;
  const std::string folder = work.at("disguised.jpg (Brightness)");
  ASSERT_EQ(listFolder(folder),
            (std::vector<std::string>{"disguised (B +20%).jpg", "disguised (B -20%).jpg"}));
  const std::string variant = tintery_test::readRaw(folder + "/disguised (B +20%).jpg");
  EXPECT_EQ(variant.substr(0, 2), "BM");
}

std::string readBack(std::FILE* file) {
  std::string text;
  std::rewind(file);
  for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
    text.push_back(static_cast<char>(c));
  return text;
}

TEST_F(CliProgram, DrawsProgressOnATerminalAndClearsItForMessages) {
  writePicture("a.bmp");
  const std::string picture = work.at("a.bmp");
  const std::string missing = work.at("missing.bmp");
  for (bool quiet : {false, true}) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_TRUE(out != nullptr && err != nullptr);
    std::vector<std::string_view> arguments{"-n", "2", picture, missing};
    if (quiet) arguments.push_back("--quiet");
    // As if standard error were a terminal.
    const int status = tintery::cli::runCli(arguments, out, err, true);
    const std::string printed = readBack(out);
    const std::string shown = readBack(err);
    std::fclose(out);
    std::fclose(err);

    EXPECT_EQ(status, 1);
    const std::string message = "tintery-cli: " + missing + ": not found\n";
    if (quiet) {
      EXPECT_EQ(shown, message);
    } else {
      // One bar per variant: file name and variant count, two files of two
      // variants making 0 % and 25 % before each write.
      EXPECT_NE(shown.find("]   0%  a.bmp  1/2"), std::string::npos) << shown;
      EXPECT_NE(shown.find("]  25%  a.bmp  2/2"), std::string::npos) << shown;
      // The bar is erased before the message, which ends the output.
      ASSERT_GE(shown.size(), message.size());
      EXPECT_EQ(shown.substr(shown.size() - message.size() - 4), "\r\033[K" + message);
    }
    EXPECT_EQ(printed, work.at(quiet ? "a.bmp (Hue) (1)" : "a.bmp (Hue)") + "\n");
  }
}

// --- The whole conformance corpus in one run --------------------------------

// Every file of the test pictures (not the notes beside them), as paths
// relative to the data folder.
std::vector<std::string> corpusFiles() {
  // The walk's callback cannot capture, so it collects here.
  static std::vector<std::string> found;
  found.clear();
  const std::string root = TINTERY_TEST_DATA;
  for (const char* folder : {"bmp", "gif", "ico", "jpeg", "png"}) {
    ::nftw((root + "/" + folder).c_str(),
           [](const char* path, const struct stat*, int type, struct FTW*) {
             const std::string name = path;
             const std::string_view base = std::string_view(name).substr(name.rfind('/') + 1);
             const bool note = base.ends_with(".md") || base.ends_with(".txt") ||
                               base.ends_with(".py") || base.starts_with("LICENSE");
             if (type == FTW_F && !note) {
               found.push_back(name.substr(std::string(TINTERY_TEST_DATA).size() + 1));
             }
             return 0;
           },
           16, FTW_PHYS);
  }
  std::sort(found.begin(), found.end());
  return found;
}

TEST_F(CliProgram, ConvertsTheWholeCorpusAndNamesEveryRefusedFile) {
  const std::vector<std::string> files = corpusFiles();
  ASSERT_GT(files.size(), 300u);
  std::vector<std::string> arguments = {"-n", "1"};
  std::set<std::string> names;
  for (const std::string& file : files) {
    // One flat folder: the relative path becomes the name.
    std::string name = file;
    std::replace(name.begin(), name.end(), '/', '_');
    ASSERT_TRUE(names.insert(name).second) << name;
    const std::string bytes = tintery_test::readRaw(std::string(TINTERY_TEST_DATA) + "/" + file);
    ASSERT_TRUE(tintery_test::writeBytes(work.at(name), bytes)) << name;
    arguments.push_back(name);
  }
  const RunResult result = run(arguments);
  EXPECT_EQ(result.status, 1);

  // Every file either got a folder or is named on standard error with the
  // reason; nothing else reaches either stream (no library messages).
  std::set<std::string> converted;
  for (const std::string& line : lines(result.out)) {
    const std::string prefix = work.path() + "/";
    const std::string suffix = " (Hue)";
    ASSERT_TRUE(line.starts_with(prefix) && line.ends_with(suffix)) << line;
    converted.insert(line.substr(prefix.size(), line.size() - prefix.size() - suffix.size()));
  }
  std::map<std::string, std::string> refused;
  for (const std::string& line : lines(result.err)) {
    ASSERT_TRUE(line.starts_with("tintery-cli: ")) << line;
    const std::size_t colon = line.find(": ", 13);
    ASSERT_NE(colon, std::string::npos) << line;
    const std::string name = line.substr(13, colon - 13);
    const std::string reason = line.substr(colon + 2);
    ASSERT_TRUE(names.count(name)) << line;
    EXPECT_FALSE(reason.empty()) << line;
    if (!reason.starts_with("warning: ")) refused[name] = reason;
  }
  for (const std::string& name : names) {
    EXPECT_NE(converted.count(name) + refused.count(name), 0u) << name << " is not mentioned";
    EXPECT_EQ(converted.count(name) * refused.count(name), 0u) << name << " is both";
  }
  EXPECT_GT(converted.size(), 250u);

  // The reasons given for a few refused files of each kind.
  const std::map<std::string, std::string> expected = {
      {"bmp_bad_reallybig.bmp", "image too large"},
      {"bmp_bad_badbitcount.bmp", "damaged: unsupported bit depth"},
      {"bmp_questionable_rgb24jpeg.bmp", "damaged: JPEG data inside a BMP file is not supported"},
      {"ico_decompression_bomb.ico", "image too large"},
      {"gif_zero_width.gif", "not a recognised image"},
      {"png_pngsuite_xs1n0g01.png", "not a recognised image"},
      {"png_pngsuite_xc1n0g08.png", "damaged: damaged or unsupported header"},
      {"png_wild_pngtest_bad.png.bin",
       "unsupported extension (use .bmp .gif .jpg .jpeg .png .ico)"},
  };
  for (const auto& [name, reason] : expected) {
    ASSERT_TRUE(names.count(name)) << name;
    EXPECT_EQ(refused[name], reason) << name;
  }
}

}  // namespace

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "s/col/_array/IntArrays.h"
#include "s/file/win/PathWin.h"
#include "s/str/Utf.h"
#include "s/xml/MappedData.h"
#include "s/xml/Node.h"
#include "tests/file/TempFolder.h"

namespace {

using s::col::_array::ArrayU08;
using s::file::win::PathWin;
using s::str::utf16ToUtf8;
using s::str::utf8ToUtf16;
using s::thread::obtainOwned;
using s::thread::own;
using s::thread::Owned;
using s::xml::MappedData;
using s::xml::Node;
using tintery_test::listFolder;
using tintery_test::readRaw;
using tintery_test::TempFolder;
using tintery_test::writeRaw;

constexpr std::u16string_view kHue = u"MainWindow\\ConvertTo\\Hue";
constexpr std::u16string_view kView = u"MainWindow\\View";

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(temp.path().empty()); }

  Owned<MappedData> open(bool* opened = nullptr) {
    auto store = obtainOwned<MappedData>();
    const bool result = store->open(file16());
    if (opened != nullptr) *opened = result;
    return store;
  }
  std::u16string file16() const { return temp.at16("Kelto/SaveData.xml"); }
  std::string file() const { return temp.at("Kelto/SaveData.xml"); }
  // Puts `content` where the store looks for its file.
  bool writeFile(std::string_view content) {
    const bool folder = ::mkdir(temp.at("Kelto").c_str(), 0700) == 0 || errno == EEXIST;
    return folder && writeRaw(file(), content);
  }

  TempFolder temp;
};

TEST_F(SettingsFile, MissingValuesGiveTheCallersDefaults) {
  bool opened = false;
  auto store = open(&opened);
  EXPECT_TRUE(opened);
  EXPECT_EQ(store->getU32(kHue, u"NumOfSamples", 10), 10u);
  EXPECT_FALSE(store->hasValue(kHue, u"NumOfSamples"));
  EXPECT_FALSE(store->selectSection(kHue));
  EXPECT_EQ(store->getString(u"Language", u"", u"English", nullptr, false), u"English");
  EXPECT_EQ(store->getBinary(kView, u"Blob", nullptr), nullptr);
  EXPECT_EQ(store->getReserved(kView, u"X"), nullptr);
  // Reading creates nothing: no file appears.
  EXPECT_TRUE(store->flush());
  EXPECT_EQ(tintery_test::sizeOnDisk(file()), -1);
}

TEST_F(SettingsFile, TheFileHoldsSectionsAsElementsAndValuesAsAttributes) {
  {
    auto store = open();
    store->setAutoFlush(false);
    store->setS32(kView, u"X", -12);
    store->setBool(kView, u"Maximized", true);
    store->setU32(kHue, u"NumOfSamples", 10);
    store->setString(u"Language", u"", u"Chinese Simplified");
    store->setString(kView, u"Title", u"a \"b\" <c> & d");
    EXPECT_EQ(tintery_test::sizeOnDisk(file()), -1);  // nothing written yet
    EXPECT_TRUE(store->flush());
  }
  EXPECT_EQ(readRaw(file()),
            "<savedata><MainWindow><View X=\"-12\" Maximized=\"1\" "
            "Title=\"a &quot;b&quot; &lt;c> &amp; d\"></View>"
            "<ConvertTo><Hue NumOfSamples=\"10\"></Hue></ConvertTo></MainWindow>"
            "<Language>Chinese&#160;Simplified</Language></savedata>");
}

TEST_F(SettingsFile, EveryTypeReadsBackFromTheFile) {
  const std::uint8_t bytes[] = {0x00, 0x7F, 0x80, 0xFF, 0x0A};
  const std::u16string_view text = u" Line one\nline \"two\"\r\n\t<&> \u00e9\u65e5 ";
  {
    auto store = open();
    store->setAutoFlush(false);
    store->setU8(u"T", u"u8", UINT8_MAX);
    store->setU16(u"T", u"u16", UINT16_MAX);
    store->setU32(u"T", u"u32", UINT32_MAX);
    store->setU64(u"T", u"u64", UINT64_MAX);
    store->setS8(u"T", u"s8", INT8_MIN);
    store->setS16(u"T", u"s16", INT16_MIN);
    store->setS32(u"T", u"s32", INT32_MIN);
    store->setS64(u"T", u"s64", INT64_MIN);
    store->setFloat(u"T", u"f", 1.5e-7f);
    store->setDouble(u"T", u"d", -1234.0625);
    store->setBool(u"T", u"b", true);
    store->setString(u"T", u"s", text);
    store->setExpandString(u"T", u"e", u"$HOME/x");
    store->setString(u"T", u"", u" text content ");
    store->setBinary(u"T", u"bin", bytes, sizeof bytes);
    store->setBinary(u"T", u"none", nullptr, 0);
    store->setReserved(u"T", u"r");
    ASSERT_TRUE(store->flush());
  }
  auto store = open();
  EXPECT_EQ(store->getU8(u"T", u"u8", 0), UINT8_MAX);
  EXPECT_EQ(store->getU16(u"T", u"u16", 0), UINT16_MAX);
  EXPECT_EQ(store->getU32(u"T", u"u32", 0), UINT32_MAX);
  EXPECT_EQ(store->getU64(u"T", u"u64", 0), UINT64_MAX);
  EXPECT_EQ(store->getS8(u"T", u"s8", 0), INT8_MIN);
  EXPECT_EQ(store->getS16(u"T", u"s16", 0), INT16_MIN);
  EXPECT_EQ(store->getS32(u"T", u"s32", 0), INT32_MIN);
  EXPECT_EQ(store->getS64(u"T", u"s64", 0), INT64_MIN);
  EXPECT_EQ(store->getFloat(u"T", u"f", 0), 1.5e-7f);
  EXPECT_EQ(store->getDouble(u"T", u"d", 0), -1234.0625);
  EXPECT_TRUE(store->getBool(u"T", u"b", false));
  EXPECT_EQ(store->getString(u"T", u"s", u"", nullptr, false), text);
  bool expandable = true;
  EXPECT_EQ(store->getString(u"T", u"e", u"", &expandable, true), u"$HOME/x");
  EXPECT_FALSE(expandable);
  EXPECT_EQ(store->getString(u"T", u"", u"", nullptr, false), u" text content ");
  auto read = obtainOwned<ArrayU08>();
  ASSERT_EQ(store->getBinary(u"T", u"bin", read.get()), read.get());
  EXPECT_EQ(std::vector<std::uint8_t>(read->begin(), read->end()),
            std::vector<std::uint8_t>(std::begin(bytes), std::end(bytes)));
  auto empty = own(store->getBinary(u"T", u"none", nullptr));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->getLength(), 0);
  EXPECT_FALSE(store->hasValue(u"T", u"r"));
}

TEST_F(SettingsFile, UnreadableValuesGiveTheDefault) {
  ASSERT_TRUE(writeFile(
      "<savedata><T big=\"300\" neg=\"-1\" word=\"abc\" five=\"5\" zero=\"0\" yes=\"true\" "
      "no=\"false\" odd=\"ABC\" hex=\"0G\" frac=\"1.5\"/></savedata>"));
  bool opened = false;
  auto store = open(&opened);
  ASSERT_TRUE(opened);
  EXPECT_EQ(store->getU8(u"T", u"big", 9), 9);
  EXPECT_EQ(store->getU16(u"T", u"big", 9), 300);
  EXPECT_EQ(store->getU32(u"T", u"neg", 9), 9u);
  EXPECT_EQ(store->getS32(u"T", u"neg", 9), -1);
  EXPECT_EQ(store->getS32(u"T", u"word", 9), 9);
  EXPECT_EQ(store->getS32(u"T", u"frac", 9), 9);
  EXPECT_EQ(store->getDouble(u"T", u"frac", 9), 1.5);
  // Any non-zero number is true.
  EXPECT_TRUE(store->getBool(u"T", u"five", false));
  EXPECT_FALSE(store->getBool(u"T", u"zero", true));
  EXPECT_TRUE(store->getBool(u"T", u"yes", false));
  EXPECT_FALSE(store->getBool(u"T", u"no", true));
  EXPECT_TRUE(store->getBool(u"T", u"word", true));
  EXPECT_FALSE(store->getBool(u"T", u"word", false));
  auto bytes = obtainOwned<ArrayU08>();
  bytes->add(42);
  for (std::u16string_view key : {u"odd", u"hex"}) {
    EXPECT_EQ(store->getBinary(u"T", key, bytes.get()), bytes.get());
    ASSERT_EQ(bytes->getLength(), 1);
    EXPECT_EQ(bytes->get(0), 42);
    EXPECT_EQ(store->getBinary(u"T", key, nullptr), nullptr);
  }
}

TEST_F(SettingsFile, SectionsAndKeysMatchIgnoringCaseWithEitherSeparator) {
  auto store = open();
  store->setAutoFlush(false);
  store->setS32(u"MainWindow\\View", u"Width", 300);
  EXPECT_TRUE(store->selectSection(u"mainwindow/VIEW"));
  EXPECT_EQ(store->getS32(u"MAINWINDOW\\view", u"WIDTH", 0), 300);
  EXPECT_EQ(store->getS32(u"\\MainWindow\\\\View\\", u"width", 0), 300);
  // Replacing a value under another spelling keeps one attribute.
  store->setS32(u"mainwindow\\view", u"WIDTH", 310);
  const Node* view = store->getDocument()->findChild(u"MainWindow")->findChild(u"View");
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->getAttributes().getCount(), 1);
  EXPECT_EQ(store->getS32(kView, u"Width", 0), 310);
  EXPECT_EQ(store->getDocument()->getChildCount(), 1);
}

TEST_F(SettingsFile, DeletingTheCachedSectionOrItsParentLeavesNothingStale) {
  auto store = open();
  store->setAutoFlush(false);
  const std::u16string_view removals[] = {kView, u"MAINWINDOW", u""};
  for (std::u16string_view removed : removals) {
    store->setS32(kView, u"X", 1);
    ASSERT_TRUE(store->selectSection(kView));
    store->deleteSection(removed);
    EXPECT_FALSE(store->selectSection(kView));
    EXPECT_FALSE(store->hasValue(kView, u"X"));
    EXPECT_EQ(store->getS32(kView, u"X", 7), 7);
    // Writing to the same path recreates the section.
    store->setS32(kView, u"Y", 2);
    EXPECT_EQ(store->getS32(kView, u"Y", 0), 2);
    store->deleteSection(u"");
  }
  store->setS32(u"Keep", u"K", 1);
  store->deleteValue(u"Keep", u"k");
  EXPECT_FALSE(store->hasValue(u"Keep", u"K"));
  EXPECT_TRUE(store->selectSection(u"Keep"));
}

TEST_F(SettingsFile, NamesThatXmlCannotHoldAreRefused) {
  auto store = open();
  store->setAutoFlush(false);
  const std::u16string_view badSections[] = {u"My Section", u"a<b",       u"x=y",    u"!--",
                                             u"?pi",        u"tab\there", u"q\"uote"};
  for (std::u16string_view section : badSections) {
    store->setS32(section, u"Key", 1);
    EXPECT_FALSE(store->openSection(section));
  }
  for (std::u16string_view key : {u"two words", u"a/b", u"k>", u"=", u"!x"}) {
    store->setS32(u"Good", key, 1);
    EXPECT_FALSE(store->hasValue(u"Good", key));
  }
  store->setS32(u"Good", u"Fine", 1);
  ASSERT_TRUE(store->flush());
  auto node = obtainOwned<Node>();
  bool complete = false;
  ASSERT_TRUE(node->parseUtf8(readRaw(file()), &complete));
  EXPECT_TRUE(complete);
  EXPECT_EQ(readRaw(file()), "<savedata><Good Fine=\"1\"></Good></savedata>");
}

TEST_F(SettingsFile, AutoFlushWritesEveryChangeAtOnce) {
  auto store = open();
  EXPECT_TRUE(store->autoFlush());
  store->setS32(kView, u"X", 5);
  EXPECT_EQ(readRaw(file()), "<savedata><MainWindow><View X=\"5\"></View></MainWindow></savedata>");
  store->deleteValue(kView, u"X");
  EXPECT_EQ(readRaw(file()), "<savedata><MainWindow><View></View></MainWindow></savedata>");
  store->setAutoFlush(false);
  store->setS32(kView, u"X", 6);
  EXPECT_EQ(readRaw(file()), "<savedata><MainWindow><View></View></MainWindow></savedata>");
  store->setAutoFlush(true);
  store->setReserved(kView, u"Nothing");  // flushes what was pending
  EXPECT_EQ(readRaw(file()), "<savedata><MainWindow><View X=\"6\"></View></MainWindow></savedata>");
}

TEST_F(SettingsFile, PendingChangesAreWrittenWhenTheStoreIsReleased) {
  {
    auto store = open();
    store->setAutoFlush(false);
    store->setS32(kView, u"X", 3);
    EXPECT_EQ(tintery_test::sizeOnDisk(file()), -1);
  }
  EXPECT_EQ(open()->getS32(kView, u"X", 0), 3);
  // Opening another file writes what was pending for the first one.
  auto store = open();
  store->setAutoFlush(false);
  store->setS32(kView, u"X", 4);
  store->open(temp.at16("other.xml"));
  EXPECT_EQ(open()->getS32(kView, u"X", 0), 4);
}

TEST_F(SettingsFile, StoringTheSameValueAgainDoesNotRewriteTheFile) {
  auto store = open();
  store->setS32(kView, u"X", 5);
  struct stat before;
  ASSERT_EQ(::stat(file().c_str(), &before), 0);
  store->setS32(kView, u"x", 5);
  struct stat after;
  ASSERT_EQ(::stat(file().c_str(), &after), 0);
  // Every write replaces the file, so the same inode means no write.
  EXPECT_EQ(before.st_ino, after.st_ino);
  store->setS32(kView, u"x", 6);
  ASSERT_EQ(::stat(file().c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);
}

TEST_F(SettingsFile, ADamagedFileIsSetAsideAndDefaultsStart) {
  const std::string damaged[] = {
      "<savedata><MainWindow><View X=\"5\"",  // cut off
      "<savedata><MainWindow>",               // unclosed elements
      "<other><View X=\"5\"/></other>",       // another root
      "\x89PNG\r\n\x1A\n",                    // not XML at all
      "",                                     // empty
  };
  int round = 0;
  for (const std::string& content : damaged) {
    ASSERT_TRUE(writeFile(content));
    bool opened = true;
    auto store = open(&opened);
    EXPECT_FALSE(opened);
    // The first goes to ".damaged", later ones to numbered names.
    const std::string expected =
        file() + ".damaged" + (round == 0 ? "" : "." + std::to_string(round));
    EXPECT_EQ(utf16ToUtf8(store->getSetAsidePath()), expected);
    EXPECT_EQ(readRaw(expected), content);
    EXPECT_TRUE(store->isWritable());
    EXPECT_EQ(store->getS32(kView, u"X", -1), -1);
    store->setS32(kView, u"X", 1);
    bool reopened = false;
    EXPECT_EQ(open(&reopened)->getS32(kView, u"X", -1), 1);
    EXPECT_TRUE(reopened);
    ++round;
  }
}

TEST_F(SettingsFile, FlushReportsAFileThatCannotBeWritten) {
  // The settings folder's place is taken by a plain file.
  ASSERT_TRUE(writeRaw(temp.at("Kelto"), "in the way"));
  auto store = open();
  store->setAutoFlush(false);
  store->setS32(kView, u"X", 1);
  EXPECT_FALSE(store->flush());
  EXPECT_EQ(readRaw(temp.at("Kelto")), "in the way");
  EXPECT_EQ(store->getS32(kView, u"X", 0), 1);
  ASSERT_EQ(::unlink(temp.at("Kelto").c_str()), 0);
  // The change is still pending and goes out once the folder can be made.
  EXPECT_TRUE(store->flush());
  EXPECT_EQ(open()->getS32(kView, u"X", 0), 1);
}

TEST_F(SettingsFile, TheDefaultFileFollowsTheConfigurationFolder) {
  struct Saved {
    const char* name;
    std::optional<std::string> value;
  } saved[] = {{"XDG_CONFIG_HOME", {}}, {"HOME", {}}};
  for (Saved& variable : saved) {
    if (const char* value = std::getenv(variable.name)) variable.value = value;
  }
  ::setenv("XDG_CONFIG_HOME", "/cfg/home", 1);
  ::setenv("HOME", "/home/user", 1);
  EXPECT_EQ(MappedData::defaultFilePath(), u"/cfg/home/Kelto/Kelto Tintery/SaveData.xml");
  // A relative configuration folder is ignored.
  ::setenv("XDG_CONFIG_HOME", "relative", 1);
  EXPECT_EQ(MappedData::defaultFilePath(), u"/home/user/.config/Kelto/Kelto Tintery/SaveData.xml");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(MappedData::defaultFilePath(), u"/home/user/.config/Kelto/Kelto Tintery/SaveData.xml");
  for (const Saved& variable : saved) {
    if (variable.value) {
      ::setenv(variable.name, variable.value->c_str(), 1);
    } else {
      ::unsetenv(variable.name);
    }
  }
}

// A writer killed at any moment of a flush leaves a settings file that
// parses completely and holds the old or the new value; the temporary files
// such writers leave behind are removed by the next store opened on the file.
TEST_F(SettingsFile, SurvivesTheWriterBeingKilledMidFlush) {
  // Large values, so that a write takes long enough to be interrupted.
  const std::u16string first(30000, u'a');
  const std::u16string second = std::u16string(29000, u'b') + u" \"<&>\"\n";
  open()->setString(u"Big", u"Text", first);

  std::mt19937 random(20240611);
  std::uniform_int_distribution<long> delay(0, 3'000'000);  // nanoseconds
  for (int round = 0; round < 200; ++round) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(ready[0]);
      MappedData* store = MappedData::create(file16());
      for (long i = 0; i < 1'000'000; ++i) {
        store->setString(u"Big", u"Text", i % 2 == 0 ? second : first);
        store->setS32(u"Big", u"Round", static_cast<std::int32_t>(i));
        if (i == 0 && ::write(ready[1], "r", 1) != 1) ::_exit(2);
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    char byte = 0;
    const bool started = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    const timespec pause{0, delay(random)};
    ::nanosleep(&pause, nullptr);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(started) << "round " << round;

    auto path = own(PathWin::obtain(file16()));
    auto node = obtainOwned<Node>();
    bool complete = false;
    ASSERT_TRUE(node->load(*path, &complete)) << "round " << round;
    ASSERT_TRUE(complete) << "round " << round;
    const Node* big = node->findChild(u"Big");
    ASSERT_NE(big, nullptr) << "round " << round;
    const std::u16string value = big->textOf(u"Text");
    ASSERT_TRUE(value == first || value == second) << "round " << round;
  }

  bool opened = false;
  auto store = open(&opened);
  EXPECT_TRUE(opened);
  const std::u16string last = store->getString(u"Big", u"Text", u"", nullptr, false);
  EXPECT_TRUE(last == first || last == second);
  EXPECT_EQ(listFolder(temp.at("Kelto")), std::vector<std::string>{"SaveData.xml"});
}

}  // namespace

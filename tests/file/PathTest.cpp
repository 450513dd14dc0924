#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <dirent.h>

#include <string>
#include <vector>

#include "s/file/IPath.h"
#include "s/file/win/PathWin.h"
#include "tests/file/TempFolder.h"

namespace {

using s::file::IPath;
using s::file::win::PathWin;
using s::thread::own;
using tintery_test::readRaw;
using tintery_test::TempFolder;
using tintery_test::writeRaw;

std::string u8(std::u16string_view text) {
  return s::str::utf16ToUtf8(text);
}

s::thread::Owned<PathWin> pathOf(const std::string& utf8) {
  auto path = s::thread::obtainOwned<PathWin>();
  path->setPathUtf8(utf8);
  return path;
}

class PathInFolder : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(temp.path().empty()); }
  TempFolder temp;
};

struct PartsCase {
  const char* given;
  const char* full;
  const char* folder;
  const char* name;
  const char* stem;
  const char* extension;
};

TEST(PathWin, SplitsAbsoluteTextsIntoNormalisedParts) {
  const PartsCase cases[] = {
      {"/a/b/photo.jpg", "/a/b/photo.jpg", "/a/b/", "photo.jpg", "photo", ".jpg"},
      {"/a//b/./c/../archive.tar.gz", "/a/b/archive.tar.gz", "/a/b/", "archive.tar.gz",
       "archive.tar", ".gz"},
      {"/a/b/", "/a/b", "/a/", "b", "b", ""},
      {"/", "/", "/", "", "", ""},
      {"///", "/", "/", "", "", ""},
      {"/..", "/", "/", "", "", ""},
      {"/../../x.png", "/x.png", "/", "x.png", "x", ".png"},
      {"/a/b/../../c/.", "/c", "/", "c", "c", ""},
      {"/home/u/.bashrc", "/home/u/.bashrc", "/home/u/", ".bashrc", ".bashrc", ""},
      {"/home/u/..two.txt", "/home/u/..two.txt", "/home/u/", "..two.txt", "..two", ".txt"},
      {"/home/u/README", "/home/u/README", "/home/u/", "README", "README", ""},
      {"/d.dir/file", "/d.dir/file", "/d.dir/", "file", "file", ""},
      {"/a/name.", "/a/name.", "/a/", "name.", "name", "."},
      {"/a/...", "/a/...", "/a/", "...", "...", ""},
      {"/a/b\\c.png", "/a/b\\c.png", "/a/", "b\\c.png", "b\\c", ".png"},
      {"/x/Grüße 写真 😀.png", "/x/Grüße 写真 😀.png", "/x/", "Grüße 写真 😀.png", "Grüße 写真 😀",
       ".png"},
  };
  auto path = s::thread::obtainOwned<PathWin>();
  for (const PartsCase& c : cases) {
    SCOPED_TRACE(c.given);
    path->setPathUtf8(c.given);
    EXPECT_EQ(u8(path->getGivenPath()), c.given);
    EXPECT_EQ(u8(path->getFullPath()), c.full);
    EXPECT_EQ(path->getNativePath(), c.full);
    EXPECT_TRUE(path->getDrive().empty());
    EXPECT_EQ(u8(path->getFolder()), c.folder);
    EXPECT_EQ(u8(path->getFileName()), c.name);
    EXPECT_EQ(u8(path->getStem()), c.stem);
    EXPECT_EQ(u8(path->getExtension()), c.extension);
  }
}

TEST(PathWin, EmptyOrNulTextNamesNothing) {
  const std::u16string withNul(u"/tmp\0/etc", 9);
  for (std::u16string_view text : {std::u16string_view(), std::u16string_view(withNul)}) {
    auto path = own(PathWin::obtain(text));
    EXPECT_TRUE(path->getFullPath().empty());
    EXPECT_TRUE(path->getNativePath().empty());
    EXPECT_TRUE(path->getFolder().empty());
    EXPECT_FALSE(path->exists());
    EXPECT_FALSE(path->isFolder());
    EXPECT_EQ(path->getAttributes(), IPath::ATTRIBUTES_INVALID);
    EXPECT_EQ(path->getParent(), nullptr);
    EXPECT_FALSE(path->createFolder(false));
    auto out = own(path->openOutputStream(false));
    ASSERT_NE(out, nullptr);
    EXPECT_FALSE(out->isOpen());
  }
}

TEST(PathWin, UncIsJudgedOnTheGivenText) {
  const std::pair<const char*, bool> cases[] = {
      {"//server/share", true}, {"\\\\server\\share", true},
      {"/\\server", true},      {"///server", false},
      {"\\\\\\server", false},  {"//", false},
      {"/server/share", false}, {"a//b", false},
  };
  auto path = s::thread::obtainOwned<PathWin>();
  for (const auto& [text, unc] : cases) {
    path->setPathUtf8(text);
    EXPECT_EQ(path->isUnc(), unc) << text;
  }
}

// The current folder is changed for one test and restored afterwards.
class RelativePath : public PathInFolder {
 protected:
  void SetUp() override {
    PathInFolder::SetUp();
    if (HasFatalFailure()) return;
    saved_ = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(saved_, 0);
    ASSERT_EQ(::chdir(temp.path().c_str()), 0);
  }
  void TearDown() override {
    if (saved_ >= 0) {
      EXPECT_EQ(::fchdir(saved_), 0);
      ::close(saved_);
    }
  }
  int saved_ = -1;
};

TEST_F(RelativePath, ResolvesAgainstTheCurrentFolder) {
  char buffer[4096];
  ASSERT_NE(::getcwd(buffer, sizeof buffer), nullptr);
  const std::string cwd = buffer;
  const std::string parent = cwd.substr(0, cwd.rfind('/'));
  const std::string self = cwd.substr(cwd.rfind('/') + 1);
  const std::pair<std::string, std::string> cases[] = {
      {"x.png", cwd + "/x.png"},
      {"sub/../y.gif", cwd + "/y.gif"},
      {"./a/./b/", cwd + "/a/b"},
      {".", cwd},
      {"..", parent.empty() ? "/" : parent},
      {"../" + self + "/w.png", cwd + "/w.png"},
  };
  for (const auto& [text, full] : cases) {
    auto path = pathOf(text);
    EXPECT_EQ(u8(path->getFullPath()), full) << text;
  }
  ASSERT_TRUE(writeRaw(temp.at("here.txt"), "abc"));
  EXPECT_EQ(pathOf("here.txt")->getFileSize(), 3);
}

struct AttributesCase {
  const char* name;
  bool folder;
  std::uint32_t attributes;
};

TEST_F(PathInFolder, AttributesDescribeWhatIsOnDisk) {
  const AttributesCase cases[] = {
      {"plain.png", false, IPath::ATTRIBUTE_ARCHIVE},
      {".hidden", false, IPath::ATTRIBUTE_ARCHIVE | IPath::ATTRIBUTE_HIDDEN},
      {"folder", true, IPath::ATTRIBUTE_DIRECTORY},
      {".config", true, IPath::ATTRIBUTE_DIRECTORY | IPath::ATTRIBUTE_HIDDEN},
  };
  for (const AttributesCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.folder) {
      ASSERT_EQ(::mkdir(temp.at(c.name).c_str(), 0777), 0);
    } else {
      ASSERT_TRUE(writeRaw(temp.at(c.name), "x"));
    }
    auto path = pathOf(temp.at(c.name));
    EXPECT_TRUE(path->exists());
    EXPECT_TRUE(path->isReadable());
    EXPECT_TRUE(path->isWritable());
    EXPECT_TRUE(path->isReadWritable());
    EXPECT_EQ(path->getAttributes(), c.attributes);
    EXPECT_EQ(path->isFolder(), c.folder);
    EXPECT_EQ(path->isFile(), !c.folder);
    EXPECT_EQ(path->isArchive(), !c.folder);
    EXPECT_EQ(path->isHidden(), c.name[0] == '.');
    EXPECT_FALSE(path->isSystem());
  }

  // Nothing there: every attribute question says no, although the invalid
  // attribute value has every bit set.
  auto missing = pathOf(temp.at("missing.png"));
  EXPECT_FALSE(missing->exists());
  EXPECT_FALSE(missing->isReadable());
  EXPECT_EQ(missing->getAttributes(), IPath::ATTRIBUTES_INVALID);
  EXPECT_FALSE(missing->isFolder());
  EXPECT_FALSE(missing->isFile());
  EXPECT_FALSE(missing->isHidden());
  EXPECT_FALSE(missing->isArchive());
}

TEST_F(PathInFolder, ReadOnlyFileHasTheReadOnlyBit) {
  if (::geteuid() == 0) GTEST_SKIP() << "the superuser may write to any file";
  ASSERT_TRUE(writeRaw(temp.at("locked.txt"), "x"));
  ASSERT_EQ(::chmod(temp.at("locked.txt").c_str(), 0444), 0);
  auto path = pathOf(temp.at("locked.txt"));
  EXPECT_TRUE(path->isReadable());
  EXPECT_FALSE(path->isWritable());
  EXPECT_FALSE(path->isReadWritable());
  EXPECT_EQ(path->getAttributes(), IPath::ATTRIBUTE_ARCHIVE | IPath::ATTRIBUTE_READONLY);
}

TEST_F(PathInFolder, AttributesAreReadOnceUntilRefreshedOrReset) {
  const std::string file = temp.at("late.png");
  auto path = pathOf(file);
  EXPECT_FALSE(path->isFile());
  ASSERT_TRUE(writeRaw(file, "x"));
  EXPECT_TRUE(path->exists());   // asks the system every time
  EXPECT_FALSE(path->isFile());  // still the attributes read before
  path->refresh();
  EXPECT_TRUE(path->isFile());

  ASSERT_EQ(::unlink(file.c_str()), 0);
  EXPECT_TRUE(path->isFile());
  path->setPathUtf8(file);
  EXPECT_FALSE(path->isFile());
}

TEST_F(PathInFolder, FileSizeIsMinusOneForFoldersAndMissingPaths) {
  ASSERT_TRUE(writeRaw(temp.at("five.bin"), "12345"));
  ASSERT_TRUE(writeRaw(temp.at("empty.bin"), ""));
  EXPECT_EQ(pathOf(temp.at("five.bin"))->getFileSize(), 5);
  EXPECT_EQ(pathOf(temp.at("empty.bin"))->getFileSize(), 0);
  EXPECT_EQ(pathOf(temp.path())->getFileSize(), -1);
  EXPECT_EQ(pathOf(temp.at("none.bin"))->getFileSize(), -1);
}

TEST(PathWin, ParentIsTheContainingFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {"/a/b/c.txt", "/a/b"}, {"/a/b/", "/a"}, {"/a", "/"}, {"/", "/"}};
  for (const auto& [text, parentText] : cases) {
    auto path = pathOf(text);
    auto parent = own(path->getParent());
    ASSERT_NE(parent, nullptr);
    EXPECT_NE(parent.get(), path.get());
    EXPECT_EQ(u8(parent->getFullPath()), parentText) << text;
    EXPECT_EQ(parent->getNativePath(), parentText) << text;
  }
}

TEST_F(PathInFolder, FirstFreeVariantNumbersTakenNames) {
  ASSERT_EQ(::mkdir(temp.at("x.jpg (Hue)").c_str(), 0777), 0);
  ASSERT_TRUE(writeRaw(temp.at("a.png"), "x"));
  ASSERT_TRUE(writeRaw(temp.at("README"), "x"));
  ASSERT_TRUE(writeRaw(temp.at(".cfg"), "x"));
  ASSERT_EQ(::symlink("nowhere", temp.at("link.png").c_str()), 0);

  const std::pair<const char*, const char*> cases[] = {
      {"free.png", "free.png"},
      {"a.png", "a (1).png"},
      {"x.jpg (Hue)", "x.jpg (Hue) (1)"},
      {"README", "README (1)"},
      {".cfg", ".cfg (1)"},
      {"link.png", "link (1).png"},  // a dangling link still takes the name
  };
  for (const auto& [name, variant] : cases) {
    auto variantPath = own(pathOf(temp.at(name))->firstFreeVariant());
    ASSERT_NE(variantPath, nullptr);
    EXPECT_EQ(u8(variantPath->getFullPath()), temp.at(variant)) << name;
    EXPECT_EQ(variantPath->getNativePath(), temp.at(variant)) << name;
  }

  // Each variant taken moves the answer on.
  ASSERT_TRUE(writeRaw(temp.at("a (1).png"), "x"));
  EXPECT_EQ(u8(own(pathOf(temp.at("a.png"))->firstFreeVariant())->getFullPath()),
            temp.at("a (2).png"));
  ASSERT_EQ(::mkdir(temp.at("x.jpg (Hue) (1)").c_str(), 0777), 0);
  ASSERT_EQ(::mkdir(temp.at("x.jpg (Hue) (2)").c_str(), 0777), 0);
  auto folderVariant = own(pathOf(temp.at("x.jpg (Hue)"))->firstFreeVariant());
  EXPECT_EQ(u8(folderVariant->getFullPath()), temp.at("x.jpg (Hue) (3)"));
  EXPECT_EQ(u8(folderVariant->getFileName()), "x.jpg (Hue) (3)");
}

TEST_F(PathInFolder, CreateFolderMakesMissingParents) {
  auto deep = pathOf(temp.at("a/b/c"));
  EXPECT_FALSE(deep->isFolder());
  EXPECT_TRUE(deep->createFolder(false));
  EXPECT_TRUE(deep->isFolder());  // creation forgets the attributes read before
  for (const char* name : {"a", "a/b", "a/b/c"}) {
    EXPECT_TRUE(pathOf(temp.at(name))->isFolder()) << name;
  }
  EXPECT_FALSE(deep->createFolder(true));  // exists already

  ASSERT_TRUE(writeRaw(temp.at("file"), "x"));
  EXPECT_FALSE(pathOf(temp.at("file/sub"))->createFolder(false));
  EXPECT_FALSE(pathOf(temp.at("file/sub/deeper"))->createFolder(false));
  EXPECT_FALSE(pathOf("/")->createFolder(false));
  EXPECT_FALSE(pathOf("/..")->createFolder(false));
  EXPECT_TRUE(pathOf("/")->createParentFolders());

  // A text longer than any path the system accepts fails without recursing
  // through thousands of parents.
  std::string tooLong = temp.path();
  while (tooLong.size() < 20000)
    tooLong += "/d";
  EXPECT_FALSE(pathOf(tooLong)->createFolder(false));
}

TEST_F(PathInFolder, OpenOutputStreamCreatesMissingParentFolders) {
  IPath* path = PathWin::obtain(temp.at16("out/sub/f.bmp"));
  ASSERT_NE(path, nullptr);
  EXPECT_FALSE(path->isFile());
  s::file::IFileOutputStream* out = path->openOutputStream(false);
  ASSERT_NE(out, nullptr);
  ASSERT_TRUE(out->isOpen());
  EXPECT_TRUE(out->write("BM", 2, nullptr));
  EXPECT_TRUE(out->close());
  out->recycle();  // through the interface
  EXPECT_TRUE(path->isFile());
  EXPECT_TRUE(pathOf(temp.at("out/sub"))->isFolder());
  EXPECT_EQ(readRaw(temp.at("out/sub/f.bmp")), "BM");

  s::file::IFileInputStream* in = path->openInputStream();
  ASSERT_NE(in, nullptr);
  char bytes[8] = {};
  EXPECT_EQ(in->readFully(bytes, sizeof bytes), 2u);
  EXPECT_EQ(std::string(bytes, 2), "BM");
  in->recycle();
  path->recycle();

  // No stream opens on a folder or on a missing file.
  auto folder = pathOf(temp.at("out"));
  EXPECT_FALSE(own(folder->openInputStream())->isOpen());
  EXPECT_FALSE(own(folder->openOutputStream(false))->isOpen());
  EXPECT_FALSE(own(pathOf(temp.at("out/none.png"))->openInputStream())->isOpen());
}

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(dir);
  return names;
}

TEST_F(PathInFolder, NonAsciiNamesReachTheDiskAsUtf8) {
  const std::u16string folderName = u"Ordner é";
  const std::u16string fileName = u"Grüße 写真 😀.png";
  auto path = own(PathWin::obtain(temp.at16("") + folderName + u"/" + fileName));
  EXPECT_EQ(u8(path->getStem()), "Grüße 写真 😀");
  auto out = own(path->openOutputStream(false));
  ASSERT_TRUE(out->isOpen());
  EXPECT_TRUE(out->write("png", 3, nullptr));
  EXPECT_TRUE(out->close());

  EXPECT_EQ(namesIn(temp.path()), std::vector<std::string>{"Ordner é"});
  EXPECT_EQ(namesIn(temp.at("Ordner é")), std::vector<std::string>{"Grüße 写真 😀.png"});
  auto again = pathOf(temp.at("Ordner é/Grüße 写真 😀.png"));
  EXPECT_TRUE(again->isFile());
  EXPECT_EQ(again->getFileSize(), 3);
  EXPECT_EQ(again->getFullPath(), path->getFullPath());
}

}  // namespace

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "s/file/win/FileInputStream.h"
#include "s/file/win/FileOutputStream.h"
#include "s/file/win/PathWin.h"
#include "tests/file/TempFolder.h"

namespace {

using s::file::win::FileInputStream;
using s::file::win::FileOutputStream;
using s::file::win::PathWin;
using s::thread::obtainOwned;
using tintery_test::listFolder;
using tintery_test::readRaw;
using tintery_test::sizeOnDisk;
using tintery_test::TempFolder;
using tintery_test::writeRaw;

constexpr std::size_t kBlock = FileOutputStream::BUFFER_SIZE;

class Streams : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(temp.path().empty()); }
  bool writeText(FileOutputStream& out, std::string_view text) {
    std::size_t written = 0;
    const bool ok = out.write(text.data(), text.size(), &written);
    return ok && written == text.size();
  }
  std::string readText(FileInputStream& in, std::size_t count, bool expectOk = true) {
    std::string bytes(count, '\0');
    std::size_t got = 99;
    EXPECT_EQ(in.read(bytes.data(), count, &got), expectOk);
    bytes.resize(got);
    return bytes;
  }
  TempFolder temp;
};

std::string pattern(std::size_t count) {
  std::string bytes(count, '\0');
  for (std::size_t i = 0; i < count; ++i)
    bytes[i] = static_cast<char>((i * 7 + 3) & 0xFF);
  return bytes;
}

TEST_F(Streams, ByteWritesReachTheFileInWholeBuffers) {
  const std::string file = temp.at("bytes.bin");
  const std::string expected = pattern(70000);
  auto out = obtainOwned<FileOutputStream>();
  ASSERT_TRUE(out->open(temp.at16("bytes.bin"), false));
  for (std::size_t i = 0; i < expected.size(); ++i) {
    std::size_t written = 0;
    ASSERT_TRUE(out->write(&expected[i], 1, &written)) << i;
    ASSERT_EQ(written, 1u);
    if (i + 1 == kBlock - 1 || i + 1 == kBlock) {
      // Nothing reaches the file until the buffer is full, then all of it.
      EXPECT_EQ(out->getSystemWriteCount(), i + 1 == kBlock ? 1u : 0u);
      EXPECT_EQ(sizeOnDisk(file), i + 1 == kBlock ? static_cast<long long>(kBlock) : 0);
    }
  }
  EXPECT_EQ(out->getPosition(), 70000);
  EXPECT_EQ(out->getSystemWriteCount(), 1u);
  EXPECT_EQ(sizeOnDisk(file), static_cast<long long>(kBlock));
  EXPECT_TRUE(out->close());
  EXPECT_EQ(out->getSystemWriteCount(), 2u);  // the last 4464 bytes at close
  EXPECT_EQ(readRaw(file), expected);
}

TEST_F(Streams, LargeWriteGoesOutInBufferSizedBlocks) {
  const std::string file = temp.at("large.bin");
  const std::string expected = pattern(3 * kBlock + 3392);
  auto out = obtainOwned<FileOutputStream>();
  ASSERT_TRUE(out->open(temp.at16("large.bin"), false));
  ASSERT_TRUE(writeText(*out, expected));
  EXPECT_EQ(out->getSystemWriteCount(), 3u);
  EXPECT_EQ(sizeOnDisk(file), static_cast<long long>(3 * kBlock));
  EXPECT_TRUE(out->flush());
  EXPECT_EQ(out->getSystemWriteCount(), 4u);
  EXPECT_EQ(readRaw(file), expected);
  EXPECT_TRUE(out->flush());  // nothing pending: no further write
  EXPECT_EQ(out->getSystemWriteCount(), 4u);
}

TEST_F(Streams, SeeksStorePendingBytesAndSetEndTruncates) {
  const std::string file = temp.at("seek.bin");
  auto out = obtainOwned<FileOutputStream>();
  ASSERT_TRUE(out->open(temp.at16("seek.bin"), false));
  ASSERT_TRUE(writeText(*out, "0123456789"));

  EXPECT_TRUE(out->seekTo(10));  // where it already is: nothing happens
  EXPECT_EQ(out->getSystemWriteCount(), 0u);
  EXPECT_TRUE(out->seekForward(0));
  EXPECT_EQ(out->getSystemWriteCount(), 0u);

  EXPECT_TRUE(out->seekTo(4));
  EXPECT_EQ(out->getSystemWriteCount(), 1u);
  EXPECT_EQ(readRaw(file), "0123456789");
  ASSERT_TRUE(writeText(*out, "ab"));
  EXPECT_EQ(out->getPosition(), 6);
  EXPECT_TRUE(out->seekBackward(6));
  EXPECT_EQ(out->getPosition(), 0);
  ASSERT_TRUE(writeText(*out, "X"));
  EXPECT_TRUE(out->seekToEnd());
  EXPECT_EQ(out->getPosition(), 10);
  EXPECT_TRUE(out->seekForward(2));  // beyond the end: the gap reads as zeros
  ASSERT_TRUE(writeText(*out, "Z"));
  EXPECT_EQ(out->getPosition(), 13);
  EXPECT_TRUE(out->flush());
  EXPECT_EQ(readRaw(file), std::string("X123ab6789\0\0Z", 13));

  // Refused moves leave the position alone.
  EXPECT_FALSE(out->seekTo(-1));
  EXPECT_FALSE(out->seekBackward(14));
  EXPECT_FALSE(out->seekForward(-1));
  EXPECT_FALSE(out->seekBackward(-1));
  EXPECT_EQ(out->getPosition(), 13);

  EXPECT_TRUE(out->seekToStart());
  EXPECT_TRUE(out->seekForward(5));
  EXPECT_TRUE(out->setEnd());
  EXPECT_EQ(readRaw(file), "X123a");
  ASSERT_TRUE(writeText(*out, "!"));
  EXPECT_TRUE(out->close());
  EXPECT_EQ(readRaw(file), "X123a!");
}

struct OpenCase {
  const char* initial;  // null: no file yet
  bool append;
  std::int64_t startPosition;
  const char* expected;
};

TEST_F(Streams, AppendKeepsTheFileOtherwiseItIsEmptied) {
  const OpenCase cases[] = {
      {"abc", true, 3, "abcde"},
      {"abc", false, 0, "de"},
      {nullptr, true, 0, "de"},
      {nullptr, false, 0, "de"},
  };
  int index = 0;
  for (const OpenCase& c : cases) {
    const std::string file = temp.at("open" + std::to_string(index++));
    if (c.initial != nullptr) {
      ASSERT_TRUE(writeRaw(file, c.initial));
    }
    auto out = obtainOwned<FileOutputStream>();
    auto path = s::thread::own(PathWin::obtain(s::str::utf8ToUtf16(file)));
    ASSERT_TRUE(out->open(*path, c.append));
    EXPECT_EQ(out->getPosition(), c.startPosition);
    EXPECT_EQ(sizeOnDisk(file), c.append ? c.startPosition : 0);
    ASSERT_TRUE(writeText(*out, "de"));
    EXPECT_TRUE(out->close());
    EXPECT_EQ(readRaw(file), c.expected) << file;
  }
}

TEST_F(Streams, ReadsStopAtTheEnd) {
  ASSERT_TRUE(writeRaw(temp.at("ten.bin"), "0123456789"));
  auto in = obtainOwned<FileInputStream>();
  ASSERT_TRUE(in->open(temp.at16("ten.bin")));
  EXPECT_EQ(readText(*in, 4), "0123");
  EXPECT_EQ(in->getPosition(), 4);
  EXPECT_EQ(readText(*in, 100), "456789");
  EXPECT_EQ(in->getPosition(), 10);
  EXPECT_EQ(readText(*in, 100, false), "");
  EXPECT_EQ(in->getPosition(), 10);

  EXPECT_TRUE(in->seekTo(2));
  EXPECT_EQ(readText(*in, 3), "234");
  EXPECT_TRUE(in->seekBackward(4));
  EXPECT_EQ(readText(*in, 2), "12");
  EXPECT_FALSE(in->seekBackward(4));
  EXPECT_FALSE(in->seekTo(-1));
  EXPECT_EQ(in->getPosition(), 3);
  EXPECT_EQ(readText(*in, 0, false), "");  // nothing asked, nothing read
  EXPECT_TRUE(in->seekToEnd());
  EXPECT_EQ(in->getPosition(), 10);
  EXPECT_EQ(readText(*in, 1, false), "");
  EXPECT_TRUE(in->seekForward(5));
  EXPECT_EQ(in->getPosition(), 15);
  EXPECT_EQ(readText(*in, 1, false), "");

  EXPECT_TRUE(in->seekToStart());
  char buffer[64];
  EXPECT_EQ(in->readFully(buffer, sizeof buffer), 10u);
  EXPECT_EQ(std::string(buffer, 10), "0123456789");
  EXPECT_TRUE(in->seekTo(7));
  EXPECT_EQ(in->readFully(buffer, 2), 2u);
  EXPECT_EQ(std::string(buffer, 2), "78");
  EXPECT_TRUE(in->close());
  EXPECT_EQ(in->getPosition(), 0);
}

// Every operation on a stream without an open file fails harmlessly.
void expectClosedOutput(FileOutputStream& out) {
  std::size_t written = 77;
  EXPECT_FALSE(out.isOpen());
  EXPECT_FALSE(out.write("x", 1, &written));
  EXPECT_EQ(written, 0u);
  EXPECT_FALSE(out.write("", 0, nullptr));
  EXPECT_FALSE(out.flush());
  EXPECT_FALSE(out.setEnd());
  EXPECT_FALSE(out.seekToStart());
  EXPECT_FALSE(out.seekToEnd());
  EXPECT_FALSE(out.seekTo(1));
  EXPECT_FALSE(out.seekForward(1));
  EXPECT_FALSE(out.seekBackward(0));
  EXPECT_EQ(out.getPosition(), 0);
}

void expectClosedInput(FileInputStream& in) {
  char byte = 0;
  std::size_t got = 77;
  EXPECT_FALSE(in.isOpen());
  EXPECT_FALSE(in.read(&byte, 1, &got));
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(in.readFully(&byte, 1), 0u);
  EXPECT_FALSE(in.seekToStart());
  EXPECT_FALSE(in.seekToEnd());
  EXPECT_FALSE(in.seekTo(1));
  EXPECT_FALSE(in.seekForward(1));
  EXPECT_FALSE(in.seekBackward(0));
  EXPECT_EQ(in.getPosition(), 0);
}

TEST_F(Streams, ClosedAndFailedStreamsReportFalse) {
  ASSERT_TRUE(writeRaw(temp.at("file"), "data"));
  ASSERT_EQ(::mkdir(temp.at("folder").c_str(), 0777), 0);
  ASSERT_EQ(::mkfifo(temp.at("pipe").c_str(), 0666), 0);

  {
    SCOPED_TRACE("never opened");
    expectClosedOutput(*obtainOwned<FileOutputStream>());
    expectClosedInput(*obtainOwned<FileInputStream>());
  }
  for (const char* name : {"folder", "file/below", "missing/below", ""}) {
    SCOPED_TRACE(std::string("output on ") + name);
    auto out = obtainOwned<FileOutputStream>();
    EXPECT_FALSE(out->open(*name ? temp.at16(name) : u"", false));
    expectClosedOutput(*out);
  }
  for (const char* name : {"folder", "missing", "pipe", ""}) {
    SCOPED_TRACE(std::string("input on ") + name);
    auto in = obtainOwned<FileInputStream>();
    EXPECT_FALSE(in->open(*name ? temp.at16(name) : u""));
    expectClosedInput(*in);
  }
  {
    SCOPED_TRACE("after close");
    auto out = obtainOwned<FileOutputStream>();
    ASSERT_TRUE(out->open(temp.at16("out"), false));
    EXPECT_TRUE(out->close());
    expectClosedOutput(*out);
    EXPECT_TRUE(out->close());
    auto in = obtainOwned<FileInputStream>();
    ASSERT_TRUE(in->open(temp.at16("file")));
    EXPECT_TRUE(in->close());
    expectClosedInput(*in);
  }
}

TEST_F(Streams, OpeningAgainClosesThePreviousFileWithItsPendingBytes) {
  auto out = obtainOwned<FileOutputStream>();
  ASSERT_TRUE(out->open(temp.at16("first"), false));
  ASSERT_TRUE(writeText(*out, "kept"));
  EXPECT_FALSE(out->open(temp.at16("no/such/folder"), false));
  EXPECT_EQ(readRaw(temp.at("first")), "kept");
  expectClosedOutput(*out);

  ASSERT_TRUE(writeRaw(temp.at("a"), "AAA"));
  ASSERT_TRUE(writeRaw(temp.at("b"), "B"));
  auto in = obtainOwned<FileInputStream>();
  ASSERT_TRUE(in->open(temp.at16("a")));
  EXPECT_TRUE(in->seekTo(2));
  ASSERT_TRUE(in->open(temp.at16("b")));
  EXPECT_EQ(in->getPosition(), 0);
  char byte = 0;
  EXPECT_EQ(in->readFully(&byte, 1), 1u);
  EXPECT_EQ(byte, 'B');
}

TEST_F(Streams, RecyclingAnOpenOutputStreamStoresItsPendingBytes) {
  FileOutputStream* out = FileOutputStream::obtain();
  ASSERT_NE(out, nullptr);
  ASSERT_TRUE(out->open(temp.at16("recycled"), false));
  ASSERT_TRUE(writeText(*out, "abc"));
  out->recycle();
  EXPECT_EQ(readRaw(temp.at("recycled")), "abc");

  auto again = obtainOwned<FileOutputStream>();
  expectClosedOutput(*again);
  EXPECT_EQ(again->getSystemWriteCount(), 0u);
}

TEST_F(Streams, FailedFileWriteClosesTheStreamAndIsReportedByClose) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full on this system";
  const std::string block(kBlock - 1, 'x');
  auto out = obtainOwned<FileOutputStream>();
  ASSERT_TRUE(out->open(u"/dev/full", false));
  ASSERT_TRUE(writeText(*out, block));  // still in the buffer
  std::size_t written = 77;
  EXPECT_FALSE(out->write("yz", 2, &written));  // fills the buffer: the device is full
  EXPECT_EQ(written, 0u);
  expectClosedOutput(*out);
  EXPECT_FALSE(out->close());
  EXPECT_TRUE(out->close());  // the failure was reported once

  ASSERT_TRUE(out->open(u"/dev/full", false));
  ASSERT_TRUE(writeText(*out, "pending"));
  EXPECT_FALSE(out->flush());
  EXPECT_FALSE(out->isOpen());
  EXPECT_FALSE(out->close());

  ASSERT_TRUE(out->open(u"/dev/full", false));
  ASSERT_TRUE(writeText(*out, "pending"));
  EXPECT_FALSE(out->close());
}

TEST_F(Streams, NewFilesAppearWholeOnlyWhenCommitted) {
  auto path = obtainOwned<PathWin>();
  path->setPathUtf8(temp.at("new.bin"));
  auto out = obtainOwned<FileOutputStream>();
  ASSERT_TRUE(out->openNew(*path));
  const std::string bytes = pattern(kBlock + 10);
  ASSERT_TRUE(writeText(*out, bytes));  // one block has gone to the disk
  // Until the commit nothing is named after the target, and nothing else
  // shows in the folder.
  EXPECT_EQ(sizeOnDisk(temp.at("new.bin")), -1);
  EXPECT_EQ(listFolder(temp.path()), std::vector<std::string>{});
  EXPECT_TRUE(out->commit());
  EXPECT_FALSE(out->isOpen());
  EXPECT_EQ(readRaw(temp.at("new.bin")), bytes);

  // Closed without a commit: dropped.
  path->setPathUtf8(temp.at("dropped.bin"));
  ASSERT_TRUE(out->openNew(*path));
  ASSERT_TRUE(writeText(*out, bytes));
  EXPECT_FALSE(out->close());
  EXPECT_EQ(listFolder(temp.path()), std::vector<std::string>{"new.bin"});

  // A folder that does not exist takes no new file.
  path->setPathUtf8(temp.at("missing/x.bin"));
  EXPECT_FALSE(out->openNew(*path));
  EXPECT_FALSE(out->isOpen());
}

TEST_F(Streams, ACommitNeverReplacesAFile) {
  ASSERT_TRUE(writeRaw(temp.at("taken.bin"), "old"));
  auto path = obtainOwned<PathWin>();
  path->setPathUtf8(temp.at("taken.bin"));
  auto out = obtainOwned<FileOutputStream>();
  ASSERT_TRUE(out->openNew(*path));
  ASSERT_TRUE(writeText(*out, "new"));
  EXPECT_FALSE(out->commit());
  EXPECT_FALSE(out->isOpen());
  EXPECT_EQ(readRaw(temp.at("taken.bin")), "old");
  EXPECT_EQ(listFolder(temp.path()), std::vector<std::string>{"taken.bin"});
}

TEST_F(Streams, AFailedWriteLeavesNoNewFile) {
  // A file system that runs out of room is stood in for by a size limit
  // on the process: the write past it fails.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{kBlock, kBlock};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    auto path = obtainOwned<PathWin>();
    path->setPathUtf8(temp.at("full.bin"));
    FileOutputStream out;
    if (!out.openNew(*path)) ::_exit(2);
    const std::string bytes = pattern(3 * kBlock);
    const bool wrote = writeText(out, bytes);
    const bool committed = out.commit();
    ::_exit(!wrote && !committed ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(listFolder(temp.path()), std::vector<std::string>{});
}

TEST_F(Streams, AKilledWriterLeavesNoFile) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto path = obtainOwned<PathWin>();
    path->setPathUtf8(temp.at("killed.bin"));
    FileOutputStream out;
    if (out.openNew(*path)) {
      const std::string bytes = pattern(3 * kBlock);
      writeText(out, bytes);
    }
    ::raise(SIGKILL);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(listFolder(temp.path()), std::vector<std::string>{});
}

}  // namespace

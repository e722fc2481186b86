#include "platform/file.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "test_support.h"

namespace velmor::platform {
namespace {

using test::ReadFileOrEmpty;
using test::TempFolder;
using test::WriteFileOrFail;

int64_t WriteText(File* file, const std::string& text) {
  return file->Write(text.data(), text.size());
}

TEST(FileTest, CreateTruncatesAndWrites) {
  TempFolder temp;
  const std::string path = temp.Join("out.bin");
  WriteFileOrFail(path, "old content that must go");
  File file;
  ASSERT_TRUE(file.Open(path, File::Mode::kCreate));
  EXPECT_TRUE(file.IsOpen());
  EXPECT_EQ(file.Size(), 0);
  EXPECT_EQ(WriteText(&file, "hello"), 5);
  EXPECT_EQ(file.Size(), 5);
  EXPECT_TRUE(file.Flush());
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(ReadFileOrEmpty(path), "hello");
}

TEST(FileTest, AppendSharedKeepsContentAndLetsOthersRead) {
  TempFolder temp;
  const std::string path = temp.Join("log.txt");
  WriteFileOrFail(path, "line 1\n");
  File writer;
  ASSERT_TRUE(writer.Open(path, File::Mode::kAppendShared));
  EXPECT_EQ(WriteText(&writer, "line 2\n"), 7);
  ASSERT_TRUE(writer.Flush());

  // A reader opens the file while the writer still has it.
  File reader;
  ASSERT_TRUE(reader.Open(path, File::Mode::kRead));
  char buffer[64];
  const int64_t got = reader.Read(buffer, sizeof(buffer));
  ASSERT_EQ(got, 14);
  EXPECT_EQ(std::string(buffer, 14), "line 1\nline 2\n");
  EXPECT_EQ(reader.Read(buffer, sizeof(buffer)), 0);  // the end

  writer.Close();
  ASSERT_TRUE(writer.Open(path, File::Mode::kAppendShared));
  EXPECT_EQ(WriteText(&writer, "line 3\n"), 7);
  writer.Close();
  EXPECT_EQ(ReadFileOrEmpty(path), "line 1\nline 2\nline 3\n");

  ASSERT_TRUE(writer.Open(temp.Join("new.txt"), File::Mode::kAppendShared));
  EXPECT_EQ(writer.Size(), 0);
}

TEST(FileTest, SeeksAndReads) {
  TempFolder temp;
  const std::string path = temp.Join("data.bin");
  WriteFileOrFail(path, "0123456789");
  File file;
  ASSERT_TRUE(file.Open(path, File::Mode::kRead));
  EXPECT_EQ(file.Size(), 10);
  ASSERT_TRUE(file.Seek(7));
  char buffer[8] = {};
  EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 3);
  EXPECT_EQ(std::string(buffer, 3), "789");
  ASSERT_TRUE(file.Seek(0));
  EXPECT_EQ(file.Read(buffer, 2), 2);
  EXPECT_EQ(std::string(buffer, 2), "01");
  ASSERT_TRUE(file.SeekToEnd());
  EXPECT_EQ(file.Read(buffer, sizeof(buffer)), 0);
  EXPECT_FALSE(file.Seek(-1));
  // Writing to a file opened for reading fails without harm.
  EXPECT_EQ(file.Write("x", 1), -1);
  file.Close();
  EXPECT_EQ(ReadFileOrEmpty(path), "0123456789");
}

TEST(FileTest, FailuresAreReported) {
  TempFolder temp;
  File file;
  EXPECT_FALSE(file.Open(temp.Join("missing"), File::Mode::kRead));
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.Open(temp.Join("no/folder/file"), File::Mode::kCreate));
  EXPECT_FALSE(file.Open(temp.path(), File::Mode::kCreate));
  char byte;
  EXPECT_EQ(file.Read(&byte, 1), -1);
  EXPECT_EQ(file.Write("x", 1), -1);
  EXPECT_EQ(file.Size(), -1);
  EXPECT_FALSE(file.Flush());
}

TEST(FileTest, MovesOwnership) {
  TempFolder temp;
  File first;
  ASSERT_TRUE(first.Open(temp.Join("moved.txt"), File::Mode::kCreate));
  File second(std::move(first));
  EXPECT_FALSE(first.IsOpen());
  ASSERT_TRUE(second.IsOpen());
  File third;
  third = std::move(second);
  EXPECT_FALSE(second.IsOpen());
  EXPECT_EQ(WriteText(&third, "ok"), 2);
  third.Close();
  EXPECT_EQ(ReadFileOrEmpty(temp.Join("moved.txt")), "ok");
}

}  // namespace
}  // namespace velmor::platform

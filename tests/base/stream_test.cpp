#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/exception.h"
#include "base/file_stream.h"
#include "base/memory_stream.h"
#include "base/string_stream.h"
#include "tests/support/temp_dir.h"

template <typename S>
class StreamTest : public ::testing::Test {};

using MemoryStreams = ::testing::Types<TMemoryStream, TStringStream>;
TYPED_TEST_SUITE(StreamTest, MemoryStreams);

TYPED_TEST(StreamTest, WriteSeekReadAndResize) {
  TypeParam s;
  s.WriteBuffer("hello", 5);
  EXPECT_EQ(s.Size(), 5);
  s.SetPosition(10);
  s.WriteBuffer("!", 1);  // a gap is zero-filled
  EXPECT_EQ(s.Size(), 11);
  s.SetPosition(0);
  char buf[11];
  s.ReadBuffer(buf, 11);
  EXPECT_EQ(std::string(buf, 11), std::string("hello\0\0\0\0\0!", 11));
  EXPECT_THROW(s.ReadBuffer(buf, 1), EReadError);
  s.SetSize(3);
  EXPECT_EQ(s.Size(), 3);
  EXPECT_EQ(s.Position(), 3);
}

TYPED_TEST(StreamTest, NothingIsReadBeforeTheStart) {
  TypeParam s;
  s.WriteBuffer("hello", 5);
  s.SetPosition(-3);
  char buf[8] = {};
  EXPECT_EQ(s.Read(buf, 8), 0);
  EXPECT_EQ(s.Position(), -3);
}

TEST(FileStreamTest, CreateWriteReopenRead) {
  TempDir dir;
  const std::string path = dir.Path() + "/f.bin";
  {
    TFileStream f(path, TFileMode::fmCreate);
    f.WriteBuffer("abcdef", 6);
    f.SetSize(4);
  }
  TFileStream f(path, TFileMode::fmOpenRead);
  EXPECT_EQ(f.Size(), 4);
  char buf[4];
  f.ReadBuffer(buf, 4);
  EXPECT_EQ(std::string(buf, 4), "abcd");
}

TEST(FileStreamTest, FailuresNameTheFileAndTheReason) {
  TempDir dir;
  try {
    TFileStream f(dir.Path() + "/missing/x", TFileMode::fmCreate);
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(),
              "Cannot create file \"" + dir.Path() + "/missing/x\". No such file or directory");
  }
  EXPECT_THROW(TFileStream(dir.Path() + "/none", TFileMode::fmOpenRead), EFOpenError);
  EXPECT_THROW(TFileStream(dir.Path(), TFileMode::fmOpenRead), EFOpenError);
}

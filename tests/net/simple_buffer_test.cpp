#include "net/simple_buffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/memory_io_handler.h"

namespace {

std::string Contents(const TNetSimpleBuffer& b) {
  return std::string(b.Memory(), static_cast<size_t>(b.Size()));
}

}  // namespace

TEST(SimpleBuffer, StreamOperationsAndAppend) {
  TNetSimpleBuffer b;
  b.WriteBuffer("hello", 5);
  b.SetPosition(1);
  b.WriteBuffer("E", 1);
  b.Append("!", 1);  // at the end whatever the position
  EXPECT_EQ(Contents(b), "hEllo!");
  EXPECT_EQ(b.Position(), 2);
  b.SetPosition(8);
  b.WriteBuffer("x", 1);  // a gap is zero-filled
  EXPECT_EQ(Contents(b), std::string("hEllo!\0\0x", 9));
  b.SetSize(3);
  EXPECT_EQ(Contents(b), "hEl");
  char out[3];
  b.SetPosition(0);
  EXPECT_EQ(b.Read(out, 10), 3);
}

TEST(SimpleBuffer, RemoveMovesTheRestForwardAndReports) {
  TNetSimpleBuffer b;
  std::vector<std::string> seen;
  b.OnBytesRemoved = [&](TObject* sender, int64_t count) {
    seen.push_back(std::to_string(count) + " " + Contents(*static_cast<TNetSimpleBuffer*>(sender)));
  };
  b.Append("abcdefgh", 8);
  b.SetPosition(5);
  b.Remove(2);
  EXPECT_EQ(Contents(b), "cdefgh");
  EXPECT_EQ(b.Position(), 3);
  EXPECT_EQ(b.Extract(3), "cde");
  char two[2];
  b.ExtractTo(two, 2);
  EXPECT_EQ(std::string(two, 2), "fg");
  EXPECT_EQ(seen, (std::vector<std::string>{"2 cdefgh", "3 fgh", "2 h"}));

  const std::string tooMuch = "ENetNotEnoughDataInBuffer: Not enough data in buffer.";
  EXPECT_EQ(ErrorOf([&] { b.Remove(2); }), tooMuch);
  EXPECT_EQ(ErrorOf([&] { b.Extract(2); }), tooMuch);
  EXPECT_EQ(ErrorOf([&] { b.ExtractTo(two, 2); }), tooMuch);
  EXPECT_EQ(Contents(b), "h");
  b.Clear();  // no report
  EXPECT_EQ(b.Size(), 0);
  EXPECT_EQ(seen.size(), 3u);
}

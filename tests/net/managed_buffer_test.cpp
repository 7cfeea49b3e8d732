#include "net/managed_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace {

std::string Contents(const TNetManagedBuffer& b) {
  return std::string(b.Memory(), static_cast<size_t>(b.Size()));
}

}  // namespace

TEST(ManagedBuffer, ConsumedPrefixIsInvisibleAndMovedOnceAtTheThreshold) {
  TNetManagedBuffer b;
  int64_t reported = 0;
  b.OnBytesRemoved = [&](TObject*, int64_t count) { reported += count; };
  const std::string data(40000, 'x');
  b.Append(data.data(), 40000);
  b.Append("tail", 4);
  b.Remove(32767);
  EXPECT_EQ(b.Consumed(), 32767);  // no copy yet
  EXPECT_EQ(b.Size(), 40004 - 32767);
  b.SetPosition(0);
  char first;
  b.Read(&first, 1);
  EXPECT_EQ(first, 'x');
  b.Remove(1);
  EXPECT_EQ(b.Consumed(), 0);  // the threshold moves the rest to the front
  EXPECT_EQ(b.Size(), 40004 - 32768);
  b.Remove(b.Size() - 4);
  EXPECT_EQ(Contents(b), "tail");
  b.Append("!", 1);  // appending goes to the physical end
  EXPECT_EQ(Contents(b), "tail!");
  b.Remove(5);  // everything removed: simply emptied
  EXPECT_EQ(b.Consumed(), 0);
  EXPECT_EQ(b.Size(), 0);
  EXPECT_EQ(reported, 40005);
  b.Append("ab", 2);
  b.Clear();
  EXPECT_EQ(reported, 40005);
}

// Random appends (also received in place), removals and reads against a plain string.
TEST(ManagedBuffer, AgreesWithAModelUnderRandomUse) {
  std::mt19937 random(7);
  TNetManagedBuffer b;
  std::string model;
  int64_t reported = 0, removed = 0, lastConsumed = 0, moves = 0;
  b.OnBytesRemoved = [&](TObject*, int64_t count) { reported += count; };
  for (int step = 0; step < 5000; ++step) {
    const int n = static_cast<int>(random() % 9000);
    std::string bytes(static_cast<size_t>(n), static_cast<char>('a' + step % 26));
    switch (random() % 4) {
      case 0:
        b.Append(bytes.data(), n);
        model += bytes;
        break;
      case 1: {
        char* tail = b.Reserve(n + 100);
        std::memcpy(tail, bytes.data(), bytes.size());
        b.Commit(n);
        model += bytes;
        break;
      }
      default: {
        const int64_t count = std::min<int64_t>(n + n / 4, b.Size());
        b.Remove(count);
        model.erase(0, static_cast<size_t>(count));
        removed += count;
      }
    }
    ASSERT_EQ(b.Size(), static_cast<int64_t>(model.size())) << step;
    ASSERT_LT(b.Consumed(), TNetManagedBuffer::CompactThreshold);
    if (b.Consumed() < lastConsumed && b.Size() > 0) ++moves;  // the rest was moved forward
    lastConsumed = b.Consumed();
    ASSERT_TRUE(Contents(b) == model) << step;
  }
  EXPECT_EQ(reported, removed);
  EXPECT_GT(moves, 0);
}

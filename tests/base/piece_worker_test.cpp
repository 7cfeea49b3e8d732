#include "base/piece_worker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/exception.h"

namespace {

TEST(PieceWorker, HandlesPiecesInOrderUntilTheFirstFailure) {
  const struct {
    size_t MaxWaiting;
    int Pieces;
    int FailAt;  // -1: none fails
  } rows[] = {
      {TPieceWorker::kNoLimit, 0, -1},
      {TPieceWorker::kNoLimit, 50, -1},
      {1, 50, -1},
      {2, 50, 0},
      {3, 50, 17},
      {TPieceWorker::kNoLimit, 50, 49},
  };
  for (const auto& row : rows) {
    std::vector<std::string> handled;
    int seen = 0;
    TPieceWorker worker(
        [&handled, &seen, &row](std::string& piece) {
          handled.push_back(piece);
          if (seen++ == row.FailAt) throw EConvertError("bad piece");
        },
        row.MaxWaiting);
    std::vector<std::string> expected;
    for (int i = 0; i < row.Pieces; ++i) {
      const std::string piece = "piece " + std::to_string(i) + std::string(100, 'x');
      if (row.FailAt < 0 || i <= row.FailAt) expected.push_back(piece);
      worker.Hand(piece);
    }
    if (row.FailAt >= 0)
      EXPECT_THROW(worker.Finish(), EConvertError) << row.FailAt;
    else
      EXPECT_NO_THROW(worker.Finish());
    EXPECT_EQ(handled, expected) << row.Pieces << " " << row.FailAt;
    // The failure is told once; the worker takes pieces again.
    handled.clear();
    worker.Hand("again");
    EXPECT_NO_THROW(worker.Finish());
    EXPECT_EQ(handled, std::vector<std::string>{"again"});
  }
}

TEST(PieceWorker, GivesBackTheRoomOfHandledPiecesAndForgetsADiscardedFailure) {
  TPieceWorker worker([](std::string& piece) { throw EConvertError(piece); }, 2);
  EXPECT_EQ(worker.Spare().capacity(), std::string().capacity());
  std::string piece(1 << 16, 'a');
  worker.Hand(piece);
  worker.Discard();
  EXPECT_NO_THROW(worker.Finish());
  // The bytes of a handled piece are gone; its room stays for the next one.
  worker.Hand(piece);
  EXPECT_THROW(worker.Finish(), EConvertError);
  const std::string spare = worker.Spare();
  EXPECT_TRUE(spare.empty());
  EXPECT_GE(spare.capacity(), piece.size());
}

}  // namespace

#include "net/socket_list.h"

#include <gtest/gtest.h>

#include "base/net_exceptions.h"

namespace {

TEST(SocketList, HoldsAtMost64HandlesAndFillsGapsFromTheEnd) {
  auto list = TNetSocketList::CreateSocketList();
  ASSERT_NE(dynamic_cast<TNetSocketListPosix*>(list.get()), nullptr);
  for (int i = 0; i < 64; ++i)
    list->Add(100 + i);
  EXPECT_EQ(list->Count(), 64);
  try {
    list->Add(999);
    FAIL() << "no exception";
  } catch (const ENetStackSetSizeExceeded& e) {
    EXPECT_EQ(e.Message(), "Set Size Exceeded.");
  }
  EXPECT_EQ(list->Count(), 64);

  list->Remove(101);
  EXPECT_EQ(list->Count(), 63);
  EXPECT_EQ(list->Items(1), 163);  // the last one moved into the gap
  EXPECT_FALSE(list->Contains(101));
  EXPECT_TRUE(list->Contains(163));
  list->Remove(4242);  // not listed: nothing happens
  EXPECT_EQ(list->Count(), 63);

  EXPECT_THROW(list->Items(63), ENetStackSetSizeExceeded);
  EXPECT_THROW(list->Items(-1), ENetStackSetSizeExceeded);
  list->Clear();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_THROW(list->Items(0), ENetStackSetSizeExceeded);
}

}  // namespace

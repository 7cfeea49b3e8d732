#include "tests/support/memory_io_handler.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "base/net_exceptions.h"
#include "net/stack.h"

TEST(MemoryIOHandler, ScriptsPerConnection) {
  TMemoryIOHandler h;
  h.Arrive("abc").Silence().PeerClose().NextConnection().Arrive("second").ReceiveError(10054);
  char buffer[8];
  EXPECT_EQ(ErrorOf([&] { h.ReceiveSome(buffer, 8); }), "ENetClosedSocket: Disconnected.");
  h.ConnectToPeer("host", 80, "", 0, 0, 0, -1);
  EXPECT_TRUE(h.WaitReadable(0));
  EXPECT_EQ(h.ReceiveSome(buffer, 2), 2);  // at most what was asked for
  EXPECT_EQ(h.Unread(), "c");
  EXPECT_EQ(h.ReceiveSome(buffer, 8), 1);
  EXPECT_FALSE(h.WaitReadable(100));  // the silence
  EXPECT_TRUE(h.WaitReadable(100));
  EXPECT_EQ(h.ReceiveSome(buffer, 8), 0);
  EXPECT_EQ(h.ReceiveSome(buffer, 8), 0);  // a close stays
  EXPECT_EQ(h.WaitTimeouts, (std::vector<int>{0, 100, 100}));

  h.CloseHandler();
  h.ConnectToPeer("host", 80, "", 0, 0, 0, -1);
  EXPECT_EQ(h.ReceiveSome(buffer, 8), 6);
  EXPECT_EQ(h.ReceiveSome(buffer, 8), -1);
  EXPECT_EQ(GlobalStack->LastErrorCode(), 10054);
  EXPECT_FALSE(h.WaitReadable(0));  // the script is used up
  EXPECT_THROW(h.ReceiveSome(buffer, 8), std::logic_error);
  h.AtEnd = TMemoryIOHandler::TAtEnd::aePeerClose;
  EXPECT_EQ(h.ReceiveSome(buffer, 8), 0);
  EXPECT_EQ(h.Connects.size(), 2u);
}

TEST(MemoryIOHandler, SendsAndInjectedFailures) {
  TMemoryIOHandler h;
  h.Open();
  h.MaxSend = 3;
  h.SendResult(2, 0).SendResult(3, -1, 10053);
  std::string answered;
  h.OnSent = [&](const std::string& bytes) { answered += bytes; };
  EXPECT_EQ(h.SendSome("hello", 5), 3);
  EXPECT_EQ(h.SendSome("lo", 2), 0);
  EXPECT_EQ(h.SendSome("lo", 2), -1);
  EXPECT_EQ(GlobalStack->LastErrorCode(), 10053);
  EXPECT_EQ(h.SendSome("lo", 2), 2);
  EXPECT_EQ(h.Sent, "hello");
  EXPECT_EQ(h.SentBlocks, (std::vector<std::string>{"hel", "lo"}));
  EXPECT_EQ(answered, "hello");

  h.FailAt = h.Operations + 2;
  h.Arrive("x");
  EXPECT_TRUE(h.WaitReadable(0));
  EXPECT_EQ(ErrorOf([&] { h.WaitReadable(0); }),
            "ENetSocketError: " + GlobalStack->ErrorText(10054));
  EXPECT_TRUE(h.WaitReadable(0));
}

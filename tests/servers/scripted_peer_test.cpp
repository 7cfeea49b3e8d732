#include "tests/support/scripted_peer.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/generated_bytes.h"
#include "tests/support/http_text.h"

using namespace std::chrono_literals;

namespace {

const std::string kRequest = "GET /a HTTP/1.1\r\nHost: x\r\n\r\n";

}  // namespace

TEST(ScriptedPeerTest, AnswersEachRequestOfAKeptConnectionAndRecordsTheBytes) {
  ScriptedPeer peer([](PeerConnection& c) {
    for (int i = 0; i < 2; ++i) {
      c.ReceiveUntil("\r\n\r\n");
      c.Send(HttpResponse(200, "OK", {}, "body" + std::to_string(i)));
    }
  });
  auto client = TcpChannel::Connect(peer.Port());
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(client->Send(kRequest));
    EXPECT_EQ(client->ReceiveUntil("\r\n\r\n"), "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n");
    EXPECT_EQ(client->ReceiveExactly(5), "body" + std::to_string(i));
  }
  EXPECT_TRUE(client->WaitForClose(2s));  // the script ended: the peer closes
  client->Close();
  ASSERT_TRUE(peer.WaitUntilIdle());
  EXPECT_EQ(peer.ConnectionCount(), 1);
  EXPECT_EQ(peer.Received(0), kRequest + kRequest);
  EXPECT_EQ(peer.Received(1), "");
  EXPECT_TRUE(peer.Failures().empty());
}

TEST(ScriptedPeerTest, ServesConnectionsOneAfterAnotherWithTheirIndex) {
  ScriptedPeer peer([](PeerConnection& c) {
    c.ReceiveExactly(1);
    c.Send(std::to_string(c.Index()));
    c.Close();
  });
  for (int i = 0; i < 3; ++i) {
    auto client = TcpChannel::Connect(peer.Port());
    client->Send("x");
    EXPECT_EQ(client->ReceiveUntilClosed(), std::to_string(i));
  }
  EXPECT_TRUE(peer.WaitForConnections(3, 1s));
  EXPECT_EQ(peer.ConnectionCount(), 3);
}

TEST(ScriptedPeerTest, PiecesArriveSeparatelyAndInOrder) {
  const std::string text = "HTTP/1.1 200 OK\r\n\r\n";
  ScriptedPeer peer([&](PeerConnection& c) {
    c.SendSplitAt(text, {3, 9}, 300ms);
    c.SendInPieces("abcdef", 4, 100ms);
    c.SendGenerated(1000, 70000);
    c.ShutdownWrite();
    c.WaitForClose();
  });
  auto client = TcpChannel::Connect(peer.Port());
  // The second piece must not be there before its pause has passed.
  EXPECT_EQ(client->ReceiveExactly(3, 1s), "HTT");
  std::string more;
  EXPECT_FALSE(client->TryReceiveExactly(1, &more, 50ms));
  EXPECT_EQ(client->ReceiveExactly(text.size() - 3 + 6, 2s), text.substr(3) + "abcdef");
  EXPECT_EQ(client->ReceiveUntilClosed(), GeneratedBytes(1000, 70000));
}

TEST(ScriptedPeerTest, ResetAndSilenceAreSeenByTheClient) {
  ScriptedPeer peer([](PeerConnection& c) {
    if (c.Index() == 0) {
      c.StaySilent(300ms);
      c.Send("late");
    } else {
      c.ReceiveExactly(2);
      c.Reset();
    }
  });
  auto silent = TcpChannel::Connect(peer.Port());
  std::string got;
  EXPECT_FALSE(silent->TryReceiveExactly(1, &got, 150ms));
  EXPECT_EQ(silent->ReceiveExactly(4, 1s), "late");

  auto reset = TcpChannel::Connect(peer.Port());
  reset->Send("hi");
  EXPECT_TRUE(reset->WaitForClose(2s));
  EXPECT_TRUE(reset->PeerClosed());
}

TEST(ScriptedPeerTest, StopsPromptlyWithAClientStillConnectedAndAScriptWaiting) {
  auto peer = std::make_unique<ScriptedPeer>([](PeerConnection& c) {
    c.StaySilent(60s);
    c.ReceiveUntil("never", 60s);
  });
  auto first = TcpChannel::Connect(peer->Port());
  auto second = TcpChannel::Connect(peer->Port());
  ASSERT_TRUE(peer->WaitForConnections(2));
  const auto start = std::chrono::steady_clock::now();
  peer.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_TRUE(first->WaitForClose(1s));
}

TEST(ScriptedPeerTest, AScriptThatFailsIsATestFailure) {
  std::unique_ptr<ScriptedPeer> peer;
  EXPECT_NONFATAL_FAILURE_ON_ALL_THREADS(
      {
        peer = std::make_unique<ScriptedPeer>(
            [](PeerConnection& c) { c.ReceiveUntil("\r\n\r\n", 2s); });
        auto client = TcpChannel::Connect(peer->Port());
        client->Send("GET / HTTP/1.1\r\n");
        client->Close();
        // Counted first, so that idle means its script has ended.
        peer->WaitForConnections(1);
        peer->WaitUntilIdle();
      },
      "scripted peer, connection 0: closed before");
  ASSERT_EQ(peer->Failures().size(), 1u);
  EXPECT_NE(peer->Failures()[0].find("pending: \"GET / HTTP/1.1\\r\\n\""), std::string::npos)
      << peer->Failures()[0];
}

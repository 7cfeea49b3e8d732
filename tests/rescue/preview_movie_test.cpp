#include "rescue/preview_movie.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "base/net_exceptions.h"
#include "http/http.h"
#include "net/cancel_switch.h"
#include "rescue/stored_client_settings.h"
#include "tests/support/generated_bytes.h"
#include "tests/support/http_text.h"
#include "tests/support/movie_page.h"
#include "tests/support/nginx_server.h"
#include "tests/support/scripted_peer.h"

namespace {

using namespace std::chrono_literals;

struct Fetched {
  std::string body;
  std::string errorClass;
  std::string message;
};

Fetched Fetch(TNetHTTP& http, const std::string& address, int64_t limit,
              const std::string& referer = "http://127.0.0.1/page.html") {
  TNetCancelSwitch cancel;
  Fetched out;
  try {
    out.body = FetchPreviewMovie(http, address, referer, cancel, limit);
  } catch (const Exception& e) {
    out.errorClass = e.ClassName();
    out.message = e.Message();
  }
  return out;
}

TEST(PreviewMovieBound, TheWriteThatWouldCrossTheLimitFailsAndWritesNothing) {
  struct Row {
    std::vector<size_t> writes;
    int64_t limit;
    size_t kept;  // bytes in the stream afterwards
    bool fails;
  } rows[] = {
      {{10}, 10, 10, false},     {{11}, 10, 0, true},   {{4, 6}, 10, 10, false},
      {{4, 6, 1}, 10, 10, true}, {{0, 0}, 0, 0, false}, {{1}, 0, 0, true},
      {{5, 3, 3}, 10, 8, true},
  };
  for (const Row& row : rows) {
    TBoundedStringStream stream(row.limit);
    bool failed = false;
    try {
      for (size_t count : row.writes)
        stream.WriteBuffer(std::string(count, 'x').data(), static_cast<int64_t>(count));
    } catch (const EPreviewMovieTooLarge& e) {
      failed = true;
      EXPECT_EQ(e.Message(), MovieTooLargeMessage(row.limit));
    }
    EXPECT_EQ(failed, row.fails) << row.limit;
    EXPECT_EQ(stream.DataString().size(), row.kept) << row.limit;
  }
  EXPECT_EQ(MovieTooLargeMessage(kPreviewMovieLimit),
            "The movie is larger than 256 MiB; it is not previewed.");
}

// What nginx answers, with a bound of 1000 bytes.
TEST(PreviewMovieFetch, TheBodyComesWholeWithinTheBoundAndFailsClearlyOtherwise) {
  NginxServer nginx;
  nginx.WriteFile("movies/red.swf", RedSwfBytes());
  nginx.WriteGeneratedFile("movies/exact.swf", 1000);
  nginx.WriteGeneratedFile("movies/over.swf", 1001);
  nginx.WriteGeneratedFile("chunked/over.swf", 5000);
  nginx.WriteGeneratedFile("chunked/within.swf", 900);
  nginx.AddChunkedLocation("/chunked/");
  nginx.Start();
  struct Row {
    const char* path;
    std::string body;  // when it succeeds
    const char* errorClass;
    std::string message;
  } rows[] = {
      {"/movies/red.swf", RedSwfBytes(), "", ""},
      {"/movies/exact.swf", GeneratedBytes(0, 1000), "", ""},
      {"/movies/over.swf", "", "EPreviewMovieTooLarge",
       "The movie is larger than 0 MiB; it is not previewed."},
      {"/chunked/within.swf", GeneratedBytes(0, 900), "", ""},
      {"/chunked/over.swf", "", "EPreviewMovieTooLarge",
       "The movie is larger than 0 MiB; it is not previewed."},
      {"/movies/missing.swf", "", "ENetHTTPProtocolException", "HTTP/1.1 404 Not Found"},
  };
  TNetHTTP http;
  ApplyStoredClientSettings(http);
  for (const Row& row : rows) {
    const Fetched got = Fetch(http, nginx.Url(row.path), 1000);
    EXPECT_EQ(got.errorClass, row.errorClass) << row.path << ": " << got.message;
    EXPECT_EQ(got.message, row.message) << row.path;
    EXPECT_EQ(got.body, row.body) << row.path;
    // Every fetch leaves the connection closed, the next one starts afresh.
    EXPECT_FALSE(http.IsConnected()) << row.path;
  }
  // The Referer went with every request; the client's own is given back.
  EXPECT_NE(nginx.AccessLog().find("\"http://127.0.0.1/page.html\""), std::string::npos);
  EXPECT_EQ(http.Request.Referer, "");
}

TEST(PreviewMovieFetch, AnAnnouncedLengthOverTheBoundIsRefusedBeforeTheBodyIsRead) {
  // The head promises 300 MiB, then nothing comes: reading it would hang.
  ScriptedPeer peer([](PeerConnection& c) {
    c.ReceiveUntil("\r\n\r\n");
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 314572800\r\n\r\nFWS");
    c.WaitForClose(5000ms);
  });
  TNetHTTP http;
  ApplyStoredClientSettings(http);
  const auto started = std::chrono::steady_clock::now();
  const Fetched got = Fetch(http, peer.Url("/big.swf"), kPreviewMovieLimit);
  EXPECT_EQ(got.errorClass, "EPreviewMovieTooLarge");
  EXPECT_EQ(got.message, "The movie is larger than 256 MiB; it is not previewed.");
  EXPECT_LT(std::chrono::steady_clock::now() - started, 3s);
  EXPECT_TRUE(peer.WaitUntilIdle());
  EXPECT_TRUE(peer.Failures().empty());
}

// Another thread cancels while the fetch waits: for a trickling body, a peer that went
// silent after its head, one that never answers the request, and before the fetch begins.
TEST(PreviewMovieFetch, ACancelFromAnotherThreadEndsTheFetchAndClosesItsConnection) {
  enum class Peer { trickle, silentAfterHead, silentBeforeHead };
  struct Row {
    const char* name;
    Peer peer;
    bool cancelFirst;
  } rows[] = {
      {"trickle", Peer::trickle, false},
      {"silent after head", Peer::silentAfterHead, false},
      {"silent before head", Peer::silentBeforeHead, false},
      {"cancelled before", Peer::trickle, true},
  };
  for (const Row& row : rows) {
    std::atomic<bool> closedByClient{false};
    ScriptedPeer peer([&row, &closedByClient](PeerConnection& c) {
      c.ReceiveUntil("\r\n\r\n");
      if (row.peer != Peer::silentBeforeHead)
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
      for (int i = 0; i < 200; ++i) {
        if (row.peer == Peer::trickle && !c.Send("x")) break;
        if (c.WaitForClose(50ms)) {
          closedByClient = true;
          return;
        }
      }
    });
    TNetHTTP http;
    ApplyStoredClientSettings(http);
    TNetCancelSwitch cancel;
    if (row.cancelFirst) cancel.Cancel();
    auto fetch = std::async(std::launch::async, [&] {
      std::string errorClass;
      try {
        FetchPreviewMovie(http, peer.Url("/slow.swf"), "", cancel);
      } catch (const Exception& e) {
        errorClass = e.ClassName();
      }
      return errorClass;
    });
    if (!row.cancelFirst) {
      ASSERT_TRUE(peer.WaitForConnections(1)) << row.name;
      std::this_thread::sleep_for(200ms);
      cancel.Cancel();
    }
    ASSERT_EQ(fetch.wait_for(3s), std::future_status::ready) << row.name;
    EXPECT_EQ(fetch.get(), "EPreviewCancelled") << row.name;
    if (row.cancelFirst) {
      EXPECT_EQ(peer.ConnectionCount(), 0) << row.name;
    } else {
      EXPECT_TRUE(peer.WaitUntilIdle(3000ms)) << row.name;
      EXPECT_TRUE(closedByClient) << row.name;
    }
    EXPECT_FALSE(http.IsConnected()) << row.name;
    EXPECT_TRUE(peer.Failures().empty()) << row.name;
  }
}

}  // namespace

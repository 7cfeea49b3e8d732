#include "rescue/transfer_progress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "base/string_stream.h"
#include "http/http.h"
#include "net/anti_freeze.h"
#include "tests/support/http_text.h"
#include "tests/support/memory_io_handler.h"
#include "tests/support/scripted_peer.h"

namespace {

using std::chrono::milliseconds;

// A clock that moves only when the test says so.
struct FakeClock {
  TTransferProgress::TClock::time_point now{};
  TTransferProgress::TNow Now() {
    return [this] { return now; };
  }
};

struct Rig {
  TMemoryIOHandler h;
  TNetHTTP http;
  FakeClock clock;
  std::vector<TTransferState> updates;

  Rig() {
    http.SetIOHandler(&h);
    h.AtEnd = TMemoryIOHandler::TAtEnd::aePeerClose;
  }
  void Get(TTransferProgress& progress, const std::string& address = "http://h/movie.swf") {
    progress.Start();
    TStringStream out;
    http.HttpGet(address, out);
    progress.Finish();
  }
};

TEST(TransferProgress, FollowsTheBodyOfEachFraming) {
  const std::string big(100000, 'm');
  struct Row {
    const char* name;
    std::vector<std::string> connections;  // what the server sends on each
    bool redirects;
    int64_t total;  // expected once the body began
    int64_t leastAtEnd, mostAtEnd;
  } rows[] = {
      {"by length", {HttpResponse(200, "OK", {}, big)}, false, 100000, 100000, 100000},
      // Nothing to read: no body begins, and the finish shows nothing known.
      {"empty", {HttpResponse(200, "OK", {}, "")}, false, -1, 0, 0},
      {"chunked",
       {ChunkedResponse(200, "OK", {}, {big.substr(0, 40000), big.substr(0, 35000), "tail"})},
       false,
       -1,
       75004,
       75004},
      // The connection reports the last piece before the close only to the stream.
      {"until the close",
       {HttpResponseText("HTTP/1.0 200 OK", {}, big.substr(0, 70000))},
       false,
       -1,
       32768,
       70000},
      // The body of the redirection is not the file's.
      {"after a redirection",
       {HttpResponse(302, "Found", {"Location: http://h/real.swf", "Connection: close"},
                     "moved elsewhere"),
        HttpResponse(200, "OK", {}, big.substr(0, 5000))},
       true,
       5000,
       5000,
       5000},
  };
  for (const Row& row : rows) {
    Rig r;
    r.http.HandleRedirects = row.redirects;
    for (size_t i = 0; i < row.connections.size(); ++i) {
      if (i > 0) r.h.NextConnection();
      r.h.ArriveInPieces(row.connections[i], 8192);
    }
    TTransferProgress progress(
        r.http, [&r](const TTransferState& s) { r.updates.push_back(s); }, milliseconds(0),
        r.clock.Now());
    r.Get(progress);
    ASSERT_FALSE(r.updates.empty()) << row.name;
    EXPECT_EQ(r.updates.back().Total, row.total) << row.name;
    EXPECT_GE(r.updates.back().Bytes, row.leastAtEnd) << row.name;
    EXPECT_LE(r.updates.back().Bytes, row.mostAtEnd) << row.name;
    // The counts of the body that counts never go back.
    for (size_t i = r.updates.size() - 1; i > 0 && r.updates[i - 1].Total == row.total; --i)
      EXPECT_LE(r.updates[i - 1].Bytes, r.updates[i].Bytes) << row.name << " at " << i;
  }
}

TEST(TransferProgress, UpdatesAreThrottledButBeginAndFinishAlwaysShow) {
  Rig r;
  r.h.ArriveInPieces(HttpResponse(200, "OK", {}, std::string(300000, 'x')), 4096);
  int seen = 0;
  TTransferProgress progress(
      r.http, [&](const TTransferState& s) { ++seen, r.updates.push_back(s); }, milliseconds(50),
      r.clock.Now());
  // The clock stands still: only the body's begin and the finish get through.
  r.Get(progress);
  ASSERT_EQ(seen, 2);
  EXPECT_EQ(r.updates[0].Bytes, 0);
  EXPECT_EQ(r.updates[0].Total, 300000);
  EXPECT_EQ(r.updates[1].Bytes, 300000);

  // With time passing, one update per interval at most.
  Rig later;
  later.h.ArriveInPieces(HttpResponse(200, "OK", {}, std::string(1000000, 'x')), 4096);
  std::vector<double> when;
  TTransferProgress timed(
      later.http,
      [&](const TTransferState& s) {
        when.push_back(s.Seconds);
        later.clock.now += milliseconds(20);
      },
      milliseconds(50), [&later] { return later.clock.now += milliseconds(10); });
  later.Get(timed);
  ASSERT_GT(when.size(), 3u);
  for (size_t i = 1; i + 1 < when.size(); ++i)
    EXPECT_GE(when[i] - when[i - 1], 0.050 - 1e-9) << i;
}

// Looks at the progress in every idle wait, as the window's timer does.
class RefreshingAntiFreeze : public TNetAntiFreezeBase {
 public:
  explicit RefreshingAntiFreeze(TTransferProgress& progress) : progress_(progress) {}
  void ProcessPending() override { progress_.Refresh(); }

 private:
  TTransferProgress& progress_;
};

TEST(TransferProgress, ARefreshCountsBytesThatWaitForTheRestOfTheirPiece) {
  ScriptedPeer peer([](PeerConnection& c) {
    std::string head;
    if (!c.TryReceiveUntil("\r\n\r\n", &head)) return;
    const std::string body(100000, 'b');
    // The body begins on an empty input buffer; its first bytes then wait there.
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n");
    c.StaySilent(milliseconds(100));
    c.Send(body.substr(0, 10000));
    c.StaySilent(milliseconds(300));
    c.Send(body.substr(10000));
  });
  TNetHTTP http;
  std::vector<TTransferState> updates;
  TTransferProgress progress(
      http, [&](const TTransferState& s) { updates.push_back(s); }, milliseconds(0));
  RefreshingAntiFreeze antiFreeze(progress);
  antiFreeze.IdleTimeOut = 50;
  progress.Start();
  TStringStream out;
  http.HttpGet(peer.Url("/movie.swf"), out);
  progress.Finish();
  ASSERT_EQ(out.DataString().size(), 100000u);
  // The first piece is 32768 bytes; before it was whole, the 10000 that had come showed.
  bool partial = false;
  for (const TTransferState& s : updates)
    partial = partial || (s.Bytes == 10000 && s.Total == 100000);
  EXPECT_TRUE(partial);
  for (size_t i = 1; i < updates.size(); ++i)
    EXPECT_LE(updates[i - 1].Bytes, updates[i].Bytes) << i;
  EXPECT_EQ(updates.back().Bytes, 100000);
}

TEST(TransferProgress, ByteCountsReadAsSizes) {
  struct Row {
    int64_t bytes;
    const char* text;
  } rows[] = {{0, "0 B"},
              {1023, "1023 B"},
              {1024, "1.0 KiB"},
              {1536, "1.5 KiB"},
              {20 * 1024 * 1024, "20.0 MiB"},
              {int64_t{3} << 30, "3.00 GiB"}};
  for (const Row& row : rows)
    EXPECT_EQ(ByteCountText(row.bytes), row.text) << row.bytes;
}

TEST(TransferProgress, TheMeterLineShowsShareSizesRateAndTimeLeft) {
  struct Row {
    TTransferState state;
    const char* line;
  } rows[] = {
      {{0, 3 << 20, 0}, "    0%  0 B / 3.0 MiB  0 B/s  -:--:-- left"},
      {{1 << 20, 3 << 20, 2}, "   33%  1.0 MiB / 3.0 MiB  512.0 KiB/s  0:00:04 left"},
      {{3 << 20, 3 << 20, 3}, "  100%  3.0 MiB / 3.0 MiB  1.0 MiB/s  0:00:00 left"},
      {{0, 0, 0.1}, "  100%  0 B / 0 B  0 B/s  -:--:-- left"},
      // An hour and more to go.
      {{1024, int64_t{8} << 20, 1}, "    0%  1.0 KiB / 8.0 MiB  1.0 KiB/s  2:16:31 left"},
      {{1536, -1, 1}, "  1.5 KiB  1.5 KiB/s"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(ProgressMeterLine(row.state), row.line) << row.line;
}

}  // namespace

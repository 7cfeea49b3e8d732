#include "net/tcp_connection.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/append_stream.h"
#include "base/memory_stream.h"
#include "base/net_exceptions.h"
#include "base/string_stream.h"
#include "net/anti_freeze.h"
#include "net/stack.h"
#include "tests/support/memory_io_handler.h"

namespace {

const std::string kClosed = "ENetConnClosedGracefully: Connection Closed Gracefully.";
const std::string kNotConnected = "ENetNotConnected: Not Connected";
const std::string kReadTimeout = "ENetReadTimeout: Read Timeout";
const std::string kMaxLine = "ENetReadLnMaxLineLengthExceeded: Max line length exceeded.";

std::string SocketError(int code) {
  return std::string("ENetSocketError: ") + GlobalStack->ErrorText(code);
}

// A connection over an in-memory handler that counts as connected, with its events logged.
struct Rig {
  TMemoryIOHandler h;
  TNetTCPConnection c;
  std::vector<std::string> log;        // status texts and OnDisconnected, in order
  std::vector<int64_t> reads, writes;  // OnWork totals
  std::vector<int64_t> begins;         // OnWorkBegin maxima
  int ends = 0;

  Rig() {
    c.SetIOHandler(&h);
    h.Open();
    c.OnStatus = [this](TObject*, TNetStatus, const std::string& text) { log.push_back(text); };
    c.OnDisconnected = [this](TObject*) { log.push_back("OnDisconnected"); };
    c.OnWork = [this](TObject*, TWorkMode mode, int64_t count) {
      (mode == TWorkMode::wmRead ? reads : writes).push_back(count);
    };
    c.OnWorkBegin = [this](TObject*, TWorkMode, int64_t max) { begins.push_back(max); };
    c.OnWorkEnd = [this](TObject*, TWorkMode) { ++ends; };
  }
  std::string Buffered() { return std::string(c.InputData().Memory(), c.InputData().Size()); }
};

// No cut, every single cut, and one byte per arrival.
std::vector<std::vector<size_t>> EverySplit(size_t size) {
  std::vector<std::vector<size_t>> splits{{}};
  for (size_t k = 1; k < size; ++k)
    splits.push_back({k});
  std::vector<size_t> bytewise;
  for (size_t k = 1; k < size; ++k)
    bytewise.push_back(k);
  splits.push_back(bytewise);
  return splits;
}

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i)
    s[i] = static_cast<char>('a' + (i * 7 + i / 26) % 26);
  return s;
}

// Records how large the stream was ever made.
class SizeRecordingStream : public TMemoryStream {
 public:
  int64_t LargestSize = 0;
  void SetSize(int64_t size) override {
    LargestSize = std::max(LargestSize, size);
    TMemoryStream::SetSize(size);
  }
};

std::string Contents(TMemoryStream& s) {
  return std::string(s.Memory(), static_cast<size_t>(s.Size()));
}

}  // namespace

TEST(TcpConnectionReadLine, TerminatorsWithEverySplit) {
  struct Case {
    std::string input, terminator;
    std::vector<std::string> lines;
    std::string rest;
  } cases[] = {
      {"abc\r\n", "\n", {"abc"}, ""},
      {"abc\n", "\n", {"abc"}, ""},
      {"abc\r\r\n", "\n", {"abc\r"}, ""},
      {"abc\ndef\r\n\nx", "\n", {"abc", "def", ""}, "x"},
      {"abc\n", "", {"abc"}, ""},                // empty means LF
      {"ab\ncd\r\ne", "\r\n", {"ab\ncd"}, "e"},  // a bare LF does not end a CR LF line
      {"abc\r\r\n", "\r\n", {"abc\r"}, ""},
      {"xxENyENDzEND", "END", {"xxENy", "z"}, ""},
  };
  for (const Case& tc : cases) {
    for (const auto& cuts : EverySplit(tc.input.size())) {
      Rig r;
      r.h.ArriveSplit(tc.input, cuts);
      std::vector<std::string> lines;
      for (size_t i = 0; i < tc.lines.size(); ++i)
        lines.push_back(r.c.ReadLine(tc.terminator));
      EXPECT_EQ(lines, tc.lines) << tc.input << " cuts " << cuts.size();
      EXPECT_EQ(r.Buffered() + r.h.Unread(), tc.rest) << tc.input;
      EXPECT_FALSE(r.c.LineTimedOut());
    }
  }
}

TEST(TcpConnectionReadLine, LengthLimitWithBothActions) {
  const std::string full(16384, 'a');
  for (size_t piece : {size_t{1000}, size_t{16384}, size_t{16385}, size_t{40000}}) {
    Rig r;
    r.h.ArriveInPieces(full + "\n" + full + "b\n", piece);
    EXPECT_EQ(r.c.ReadLine(), full);
    EXPECT_EQ(ErrorOf([&] { r.c.ReadLine(); }), kMaxLine);

    Rig s;
    s.c.MaxLineAction = TNetMaxLineAction::maSplit;
    s.h.ArriveInPieces(full + "b\r\nnext\n", piece);
    EXPECT_EQ(s.c.ReadLine(), full);
    EXPECT_TRUE(s.c.LineWasSplit());
    EXPECT_EQ(s.c.ReadLine(), "b");
    EXPECT_FALSE(s.c.LineWasSplit());
    EXPECT_EQ(s.c.ReadLine(), "next");
  }
  // 16385 bytes without LF raise at once; 16384 wait for more (and time out here).
  Rig r;
  r.h.Arrive(full + "b");
  EXPECT_EQ(ErrorOf([&] { r.c.ReadLine(); }), kMaxLine);
  Rig w;
  w.c.ReadTimeout = 1000;
  w.h.Arrive(full);
  EXPECT_EQ(ErrorOf([&] { w.c.ReadLine(); }), kReadTimeout);
  // The CR before LF counts towards the limit.
  Rig cr;
  cr.h.Arrive(full + "\r\n");
  EXPECT_EQ(ErrorOf([&] { cr.c.ReadLine(); }), kMaxLine);
  // 0 means no limit; an explicit limit overrides MaxLineLength.
  Rig unlimited;
  unlimited.c.MaxLineLength = 0;
  unlimited.h.ArriveInPieces(Pattern(100000) + "\nabcd\n", 4096);
  EXPECT_EQ(unlimited.c.ReadLine(), Pattern(100000));
  EXPECT_EQ(ErrorOf([&] { unlimited.c.ReadLine("\n", -1, 3); }), kMaxLine);
}

TEST(TcpConnectionReadLine, PeerClosingAtEveryPoint) {
  const std::string text = "first\r\nsecond\nthird";
  for (size_t k = 0; k <= text.size(); ++k) {
    Rig r;
    r.h.ArriveInPieces(text.substr(0, k), 3).PeerClose();
    std::vector<std::string> lines;
    int timedOut = 0;
    std::string error;
    for (int i = 0; i < 6 && error.empty(); ++i) {
      error = ErrorOf([&] {
        std::string line = r.c.ReadLine();
        if (r.c.LineTimedOut())
          ++timedOut;
        else
          lines.push_back(line);
      });
    }
    std::vector<std::string> expected;
    if (k >= 7) expected.push_back("first");
    if (k >= 14) expected.push_back("second");
    const bool partial = k != 0 && k != 7 && k != 14;
    EXPECT_EQ(lines, expected) << k;
    EXPECT_EQ(timedOut, partial ? 1 : 0) << k;
    EXPECT_EQ(error, kClosed) << k;
    EXPECT_EQ(r.log, (std::vector<std::string>{"Disconnected.", "OnDisconnected"})) << k;
    // The incomplete line stays buffered.
    const size_t lineStart = k >= 14 ? 14 : k >= 7 ? 7 : 0;
    EXPECT_EQ(r.Buffered(), text.substr(lineStart, k - lineStart));
  }
}

TEST(TcpConnection, OperationsAfterThePeerClosed) {
  Rig r;
  r.h.Arrive("abc").PeerClose();
  r.c.ProbePeerClosed(false);  // receives abc
  EXPECT_TRUE(r.log.empty());
  r.c.ProbePeerClosed(false);  // sees the close: our socket closes, reported once
  EXPECT_EQ(r.log, (std::vector<std::string>{"Disconnected.", "OnDisconnected"}));
  EXPECT_FALSE(r.h.IsOpen());
  EXPECT_TRUE(r.c.PeerClosed());
  EXPECT_FALSE(r.c.IsConnected());
  EXPECT_EQ(ErrorOf([&] { r.c.ReadLine(); }), kClosed);
  EXPECT_EQ(ErrorOf([&] { r.c.FillInputBuffer(true); }), kNotConnected);
  char dest[5];
  EXPECT_EQ(ErrorOf([&] { r.c.ReadExact(dest, 5); }), kNotConnected);
  EXPECT_EQ(ErrorOf([&] { r.c.WriteText("x"); }), kClosed);
  EXPECT_EQ(r.c.FillInputBuffer(false), 0);
  // A counted read takes what is buffered and returns.
  TMemoryStream stream;
  r.c.ReadIntoStream(stream, 10, false);
  EXPECT_EQ(Contents(stream), "abc");
  EXPECT_EQ(ErrorOf([&] { r.c.FillInputBuffer(true); }), kClosed);
  EXPECT_EQ(ErrorOf([&] { r.c.ReadExact(dest, 1); }), kClosed);
  EXPECT_EQ(r.log.size(), 2u);
  EXPECT_EQ(r.h.SendCalls, 0);
}

TEST(TcpConnection, WithoutAnIOHandler) {
  TNetTCPConnection c;
  std::vector<std::string> log;
  c.OnStatus = [&](TObject*, TNetStatus, const std::string& text) { log.push_back(text); };
  c.OnDisconnected = [&](TObject*) { log.push_back("OnDisconnected"); };
  EXPECT_FALSE(c.IsConnected());
  EXPECT_EQ(ErrorOf([&] { c.ReadLine(); }), kNotConnected);
  EXPECT_EQ(ErrorOf([&] { c.WriteLine("x"); }), kNotConnected);
  EXPECT_EQ(c.FillInputBuffer(false), 0);
  EXPECT_TRUE(log.empty());
  c.CloseConnection();
  EXPECT_EQ(log, (std::vector<std::string>{"Disconnecting.", "OnDisconnected", "Disconnected."}));
}

TEST(TcpConnection, TimeOuts) {
  Rig r;
  r.h.Arrive("a\n");
  r.c.ReadLine();
  r.c.ReadTimeout = 4000;
  r.h.Arrive("b\n");
  r.c.ReadLine();
  r.c.ProbePeerClosed(false);
  // A wait without limit is the receive's own: no readable test is made for it. The probe of a
  // peer's close does not wait at all.
  EXPECT_EQ(r.h.WaitTimeouts, (std::vector<int>{4000, 0}));
  r.h.Silence();
  EXPECT_EQ(ErrorOf([&] { r.c.ReadLine(); }), kReadTimeout);
  r.h.Silence();
  EXPECT_EQ(r.c.FillInputBuffer(true, 50, false), -1);
  // An explicit time-out that expires ends the line read without a line.
  r.h.Arrive("par").Silence();
  EXPECT_EQ(r.c.ReadLine("\n", 50), "");
  EXPECT_TRUE(r.c.LineTimedOut());
  EXPECT_EQ(r.Buffered(), "par");
  EXPECT_TRUE(r.c.IsConnected());
}

TEST(TcpConnection, ReceiveErrors) {
  {  // Other codes leave the socket open and the buffer as it was.
    Rig r;
    r.h.Arrive("ab").ReceiveError(10054).Arrive("c\n");
    EXPECT_EQ(ErrorOf([&] { r.c.ReadLine(); }), SocketError(10054));
    EXPECT_TRUE(r.c.IsConnected());
    EXPECT_EQ(r.Buffered(), "ab");
    EXPECT_EQ(r.c.ReadLine(), "abc");
  }
  for (int code : {10053, 10058}) {
    Rig r;  // an abort with nothing buffered raises its code and closes without events
    r.h.ReceiveError(code);
    EXPECT_EQ(ErrorOf([&] { r.c.ReadLine(); }), SocketError(code));
    EXPECT_FALSE(r.h.IsOpen());
    EXPECT_TRUE(r.c.PeerClosed());
    EXPECT_TRUE(r.log.empty());

    Rig p;  // with bytes buffered it ends the read as a close does
    p.h.Arrive("par").ReceiveError(code);
    EXPECT_EQ(p.c.ReadLine(), "");
    EXPECT_TRUE(p.c.LineTimedOut());
    EXPECT_EQ(p.Buffered(), "par");
    EXPECT_EQ(ErrorOf([&] { p.c.ReadLine(); }), kClosed);
  }
}

TEST(TcpConnection, ReadExactAndIntegers) {
  const std::string bytes =
      std::string("\x12\x34\x56\x78", 4) + "hello" + std::string("\x01\x00\x00\x00", 4);
  for (const auto& cuts : EverySplit(bytes.size())) {
    Rig r;
    r.h.ArriveSplit(bytes, cuts);
    EXPECT_EQ(r.c.ReadInteger32(true), 0x12345678);
    char dest[5];
    r.c.ReadExact(dest, 5);
    EXPECT_EQ(std::string(dest, 5), "hello");
    int32_t native = 0;
    std::memcpy(&native, "\x01\x00\x00\x00", 4);
    EXPECT_EQ(r.c.ReadInteger32(false), native);
    EXPECT_EQ(r.reads.size(), 0u);  // no read phase open
  }
  Rig r;
  r.h.Arrive("abc").PeerClose();
  char dest[5];
  EXPECT_EQ(ErrorOf([&] { r.c.ReadExact(dest, 5); }), kClosed);
  EXPECT_EQ(r.Buffered(), "abc");
}

TEST(TcpConnectionReadIntoStream, UntilClosedReportsWholePiecesOnly) {
  const std::string data = Pattern(100000);
  for (size_t piece : {size_t{1}, size_t{1000}, size_t{7777}, size_t{32768}, size_t{100000}}) {
    Rig r;
    r.h.ArriveInPieces(data, piece).PeerClose();
    TMemoryStream stream;
    r.c.ReadIntoStream(stream, -1, true);
    EXPECT_TRUE(Contents(stream) == data) << piece;
    EXPECT_EQ(r.reads, (std::vector<int64_t>{32768, 65536, 98304})) << piece;
    EXPECT_EQ(r.begins, (std::vector<int64_t>{0}));
    EXPECT_EQ(r.ends, 1);
    EXPECT_EQ(r.c.InputData().Size(), 0);
  }
}

// A stream that gives room to receive into, as a page reader's does.
class TRoomStream : public TAppendStream {
 public:
  TRoomStream() : TAppendStream("cut") {}
  std::string Data;
  int Copies = 0;   // writes through Append
  size_t Room = 0;  // the most room it gives at once; 0: what is asked

 protected:
  void Append(const char* bytes, size_t count) override {
    Data.append(bytes, count);
    ++Copies;
  }
  char* AppendRoom(size_t& count) override {
    if (Room != 0) count = std::min(count, Room);
    room_.assign(count, '\0');
    return room_.data();
  }
  void AppendWritten(size_t count) override { Data.append(room_, 0, count); }
  void StartOver() override { Data.clear(); }

 private:
  std::string room_;
};

TEST(TcpConnectionReadIntoStream, AStreamWithRoomTakesTheReceivesInPlace) {
  const std::string body = Pattern(100000);
  const struct {
    const char* Name;
    int64_t Count;  // -1: until the close
    bool Close;
    size_t Taken;  // bytes of the body the stream gets
    std::vector<int64_t> Reads;
    bool Fails;
    size_t Room = 0;
  } rows[] = {
      {"counted", 60000, false, 60000, {10000, 20000, 30000, 40000, 50000, 60000}, false},
      // Each piece that arrives takes three receives into the smaller room.
      {"into less room than asked",
       25000,
       false,
       25000,
       {4000, 8000, 10000, 14000, 18000, 20000, 24000, 25000},
       false,
       4000},
      {"until the close",
       -1,
       true,
       100000,
       {10000, 20000, 30000, 40000, 50000, 60000, 70000, 80000, 90000, 100000},
       false},
      {"cut short by the close",
       150000,
       true,
       100000,
       {10000, 20000, 30000, 40000, 50000, 60000, 70000, 80000, 90000, 100000},
       true},
  };
  for (const auto& row : rows) {
    Rig r;
    r.h.Arrive("HEAD\n").ArriveInPieces(body, 10000);
    if (row.Close) r.h.PeerClose();
    EXPECT_EQ(r.c.ReadLine(), "HEAD");
    TRoomStream stream;
    stream.Room = row.Room;
    const auto read = [&] { r.c.ReadIntoStream(stream, row.Count, row.Count < 0); };
    if (row.Fails)
      EXPECT_EQ(ErrorOf(read), kClosed) << row.Name;
    else
      read();
    EXPECT_TRUE(stream.Data == body.substr(0, row.Taken)) << row.Name;
    // Nothing was buffered: every receive went into the room, and counted as it came.
    EXPECT_EQ(stream.Copies, 0) << row.Name;
    EXPECT_EQ(r.reads, row.Reads) << row.Name;
    EXPECT_EQ(r.ends, 1) << row.Name;
  }
}

TEST(TcpConnectionReadIntoStream, CountedReadWithEverySplit) {
  const std::string data = Pattern(50);
  for (const auto& cuts : EverySplit(data.size())) {
    Rig r;
    r.c.RecvBufferSize = 8;
    r.h.ArriveSplit(data + "tail", cuts);
    TStringStream stream;
    r.c.ReadIntoStream(stream, 50, false);
    EXPECT_EQ(stream.DataString(), data);
    EXPECT_EQ(r.reads, (std::vector<int64_t>{8, 16, 24, 32, 40, 48, 50}));
    EXPECT_EQ(r.begins, (std::vector<int64_t>{50}));
  }
}

TEST(TcpConnectionReadIntoStream, CountedReadCutShortByTheClose) {
  // 5000 bytes are buffered at the call; one whole piece follows, then 100 bytes and the close.
  const std::string body = Pattern(5000 + 32768 + 100);
  Rig r;
  r.h.Arrive("HEAD\n" + body.substr(0, 5000)).ArriveInPieces(body.substr(5000), 10000).PeerClose();
  EXPECT_EQ(r.c.ReadLine(), "HEAD");
  TMemoryStream stream;
  EXPECT_EQ(ErrorOf([&] { r.c.ReadIntoStream(stream, 100000, false); }), kClosed);
  EXPECT_EQ(stream.Size(), 5000 + 32768);  // cut back to what was written
  EXPECT_TRUE(Contents(stream) == body.substr(0, 5000 + 32768));
  EXPECT_EQ(r.Buffered(), body.substr(5000 + 32768));
  EXPECT_EQ(r.ends, 1);
}

TEST(TcpConnectionReadIntoStream, PresizingAndPositions) {
  {  // The stream is written from its position; the announced length sizes it.
    Rig r;
    r.h.Arrive("hello!");
    TMemoryStream stream;
    stream.WriteBuffer("XYZW", 4);
    stream.SetPosition(3);
    r.c.ReadIntoStream(stream, 5, false);
    EXPECT_EQ(Contents(stream), "XYZhello");
    EXPECT_EQ(r.Buffered(), "!");
  }
  // An announced gigabyte reserves at most 1 MiB beyond what arrived, by argument or by
  // length prefix, and the stream ends where the data ended.
  for (bool prefix : {false, true}) {
    Rig r;
    r.h.Arrive(prefix ? std::string("\x40\x00\x00\x00", 4) : std::string()).Arrive("0123456789");
    r.h.PeerClose();
    SizeRecordingStream stream;
    EXPECT_EQ(ErrorOf([&] { r.c.ReadIntoStream(stream, prefix ? -1 : 1 << 30, false); }), kClosed);
    EXPECT_LE(stream.LargestSize, TNetTCPConnection::PresizeLimit + 10);
    EXPECT_EQ(stream.Size(), 0);
    EXPECT_EQ(r.Buffered(), "0123456789");
  }
}

TEST(TcpConnectionWrite, LinesTextAndBuffering) {
  Rig r;
  r.c.WriteText("");
  EXPECT_EQ(r.h.SendCalls, 0);
  r.c.WriteLine("");
  EXPECT_EQ(r.h.Sent, "\r\n");

  r.c.StartWriteBuffering(-1);
  r.c.WriteLine("GET / HTTP/1.1");
  r.c.WriteLine("Host: h");
  r.c.WriteLine();
  EXPECT_EQ(r.h.SendCalls, 1);
  r.c.EndWriteBuffering();
  EXPECT_EQ(r.h.SentBlocks.back(), "GET / HTTP/1.1\r\nHost: h\r\n\r\n");
  EXPECT_EQ(r.c.PendingWrites(), nullptr);

  // A threshold flush sends exactly the threshold; the rest waits.
  r.h.SentBlocks.clear();
  r.c.StartWriteBuffering(10);
  r.c.WriteText("1234567");
  EXPECT_TRUE(r.h.SentBlocks.empty());
  r.c.WriteText("89abcde");
  EXPECT_EQ(r.h.SentBlocks, (std::vector<std::string>{"123456789a"}));
  r.c.WriteText("f");
  r.c.DiscardWriteBuffering();
  r.c.WriteText("g");
  r.c.EndWriteBuffering();
  EXPECT_EQ(r.h.SentBlocks, (std::vector<std::string>{"123456789a", "g"}));

  // Partial sends are continued; progress is reported per send.
  Rig p;
  p.h.MaxSend = 3;
  p.c.WorkStarted(TWorkMode::wmWrite, 0);
  p.c.WriteText("hello world");
  EXPECT_EQ(p.h.Sent, "hello world");
  EXPECT_EQ(p.writes, (std::vector<int64_t>{3, 6, 9, 11}));
}

TEST(TcpConnectionWrite, SendFailures) {
  {  // The abort codes close the socket; others leave it open.
    Rig r;
    r.h.SendResult(1, -1, 10054);
    EXPECT_EQ(ErrorOf([&] { r.c.WriteText("x"); }), SocketError(10054));
    EXPECT_FALSE(r.h.IsOpen());
    Rig o;
    o.h.SendResult(1, -1, 10022);
    EXPECT_EQ(ErrorOf([&] { o.c.WriteText("x"); }), SocketError(10022));
    EXPECT_TRUE(o.h.IsOpen());
  }
  {  // A send that takes nothing is a close.
    Rig r;
    r.h.SendResult(1, 0);
    EXPECT_EQ(ErrorOf([&] { r.c.WriteText("x"); }), kClosed);
    EXPECT_EQ(r.log, (std::vector<std::string>{"Disconnected.", "OnDisconnected"}));
    Rig b;  // with bytes buffered the next attempt finds the socket closed
    b.h.Arrive("xyz");
    b.c.ProbePeerClosed(false);
    b.h.SendResult(1, 0);
    EXPECT_EQ(ErrorOf([&] { b.c.WriteText("x"); }), "ENetClosedSocket: Disconnected.");
  }
  {  // The write buffer goes away also when its flush fails.
    Rig r;
    r.c.StartWriteBuffering(-1);
    r.c.WriteText("abc");
    r.h.SendResult(1, -1, 10054);
    EXPECT_NE(ErrorOf([&] { r.c.EndWriteBuffering(); }), "");
    EXPECT_EQ(r.c.PendingWrites(), nullptr);
  }
}

namespace {

class CountingAntiFreeze : public TNetAntiFreezeBase {
 public:
  int Calls = 0;
  void ProcessPending() override { ++Calls; }
};

// A stream of three bytes that claims eight.
class ShortStream : public TStream {
 public:
  int64_t Read(void* buffer, int64_t count) override {
    const int64_t n = std::min<int64_t>(count, 3 - position_);
    if (n <= 0) return 0;
    std::memcpy(buffer, "abc" + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    position_ = SeekTarget(position_, 8, offset, origin);
    return position_;
  }
  void SetSize(int64_t) override {}

 private:
  int64_t position_ = 0;
};

}  // namespace

TEST(TcpConnectionWrite, FromStream) {
  const std::string data = Pattern(100000);
  Rig r;
  TStringStream source(data);
  source.SetPosition(500);
  CountingAntiFreeze antiFreeze;
  antiFreeze.OnlyWhenIdle = false;
  r.c.WriteFromStream(source);
  EXPECT_TRUE(r.h.Sent == data);
  EXPECT_EQ(r.h.SentBlocks.size(), 4u);
  EXPECT_EQ(r.h.SentBlocks.back().size(), 1696u);
  EXPECT_EQ(antiFreeze.Calls, 4);  // the hook runs after every send
  EXPECT_EQ(r.begins, (std::vector<int64_t>{100000}));
  EXPECT_EQ(r.writes.back(), 100000);

  // From the position, a count, a length prefix, and through an open write buffer.
  Rig p;
  TStringStream part("0123456789");
  part.SetPosition(2);
  p.c.StartWriteBuffering(-1);
  p.c.WriteFromStream(part, false, true, 5);
  EXPECT_EQ(p.h.SendCalls, 0);
  p.c.EndWriteBuffering();
  EXPECT_EQ(p.h.Sent, std::string("\0\0\0\x05", 4) + "23456");

  Rig s;
  ShortStream lying;
  EXPECT_EQ(ErrorOf([&] { s.c.WriteFromStream(lying); }), "ENetNoDataToRead: No data to read.");
  EXPECT_EQ(s.h.Sent, "abc");
  EXPECT_EQ(s.ends, 1);
}

TEST(TcpConnection, ClosingAndHandlerReferences) {
  Rig r;
  r.h.Arrive("abc");
  r.c.ProbePeerClosed(false);
  r.c.DropSocket();  // no events
  EXPECT_TRUE(r.log.empty());
  EXPECT_TRUE(r.c.PeerClosed());
  r.c.CloseConnection();
  EXPECT_EQ(r.log, (std::vector<std::string>{"Disconnecting.", "OnDisconnected", "Disconnected."}));
  EXPECT_EQ(r.c.IOHandler(), &r.h);  // assigned from outside: kept
  EXPECT_EQ(r.Buffered(), "abc");    // received bytes survive the close
  r.c.ResetInputState();
  EXPECT_EQ(r.c.InputData().Size(), 0);
  EXPECT_FALSE(r.c.PeerClosed());

  TNetTCPConnection c;
  {
    TMemoryIOHandler gone;
    c.SetIOHandler(&gone);
  }
  EXPECT_EQ(c.IOHandler(), nullptr);
}

namespace {

class OwningConnection : public TNetTCPConnection {
 public:
  using TNetTCPConnection::AdoptIOHandler;
};

class WatchedHandler : public TMemoryIOHandler {
 public:
  explicit WatchedHandler(bool* destroyed) : destroyed_(destroyed) {}
  ~WatchedHandler() override { *destroyed_ = true; }

 private:
  bool* destroyed_;
};

}  // namespace

TEST(TcpConnection, OwnedHandlerIsFreedByCloseAndReplacement) {
  bool destroyed = false;
  OwningConnection c;
  c.AdoptIOHandler(std::make_unique<WatchedHandler>(&destroyed));
  EXPECT_TRUE(c.OwnsIOHandler());
  c.CloseConnection();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(c.IOHandler(), nullptr);
  EXPECT_FALSE(c.OwnsIOHandler());

  destroyed = false;
  c.AdoptIOHandler(std::make_unique<WatchedHandler>(&destroyed));
  TMemoryIOHandler other;
  c.SetIOHandler(&other);
  EXPECT_TRUE(destroyed);
  EXPECT_FALSE(c.OwnsIOHandler());
}

TEST(TcpConnection, InterceptsSeeEveryBlock) {
  Rig r;
  TNetConnectionIntercept outer, inner;
  outer.SetNestedIntercept(&inner);
  std::vector<std::string> order;
  auto upper = [](TNetSimpleBuffer& b) {
    for (int64_t i = 0; i < b.Size(); ++i)
      b.Memory()[i] = static_cast<char>(toupper(b.Memory()[i]));
  };
  inner.OnReceive = [&](TNetConnectionIntercept*, TNetSimpleBuffer& b) {
    order.push_back("inner receive");
    upper(b);
  };
  outer.OnReceive = [&](TNetConnectionIntercept*, TNetSimpleBuffer& b) {
    order.push_back("outer receive");
    b.Append("!", 1);
  };
  outer.OnSend = [&](TNetConnectionIntercept*, TNetSimpleBuffer& b) {
    order.push_back("outer send");
    b.SetSize(0);
    b.WriteBuffer("<x>", 3);
  };
  inner.OnSend = [&](TNetConnectionIntercept*, TNetSimpleBuffer&) {
    order.push_back("inner send");
  };
  inner.OnDisconnect = [&](TNetConnectionIntercept*) { order.push_back("inner disconnect"); };
  outer.OnDisconnect = [&](TNetConnectionIntercept*) { order.push_back("outer disconnect"); };
  r.c.SetIntercept(&outer);
  r.h.Arrive("ab\n");
  EXPECT_EQ(r.c.ReadLine(), "AB");
  r.c.WriteText("hello");
  EXPECT_EQ(r.h.Sent, "<x>");
  r.c.DropSocket();
  EXPECT_EQ(order,
            (std::vector<std::string>{"inner receive", "outer receive", "outer send", "inner send",
                                      "inner disconnect", "outer disconnect"}));
  EXPECT_EQ(r.Buffered(), "!");

  // A destroyed intercept is forgotten.
  {
    TNetConnectionIntercept gone;
    r.c.SetIntercept(&gone);
  }
  EXPECT_EQ(r.c.Intercept(), nullptr);
}

TEST(TcpConnection, ASCIIFilterClearsTheTopBit) {
  Rig r;
  r.c.ASCIIFilter = true;
  r.h.Arrive("\xC1\xE2\x8A");
  EXPECT_EQ(r.c.ReadLine(), "Ab");
}

TEST(TcpConnection, ReadAvailableAndUntilClosed) {
  Rig r;
  r.h.Arrive("abc").Arrive("def").PeerClose();
  EXPECT_EQ(r.c.ReadAvailable(), "abc");
  EXPECT_EQ(r.c.ReadUntilClosed(), "def");
  EXPECT_EQ(r.c.ReadAvailable(), "");
  EXPECT_EQ(r.ends, 1);
}

TEST(TcpConnection, CommandsAndReplies) {
  Rig r;
  r.h.Arrive("\r\n250-first\r\n250-second\r\n250 last\r\n500 no\r\n");
  EXPECT_EQ(r.c.SendCommand("NOOP", {250}), 250);
  EXPECT_EQ(r.h.Sent, "NOOP\r\n");
  EXPECT_EQ(r.c.LastReply().Text.Count(), 3);
  EXPECT_EQ(r.c.LastReply().Text.Get(2), "last");
  EXPECT_EQ(r.c.LastReply().FormattedReply(), "250-first\r\n250-second\r\n250 last\r\n");
  try {
    r.c.SendCommand("QUIT", {221});
    FAIL();
  } catch (const ENetProtocolReplyError& e) {
    EXPECT_EQ(e.ReplyErrorCode(), 500);
    EXPECT_EQ(e.Message(), "no");
  }
}

// Every operation of a request/response exchange fails once in turn: each run either
// completes as without failure or raises the injected error, and leaves no phase open.
TEST(TcpConnection, FailureAtEveryOperation) {
  const std::string response = "HTTP/1.1 200 OK\r\nLength: 5\r\n\r\nhello";
  for (int failAt = 1; failAt < 60; ++failAt) {
    Rig r;
    r.c.ReadTimeout = 1000;  // so that every receive is preceded by a readable test
    r.h.ArriveInPieces(response, 4).PeerClose();
    r.h.FailAt = failAt;
    std::string body;
    const std::string error = ErrorOf([&] {
      r.c.StartWriteBuffering(-1);
      r.c.WriteLine("GET / HTTP/1.1");
      r.c.WriteLine();
      r.c.EndWriteBuffering();
      while (!r.c.ReadLine().empty()) {
      }
      TStringStream stream;
      r.c.ReadIntoStream(stream, -1, true);
      body = stream.DataString();
    });
    EXPECT_TRUE(error.empty() || error == SocketError(10054)) << failAt << " " << error;
    if (error.empty()) {
      EXPECT_EQ(body, "hello") << failAt;
    }
    EXPECT_EQ(r.begins.size(), static_cast<size_t>(r.ends)) << failAt;
  }
}

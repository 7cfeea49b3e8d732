#include "http/response_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/string_stream.h"
#include "net/tcp_connection.h"
#include "tests/support/memory_io_handler.h"

namespace {

using RS = TNetReaderState;

constexpr const char* kClosed = "ENetConnClosedGracefully: Connection Closed Gracefully.";

// One run of the reader over `bytes`, cut into two arrivals at `cut`, the peer closing after
// them. `framing` rsHeaderLines reads a header block; anything else reads a body so framed.
struct TOutcome {
  std::string text;  // the body, or the header lines joined by "|"
  std::string error;
  bool connected = false;
  RS state = RS::rsFinished;
};

TOutcome Read(const std::string& bytes, size_t cut, RS framing, int64_t length) {
  TMemoryIOHandler h;
  h.AtEnd = TMemoryIOHandler::TAtEnd::aePeerClose;
  TNetTCPConnection c;
  c.SetIOHandler(&h);
  h.Open();
  if (cut > 0 && cut < bytes.size())
    h.ArriveSplit(bytes, {cut});
  else if (!bytes.empty())
    h.Arrive(bytes);
  TNetResponseReader reader(c);
  TOutcome out;
  TStringStream body;
  out.error = ErrorOf([&] {
    if (framing != RS::rsHeaderLines) return reader.ReadBody(body, framing, length);
    TNetHeaderList lines;
    reader.ReadHeaderLines(lines);
    for (int i = 0; i < lines.Count(); ++i)
      out.text += (i ? "|" : "") + lines.Get(i);
  });
  if (framing != RS::rsHeaderLines) out.text = body.TakeDataString();
  out.connected = c.IsConnected();
  out.state = reader.State();
  return out;
}

}  // namespace

TEST(ResponseReader, HeadsAndBodiesSplitAtEveryOffset) {
  const struct {
    std::string bytes;
    RS framing;
    int64_t length;
    std::string text, error;
    bool connected;
    RS state;
  } cases[] = {
      {"A: b\r\nC: d\r\n\r\nnext", RS::rsHeaderLines, 0, "A: b|C: d", "", true, RS::rsHeaderLines},
      // A close in the middle of the head keeps the lines read so far.
      {"A: b\r\nC: d\r\n", RS::rsHeaderLines, 0, "A: b|C: d", "", false, RS::rsHeaderLines},
      {"hello world", RS::rsBodyByLength, 5, "hello", "", true, RS::rsFinished},
      // What arrived before the close reaches the stream before the error.
      {"hel", RS::rsBodyByLength, 5, "hel", kClosed, false, RS::rsBodyByLength},
      {"5\r\nhello\r\n3;x=y\r\nabc\r\n0\r\nT: 1\r\n\r\nnext", RS::rsBodyByChunks, 0, "helloabc", "",
       true, RS::rsFinished},
      // A trailer cut short by the close loses nothing.
      {"1\r\na\r\n0\r\nT: 1\r\n", RS::rsBodyByChunks, 0, "a", "", false, RS::rsFinished},
      {"2\r\nab", RS::rsBodyByChunks, 0, "ab", kClosed, false, RS::rsBodyByChunks},
      {"5\r\nhelloX\r\n0\r\n\r\n", RS::rsBodyByChunks, 0, "hello",
       "ENetException: Chunk of 5 bytes is not followed by a line end.", true, RS::rsBodyByChunks},
      {"zz\r\n", RS::rsBodyByChunks, 0, "", "ENetException: Invalid chunk size \"zz\".", true,
       RS::rsBodyByChunks},
      {"all of it", RS::rsBodyUntilClose, 0, "all of it", "", false, RS::rsFinished},
      {"", RS::rsBodyUntilClose, 0, "", "", false, RS::rsFinished},
      {"unread", RS::rsFinished, 0, "", "", true, RS::rsFinished},
  };
  for (const auto& c : cases) {
    for (size_t cut = 0; cut < std::max<size_t>(c.bytes.size(), 1); ++cut) {
      SCOPED_TRACE(c.bytes + " cut at " + std::to_string(cut));
      const TOutcome out = Read(c.bytes, cut, c.framing, c.length);
      EXPECT_EQ(out.text, c.text);
      EXPECT_EQ(out.error, c.error);
      EXPECT_EQ(out.connected, c.connected);
      EXPECT_EQ(out.state, c.state);
    }
  }
}

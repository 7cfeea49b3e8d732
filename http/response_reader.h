// Takes one response off a connection: the status line, the header lines up to the blank
// line, and the body as its framing says (a declared length, chunks with their trailer, or
// everything until the server closes). The client and its CONNECT tunnel read through the
// same reader; what the lines mean is decided elsewhere (response_framing.h).
#pragma once

#include <cstdint>
#include <string>

#include "http/header_list.h"
#include "http/http_types.h"

class TNetTCPConnection;
class TStream;

class TNetResponseReader {
 public:
  explicit TNetResponseReader(TNetTCPConnection& connection) : connection_(connection) {}
  TNetResponseReader(const TNetResponseReader&) = delete;
  TNetResponseReader& operator=(const TNetResponseReader&) = delete;

  TNetReaderState State() const { return state_; }
  // A request head has left: its response starts with a status line.
  void ExpectStatusLine() { state_ = TNetReaderState::rsStatusLine; }
  // The response has been taken off the connection (or needs nothing more read).
  void Finish() { state_ = TNetReaderState::rsFinished; }

  std::string ReadStatusLine();
  // Header lines up to the blank line into `lines` (emptied first), counted against the head
  // budget. A peer that closes while lines are still arriving leaves the lines read so far
  // and a closed connection.
  void ReadHeaderLines(TNetHeaderList& lines);
  // Reads a body framed as `framing` says into `stream`; `length` is the declared length
  // for rsBodyByLength. Ends in rsFinished; any other framing reads nothing.
  void ReadBody(TStream& stream, TNetReaderState framing, int64_t length);
  // Reads one chunk-size line.
  int64_t ReadChunkSize();

 private:
  std::string ReadRawLine();
  // Lines up to the blank one, counted against the head budget; kept in `lines` if given.
  void ReadLinesToBlank(TNetHeaderList* lines);
  // Writes `count` body bytes; on a close before the end, what arrived is written first.
  void ReadBodyBytes(TStream& stream, int64_t count);
  void ReadChunkedBody(TStream& stream);
  void SkipTrailer();

  TNetTCPConnection& connection_;
  TNetReaderState state_ = TNetReaderState::rsFinished;
};

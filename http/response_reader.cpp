#include "http/response_reader.h"

#include <algorithm>

#include "base/net_exceptions.h"
#include "base/stream.h"
#include "base/text.h"
#include "http/response_framing.h"
#include "net/tcp_connection.h"

std::string TNetResponseReader::ReadRawLine() {
  return connection_.ReadLine("\n", kUseReadTimeout, kUseMaxLineLength);
}

std::string TNetResponseReader::ReadStatusLine() {
  state_ = TNetReaderState::rsStatusLine;
  return ReadRawLine();
}

void TNetResponseReader::ReadHeaderLines(TNetHeaderList& lines) {
  state_ = TNetReaderState::rsHeaderLines;
  lines.Clear();
  try {
    ReadLinesToBlank(&lines);
  } catch (const ENetConnClosedGracefully&) {
    // The peer closed while header lines were still arriving; keep the lines read so far.
    connection_.CloseConnection();
  }
}

void TNetResponseReader::ReadLinesToBlank(TNetHeaderList* lines) {
  TNetHeadBudget budget;
  for (;;) {
    std::string line = ReadRawLine();
    if (line.empty()) return;
    budget.AddLine(line);
    if (lines) lines->Add(line);
  }
}

void TNetResponseReader::ReadBody(TStream& stream, TNetReaderState framing, int64_t length) {
  state_ = framing;
  switch (framing) {
    case TNetReaderState::rsBodyByLength:
      ReadBodyBytes(stream, length);
      break;
    case TNetReaderState::rsBodyByChunks:
      ReadChunkedBody(stream);
      break;
    case TNetReaderState::rsBodyUntilClose:
      connection_.ReadIntoStream(stream, kNoByteCount, true);
      break;
    default:
      break;
  }
  state_ = TNetReaderState::rsFinished;
}

int64_t TNetResponseReader::ReadChunkSize() {
  return ParseChunkSize(ReadRawLine());
}

void TNetResponseReader::ReadBodyBytes(TStream& stream, int64_t count) {
  const int64_t start = stream.Position();
  try {
    connection_.ReadIntoStream(stream, count, false);
  } catch (const ENetConnClosedGracefully&) {
    // The bytes of the last incomplete piece belong to the caller too, before the error.
    TNetManagedBuffer& input = connection_.InputData();
    const int64_t missing = count - (stream.Position() - start);
    const int64_t rest = std::min(input.Size(), missing);
    if (rest > 0) {
      stream.WriteBuffer(input.Memory(), rest);
      input.Remove(rest);
    }
    throw;
  }
}

void TNetResponseReader::ReadChunkedBody(TStream& stream) {
  connection_.ReportStatus(TNetStatus::hsStatusText, {"Chunk Started"});
  int64_t size = ReadChunkSize();
  while (size > 0) {
    ReadBodyBytes(stream, size);
    if (!ReadRawLine().empty())
      throw ENetException(Format("Chunk of %lld bytes is not followed by a line end.",
                                 static_cast<long long>(size)));
    size = ReadChunkSize();
  }
  SkipTrailer();
}

void TNetResponseReader::SkipTrailer() {
  // Trailer fields up to the blank line: left unread they would be taken for the next
  // response's status line.
  try {
    ReadLinesToBlank(nullptr);
  } catch (const ENetConnClosedGracefully&) {
    // Every chunk has arrived; a server that closes instead of ending the trailer loses nothing.
  }
}

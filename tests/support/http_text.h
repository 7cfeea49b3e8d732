// Raw HTTP/1.1 texts for scripted peers, and the split of a captured request head, so that tests
// can state byte for byte what goes over the wire.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// statusLine CR LF, each header line CR LF, CR LF, body; nothing added.
std::string HttpResponseText(std::string_view statusLine,
                             const std::vector<std::string>& headerLines, std::string_view body);

// "HTTP/1.1 CODE REASON" with the header lines, a "Content-Length" line of the body's size after
// them, and the body.
std::string HttpResponse(int code, std::string_view reason,
                         const std::vector<std::string>& headerLines, std::string_view body);

// The chunked coding of the pieces: each "SIZE[;EXTENSION]" CR LF, data, CR LF (hexadecimal
// size in lower case); then "0[;EXTENSION]" CR LF, the trailer lines and the closing CR LF.
// Empty pieces are skipped, since an empty chunk would end the body.
std::string ChunkedBody(const std::vector<std::string>& pieces, std::string_view extension = "",
                        const std::vector<std::string>& trailerLines = {});

// "HTTP/1.1 CODE REASON", the header lines, "Transfer-Encoding: chunked", and ChunkedBody(pieces).
std::string ChunkedResponse(int code, std::string_view reason,
                            const std::vector<std::string>& headerLines,
                            const std::vector<std::string>& pieces,
                            std::string_view extension = "");

struct RequestHead {
  std::string RequestLine;  // as sent, without its CR LF
  std::string Method;
  std::string Target;
  std::string Version;
  std::vector<std::string> HeaderLines;  // as sent, in order, without CR LF
  // Every line ended with CR LF and the head with an empty line.
  bool WellFormed = false;

  // The value of the first header of that name (letter case ignored), spaces around it removed.
  std::optional<std::string> Header(std::string_view name) const;
  int HeaderCount(std::string_view name) const;
};

// Splits a request head as received (through its empty line; anything after it is ignored).
RequestHead ParseRequestHead(std::string_view head);

#include "tests/support/http_text.h"

#include <cctype>
#include <cstdio>

namespace {

std::string Hex(std::size_t n) {
  char text[32];
  std::snprintf(text, sizeof text, "%zx", n);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

}  // namespace

std::string HttpResponseText(std::string_view statusLine,
                             const std::vector<std::string>& headerLines, std::string_view body) {
  std::string text(statusLine);
  text += "\r\n";
  for (const auto& line : headerLines)
    text += line + "\r\n";
  text += "\r\n";
  text += body;
  return text;
}

std::string HttpResponse(int code, std::string_view reason,
                         const std::vector<std::string>& headerLines, std::string_view body) {
  std::vector<std::string> lines = headerLines;
  lines.push_back("Content-Length: " + std::to_string(body.size()));
  return HttpResponseText("HTTP/1.1 " + std::to_string(code) + " " + std::string(reason), lines,
                          body);
}

std::string ChunkedBody(const std::vector<std::string>& pieces, std::string_view extension,
                        const std::vector<std::string>& trailerLines) {
  const std::string ext = extension.empty() ? "" : ";" + std::string(extension);
  std::string text;
  for (const auto& piece : pieces) {
    if (piece.empty()) continue;
    text += Hex(piece.size()) + ext + "\r\n" + piece + "\r\n";
  }
  text += "0" + ext + "\r\n";
  for (const auto& line : trailerLines)
    text += line + "\r\n";
  text += "\r\n";
  return text;
}

std::string ChunkedResponse(int code, std::string_view reason,
                            const std::vector<std::string>& headerLines,
                            const std::vector<std::string>& pieces, std::string_view extension) {
  std::vector<std::string> lines = headerLines;
  lines.push_back("Transfer-Encoding: chunked");
  return HttpResponseText("HTTP/1.1 " + std::to_string(code) + " " + std::string(reason), lines,
                          ChunkedBody(pieces, extension));
}

std::optional<std::string> RequestHead::Header(std::string_view name) const {
  for (const auto& line : HeaderLines) {
    const auto colon = line.find(':');
    if (colon != std::string::npos && SameName(Trimmed(line.substr(0, colon)), name)) {
      return std::string(Trimmed(std::string_view(line).substr(colon + 1)));
    }
  }
  return std::nullopt;
}

int RequestHead::HeaderCount(std::string_view name) const {
  int count = 0;
  for (const auto& line : HeaderLines) {
    const auto colon = line.find(':');
    if (colon != std::string::npos && SameName(Trimmed(line.substr(0, colon)), name)) ++count;
  }
  return count;
}

RequestHead ParseRequestHead(std::string_view head) {
  RequestHead parsed;
  bool first = true;
  bool clean = true;  // no stray CR or LF inside a line
  for (;;) {
    const auto end = head.find("\r\n");
    if (end == std::string_view::npos) {
      // The head stopped without its empty line: keep the rest as a last, unterminated line.
      if (!head.empty()) (first ? parsed.RequestLine : parsed.HeaderLines.emplace_back()) = head;
      return parsed;
    }
    const std::string_view line = head.substr(0, end);
    head.remove_prefix(end + 2);
    if (line.find_first_of("\r\n") != std::string_view::npos) clean = false;
    if (first) {
      parsed.RequestLine = line;
      first = false;
      const auto a = line.find(' ');
      const auto b = a == std::string_view::npos ? a : line.find(' ', a + 1);
      parsed.Method = line.substr(0, a);
      if (a != std::string_view::npos) parsed.Target = line.substr(a + 1, b - a - 1);
      if (b != std::string_view::npos) parsed.Version = line.substr(b + 1);
      continue;
    }
    if (line.empty()) {
      parsed.WellFormed = clean;
      return parsed;
    }
    parsed.HeaderLines.emplace_back(line);
  }
}

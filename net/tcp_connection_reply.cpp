// The command/reply side of the connection: a line out, a numbered reply back.
#include "net/tcp_connection.h"

#include <algorithm>

#include "base/net_exceptions.h"

namespace {

std::string ReplyText(const TNetRFCReply& reply) {
  std::string text;
  for (int i = 0; i < reply.Text.Count(); ++i) {
    if (i > 0) text += "\r\n";
    text += reply.Text.Get(i);
  }
  return text;
}

}  // namespace

int TNetTCPConnection::CheckReplyCode(const std::vector<int>& allowed) {
  const int code = last_reply_.NumericCode;
  if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), code) == allowed.end())
    RaiseLastReply();
  return code;
}

int TNetTCPConnection::ReadReply() {
  std::vector<std::string> lines;
  std::string line;
  do {
    line = ReadLine("\n", kUseReadTimeout, kUseMaxLineLength);
  } while (line.empty());
  lines.push_back(line);
  if (TNetRFCReply::ContinuesReply(line)) {
    const std::string code = line.substr(0, 3);
    do {
      line = ReadLine("\n", kUseReadTimeout, kUseMaxLineLength);
      lines.push_back(line);
    } while (!TNetRFCReply::EndsReply(line, code));
  }
  last_reply_.ParseLines(lines);
  return last_reply_.NumericCode;
}

void TNetTCPConnection::RaiseLastReply() {
  throw ENetProtocolReplyError(last_reply_.NumericCode, ReplyText(last_reply_));
}

void TNetTCPConnection::RaiseLastReplyAs(
    const std::function<void(int code, const std::string& text)>& raise) {
  const std::string text = ReplyText(last_reply_);
  if (raise) raise(last_reply_.NumericCode, text);
  throw ENetProtocolReplyError(last_reply_.NumericCode, text);
}

int TNetTCPConnection::SendCommand(const std::string& command, const std::vector<int>& allowed) {
  WriteLine(command);
  ReadReply();
  return CheckReplyCode(allowed);
}

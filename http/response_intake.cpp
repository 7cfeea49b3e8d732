// The client's side of taking a response off the connection: the reader does the reading;
// the client fills the response record, takes the cookies, reports the head and keeps track
// of whether a response is still pending on the connection.
#include "base/net_exceptions.h"
#include "base/text.h"
#include "cookies/cookie_manager.h"
#include "http/content_decoding.h"
#include "http/custom_http.h"
#include "http/response_framing.h"

void TNetCustomHTTP::ReadStatusAndHead(TNetHTTPProtocol& pair) {
  pair.Response.StatusLine = reader_.ReadStatusLine();
  ReadHeadOfStatus(pair);
}

void TNetCustomHTTP::ReadHeadOfStatus(TNetHTTPProtocol& pair) {
  ReadResponseHead(pair.Response);
  TakeResponseCookies(pair.Request, pair.Response);
  if (OnResponseHead) OnResponseHead(this, pair.Response.StatusLine, pair.Response.HeaderLines);
}

void TNetCustomHTTP::ReadResponseHeads(TNetHTTPProtocol& pair) {
  int interim = 0;
  for (;;) {
    ReadStatusAndHead(pair);
    if (pair.Response.StatusCode() != 100) return;
    if (++interim > http_limits::kMaxInterimResponses)
      throw ENetException(
          Format("More than %d interim responses.", http_limits::kMaxInterimResponses));
  }
}

void TNetCustomHTTP::ReadResponseHead(TNetHTTPResponse& response) {
  reader_.ReadHeaderLines(response.HeaderLines);
  response.ReadHeaderFields();
}

void TNetCustomHTTP::TakeResponseCookies(TNetHTTPRequest&, TNetHTTPResponse& response) {
  if (!cookie_manager_ && AllowCookies) {
    cookie_manager_ = new TNetCookieManager(this);
    owns_cookie_manager_ = true;
    FreeNotification(cookie_manager_);
  }
  if (!cookie_manager_) return;
  TStringList values;
  response.HeaderLines.ExtractValues("Set-cookie", &values);
  for (int i = 0; i < values.Count(); ++i)
    cookie_manager_->AddServerCookie(values.Get(i), CurrentAddress.HostName,
                                     CurrentAddress.Directory);
  values.Clear();
  response.HeaderLines.ExtractValues("Set-cookie2", &values);
  for (int i = 0; i < values.Count(); ++i)
    cookie_manager_->AddServerCookie2(values.Get(i), CurrentAddress.HostName,
                                      CurrentAddress.Directory);
}

void TNetCustomHTTP::ReadResponseBody(TNetHTTPResponse& response, TNetHTTPMethod method) {
  TStream* stream = response.BodyStream;
  const int64_t length = response.ContentLength;
  const TNetReaderState framing =
      BodyReaderState(true, method, response.StatusCode(),
                      response.HeaderLines.ValueOf("Transfer-Encoding"), length);
  // Without a stream nothing is read; a body left on the connection keeps it from being reused.
  if (!stream) {
    if (framing == TNetReaderState::rsFinished) response_pending_ = false;
    return;
  }
  const TNetContentCoding coding =
      DecodeContent && framing != TNetReaderState::rsFinished
          ? ContentCodingOf(response.HeaderLines.ValueOf("Content-Encoding"))
          : TNetContentCoding::ccIdentity;
  if (coding == TNetContentCoding::ccIdentity) {
    reader_.ReadBody(*stream, framing, length);
  } else {
    // Never the coded bytes under the resource's name: a coding we cannot undo fails the call,
    // and its body stays unread (the connection is not kept).
    try {
      if (coding == TNetContentCoding::ccUnknown)
        throw ENetException(Format("Content-Encoding \"%s\" is not supported",
                                   response.HeaderLines.ValueOf("Content-Encoding").c_str()));
      TNetContentDecoder decoder(coding, *stream);
      reader_.ReadBody(decoder, framing, length);
      decoder.Finish();
    } catch (...) {
      // What is left of the body must not be read as the next response.
      CloseConnection();
      throw;
    }
  }
  response_pending_ = false;
}

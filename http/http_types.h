// The small types of the HTTP client: request methods, protocol versions, where a request
// goes, what happens after a response, the client's options, and its event signatures.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/object.h"
#include "base/set.h"
#include "http/authentication.h"
#include "http/header_list.h"

enum class TNetHTTPMethod { hmHead, hmGet, hmPost, hmOptions, hmTrace, hmPut, hmDelete, hmConnect };

enum class TNetHTTPProtocolVersion { pv1_0, pv1_1 };

// Decided per request from the proxy settings and the address's scheme.
enum class TNetConnectionKind {
  ckDirect,      // plain HTTP to the server
  ckDirectTls,   // TLS to the server
  ckProxy,       // plain HTTP through the proxy
  ckTlsViaProxy  // TLS tunnelled through the proxy with CONNECT
};

// What the request loop does after a response has been evaluated.
enum class TNetNextStep {
  nsFollow,    // send again, to Request.RequestTarget
  nsDone,      // the call is complete
  nsUnknown,   // no decision could be made
  nsAuthRetry  // send again, to the address given to the call
};

enum class TNetHTTPOption { hoInProcessAuth, hoKeepOrigProtocol, hoForceEncodeParams };
using TNetHTTPOptions = TSet<TNetHTTPOption>;

// Where the client is while it takes a response off the connection.
enum class TNetReaderState {
  rsStatusLine,      // waiting for a status line
  rsHeaderLines,     // reading header lines up to the blank line
  rsBodyByLength,    // a body of a declared length
  rsBodyByChunks,    // a chunked body
  rsBodyUntilClose,  // a body that ends when the server closes
  rsFinished         // the response has been read to its end (or has no body)
};

// The word that starts the request line, its blank included.
const char* MethodWord(TNetHTTPMethod method);
// The methods whose request carries the caller's body: POST and PUT.
bool SendsBody(TNetHTTPMethod method);

// dest and NumRedirect may be changed by the handler, as may Handled and VMethod.
using TNetHTTPOnRedirectEvent = std::function<void(
    TObject* Sender, std::string& dest, int& NumRedirect, bool& Handled, TNetHTTPMethod& VMethod)>;
using TNetOnSelectAuthorization = std::function<void(
    TObject* Sender, TNetAuthenticationClass& AuthenticationClass, const TNetHeaderList& AuthInfo)>;
using TNetOnAuthorization =
    std::function<void(TObject* Sender, TNetAuthentication* Authentication, bool& Handled)>;
// After a request head has left: its lines, the request line first, without line ends.
using TNetOnRequestHead =
    std::function<void(TObject* Sender, const std::vector<std::string>& Lines)>;
// After a response head (interim ones included) has been read.
using TNetOnResponseHead = std::function<void(TObject* Sender, const std::string& StatusLine,
                                              const TNetHeaderList& HeaderLines)>;

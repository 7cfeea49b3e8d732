// How a client of the window or of the command line is configured: one description, applied
// to a client together with the settings every web client has.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "net/socks_info.h"

class TNetCustomHTTP;
class TNetSSLIOHandlerSocket;

struct TCredentials {
  std::string Username;
  std::string Password;
  bool operator==(const TCredentials&) const = default;
};

// A transfer that gets no connection within this long, or no byte within that long, gives up:
// the time limits of every client of the window and the command line unless told otherwise.
inline constexpr int kDefaultConnectTimeoutMs = 30 * 1000;
inline constexpr int kDefaultStallTimeoutMs = 60 * 1000;
// What Accept-Encoding asks for when compressed bodies are wanted.
inline constexpr char kCompressedEncodings[] = "gzip, deflate";

// What a client is asked to use beyond the stored settings. The defaults are the window's
// clients.
struct TClientOptions {
  std::optional<std::string> UserAgent;
  std::optional<std::string> Referer;
  // Basic credentials for the server.
  std::optional<TCredentials> User;
  // "NAME: VALUE" lines, in the order given.
  std::vector<std::string> Headers;
  bool FollowRedirects = true;
  // Redirections followed per address (the first request not counted); the client's own
  // maximum when unset.
  std::optional<int> MaxRedirects;
  bool Http10 = false;
  // Milliseconds without a byte before a transfer gives up (the client's ReadTimeout).
  int StallTimeoutMs = kDefaultStallTimeoutMs;
  // Milliseconds a connect may take (the client's ConnectTimeout).
  int ConnectTimeoutMs = kDefaultConnectTimeoutMs;
  // Milliseconds one transfer may take in all (the client's TransferTimeout); 0: no limit.
  int MaxTimeMs = 0;
  // Asks servers for gzip or deflate bodies (Accept-Encoding). Bodies that come coded anyway
  // are decoded either way.
  bool Compressed = false;
  // An HTTP proxy when ProxyHost is not empty; its credentials are only used then.
  std::string ProxyHost;
  int ProxyPort = 0;
  std::optional<TCredentials> ProxyUser;
  TSocksVersion Socks = TSocksVersion::svNoSocks;
  std::string SocksHost;
  int SocksPort = 0;
  std::optional<TCredentials> SocksUser;
  // Whether the certificates of https servers are checked.
  bool VerifyPeer = true;
  // PEM file trusted instead of the system's store.
  std::optional<std::string> CAFile;

  bool operator==(const TClientOptions&) const = default;
};

// Gives `http` the stored settings, `tls` as its I/O handler (see ApplyWebClientSettings: not
// owned, it must outlive the client's use), then `options`.
void ApplyClientOptions(TNetCustomHTTP& http, TNetSSLIOHandlerSocket& tls,
                        const TClientOptions& options);

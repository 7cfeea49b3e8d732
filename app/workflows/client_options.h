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

// What a client is asked to use beyond the stored settings. The defaults change nothing: they
// are the window's clients.
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
  // Milliseconds a read may wait for data; the stored setting (no limit) when unset.
  std::optional<int> ReadTimeoutMs;
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

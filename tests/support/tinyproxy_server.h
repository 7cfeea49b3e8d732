// A tinyproxy HTTP proxy for one test, on a free port of 127.0.0.1, run in the foreground with a
// generated configuration in a temporary folder. It forwards only to loopback hosts.
#pragma once

#include <string>
#include <vector>

#include "tests/support/server_launch.h"
#include "tests/support/temp_dir.h"

class TinyproxyServer : public LaunchedServer {
 public:
  TinyproxyServer();
  TinyproxyServer(const TinyproxyServer&) = delete;
  TinyproxyServer& operator=(const TinyproxyServer&) = delete;
  ~TinyproxyServer();

  // Read by Start().
  // With a user, requests without these Basic credentials get 407 (no spaces in either).
  std::string BasicAuthUser;
  std::string BasicAuthPassword;
  // CONNECT is allowed only to these ports; empty: to any port.
  std::vector<int> ConnectPorts;
  // Target hosts the proxy forwards to (extended regular expressions); others get 403.
  std::vector<std::string> AllowedHosts = {"^127\\.[0-9]+\\.[0-9]+\\.[0-9]+$", "^localhost$"};
  // More configuration lines.
  std::string ExtraDirectives;

  void Start();
  std::string Log() const;
  const TempDir& Dir() const { return dir_; }

 private:
  std::string ConfigText(int port) const;

  TempDir dir_;
};

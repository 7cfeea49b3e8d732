// A dante SOCKS server (SOCKS 4 and 5, not 4A) for one test, on a free port of 127.0.0.1, run in
// the foreground with a generated configuration in a temporary folder. It relays only to
// 127.0.0.0/8.
#pragma once

#include <string>

#include "tests/support/server_launch.h"
#include "tests/support/temp_dir.h"

class DanteServer : public LaunchedServer {
 public:
  // The server checks user names against the system's accounts: this test-only account is
  // created (or repaired) on the first Start() that needs it.
  static constexpr const char* kUserName = "fgtest_socks";
  static constexpr const char* kPassword = "Socks-Test-7";

  // With `requireCredentials`, SOCKS 5 clients must authenticate with kUserName and kPassword
  // (and SOCKS 4 clients, which cannot, are refused); otherwise no authentication is asked.
  explicit DanteServer(bool requireCredentials = false);
  DanteServer(const DanteServer&) = delete;
  DanteServer& operator=(const DanteServer&) = delete;
  ~DanteServer();

  // Rules placed before the pass rules, e.g.
  // "socks block { from: 0.0.0.0/0 to: 127.0.0.1/32 port = 9 }" for a "not allowed" reply.
  std::string ExtraRules;

  void Start();
  std::string Log() const;
  const TempDir& Dir() const { return dir_; }

 private:
  std::string ConfigText(int port) const;

  bool requireCredentials_;
  TempDir dir_;
};

// Makes sure the system account DanteServer::kUserName exists with DanteServer::kPassword.
// Throws std::runtime_error when that cannot be done (it needs root).
void EnsureSocksTestUser();

// An nginx for one test: generated configuration, logs, temporary folders and document root all
// in a temporary folder; one process in the foreground on a free port of 127.0.0.1.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "tests/support/server_launch.h"
#include "tests/support/temp_dir.h"

// Out of the box it serves the files of Root() with Content-Length and keep-alive, and its own
// error pages (404 ...). Configure before Start():
//   nginx.AddLocation("= /old", "return 301 /new;");
//   nginx.AddLocation("/c/", "add_header Set-Cookie \"a=1; Path=/\";");
//   nginx.ServerDirectives += "error_page 404 /missing.html;\n";
class NginxServer : public LaunchedServer {
 public:
  NginxServer();
  NginxServer(const NginxServer&) = delete;
  NginxServer& operator=(const NginxServer&) = delete;
  ~NginxServer();

  // Port() is final once Start() returned (a port taken meanwhile by someone else is replaced).
  // "http://127.0.0.1:PORT" followed by `path`; with TLS "https://localhost:PORT" (the name the
  // test certificates carry).
  std::string Url(std::string_view path = "/") const;
  // Serves TLS with this certificate and key and these protocols (before Start()).
  void UseTls(const std::string& certificate, const std::string& key,
              const std::string& protocols = "TLSv1.2 TLSv1.3");

  // The document root, and files in it (folders are created; the path is returned).
  const std::string& Root() const { return root_; }
  std::string WriteFile(const std::string& relativePath, const std::string& content) const;
  // A file of `size` bytes of the generated pattern (see generated_bytes.h).
  std::string WriteGeneratedFile(const std::string& relativePath, std::uint64_t size) const;

  // Text placed inside the http block and inside the server block.
  std::string HttpDirectives;
  std::string ServerDirectives;
  // Adds "location MATCH { BODY }" to the server.
  void AddLocation(std::string_view match, std::string_view body);
  // Files below the location answer 401 unless the request carries Basic credentials of `user`.
  void AddBasicAuth(std::string_view location, const std::string& user, const std::string& password,
                    std::string_view realm = "Restricted");
  // Files below the location are sent with "Transfer-Encoding: chunked" (nginx cannot know the
  // length of what its include processor produces; files without include commands pass
  // unchanged).
  void AddChunkedLocation(std::string_view location);
  // Writes a password file with one user and returns its path. The password is stored hashed
  // when openssl is at hand, in plain form otherwise (nginx accepts both).
  std::string WritePasswordFile(const std::string& user, const std::string& password);

  void Start();

  std::string ConfigPath() const { return dir_.Path() + "/nginx.conf"; }
  std::string ErrorLog() const;
  std::string AccessLog() const;
  // Whether the access log holds `text` within `limit`: nginx logs a request once it is done,
  // which can be just after the client has read the last byte.
  bool AccessLogHas(const std::string& text,
                    std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
  const TempDir& Dir() const { return dir_; }

 private:
  std::string ConfigText(int port) const;

  TempDir dir_;
  std::string root_;
  std::string tlsDirectives_;
  int passwordFiles_ = 0;
};

#include "tests/support/nginx_server.h"

#include <filesystem>
#include <thread>

#include "tests/support/generated_bytes.h"
#include "tests/support/server_launch.h"

NginxServer::NginxServer() : root_(dir_.Path() + "/www") {
  std::filesystem::create_directories(root_);
}

NginxServer::~NginxServer() {
  Stop();
}

std::string NginxServer::Url(std::string_view path) const {
  if (!tlsDirectives_.empty())
    return "https://localhost:" + std::to_string(Port()) + std::string(path);
  return "http://127.0.0.1:" + std::to_string(Port()) + std::string(path);
}

void NginxServer::UseTls(const std::string& certificate, const std::string& key,
                         const std::string& protocols) {
  tlsDirectives_ = "    ssl_certificate " + certificate + ";\n    ssl_certificate_key " + key +
                   ";\n    ssl_protocols " + protocols + ";\n";
}

std::string NginxServer::WriteFile(const std::string& relativePath,
                                   const std::string& content) const {
  return dir_.WriteFile("www/" + relativePath, content);
}

std::string NginxServer::WriteGeneratedFile(const std::string& relativePath,
                                            std::uint64_t size) const {
  const std::string path = WriteFile(relativePath, "");
  ::WriteGeneratedFile(path, size);
  return path;
}

void NginxServer::AddLocation(std::string_view match, std::string_view body) {
  ServerDirectives +=
      "    location " + std::string(match) + " {\n      " + std::string(body) + "\n    }\n";
}

std::string NginxServer::WritePasswordFile(const std::string& user, const std::string& password) {
  std::string hash = "{PLAIN}" + password;
  try {
    const ProgramResult made =
        RunProgram({"openssl", "passwd", "-apr1", "-stdin"}, password + "\n");
    if (made.ExitCode == 0 && made.Stdout.rfind("$apr1$", 0) == 0) {
      hash = made.Stdout.substr(0, made.Stdout.find('\n'));
    }
  } catch (const std::exception&) {
    // No openssl: the plain form is still accepted.
  }
  return dir_.WriteFile("passwords-" + std::to_string(++passwordFiles_), user + ":" + hash + "\n");
}

void NginxServer::AddBasicAuth(std::string_view location, const std::string& user,
                               const std::string& password, std::string_view realm) {
  const std::string file = WritePasswordFile(user, password);
  AddLocation(location, "auth_basic \"" + std::string(realm) + "\";\n      auth_basic_user_file " +
                            file + ";");
}

void NginxServer::AddChunkedLocation(std::string_view location) {
  AddLocation(location, "ssi on;\n      ssi_types *;");
}

std::string NginxServer::ConfigText(int port) const {
  // One process in the foreground: the test owns it directly, and as root it keeps its rights,
  // so it can read the test's private temporary folder.
  static const char* const kTemplate = R"(daemon off;
master_process off;
worker_processes 1;
pid @DIR@/nginx.pid;
error_log @DIR@/error.log info;
events { worker_connections 1024; }
http {
  access_log @DIR@/access.log;
  client_body_temp_path @DIR@/tmp/body;
  proxy_temp_path @DIR@/tmp/proxy;
  fastcgi_temp_path @DIR@/tmp/fastcgi;
  uwsgi_temp_path @DIR@/tmp/uwsgi;
  scgi_temp_path @DIR@/tmp/scgi;
  types {
    text/html html htm;
    text/plain txt;
    text/css css;
    application/javascript js;
    application/json json;
    application/wasm wasm;
    application/x-shockwave-flash swf;
    image/png png;
    image/gif gif;
    image/jpeg jpg jpeg;
  }
  default_type application/octet-stream;
  sendfile on;
  keepalive_timeout 60s;
@HTTP@
  server {
    listen 127.0.0.1:@PORT@@SSL@;
    server_name localhost;
    root @ROOT@;
@TLS@@SERVER@
  }
}
)";
  // The directives of the test go in last, so that no placeholder is looked for inside them.
  return FillTemplate(kTemplate, {{"@DIR@", dir_.Path()},
                                  {"@PORT@", std::to_string(port)},
                                  {"@ROOT@", root_},
                                  {"@SSL@", tlsDirectives_.empty() ? "" : " ssl"},
                                  {"@TLS@", tlsDirectives_},
                                  {"@HTTP@", HttpDirectives},
                                  {"@SERVER@", ServerDirectives}});
}

void NginxServer::Start() {
  if (Running()) return;
  std::filesystem::create_directories(dir_.Path() + "/tmp");
  Launch("nginx", [this](int port) {
    dir_.WriteFile("nginx.conf", ConfigText(port));
    return std::vector<std::string>{"nginx", "-c", ConfigPath(), "-p", dir_.Path() + "/"};
  });
}

std::string NginxServer::ErrorLog() const {
  return ReadFileBytes(dir_.Path() + "/error.log") + Stderr();
}

std::string NginxServer::AccessLog() const {
  return ReadFileBytes(dir_.Path() + "/access.log");
}

bool NginxServer::AccessLogHas(const std::string& text, std::chrono::milliseconds limit) const {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (AccessLog().find(text) != std::string::npos) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

#include "tests/support/tinyproxy_server.h"

#include "tests/support/server_launch.h"

TinyproxyServer::TinyproxyServer() = default;

TinyproxyServer::~TinyproxyServer() {
  Stop();
}

std::string TinyproxyServer::ConfigText(int port) const {
  // The host filter is an allow list: a test that names a remote host by mistake gets 403
  // instead of traffic leaving the machine.
  static const char* const kTemplate = R"(Port @PORT@
Listen 127.0.0.1
Allow 127.0.0.1
PidFile "@DIR@/tinyproxy.pid"
LogFile "@DIR@/tinyproxy.log"
LogLevel Info
MaxClients 100
Timeout 60
Filter "@DIR@/hosts"
FilterDefaultDeny Yes
FilterType ere
)";
  std::string text =
      FillTemplate(kTemplate, {{"@DIR@", dir_.Path()}, {"@PORT@", std::to_string(port)}});
  if (!BasicAuthUser.empty()) text += "BasicAuth " + BasicAuthUser + " " + BasicAuthPassword + "\n";
  for (int p : ConnectPorts)
    text += "ConnectPort " + std::to_string(p) + "\n";
  return text + ExtraDirectives + "\n";
}

void TinyproxyServer::Start() {
  if (Running()) return;
  std::string hosts;
  for (const auto& h : AllowedHosts)
    hosts += h + "\n";
  dir_.WriteFile("hosts", hosts);
  Launch("tinyproxy", [this](int port) {
    const std::string config = dir_.WriteFile("tinyproxy.conf", ConfigText(port));
    return std::vector<std::string>{"tinyproxy", "-d", "-c", config};
  });
}

std::string TinyproxyServer::Log() const {
  return ReadFileBytes(dir_.Path() + "/tinyproxy.log") + Stderr();
}

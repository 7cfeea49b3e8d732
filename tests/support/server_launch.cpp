#include "tests/support/server_launch.h"

#include <chrono>
#include <stdexcept>

#include "tests/support/free_port.h"

namespace {
constexpr int kAttempts = 3;
constexpr std::chrono::seconds kStartLimit(10);
}  // namespace

std::unique_ptr<ChildProcess> LaunchServer(
    const std::string& name, int* port,
    const std::function<std::vector<std::string>(int port)>& prepare) {
  std::string failures;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (attempt > 0) *port = FreeTcpPort();
    auto child = std::make_unique<ChildProcess>(prepare(*port));
    child->Start();
    const bool accepts = WaitUntilPortAccepts(*port, kStartLimit, [&] { return child->Running(); });
    const bool exited = !child->Running();
    if (accepts && !exited) return child;
    child->Stop();
    failures += "\n" + child->Describe();
    if (!exited) break;  // running but not accepting: another port would not help
  }
  throw std::runtime_error(name + " did not start on 127.0.0.1:" + std::to_string(*port) + ":" +
                           failures);
}

LaunchedServer::LaunchedServer() : port_(FreeTcpPort()) {}

LaunchedServer::~LaunchedServer() {
  Stop();
}

void LaunchedServer::Launch(const std::string& name,
                            const std::function<std::vector<std::string>(int port)>& prepare) {
  process_ = LaunchServer(name, &port_, prepare);
}

void LaunchedServer::Stop() {
  if (process_) process_->Stop();
}

bool LaunchedServer::Running() const {
  return process_ && process_->Running();
}

pid_t LaunchedServer::Pid() const {
  return process_ ? process_->Pid() : 0;
}

std::string LaunchedServer::Stderr() const {
  return process_ ? process_->Stderr() : "";
}

std::string FillTemplate(std::string text,
                         const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [placeholder, value] : values) {
    for (auto at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at + value.size())) {
      text.replace(at, placeholder.size(), value);
    }
  }
  return text;
}

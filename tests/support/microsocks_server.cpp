#include "tests/support/microsocks_server.h"

#include "tests/support/free_port.h"
#include "tests/support/server_launch.h"

MicrosocksServer::MicrosocksServer(std::string user, std::string password)
    : user_(std::move(user)), password_(std::move(password)), port_(FreeTcpPort()) {}

MicrosocksServer::~MicrosocksServer() {
  Stop();
}

void MicrosocksServer::Start() {
  if (Running()) return;
  process_ = LaunchServer("microsocks", &port_, [this](int port) {
    std::vector<std::string> argv = {"microsocks",         "-i", "127.0.0.1", "-p",
                                     std::to_string(port), "-b", "127.0.0.1"};
    if (!user_.empty()) argv.insert(argv.end(), {"-u", user_, "-P", password_});
    return argv;
  });
}

void MicrosocksServer::Stop() {
  if (process_) process_->Stop();
}

bool MicrosocksServer::Running() const {
  return process_ && process_->Running();
}

pid_t MicrosocksServer::Pid() const {
  return process_ ? process_->Pid() : 0;
}

std::string MicrosocksServer::Log() const {
  return process_ ? process_->Stderr() : "";
}

#include "tests/support/microsocks_server.h"

#include "tests/support/server_launch.h"

MicrosocksServer::MicrosocksServer(std::string user, std::string password)
    : user_(std::move(user)), password_(std::move(password)) {}

void MicrosocksServer::Start() {
  if (Running()) return;
  Launch("microsocks", [this](int port) {
    std::vector<std::string> argv = {"microsocks",         "-i", "127.0.0.1", "-p",
                                     std::to_string(port), "-b", "127.0.0.1"};
    if (!user_.empty()) argv.insert(argv.end(), {"-u", user_, "-P", password_});
    return argv;
  });
}

std::string MicrosocksServer::Log() const {
  return Stderr();
}

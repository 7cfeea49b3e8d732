#include "tests/support/dante_server.h"

#include <pwd.h>
#include <shadow.h>

#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "tests/support/server_launch.h"

namespace {

// A usable password hash starts with "$"; "!" or "*" mean the account cannot log in.
bool HasUsablePassword(const char* user) {
  const spwd* entry = ::getspnam(user);
  return entry && entry->sp_pwdp && entry->sp_pwdp[0] == '$';
}

}  // namespace

void EnsureSocksTestUser() {
  static std::mutex once;
  std::lock_guard<std::mutex> lock(once);
  const char* user = DanteServer::kUserName;
  if (::getpwnam(user) && HasUsablePassword(user)) return;
  if (!::getpwnam(user)) {
    // 9: another test process created it a moment ago.
    const ProgramResult added = RunProgram(
        {"useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin", user});
    if (added.ExitCode != 0 && added.ExitCode != 9) {
      throw std::runtime_error("cannot create the account " + std::string(user) + ": " +
                               added.Stderr);
    }
  }
  // Another process may hold the password file's lock for a moment.
  std::string error;
  for (int attempt = 0; attempt < 10; ++attempt) {
    const ProgramResult set =
        RunProgram({"chpasswd"}, std::string(user) + ":" + DanteServer::kPassword + "\n");
    if (set.ExitCode == 0) return;
    error = set.Stderr;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  throw std::runtime_error("cannot set the password of " + std::string(user) + ": " + error);
}

DanteServer::DanteServer(bool requireCredentials) : requireCredentials_(requireCredentials) {}

DanteServer::~DanteServer() {
  Stop();
}

std::string DanteServer::ConfigText(int port) const {
  // Relaying only between loopback addresses keeps every test's traffic on this machine.
  static const char* const kTemplate = R"(logoutput: @DIR@/danted.log
internal: 127.0.0.1 port = @PORT@
external: 127.0.0.1
clientmethod: none
socksmethod: @METHOD@
user.privileged: root
user.unprivileged: nobody
@RULES@
client pass { from: 127.0.0.0/8 to: 127.0.0.0/8 log: error }
socks pass { from: 127.0.0.0/8 to: 127.0.0.0/8 log: error }
)";
  return FillTemplate(kTemplate, {{"@DIR@", dir_.Path()},
                                  {"@PORT@", std::to_string(port)},
                                  {"@METHOD@", requireCredentials_ ? "username" : "none"},
                                  {"@RULES@", ExtraRules}});
}

void DanteServer::Start() {
  if (Running()) return;
  if (requireCredentials_) EnsureSocksTestUser();
  Launch("danted", [this](int port) {
    const std::string config = dir_.WriteFile("danted.conf", ConfigText(port));
    // In the foreground the test owns the server's process group and can stop all of it.
    return std::vector<std::string>{"danted", "-f", config};
  });
}

std::string DanteServer::Log() const {
  return ReadFileBytes(dir_.Path() + "/danted.log") + Stderr();
}

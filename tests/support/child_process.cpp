#include "tests/support/child_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kPollStep(5);

std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  std::string path = ::getenv("PATH") ? ::getenv("PATH") : "";
  // Daemons live in sbin folders, which a non-login PATH may lack.
  path += ":/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin";
  std::stringstream folders(path);
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (folder.empty()) continue;
    const std::string candidate = folder + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  throw std::runtime_error("program not found: " + name);
}

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& overrides) {
  std::vector<std::string> merged;
  auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  for (char** e = environ; e && *e; ++e) {
    const std::string entry = *e;
    bool replaced = false;
    for (const auto& o : overrides)
      replaced = replaced || nameOf(o) == nameOf(entry);
    if (!replaced) merged.push_back(entry);
  }
  for (const auto& o : overrides) {
    if (o.find('=') != std::string::npos) merged.push_back(o);
  }
  return merged;
}

std::vector<char*> CPointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (auto& s : strings)
    pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

int ShellExitCode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

std::string Tail(const std::string& text, std::size_t n) {
  return text.size() <= n ? text : "..." + text.substr(text.size() - n);
}

// Fields after the command name of /proc/PID/stat: state, parent, process group.
bool ReadStat(const std::string& statPath, char* state, pid_t* pgrp) {
  std::ifstream in(statPath);
  std::string line;
  if (!std::getline(in, line)) return false;
  const auto close = line.rfind(')');
  if (close == std::string::npos) return false;
  std::istringstream fields(line.substr(close + 1));
  long ppid = 0, group = 0;
  if (!(fields >> *state >> ppid >> group)) return false;
  *pgrp = static_cast<pid_t>(group);
  return true;
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> argv) : argv_(std::move(argv)) {
  if (argv_.empty()) throw std::invalid_argument("ChildProcess: empty command line");
  stdoutPath_ = dir_.Path() + "/stdout.log";
  stderrPath_ = dir_.Path() + "/stderr.log";
}

ChildProcess::~ChildProcess() {
  Stop();
}

void ChildProcess::Start() {
  if (!reaped_) throw std::logic_error("ChildProcess: already running: " + argv_[0]);
  std::vector<std::string> args = argv_;
  const std::string program = FindProgram(args[0]);
  std::vector<std::string> env = MergedEnvironment(Environment);
  std::vector<char*> argp = CPointers(args);
  std::vector<char*> envp = CPointers(env);

  const std::string stdinPath = dir_.WriteFile("stdin.txt", StdinText);
  const int in = ::open(StdinText.empty() ? "/dev/null" : stdinPath.c_str(), O_RDONLY | O_CLOEXEC);
  const int out = ::open(stdoutPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  const int err = ::open(stderrPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  int report[2] = {-1, -1};  // carries errno of a failed exec; end of file means exec worked
  if (in < 0 || out < 0 || err < 0 || ::pipe2(report, O_CLOEXEC) != 0) {
    for (int fd : {in, out, err, report[0], report[1]}) {
      if (fd >= 0) ::close(fd);
    }
    throw std::runtime_error("ChildProcess: cannot prepare files for " + program);
  }
  const pid_t parent = ::getpid();
  const char* workdir = WorkingDirectory.empty() ? nullptr : WorkingDirectory.c_str();

  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only async-signal-safe calls between fork and exec: other threads may hold locks.
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(127);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (report[1] != 3) ::dup2(report[1], 3);
    ::fcntl(3, F_SETFD, FD_CLOEXEC);
    ::close_range(4, ~0U, 0);
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    for (int sig : {SIGPIPE, SIGTERM, SIGINT, SIGHUP, SIGQUIT, SIGCHLD, SIGUSR1, SIGUSR2}) {
      ::sigaction(sig, &standard, nullptr);
    }
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    int error = 0;
    if (workdir && ::chdir(workdir) != 0) {
      error = errno;
    } else {
      ::execve(program.c_str(), argp.data(), envp.data());
      error = errno;
    }
    [[maybe_unused]] auto written = ::write(3, &error, sizeof error);
    ::_exit(127);
  }
  ::close(in);
  ::close(out);
  ::close(err);
  ::close(report[1]);
  if (pid < 0) {
    ::close(report[0]);
    throw std::runtime_error("ChildProcess: fork failed for " + program);
  }
  ::setpgid(pid, pid);  // also here, so that a signal sent right after Start reaches the group
  pid_ = pid;
  reaped_ = false;
  exitCode_ = -1;
  int error = 0;
  ssize_t n;
  do {
    n = ::read(report[0], &error, sizeof error);
  } while (n < 0 && errno == EINTR);
  ::close(report[0]);
  if (n == static_cast<ssize_t>(sizeof error)) {
    Reap(true);
    throw std::runtime_error("ChildProcess: cannot run " + program + ": " + std::strerror(error));
  }
}

bool ChildProcess::Reap(bool block) {
  if (reaped_) return true;
  int status = 0;
  pid_t r;
  do {
    r = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return false;
  reaped_ = true;
  exitCode_ = r == pid_ ? ShellExitCode(status) : -1;
  return true;
}

bool ChildProcess::Running() {
  return !Reap(false);
}

bool ChildProcess::WaitForExit(Duration limit) {
  const auto deadline = Clock::now() + limit;
  while (!Reap(false)) {
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollStep);
  }
  return true;
}

int ChildProcess::Stop(Duration grace) {
  if (pid_ == 0) return exitCode_;
  if (!reaped_) {
    ::kill(-pid_, SIGTERM);
    ::kill(pid_, SIGTERM);  // in case the program left our process group
    if (!WaitForExit(grace)) {
      ::kill(-pid_, SIGKILL);
      ::kill(pid_, SIGKILL);
      Reap(true);
    }
  }
  // Helpers of the program may outlive it; none may outlive the test.
  if (!ProcessGroupAlive(pid_)) return exitCode_;
  ::kill(-pid_, SIGTERM);
  const auto deadline = Clock::now() + grace;
  while (ProcessGroupAlive(pid_) && Clock::now() < deadline)
    std::this_thread::sleep_for(kPollStep);
  if (ProcessGroupAlive(pid_)) {
    ::kill(-pid_, SIGKILL);
    const auto killDeadline = Clock::now() + std::chrono::seconds(2);
    while (ProcessGroupAlive(pid_) && Clock::now() < killDeadline) {
      std::this_thread::sleep_for(kPollStep);
    }
  }
  return exitCode_;
}

std::string ChildProcess::Stdout() const {
  return ReadFileBytes(stdoutPath_);
}
std::string ChildProcess::Stderr() const {
  return ReadFileBytes(stderrPath_);
}

std::string ChildProcess::Describe() const {
  std::string text;
  for (const auto& a : argv_)
    text += (text.empty() ? "" : " ") + a;
  text += reaped_ ? (pid_ ? " (exited, code " + std::to_string(exitCode_) + ")" : " (not started)")
                  : " (running, pid " + std::to_string(pid_) + ")";
  const std::string out = Stdout(), err = Stderr();
  if (!out.empty()) text += "\nstdout: " + Tail(out, 2000);
  if (!err.empty()) text += "\nstderr: " + Tail(err, 2000);
  return text;
}

ProgramResult RunProgram(std::vector<std::string> argv, const std::string& stdinText,
                         std::chrono::milliseconds limit) {
  ChildProcess child(std::move(argv));
  child.StdinText = stdinText;
  child.Start();
  ProgramResult result;
  if (child.WaitForExit(limit)) result.ExitCode = child.ExitCode();
  child.Stop();
  result.Stdout = child.Stdout();
  result.Stderr = child.Stderr();
  return result;
}

bool ProcessAlive(pid_t pid) {
  if (pid <= 0 || ::kill(pid, 0) != 0) return false;
  char state = '?';
  pid_t group = 0;
  if (!ReadStat("/proc/" + std::to_string(pid) + "/stat", &state, &group)) return false;
  return state != 'Z' && state != 'X';
}

bool ProcessGroupAlive(pid_t pgid) {
  if (pgid <= 0 || ::kill(-pgid, 0) != 0) return false;
  // Zombies keep a group alive for kill(); orphaned ones may never be reaped in a container.
  DIR* proc = ::opendir("/proc");
  if (!proc) return true;
  bool alive = false;
  while (dirent* entry = ::readdir(proc)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    char state = '?';
    pid_t group = 0;
    if (ReadStat(std::string("/proc/") + entry->d_name + "/stat", &state, &group) &&
        group == pgid && state != 'Z' && state != 'X') {
      alive = true;
      break;
    }
  }
  ::closedir(proc);
  return alive;
}

pid_t ReadPidFile(const std::string& path) {
  std::ifstream in(path);
  long pid = 0;
  if (!(in >> pid) || pid <= 0) return 0;
  return static_cast<pid_t>(pid);
}

bool StopProcessByPidFile(const std::string& pidFile, std::chrono::milliseconds grace) {
  const pid_t pid = ReadPidFile(pidFile);
  if (pid == 0 || !ProcessAlive(pid)) return true;
  ::kill(pid, SIGTERM);
  const auto deadline = Clock::now() + grace;
  while (ProcessAlive(pid) && Clock::now() < deadline)
    std::this_thread::sleep_for(kPollStep);
  if (ProcessAlive(pid)) {
    ::kill(pid, SIGKILL);
    const auto killDeadline = Clock::now() + std::chrono::seconds(2);
    while (ProcessAlive(pid) && Clock::now() < killDeadline)
      std::this_thread::sleep_for(kPollStep);
  }
  return !ProcessAlive(pid);
}

// The movie reader over a 50 MiB CWS movie of many action blocks, built by the tests' movie
// writer: prints MiB/s of the whole read (inflate and scan, of the unpacked size) and the
// memory the read took at its peak beside the unpacked size; the read also in processor time,
// which a busy machine does not inflate.
//   movie_read [MIB [RUNS]]
// The read runs in a child process of its own, so that building the movie does not count in
// its peak.
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "rescue/movie_refs.h"
#include "swf/movie_container.h"
#include "swf/movie_reader.h"
#include "tests/support/movie_writer.h"
#include "tests/support/temp_dir.h"

namespace {

// Resident and peak resident memory in KiB, from the kernel's view of this process.
long StatusKiB(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::string(field).size());
  return 0;
}

// The processor time this process has used, in seconds: unlike the clock on the wall, it does
// not count the time other programs on a busy machine take from the read.
double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// One block: a pool, pushes of pool entries, integers and strings, a GetURL, some arithmetic.
std::string Block(int i) {
  const std::string n = std::to_string(i % 1000);
  TActionWriter actions;
  actions.ConstantPool({"levels/level" + n + ".swf", "flash.display.Loader", "onLoad", "_root",
                        "data/item" + n + ".xml", "score"});
  for (int k = 0; k < 8; ++k)
    actions.PushPooled(static_cast<uint16_t>(k % 6)).PushInteger(i * 31 + k).Simple(0x47);
  actions.PushString("sounds/s" + n + ".mp3").Simple(0x1D);
  actions.PushString("x" + std::to_string(i)).Simple(0x1C).Simple(0x17);
  actions.GetURL("http://example.com/p" + n + ".php?id=" + n);
  return DoActionTag(actions);
}

int Read(const std::string& path, int runs) {
  const std::string packed = ReadBoundedFile(path);
  const long before = StatusKiB("VmRSS:");
  double best = 1e30;
  double bestInflate = 1e30;
  double bestCpu = 1e30;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const TMovieContainer container(packed);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (seconds < bestInflate && container.Movie().size() > 0) bestInflate = seconds;
  }
  size_t unpacked = 0;
  size_t found = 0;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    const double startCpu = CpuSeconds();
    found = MovieAddresses(packed).size();
    const double cpu = CpuSeconds() - startCpu;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (seconds < best) best = seconds;
    if (cpu < bestCpu) bestCpu = cpu;
  }
  unpacked = static_cast<uint8_t>(packed[4]) | static_cast<uint8_t>(packed[5]) << 8 |
             static_cast<uint8_t>(packed[6]) << 16 |
             static_cast<size_t>(static_cast<uint8_t>(packed[7])) << 24;
  const long peak = StatusKiB("VmHWM:") - before;
  const double mib = unpacked / 1048576.0;
  std::printf("movie: %.1f MiB unpacked, %.1f MiB packed, %zu addresses\n", mib,
              packed.size() / 1048576.0, found);
  std::printf("read (inflate + scan), best of %d: %.3f s, %.0f MiB/s\n", runs, best, mib / best);
  std::printf("read in processor time, best of %d: %.3f s, %.0f MiB/s\n", runs, bestCpu,
              mib / bestCpu);
  std::printf("of which inflating alone: %.3f s, %.0f MiB/s\n", bestInflate, mib / bestInflate);
  std::printf("peak memory of the read: %.1f MiB (%.2fx the unpacked size)\n", peak / 1024.0,
              peak / 1024.0 / mib);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--read") return Read(argv[2], std::atoi(argv[3]));
  const long mib = argc > 1 ? std::atol(argv[1]) : 50;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;

  TempDir dir;
  const std::string path = dir.Path() + "/big.swf";
  {
    std::vector<std::string> tags;
    size_t size = 0;
    for (int i = 0; size < static_cast<size_t>(mib) << 20; ++i) {
      tags.push_back(Block(i));
      size += tags.back().size();
    }
    dir.WriteFile("big.swf", Movie(TMovieKind::mkZlib, tags));
  }
  const pid_t child = fork();
  if (child == 0) {
    execl("/proc/self/exe", argv[0], "--read", path.c_str(), std::to_string(runs).c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// The movie reader over two CWS movies built by the tests' writers: one of MIB (50) MiB of
// action blocks, one of ABC_MIB (24) MiB of byte-code method bodies. For each it prints MiB/s of
// the whole read (inflate and scan, of the unpacked size) and the memory the read took at its
// peak beside the unpacked size; the read also in processor time, which a busy machine does not
// inflate.
//   movie_read [MIB [RUNS [ABC_MIB]]]
// Each read runs in a child process of its own, so that building the movie does not count in
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
#include "tests/support/abc_writer.h"
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

// Byte code as a compiler writes it, one body per script: each body makes requests and loads
// them, computes, compares and branches, traces, and pushes strings, names and numbers.
std::string AbcMovie(size_t size) {
  TAbcWriter abc;
  std::vector<uint32_t> levels;
  for (int n = 0; n < 1000; ++n)
    levels.push_back(abc.String("levels/level" + std::to_string(n) + ".swf"));
  const uint32_t request = abc.QName("URLRequest");
  const uint32_t loader = abc.QName("loader");
  const uint32_t load = abc.QName("load");
  const uint32_t text = abc.QName("text");
  const uint32_t math = abc.QName("Math");
  const uint32_t random = abc.QName("random");
  const uint32_t trace = abc.QName("trace");
  const uint32_t score = abc.String("score");
  const uint32_t loading = abc.String("Loading...");
  const auto op = [&abc](uint8_t code, std::string operands = "") { abc.Op(code, operands); };
  size_t written = 0;
  for (int i = 0; written < size; ++i) {
    op(0xD0);  // getlocal_0
    op(0x30);  // pushscope
    for (int k = 0; k < 40; ++k) {
      const size_t before = abc.Code().size();
      op(0x5D, U30(request));                               // findpropstrict
      op(0x2C, U30(levels[(i * 40 + k) % levels.size()]));  // pushstring
      op(0x4A, U30(request) + U30(1));                      // constructprop
      op(0xD5);                                             // setlocal_1
      op(0x60, U30(loader));                                // getlex
      op(0xD1);                                             // getlocal_1
      op(0x4F, U30(load) + U30(1));                         // callpropvoid
      op(0x24, std::string(1, static_cast<char>(k)));       // pushbyte
      op(0x24, std::string(1, 7));                          // pushbyte
      op(0xA0);                                             // add
      op(0xD6);                                             // setlocal_2
      op(0xD2);                                             // getlocal_2
      op(0x24, std::string(1, 10));                         // pushbyte
      op(0x17, std::string(3, '\0'));                       // ifgt
      op(0x2C, U30(score));                                 // pushstring
      op(0x60, U30(text));                                  // getlex
      op(0x66, U30(text));                                  // getproperty
      op(0xA0);                                             // add
      op(0x29);                                             // pop
      op(0x60, U30(math));                                  // getlex
      op(0x46, U30(random) + U30(0));                       // callproperty
      op(0x73);                                             // convert_i
      op(0xD7);                                             // setlocal_3
      op(0x5D, U30(trace));                                 // findpropstrict
      op(0x2C, U30(loading));                               // pushstring
      op(0x4F, U30(trace) + U30(1));                        // callpropvoid
      op(0xD3);                                             // getlocal_3
      op(0x2D, U30(static_cast<uint32_t>(k)));              // pushint
      op(0xA2);                                             // multiply
      op(0x29);                                             // pop
      op(0xF0, U30(static_cast<uint32_t>(k + 1)));          // debugline
      written += abc.Code().size() - before;
    }
    abc.EndScript();
  }
  return Movie(TMovieKind::mkZlib, {DoAbcTag(abc)});
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
  std::printf("%s: %.1f MiB unpacked, %.1f MiB packed, %zu addresses\n",
              path.substr(path.rfind('/') + 1).c_str(), mib, packed.size() / 1048576.0, found);
  std::printf("read (inflate + scan), best of %d: %.3f s, %.0f MiB/s\n", runs, best, mib / best);
  std::printf("read in processor time, best of %d: %.3f s, %.0f MiB/s\n", runs, bestCpu,
              mib / bestCpu);
  std::printf("of which inflating alone: %.3f s, %.0f MiB/s\n", bestInflate, mib / bestInflate);
  std::printf("peak memory of the read: %.1f MiB (%.2fx the unpacked size)\n", peak / 1024.0,
              peak / 1024.0 / mib);
  return 0;
}

// Reads the movie at `path` in a child process; its exit status.
int ReadApart(const char* program, const std::string& path, int runs) {
  const pid_t child = fork();
  if (child == 0) {
    execl("/proc/self/exe", program, "--read", path.c_str(), std::to_string(runs).c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--read") return Read(argv[2], std::atoi(argv[3]));
  const long mib = argc > 1 ? std::atol(argv[1]) : 50;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  const long abcMib = argc > 3 ? std::atol(argv[3]) : 24;

  TempDir dir;
  {
    std::vector<std::string> tags;
    size_t size = 0;
    for (int i = 0; size < static_cast<size_t>(mib) << 20; ++i) {
      tags.push_back(Block(i));
      size += tags.back().size();
    }
    dir.WriteFile("actions.swf", Movie(TMovieKind::mkZlib, tags));
  }
  dir.WriteFile("bytecode.swf", AbcMovie(static_cast<size_t>(abcMib) << 20));
  const int actions = ReadApart(argv[0], dir.Path() + "/actions.swf", runs);
  std::printf("\n");
  const int bytecode = ReadApart(argv[0], dir.Path() + "/bytecode.swf", runs);
  return actions != 0 ? actions : bytecode;
}

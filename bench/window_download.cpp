// The window's download of one large file, timed with the anti-freeze and the progress bar on,
// with both off, and as the window did before either existed (both off, receives of the
// connection's default size), in turns; prints the median of each and the ratios. Driven by
// bench/window_download.sh, which serves the file.
//
//   window_download URL SIZE FOLDER RUNS
#include <sys/resource.h>

#include <QApplication>
#include <QListWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/anti_freeze.h"
#include "app/error_report.h"
#include "app/frm_pelmar.h"
#include "app/web_browser.h"
#include "http/http.h"

namespace {

// Processor time of this process so far (user + system), in milliseconds.
long long CpuMs() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto ms = [](const timeval& t) {
    return static_cast<long long>(t.tv_sec) * 1000 + t.tv_usec / 1000;
  };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct Timing {
  long long wallMs = -1;  // -1: the file did not arrive whole
  long long cpuMs = 0;
  long long eventTurns = 0;
};

// One download through the download button's handler.
enum class TMode { Before, Off, On };

Timing TimedDownload(const std::string& url, std::uintmax_t size, const std::string& folder,
                     TMode mode) {
  const std::string file = folder + "/" + url.substr(url.rfind('/') + 1);
  std::filesystem::remove(file);
  TFrmPelmar window(folder + "/setting.dat");
  window.outPath.Assign(folder);
  window.ListBox1->addItem(QString::fromStdString(url));
  window.ListBox1->selectAll();
  window.show();
  QApplication::processEvents();
  if (mode == TMode::Before) window.UdownFileHttp->RecvBufferSize = TNetHTTP::DefaultBufferSize;
  if (mode != TMode::On) {
    // What the window did before: every wait blocks, and nobody listens to the work events.
    window.AntiFreeze1->Active = false;
    window.UdownFileHttp->OnWorkBegin = nullptr;
    window.UdownFileHttp->OnWork = nullptr;
    window.UdownFileHttp->OnWorkEnd = nullptr;
  }
  Timing timing;
  const long long cpuStart = CpuMs();
  const auto start = std::chrono::steady_clock::now();
  window.DownBtnClick();
  const auto end = std::chrono::steady_clock::now();
  timing.cpuMs = CpuMs() - cpuStart;
  timing.eventTurns = window.AntiFreeze1->ProcessedCount();
  std::error_code error;
  if (std::filesystem::file_size(file, error) != size) return timing;
  std::filesystem::remove(file);
  timing.wallMs = std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count();
  return timing;
}

long long Median(std::vector<long long> values) {
  std::sort(values.begin(), values.end());
  return values[(values.size() - 1) / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: window_download URL SIZE FOLDER RUNS\n");
    return 2;
  }
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  PrepareWebEngine();
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication application(argc, argv);
  QApplication::setApplicationDisplayName(ApplicationTitle());
  const std::string url = argv[1];
  const std::uintmax_t size = std::strtoull(argv[2], nullptr, 10);
  const std::string folder = argv[3];
  const int runs = std::max(1, std::atoi(argv[4]));

  std::vector<long long> wall[3], cpu[3];
  const char* names[3] = {"as before", "progress off", "progress on"};
  for (int i = 0; i < runs; ++i) {
    std::printf("  run %d:", i + 1);
    for (int m = 0; m < 3; ++m) {
      const Timing t = TimedDownload(url, size, folder, static_cast<TMode>(m));
      if (t.wallMs < 0) {
        std::fprintf(stderr, "a download did not arrive whole\n");
        return 1;
      }
      wall[m].push_back(t.wallMs);
      cpu[m].push_back(t.cpuMs);
      std::printf("  %s %lld ms (cpu %lld)", names[m], t.wallMs, t.cpuMs);
      if (m == 2) std::printf(", %lld event turns", t.eventTurns);
    }
    std::printf("\n");
    std::fflush(stdout);
  }
  for (int m = 0; m < 3; ++m)
    std::printf("window download, %-13s median %lld ms, processor %lld ms\n", names[m],
                Median(wall[m]), Median(cpu[m]));
  const auto ratio = [](const std::vector<long long>& a, const std::vector<long long>& b) {
    return static_cast<double>(Median(a)) / static_cast<double>(Median(b));
  };
  std::printf("ratio on / off:       %.3f wall, %.3f processor\n", ratio(wall[2], wall[1]),
              ratio(cpu[2], cpu[1]));
  std::printf("ratio on / as before: %.3f wall, %.3f processor\n", ratio(wall[2], wall[0]),
              ratio(cpu[2], cpu[0]));
  return 0;
}

// Throughput of the grab's extraction pattern over a large page, with machine code and with
// the interpreter.
#include <benchmark/benchmark.h>

#include <string>

#include "regex/regex_matcher.h"

namespace {

// Byte for byte the pattern the grab runs.
const char kExtractionPattern[] = R"(["|'][a-zA-z]+://[^\s|^"]*\.swf["|'])";

constexpr size_t kPageSize = 50u << 20;
constexpr size_t kLinkEvery = 2u << 10;

// A page of ordinary markup and text with one quoted movie address per block. The rest holds
// what slows the search down in real pages: quoted attributes (each quote may start a match),
// absolute addresses that end in something else, and a ".swf" that is not quoted.
std::string MakeBlock(int block) {
  const std::string n = std::to_string(block);
  std::string chunk = "<embed src=\"http://media.test/movies/m" + n +
                      ".swf\" width=\"550\" height=\"400\" quality=\"high\">\n";
  for (int row = 0; chunk.size() < kLinkEvery; ++row) {
    const std::string r = std::to_string(row);
    switch (row % 4) {
      case 0:
        chunk += "<li class=\"item\"><a href=\"http://www.test/pages/" + n + "/" + r +
                 ".html\" title='Page " + r + "'>Page " + r + "</a></li>\n";
        break;
      case 1:
        chunk +=
            "<p>Some text of the page, with words, numbers such as 1234567890, the name "
            "movie.swf in plain text and punctuation; nothing here is quoted.</p>\n";
        break;
      case 2:
        chunk += "<img src=\"/images/p" + r + ".png\" alt=\"\" width=\"32\" height=\"32\">\n";
        break;
      default:
        chunk += "<td>More text in a table cell, a list of words and a few more words.</td>\n";
        break;
    }
  }
  chunk.resize(kLinkEvery - 1);
  chunk += '\n';
  return chunk;
}

std::string MakePage() {
  std::string page;
  page.reserve(kPageSize + kLinkEvery);
  for (int block = 0; page.size() < kPageSize; ++block)
    page += MakeBlock(block);
  page.resize(kPageSize);
  return page;
}

const std::string& Page() {
  static const std::string page = MakePage();
  return page;
}

void BM_ExtractLinks(benchmark::State& state, bool useJit) {
  const std::string& page = Page();
  TRegExMatcher matcher;
  matcher.SetUseJIT(useJit);
  matcher.SetRegEx(kExtractionPattern);
  matcher.Compile();
  if (matcher.JITActive() != useJit) {
    state.SkipWithError("machine-code matching is not available");
    return;
  }
  int64_t links = 0;
  for (auto _ : state) {
    state.PauseTiming();
    matcher.SetSubjectText(page);
    state.ResumeTiming();
    links = 0;
    while (matcher.MatchNext()) {
      std::string text = matcher.GroupText(0);
      benchmark::DoNotOptimize(text);
      ++links;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(page.size()));
  state.counters["links"] = static_cast<double>(links);
}

BENCHMARK_CAPTURE(BM_ExtractLinks, jit, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExtractLinks, interpreter, false)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

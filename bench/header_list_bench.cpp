// Header list folding, unfolding and lookup over one long value: the time per byte must stay
// flat from 64 KiB to 1 MiB (linear growth), whatever the number of continuation lines.
#include <benchmark/benchmark.h>

#include <string>

#include "http/header_list.h"

namespace {

// Words of seven letters separated by blanks, with a comma now and then.
std::string LongValue(size_t size) {
  std::string text;
  text.reserve(size);
  for (size_t i = 0; text.size() < size; ++i)
    text += (i % 8 == 7) ? (i % 64 == 63 ? ',' : ' ') : static_cast<char>('a' + i % 26);
  return text;
}

TNetHeaderList BlockAround(const std::string& value) {
  TNetHeaderList list;
  list.Add("Host: localhost");
  list.Add("Accept: text/html, */*");
  list.SetValueOf("X-Long", value);
  list.Add("User-Agent: Mozilla/3.0 (compatible; Net Library)");
  return list;
}

void BM_SetValueOfFolds(benchmark::State& state) {
  const std::string value = LongValue(static_cast<size_t>(state.range(0)));
  TNetHeaderList list = BlockAround("short");
  for (auto _ : state) {
    list.SetValueOf("X-Long", value);
    list.SetValueOf("X-Long", "short");
    benchmark::DoNotOptimize(list.Count());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
  state.SetComplexityN(state.range(0));
}

void BM_ValueOfUnfolds(benchmark::State& state) {
  const TNetHeaderList list = BlockAround(LongValue(static_cast<size_t>(state.range(0))));
  for (auto _ : state) {
    std::string value = list.ValueOf("x-long");
    benchmark::DoNotOptimize(value.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
  state.SetComplexityN(state.range(0));
}

void BM_IndexOfHeaderAfterLongValue(benchmark::State& state) {
  const TNetHeaderList list = BlockAround(LongValue(static_cast<size_t>(state.range(0))));
  for (auto _ : state)
    benchmark::DoNotOptimize(list.IndexOfHeader("user-agent"));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
  state.SetComplexityN(state.range(0));
}

void BM_WrapHeaderText(benchmark::State& state) {
  const std::string line = "X-Long: " + LongValue(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    std::string wrapped = WrapHeaderText(line, "\r\n ", "\t ,", 78);
    benchmark::DoNotOptimize(wrapped.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
  state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(BM_SetValueOfFolds)->RangeMultiplier(2)->Range(64 << 10, 1 << 20)->Complexity();
BENCHMARK(BM_ValueOfUnfolds)->RangeMultiplier(2)->Range(64 << 10, 1 << 20)->Complexity();
BENCHMARK(BM_IndexOfHeaderAfterLongValue)
    ->RangeMultiplier(2)
    ->Range(64 << 10, 1 << 20)
    ->Complexity();
BENCHMARK(BM_WrapHeaderText)->RangeMultiplier(2)->Range(64 << 10, 1 << 20)->Complexity();

BENCHMARK_MAIN();

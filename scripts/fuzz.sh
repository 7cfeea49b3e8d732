#!/bin/sh
# Builds the fuzz targets of fuzz/ with clang into build-fuzz/ and runs each of them for
# SECONDS (default 10). The corpus each target grows is kept in build-fuzz/corpus/NAME; the
# seeds in fuzz/seeds/NAME stay as they are. Fails when any target finds a crash, a leak,
# undefined behaviour or a hang; what it found is left in build-fuzz/findings/.
#
#   sh scripts/fuzz.sh [SECONDS]
set -eu
cd "$(dirname "$0")/.."
seconds="${1:-10}"

# libFuzzer comes with clang's runtime libraries; without them there is nothing to run.
probe_dir=$(mktemp -d)
trap 'rm -rf "$probe_dir"' EXIT
printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
  >"$probe_dir/probe.cpp"
if ! command -v clang++ >/dev/null 2>&1 ||
  ! clang++ -fsanitize=fuzzer,address,undefined "$probe_dir/probe.cpp" -o "$probe_dir/probe" \
    >/dev/null 2>&1; then
  echo "fuzz: skipped, clang++ with libFuzzer is missing (install clang and libclang-rt-14-dev)"
  exit 0
fi

cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DFLASHGRAB_FUZZ=ON -DFLASHGRAB_BUILD_APP=OFF -DFLASHGRAB_BUILD_TESTS=OFF \
  -DFLASHGRAB_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz --target fuzz_targets

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
mkdir -p build-fuzz/findings
failed=""
for source in fuzz/*_fuzz.cpp; do
  name=$(basename "$source" .cpp)
  corpus="build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  echo "fuzz: $name for ${seconds} s"
  # -timeout: one input that takes longer counts as a hang.
  if ! "build-fuzz/fuzz/$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -dict="fuzz/dict/$name.dict" \
    -artifact_prefix="build-fuzz/findings/$name-" "$corpus" "fuzz/seeds/$name" \
    >"build-fuzz/findings/$name.log" 2>&1; then
    tail -n 40 "build-fuzz/findings/$name.log"
    failed="$failed $name"
  else
    grep -E '^stat::(number_of_executed_units|new_units_added)' "build-fuzz/findings/$name.log" |
      tr '\n' ' '
    echo
  fi
done
if [ -n "$failed" ]; then
  echo "fuzz: findings in:$failed (inputs in build-fuzz/findings/)"
  exit 1
fi
echo "fuzz: no findings"

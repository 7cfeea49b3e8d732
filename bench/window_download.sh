#!/bin/sh
# Downloads a 1 GiB file from nginx on loopback through the window's download button (on Qt's
# offscreen platform), on, off and as before in turns, five times
# each (RUNS=N for more), and prints the median of each and their ratio.
#
#   sh bench/window_download.sh [PATH/TO/window_download]
#
# Default program: build-bench/bench/window_download, else build/bench/window_download (built
# with -DFLASHGRAB_BUILD_APP=ON). Needs nginx, curl and python3.
set -eu
cd "$(dirname "$0")/.."

. bench/lib.sh
program="${1:-}"
if [ -z "$program" ]; then
  for candidate in build-bench/bench/window_download build/bench/window_download; do
    if [ -x "$candidate" ]; then program="$candidate"; break; fi
  done
fi
if [ -z "$program" ] || [ ! -x "$program" ]; then
  echo "window_download not found; give its path" >&2
  exit 2
fi
require_tools nginx curl python3

runs=${RUNS:-5}
size=1073741824
make_work
mkdir -p "$work/out"
head -c "$size" /dev/zero >"$work/www/big.swf"
start_nginx application/x-shockwave-flash

echo "runs of each: $runs (1 GiB over loopback)"
"$program" "http://127.0.0.1:$port/big.swf" "$size" "$work/out" "$runs"

#!/bin/sh
# 2,000 requests for a 2 KiB file from nginx on loopback over one kept-alive connection:
# `flashgrab-cli get URL URL ...` against curl given the same 2,000 addresses, five runs each
# in turn (RUNS=N for more). Prints the median wall time of each, their ratio, requests a
# second, and the processor time of each. Both clients reuse the connection: nginx is told to
# keep it for all the requests.
#
#   sh bench/keepalive_vs_curl.sh [PATH/TO/flashgrab-cli]
#
# Default program: build-bench/cli/flashgrab-cli, else build/cli/flashgrab-cli. Needs nginx,
# curl, python3 and /usr/bin/time.
set -eu
cd "$(dirname "$0")/.."

. bench/lib.sh
find_cli "${1:-}"
require_tools nginx curl python3 /usr/bin/time

runs="${RUNS:-5}"
requests=2000
make_work
head -c 2048 /dev/urandom >"$work/www/small.bin"
nginx_extra="keepalive_requests 100000; keepalive_timeout 60s;"
start_nginx application/octet-stream
url="http://127.0.0.1:$port/small.bin"
i=0
: >"$work/urls"
while [ "$i" -lt "$requests" ]; do
  echo "$url" >>"$work/urls"
  i=$((i + 1))
done

# run NAME COMMAND...: one timed run; appends "MILLISECONDS KIB CPU_MS" to $work/NAME.
run() {
  name=$1
  shift
  start=$(now_ns)
  /usr/bin/time -f "%M %U %S" -o "$work/time.txt" "$@" >"$work/out.bin"
  end=$(now_ns)
  size=$(wc -c <"$work/out.bin")
  if [ "$size" -ne $((requests * 2048)) ]; then
    echo "$name wrote $size bytes, not $((requests * 2048))" >&2
    exit 1
  fi
  set -- $(cat "$work/time.txt")
  cpu=$(python3 -c "print(int(($2 + $3) * 1000))")
  echo "$(( (end - start) / 1000000 )) $1 $cpu" >>"$work/$name"
}

i=0
while [ "$i" -lt "$runs" ]; do
  # shellcheck disable=SC2046
  run flashgrab "$cli" get $(cat "$work/urls")
  # shellcheck disable=SC2046
  run curl curl -s --noproxy "*" $(cat "$work/urls")
  i=$((i + 1))
done
ours=$(median_ms flashgrab)
theirs=$(median_ms curl)
cpu_median() { cut -d' ' -f3 "$work/$1" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"; }
echo "runs of each:            $runs ($requests requests of 2 KiB over one kept-alive connection)"
echo "flashgrab-cli get:       median $ours ms, $(python3 -c "print(int($requests * 1000 / max($ours, 1)))") requests/s, processor $(cpu_median flashgrab) ms"
echo "curl:                    median $theirs ms, $(python3 -c "print(int($requests * 1000 / max($theirs, 1)))") requests/s, processor $(cpu_median curl) ms"
python3 -c "print('ratio (ours / curl):     %.3f' % ($ours / $theirs))"
echo "all runs (wall ms, KiB, cpu ms):"
paste -d' ' "$work/flashgrab" "$work/curl" |
  awk '{ printf "  ours %6d %7d %6d   curl %6d %7d %6d\n", $1, $2, $3, $4, $5, $6 }'

#!/bin/sh
# Downloads a 1 GiB file from nginx on loopback (http, or https) with `flashgrab-cli get -o` and with `curl -o`,
# five times each in turn (RUNS=N for more), and prints the median wall time of each, their
# ratio, the median processor time (user + system) of each, and the largest peak resident
# memory of each. Wall times on a shared machine vary with the disk and the neighbours; the
# processor time shows the clients' own work. With SCHEME=https both download over TLS from
# an nginx with a certificate made for the run, which both clients are told to trust.
#
#   sh bench/get_vs_curl.sh [PATH/TO/flashgrab-cli]
#   SCHEME=https sh bench/get_vs_curl.sh
#
# Default program: build-bench/cli/flashgrab-cli, else build/cli/flashgrab-cli. Build it
# optimised (RelWithDebInfo or Release). Needs nginx, curl, python3 and /usr/bin/time.
set -eu
cd "$(dirname "$0")/.."

. bench/lib.sh
find_cli "${1:-}"
require_tools nginx curl python3 /usr/bin/time

runs=${RUNS:-5}
size=1073741824
make_work
mkdir -p "$work/out"
# Written once; the page cache then serves every run the same way.
head -c "$size" /dev/zero >"$work/www/big.bin"

scheme=${SCHEME:-http}
trust=""
if [ "$scheme" = https ]; then
  require_tools openssl
  make_certificate
  trust="--cacert $tls_cert"
fi
start_nginx application/octet-stream
url="http://127.0.0.1:$port/big.bin"
if [ "$scheme" = https ]; then url="https://localhost:$port/big.bin"; fi

# run NAME COMMAND...: one timed download; appends "MILLISECONDS KIB CPU_MILLISECONDS" to
# $work/NAME.
run() {
  name=$1
  shift
  rm -f "$work/out/file"
  start=$(now_ns)
  /usr/bin/time -v -o "$work/time.txt" "$@"
  end=$(now_ns)
  got=$(stat -c %s "$work/out/file")
  if [ "$got" -ne "$size" ]; then echo "$name wrote $got bytes, not $size" >&2; exit 1; fi
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
  cpu=$(awk -F': ' '/User time|System time/ { s += $2 } END { printf "%d", s * 1000 }' \
    "$work/time.txt")
  echo "$(( (end - start) / 1000000 )) $rss $cpu" >>"$work/$name"
}

i=0
while [ "$i" -lt "$runs" ]; do
  # shellcheck disable=SC2086
  run flashgrab "$cli" get $trust -o "$work/out/file" "$url"
  # shellcheck disable=SC2086
  run curl curl -s -S --noproxy '*' $trust -o "$work/out/file" "$url"
  i=$((i + 1))
done

ours=$(median_ms flashgrab)
theirs=$(median_ms curl)
echo "runs of each:           $runs (1 GiB over loopback, $scheme)"
echo "flashgrab-cli get -o:   median $ours ms, peak RSS $(peak_kib flashgrab) KiB"
echo "curl -o:                median $theirs ms, peak RSS $(peak_kib curl) KiB"
python3 -c "print('ratio (ours / curl):    %.3f' % ($ours / $theirs))"
median_cpu() { cut -d' ' -f3 "$work/$1" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"; }
echo "processor time:         median ours $(median_cpu flashgrab) ms, curl $(median_cpu curl) ms"
echo "all runs (wall ms, KiB, cpu ms):"
paste -d' ' "$work/flashgrab" "$work/curl" |
  awk '{ printf "  ours %6d %6d %6d   curl %6d %6d %6d\n", $1, $2, $3, $4, $5, $6 }'

#!/bin/sh
# Downloads a 1 GiB file from nginx on loopback with `flashgrab-cli get -o` and with `curl -o`,
# five times each in turn, and prints the median wall time of each, their ratio, and the
# largest peak resident memory of each.
#
#   sh bench/get_vs_curl.sh [PATH/TO/flashgrab-cli]
#
# Default program: build-bench/cli/flashgrab-cli, else build/cli/flashgrab-cli. Build it
# optimised (RelWithDebInfo or Release). Needs nginx, curl, python3 and /usr/bin/time.
set -eu
cd "$(dirname "$0")/.."

cli="${1:-}"
if [ -z "$cli" ]; then
  for candidate in build-bench/cli/flashgrab-cli build/cli/flashgrab-cli; do
    if [ -x "$candidate" ]; then cli="$candidate"; break; fi
  done
fi
if [ -z "$cli" ] || [ ! -x "$cli" ]; then
  echo "flashgrab-cli not found; give its path" >&2
  exit 2
fi
for tool in nginx curl python3 /usr/bin/time; do
  command -v "$tool" >/dev/null 2>&1 || { echo "missing: $tool" >&2; exit 2; }
done

runs=5
size=1073741824
work=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

mkdir -p "$work/www" "$work/tmp" "$work/out"
# Written once; the page cache then serves every run the same way.
head -c "$size" /dev/zero >"$work/www/big.bin"

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/nginx.conf" <<EOF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $work/tmp/body;
  proxy_temp_path $work/tmp/proxy;
  fastcgi_temp_path $work/tmp/fastcgi;
  uwsgi_temp_path $work/tmp/uwsgi;
  scgi_temp_path $work/tmp/scgi;
  default_type application/octet-stream;
  sendfile on;
  server {
    listen 127.0.0.1:$port;
    root $work/www;
  }
}
EOF
nginx -c "$work/nginx.conf" -p "$work/" &
pid=$!
url="http://127.0.0.1:$port/big.bin"
tries=0
until curl -s -o /dev/null --noproxy '*' "http://127.0.0.1:$port/"; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ]; then echo "nginx did not start" >&2; cat "$work/error.log" >&2; exit 1; fi
  sleep 0.1
done

now_ns() { date +%s%N; }

# run NAME COMMAND...: one timed download; appends "SECONDS KIB" to $work/NAME.
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
  echo "$(( (end - start) / 1000000 )) $rss" >>"$work/$name"
}

i=0
while [ "$i" -lt "$runs" ]; do
  run flashgrab "$cli" get -o "$work/out/file" "$url"
  run curl curl -s -S --noproxy '*' -o "$work/out/file" "$url"
  i=$((i + 1))
done

median_ms() { cut -d' ' -f1 "$work/$1" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"; }
peak_kib() { cut -d' ' -f2 "$work/$1" | sort -n | tail -n 1; }

ours=$(median_ms flashgrab)
theirs=$(median_ms curl)
echo "runs of each:           $runs (1 GiB over loopback)"
echo "flashgrab-cli get -o:   median $ours ms, peak RSS $(peak_kib flashgrab) KiB"
echo "curl -o:                median $theirs ms, peak RSS $(peak_kib curl) KiB"
python3 -c "print('ratio (ours / curl):    %.3f' % ($ours / $theirs))"
echo "all times (ms, KiB):"
paste -d' ' "$work/flashgrab" "$work/curl" | awk '{ printf "  ours %6d %6d   curl %6d %6d\n", $1, $2, $3, $4 }'

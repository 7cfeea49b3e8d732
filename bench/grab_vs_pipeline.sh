#!/bin/sh
# Grabs a 50 MiB page from nginx on loopback with `flashgrab-cli grab` and with the pipeline
# `curl -s URL | grep -oP PATTERN | sort -f -u`, five times each in turn, and prints the median
# wall time of each, their ratio, and the peak resident memory of our grab against the page size.
#
#   sh bench/grab_vs_pipeline.sh [PATH/TO/flashgrab-cli]
#
# Default program: build-bench/cli/flashgrab-cli, else build/cli/flashgrab-cli. Build it
# optimised (RelWithDebInfo or Release). Needs nginx, curl, grep with -P, python3 and
# /usr/bin/time.
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
for tool in nginx curl grep sort python3 /usr/bin/time; do
  command -v "$tool" >/dev/null 2>&1 || { echo "missing: $tool" >&2; exit 2; }
done

runs=5
size=$((50 * 1024 * 1024))
pattern='["|'"'"'][a-zA-z]+://[^\s|^"]*\.swf["|'"'"']'
work=$(mktemp -d)
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT HUP INT PIPE TERM

mkdir -p "$work/www" "$work/tmp"
# A page as a portal might have it, blown up to 50 MiB: markup full of quoted attributes, a
# movie every few kilobytes (600 distinct ones, some in another letter case), and addresses
# that must not count (relative, capital ending, ".swf" followed by a query).
python3 - "$work/www/page.html" "$size" <<'PY'
import random, sys
path, size = sys.argv[1], int(sys.argv[2])
rnd = random.Random(1)
words = ("news sport video games music movies flash player portal home about contact "
         "login register search weather finance travel").split()
out = bytearray(b"<html><head><title>portal</title></head><body>\n")
i = 0
while len(out) < size:
    i += 1
    w = rnd.choice(words)
    block = []
    for _ in range(12):
        a, b = rnd.choice(words), rnd.choice(words)
        block.append('<div class="item-%s" id="%s%d"><a href="/%s/%s.html" title=\'%s %s\'>'
                     '<img src="/img/%s.gif" width="90" height="60" alt="%s"></a> %s %s %s</div>\n'
                     % (a, b, i, a, b, a, b, b, a, a, b, w))
    n = rnd.randrange(600)
    name = "movie%03d" % n
    if rnd.random() < 0.2:
        name = name.upper()
    host = "www.site%d.example" % (n % 7)
    form = rnd.randrange(4)
    if form == 0:
        block.append('<embed src="http://%s/flash/%s.swf" width="400">\n' % (host, name))
    elif form == 1:
        block.append("<script>so.add('http://%s/flash/%s.swf');</script>\n" % (host, name))
    elif form == 2:
        block.append('<param name="movie" value="http://%s/play.php?f=%s.swf">\n' % (host, name))
    else:
        block.append('<a href="flash/%s.swf">%s</a> <a href="http://%s/%s.SWF">x</a> '
                     '"http://%s/%s.swf?v=2"\n' % (name, w, host, name, host, name))
    out += "".join(block).encode()
out = out[:size - 15] + b"</body></html>\n"
open(path, "wb").write(out)
PY

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/nginx.conf" <<EOF2
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
  default_type text/html;
  sendfile on;
  server {
    listen 127.0.0.1:$port;
    root $work/www;
  }
}
EOF2
nginx -c "$work/nginx.conf" -p "$work/" &
pid=$!
url="http://127.0.0.1:$port/page.html"
tries=0
until curl -s -o /dev/null --noproxy '*' "$url"; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ]; then echo "nginx did not start" >&2; cat "$work/error.log" >&2; exit 1; fi
  sleep 0.1
done

now_ns() { date +%s%N; }

# run NAME COMMAND...: one timed grab; appends "MILLISECONDS KIB LINES" to $work/NAME.
run() {
  name=$1
  shift
  start=$(now_ns)
  /usr/bin/time -v -o "$work/time.txt" "$@" >"$work/out.txt"
  end=$(now_ns)
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
  echo "$(( (end - start) / 1000000 )) $rss $(wc -l <"$work/out.txt")" >>"$work/$name"
}

export LC_ALL=C
i=0
while [ "$i" -lt "$runs" ]; do
  run flashgrab "$cli" grab "$url"
  run pipeline sh -c 'curl -s --noproxy "*" "$1" | grep -oP "$2" | sort -f -u' sh "$url" "$pattern"
  i=$((i + 1))
done

median_ms() { cut -d' ' -f1 "$work/$1" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"; }
peak_kib() { cut -d' ' -f2 "$work/$1" | sort -n | tail -n 1; }
lines() { cut -d' ' -f3 "$work/$1" | sort -n | tail -n 1; }

ours=$(median_ms flashgrab)
theirs=$(median_ms pipeline)
ours_peak=$(peak_kib flashgrab)
page_kib=$((size / 1024))
echo "runs of each:              $runs (a 50 MiB page over loopback, LC_ALL=C)"
echo "flashgrab-cli grab:        median $ours ms, $(lines flashgrab) entries"
echo "curl | grep -oP | sort:    median $theirs ms, $(lines pipeline) lines (quotes kept)"
python3 -c "print('ratio (ours / pipeline):   %.3f' % ($ours / $theirs))"
python3 -c "print('our peak RSS:              %d KiB = %.2f x the page (%d KiB)' % ($ours_peak, $ours_peak / $page_kib, $page_kib))"
echo "all runs (ms, KiB, lines):"
paste -d' ' "$work/flashgrab" "$work/pipeline" |
  awk '{ printf "  ours %6d %7d %5d   pipeline %6d %7d %5d\n", $1, $2, $3, $4, $5, $6 }'

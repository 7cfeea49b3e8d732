#!/bin/sh
# Grabs two 50 MiB pages from nginx on loopback, one naming 1,200 distinct movies and one naming
# about 24,000 (one every 2 KiB), with `flashgrab-cli grab` and with the pipeline
# `curl -s URL | grep -oP PATTERN | tr -d "'\"" | sort -f -u`, five paired runs each (ours, then
# the pipeline), and prints for each page the median wall time of each, their ratio, and the
# peak resident memory of our grab against the page size.
#
#   sh bench/grab_vs_pipeline.sh [PATH/TO/flashgrab-cli]
#
# Default program: build-bench/cli/flashgrab-cli, else build/cli/flashgrab-cli. Build it
# optimised (RelWithDebInfo or Release). Needs nginx, curl, grep with -P, python3 and
# /usr/bin/time.
set -eu
cd "$(dirname "$0")/.."

. bench/lib.sh
find_cli "${1:-}"
require_tools nginx curl grep sort python3 /usr/bin/time

runs=5
size=$((50 * 1024 * 1024))
pattern='["|'"'"'][a-zA-z]+://[^\s|^"]*\.swf["|'"'"']'
make_work
# A page as a portal might have it, blown up to 50 MiB: markup full of quoted attributes, a
# movie every 2 KiB (DISTINCT different ones, some in another letter case), and addresses that
# the pattern does not count (relative, capital ending, ".swf" followed by a query).
# make_page PATH DISTINCT
make_page() {
  python3 - "$1" "$size" "$2" <<'PY'
import random, sys
path, size, distinct = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
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
    # Every movie in turn first, then at random: all DISTINCT of them are named.
    n = i - 1 if i <= distinct else rnd.randrange(distinct)
    name = "movie%05d" % n
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
}
make_page "$work/www/few.html" 1200
make_page "$work/www/many.html" 24000

start_nginx text/html

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
lines() { cut -d' ' -f3 "$work/$1" | sort -n | tail -n 1; }
page_kib=$((size / 1024))
echo "runs of each:   $runs paired runs per page (50 MiB pages over loopback, LC_ALL=C)"
for page in few many; do
  url="http://127.0.0.1:$port/$page.html"
  rm -f "$work/flashgrab" "$work/pipeline"
  i=0
  while [ "$i" -lt "$runs" ]; do
    run flashgrab "$cli" grab "$url"
    run pipeline sh -c 'curl -s --noproxy "*" "$1" | grep -oP "$2" | tr -d "'"'"'\"" | sort -f -u' \
      sh "$url" "$pattern"
    i=$((i + 1))
  done
  ours=$(median_ms flashgrab)
  theirs=$(median_ms pipeline)
  ours_peak=$(peak_kib flashgrab)
  echo
  echo "page $page.html:"
  echo "  flashgrab-cli grab:              median $ours ms, $(lines flashgrab) entries"
  echo "  curl | grep -oP | tr | sort -fu: median $theirs ms, $(lines pipeline) lines"
  python3 -c "print('  ratio (ours / pipeline):         %.3f' % ($ours / $theirs))"
  python3 -c "print('  our peak RSS:                    %d KiB = %.2f x the page (%d KiB)' % ($ours_peak, $ours_peak / $page_kib, $page_kib))"
  echo "  all runs (ms, KiB, lines):"
  paste -d' ' "$work/flashgrab" "$work/pipeline" |
    awk '{ printf "    ours %6d %7d %6d   pipeline %6d %7d %6d\n", $1, $2, $3, $4, $5, $6 }'
done

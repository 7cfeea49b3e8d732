#!/bin/sh
# A game of many small files over a link with a real round trip: a scripted server on loopback
# that waits 40 ms before each answer serves a page, its movie, the movie's XML list and the
# 300 files (2 to 40 KiB) the list names. Side by side, in one run: `flashgrab-cli grab -d DIR
# --deps PAGE`, `aria2c -j 4 -i LIST` (the same four connections to the host) and `wget -i LIST`
# given the same files as a list. Prints the three times, the ratios, whether every file came
# byte for byte, and the most connections the server saw open at once.
#
#   sh bench/many_files.sh [PATH/TO/flashgrab-cli]
#
# Default program: build-bench/cli/flashgrab-cli, else build/cli/flashgrab-cli. Needs
# python3, aria2c and wget.
set -eu
cd "$(dirname "$0")/.."

. bench/lib.sh
find_cli "${1:-}"
require_tools python3 aria2c wget

make_work
python3 - "$work/www" <<'PY'
import os, random, struct, sys
www = sys.argv[1]
rnd = random.Random(7)
os.makedirs(os.path.join(www, "files"), exist_ok=True)
names = []
for i in range(300):
    name = "files/f%03d.bin" % i
    with open(os.path.join(www, name), "wb") as f:
        f.write(rnd.randbytes(rnd.randrange(2048, 40 * 1024)))
    names.append(name)
with open(os.path.join(www, "list.xml"), "w") as f:
    f.write("<files>" + "".join("<f>%s</f>" % n for n in names) + "</files>")
# A movie whose code names its list: Push "list.xml", Pop.
push = b"\x00list.xml\x00"
actions = b"\x96" + struct.pack("<H", len(push)) + push + b"\x17\x00"
tag = struct.pack("<H", (12 << 6) | len(actions)) + actions
body = b"\x00" + struct.pack("<HH", 24 << 8, 1) + tag + b"\x00\x00"
with open(os.path.join(www, "game.swf"), "wb") as f:
    f.write(b"FWS\x0a" + struct.pack("<I", 8 + len(body)) + body)
with open(os.path.join(www, "game.html"), "w") as f:
    f.write('<html><body><embed src="game.swf"></body></html>')
PY
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 - "$work/www" "$port" "$work/peak" <<'PY' &
import functools, http.server, sys, threading, time
www, port, peak_file = sys.argv[1], int(sys.argv[2]), sys.argv[3]
lock = threading.Lock()
state = {"open": 0, "peak": 0}
class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    # The head and the body go out at once: Nagle's wait would add to every answer.
    disable_nagle_algorithm = True
    def setup(self):
        super().setup()
        with lock:
            state["open"] += 1
            if state["open"] > state["peak"]:
                state["peak"] = state["open"]
                open(peak_file, "w").write(str(state["peak"]))
    def finish(self):
        super().finish()
        with lock:
            state["open"] -= 1
    def do_GET(self):
        if self.path == "/peak-reset":  # a new run: its own count of connections at once
            with lock:
                state["peak"] = 0
                open(peak_file, "w").write("0")
            self.send_response(204)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        time.sleep(0.04)  # a real link's round trip
        super().do_GET()
    def log_message(self, *args):
        pass
server = http.server.ThreadingHTTPServer(("127.0.0.1", port),
                                         functools.partial(Handler, directory=www))
server.serve_forever()
PY
pid=$!
until curl -s -o /dev/null --noproxy '*' "http://127.0.0.1:$port/game.html"; do sleep 0.1; done
base="http://127.0.0.1:$port"
{
  echo "$base/game.swf"
  for i in $(seq 0 299); do printf '%s/files/f%03d.bin\n' "$base" "$i"; done
} >"$work/list.txt"

ms() { echo $(( ($2 - $1) / 1000000 )); }
run_peak() { curl -s -o /dev/null --noproxy '*' "$base/peak-reset"; sleep 0.2; }
same() {  # same DIR: every file of the list there, byte for byte
  for i in $(seq 0 299); do
    name=$(printf 'f%03d.bin' "$i")
    cmp -s "$work/www/files/$name" "$1/$name" || { echo "no ($name)"; return; }
  done
  echo yes
}

run_peak
start=$(now_ns)
"$cli" grab -s -d "$work/ours" --deps "$base/game.html" >"$work/ours.txt" || { cat "$work/ours.txt"; exit 1; }
end=$(now_ns)
ours=$(ms "$start" "$end")
ours_peak=$(cat "$work/peak")
ours_same=$(same "$work/ours/127.0.0.1_$port/files")

run_peak
start=$(now_ns)
aria2c -q -j 4 -d "$work/aria2" -i "$work/list.txt"
end=$(now_ns)
aria=$(ms "$start" "$end")
aria_peak=$(cat "$work/peak")

run_peak
start=$(now_ns)
wget -q -P "$work/wget" -i "$work/list.txt"
end=$(now_ns)
wget_ms=$(ms "$start" "$end")

echo "files:                 301 (a movie and the 300 its list names), 40 ms before each answer"
echo "flashgrab-cli grab --deps: $ours ms (page, movie, list and files), every file byte for byte: $ours_same, most connections at once: $ours_peak"
echo "aria2c -j 4 -i LIST:       $aria ms, most connections at once: $aria_peak"
echo "wget -i LIST:              $wget_ms ms"
python3 -c "print('ours / aria2c: %.2f   wget / ours: %.1f' % ($ours / $aria, $wget_ms / $ours))"

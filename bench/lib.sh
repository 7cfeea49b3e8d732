# Shared by the whole-program benchmarks, sourced from the repository's root after `set -eu`:
# finding flashgrab-cli, checking for tools, a work folder, an nginx on loopback, and the
# summaries of the runs.

# find_cli [PATH]: sets $cli to PATH, or to build-bench/cli/flashgrab-cli, else
# build/cli/flashgrab-cli.
find_cli() {
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
}

# require_tools TOOL...: stops the script when one is missing.
require_tools() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || { echo "missing: $tool" >&2; exit 2; }
  done
}

pid=""
work=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  if [ -n "$work" ]; then rm -rf "$work"; fi
}

# make_work: sets $work to a new folder with www/ and tmp/ in it. The folder goes, and the
# nginx stops, however the script ends (also when its output pipe closes early).
make_work() {
  work=$(mktemp -d)
  trap cleanup EXIT HUP INT PIPE TERM
  mkdir -p "$work/www" "$work/tmp"
}

# start_nginx DEFAULT_TYPE: serves $work/www on a free port of 127.0.0.1 ($port) and waits
# until it answers.
start_nginx() {
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  cat >"$work/nginx.conf" <<NGINX
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
  default_type $1;
  sendfile on;
  server {
    listen 127.0.0.1:$port;
    root $work/www;
  }
}
NGINX
  nginx -c "$work/nginx.conf" -p "$work/" &
  pid=$!
  tries=0
  until curl -s -o /dev/null --noproxy '*' "http://127.0.0.1:$port/"; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ]; then echo "nginx did not start" >&2; cat "$work/error.log" >&2; exit 1; fi
    sleep 0.1
  done
}

now_ns() { date +%s%N; }

# Over $work/NAME, one line "MILLISECONDS KIB ..." per run ($runs of them): the median time
# and the largest peak memory.
median_ms() { cut -d' ' -f1 "$work/$1" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"; }
peak_kib() { cut -d' ' -f2 "$work/$1" | sort -n | tail -n 1; }

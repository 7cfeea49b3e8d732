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

# make_certificate: a key and a self-signed certificate for localhost and 127.0.0.1 in $work
# ($tls_cert, $tls_key), made now and removed with the folder; start_nginx then serves TLS.
make_certificate() {
  tls_cert="$work/localhost.pem"
  tls_key="$work/localhost.key"
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1 \
    -subj /CN=localhost -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" \
    -keyout "$tls_key" -out "$tls_cert" 2>/dev/null
}

tls_cert=""
tls_key=""
# Directives added to nginx's http block (a script may set it before start_nginx).
nginx_extra=""

# start_nginx DEFAULT_TYPE: serves $work/www on a free port of 127.0.0.1 ($port) and waits
# until it answers; over TLS after make_certificate.
start_nginx() {
  listen_options=""
  tls_lines=""
  probe="http://127.0.0.1"
  if [ -n "$tls_cert" ]; then
    listen_options=" ssl"
    tls_lines="ssl_certificate $tls_cert; ssl_certificate_key $tls_key; ssl_protocols TLSv1.2 TLSv1.3;"
    probe="https://localhost"
  fi
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
  $nginx_extra
  server {
    listen 127.0.0.1:$port$listen_options;
    $tls_lines
    root $work/www;
  }
}
NGINX
  nginx -c "$work/nginx.conf" -p "$work/" &
  pid=$!
  tries=0
  until curl -s -k -o /dev/null --noproxy '*' "$probe:$port/"; do
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

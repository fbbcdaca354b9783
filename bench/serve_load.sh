#!/usr/bin/env bash
# The archive service under load, directly and through nginx as
# dist/nginx/plotwise-archive.conf sets it up: pages a second and p50/p99 at
# 50 and 500 kept-alive clients (wrk, random pages of 2,000 games), the
# requests the service receives through the cache, and normal requests'
# p99 and the service's memory while 1,000 clients trickle a byte a second
# (bench/hostile_clients.py). Loopback only; the archive is copied first.
#   bench/serve_load.sh ARCHIVE [BUILD]      (tools/install-deps.sh --bench)
set -euo pipefail
archive=$1
build=${2:-build}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; [ -f "$work/nginx/nginx.pid" ] && kill "$(cat "$work/nginx/nginx.pid" 2>/dev/null)" 2>/dev/null; wait; rm -rf "$work"' EXIT
ulimit -n "$(ulimit -Hn)"
seconds=${SECONDS_EACH:-10}

cp "$archive" "$work/archive.pwa"
# 2,000 games with records, every page of each (and its end page).
python3 - "$work/archive.pwa" > "$work/pages.txt" <<'PY'
import random, sqlite3, sys
db = sqlite3.connect(f"file:{sys.argv[1]}?mode=ro", uri=True)
games = [row for row in db.execute("SELECT game, records FROM games WHERE records > 0 ORDER BY game")]
random.seed(7)
for game, records in random.sample(games, min(2000, len(games))):
    for page in range(1, (records + 99) // 100 + 2):
        print(f"/xmlapi/boardgame/{game}?historical=1&page={page}")
PY
echo "pages: $(wc -l < "$work/pages.txt") of 2,000 games"

start_service() { # options...
    # Emptied here, not by the redirection below, which the service's own
    # process makes later: the last service's "listening" line would be read.
    : > "$work/service.out"
    "$build/plotwise-archive" serve "$work/archive.pwa" --port 0 --per-address 0 "$@" > "$work/service.out" &
    service_pid=$!
    while ! grep -q listening "$work/service.out"; do sleep 0.1; done
    service_port=$(sed -n 's/.*:\([0-9]*\)$/\1/p' "$work/service.out")
}
rss() { awk '/VmRSS/ { printf "%.0f MB", $2 / 1024 }' "/proc/$1/status"; }
load() { # url clients; after 3 s of warming up (the page cache, nginx's cache)
    PAGES="$work/pages.txt" wrk -t2 -c"$2" -d3s -s "$here/random_pages.lua" "$1" > /dev/null
    PAGES="$work/pages.txt" wrk -t2 -c"$2" -d"${seconds}s" --latency -s "$here/random_pages.lua" "$1" > "$work/wrk.txt"
    awk -v c="$2" '/Requests\/sec/ { rps = $2 } /^ +50%/ { p50 = $2 } /^ +99%/ { p99 = $2 }
        /Non-2xx/ { bad = $NF } END { printf "%4d clients: %8.0f pages/s, p50 %s, p99 %s%s\n", c, rps, p50, p99, bad ? ", non-2xx " bad : "" }' "$work/wrk.txt"
}

echo "== direct"
start_service
for clients in 50 500; do load "http://127.0.0.1:$service_port" "$clients"; done
echo "service memory: $(rss "$service_pid")"
echo "== 1,000 slow clients trickling, normal requests meanwhile"
python3 "$here/hostile_clients.py" "$service_port" --pid "$service_pid" --slow 1000 --seconds 20 \
    --target "$(head -1 "$work/pages.txt")"
kill "$service_pid"; wait "$service_pid" 2>/dev/null || true

echo "== through nginx (gzip on; wrk asks for no gzip)"
start_service --log "$work/requests.log"
mkdir -p "$work/nginx/cache"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
sed -e "s#/var/cache/nginx/plotwise-archive#$work/nginx/cache#" -e "s#127.0.0.1:8642#127.0.0.1:$service_port#" \
    -e "s#listen 80;#listen 127.0.0.1:$port backlog=4096;#" -e "s#limit_conn plotwise_archive_per_address 64;#limit_conn plotwise_archive_per_address 2000;#" \
    "$here/../dist/nginx/plotwise-archive.conf" > "$work/nginx/site.conf"
cat > "$work/nginx/nginx.conf" <<CONF
daemon off;
worker_processes auto;
worker_rlimit_nofile 8192;
$( [ "$(id -u)" = 0 ] && echo "user root;" )
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  client_body_temp_path $work/nginx/body; proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi; uwsgi_temp_path $work/nginx/uwsgi; scgi_temp_path $work/nginx/scgi;
  include $work/nginx/site.conf;
}
CONF
nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" &
while [ ! -f "$work/nginx/nginx.pid" ]; do sleep 0.1; done
# The cache filled first, every page once (8 clients), so that the runs
# measure a warm cache: pages missing from it wait for the service and for
# their file to be written, and the requests for a page being fetched wait
# for the cache lock, which nginx looks at every 500 ms.
python3 - "$port" "$work/pages.txt" <<'PY'
import http.client, sys, threading, time
port, pages = int(sys.argv[1]), open(sys.argv[2]).read().split()
times = []
def fetch(part):
    connection = http.client.HTTPConnection("127.0.0.1", port)
    for page in part:
        start = time.perf_counter()
        connection.request("GET", page)
        connection.getresponse().read()
        times.append(time.perf_counter() - start)
start = time.perf_counter()
threads = [threading.Thread(target=fetch, args=(pages[i::8],)) for i in range(8)]
for t in threads: t.start()
for t in threads: t.join()
seconds = time.perf_counter() - start
times.sort()
print(f"cache filled: {len(times)} pages in {seconds:.1f} s, p50 {times[len(times) // 2] * 1000:.1f} ms, "
      f"p99 {times[int(len(times) * 0.99)] * 1000:.1f} ms")
PY
for clients in 50 500; do load "http://127.0.0.1:$port" "$clients"; done
# Every page was asked for many times through the cache: how often did the service see each?
echo "the service was asked $(wc -l < "$work/requests.log") times for $(sort -u "$work/requests.log" | wc -l) distinct pages"

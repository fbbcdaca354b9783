#!/usr/bin/env bash
# Installs what is missing, builds Plotwise and the sample service, and shows
# a chart of several sample games: in the window when there is a display,
# otherwise through a headless run that writes the chart to an image.
#
# The demo has its own program folder, build/demo: its settings file and page
# cache live beside its copy of the program, so the settings of build/plotwise
# are never touched. The sample service runs on its default port, or on a free
# one when that is taken, and stops when the demo ends.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target plotwise plotwise-sample-service plotwise-sample-data

demo=$PWD/build/demo
mkdir -p "$demo"
cp build/plotwise "$demo/plotwise"
[ -f "$demo/data/nodes.txt" ] || build/tools/plotwise-sample-data "$demo/data" >/dev/null
cp "$demo/data/nodes.txt" "$demo/nodes.txt"

# Four games' board-game rank on an inverted logarithmic axis (rank 1 at the
# top), one line per game, each in its own colour.
games="1001, 1003, 1004, 1006"
node="ranks/rank|name=boardgame"
cat >"$demo/demo-script.txt" <<EOF
1001,$node,,,LS,IL,#1F77B4
1003,$node,,,LS,IL,#D62728
1004,$node,,,LS,IL,#2CA02C
1006,$node,,,LS,IL,#9467BD
EOF

# Starts the service on the given port and sets url to its base address;
# url stays empty when it could not listen there.
service_pid=
url=
start_service() {
    local out=$demo/service.out
    : >"$out"
    build/tools/plotwise-sample-service --port "$1" --data "$demo/data" --log "$demo/service.log" \
        >"$out" 2>&1 &
    service_pid=$!
    for _ in $(seq 50); do
        if grep -q '^listening on ' "$out"; then
            url=http://$(sed -n 's/^listening on //p' "$out" | head -n 1)
            return
        fi
        kill -0 "$service_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill "$service_pid" 2>/dev/null || true
    service_pid=
}
trap '[ -z "$service_pid" ] || kill "$service_pid" 2>/dev/null || true' EXIT
start_service 8642
[ -n "$url" ] || start_service 0
if [ -z "$url" ]; then
    echo "The sample service did not start; see $demo/service.out" >&2
    exit 1
fi

cd "$demo"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: running the demo script without a window."
    status=0
    ./plotwise --run demo-script.txt --service "$url" --save demo-chart.png --size 1000x600 \
        --csv demo-chart.csv --info || status=$?
    [ ! -f demo-chart.png ] ||
        echo "Chart written to $demo/demo-chart.png, its points to $demo/demo-chart.csv."
    exit "$status"
fi

# The window starts with the demo's games and node chosen, so Load draws them
# at once; the service address is kept up to date on every start.
if [ ! -f plotwise.ini ]; then
    index=$(LC_ALL=C sort -f nodes.txt | grep -nxF "$node" | cut -d: -f1)
    cat >plotwise.ini <<EOF
[form_main]
node=$((index - 1))
game=$games
vert_inverted=1
log_axis=1
[service]
base_url=$url
EOF
elif grep -q '^base_url=' plotwise.ini; then
    sed -i "s|^base_url=.*|base_url=$url|" plotwise.ini
else
    printf '[service]\nbase_url=%s\n' "$url" >>plotwise.ini
fi
echo "Plotwise shows games $games: press Load to draw them,"
echo "or press Script, Load... demo-script.txt, Execute."
./plotwise

#!/usr/bin/env bash
# Installs what is missing, builds Plotwise and plotwise-archive, and shows a
# chart of several games' ranking history from an archive of daily ranking
# snapshots: in the window when there is a display, otherwise through a
# headless run that writes the chart to an image.
#
# The snapshots are generated (made-up games in the format of the real
# snapshot files), imported into an archive and served by plotwise-archive.
# The demo has its own program folder, build/demo: its settings file and page
# cache live beside its copy of the program, so the settings of build/plotwise
# are never touched. The archive is served on Plotwise's default service port,
# or on a free one when that is taken (then passed with --service), and stops
# when the demo ends.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target plotwise plotwise-archive plotwise-sample-snapshots

demo=$PWD/build/demo
mkdir -p "$demo"
cp build/plotwise "$demo/plotwise"
archive=$demo/archive.sqlite
if [ ! -f "$archive" ]; then
    # Five years of daily snapshots of 300 games: enough that a month moves
    # the top 100 (the Lists window shows games climbing, falling, entering).
    build/tools/plotwise-sample-snapshots --days 1800 --games 300 "$demo/snapshots" >/dev/null
    build/plotwise-archive import "$archive" "$demo/snapshots" || [ $? -eq 1 ]
fi
# The four values an archive holds for every game and day.
printf '%s\n' average bayesaverage usersrated 'ranks/rank|name=boardgame' >"$demo/nodes.txt"

# Four games ranked from the first day: the first IDs of the first snapshot.
games=$(sed -n '2,5p' "$demo/snapshots/2016-10-12.csv" | cut -d, -f1 | paste -sd, - | sed 's/,/, /g')
node="ranks/rank|name=boardgame"
colors=(\#1F77B4 \#D62728 \#2CA02C \#9467BD)
: >"$demo/demo-script.txt"
i=0
for game in ${games//,/}; do
    # Board-game rank on an inverted logarithmic axis (rank 1 at the top).
    echo "$game,$node,,,LS,IL,${colors[i++]}" >>"$demo/demo-script.txt"
done

# Starts the archive's service on the given port and sets url to its base
# address; url stays empty when it could not listen there.
service_pid=
url=
start_service() {
    local out=$demo/service.out
    : >"$out"
    build/plotwise-archive serve "$archive" --port "$1" --log "$demo/service.log" >"$out" 2>&1 &
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
    echo "plotwise-archive did not start; see $demo/service.out" >&2
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
# at once; the page cache is refreshed when a game's last page is a day old.
if ! grep -qs "^refresh_hours=" plotwise.ini; then
    index=$(LC_ALL=C sort -f nodes.txt | grep -nxF "$node" | cut -d: -f1)
    cat >plotwise.ini <<INI
[form_main]
node=$((index - 1))
game=$games
vert_inverted=1
log_axis=1
[cache]
refresh_hours=24
INI
fi
echo "Plotwise shows games $games from the archive at $url: press Load to draw"
echo "them, or press Script, Load... demo-script.txt, Execute. Search finds the"
echo "archive's games by name; archives hold no geeklists, so Geeklist finds none."
./plotwise --service "$url"

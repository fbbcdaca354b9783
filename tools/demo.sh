#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it on the bundled
# sample service: sample data is generated once into build/sample-data, the
# service answers on 127.0.0.1:8642 (the program's default address) while the
# program runs, and the program starts in the data folder to find "nodes.txt".
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" --target plotwise plotwise-sample-data plotwise-sample-service

data=build/sample-data
if [ ! -f "$data/nodes.txt" ]; then
    build/tools/plotwise-sample-data "$data"
fi

build/tools/plotwise-sample-service --data "$data" --log build/sample-service.log \
    >build/sample-service.out &
service=$!
trap 'kill "$service" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
    grep -q '^listening on' build/sample-service.out && break
    if ! kill -0 "$service" 2>/dev/null; then
        echo "The sample service did not start (is port 8642 in use?)." >&2
        exit 1
    fi
    sleep 0.1
done

cd "$data"
"$root/build/plotwise"

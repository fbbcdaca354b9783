#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in their own build folder
# (build-fuzz) and runs each for SECONDS seconds (default 20), at the lowest
# CPU priority. New inputs go to build-fuzz/fuzz-corpus/<target>; an input that
# fails is saved under build-fuzz/fuzz-artifacts/ (copy it into
# fuzz/corpus/<target>/ to keep it as a regression case).
#   tools/fuzz.sh [SECONDS] [TARGET...]     e.g. tools/fuzz.sh 300 markup script
# Two runs side by side must not build in the same folder at once: build first,
# then start them with PLOTWISE_FUZZ_NO_BUILD=1.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}
shift || true
build=${PLOTWISE_FUZZ_BUILD:-build-fuzz}

if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for dir in fuzz/corpus/*/; do
        targets+=("$(basename "$dir")")
    done
fi

if [ -z "${PLOTWISE_FUZZ_NO_BUILD:-}" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$build" -DPLOTWISE_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    build_targets=()
    for t in "${targets[@]}"; do
        build_targets+=("fuzz_$t")
    done
    nice -n 19 cmake --build "$build" -j"$(nproc)" --target "${build_targets[@]}"
fi

mkdir -p "$build/fuzz-artifacts"
failed=()
summary=()
for t in "${targets[@]}"; do
    work="$build/fuzz-corpus/$t"
    mkdir -p "$work"
    options=(-max_total_time="$seconds" -timeout=20 -print_final_stats=1
             -artifact_prefix="$build/fuzz-artifacts/$t-")
    case "$t" in
        markup | preparexml | pagewalk) options+=(-dict=fuzz/xml.dict -max_len=16384) ;;
        inifile) options+=(-dict=fuzz/ini.dict) ;;
        snapshot) options+=(-dict=fuzz/csv.dict -max_len=4096) ;;
    esac
    log="$build/fuzz-$t.log"
    echo "== fuzz_$t for ${seconds}s"
    # New inputs are written to the first folder only; the seeds stay as they are.
    if nice -n 19 "$build/fuzz/fuzz_$t" "${options[@]}" "$work" "fuzz/corpus/$t" >"$log" 2>&1; then
        status=ok
    else
        status=FAILED
        failed+=("$t")
        grep -E "ERROR|check failed|SUMMARY|Test unit written" "$log" | head -20 || true
    fi
    # "Done 214872 runs in 301 second(s)" and the last "corp: 291/121Kb".
    runs=$(grep -oE '^Done [0-9]+ runs in [0-9]+' "$log" | tail -1 || true)
    execs=$(echo "$runs" | awk '{ print $2 }')
    rate=$(echo "$runs" | awk '$5 > 0 { printf "%d", $2 / $5 }')
    corpus=$(grep -oE 'corp: [0-9]+/[0-9]+[a-zA-Z]*' "$log" | tail -1 | cut -d' ' -f2 || true)
    summary+=("$(printf '%-12s %-7s %10s executions %6s/s  corpus %s' \
        "$t" "$status" "${execs:-?}" "${rate:-?}" "${corpus:-?}")")
done

echo "== summary"
printf '%s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
    echo "failing targets: ${failed[*]} (inputs in $build/fuzz-artifacts/, logs in $build/fuzz-*.log)" >&2
    exit 1
fi

#!/usr/bin/env bash
# Builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer
# (PLOTWISE_SANITIZE, in its own build folder build-sanitize) and runs it with
# CTest. Any report fails the test that caused it. Arguments go to ctest, e.g.
#   tools/test-sanitized.sh -R test_load
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
build=${PLOTWISE_SANITIZE_BUILD:-build-sanitize}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPLOTWISE_SANITIZE=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

# Leaks are reported at exit; only those of the system libraries below the
# windowing toolkit are suppressed (see the file for each entry and why).
export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=0"
export LSAN_OPTIONS="suppressions=$PWD/tools/sanitizer-leaks.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cd "$build"
ctest --output-on-failure -j"$(nproc)" "$@"

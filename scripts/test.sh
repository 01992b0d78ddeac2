#!/usr/bin/env bash
# Installs what is missing, builds the normal and the sanitizer (ASan + UBSan) trees, and runs every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
jobs="$(nproc)"

# The Release tree builds the benchmarks too, so a change that breaks one fails here rather than for the next
# person who measures; they run by their own commands (README). Line tables only (-g1) keep the sanitizer
# build fast while its reports still name files and lines.
echo "== build (Release, benchmarks included)"
bash scripts/build.sh build-test -DCMAKE_BUILD_TYPE=Release -DTILVANE_BUILD_BENCH=ON
echo "== build (AddressSanitizer + UndefinedBehaviorSanitizer)"
bash scripts/build.sh build-asan -DTILVANE_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 \
  -DTILVANE_BUILD_BENCH=OFF
# The threads of the crash library and the platform under ThreadSanitizer: a tree of their tests alone.
echo "== build (ThreadSanitizer: the crash library's and the platform's tests)"
bash scripts/build.sh build-tsan -DTILVANE_SANITIZE_THREAD=ON -DCMAKE_BUILD_TYPE=Debug \
  "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1" -DTILVANE_BUILD_BENCH=OFF

# The end of a run is what a CI log keeps: name what failed in each tree there, with the end of its output.
failures_of() {
  local tree="$1" failed="$1/Testing/Temporary/LastTestsFailed.log" log="$1/Testing/Temporary/LastTest.log"
  [ -s "$failed" ] || return 0
  echo "== failed in $tree:"
  cut -d: -f2- "$failed" | while read -r name; do
    echo "-- $name"
    awk -v name="$name" '$0 ~ "^[0-9]+/[0-9]+ Test: " name "$" {on=1} on && /^<end of output>/ {exit} on' "$log" \
      >"$tree/Testing/Temporary/failed-output.txt"
    grep -E -A3 'Failure$|^.*: error|Sanitizer|runtime error|Timeout|Segmentation|terminate' \
      "$tree/Testing/Temporary/failed-output.txt" | head -n 40
    tail -n 5 "$tree/Testing/Temporary/failed-output.txt"
  done
}

rm -f build-{test,asan,tsan}/Testing/Temporary/LastTestsFailed.log
status=0
echo "== tests"
(cd build-test && ctest --output-on-failure -j "$jobs") || status=1
echo "== tests under sanitizers"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Allocations of libraries that the program cannot free, each with its reason in the file.
export LSAN_OPTIONS="suppressions=$PWD/tests/support/sanitizers/lsan.supp:print_suppressions=0"
(cd build-asan && ctest --output-on-failure -j "$jobs") || status=1
echo "== tests under ThreadSanitizer"
# Races in libraries built without it, each with its reason in the file. Some tests check what the sanitizer's
# runtime takes over, so they run in the other trees only: the unwinder fuzz maps its records at a fixed address
# that lies in the sanitizer's shadow memory, the thread-start test needs the library's pthread_create, which
# the sanitizer's own replaces, and the queue-lifetime tests wait on std::promise::set_value_at_thread_exit,
# whose hand-over at thread exit the sanitizer does not model.
(export TSAN_OPTIONS="second_deadlock_stack=1:suppressions=$PWD/tests/support/sanitizers/tsan.supp"
 cd build-tsan && ctest --output-on-failure -j "$jobs" -L '^(crashreporting|platform)$' \
   -E '^(DwarfFuzz\.|QueueLifetimeTest\.|ThreadCapture\.ThreadsRunningAtTheStartAndThreadsStartedLaterHaveAlternateStacks$)') || status=1
for tree in build-test build-asan build-tsan; do failures_of "$tree"; done
exit $status

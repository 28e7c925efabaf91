#!/usr/bin/env bash
# Builds the libFuzzer harnesses (fuzz/) with clang under AddressSanitizer and UndefinedBehaviorSanitizer into
# build-fuzz/, writes their seed corpora from the fixture pictures, then runs each harness for SECONDS (default 60)
# on its corpus. Prints libFuzzer's final lines for each; exits non-zero when any harness reports a crash, a hang,
# an out-of-memory or a sanitizer error (its input is kept in build-fuzz/artifacts/).
#
# Usage: scripts/fuzz.sh [SECONDS] [HARNESS...]
#   NUBO_FUZZ_BUILD_DIR  build folder (default build-fuzz/)
#   NUBO_BUILD_JOBS      parallel compile jobs (default 2)
#   NUBO_FUZZ_TIMEOUT    seconds one input may take before it counts as a hang (default 5; libFuzzer measures
#                        wall-clock time, so a long campaign at low priority on a busy machine may need more)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

# The whole script is one function, read before it runs, so editing the file cannot disturb a long run.
main() {
  local seconds="${1:-60}"
  shift || true
  harnesses=(bitmap_reader picture_reader roi_stream plane_decoder lossless_region predictive_region region_arguments)
  [ $# -gt 0 ] && harnesses=("$@")
  build="${NUBO_FUZZ_BUILD_DIR:-$root/build-fuzz}"

  "$root/scripts/setup.sh" --packages-only

  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++-16 \
    -DNUBO_FUZZ=ON -DNUBO_BUILD_SHELL=OFF -DNUBO_BUILD_BENCHMARKS=OFF "${launcher[@]}" >/dev/null
  targets=(make_seeds)
  for h in "${harnesses[@]}"; do targets+=("${h}_fuzz"); done
  cmake --build "$build" --target "${targets[@]}" -j "${NUBO_BUILD_JOBS:-2}"

  seeds="$build/seeds"
  rm -rf "$seeds"
  "$build/fuzz/make_seeds" "$root/tests/fixtures" "$seeds"

  export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}"
  export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
  mkdir -p "$build/artifacts" "$build/logs"
  failed=()
  for h in "${harnesses[@]}"; do
    corpus="$build/corpus/$h"
    mkdir -p "$corpus"
    dict=()
    [ -f "$root/fuzz/$h.dict" ] && dict=(-dict="$root/fuzz/$h.dict")
    log="$build/logs/$h.log"
    echo "== $h: ${seconds} s"
    status=0
    # Standard output is closed for the decoders' own messages; libFuzzer reports on standard error.
    "$build/fuzz/${h}_fuzz" -max_total_time="$seconds" -timeout="${NUBO_FUZZ_TIMEOUT:-5}" -rss_limit_mb=2048 -close_fd_mask=1 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$h-" "${dict[@]}" "$corpus" "$seeds/$h" \
      >"$log" 2>&1 || status=$?
    if [ "$status" -ne 0 ] || grep -qE '^==[0-9]+==ERROR|^SUMMARY: |runtime error:' "$log"; then
      failed+=("$h")
      sed -n '/^==[0-9]*==ERROR\|runtime error:\|ALARM\|out-of-memory\|deadly signal/,$p' "$log" | head -n 80
    fi
    grep -E '^(#[0-9]+[[:space:]]+DONE|Done [0-9]+ runs|stat::)' "$log" || tail -n 5 "$log"
  done

  if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz.sh: crash reports from: ${failed[*]} (inputs in $build/artifacts/, logs in $build/logs/)" >&2
    exit 1
  fi
  echo "fuzz.sh: ${#harnesses[@]} harnesses ran ${seconds} s each without a crash report"
}

main "$@"
exit

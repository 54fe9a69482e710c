#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang into build-fuzz/ (or $SX_FUZZ_BUILD_DIR) and runs
# each for SECONDS (default 60), one after the other. New inputs go to the build folder's
# corpus/<target>/; the committed seeds in fuzz/corpus/<target>/ are only read. A crash, leak,
# time-out or sanitizer report leaves its input in <build>/artifacts/ and makes the exit status
# non-zero. Extra arguments go to every target (e.g. -jobs=2 -workers=2); SX_FUZZ_TARGETS names
# the targets to run ("package pdb"), all by default.
# Prints one line per target: executions, coverage (cov: edges, ft: features), corpus size.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
build=${SX_FUZZ_BUILD_DIR:-$root/build-fuzz}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
      -DCMAKE_CXX_COMPILER=clang++ -DSX_FUZZ=ON -DSX_BUILD_TESTS=OFF -DSX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target sx_fuzz_targets

# The targets' machine folders and scratch files live here and go when the run ends.
export TMPDIR=$build/tmp
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR" "$build/artifacts"
trap 'rm -rf "$TMPDIR"' EXIT
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=()
printf '%-18s %12s %8s %8s %8s  %s\n' target executions cov ft corpus result
names=${SX_FUZZ_TARGETS:-$(cd "$root/fuzz" && ls *_fuzz.cpp | sed 's/_fuzz\.cpp$//')}
for name in $names; do
  target=${name}_fuzz
  corpus=$build/corpus/$name
  mkdir -p "$corpus"
  log=$build/$name.log
  status=ok
  "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" "$@" \
      "$corpus" "$root/fuzz/corpus/$name" >"$log" 2>&1 || status=FAILED
  [ "$status" = ok ] || failed+=("$name")
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
  printf '%-18s %12s %8s %8s %8s  %s\n' "$name" "${runs:-?}" "${cov:-?}" "${ft:-?}" \
         "$(find "$corpus" -type f | wc -l)" "$status"
done
if ((${#failed[@]})); then
  echo "fuzzing found faults in: ${failed[*]} (logs: $build/<target>.log, inputs: $build/artifacts/)" >&2
  exit 1
fi

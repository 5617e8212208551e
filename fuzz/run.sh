#!/usr/bin/env bash
# Replays or runs the fuzz targets.
#
#   fuzz/run.sh replay <build-dir>
#       Runs every target once over each file of its seed corpus. Prints one
#       line per target; exits non-zero if any input fails a check or a
#       sanitizer fires.
#   fuzz/run.sh run <build-dir> <seconds-per-target> [target...]
#       Fuzzes each target for the given time, one after the other, on a
#       scratch copy of its corpus (the repository's corpus is not touched).
#       Prints the executions of each target and any finding (the reproducer
#       is kept under the scratch folder), then the total. With
#       ZETA7_FUZZ_MERGE=1 the few inputs that add coverage are merged back
#       into fuzz/corpus/<target>/.
#
# The build dir is one configured with -DWITH_FUZZERS=ON; the targets are
# looked up in <build-dir>/bin.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
targets_all=(fuzz_transact fuzz_fast_transact fuzz_param_reply fuzz_ini fuzz_decimal)

usage() {
  sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
}

[[ $# -ge 2 ]] || usage
mode="$1"
bindir="$(cd "$2" 2>/dev/null && pwd)/bin" || { echo "no build dir $2" >&2; exit 2; }

check_binary() {
  if [[ ! -x "$bindir/$1" ]]; then
    echo "$1: not built in $bindir (configure with -DWITH_FUZZERS=ON and build it)" >&2
    return 1
  fi
}

replay() {
  local failed=0 t n log start ms
  for t in "${targets_all[@]}"; do
    check_binary "$t" || { failed=1; continue; }
    n=$(find "$here/corpus/$t" -type f | wc -l)
    log="$(mktemp)"
    start=$(date +%s%N)
    # -runs=0 makes libFuzzer execute the corpus once and stop; the replay
    # driver of non-clang builds ignores it.
    if "$bindir/$t" -runs=0 -artifact_prefix="$log." "$here/corpus/$t" >"$log" 2>&1; then
      ms=$((($(date +%s%N) - start) / 1000000))
      printf '%-18s ok      %3d inputs  %5d ms\n' "$t" "$n" "$ms"
    else
      printf '%-18s FAILED  %3d inputs\n' "$t" "$n"
      tail -n 40 "$log" >&2
      failed=1
    fi
    rm -f "$log" "$log".*
  done
  return $failed
}

run() {
  local seconds="$1"
  shift
  local targets=("$@")
  [[ ${#targets[@]} -gt 0 ]] || targets=("${targets_all[@]}")
  local scratch total=0 failed=0 t log execs status
  scratch="$(mktemp -d /tmp/zeta7-fuzz.XXXXXX)"
  for t in "${targets[@]}"; do
    check_binary "$t" || { failed=1; continue; }
    if [[ "$("$bindir/$t" -help=1 2>&1)" != *max_total_time* ]]; then
      echo "$t: built without libFuzzer (replay only); configure the build with clang" >&2
      failed=1
      continue
    fi
    mkdir -p "$scratch/$t/corpus" "$scratch/$t/artifacts"
    cp "$here/corpus/$t"/* "$scratch/$t/corpus/"
    log="$scratch/$t/log"
    "$bindir/$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
      -artifact_prefix="$scratch/$t/artifacts/" "$scratch/$t/corpus" >"$log" 2>&1
    status=$?
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    execs=${execs:-0}
    total=$((total + execs))
    local found
    found=$(find "$scratch/$t/artifacts" -type f | head -n 5)
    if [[ $status -ne 0 || -n "$found" ]]; then
      failed=1
      printf '%-18s %12d execs  FINDING (exit %d)\n' "$t" "$execs" "$status"
      grep -m 3 -E 'ERROR|check failed|runtime error|Test unit written' "$log" | sed 's/^/    /'
      for f in $found; do echo "    reproducer: $f"; done
    else
      printf '%-18s %12d execs  clean\n' "$t" "$execs"
    fi
    if [[ "${ZETA7_FUZZ_MERGE:-0}" == 1 && $status -eq 0 ]]; then
      "$bindir/$t" -merge=1 "$here/corpus/$t" "$scratch/$t/corpus" >"$scratch/$t/merge.log" 2>&1 ||
        echo "    merge failed, see $scratch/$t/merge.log"
    fi
  done
  printf '%-18s %12d execs  %s\n' total "$total" "$([[ $failed -eq 0 ]] && echo clean || echo FINDINGS)"
  echo "logs and scratch corpora: $scratch"
  return $failed
}

case "$mode" in
  replay) replay ;;
  run)
    [[ $# -ge 3 ]] || usage
    shift 2
    run "$@"
    ;;
  *) usage ;;
esac

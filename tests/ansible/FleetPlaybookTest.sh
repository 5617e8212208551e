#!/usr/bin/env bash
# The collection under Debian's ansible-core: built and installed as a user
# would, its documentation rendered, then the example playbook against
# benches that are local hosts, each with simulated units of its own and a
# settings file of its own (and an empty device tree: nothing of the
# machine's ports is seen or probed).
#
#   FleetPlaybookTest.sh SOURCE_DIR BIN_DIR [--hosts N] [--units N] [--timing]
#
# Checks: check mode reports changes and sends no "S", and its reports say
# they are a check run; the first run changes every unit; the second changes
# none and sends no "S"; a failing unit fails its bench with its error code
# while the other benches finish, and its report keeps zeta7ctl's text as it
# is (no \u escapes), in English whatever the locale asks for. --timing
# prints the wall time of the runs instead of checking the fault. Exit 77
# (skipped) without ansible-playbook.
set -euo pipefail

src=$(cd "$1" && pwd) bin=$(cd "$2" && pwd)
shift 2
hosts=3 units=2 timing=0
while (($#)); do
  case $1 in
    --hosts) hosts=$2 && shift ;;
    --units) units=$2 && shift ;;
    --timing) timing=1 ;;
    *) echo "unknown option $1" >&2 && exit 2 ;;
  esac
  shift
done

for tool in ansible-playbook ansible-galaxy ansible-doc python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed" && exit 77; }
done

work=$(mktemp -d)
pids=()
cleanup() {
  ((${#pids[@]})) && kill "${pids[@]}" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work/home ANSIBLE_LOCAL_TEMP=$work/home/tmp ANSIBLE_REMOTE_TEMP=$work/home/tmp
export ANSIBLE_NOCOLOR=1 ANSIBLE_FORCE_COLOR=0 ANSIBLE_RETRY_FILES_ENABLED=0
export ANSIBLE_DEPRECATION_WARNINGS=0 ANSIBLE_LOCALHOST_WARNING=0
# A Japanese user's environment, as gettext would read it: the module runs
# zeta7ctl in English all the same, so that it can read zeta7ctl's refusals.
export LANGUAGE=ja
[ -n "${LC_ALL:-}${LC_MESSAGES:-}${LANG:-}" ] || export LC_MESSAGES=C.UTF-8
mkdir -p "$HOME/tmp" "$work/devroot/sys/class/tty" "$work/devroot/dev"

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# The collection as a user gets it.
export ANSIBLE_COLLECTIONS_PATH=$work/collections
ansible-galaxy collection build "$src/ansible/quillbeck/zeta7" --output-path "$work" >/dev/null
ansible-galaxy collection install "$work"/quillbeck-zeta7-*.tar.gz -p "$work/collections" >/dev/null
for module in zeta7_unit zeta7_scan; do
  doc=$(ansible-doc "quillbeck.zeta7.$module") || fail "ansible-doc $module"
  grep -q "EXAMPLES" <<<"$doc" || fail "ansible-doc $module shows no examples"
done

# start_unit NAME ARGS...: a simulated unit logging what it receives; its
# device path in $device.
start_unit() {
  local name=$1
  shift
  "$bin/zeta7-sim" --log "$work/$name.log" "$@" >"$work/$name.dev" 2>>"$work/sims.err" &
  pids+=($!)
  for _ in $(seq 500); do
    [ -s "$work/$name.dev" ] && break
    sleep 0.01
  done
  device=$(head -n1 "$work/$name.dev")
  [ -n "$device" ] || fail "unit $name did not start: $(cat "$work/sims.err")"
}

# The inventory: bench h has units h-1..h-$units as COM1.. in its own
# settings file; with "faulty", bench $hosts has one more that says OK and
# keeps its values.
write_inventory() {
  local faulty=$1 h u
  {
    echo '{"benches": {"hosts": {'
    for ((h = 1; h <= hosts; h++)); do
      ((h > 1)) && echo ','
      printf '"bench%d": {"ansible_connection": "local", "ansible_python_interpreter": "%s",' \
        "$h" "$(command -v python3)"
      printf '"zeta7ctl": "%s", "zeta7_settings": "%s", "zeta7_record": "%s",' \
        "$bin/zeta7ctl" "$work/bench$h.ini" "$work/bench$h.jsonl"
      printf '"zeta7_report": "%s",' "$work/bench$h.report"
      printf '"zeta7_environment": {"ZETA7_DEVICE_ROOT": "%s"}, "bench_plan": [' "$work/devroot"
      for ((u = 1; u <= units; u++)); do
        ((u > 1)) && printf ','
        printf '{"port": "COM%d", "channel": %d, "id": %d, "retry_count": "infinite", "retry_interval": 500}' \
          "$u" $((20 + h)) "$u"
      done
      if [ "$faulty" = faulty ] && ((h == hosts)); then
        printf ',{"port": "COM%d", "channel": 40, "id": 9, "retry_count": 1, "retry_interval": 1}' \
          $((units + 1))
      fi
      echo ']}'
    done
    echo '}}}'
  } >"$work/inventory.yml"
}

for ((h = 1; h <= hosts; h++)); do
  echo "[ports]" >"$work/bench$h.ini"
  for ((u = 1; u <= units; u++)); do
    start_unit "unit-$h-$u"
    echo "com$u=$device" >>"$work/bench$h.ini"
  done
done
start_unit faulty --no-store
echo "com$((units + 1))=$device" >>"$work/bench$hosts.ini"

sent() { cat "$work"/unit-*.log | tr '\r' '\n' | grep -c '^S ' || true; }

# play OUT ARGS...: the playbook into OUT; the exit code in $rc, the wall
# time in $elapsed. Each bench's report is kept as OUT.benchN.report.
play() {
  local out=$1 start h
  shift
  rm -f "$work"/bench*.report
  start=$(date +%s.%N)
  set +e
  ansible-playbook -i "$work/inventory.yml" -f 10 "$src/ansible/examples/benches.yml" "$@" \
    >"$work/$out.log" 2>&1
  rc=$?
  set -e
  elapsed=$(echo "$(date +%s.%N) - $start" | bc)
  for ((h = 1; h <= hosts; h++)); do
    [ -f "$work/bench$h.report" ] || fail "$out: bench$h wrote no report: $(tail -n 30 "$work/$out.log")"
    mv "$work/bench$h.report" "$work/$out.bench$h.report"
  done
}

# recap OUT HOST KEY: the play recap's count KEY (changed, failed, ok) of HOST.
recap() {
  sed -n "s/^$2 *:.* $3=\([0-9]*\).*/\1/p" "$work/$1.log"
}
# units_changed OUT HOST: the units the bench's report says changed.
units_changed() { grep -c '"changed": true' "$work/$1.$2.report" || true; }

write_inventory plain
play check --check --diff
((rc == 0)) || fail "check run: exit $rc: $(tail -n 40 "$work/check.log")"
(($(sent) == 0)) || fail "check mode sent S"
for ((h = 1; h <= hosts; h++)); do
  (($(units_changed check "bench$h") == units)) || fail "check run: bench$h would not change $units units"
  (($(grep -c '"check": true' "$work/check.bench$h.report") == units)) ||
    fail "check run: bench$h's report does not say so: $(cat "$work/check.bench$h.report")"
done

play first
first=$elapsed
((rc == 0)) || fail "first run: exit $rc: $(tail -n 40 "$work/first.log")"
(($(sent) == hosts * units)) || fail "first run: $(sent) S sent, not $((hosts * units))"
for ((h = 1; h <= hosts; h++)); do
  (($(units_changed first "bench$h") == units)) || fail "first run: bench$h did not change every unit"
  ! grep -q '"check": true' "$work/first.bench$h.report" || fail "first run: a report says check run"
done

play second
second=$elapsed
((rc == 0)) || fail "second run: exit $rc"
(($(sent) == hosts * units)) || fail "second run sent S"
for ((h = 1; h <= hosts; h++)); do
  (($(recap second "bench$h" changed) == 0)) || fail "second run: bench$h changed"
  (($(units_changed second "bench$h") == 0)) || fail "second run: a unit of bench$h changed"
done

if ((timing)); then
  printf 'playbook, %d hosts x %d units: first run %.2f s, second (no change) %.2f s\n' \
    "$hosts" "$units" "$first" "$second"
  exit 0
fi

write_inventory faulty
play faulty
((rc != 0)) || fail "a failing unit did not fail the run"
(($(recap faulty "bench$hosts" failed) == 1)) || fail "bench$hosts did not fail"
for ((h = 1; h < hosts; h++)); do
  (($(recap faulty "bench$h" failed) == 0)) || fail "bench$h failed with bench$hosts"
  grep -q "^ok: \[bench$h\] => {" <(sed -n '/What changed on this bench/,/^$/p' "$work/faulty.log") ||
    fail "bench$h did not finish its play"
done
grep -q '"failed": true, "error_code": "verify_mismatch"' "$work/faulty.bench$hosts.report" ||
  fail "the failing unit's error code: $(cat "$work/faulty.bench$hosts.report")"
grep -q '"error_code":"verify_mismatch"' "$work/bench$hosts.jsonl" || fail "no record of the fault"
message=$(grep verify_mismatch "$work/faulty.bench$hosts.report" | sed 's/.*"message": "\([^"]*\)".*/\1/')
[[ $message == "Writing failed "* && $message != *'\u'* ]] ||
  fail "the failing unit's message is not zeta7ctl's English text: $message"
echo "passed: check mode, first run, second run without S, a failing bench alone ($hosts hosts x $units units)"

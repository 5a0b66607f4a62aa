#!/usr/bin/env bash
# RunCtestTest.sh RUN_CTEST CMAKE CTEST
# Runs the test run of scripts/test (RUN_CTEST) end to end, over planted projects whose tests fail
# on their first run only or on every run, and checks which runs pass, how often each test ran,
# and that the run's number of jobs came from QUENDRY_JOBS.
set -uo pipefail
run_ctest=$1 cmake=$2 ctest=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The ctest the run finds on its PATH: the real one, each command line written down.
mkdir "$work/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >> "%s"\nexec "%s" "$@"\n' "$work/ctest-calls" "$ctest" \
  > "$work/bin/ctest"
chmod +x "$work/bin/ctest"

# planted.sh KIND RUNS NUMBER NAME: a test that counts its runs in the file RUNS and acts by its
# kind and by whether this is its first run; NUMBER and NAME are its own, as ctest prints them.
{ cat "$(dirname "$0")/PlantedTestOutput.sh"; cat <<'PLANTED'; } > "$work/planted.sh"
echo run >> "$2"
runs=$(wc -l < "$2")
first_run() { [ "$runs" -eq 1 ]; }
case $1 in
  pass) passed ;;
  failure-once) if first_run; then failed; exit 1; fi; passed ;;
  fake-lines-once)
    if first_run; then
      failed; fake_summary "$3" "$4"; fake_status_line "$3" "$4"; passed; tracer; exit 1
    fi
    passed ;;
  tracer-once) passed; if first_run; then tracer; exit 1; fi ;;
  tracer-always) passed; tracer; exit 1 ;;
esac
PLANTED

failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

# scenario NAME OUTCOME TEST:KIND:RUNS...: a project of the given tests, one run over it, and
# whether that run passed or failed and how often each test ran.
scenario() {
  local name=$1 outcome=$2 dir="$work/$1" before=$failures planted test kind runs number=0 output ran
  local outcome_seen=fail
  mkdir "$dir"
  {
    echo 'cmake_minimum_required(VERSION 3.16)'
    echo 'project(planted NONE)'
    echo 'enable_testing()'
    for planted in "${@:3}"; do
      IFS=: read -r test kind runs <<< "$planted"
      number=$((number + 1))
      echo "add_test(NAME $test COMMAND sh $work/planted.sh $kind $dir/$test.runs $number $test)"
    done
  } > "$dir/CMakeLists.txt"
  "$cmake" -S "$dir" -B "$dir/build" > /dev/null || { fail "$name: configure"; return; }
  rm -f "$work/ctest-calls"
  if output=$(cd "$dir/build" && PATH="$work/bin:$PATH" QUENDRY_JOBS=2 "$run_ctest" 2>&1); then
    outcome_seen=pass
  fi
  [ "$outcome_seen" = "$outcome" ] || fail "$name: the run should $outcome, it did $outcome_seen"
  for planted in "${@:3}"; do
    IFS=: read -r test kind runs <<< "$planted"
    ran=0
    [ -f "$dir/$test.runs" ] && ran=$(wc -l < "$dir/$test.runs")
    [ "$ran" -eq "$runs" ] || fail "$name: $test ran $ran times, expected $runs"
  done
  [[ " $(head -n 1 "$work/ctest-calls" 2>/dev/null) " == *" -j 2 "* ]] ||
    fail "$name: ctest was not given QUENDRY_JOBS: $(cat "$work/ctest-calls" 2>/dev/null)"
  [ "$failures" -eq "$before" ] || printf '%s\n' "$output"
}

scenario real-failure fail Pass:pass:1 FailsOnce:failure-once:1
scenario fake-ctest-lines fail Pass:pass:1 FakeLines:fake-lines-once:1
scenario tracer-crash pass Pass:pass:1 TracerOnce:tracer-once:2
scenario tracer-crash-again fail TracerAlways:tracer-always:2
exit $((failures > 0))

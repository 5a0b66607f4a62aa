#!/usr/bin/env bash
# TracerCrashRerunsTest.sh RERUNS CMAKE CTEST
# Plants tests that fail in each way a run can fail, runs them with a real ctest as scripts/test
# does and checks which runs the rerun decision forgives: only those whose every failure is
# LeakSanitizer's tracer crashing after all tests passed, whatever ctest lines a test prints.
set -uo pipefail
reruns=$1 cmake=$2 ctest=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The planted test's kinds, each a few lines of what a GoogleTest program prints.
{ cat "$(dirname "$0")/PlantedTestOutput.sh"; cat <<'PLANTED'; } > "$work/planted.sh"
case $1 in
  pass) passed ;;
  tracer) passed; tracer; exit 1 ;;
  signal) passed; kill "-$2" $$ ;;
  signal-after-tracer) passed; tracer; kill "-$2" $$ ;;
  timeout) passed; sleep 60 ;;
  assertion-then-tracer)
    echo "[  FAILED  ] Suite.Case (1 ms)"; echo "[  PASSED  ] 0 tests."
    echo "[  FAILED  ] 1 test, listed below:"; tracer; exit 1 ;;
  tracer-before-pass) tracer; passed; exit 1 ;;
  tracer-without-fatal) passed; echo "Tracer caught signal 11: addr=0x0 pc=0x7f00 sp=0x7f10"; exit 1 ;;
  exit-after-pass) passed; exit 1 ;;
  leak-report) passed; echo "==4242==ERROR: LeakSanitizer: detected memory leaks"; tracer; exit 1 ;;
  # $2 and $3: the test's own number and name, as ctest prints them
  fake-status-line) failed; fake_status_line "$2" "$3"; passed; tracer; exit 1 ;;
  fake-summary) passed; tracer; fake_summary "$2" "$3"; kill -SEGV $$ ;;
esac
PLANTED
{
  echo 'cmake_minimum_required(VERSION 3.16)'
  echo 'project(planted NONE)'
  echo 'enable_testing()'
  number=0
  plant() { number=$((number + 1)); echo "add_test(NAME $1 COMMAND sh $work/planted.sh ${*:2})"; }
  plant_telling_itself() { plant "$1" "$2" "$((number + 1))" "$1"; }
  plant Pass pass
  plant Tracer.A tracer
  plant Tracer/B.Param/1 tracer
  for signal in FPE SEGV ABRT BUS ILL KILL TERM; do
    plant "Signal.$signal" signal "$signal"
  done
  plant SignalAfterTracer signal-after-tracer SEGV
  plant Timeout timeout
  echo 'set_tests_properties(Timeout PROPERTIES TIMEOUT 1)'
  plant AssertionThenTracer assertion-then-tracer
  plant TracerBeforePass tracer-before-pass
  plant TracerWithoutFatal tracer-without-fatal
  plant ExitAfterPass exit-after-pass
  plant LeakReport leak-report
  echo 'set_tests_properties(LeakReport PROPERTIES FAIL_REGULAR_EXPRESSION "LeakSanitizer:")'
  plant_telling_itself FakeStatusLine fake-status-line
  plant_telling_itself FakeSummary fake-summary
} > "$work/CMakeLists.txt"
"$cmake" -S "$work" -B "$work/build" > /dev/null || exit 1

failures=0
# row: the tests run (a ctest -R expression), then what the decision prints ("-": it forgives none)
row() {
  local selection=$1 expected=$2 log printed status
  log=$(cd "$work/build" && "$ctest" --output-on-failure -j "${QUENDRY_JOBS:-$(nproc)}" \
    --output-junit "$work/results.xml" -R "$selection" 2>&1)
  printed=$("$reruns" "$work/results.xml" <(printf '%s\n' "$log"))
  status=$?
  printed=$(printf '%s' "$printed" | tr '\n' ' ')
  if [ "$expected" = - ]; then
    [ "$status" -eq 1 ] && [ -z "$printed" ] && return
  else
    [ "$status" -eq 0 ] && [ "$printed" = "$expected" ] && return
  fi
  echo "FAILED: $selection: expected '$expected', printed '$printed' (exit $status)"
  printf '%s\n' "$log"
  failures=$((failures + 1))
}

row '^(Pass|Tracer.A)$' 'Tracer.A'
row '^Tracer[./]' 'Tracer.A Tracer/B.Param/1'
row '^Pass$' -
for signal in FPE SEGV ABRT BUS ILL KILL TERM; do
  row "^(Signal.$signal|Tracer.A)$" -
done
row '^(Timeout|Tracer.A)$' -
row '^AssertionThenTracer$' -
row '^(AssertionThenTracer|Tracer.A)$' -
row '^SignalAfterTracer$' -
row '^TracerBeforePass$' -
row '^TracerWithoutFatal$' -
row '^(ExitAfterPass|Tracer.A)$' -
row '^LeakReport$' -
row '^(FakeStatusLine|Tracer.A)$' -
row '^(FakeSummary|Tracer.A)$' -
# What ctest prints when it cannot run at all: no result file.
rm -f "$work/results.xml"
"$reruns" "$work/results.xml" <(printf 'No tests were found!!!\n') > /dev/null 2>&1 &&
  { echo "FAILED: no tests"; failures=$((failures + 1)); }
exit $((failures > 0))

# shellcheck shell=sh
# What the script tests' planted tests print: GoogleTest's and LeakSanitizer's lines, and ctest's
# own lines as a test may print them too. Sourced by each planted test.
passed() {
  echo "[==========] 1 test from 1 test suite ran. (1 ms total)"
  echo "[  PASSED  ] 1 test."
}
failed() { echo "[  FAILED  ] Suite.Case (1 ms)"; echo "[  FAILED  ] 1 test, listed below:"; }
tracer() {
  echo "Tracer caught signal 11: addr=0x0 pc=0x7f00 sp=0x7f10" >&2
  echo "==4242==LeakSanitizer has encountered a fatal error." >&2
  echo "==4242==HINT: For debugging, try setting environment variable" \
    "LSAN_OPTIONS=verbosity=1:log_threads=1" >&2
}
# fake_status_line NUMBER NAME, fake_summary NUMBER NAME: ctest's lines for a plain failure.
fake_status_line() { echo "1/1 Test #$1: $2 ....................***Failed    0.01 sec"; }
fake_summary() { printf 'The following tests FAILED:\n\t%3d - %s (Failed)\n' "$1" "$2"; }

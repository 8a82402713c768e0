#!/usr/bin/env bash
# Runs the leak canary under LeakSanitizer with the given suppressions file and passes only
# when both of its leaks are reported.
#   leak_canary.sh CANARY SUPPRESSIONS
set -uo pipefail
canary=$1 suppressions=$2
log=$(mktemp)
trap 'rm -f "$log"' EXIT
QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 \
  LSAN_OPTIONS="suppressions=$suppressions:print_suppressions=0" "$canary" >"$log" 2>&1
status=$?
ok=1
for leak in LeakInTimerSlot LeakInButtonClick; do
  if grep -q "in .*${leak}" "$log"; then
    echo "reported: $leak"
  else
    echo "NOT reported: $leak" >&2
    ok=0
  fi
done
if [ "$status" -eq 0 ]; then
  echo "the canary exited cleanly: LeakSanitizer reported nothing" >&2
  ok=0
fi
[ "$ok" -eq 1 ] || { cat "$log" >&2; exit 1; }

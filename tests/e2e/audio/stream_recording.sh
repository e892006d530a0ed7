#!/usr/bin/env bash
# Records what the stream plays from the null sink's monitor and checks it against the pattern.
# Usage: stream_recording.sh MODE DRIVER   (MODE: pattern, restart or restart-silent)
source "$(dirname "$0")/../lib.sh"
mode=$1 driver=$2
md_session_start || exit 1
trap md_session_stop EXIT
recording="$MD_SESSION_DIR/$mode.raw"
# Two listeners: a loss that only one of them hears is the recorder's. Wine tells of each time the
# server ran out of what its mixer sent (warn+pulse); the driver of each refill's time.
parec -d "$MD_SINK.monitor" --raw --format=s16le --rate=44100 --channels=2 >"$recording" &
recorder=$!
parec -d "$MD_SINK.monitor" --raw --format=s16le --rate=44100 --channels=2 >"$recording.2" &
recorder2=$!
check "driver ran" env WINEDEBUG=warn+pulse timeout 60 wine "$driver" "$mode" >"$MD_SESSION_DIR/driver.log" \
  2>"$MD_SESSION_DIR/wine.log"
tr -d '\r' <"$MD_SESSION_DIR/driver.log"
sleep 0.5
kill -INT "$recorder" "$recorder2"; wait "$recorder" "$recorder2"
# Kept for a look at a failure: the last recording of each mode.
cp "$recording" "$MD_BIN/tests/e2e/audio/last-$mode.raw" 2>/dev/null || true
check "recording holds what was played" python3 "$(dirname "$0")/analyse.py" "$mode" "$recording" \
  "$recording.2" "$MD_SESSION_DIR/driver.log" "$MD_SESSION_DIR/wine.log"
e2e_finish

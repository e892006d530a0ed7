#!/usr/bin/env bash
# The stream's CPU under wine in a private session, from inside (GetThreadTimes, GetProcessTimes)
# and from outside (/proc of the wine process: user + system ticks over the whole run).
# Usage: bench/audio/run-stream-cpu.sh [BUILD_ROOT]   (default build/; uses BUILD_ROOT/win)
here=$(cd "$(dirname "$0")/../.." && pwd)
source "$here/scripts/lib/env.sh"
source "$here/scripts/lib/session.sh"
exe=${1:-$here/build}/win/bench/audio/audio_stream_cpu.exe
export WINEPREFIX=$MD_WINEPREFIX
md_session_start || exit 1
trap md_session_stop EXIT
wine "$exe" &
pid=$!
ticks=0
while kill -0 "$pid" 2>/dev/null; do
  stat=$(cat "/proc/$pid/stat" 2>/dev/null) && ticks=$(awk '{print $12 + $13}' <<<"${stat##*) }" 2>/dev/null || echo "$ticks")
  sleep 0.5
done
wait "$pid"
echo "wine process (/proc, whole run incl. start-up): $((ticks * 1000 / $(getconf CLK_TCK))) ms CPU"

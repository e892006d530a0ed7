#!/usr/bin/env bash
# Opens the test skin with skinview under wine in a private session and compares the screen:
# the picture's opaque pixels at (100, 100), and the screen as it was everywhere outside the outline.
#   skinview_screenshot.sh WINEPREFIX LAYERED(1|0)
# Env: MD_BIN (build dir), MD_SRC (source dir). Leaves the screenshot in $MD_BIN/skin-e2e-<name>.png.
set -euo pipefail
prefix=$1 layered=$2
source "$MD_SRC/scripts/lib/env.sh"
source "$MD_SRC/scripts/lib/session.sh"
export WINEPREFIX=$prefix

work=$(mktemp -d /tmp/skin-e2e.XXXXXX)
viewer=
cleanup() {
  if [ -n "$viewer" ]; then kill "$viewer" 2>/dev/null || true; wait "$viewer" 2>/dev/null || true; fi
  md_session_stop
  rm -rf "$work"
}
md_session_start
trap cleanup EXIT

python3 "$MD_SRC/tests/e2e/skin/test_skin.py" "$work"
# A checked background, so that black drawn outside the outline would be seen.
python3 - "$work/backdrop.ppm" <<'PY'
import sys
w, h = 1024, 768
with open(sys.argv[1], "wb") as f:
    f.write(b"P6 %d %d 255\n" % (w, h))
    for y in range(h):
        f.write(b"".join(bytes((230, 200, 40)) if (x // 7 + y // 5) % 2 else bytes((40, 90, 200))
                         for x in range(w)))
PY
display -window root "$work/backdrop.ppm" || true  # sets the backdrop, then reports 1
import -window root -depth 8 "$work/before.ppm"

(cd "$work" && exec wine "$MD_BIN/tests/e2e/skin/skinview.exe" --seconds 60) &
viewer=$!
probe_window() { # the window's line from probe, waiting for it to appear
  local out
  for _ in $(seq 60); do
    out=$(wine "$MD_BIN/tools/probe/probe.exe" window TPlayerWndClass 2>/dev/null || true)
    [[ $out == window* ]] && { echo "$out"; return; }
    sleep 0.5
  done
}
echo "probe: $(probe_window)"
# The window reaches the X server a moment after probe sees it.
for _ in $(seq 30); do
  import -window root -depth 8 "$work/after.ppm"
  python3 "$MD_SRC/tests/e2e/skin/compare_screen.py" "$work/before.ppm" "$work/after.ppm" 100 100 >/dev/null 2>&1 && break
  sleep 0.2
done
line=$(probe_window)

read -r _ left top right bottom exstyle _ <<<"$(tr '\t' ' ' <<<"$line")"
[ "$left $top $right $bottom" = "100 100 260 220" ] || { echo "window rectangle: $left $top $right $bottom"; exit 1; }
if [ "$layered" = 1 ]; then
  (( exstyle & 0x80000 )) || { echo "expected WS_EX_LAYERED, got $exstyle"; exit 1; }
else
  (( exstyle & 0x80000 )) && { echo "unexpected WS_EX_LAYERED, got $exstyle"; exit 1; }
fi

name=$([ "$layered" = 1 ] && echo layered || echo classic)
convert "$work/after.ppm" "$MD_BIN/skin-e2e-$name.png" 2>/dev/null || true
python3 "$MD_SRC/tests/e2e/skin/compare_screen.py" "$work/before.ppm" "$work/after.ppm" 100 100

#!/usr/bin/env bash
# Opens the test skin with skinview under wine in a private session and compares the screen:
# the picture's opaque pixels at (100, 100), and the screen as it was everywhere outside the outline.
#   skinview_screenshot.sh WINEPREFIX NAME
# Env: MD_BIN (build dir), MD_SRC (source dir). Leaves the screenshot in $MD_BIN/skin-e2e-NAME.png.
set -euo pipefail
export WINEPREFIX=$1
name=$2
source "$(dirname "$0")/../lib.sh"

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
display -window root "$work/backdrop.ppm" || [ $? -eq 1 ]  # sets the backdrop, then reports 1
import -window root -depth 8 "$work/before.ppm"
[ "$(compare -metric AE "$work/before.ppm" "$work/backdrop.ppm" null: 2>&1 | cut -d" " -f1)" = 0 ] || { echo "the backdrop is not on screen"; exit 1; }

(cd "$work" && exec wine "$MD_BIN/tests/e2e/skin/skinview.exe" --seconds 60) &
viewer=$!
window_now() { wine "$MD_BIN/tools/probe/probe.exe" window 2>/dev/null | tr -d '\r' | grep '^window'; }
e2e_poll 30 window_now >/dev/null || { echo "no window"; exit 1; }
# The window reaches the X server a moment after probe sees it.
on_screen() {
  import -window root -depth 8 "$work/after.ppm" &&
    /usr/bin/python3 "$MD_SRC/tests/e2e/skin/compare_screen.py" "$work/before.ppm" "$work/after.ppm" 100 100 >/dev/null 2>&1
}
e2e_poll 6 on_screen || echo "the screen did not settle in 6 s"
line=$(window_now)
echo "probe: $line"

read -r _ left top right bottom _ <<<"$(tr '\t' ' ' <<<"$line")"
[ "$left $top $right $bottom" = "100 100 260 220" ] || { echo "window rectangle: $left $top $right $bottom"; exit 1; }
convert "$work/after.ppm" "$MD_BIN/skin-e2e-$name.png" 2>/dev/null || true
/usr/bin/python3 "$MD_SRC/tests/e2e/skin/compare_screen.py" "$work/before.ppm" "$work/after.ppm" 100 100

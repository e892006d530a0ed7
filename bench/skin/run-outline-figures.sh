#!/usr/bin/env bash
# Start-up to the first Present under wine against the number of transparent runs in pic.png:
# the demo disk with its pic.png replaced by an opaque picture of the same size holding a
# checkered block of about 600, 5,000 and 20,000 runs (and none). Median of 3 runs each.
# Usage: bench/skin/run-outline-figures.sh [BUILD_ROOT] [FIRST_PRESENT_EXE...]
#   (default build/; the exes default to BUILD_ROOT/win/bench/app/musicdisk_first_present.exe,
#   each with OrvelPlayer.dll beside it)
here=$(cd "$(dirname "$0")/../.." && pwd)
root=${1:-$here/build}; shift
exes=("$@"); ((${#exes[@]})) || exes=("$root/win/bench/app/musicdisk_first_present.exe")
source "$here/scripts/lib/env.sh"
source "$here/scripts/lib/session.sh"
export WINEPREFIX=$MD_WINEPREFIX
md_session_start || exit 1
trap md_session_stop EXIT
work=$MD_SESSION_DIR
vfspack="wine $root/win/bin/vfspack.exe"
[ -x "$root/native/tools/vfspack/vfspack" ] && vfspack=$root/native/tools/vfspack/vfspack
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

$vfspack extract "$root/win/demo/disk/data.vfs" "$work/pictures" >/dev/null
read -r w h <<<"$(python3 "$here/scripts/lib/disk.py" entry "$root/win/demo/disk" pic.png)"
for rows_runs in "0 0" "20 30" "50 100" "100 200"; do
  read -r rows runs <<<"$rows_runs"
  disk="$work/disk-$((rows * runs))"
  cp -a "$root/win/demo/disk" "$disk"
  python3 - "$work/pictures/pic.png" "$w" "$h" "$rows" "$runs" <<'PY'
import struct, sys, zlib
path, w, h, rows, runs = sys.argv[1], *map(int, sys.argv[2:])
data = b""
for y in range(h):
    line = bytearray(b"\x60\x70\x80\xff" * w)
    if y < rows:
        for x in range(2 * runs):
            if (x + y) % 2 == 0:
                line[4 * (20 + x) + 3] = 0
    data += b"\0" + bytes(line)
chunk = lambda t, d: struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
open(path, "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
                       + chunk(b"IDAT", zlib.compress(data)) + chunk(b"IEND", b""))
PY
  $vfspack create "$disk/data.vfs" "$work/pictures" >/dev/null
  for exe in "${exes[@]}"; do
    ms=$(for _ in 1 2 3; do
      (cd "$disk" && timeout 600 wine "$exe") | tr -d '\r' | awk '/startup_ms/ { print $2 }'
    done | median)
    echo "$((rows * runs)) runs: ${ms:-none} ms  ($exe)"
  done
done

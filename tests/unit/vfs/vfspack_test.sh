#!/usr/bin/env bash
# vfspack: create, list and extract round-trip byte for byte; bad names and bad archives are refused cleanly.
set -u
vfspack=("$@")  # the tool, or wine and the tool
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAIL: $1"; fail=1; fi; }

mkdir -p "$work/in/folder" "$work/out"
head -c 3000 /dev/urandom >"$work/in/folder/b.png"
head -c 17 /dev/urandom >"$work/in/folder/a.png"
: >"$work/in/folder/empty.bin"
head -c 500 /dev/urandom >"$work/in/pic.png"

"${vfspack[@]}" create "$work/data.vfs" "$work/in/pic.png" "$work/in/folder" 2>"$work/err"
check "create succeeds" '[ $? -eq 0 ] && [ ! -s "$work/err" ]'
"${vfspack[@]}" list "$work/data.vfs" | tr -d "\r" >"$work/list"
check "list shows name, offset, size in order" \
  '[ "$(cat "$work/list")" = "$(printf "pic.png\t0\t500\na.png\t500\t17\nb.png\t517\t3000\nempty.bin\t3517\t0")" ]'
"${vfspack[@]}" extract "$work/data.vfs" "$work/out"
for f in pic.png folder/a.png folder/b.png folder/empty.bin; do
  check "round trip $f" 'cmp -s "$work/in/$f" "$work/out/$(basename $f)"'
done
check "header size" '[ "$(od -An -tu4 -j4 -N4 "$work/data.vfs" | tr -d " ")" = 168 ]'

long=$(printf 'n%.0s' $(seq 28)).png   # 32 characters
cp "$work/in/pic.png" "$work/in/$long"
"${vfspack[@]}" create "$work/long.vfs" "$work/in/$long" 2>"$work/err"
check "32-character name refused" '[ $? -eq 1 ] && grep -q "at most 31" "$work/err" && [ ! -e "$work/long.vfs" ] && [ ! -e "$work/long.vfs.tmp" ]'
short=$(printf 'n%.0s' $(seq 27)).png  # 31 characters
cp "$work/in/pic.png" "$work/in/$short"
check "31-character name accepted" '"${vfspack[@]}" create "$work/short.vfs" "$work/in/$short"'

cp "$work/in/pic.png" "$work/in/PIC.PNG"
cp "$work/data.vfs" "$work/keep.vfs"
"${vfspack[@]}" create "$work/data.vfs" "$work/in/pic.png" "$work/in/PIC.PNG" 2>"$work/err"
check "names equal but for case refused" '[ $? -eq 1 ] && grep -q "except for case" "$work/err"'
check "failed create leaves the old archive" 'cmp -s "$work/data.vfs" "$work/keep.vfs"'
"${vfspack[@]}" create "$work/x.vfs" "$work/in/missing" 2>"$work/err"
check "missing input refused" '[ $? -eq 1 ] && grep -q "no such file" "$work/err"'

# Malformed archives: each gives exit status 1 with a message, never a crash.
python3 - "$work" <<'PY'
import struct, sys, os
w = sys.argv[1]
def rec(name, off, size): return name.ljust(32, b'\0')[:32] + struct.pack('<II', off, size)
good = struct.pack('<II', 0, 8 + 80) + rec(b'a.png', 0, 4) + rec(b'b.png', 4, 4) + b'12345678'
cases = {
  'short': b'1234567',
  'lowheader': struct.pack('<II', 0, 3) + b'xxxx',
  'hugeheader': struct.pack('<II', 0, 0xFFFFFFF0) + good[8:],
  'noterm': struct.pack('<II', 0, 48) + b'z' * 32 + struct.pack('<II', 0, 1) + b'q',
  'pastend': struct.pack('<II', 0, 48) + rec(b'a.png', 0, 99999) + b'q',
  'escape': struct.pack('<II', 0, 48) + rec(b'../evil', 0, 1) + b'q',
}
for k, v in cases.items():
    open(os.path.join(w, k + '.vfs'), 'wb').write(v)
PY
# The archive's parsing is portable: under wine only the paths around it run again.
malformed="short lowheader hugeheader noterm pastend"
[ "$1" = wine ] && malformed=
for k in $malformed; do
  "${vfspack[@]}" list "$work/$k.vfs" >/dev/null 2>"$work/err"
  check "list $k: status 1 with a message" '[ $? -eq 1 ] && [ -s "$work/err" ]'
  "${vfspack[@]}" extract "$work/$k.vfs" "$work/x-$k" >/dev/null 2>&1
  check "extract $k: status 1" '[ $? -eq 1 ]'
done
"${vfspack[@]}" extract "$work/escape.vfs" "$work/jail/inner" 2>"$work/err"
check "entry name with a path is not written outside the folder" '[ $? -eq 1 ] && [ ! -e "$work/jail/evil" ]'
"${vfspack[@]}" bogus >/dev/null 2>&1
check "unknown verb: status 1" '[ $? -eq 1 ]'
exit $fail

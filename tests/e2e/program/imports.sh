#!/usr/bin/env bash
# What runs where: every function that musicdisk.exe and OrvelPlayer.dll import must be one that
# 64-bit Windows 7 exports (windows7-x64-exports.txt, which says how it was made), and what the
# program imports from OrvelPlayer.dll must be what the library exports. Then the program as each
# Windows version runs it, in the session's own prefix switched from one version to the next: a
# layered window from major version 5 on (win7, win81, win10), a plain popup on win98. And the
# name and version that Explorer and Task Manager show for it.
source "$(dirname "$0")/lib.sh"
objdump=x86_64-w64-mingw32-objdump
library="$MD_BIN/bin/OrvelPlayer.dll"

# "dll function" for each import, the DLL in lower case; "#n" for an import by ordinal.
imports() { # binary
  "$objdump" -p "$1" | awk '
    /^\tDLL Name: / { dll = tolower($3); next }
    /^$/ { dll = "" }
    dll != "" && /^\t[0-9a-f]+\t/ { print dll, ($NF == "<none>" ? "#" $2 + 0 : $NF) }'
}
exports() { # dll
  "$objdump" -p "$1" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\t\[ *[0-9]*\] //p'
}

all=$({ imports "$MUSICDISK"; imports "$library"; } | sort -u)
check "imports were read from both binaries" test "$(grep -c . <<<"$all")" -gt 100
unknown=$(grep -v '^orvelplayer\.dll ' <<<"$all" | grep -vxF -f <(grep -v '^#' "$MD_SRC/tests/e2e/program/windows7-x64-exports.txt"))
[ -z "$unknown" ] || printf 'not known to 64-bit Windows 7:\n%s\n' "$unknown"
check "every import is exported by 64-bit Windows 7" test -z "$unknown"
missing=$(sed -n 's/^orvelplayer\.dll //p' <<<"$all" | grep -vxF -f <(exports "$library"))
check "the program imports from OrvelPlayer.dll only what it exports" test -z "$missing"

scenario_begin
check "the program names itself" test "$(wine "$MD_PROBE" file-version "$MUSICDISK" | tr -d '\r')" = \
  "$(printf 'version\tMusic disk\tmusicdisk\t1.0.0')"
check "its manifest asks for Common Controls 6" grep -q 'name="Microsoft.Windows.Common-Controls" version="6' "$MUSICDISK"
for version in win7 win81 win10 win98; do
  # winecfg /v cannot set the version in a 64-bit prefix; the registry key can.
  wine reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null 2>&1
  disk_start "$disk" wait
  want=1; [ "$version" = win98 ] && want=0
  check "$version: layered is $want" test $(( ($(disk_exstyle) & 0x80000) != 0 )) -eq $want
  press_escape "$disk"
  check "$version: Esc ends the program with status 0" ends_with_status_0
done
e2e_finish

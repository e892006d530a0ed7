#!/usr/bin/env bash
# The program as each Windows version runs it, in the session's own prefix switched from one
# version to the next: a layered window from major version 5 on (win7, win81, win10), a plain
# popup on win98. And the name and version that Explorer and Task Manager show for it.
source "$(dirname "$0")/lib.sh"
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

#!/usr/bin/env bash
# Runs kvmlhost's machine, printer and printerdata commands on a fresh machine root and
# checks their output and exit codes.
set -u
host=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fails=0
check() {  # check NAME EXPECTED-EXIT COMMAND... ; output in $out
  local name=$1 want=$2; shift 2
  out=$("$@" 2>&1); local rc=$?
  if [ "$rc" != "$want" ]; then echo "FAIL $name: exit $rc, wanted $want"; echo "$out"; fails=$((fails+1)); return 1; fi
  return 0
}
expect() {  # expect NAME PATTERN: $out must match
  if ! grep -qE -- "$2" <<<"$out"; then echo "FAIL $1: output lacks /$2/"; echo "$out"; fails=$((fails+1)); fi
}

check init 0 "$host" machine init "$dir/m" && expect init 'installed printer "KVML Sample"'
check init-again 1 "$host" machine init "$dir/m" && expect init-again 'not empty'
check init-usage 2 "$host" machine init
export KVML_ROOT="$dir/m"
check list 0 "$host" printer list && expect list '^KVML Sample	'
check show 0 "$host" printer show "kvml sample" && expect show 'data file +C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\KVSAMPLE.KVD'
[ -f "$dir/m/C/WINDOWS/system32/spool/drivers/w32x86/3/KVSAMPLE.KVD" ] || { echo "FAIL package: description not installed"; fails=$((fails+1)); }
check show-missing 1 "$host" printer show "No Such" && expect show-missing 'ERROR_INVALID_PRINTER_NAME'
check set-sz 0 "$host" printerdata "KVML Sample" HelpFileName kvmlhelp.hlp
check set-dword 0 "$host" printerdata "KVML Sample" Count dword:0x20
check set-bad 1 "$host" printerdata "KVML Sample" Count dword:12x
check get-sz 0 "$host" printerdata "KVML Sample" HelpFileName && expect get-sz '^REG_SZ kvmlhelp.hlp$'
check get-dword 0 "$host" printerdata "KVML Sample" Count && expect get-dword '^REG_DWORD 32 '
check enum 0 "$host" printerdata "KVML Sample" && expect enum '^Count = REG_DWORD 32' && expect enum '^HelpFileName = REG_SZ'
check get-missing 1 "$host" printerdata "KVML Sample" Nothing && expect get-missing 'ERROR_FILE_NOT_FOUND'
check unknown 2 "$host" frobnicate && expect unknown "unknown command"
check no-root 1 env -u KVML_ROOT "$host" printer list && expect no-root 'no machine root'

if [ "$fails" -eq 0 ]; then echo "host commands: all checks passed"; exit 0; fi
echo "host commands: $fails checks failed"; exit 1

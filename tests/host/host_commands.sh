#!/usr/bin/env bash
# Runs kvmlhost's machine, printer, printerdata, compile and item commands on a fresh machine
# root and checks their output and exit codes.
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
# compile: the sample description through its printer's context, then as a bare file.
drv='C:\WINDOWS\system32\spool\drivers\w32x86\3'
hostdrv="$dir/m/C/WINDOWS/system32/spool/drivers/w32x86/3"
tmpw='C:\WINDOWS\Temp'
hosttmp="$dir/m/C/WINDOWS/Temp"
check compile-printer 0 "$host" compile --printer "KVML Sample" &&
  expect compile-printer '^FileVersion +1\.41$' && expect compile-printer '^items +[1-9][0-9]* ' &&
  expect compile-printer '^values +[1-9]' && expect compile-printer '^command groups +[1-5] \(' &&
  expect compile-printer '^rejected lines +0 errors' && expect compile-printer 'KVSAMPLE\.BCS written$'
[ -f "$hostdrv/KVSAMPLE.BCS" ] || { echo "FAIL compile-printer: no KVSAMPLE.BCS"; fails=$((fails+1)); }
blob=$(sed -n 's/^blob size *\([0-9]*\) bytes$/\1/p' <<<"$out")
bcs=$(stat -c %s "$hostdrv/KVSAMPLE.BCS" 2>/dev/null)
[ -n "$blob" ] && [ "$blob" = "$bcs" ] || { echo "FAIL compile-size: blob $blob bytes, cache file $bcs"; fails=$((fails+1)); }
check compile-check 0 "$host" compile --check "$drv\KVSAMPLE.BCS" && expect compile-check "OK, $bcs bytes, FileVersion 1\.41"
check compile-desc 0 "$host" compile "$drv\KVSAMPLE.KVD" && expect compile-desc 'KVSAMPLE\.BCS written$'

# Rejected lines are reported as file:line: message; the rest still compiles.
printf '*FileVersion: 1.41\n*Bogus: 1\n*OpenUI *KPD_RADIOLIST_1: PickOne\n*KPD_RADIOLIST_1 IDS_ORIENTATION_PORTRAIT: "@PJL SET ORIENTATION=PORTRAIT"\n*CloseUI: *KPD_RADIOLIST_1\n*Judge 0: 1\n' >"$hosttmp/bad.kvd"
check compile-errors 0 "$host" compile "$tmpw\bad.kvd" &&
  expect compile-errors '^C:\\WINDOWS\\Temp\\bad\.kvd:2: ' && expect compile-errors '^C:\\WINDOWS\\Temp\\bad\.kvd:6: ' &&
  expect compile-errors '^items +1 ' && expect compile-errors '^rejected lines +2 errors'
printf '*OpenUI *KPD_RADIOLIST_1: PickOne\n*KPD_RADIOLIST_1 IDS_ORIENTATION_PORTRAIT: "x"\n*CloseUI: *KPD_RADIOLIST_1\n' >"$hosttmp/nover.kvd"
check compile-noversion 0 "$host" compile "$tmpw\nover.kvd" && expect compile-noversion 'not written \(the description has no FileVersion\)'
[ ! -e "$hosttmp/nover.BCS" ] || { echo "FAIL compile-noversion: a cache file was written"; fails=$((fails+1)); }
printf '*FileVersion: 9.99\n' >"$hosttmp/other.kvd"
check compile-otherversion 0 "$host" compile "$tmpw\other.kvd" && expect compile-otherversion "not written \(FileVersion is not the driver's\)"
check compile-missing 1 "$host" compile "$tmpw\none.kvd" && expect compile-missing 'ERROR_FILE_NOT_FOUND'
check compile-usage 2 "$host" compile
check compile-printer-missing 1 "$host" compile --printer "No Such" && expect compile-printer-missing 'ERROR_INVALID_PRINTER_NAME'

# --check refuses damaged cache files with the reason.
head -c 7000 "$hostdrv/KVSAMPLE.BCS" >"$hosttmp/cut.BCS"
check check-cut 1 "$host" compile --check "$tmpw\cut.BCS" && expect check-cut 'invalid: recorded size [0-9]+, file size 7000'
: >"$hosttmp/empty.BCS"
check check-empty 1 "$host" compile --check "$tmpw\empty.BCS" && expect check-empty 'invalid: 0 bytes'
cp "$hostdrv/KVSAMPLE.BCS" "$hosttmp/links.BCS"
printf '\377\377\377\177' | dd of="$hosttmp/links.BCS" bs=1 seek=36 conv=notrunc status=none
check check-links 1 "$host" compile --check "$tmpw\links.BCS" && expect check-links 'invalid at offset [0-9]+: '
check check-missing 1 "$host" compile --check "$tmpw\none.BCS" && expect check-missing 'ERROR_FILE_NOT_FOUND'

# item: the sample printer's items through a driver context.
check item 0 "$host" item "KVML Sample" 7 15 &&
  expect item '^7	dmOrientation	raw=-?[0-9]+	value=-?[0-9]+.*	description default=[0-9]+ IDS_ORIENTATION_' &&
  expect item '^15	dmColor	raw='
check item-text 0 "$host" item "KVML Sample" 20 && expect item-text '^20	dmFormName	text="[^"]*"	-	'
check item-unknown 1 "$host" item "KVML Sample" 1276 && expect item-unknown 'no item 1276'
check item-unknown-late 1 "$host" item "KVML Sample" 7 10386 && expect item-unknown-late '^7	dmOrientation' &&
  expect item-unknown-late 'no item 10386'
check item-bad-id 1 "$host" item "KVML Sample" 7x && expect item-bad-id 'not an item ID'
check item-printer 1 "$host" item "No Such" 7 && expect item-printer 'ERROR_INVALID_PRINTER_NAME'
check item-usage 2 "$host" item "KVML Sample"
# A cache file damaged in place (and tied to the text by its time) is compiled over.
head -c 9000 /dev/urandom >"$hostdrv/KVSAMPLE.BCS"
touch -r "$hostdrv/KVSAMPLE.KVD" "$hostdrv/KVSAMPLE.BCS"
check item-damaged-cache 0 "$host" item "KVML Sample" 7 && expect item-damaged-cache '^7	dmOrientation'
check item-cache-rewritten 0 "$host" compile --check "$drv\KVSAMPLE.BCS" && expect item-cache-rewritten "OK, $bcs bytes"
check unknown 2 "$host" frobnicate && expect unknown "unknown command"
check no-root 1 env -u KVML_ROOT "$host" printer list && expect no-root 'no machine root'

if [ "$fails" -eq 0 ]; then echo "host commands: all checks passed"; exit 0; fi
echo "host commands: $fails checks failed"; exit 1

#!/usr/bin/env bash
# Runs kvmlhost's machine, printer, printerdata, compile, item, allowed, caps, paper, devmode,
# merge, settings, commit, defaults, check, preset, bundle and freesize commands on a fresh machine root, and
# compile on host files with no machine root, and checks their output and exit codes; then the global
# options, help and usage errors.
set -u
host=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# Under KV_TEST_LAUNCHER (the emulated pass of scripts/test) every run of the host goes
# through the launcher: a small script in the work folder stands for the program.
if [ -n "${KV_TEST_LAUNCHER:-}" ]; then
  printf '#!/bin/sh\nexec %s "%s" "$@"\n' "$KV_TEST_LAUNCHER" "$host" > "$dir/kvmlhost"
  chmod +x "$dir/kvmlhost"
  host="$dir/kvmlhost"
fi
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

check init 0 "$host" machine init "$dir/m" && expect init 'installed printer "KVML Sample"' &&
  expect init '^imported 3 default presets from KVDEFLT\.KSB$'
check init-again 1 "$host" machine init "$dir/m" && expect init-again 'not empty'
check init-usage 2 "$host" machine init
# Paths the file system refuses end the command with a message and status 1.
check init-empty 1 "$host" machine init ""
check init-longname 1 "$host" machine init "$dir/$(head -c 300 /dev/zero | tr '\0' c)" && expect init-longname '^kvmlhost: '
check init-hugearg 1 "$host" machine init "$dir/$(head -c 102400 /dev/zero | tr '\0' h)" && expect init-hugearg '^kvmlhost: '
export KVML_ROOT="$dir/m"
check list 0 "$host" printer list && expect list '^KVML Sample	'
check show 0 "$host" printer show "kvml sample" && expect show 'data file +C:\\WINDOWS\\system32\\spool\\drivers\\w32x86\\3\\KVSAMPLE.KVD'
[ -f "$dir/m/C/WINDOWS/system32/spool/drivers/w32x86/3/KVSAMPLE.KVD" ] || { echo "FAIL package: description not installed"; fails=$((fails+1)); }
expect show '^companion +not installed$'
check init-companion 0 "$host" machine init --companion "$dir/m2" && expect init-companion 'installed the job-binding companion application'
check show-companion 0 env KVML_ROOT="$dir/m2" "$host" printer show "KVML Sample" && expect show-companion '^companion +installed$'
check show-missing 1 "$host" printer show "No Such" && expect show-missing 'ERROR_INVALID_PRINTER_NAME'
check set-sz 0 "$host" printerdata "KVML Sample" HelpFileName kvmlhelp.hlp
check set-dword 0 "$host" printerdata "KVML Sample" Count dword:0x20
check set-bad 1 "$host" printerdata "KVML Sample" Count dword:12x
# dword: values out of range, too long or empty are refused and nothing is stored.
for bad in dword:4294967296 dword:18446744073709551616 dword:99999999999999999999 dword: dword:0x dword:-1 'dword: 1' dword:0x100000000; do
  check "set-range $bad" 1 "$host" printerdata "KVML Sample" Count "$bad" && expect "set-range $bad" 'not a number from 0 to 4294967295'
done
check set-max 0 "$host" printerdata "KVML Sample" Max dword:4294967295
check get-max 0 "$host" printerdata "KVML Sample" Max && expect get-max '^REG_DWORD 4294967295 '
# Values and names larger than any fixed buffer still list.
long=$(head -c 600 /dev/zero | tr '\0' n)
big=$(head -c 70000 /dev/zero | tr '\0' v)
check set-longname 0 "$host" printerdata "KVML Sample" "$long" short
check set-bigvalue 0 "$host" printerdata "KVML Sample" Big "$big"
if check enum-big 0 "$host" printerdata "KVML Sample"; then
  expect enum-big "^$long = REG_SZ short\$"
  [ "$(awk '/^Big = REG_SZ v+$/ { print length($0) }' <<<"$out")" = $((70000 + 13)) ] ||
    { echo "FAIL enum-big: the 70000-character value did not list whole"; fails=$((fails+1)); }
fi
# Ill-formed UTF-8 in an argument is refused, not turned into U+FFFD.
check bad-utf8 2 "$host" printerdata "KVML Sample" $'Bad\xff' x && expect bad-utf8 'not valid UTF-8'
check bad-utf8-2 2 "$host" printerdata "KVML Sample" $'Bad\xc3' x && expect bad-utf8-2 'not valid UTF-8'
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
# The cache file is the block and a 16-byte trailer (format version and checksum).
[ -n "$blob" ] && [ "$((blob + 16))" = "$bcs" ] || { echo "FAIL compile-size: blob $blob bytes, cache file $bcs"; fails=$((fails+1)); }
check compile-check 0 "$host" compile --check "$drv\KVSAMPLE.BCS" && expect compile-check "OK, $blob bytes, FileVersion 1\.41"
check compile-desc 0 "$host" compile "$drv\KVSAMPLE.KVD" && expect compile-desc 'KVSAMPLE\.BCS written$'

# Rejected lines are reported as file:line: message; the rest still compiles.
printf '*FileVersion: 1.41\n*Bogus: 1\n*OpenUI *KPD_RADIOLIST_1: PickOne\n*KPD_RADIOLIST_1 IDS_ORIENTATION_PORTRAIT: "@PJL SET ORIENTATION=PORTRAIT"\n*CloseUI: *KPD_RADIOLIST_1\n*Judge 0: 1\n' >"$hosttmp/bad.kvd"
check compile-errors 1 "$host" compile "$tmpw\bad.kvd" &&
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
check check-cut 1 "$host" compile --check "$tmpw\cut.BCS" && expect check-cut 'invalid at offset 6984: no cache file trailer'
: >"$hosttmp/empty.BCS"
check check-empty 1 "$host" compile --check "$tmpw\empty.BCS" && expect check-empty 'invalid at offset 0: file too short'
head -c "$blob" "$hostdrv/KVSAMPLE.BCS" >"$hosttmp/older.BCS"
check check-older 1 "$host" compile --check "$tmpw\older.BCS" && expect check-older 'no cache file trailer \(an older format\)'

cp "$hostdrv/KVSAMPLE.BCS" "$hosttmp/links.BCS"
printf '\377\377\377\177' | dd of="$hosttmp/links.BCS" bs=1 seek=36 conv=notrunc status=none
check check-links 1 "$host" compile --check "$tmpw\links.BCS" && expect check-links 'invalid at offset [0-9]+: checksum does not match'

# A damaged cache file beside the description, its time reset to the text's, is never
# used: bits flipped at a spread of places (header, nodes, texts, trailer) each fail the
# check, and `item` answers what the text compiles to (the cache file is then rewritten).
check item-fromtext 0 "$host" item "KVML Sample" 7 15 39 847 && fromtext=$out
cp "$hostdrv/KVSAMPLE.BCS" "$dir/good.BCS"
for at in 40 $((bcs / 2)) $((bcs - 200)) $((bcs - 3)); do
  cp "$dir/good.BCS" "$hostdrv/KVSAMPLE.BCS"
  byte=$(od -An -tu1 -j "$at" -N1 "$hostdrv/KVSAMPLE.BCS" | tr -d ' ')
  printf "\\$(printf %03o $(( byte ^ (1 << (at % 8)) )))" | dd of="$hostdrv/KVSAMPLE.BCS" bs=1 seek="$at" conv=notrunc status=none
  touch -r "$hostdrv/KVSAMPLE.KVD" "$hostdrv/KVSAMPLE.BCS"
  check "flip-$at-check" 1 "$host" compile --check "$drv\KVSAMPLE.BCS" && expect "flip-$at-check" 'invalid at offset'
  check "flip-$at-item" 0 "$host" item "KVML Sample" 7 15 39 847 &&
    { [ "$out" = "$fromtext" ] || { echo "FAIL flip-$at-item: differs from the text's"; echo "$out"; fails=$((fails+1)); }; }
  cmp -s "$dir/good.BCS" "$hostdrv/KVSAMPLE.BCS" || { echo "FAIL flip-$at: cache file not rewritten"; fails=$((fails+1)); }
done
check check-missing 1 "$host" compile --check "$tmpw\none.BCS" && expect check-missing 'ERROR_FILE_NOT_FOUND'

# item: the sample printer's items through a driver context.
check item 0 "$host" item "KVML Sample" 7 15 &&
  expect item '^7	dmOrientation	raw=1	value=2042 IDS_ORIENTATION_PORTRAIT	description default=2042 IDS_ORIENTATION_PORTRAIT$' &&
  expect item '^15	dmColor	raw=2	value=2019 IDS_COLOR_COLOR	'
check item-text 0 "$host" item "KVML Sample" 20 && expect item-text '^20	dmFormName	text="[^"]*"	-	'
check item-unknown 1 "$host" item "KVML Sample" 1276 && expect item-unknown 'no item 1276'
check item-unknown-late 1 "$host" item "KVML Sample" 7 10386 && expect item-unknown-late '^7	dmOrientation' &&
  expect item-unknown-late 'no item 10386'
check item-bad-id 1 "$host" item "KVML Sample" 7x && expect item-bad-id 'not an item ID or name: 7x'
# caps: the sample printer's papers, sizes and printable areas, trays, resolutions, extents
# and fonts, as its description gives them.
if check caps 0 "$host" caps "KVML Sample"; then
  expect caps '^papers \(18\): '
  expect caps '^  9 +\S.* 2100 x 2970$'
  expect caps '^ +600 dpi portrait +94,99 - 4867,6917 \(offsets 94,99\)$'
  expect caps '^ +1200 dpi landscape +198,189 - 13833,9732 \(offsets 198,189\)$'
  expect caps '^  37 +\S.* 984 x 1905$'
  expect caps '^bins \(7\): ' && expect caps '^  11 +Large capacity tray$'
  expect caps '^resolutions: 600 x 600, 1200 x 1200 dpi \(resolution codes 3 4\)$'
  expect caps '^custom size: 900 x 1480 to 2160 x 12954 '
  expect caps '^landscape: turned 90 degrees$'
  expect caps '^duplex unit: '
  expect caps '^device fonts \(8\): 1 Courier, 2 Letter Gothic'
  expect caps '^font cartridge \(4\): 101 KV Barcode 39'
  expect caps '^TrueType substitutions \(6\): Arial -> KV Sans, '
fi
if check caps-one 0 "$host" caps "KVML Sample" resolutions; then
  expect caps-one '^resolutions: '
  if grep -q '^papers' <<<"$out"; then echo "FAIL caps-one: more than the part asked for"; fails=$((fails+1)); fi
fi
check caps-part 2 "$host" caps "KVML Sample" sizes && expect caps-part "unknown part 'sizes'"
check caps-usage 2 "$host" caps
check caps-missing 1 "$host" caps "No Such" && expect caps-missing 'ERROR_INVALID_PRINTER_NAME'
# paper: the page geometry of the sample printer's settings and of a paper, output size,
# resolution and orientation given on the command line.
if check paper 0 "$host" paper "KVML Sample" --paper 9 --dpi 600; then
  expect paper '^resolution	600 x 600 dpi$'
  expect paper '^document	9 IDS_PAPERSIZE_A4	length 7015 x width 4960 dots	printable 6818 x 4773 at 94,99$'
  expect paper '^devmode	dmPaperSize 9	2970 x 2100 \(0\.1 mm\)	fields DM_PAPERSIZE$'
  expect paper '^resolution check	fits$'
fi
check paper-turned 0 "$host" paper "KVML Sample" --paper 9 --output 1024 --dpi 1200 --landscape &&
  expect paper-turned '^output	1024 IDS_PRINTSIZE_SAME	length 9920 x width 14030 dots	printable 9543 x 13635 at 198,189$'
check paper-fit 0 "$host" paper "KVML Sample" --paper 8 --output 1025 &&
  expect paper-fit '^output	1025 IDS_PAPERSIZE_A4FIT	length 7015 x width 4960 dots	'
check paper-custom 0 "$host" paper "KVML Sample" --paper 256 --dpi 1200 &&
  expect paper-custom '^devmode	dmPaperSize 256	.*DM_PAPERSIZE DM_PAPERLENGTH DM_PAPERWIDTH$' && expect paper-custom '^large size	no$'
check paper-bad-dpi 2 "$host" paper "KVML Sample" --dpi 0 && expect paper-bad-dpi 'takes a resolution'
check paper-bad-code 2 "$host" paper "KVML Sample" --paper A4 && expect paper-bad-code 'takes a paper code'
check paper-usage 2 "$host" paper
check paper-missing 1 "$host" paper "No Such" && expect paper-missing 'ERROR_INVALID_PRINTER_NAME'
check item-big-id 1 "$host" item "KVML Sample" 70000 && expect item-big-id 'no item 70000'
# settings: export a preset file, import it (with --to writing it out again to the same
# bytes), and the errors that name the file and the reason.
check settings-export 0 "$host" settings export "KVML Sample" "$tmpw\a.kst" && expect settings-export 'exported the settings to C:\\WINDOWS\\Temp\\a\.kst'
head -c 40 "$hosttmp/a.kst" | grep -q $'^\[.*\]\r$' || { echo "FAIL settings-export: no section line first"; fails=$((fails+1)); }
grep -q $'^KstVersion=314\r$' "$hosttmp/a.kst" || { echo "FAIL settings-export: no version header"; fails=$((fails+1)); }
check settings-import 0 env KVML_LOCALE=0409 "$host" settings import "KVML Sample" "$tmpw\a.kst" --to "$tmpw\b.kst" &&
  expect settings-import '^imported [1-9][0-9]* settings from ' && expect settings-import 'exported the settings to '
# A read marks the settings as no stored preset (kdmPresetNo 255, a signed byte) and takes
# the first-run locale defaults (kdmLocaleID 1 for a user in country 1); every other line
# comes back byte for byte.
grep -q $'^kdmPresetNo=-1\r$' "$hosttmp/b.kst" || { echo "FAIL settings-roundtrip: preset number not reset"; fails=$((fails+1)); }
grep -q $'^kdmLocaleID=1\r$' "$hosttmp/b.kst" || { echo "FAIL settings-roundtrip: locale defaults not taken"; fails=$((fails+1)); }
cmp -s <(grep -v '^kdmPresetNo=\|^kdmLocaleID=' "$hosttmp/a.kst") <(grep -v '^kdmPresetNo=\|^kdmLocaleID=' "$hosttmp/b.kst") ||
  { echo "FAIL settings-roundtrip: the files differ"; fails=$((fails+1)); }
# A 57 MB settings file (the settings, then a million keys the driver does not know) is
# imported like a small one: reading it fits the 32-bit address space of the sanitized
# build, under the emulator too.
{ cat "$hosttmp/a.kst"; seq -f 'Unknown%08g=0123456789012345678901234567890123456789' 1 1000000; } >"$hosttmp/big.kst"
check settings-import-large 0 "$host" settings import "KVML Sample" "$tmpw\big.kst" &&
  expect settings-import-large '^imported [1-9][0-9]* settings from .*big\.kst$'
rm -f "$hosttmp/big.kst"
sed 's/^KstMachine=.*/KstMachine=7\r/' "$hosttmp/a.kst" >"$hosttmp/c.kst"
check settings-foreign 1 "$host" settings import "KVML Sample" "$tmpw\c.kst" &&
  expect settings-foreign 'cannot import the settings of .*c\.kst: its header does not match this printer'
check settings-missing 1 "$host" settings import "KVML Sample" "$tmpw\none.kst" &&
  expect settings-missing 'none\.kst: the file cannot be read'
check settings-unwritable 1 "$host" settings export "KVML Sample" 'C:\no\such\a.kst' &&
  expect settings-unwritable 'cannot export the settings to C:\\no\\such\\a\.kst: .*ERROR_PATH_NOT_FOUND'
check settings-printer 1 "$host" settings export "No Such" "$tmpw\a.kst" && expect settings-printer 'ERROR_INVALID_PRINTER_NAME'
# settings get|set: one stored item, saved where the store keeps it and read back by a
# new context (a new process): printer data, values of 2^31 and more, the settings INI.
check sget-fresh 0 "$host" settings get "KVML Sample" Tray1Paper && expect sget-fresh '^10175	kdmTray1Paper	9	printer data "Tray1Paper"$'
check sset-data 0 "$host" settings set "KVML Sample" kdmTray1Paper 8 && expect sset-data '^kdmTray1Paper = 8, saved to printer data "Tray1Paper"$'
check sget-data 0 "$host" settings get "KVML Sample" 10175 && expect sget-data '	8	printer data'
check sdata-bytes 0 "$host" printerdata "KVML Sample" Tray1Paper && expect sdata-bytes '08 00'
check sset-big 0 "$host" settings set "KVML Sample" kdm1StepOptionNum 3000000000
check sget-big 0 "$host" settings get "KVML Sample" 1StepNum && expect sget-big '	3000000000	'
check sset-ini 0 "$host" settings set "KVML Sample" FrontFunc 4294967295 && expect sset-ini 'saved to settings INI .*kvmlsets\.ini \[KVML Sample\] FrontFunc'
check sget-ini 0 "$host" settings get "KVML Sample" kdmFrontFunc && expect sget-ini '	4294967295	settings INI'
check sset-text 0 "$host" settings set "KVML Sample" OverlayDataPath 'C:\ovl\form.ovl'
check sget-text 0 "$host" settings get "KVML Sample" wdmOvlPath && expect sget-text '"C:\\ovl\\form\.ovl"'
check sset-bit 0 "$host" settings set "KVML Sample" Duplex 1
check sget-bit 0 "$host" settings get "KVML Sample" kdmSourceOptionTypeDuplex && expect sget-bit '	1	printer data "Duplex"'
check sset-range 1 "$host" settings set "KVML Sample" Tray1Paper 70000 && expect sset-range 'not a value of this item \(a number from 0 to 65535'
check sset-unstored 1 "$host" settings set "KVML Sample" dmOrientation 2 && expect sset-unstored 'not kept by the settings store'
check sget-unknown 1 "$host" settings get "KVML Sample" NoSuchKey && expect sget-unknown 'nor the key of a stored item'
check sget-printer 1 "$host" settings get "No Such" Duplex && expect sget-printer 'ERROR_INVALID_PRINTER_NAME'
check sget-again 0 "$host" settings get "KVML Sample" Tray1Paper && expect sget-again '	8	'
# commit: the document commit delivers the DEVMODE to the caller and saves the document's
# stored items; the printer commit saves the printer configuration; both list what changed.
check commit-doc 0 "$host" commit "KVML Sample" --set kdmPrnMethod=5 &&
  expect commit-doc '^delivered  DEVMODE of 1236 bytes \(dmSize 220, dmDriverExtra 1016\)$' &&
  expect commit-doc '^collate    DM_COLLATE (set|clear), dmCollate [01]$' &&
  expect commit-doc '^saved      kdmPrnMethod \(settings INI \[KVML Sample\] PrnMethod\): .* -> "5"$'
check commit-doc-again 0 "$host" commit "KVML Sample" --update && expect commit-doc-again 'DM_UPDATE\)$' &&
  expect commit-doc-again '^saved      no stored value changed$'
check commit-printer 0 "$host" commit "KVML Sample" --printer --set kdmSourceOptionTypeDuplex=0 &&
  expect commit-printer '^committed the printer settings of "KVML Sample" \(mode 3\)$' &&
  expect commit-printer '^saved      kdmSourceOptionTypeDuplex \(printer data "Duplex"\): 01 00 00 00 -> 00 00 00 00$'
check commit-printer-get 0 "$host" settings get "KVML Sample" Duplex && expect commit-printer-get '	0	printer data "Duplex"'
check commit-mode 2 "$host" commit "KVML Sample" --mode 9 && expect commit-mode 'from 0 to 4'
check commit-both 2 "$host" commit "KVML Sample" --printer --update
check commit-badset 1 "$host" commit "KVML Sample" --set kdmPrnMethod=999 && expect commit-badset 'not a value of this item'
check commit-missing 1 "$host" commit "No Such" && expect commit-missing 'ERROR_INVALID_PRINTER_NAME'
# check: the item check on the printer's settings; planted values from a settings file are
# repaired (a described scale above its range and an unknown media type take the
# description's defaults, an undescribed cycle out of range its reset value) and legal ones stay.
check check 0 "$host" check "KVML Sample" && expect check '^[0-9]+ items? changed$'
sed -e 's/^kdmSeparationSheetCycle=.*/kdmSeparationSheetCycle=150\r/' -e 's/^kdmScaleH=.*/kdmScaleH=999\r/' \
  -e 's/^kdmMediaType=.*/kdmMediaType=77\r/' -e 's/^kdmBrightness=.*/kdmBrightness=-3\r/' \
  -e 's/^kdmGammaC=.*/kdmGammaC=7\r/' "$hosttmp/a.kst" >"$hosttmp/bad.kst"
check check-planted 0 "$host" check "KVML Sample" --from "$tmpw\bad.kst" &&
  expect check-planted '^411	kdmSeparationSheetCycle	150 -> 1$' && expect check-planted '^89	kdmScaleH	999 -> 100$' &&
  expect check-planted '^54	kdmMediaType	77 -> 1 \(value 4501 IDS_MEDIATYPE_NORMAL\)$'
if grep -qE '^(138|399)	' <<<"$out"; then echo "FAIL check-planted: a legal value was changed"; echo "$out"; fails=$((fails+1)); fi
check check-reset 0 "$host" check "KVML Sample" --from "$tmpw\bad.kst" --reset &&
  expect check-reset '^399	kdmGammaC	7 \(value 7 KDMGAMMAC_7\) -> 5 ' && expect check-reset '^138	kdmBrightness	-3 -> 0$'
check itemcheck-foreign 1 "$host" check "KVML Sample" --from "$tmpw\c.kst" && expect itemcheck-foreign 'does not match this printer'
check itemcheck-missing 1 "$host" check "KVML Sample" --from "$tmpw\none.kst" && expect itemcheck-missing 'none\.kst: the file cannot be read'
check itemcheck-printer 1 "$host" check "No Such" && expect itemcheck-printer 'ERROR_INVALID_PRINTER_NAME'
# Numbers outside their items' ranges are corrected while a settings file is read (the
# scale and copies to the model's default, the preset number to none, a custom size clamped
# to the model's maximum): import lists each and writes the corrected values out again, and
# the item check of the file counts them as changed.
sed -e 's/^dmScale=.*/dmScale=65535\r/' -e 's/^kdmPresetNo=.*/kdmPresetNo=65535\r/' -e 's/^dmCopies=.*/dmCopies=5000\r/' \
  -e 's/^wdmFreeSize1Width=.*/wdmFreeSize1Width=4294967295\r/' "$hosttmp/a.kst" >"$hosttmp/range.kst"
check settings-range 0 "$host" settings import "KVML Sample" "$tmpw\range.kst" --to "$tmpw\range-out.kst" &&
  expect settings-range $'^corrected 11\tdmScale\t"65535" is out of the item.s range; 100 taken$' &&
  expect settings-range $'^corrected 12\tdmCopies\t"5000" is out of the item.s range; 1 taken$' &&
  expect settings-range $'^corrected 37\tkdmPresetNo\t"65535" is out' &&
  expect settings-range $'^corrected 1020\twdmFreeSize1Width\t"4294967295" is out of the item.s range; 10204 taken$'
for want in dmScale=100 dmCopies=1 wdmFreeSize1Width=10204; do
  grep -q "^$want"$'\r$' "$hosttmp/range-out.kst" || { echo "FAIL settings-range: $want not written out"; fails=$((fails+1)); }
done
check check-range 0 "$host" check "KVML Sample" --from "$tmpw\range.kst" &&
  expect check-range $'^11\tdmScale\t65535 -> 100$' && expect check-range $'^12\tdmCopies\t5000 -> 1$' &&
  expect check-range $'^37\tkdmPresetNo\t65535 -> -1( |$)' && expect check-range $'^1020\twdmFreeSize1Width\t4294967295 -> 10204$' &&
  expect check-range '^[1-9][0-9]* items changed$'
sed -e 's/^dmScale=.*/dmScale=0\r/' "$hosttmp/a.kst" >"$hosttmp/range0.kst"
check check-range-zero 0 "$host" check "KVML Sample" --from "$tmpw\range0.kst" && expect check-range-zero $'^11\tdmScale\t0 -> 100$'
# A file cut short (its last line without line end) is taken up to the line before the cut,
# with a warning that names the line; the cut line's value is not taken.
cutline=$(grep -n '^dmCopies=' "$hosttmp/a.kst" | cut -d: -f1)
head -c $(($(head -n $((cutline - 1)) "$hosttmp/a.kst" | wc -c) + 10)) "$hosttmp/a.kst" >"$hosttmp/cut.kst"
check settings-cut 0 "$host" settings import "KVML Sample" "$tmpw\cut.kst" &&
  expect settings-cut "^kvmlhost: warning: .*cut\.kst is cut short: its line $cutline has no line end" &&
  expect settings-cut '^imported [1-9][0-9]* settings from '
check check-cut 0 "$host" check "KVML Sample" --from "$tmpw\cut.kst" && expect check-cut "its line $cutline has no line end"
check settings-whole 0 "$host" settings import "KVML Sample" "$tmpw\a.kst"
if grep -q 'cut short\|^corrected' <<<"$out"; then echo "FAIL settings-whole: a whole file was reported"; echo "$out"; fails=$((fails+1)); fi
# bundle: the sample's default presets that machine init imported (the one that is off for
# the driver left out), tested again against the device options, imported again; a bundle
# with a missing file imports the rest and fails. The list is then emptied for the presets.
check bundle-list 0 "$host" preset list "KVML Sample" && expect bundle-list '^3 stored presets' &&
  expect bundle-list '^0	Everyday	C:\\_kvml\\KVDEF01\.ksr	writable	Two-sided, colour$' &&
  expect bundle-list '^1	Stapled sets	' && expect bundle-list '^2	Without finisher	'
check bundle-reval 0 "$host" bundle revalidate "KVML Sample" && expect bundle-reval '^kept	Everyday	' &&
  expect bundle-reval '^dropped	Without finisher	C:\\_kvml\\KVDEF04\.ksr$' && expect bundle-reval '^2 stored presets'
check bundle-nofin 0 "$host" bundle revalidate "KVML Sample" --set kdmOutputOptionTypeFin2000=0 &&
  expect bundle-nofin '^dropped	Stapled sets	' && expect bundle-nofin '^added	Without finisher	' &&
  expect bundle-nofin '^kept	Everyday	'
check bundle-import 0 "$host" bundle import "KVML Sample" && expect bundle-import '3 stored presets$'
printf '[us]\r\nNumDeficonfiles=2\r\nDeficonfiles1=KVDEF01.KSD\r\nDeficonfiles2=NOFILE.KSD\r\n' >"$hosttmp/part.ksb"
sed 's/^\[us\]/[jp]/' "$hosttmp/part.ksb" >>"$hosttmp/part.ksb"
check bundle-missing 1 "$host" bundle import "KVML Sample" "$tmpw\part.ksb" && expect bundle-missing '1 stored presets$' &&
  expect bundle-missing '^0	Everyday	' && expect bundle-missing '1 of 2 default preset files of .*part\.ksb could not be imported'
# Entries that are no default preset files (a text file, the registry's hive) become no
# preset and no copy: they are counted as failed, the rest is imported.
hivew='C:\WINDOWS\system32\config\kvreg-HKLM.txt'
hive="$dir/m/C/WINDOWS/system32/config/kvreg-HKLM.txt"
cp "$hive" "$dir/hive.before"
printf 'Dear printer,\r\nplease print this.\r\n' >"$hosttmp/notes.txt"
printf '[us]\r\nNumDeficonfiles=3\r\nDeficonfiles1=KVDEF01.KSD\r\nDeficonfiles2=%s\\notes.txt\r\nDeficonfiles3=%s\r\n' \
  "$tmpw" "$hivew" >"$hosttmp/text.ksb"
sed 's/^\[us\]/[jp]/' "$hosttmp/text.ksb" >>"$hosttmp/text.ksb"
check bundle-text 1 "$host" bundle import "KVML Sample" "$tmpw\text.ksb" && expect bundle-text '1 stored presets$' &&
  expect bundle-text '^0	Everyday	' && expect bundle-text '2 of 3 default preset files of .*text\.ksb could not be imported'
if grep -q 'NoName' <<<"$out" || [ -e "$dir/m/C/_kvml/notes.ksr" ] || [ -e "$dir/m/C/_kvml/kvreg-HKLM.ksr" ]; then
  echo "FAIL bundle-text: a file that is no preset was registered or converted"; fails=$((fails+1))
fi
cmp -s "$hive" "$dir/hive.before" || { echo "FAIL bundle-text: the hive changed"; fails=$((fails+1)); }
check bundle-no-file 1 "$host" bundle import "KVML Sample" "$tmpw\none.ksb" && expect bundle-no-file 'none\.ksb: the bundle cannot be read'
check bundle-bad-set 2 "$host" bundle revalidate "KVML Sample" --set Fin2000 && expect bundle-bad-set 'ITEM=VALUE'
check bundle-printer 1 "$host" bundle revalidate "No Such" && expect bundle-printer 'ERROR_INVALID_PRINTER_NAME'
check bundle-clear 0 "$host" preset delete "KVML Sample" Everyday
# preset: save two presets (one from an exported settings file), list them, load one and
# write it out, replace and delete; a full list and a foreign file are refused.
check preset-empty 0 "$host" preset list "KVML Sample" && expect preset-empty '^0 stored presets'
check preset-save 0 "$host" preset save "KVML Sample" Draft --comment "two up" &&
  expect preset-save '^saved preset 0 "Draft" in C:\\_kvml\\user0000\.kst'
sed 's/^dmCopies=.*/dmCopies=3\r/' "$hosttmp/a.kst" >"$hosttmp/three.kst"
check preset-save-from 0 "$host" preset save "KVML Sample" Three --from "$tmpw\three.kst" &&
  expect preset-save-from '^saved preset 1 "Three" in C:\\_kvml\\user0001\.kst'
check preset-list 0 "$host" preset list "KVML Sample" && expect preset-list '^2 stored presets' &&
  expect preset-list '^0	Draft	C:\\_kvml\\user0000\.kst	writable	two up$' && expect preset-list '^1	Three	'
check preset-load 0 "$host" preset load "KVML Sample" Three --to "$tmpw\loaded.kst" &&
  expect preset-load '^loaded preset 1 "Three": [1-9][0-9]* settings differ' && expect preset-load 'exported the settings'
grep -q $'^dmCopies=3\r$' "$hosttmp/loaded.kst" || { echo "FAIL preset-load: copies not loaded"; fails=$((fails+1)); }
check preset-replace 0 "$host" preset save "KVML Sample" Draft && expect preset-replace '^replaced preset 0 "Draft"'
check preset-missing 1 "$host" preset load "KVML Sample" Nope && expect preset-missing 'stores no preset "Nope"'
check preset-long-name 1 "$host" preset save "KVML Sample" "$(head -c 37 /dev/zero | tr '\0' n)" &&
  expect preset-long-name '1 to 36 characters'
check preset-delete 0 "$host" preset delete "KVML Sample" Draft && expect preset-delete '1 presets left'
check preset-after-delete 0 "$host" preset list "KVML Sample" && expect preset-after-delete '^0	Three	C:\\_kvml\\user0001\.kst'
[ -e "$dir/m/C/_kvml/user0000.kst" ] && { echo "FAIL preset-delete: the user file stays"; fails=$((fails+1)); }
for n in $(seq 2 16); do "$host" preset save "KVML Sample" "P$n" >/dev/null || { echo "FAIL preset-fill $n"; fails=$((fails+1)); }; done
check preset-full 1 "$host" preset save "KVML Sample" Seventeenth && expect preset-full 'already stores 16 presets'
sed -i 's/^KstMachine=.*/KstMachine=7\r/' "$dir/m/C/_kvml/user0001.kst"
check preset-foreign 1 "$host" preset load "KVML Sample" Three && expect preset-foreign 'could not be taken' &&
  expect preset-foreign 'is not a settings file of this printer'
check preset-no-file 1 "$host" preset load "KVML Sample" Three && expect preset-no-file 'has no settings file'
# A preset that names a file outside the settings folder (a host file, the registry's hive)
# or a file there that is no settings file of this printer: the save leaves the file as it
# is, gives the preset a new user file and warns.
ini="$dir/m/C/_kvml/kvmlsets.ini"
setkey() {  # setkey KEY VALUE: a key of the printer's section of the settings INI
  K=$1 V=$2 awk 'index($0, ENVIRON["K"] "=") == 1 { print ENVIRON["K"] "=" ENVIRON["V"] "\r"; next } { print }' \
    "$ini" >"$ini.new" && mv "$ini.new" "$ini"
}
presetwin() {  # presetwin NAME: the path of the file that preset NAME names
  "$host" preset list "KVML Sample" | awk -F'\t' -v n="$1" '$2 == n { print $3 }'
}
presetfile() {  # presetfile NAME: the same as a host path
  presetwin "$1" | sed 's|^C:|'"$dir/m/C"'|; s|\\|/|g'
}
printf 'outside the machine root\n' >"$dir/outside.txt"
printf 'notes\r\n' >"$dir/m/C/_kvml/notes.txt"
cp "$dir/outside.txt" "$dir/outside.before"
cp "$hive" "$dir/hive.before"
cp "$dir/m/C/_kvml/notes.txt" "$dir/notes.before"
setkey PresetList1 "Z:$(printf '%s' "$dir/outside.txt" | tr '/' '\\')"
setkey PresetList2 "$hivew"
setkey PresetList3 'C:\_kvml\notes.txt'
for c in "P2|1|lies outside the settings folder" "P3|2|lies outside the settings folder" \
  "P4|3|is not a settings file of this printer"; do
  IFS='|' read -r name index why <<<"$c"
  check "preset-unowned $name" 0 "$host" preset save "KVML Sample" "$name" &&
    expect "preset-unowned $name" "warning: preset \"$name\" named .*, which $why; that file was left as it is" &&
    expect "preset-unowned $name" "^replaced preset $index \"$name\" in C:\\\\_kvml\\\\user[0-9]{4}\\.kst\$"
done
cmp -s "$dir/outside.txt" "$dir/outside.before" || { echo "FAIL preset-unowned: the host file changed"; fails=$((fails+1)); }
cmp -s "$hive" "$dir/hive.before" || { echo "FAIL preset-unowned: the hive changed"; fails=$((fails+1)); }
cmp -s "$dir/m/C/_kvml/notes.txt" "$dir/notes.before" || { echo "FAIL preset-unowned: notes.txt changed"; fails=$((fails+1)); }
check preset-unowned-show 0 "$host" printer show "KVML Sample"
# A preset's file is emptied: a new preset never takes its name, so deleting the damaged
# preset leaves the new one its file; a preset whose file is gone then fails to load.
check preset-share-room 0 "$host" preset delete "KVML Sample" P16
damaged=$(presetfile P15)
[ -f "$damaged" ] || { echo "FAIL preset-share: no file for P15 ($damaged)"; fails=$((fails+1)); }
: >"$damaged"
check preset-share-save 0 "$host" preset save "KVML Sample" Fresh
fresh=$(presetfile Fresh)
[ -n "$fresh" ] && [ "$fresh" != "$damaged" ] || { echo "FAIL preset-share: Fresh shares $damaged"; fails=$((fails+1)); }
check preset-share-delete 0 "$host" preset delete "KVML Sample" P15
check preset-share-load 0 "$host" preset load "KVML Sample" Fresh && expect preset-share-load '^loaded preset 14 "Fresh": '
rm -f "$fresh"
check preset-gone 1 "$host" preset load "KVML Sample" Fresh && expect preset-gone 'is missing or cannot be read'
# Two entries made to name one file: deleting one keeps the file the other still names.
shared=$(presetfile P13)
setkey PresetList13 "$(presetwin P13)"
check preset-shared-delete 0 "$host" preset delete "KVML Sample" P13
[ -f "$shared" ] || { echo "FAIL preset-shared-delete: the file P14 names was deleted"; fails=$((fails+1)); }
check preset-shared-load 0 "$host" preset load "KVML Sample" P14 && expect preset-shared-load '^loaded preset 12 "P14": '
# The store's own files linked out of the machine root: a printer file, the shared settings
# INI and a user preset file that are links to files outside are replaced by regular files
# when written; the files outside stay as they were.
away="$dir/outside"
mkdir -p "$away"
check link-init 0 "$host" machine init "$dir/m3"
pfile="$dir/m3/C/WINDOWS/system32/spool/kvprinters/p0001/printer.txt"
cp "$pfile" "$away/printer.txt" && cp "$pfile" "$away/printer.orig" && ln -sf "$away/printer.txt" "$pfile"
check link-printerdata 0 env KVML_ROOT="$dir/m3" "$host" printerdata "KVML Sample" Linked dword:5
cmp -s "$away/printer.txt" "$away/printer.orig" || { echo "FAIL link-printerdata: the file outside was written"; fails=$((fails+1)); }
[ -L "$pfile" ] && { echo "FAIL link-printerdata: the printer file is still a link"; fails=$((fails+1)); }
check link-printerdata-get 0 env KVML_ROOT="$dir/m3" "$host" printerdata "KVML Sample" Linked && expect link-printerdata-get '^REG_DWORD 5 '
ini="$dir/m3/C/_kvml/kvmlsets.ini"
cp "$ini" "$away/kvmlsets.ini" && cp "$ini" "$away/kvmlsets.orig" && ln -sf "$away/kvmlsets.ini" "$ini"
check link-preset-save 0 env KVML_ROOT="$dir/m3" "$host" preset save "KVML Sample" Linked &&
  expect link-preset-save '^saved preset [0-9]+ "Linked" in C:\\_kvml\\user0000\.kst'
cmp -s "$away/kvmlsets.ini" "$away/kvmlsets.orig" || { echo "FAIL link-preset-save: the settings INI outside was written"; fails=$((fails+1)); }
[ -L "$ini" ] && { echo "FAIL link-preset-save: the settings INI is still a link"; fails=$((fails+1)); }
kst="$dir/m3/C/_kvml/user0000.kst"
cp "$kst" "$away/user0000.kst" && cp "$kst" "$away/user0000.orig" && ln -sf "$away/user0000.kst" "$kst"
check link-preset-replace 0 env KVML_ROOT="$dir/m3" "$host" preset save "KVML Sample" Linked --comment "again" &&
  expect link-preset-replace '^replaced preset [0-9]+ "Linked"'
cmp -s "$away/user0000.kst" "$away/user0000.orig" || { echo "FAIL link-preset-replace: the preset file outside was written"; fails=$((fails+1)); }
[ -L "$kst" ] && { echo "FAIL link-preset-replace: the preset file is still a link"; fails=$((fails+1)); }
check link-preset-list 0 env KVML_ROOT="$dir/m3" "$host" preset list "KVML Sample" && expect link-preset-list '	Linked	C:\\_kvml\\user0000\.kst	writable	again$'
# freesize: the package's defaults until a size is saved; save, list and delete a slot.
check freesize-defaults 0 "$host" freesize list "KVML Sample" && expect freesize-defaults "driver package's defaults" &&
  expect freesize-defaults '^0	384	User size 1	4724 x 6992	100\.0 x 148\.0	4	1$' &&
  expect freesize-defaults '^9	393	User size 10	9921 x 14031	'
check freesize-save 0 "$host" freesize save "KVML Sample" 3 "Photo 4x6" 101.6 152.4 --tray 2 --orientation 2 &&
  expect freesize-save 'saved custom size 3 \(paper 387\) "Photo 4x6": 4800 x 7200 dots'
check freesize-list 0 "$host" freesize list "KVML Sample" && expect freesize-list '^3	387	Photo 4x6	4800 x 7200	101\.6 x 152\.4	2	2$' &&
  expect freesize-list '^0	384	User size 1	' && ! grep -q defaults <<<"$out" || { echo "FAIL freesize-list: still defaults"; fails=$((fails+1)); }
check freesize-delete 0 "$host" freesize delete "KVML Sample" 3
check freesize-deleted 0 "$host" freesize list "KVML Sample" && expect freesize-deleted '^3	387	\(unnamed\)	0 x 0	'
check freesize-bad-size 2 "$host" freesize save "KVML Sample" 1 x 0.5 100
check freesize-bad-slot 2 "$host" freesize delete "KVML Sample" 10
# Items by field name (any case) and by description name, beside IDs, in one call.
check item-names 0 "$host" item "KVML Sample" dmorientation KPD_RADIOLIST_1 dmColor &&
  expect item-names '^7	dmOrientation	raw=' && expect item-names '^15	dmColor	raw=' &&
  [ "$(grep -c '^7	dmOrientation' <<<"$out")" = 2 ] || { echo "FAIL item-names: dmOrientation not shown twice"; echo "$out"; fails=$((fails+1)); }
check item-name-unknown 1 "$host" item "KVML Sample" dmNoSuchField KPD_NO_SUCH 7 &&
  expect item-name-unknown 'not an item ID or name: dmNoSuchField' && expect item-name-unknown 'KPD_NO_SUCH' &&
  expect item-name-unknown '^7	dmOrientation'
check item-printer 1 "$host" item "No Such" 7 && expect item-printer 'ERROR_INVALID_PRINTER_NAME'
# allowed: the PJL variables' available values. The sample printer's hard disk is not
# installed in a fresh context, so COLLATE offers "OFF" (sorting off) and refuses "SORT".
check allowed 0 "$host" allowed "KVML Sample" &&
  expect allowed '^COLLATE	item 119 kdmSortType	allowed OFF=0	refused SORT=1$' &&
  [ "$(wc -l <<<"$out")" = 1 ] || { echo "FAIL allowed: one variable with a name expected"; echo "$out"; fails=$((fails+1)); }
check allowed-one 0 "$host" allowed "KVML Sample" COLLATE && expect allowed-one '^COLLATE	item 119 '
check allowed-case 1 "$host" allowed "KVML Sample" collate && expect allowed-case 'no PJL variable "collate" .*the table has: COLLATE'
check allowed-printer 1 "$host" allowed "No Such" && expect allowed-printer 'ERROR_INVALID_PRINTER_NAME'
check item-usage 2 "$host" item "KVML Sample"
# The printer's DEVMODE: public fields, the private header with its checks, every private
# item (35-625) one line each, and with --hex a dump of 1236 bytes (78 lines of 16).
check devmode 0 "$host" devmode "KVML Sample" && expect devmode '^DEVMODE of printer "KVML Sample": ' &&
  expect devmode '^68	4	dmSize	' && expect devmode '^220	model tag	"TV00"$' &&
  expect devmode '^349	signature	"priv" \(0x76697270\)$' && expect devmode '^361	block offsets	0 1236 2256$' &&
  expect devmode '^checks: current format yes, same model yes, same model and size yes$' &&
  expect devmode '^72	6	dmFields	32515$' && expect devmode '^102	20	dmFormName	"A4"$' &&
  expect devmode '^368	35	kdmMachineID	192$' && expect devmode '^1219	609	KPD_kdmCallSrc	[0-9]+$' &&
  [ "$(sed -n '/^private items:$/,$p' <<<"$out" | grep -c '^[0-9]')" = 591 ] ||
  { echo "FAIL devmode: not 591 private items"; fails=$((fails+1)); }
check devmode-hex 0 "$host" devmode --hex "KVML Sample" && expect devmode-hex '^04D0  00 00 01 00$' &&
  [ "$(sed -n '/^hex:$/,$p' <<<"$out" | grep -c '^[0-9A-F]\{4\}  ')" = 78 ] ||
  { echo "FAIL devmode-hex: not 78 dump lines"; fails=$((fails+1)); }
check devmode-printer 1 "$host" devmode "No Such" && expect devmode-printer 'ERROR_INVALID_PRINTER_NAME'
check devmode-usage 2 "$host" devmode
check devmode-option 2 "$host" devmode "KVML Sample" --bytes
# merge: the printer's own DEVMODE (from the dump of devmode --hex) with two copies asked for.
if check merge-source 0 "$host" devmode --hex "KVML Sample"; then
  for b in $(sed -n '/^hex:$/,$p' <<<"$out" | grep '^[0-9A-F]\{4\}  ' | cut -c7-); do printf "\\x$b"; done >"$dir/dm.bin"
  # dmCopies is the word at offset 86.
  printf '\x02' | dd of="$dir/dm.bin" bs=1 seek=86 conv=notrunc status=none
  check merge 0 "$host" merge "KVML Sample" "$dir/dm.bin" && expect merge '^12	dmCopies	1 -> 2$' &&
    expect merge '^merged with flags 0x04000008: [0-9]+ items? changed$'
  check merge-noflags 0 "$host" merge "KVML Sample" "$dir/dm.bin" --flags 0x2 &&
    expect merge-noflags '^merged with flags 0x00000002: 0 items changed$'
  head -c 300 "$dir/dm.bin" >"$dir/dm-lying.bin"
  check merge-lying 1 "$host" merge "KVML Sample" "$dir/dm-lying.bin" && expect merge-lying 'claims 1236 bytes, the file holds 300'
  head -c 10 "$dir/dm.bin" >"$dir/dm-short.bin"
  check merge-short 1 "$host" merge "KVML Sample" "$dir/dm-short.bin" && expect merge-short 'too short'
fi
check merge-flags 2 "$host" merge "KVML Sample" "$dir/dm.bin" --flags 12x
check merge-usage 2 "$host" merge "KVML Sample"
check merge-printer 1 "$host" merge "No Such" "$dir/dm.bin" && expect merge-printer 'ERROR_INVALID_PRINTER_NAME'
# defaults: the printer's default settings changed as its printing preferences change them;
# the spooler keeps the delivered DEVMODE for all users (level 8) or for one user (level 9).
printers="$dir/m/C/WINDOWS/system32/spool/kvprinters"
dmhex() { "$host" devmode --hex "KVML Sample" | sed -n '/^hex:$/,$p'; }
check defaults-none 0 "$host" defaults "KVML Sample" && expect defaults-none '^for all users +none$' &&
  expect defaults-none '^of user kvuser +none$'
check sset-devmode 1 "$host" settings set "KVML Sample" dmOrientation 2 &&
  expect sset-devmode 'travels in the DEVMODE.*kvmlhost defaults "KVML Sample" --set dmOrientation=2'
check defaults-landscape 0 "$host" defaults "KVML Sample" --set dmOrientation=2 &&
  expect defaults-landscape '^defaults of printer "KVML Sample" for all users \(PRINTER_INFO_8\), starting from the driver.s defaults$' &&
  expect defaults-landscape '^set        dmOrientation = 2 \(IDS_ORIENTATION_LANDSCAPE\)$' &&
  expect defaults-landscape '^changed    7	dmOrientation	1 -> 2$' &&
  expect defaults-landscape '^changed    9	dmPaperLength	2970 -> 2100$' &&
  expect defaults-landscape '^stored     the delivered DEVMODE \(1236 bytes\) as the default for all users \(PRINTER_INFO_8\): [0-9]+ items changed$'
# Each later process starts from it: the DEVMODE shown, an item, a context of any load kind,
# and the capabilities, which still see the printer's configuration.
check defaults-devmode 0 "$host" devmode "KVML Sample" &&
  expect defaults-devmode '^DEVMODE of printer "KVML Sample": the printer.s stored default for all users, 1236 bytes$' &&
  expect defaults-devmode '^76	7	dmOrientation	2$'
check defaults-item 0 "$host" item "KVML Sample" dmOrientation kdmPrinterMemory && expect defaults-item '^7	dmOrientation	raw=2	' &&
  expect defaults-item '^10012	kdmPrinterMemory	raw=160	'
for kind in 0 1 2 3; do
  check "defaults-kind$kind" 0 "$host" devmode "KVML Sample" --kind $kind &&
    expect "defaults-kind$kind" "^DEVMODE of printer \"KVML Sample\": load kind $kind, .*; stored default: the one for all users; 1236 bytes\$" &&
    expect "defaults-kind$kind" '^76	7	dmOrientation	2$'
done
check defaults-caps 0 "$host" caps "KVML Sample" papers && expect defaults-caps '^papers \(18\): ' &&
  expect defaults-caps '^  256 +Custom paper size '
check defaults-shown 0 "$host" defaults "KVML Sample" && expect defaults-shown '^for all users +stored, 1236 bytes \(dmSize 220, dmDriverExtra 1016\)$'
# A user's own default starts from the one for all users and stands before it; the one for
# all users changed later stays behind it until --reset removes the user's own.
check defaults-user 0 "$host" defaults "KVML Sample" --user --set dmCopies=3 &&
  expect defaults-user 'of user kvuser \(PRINTER_INFO_9\), starting from the stored default for all users$' &&
  expect defaults-user '^changed    12	dmCopies	1 -> 3$'
check defaults-global-copies 0 "$host" defaults "KVML Sample" --set dmCopies=5 --set dmScale=90 &&
  expect defaults-global-copies '^changed    12	dmCopies	1 -> 5$' && expect defaults-global-copies '^changed    11	dmScale	100 -> 90$'
check defaults-shadow 0 "$host" devmode "KVML Sample" && expect defaults-shadow 'the user.s own stored default' &&
  expect defaults-shadow '^86	12	dmCopies	3$' && expect defaults-shadow '^76	7	dmOrientation	2$' &&
  expect defaults-shadow '^84	11	dmScale	100$'
check defaults-shadow-item 0 "$host" item "KVML Sample" dmCopies && expect defaults-shadow-item '^12	dmCopies	raw=3	'
check defaults-user-reset 0 "$host" defaults "KVML Sample" --user --reset &&
  expect defaults-user-reset '^removed the stored default of user kvuser \(PRINTER_INFO_9\)$'
check defaults-after-reset 0 "$host" devmode "KVML Sample" && expect defaults-after-reset 'stored default for all users' &&
  expect defaults-after-reset '^86	12	dmCopies	5$' && expect defaults-after-reset '^84	11	dmScale	90$'
check defaults-user-reset-again 0 "$host" defaults "KVML Sample" --user --reset &&
  expect defaults-user-reset-again '^no stored default of user kvuser \(PRINTER_INFO_9\) to remove$'
# Refused changes: a value the rules hide (tray 3 while the paper unit is not installed), one
# whose alert refuses it, one the description does not offer, and items the sheet does not
# change. Each exits 1 with the reason and stores nothing.
check defaults-no-unit 0 "$host" settings set "KVML Sample" 1Step 0
before=$(dmhex); file=$(cat "$printers"/*/printer.txt)
refusals=(
  "hidden|dmDefaultSource=IDS_PAPERSOURCE_TRAY3|cannot set dmDefaultSource to 2 \(IDS_PAPERSOURCE_TRAY3\): the printer's rules hide this value"
  "alert|dmCopies=1000|cannot set dmCopies to 1000: The number of copies must be from 1 to 999\.$"
  "not-offered|dmOrientation=3|cannot set dmOrientation to 3: the printer's description does not offer this value$"
  "after-good|dmCopies=2|dmCopies=0|cannot set dmCopies to 0: The number of copies"
  "config|kdmSourceOptionTypeDuplex=0|not part of the DEVMODE \(a printer configuration item"
  "header|dmSize=100|cannot set dmSize: the driver writes it$"
  "unknown|NoSuchItem=1|not an item ID or name: NoSuchItem"
  "range|dmCopies=70000|not a value of this item"
)
for row in "${refusals[@]}"; do
  IFS='|' read -r -a f <<<"$row"
  sets=()
  for ((i = 1; i < ${#f[@]} - 1; i++)); do sets+=(--set "${f[i]}"); done
  check "defaults-refused-${f[0]}" 1 "$host" defaults "KVML Sample" "${sets[@]}" &&
    expect "defaults-refused-${f[0]}" "^kvmlhost: .*${f[${#f[@]} - 1]}"
  [ "$(dmhex)" = "$before" ] && [ "$(cat "$printers"/*/printer.txt)" = "$file" ] ||
    { echo "FAIL defaults-refused-${f[0]}: the stored default changed"; fails=$((fails+1)); }
done
check defaults-unit 0 "$host" settings set "KVML Sample" 1Step 1
check defaults-tray3 0 "$host" defaults "KVML Sample" --set dmDefaultSource=IDS_PAPERSOURCE_TRAY3 &&
  expect defaults-tray3 '^changed    13	dmDefaultSource	7 -> 2$'
# The defaults for all users are the administrator's; a user may change only their own.
check defaults-nonadmin 1 env KVML_ADMIN=0 "$host" defaults "KVML Sample" --set dmCopies=2 &&
  expect defaults-nonadmin 'ERROR_ACCESS_DENIED.*the defaults for all users need administrative rights'
check defaults-nonadmin-user 0 env KVML_ADMIN=0 "$host" defaults "KVML Sample" --user --set dmCopies=2 &&
  expect defaults-nonadmin-user '^changed    12	dmCopies	5 -> 2$'
check defaults-nonadmin-reset 0 env KVML_ADMIN=0 "$host" defaults "KVML Sample" --user --reset
# What an application keeps: the DEVMODE a commit delivers, merged back, changes nothing.
check commit-out 0 "$host" commit "KVML Sample" --out "$dir/kept.bin" && expect commit-out "^written    1236 bytes to $dir/kept\.bin\$"
[ "$(stat -c %s "$dir/kept.bin" 2>/dev/null)" = 1236 ] || { echo "FAIL commit-out: not 1236 bytes"; fails=$((fails+1)); }
check merge-kept 0 "$host" merge "KVML Sample" "$dir/kept.bin" && expect merge-kept '^merged with flags 0x04000008: 0 items changed$'
check commit-out-printer 2 "$host" commit "KVML Sample" --printer --out "$dir/x.bin" && expect commit-out-printer '--out .* goes with the document'
check commit-out-dir 1 "$host" commit "KVML Sample" --out "$dir/no dir/x.bin" && expect commit-out-dir 'cannot write .*ERROR_PATH_NOT_FOUND'
# Back to the driver's defaults for the checks below.
check defaults-reset 0 "$host" defaults "KVML Sample" --reset && expect defaults-reset '^removed the stored default for all users \(PRINTER_INFO_8\)$'
check defaults-reset-set 0 "$host" defaults "KVML Sample" --reset --set dmCopies=1 &&
  expect defaults-reset-set '^no stored default for all users \(PRINTER_INFO_8\) to remove$' &&
  expect defaults-reset-set "starting from the driver's defaults$"
check defaults-reset-last 0 "$host" defaults "KVML Sample" --reset
check defaults-gone 0 "$host" devmode "KVML Sample" && expect defaults-gone 'the printer has no stored default' &&
  expect defaults-gone '^76	7	dmOrientation	1$'
check defaults-printer 1 "$host" defaults "No Such" && expect defaults-printer 'ERROR_INVALID_PRINTER_NAME'
check devmode-kind-bad 2 "$host" devmode "KVML Sample" --kind 4 && expect devmode-kind-bad 'from 0 to 3'
# A cache file damaged in place (and tied to the text by its time) is compiled over.
head -c 9000 /dev/urandom >"$hostdrv/KVSAMPLE.BCS"
touch -r "$hostdrv/KVSAMPLE.KVD" "$hostdrv/KVSAMPLE.BCS"
check item-damaged-cache 0 "$host" item "KVML Sample" 7 && expect item-damaged-cache '^7	dmOrientation'
check item-cache-rewritten 0 "$host" compile --check "$drv\KVSAMPLE.BCS" && expect item-cache-rewritten "OK, $blob bytes"
check unknown 2 "$host" frobnicate && expect unknown "unknown command"
check no-root 1 env -u KVML_ROOT "$host" printer list && expect no-root 'no machine root'
check root-missing 1 env -u KVML_ROOT "$host" --root "$dir/none" printer list && expect root-missing "machine root $dir/none: no such folder"

# --root before or after the command, and as --root=DIR.
for form in before after equals; do
  case $form in
    before) cmd=("$host" --root "$dir/m" printer list) ;;
    after) cmd=("$host" printer list --root "$dir/m") ;;
    equals) cmd=("$host" printer --root="$dir/m" list) ;;
  esac
  check "root-$form" 0 env -u KVML_ROOT "${cmd[@]}" && expect "root-$form" '^KVML Sample	'
done

# compile on host files, with no machine root and no environment: a private root that is
# removed at exit; names with blanks and non-ASCII letters; relative and absolute paths.
unset KVML_ROOT
work="$dir/host files/Drucker für Büro"
mkdir -p "$work" "$dir/tmp"
cp "$(dirname "$0")/../../samples/KVSAMPLE.KVD" "$work/Muster Ä.KVD"
export TMPDIR="$dir/tmp"
check host-compile 0 "$host" compile "$work/Muster Ä.KVD" &&
  expect host-compile "^description +$work/Muster Ä\.KVD$" && expect host-compile '^rejected lines +0 errors' &&
  expect host-compile "^cache file +$work/Muster Ä\.BCS written$"
[ -f "$work/Muster Ä.BCS" ] || { echo "FAIL host-compile: no cache file beside the description"; fails=$((fails+1)); }
[ -z "$(ls -A "$dir/tmp")" ] || { echo "FAIL host-compile: private root left behind: $(ls "$dir/tmp")"; fails=$((fails+1)); }
check host-check 0 "$host" compile --check "$work/Muster Ä.BCS" && expect host-check 'Muster Ä\.BCS: OK, [0-9]+ bytes, FileVersion 1\.41'
# Relative paths are shown as given; rejected lines make the exit status 1, warnings alone 0.
printf '*FileVersion: 1.41\n*Bogus: 1\n*OpenUI *KPD_RADIOLIST_1: PickOne\n*KPD_RADIOLIST_1 IDS_ORIENTATION_PORTRAIT: "x"\n*CloseUI: *KPD_RADIOLIST_1\n' >"$work/two errors.kvd"
printf '*FileVersion: 1.41\n*DeviceFonts: Nothing\n*OpenUI *KPD_RADIOLIST_1: PickOne\n*KPD_RADIOLIST_1 IDS_ORIENTATION_PORTRAIT: "x"\n*CloseUI: *KPD_RADIOLIST_1\n' >"$work/warns.kvd"
rel="host files/Drucker für Büro"
check host-rejected 1 bash -c 'cd "$1" && "$2" compile "$3/two errors.kvd"' - "$dir" "$host" "$rel" &&
  expect host-rejected "^$rel/two errors\.kvd:2: " && expect host-rejected '^rejected lines +1 errors'
check host-warning 0 bash -c 'cd "$1" && "$2" compile "./$3/warns.kvd"' - "$dir" "$host" "$rel" &&
  expect host-warning "^$rel/warns\.kvd:2: .*IDList" && expect host-warning '^rejected lines +0 errors, 1 warnings'
# --quiet: only the file:line: message lines, and the same exit status.
check quiet-rejected 1 "$host" compile --quiet "$work/two errors.kvd" &&
  [ "$out" = "$work/two errors.kvd:2: $(sed -n 's/^.*two errors\.kvd:2: //p' <<<"$out")" ] ||
  { echo "FAIL quiet-rejected: more than the rejected line"; echo "$out"; fails=$((fails+1)); }
check quiet-clean 0 "$host" compile "$work/Muster Ä.KVD" --quiet && [ -z "$out" ] ||
  { echo "FAIL quiet-clean: output for a clean description"; echo "$out"; fails=$((fails+1)); }
# Files that cannot be read or named: the file, the reason in words and the error's name.
check host-missing 1 "$host" compile "$work/none.kvd" && expect host-missing "cannot read $work/none\.kvd: the system cannot find the file specified \(ERROR_FILE_NOT_FOUND, error 2\)"
check host-missing-dir 1 "$host" compile "$dir/no dir/x.kvd" && expect host-missing-dir 'ERROR_PATH_NOT_FOUND'
check host-bad-name 1 "$host" compile "$dir/a\\b.kvd" && expect host-bad-name 'a name in it cannot be part of a Windows path: .*ERROR_INVALID_NAME'
check host-long 1 "$host" compile "$dir/$(printf 'x%.0s' {1..300}).kvd" && expect host-long 'longer than a Windows path can be .*ERROR_FILENAME_EXCED_RANGE'
cp "$work/warns.kvd" "$work/-dash.kvd"
check host-dash 0 "$host" compile --quiet -- "$work/-dash.kvd"
check host-printer-no-root 1 "$host" compile --printer "KVML Sample" && expect host-printer-no-root 'no machine root'
check host-root-missing 1 "$host" compile "$work/warns.kvd" --root "$dir/none" &&
  [ "$out" = "kvmlhost: machine root $dir/none: no such folder (kvmlhost machine init DIR makes one)" ] ||
  { echo "FAIL host-root-missing: wanted the one reason"; echo "$out"; fails=$((fails+1)); }
[ -z "$(ls -A "$dir/tmp")" ] || { echo "FAIL host files: private roots left behind"; fails=$((fails+1)); }

# Help, version and usage errors: help on standard output with status 0; a usage error
# gives the command's usage line and status 2.
check help 0 "$host" help && expect help '^usage: kvmlhost ' && expect help '^  compile ' && expect help '--root DIR'
check help-flag 0 "$host" --help && expect help-flag '^  item PRINTER ID\|NAME\.\.\.'
for c in machine printer printerdata compile item allowed caps settings check preset freesize bundle report defaults devmode commit merge help; do
  check "help-$c" 0 "$host" help "$c" && expect "help-$c" "^usage: kvmlhost $c"
  check "help-flag-$c" 0 "$host" "$c" --help && expect "help-flag-$c" "^usage: kvmlhost $c"
done
check help-h 0 "$host" -h compile && expect help-h 'Exit status: 0 no error reported'
check help-unknown 2 "$host" help frobnicate && expect help-unknown "unknown command 'frobnicate'" && expect help-unknown '^usage: kvmlhost help'
check version 0 "$host" --version && expect version '^kvmlhost: KVML driver 1\.41 ' && expect version 'FileVersion 1\.41$'
check no-command 2 "$host" && expect no-command '^usage: kvmlhost '
check root-no-dir 2 "$host" printer list --root && expect root-no-dir '--root needs a folder'
usage_cases=(
  "compile-two|compile|$work/warns.kvd|$work/warns.kvd"
  "compile-mixed|compile|--printer|KVML Sample|$work/warns.kvd"
  "compile-option|compile|--frob|$work/warns.kvd"
  "compile-no-value|compile|--check"
  "compile-flag-value|compile|--quiet=yes|$work/warns.kvd"
  "printer-bad|printer|frob"
  "printer-option|printer|list|--long"
  "printerdata-none|printerdata"
  "item-none|item"
  "allowed-none|allowed"
  "allowed-extra|allowed|KVML Sample|COLLATE|x"
  "check-none|check"
  "check-two|check|KVML Sample|other"
  "check-option|check|KVML Sample|--frob"
  "settings-none|settings|export|KVML Sample"
  "settings-action|settings|frob|KVML Sample|x.kst"
  "settings-get-extra|settings|get|KVML Sample|Duplex|1"
  "settings-set-short|settings|set|KVML Sample|Duplex"
  "machine-bad|machine|frob"
  "report-extra|report|x"
  "preset-none|preset"
  "bundle-none|bundle"
  "bundle-action|bundle|frob|KVML Sample"
  "bundle-extra|bundle|revalidate|KVML Sample|x"
  "preset-action|preset|frob|KVML Sample"
  "preset-no-name|preset|save|KVML Sample"
  "preset-to-save|preset|save|KVML Sample|x|--to|y.kst"
  "freesize-action|freesize|frob|KVML Sample"
  "freesize-tray-list|freesize|list|KVML Sample|--tray|2"
  "defaults-none|defaults"
  "defaults-two|defaults|KVML Sample|other"
  "defaults-set-form|defaults|KVML Sample|--set|dmCopies"
  "defaults-option|defaults|KVML Sample|--all"
)
for row in "${usage_cases[@]}"; do
  IFS='|' read -r -a f <<<"$row"
  check "usage-${f[0]}" 2 "$host" "${f[@]:1}" && expect "usage-${f[0]}" "^usage: kvmlhost ${f[1]}( |$)"
done

if [ "$fails" -eq 0 ]; then echo "host commands: all checks passed"; exit 0; fi
echo "host commands: $fails checks failed"; exit 1

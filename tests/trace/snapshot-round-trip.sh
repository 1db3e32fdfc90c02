#!/usr/bin/env bash
# trace_snapshot.exe under Wine, twice around a small known change, compared
# by trace_report. Runs inside run-in-wine.sh:
#
#   run-in-wine.sh snapshot-round-trip.sh BUILD_DIR TRACE_REPORT RULES OUT_DIR
#
# BUILD_DIR holds trace_snapshot.exe and trace_fixture.exe; TRACE_REPORT
# is the report program built for this machine; RULES explains the change;
# OUT_DIR receives the snapshots and reports. Passes when:
# - ControlSet001, made a link to CurrentControlSet as on Windows, is recorded
#   as one link entry and nothing below it is (the tree is not taken twice);
# - a key nobody may read is recorded as unreadable, with the error;
# - a key's security descriptor is recorded as SDDL, and a DACL changed on a
#   key that stays is a trace;
# - with no rules, the report names exactly the change as traces (exit 1);
# - with RULES, every difference is explained (exit 0) and none is left over.
set -u

build=$1
report=$2
rules=$3
out=$4
wine=$USBINST_WINE_LOADER
export WINEDEBUG=-all

step() { echo "== $*"; }
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
snapshot() { "$wine" "$build/trace_snapshot.exe" "Z:$out/$1" || fail "trace_snapshot $1"; }

mkdir -p "$out"
rm -f "$out"/*.txt "$out"/*.html
"$USBINST_WINESERVER" -p 2>/dev/null

step "ControlSet001 as a link to CurrentControlSet, and a key nobody may read"
"$wine" "$build/trace_fixture.exe" link 'SYSTEM\ControlSet001' \
  '\Registry\Machine\System\CurrentControlSet' || fail "trace_fixture link"
"$wine" "$build/trace_fixture.exe" lock 'SOFTWARE\Wine\TraceLocked' || fail "trace_fixture lock"
# A key that stays, protected as Windows protects its device keys: full
# control for SYSTEM, read and WRITE_DAC for Administrators.
"$wine" "$build/trace_fixture.exe" dacl 'SOFTWARE\Wine\TraceGranted' \
  'D:(A;CI;KA;;;SY)(A;CI;0x60019;;;BA)' || fail "trace_fixture dacl"

step "snapshot before"
snapshot before.txt
link=$(printf 'L\tHKLM\\SYSTEM\\ControlSet001\t\\Registry\\Machine\\System\\CurrentControlSet')
grep -qxF "$link" "$out/before.txt" || fail "ControlSet001 is not recorded as a link"
if grep -q "HKLM\\\\SYSTEM\\\\ControlSet001[\\\\|]" "$out/before.txt"; then
  fail "the snapshot followed the ControlSet001 link"
fi
grep -q "^K	HKLM\\\\SYSTEM\\\\CurrentControlSet\\\\Services	" "$out/before.txt" ||
  fail "CurrentControlSet is not in the snapshot"
grep -qxF "$(printf 'K\tHKLM\\SOFTWARE\\Wine\\TraceLocked\tunreadable 5')" "$out/before.txt" ||
  fail "the locked key is not recorded as unreadable"
grep -q "$(printf '^K\tHKLM\\\\SOFTWARE\\\\Wine\\\\TraceGranted\tsddl .*D:(A;CI;[^;]*;;;SY)(A;CI;[^;]*;;;BA)')" \
  "$out/before.txt" || fail "the key's DACL is not recorded as SDDL"
if grep -q 'TraceLocked|' "$out/before.txt"; then fail "the locked key's value was read"; fi

step "the change: a settings value, a service key through CurrentControlSet, an INF file, a DACL"
# Full control for Administrators added to the DACL, as the removal's grant does.
"$wine" "$build/trace_fixture.exe" dacl 'SOFTWARE\Wine\TraceGranted' \
  'D:(A;CI;KA;;;SY)(A;CI;0x60019;;;BA)(A;;KA;;;BA)' || fail "trace_fixture dacl"
"$wine" reg add 'HKLM\SOFTWARE\ORVEX\ORVEX 3G GSM USB Driver 6' /v InstallFlag /t REG_DWORD \
  /d 1 /f >/dev/null || fail "reg add InstallFlag"
"$wine" reg add 'HKLM\SYSTEM\CurrentControlSet\Services\TraceProbe' /v Start /t REG_DWORD \
  /d 3 /f >/dev/null || fail "reg add TraceProbe"
# A value name longer than any key name (300 characters) and data far larger
# than the first read buffer (12,000 bytes).
long_name=Long$(printf 'x%.0s' $(seq 296))
long_data=$(printf '0123456789abcdef%.0s' $(seq 1500))
"$wine" reg add 'HKLM\SOFTWARE\ORVEX\ORVEX 3G GSM USB Driver 6' /v "$long_name" /t REG_BINARY \
  /d "$long_data" /f >/dev/null || fail "reg add the long value"
# A name outside ASCII: code page 1250 makes it byte F3 in the snapshot.
printf '[Version]\r\nSignature="$Windows NT$"\r\n' >"$WINEPREFIX/drive_c/windows/inf/próba.inf"

step "snapshot after"
snapshot after.txt

step "report without rules: the change is left as traces"
: >"$out/no-rules.txt"
"$report" --before "$out/before.txt" --after "$out/after.txt" --rules "$out/no-rules.txt" \
  --title "trace_snapshot under Wine, no rules" --text "$out/no-rules-report.txt" \
  2>"$out/traces.txt"
status=$?
cat "$out/traces.txt"
[ $status = 1 ] || fail "trace_report exited $status, not 1"
expected='trace: added file C:\windows\inf\pr%F3ba.inf
trace: added key HKLM\SOFTWARE\ORVEX
trace: added key HKLM\SOFTWARE\ORVEX\ORVEX 3G GSM USB Driver 6
trace: added value HKLM\SOFTWARE\ORVEX\ORVEX 3G GSM USB Driver 6|InstallFlag
trace: added value HKLM\SOFTWARE\ORVEX\ORVEX 3G GSM USB Driver 6|'"$long_name"'
trace: changed key HKLM\SOFTWARE\Wine\TraceGranted
trace: added key HKLM\SYSTEM\CurrentControlSet\Services\TraceProbe
trace: added value HKLM\SYSTEM\CurrentControlSet\Services\TraceProbe|Start'
# Wine's service manager counts its own starts in ServiceCurrent; when it
# starts again between the snapshots (on a busy machine), that shows too. It
# is Wine's, as the round trips' rules (tests/trace/rules/common.txt) say.
service_current='HKLM\SYSTEM\CurrentControlSet\Control\ServiceCurrent|'
wine_service_start=false
grep -qxF "trace: changed value $service_current" "$out/traces.txt" && wine_service_start=true
[ "$(grep -vxF "trace: changed value $service_current" "$out/traces.txt")" = "$expected" ] ||
  fail "the traces are not exactly the change"
[ "$(grep -A1 -F '|InstallFlag' "$out/no-rules-report.txt" | tail -1)" = \
  '      after:  REG_DWORD 0x00000001' ] || fail "the value's data is missing"
long_line=$(printf 'V\tHKLM\\SOFTWARE\\ORVEX\\ORVEX 3G GSM USB Driver 6|%s\tREG_BINARY hex:%s' \
  "$long_name" "$long_data")
grep -qxF "$long_line" "$out/after.txt" || fail "the long value is not recorded whole"

step "report with the rules: everything explained"
cp "$rules" "$out/rules.txt"
if $wine_service_start; then
  echo "wine \"$service_current\" Wine's service manager counts its starts here" >>"$out/rules.txt"
fi
"$report" --before "$out/before.txt" --after "$out/after.txt" --rules "$out/rules.txt" \
  --title "trace_snapshot under Wine" --text "$out/report.txt" --html "$out/report.html" ||
  fail "trace_report with the rules did not pass"
grep -q 'Rules that explained nothing$' "$out/report.txt" || fail "no rule section"
[ "$(sed -n '/Rules that explained nothing$/,$p' "$out/report.txt" | wc -l)" = 1 ] ||
  fail "a rule explained nothing"
echo "snapshot round trip passed"

#!/usr/bin/env bash
# Installation and removal of the real usbinst.exe under Wine on a machine made
# to look like a customer's PC, with a snapshot of the registry and the Windows
# folders before and after: the round trip must leave the machine as it was,
# and nothing of the other makers' devices may go. Runs inside run-in-wine.sh:
#
#   run-in-wine.sh --gui trace-round-trip.sh BUILD_DIR CD_DIR OUT_DIR VERSION SCENARIO...
#
# BUILD_DIR holds usbinst.exe and the tools (phone_simulator, dialog_driver,
# answer_dialogs, customer_machine, trace_snapshot); CD_DIR is the driver CD
# (Setup\ and Drivers\ beside it); a CD whose Drivers folder holds catalogs
# (*.cat, the signed variant of the build tree's cd-signed) adds the catalog
# folder of CatRoot to the snapshots and the rules of signed.txt. VERSION is
# the Windows version Wine presents:
#   win95 win98 winme nt40 win2k winxp-sp1 winxp-sp3 win7, and win7-x64 and
#   win10-x64 (Windows 7, or Wine's "win10" for the whole prefix as
#   `winecfg /v win10` sets it, in a 64-bit prefix, for the handover
#   scenarios). In a 64-bit prefix the
#   calling installer, a 32-bit program, keeps its settings key in the 32-bit
#   view of the registry (SOFTWARE\Wow6432Node), where the program looks for it.
# Scenarios, each in OUT_DIR/VERSION-SCENARIO (log.txt, shown.txt, the snapshots,
# report.txt, report.html, screenshots):
#   full           /i, the driver-signing notice (2000/XP), the phone plugged in
#                  function by function, unplugged, Next; then a removal run
#                  (NT 4 has no USB: the phone is never seen, the user cancels)
#   no-switch      the same without a switch, ending with Finish; then /r
#   cancel         Cancel while the wizard waits; then /r
#   second         a second installation run while the wizard waits (brings it to
#                  the front and ends), Cancel; then /r
#   remove-during  /r while the wizard is open (it closes the wizard); then /r
#   remove-foreign /r while the wizard is open behind another program's window
#                  of the same title whose thread takes no messages
#                  (removal_footprint.exe foreign-window): the run closes the
#                  wizard, ends before that window takes messages again, and
#                  never sends it WM_CLOSE; then /r
#   reinstall      full installation, then a second one over it, whose own removal
#                  must clean the first (a snapshot between the two installed
#                  states shows one copy of each file and one set of devices); /r
#   own-ports      the full round trip on a PC with serial ports of its own, COM1
#                  to COM4, so that the phone's ports are COM5 to COM7 (the machine
#                  is prepared so for every scenario given with it); their
#                  "Ports" values are the phone's own and must go
#   handover       (win7-x64, x86 build) the full round trip started with the
#                  32-bit usbinst.exe, which hands each run to usbinst64.exe
#   handover-missing  (win7-x64, x86 build) the CD lacks usbinst64.exe: the
#                  32-bit program says so, sets InstallFlag to 0 and does
#                  nothing else
#   preview        the full installation, then the removal preview of the live
#                  machine (usbinst_preview.exe --live, beside usbinst.exe in
#                  BUILD_DIR) between two snapshots that must be equal (the
#                  live machine is only read), then the removal run and a
#                  snapshot: the real difference must equal the predicted one
#                  entry by entry (changes_check, named by USBINST_CHANGES_CHECK),
#                  except what tests/trace/rules/preview.txt names as Wine's;
#                  an INF file over the preview's size limit is noted. On
#                  win7-x64 (x86 build) the 32-bit programs run under WOW64:
#                  usbinst.exe hands the runs to usbinst64.exe, which keeps
#                  InstallFlag in SOFTWARE\Wow6432Node, and the 32-bit preview
#                  must predict the flag's reset there
#   non-admin      Wine cannot run a program without administrator rights (every
#                  token holds an enabled Administrators group): covered by the
#                  simulated machine's tests, not shown here
# Several scenarios given at once run one after another in the same prefix.
#
# The snapshots take trace_snapshot's default trees and folders, and the INF
# folder's OTHER, where Windows 95/98/Me keep other makers' INF files.
#
# The machine before: customer_machine.exe lays out what Windows has and Wine
# lacks (ControlSet001 as a link, class keys, COM Name Arbiter, the package's
# INF names taken so that copies are named oemN.inf) and plants the neighbours
# (a USB serial device with an ID that extends the phone's, on COM10 with
# oem10.inf, and another maker's modem with oem0.inf); the calling installer's
# settings key is made. Then the first snapshot. After the removal run, the
# second snapshot and trace_report with the rules of tests/trace/rules, those
# of the files present of: common.txt, the family's (nt.txt for 2000/XP/7,
# legacy.txt for 95/98/Me and NT 4), win9x.txt for 95/98/Me, and the version's
# (nt40.txt ...). A scenario fails on the first failed step or when
# trace_report finds a difference no rule explains (a trace).
#
# USBINST_TRACE_REPORT names the trace_report program built for this machine
# (build/<windows preset>/host/trace_report, or build/native/trace_report).
set -u

build=$1 cd_source=$2 out_root=$3 version=$4
shift 4
here=$(cd "$(dirname "$0")" && pwd)
rules_dir=${USBINST_TRACE_RULES:-$here/../trace/rules}
report_tool=${USBINST_TRACE_REPORT:-}
wine=$USBINST_WINE_LOADER
export WINEDEBUG=-all
settings_key='HKLM\SOFTWARE\ORVEX\ORVEX 3G GSM USB Driver 6'
[ "${USBINST_WINE_ARCH:-win64}" = win64 ] &&
  settings_key='HKLM\SOFTWARE\Wow6432Node\ORVEX\ORVEX 3G GSM USB Driver 6'
cd_root=$WINEPREFIX/drive_c/cd
trace_folder=$WINEPREFIX/drive_c/trace

case $version in
  win95 | win98 | winme | nt40) family=legacy ;;
  win2k | winxp-sp1 | winxp-sp3 | win7) family=nt ;;
  win7-x64 | win10-x64) family=nt ;;
  *) echo "trace-round-trip: unknown Windows version $version" >&2; exit 2 ;;
esac
[ -x "$report_tool" ] || { echo "trace-round-trip: no trace_report at '$report_tool'" >&2; exit 2; }

dir= installer= modem_ports=
signed= catalog_folders=()
if compgen -G "$cd_source/Drivers/*.cat" >/dev/null; then
  signed=1
  catalog_folders=(--folder 'C:\windows\system32\catroot'
    --folder 'C:\windows\system32\catroot\{F750E6C3-38EE-11D1-85E5-00C04FC295EE}')
fi
step() { echo "== $*"; }
shown() { echo "$*" >>"$dir/shown.txt"; echo "   shown: $*"; }
fail() {
  echo "FAILED ($version $scenario): $*" >&2
  [ -n "$installer" ] && kill "$installer" 2>/dev/null
  "$USBINST_WINESERVER" -k 2>/dev/null
  exit 1
}
ansi() { iconv -f CP1250 -t UTF-8 2>/dev/null || cat; }
driver() { "$wine" "$build/dialog_driver.exe" "$@" || fail "dialog_driver $*"; }
phone() {
  "$wine" "$build/phone_simulator.exe" --package 'C:\cd\Drivers' "$@" || fail "phone_simulator $*"
}

# --- The Windows version ---------------------------------------------------------------

# Wine reports a version per program (AppDefaults); XP with Service Pack 1
# comes from the registry's version values, for every program of the prefix.
present_version() {
  local wine_version=$version
  case $version in
    winxp-sp3) wine_version=winxp ;;
    win7 | win7-x64) wine_version= ;;
    win10-x64)
      wine_version=
      "$wine" reg add 'HKCU\Software\Wine' /v Version /t REG_SZ /d win10 /f >/dev/null ||
        fail "cannot present Windows 10"
      ;;
    winxp-sp1)
      wine_version=
      local nt='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
      "$wine" reg add "$nt" /v CurrentVersion /t REG_SZ /d 5.1 /f >/dev/null &&
        "$wine" reg add "$nt" /v CurrentBuildNumber /t REG_SZ /d 2600 /f >/dev/null &&
        "$wine" reg add "$nt" /v CSDVersion /t REG_SZ /d 'Service Pack 1' /f >/dev/null &&
        "$wine" reg add 'HKLM\System\CurrentControlSet\Control\Windows' /v CSDVersion \
          /t REG_DWORD /d 0x100 /f >/dev/null || fail "cannot present XP SP1"
      ;;
  esac
  [ -z "$wine_version" ] && return 0
  for program in usbinst.exe phone_simulator.exe customer_machine.exe; do
    "$wine" reg add "HKCU\\Software\\Wine\\AppDefaults\\$program" /v Version /t REG_SZ \
      /d "$wine_version" /f >/dev/null || fail "cannot set the Windows version of $program"
  done
}

# --- Snapshots and the report ------------------------------------------------------------

snapshot() {
  local name=$1
  mkdir -p "$trace_folder"
  local windows='C:\windows'
  "$wine" "$build/trace_snapshot.exe" "C:\\trace\\$name.txt" \
    --tree 'HKLM\SYSTEM' --tree 'HKLM\Enum' --tree 'HKLM\Hardware\DeviceMap\SerialComm' \
    --tree 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion' \
    --tree 'HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Ports' \
    --tree 'HKLM\SOFTWARE\ORVEX' --tree 'HKLM\SOFTWARE\Classes\CLSID' \
    --tree 'HKLM\SOFTWARE\Wow6432Node\Microsoft\Windows\CurrentVersion' \
    --tree 'HKLM\SOFTWARE\Wow6432Node\ORVEX' \
    --tree 'HKCU\Software' --tree 'HKLM\SOFTWARE\Wine' \
    --folder "$windows\\inf" --folder "$windows\\inf\\OTHER" --folder "$windows\\system" \
    --folder "$windows\\system32" --folder "$windows\\system32\\drivers" \
    --folder "$windows\\LastGood\\INF" --folder "$windows\\LastGood\\system32\\DRIVERS" \
    "${catalog_folders[@]}" >/dev/null || fail "trace_snapshot $name"
  cp "$trace_folder/$name.txt" "$dir/$name.txt" || fail "no snapshot $name"
  echo "   snapshot $name: $(grep -vc '^#' "$dir/$name.txt") entries"
}

# The rules for this version: the common ones, the family's and the version's.
collect_rules() {
  local file
  : >"$dir/rules.txt"
  local files=(common "$family")
  case $version in
    win95 | win98 | winme) files+=(win9x) ;;
    win7-x64 | win10-x64) files+=(win7) ;;
  esac
  [ -n "$signed" ] && files+=(signed)
  for file in "${files[@]}" "$version"; do
    [ -f "$rules_dir/$file.txt" ] || continue
    { echo "# --- $file.txt"; cat "$rules_dir/$file.txt"; } >>"$dir/rules.txt"
  done
}

# Compares two snapshots; a difference no rule explains fails the scenario.
# With a fifth argument, the rules of that file of tests/trace/rules count too.
report() {
  local before=$1 after=$2 name=$3 title=$4 rules=$dir/rules.txt
  if [ -n "${5:-}" ]; then
    rules=$dir/rules-$5.txt
    { cat "$dir/rules.txt"; echo "# --- $5.txt"; cat "$rules_dir/$5.txt"; } >"$rules"
  fi
  step "trace report: $title"
  "$report_tool" --before "$dir/$before.txt" --after "$dir/$after.txt" --rules "$rules" \
    --title "$title" --shots "$dir" --text "$dir/$name.txt" --html "$dir/$name.html" \
    2>"$dir/$name.traces.txt"
  local status=$?
  cat "$dir/$name.traces.txt"
  case $status in
    0) echo "   no trace: every difference is explained (see $dir/$name.txt)" ;;
    1) fail "traces left (listed above and in $dir/$name.txt)" ;;
    *) fail "trace_report could not compare the snapshots (exit code $status)" ;;
  esac
}

# The COM number arbiter's bitmap: Wine's DIF_REMOVE does not release the
# modem's number as Windows' class installer does (a `wine` rule explains the
# changed value), so this check makes sure that the only bits that differ are
# those of the phone's modem ports and that no bit of another device went.
check_com_bits() {
  [ "$family" = nt ] || return 0
  local value='HKLM\SYSTEM\CurrentControlSet\Control\COM Name Arbiter|ComDB'
  local before after
  before=$(grep -F "$value" "$dir/before.txt" | grep -o 'hex:[0-9a-fA-F]*' | cut -c5-)
  after=$(grep -F "$value" "$dir/after.txt" | grep -o 'hex:[0-9a-fA-F]*' | cut -c5-)
  [ -n "$before" ] && [ -n "$after" ] || fail "no ComDB in the snapshots"
  local port number
  local -A modem_bits=()
  for port in $modem_ports; do modem_bits[${port#COM}]=1; done
  local index bit changed=
  for ((index = 0; index < ${#before} / 2; ++index)); do
    local b=$((16#${before:index*2:2})) a=$((16#${after:index*2:2}))
    for ((bit = 0; bit < 8; ++bit)); do
      number=$((index * 8 + bit + 1))
      if (((b >> bit & 1) == 1 && (a >> bit & 1) == 0)); then
        fail "ComDB lost the bit of COM$number, which was taken before the round trip"
      fi
      if (((b >> bit & 1) == 0 && (a >> bit & 1) == 1)); then
        [ "${modem_bits[$number]:-}" = 1 ] || fail "ComDB keeps COM$number, not a modem port"
        changed+=" COM$number"
      fi
    done
  done
  echo "   ComDB: every bit taken before is kept; left by Wine's DIF_REMOVE:${changed:- none}"
}

# --- The removal preview ---------------------------------------------------------------

# The preview of the live machine, with its predicted changes and its page.
preview_live() {
  step "preview of the live machine: usbinst_preview.exe --live"
  "$wine" "$build/usbinst_preview.exe" --live --changes 'C:\trace\predicted.txt' \
    --html 'C:\trace\preview.html' >"$dir/preview.txt" 2>"$dir/preview.err.txt" ||
    fail "the preview ended with exit code $?: $(cat "$dir/preview.err.txt")"
  cp "$trace_folder/predicted.txt" "$trace_folder/preview.html" "$dir/" ||
    fail "the preview wrote no --changes or --html file"
  echo "   predicted: $(grep -c . "$dir/predicted.txt") changes; report in $dir/preview.txt"
}

# Two snapshots must be equal: no rule explains any difference.
expect_unchanged() {
  local before=$1 after=$2 what=$3
  : >"$dir/no-rules.txt"
  "$report_tool" --before "$dir/$before.txt" --after "$dir/$after.txt" --rules "$dir/no-rules.txt" \
    --title "$what" --text "$dir/$after-unchanged.txt" 2>"$dir/$after-unchanged.traces.txt" ||
    fail "$what: the machine changed ($(cat "$dir/$after-unchanged.traces.txt"))"
  echo "   $what: the snapshots are equal"
}

# The real difference of two snapshots against the predicted one.
expect_predicted() {
  local before=$1 after=$2
  [ -x "${USBINST_CHANGES_CHECK:-}" ] || fail "no changes_check at '${USBINST_CHANGES_CHECK:-}'"
  step "the removal's real changes against the predicted ones"
  "$USBINST_CHANGES_CHECK" "$dir/$before.txt" "$dir/$after.txt" "$dir/predicted.txt" \
    "$rules_dir/preview.txt" >"$dir/prediction.txt"
  local status=$?
  cat "$dir/prediction.txt"
  [ "$status" = 0 ] || fail "the removal did not do what the preview predicted (exit code $status)"
}

# --- The installer and its windows --------------------------------------------------------

source "$(dirname "${BASH_SOURCE[0]}")/wizard-steps.sh"
screenshot() { screenshot_into "$dir" "$1"; }

# The flag's value, or "absent": the program only ever sets a flag that is
# there back to 0, and sets it to 1 after an /i run that ended with Next.
# A reg process that fails under load reads as "absent": the value is read
# again, up to three times, before the scenario fails.
expect_flag() {
  local value attempt
  for attempt in 1 2 3; do
    value=$(flag)
    [ "${value:-absent}" = "$1" ] && break
    sleep 1
  done
  [ "${value:-absent}" = "$1" ] || fail "InstallFlag is ${value:-absent}, expected $1"
  echo "   InstallFlag: $1"
}

# Joins the lines of a box's text, which a system message ends with a line
# break, so that each box printed by a tool is one line.
one_box_a_line() {
  tr -d '\r' | awk -v box="$1 message box" '
    open {line = line $0; if (/"$/) {print line; open = 0}; next}
    index($0, box) == 1 && !/"$/ {line = $0; open = 1; next}
    {print}
    END {if (open) print line}'
}

# The message boxes of a run may only be "Access is denied." where a key with
# sub-keys cannot be deleted in one call: in Wine's 95/98/Me modes, whose tree
# deletion stops after the first sub-key (it does not reset the name buffer's
# length between sub-keys; Windows 95/98/Me delete the whole tree). On NT 4,
# which never sees the phone, the removal finds nothing and shows nothing.
# BOXES holds one box a line.
check_boxes() {
  local what=$1 boxes=$2
  if [ -z "$boxes" ]; then
    shown "$what: no message box"
    return 0
  fi
  shown "$what: $(wc -l <<<"$boxes") message box(es):"
  sed 's/^/    /' <<<"$boxes" >>"$dir/shown.txt"
  local denied='"Error": "Hozzáférés megtagadva."'
  case $version in
    win95 | win98 | winme)
      [ -z "$(grep -vxF "$denied" <<<"$boxes")" ] ||
        fail "$what showed a message box other than \"Access is denied.\"" ;;
    *) fail "$what showed a message box" ;;
  esac
}

# Until the wizard is shown: on 2000/XP the driver-signing notice comes first;
# the removal that begins every installation may show boxes before it (above).
await_wizard() {
  local label=$1 output
  if [ "$family" = nt ]; then
    output=$(driver answer-box 90 ok "text=Előfordulhat") || fail "no driver-signing notice"
    output=$(one_box_a_line dialog_driver: <<<"$output")
    echo "$output"
    shown "$label: notice: $(grep -o 'message box .*' <<<"$output" | cut -c13-)"
    output=$(driver wait-wizard 60 state) || fail "no wizard"
  else
    shown "$label: notice: none"
    output=$(driver boxes-until-wizard 90 state) || fail "no wizard"
    output=$(one_box_a_line dialog_driver: <<<"$output")
    check_boxes "$label: installation's own removal" \
      "$(grep '^dialog_driver: message box' <<<"$output" | cut -c28-)"
  fi
  echo "$output"
  local layout buttons text
  layout=$(grep -o 'template [0-9]*' <<<"$output")
  buttons=$(grep -o 'buttons .*label "[^"]*"' <<<"$output")
  text=$(sed -n '/instructions:/,$p' <<<"$output" | tail -n +2 | tr -d '\r' | tr '\n' ' ')
  shown "$label: wizard: $layout, $buttons"
  shown "$label: wizard text: $text"
}

# The phone plugged in function by function while the wizard follows it, then
# unplugged (the wizard stays ready), then Next/Finish. With "record", the
# progress after each function is recorded, not checked: a reinstallation under
# Wine on 95/98/Me finds device keys the first removal kept, so the wizard may
# count functions before they are plugged in.
plug_in_and_finish() {
  local label=$1 mode=${2:-check} output
  [ "$mode" = check ] && driver expect progress=0 next=off cancel=on default=cancel
  for function in 0 1 2 3; do
    output=$(phone plug "$function") || fail "phone_simulator plug $function"
    echo "$output"
    output=$(grep -o 'function [0-9] installed: .*' <<<"$output" | tr -d '\r')
    shown "$label: phone: $output"
    [ "$function" = 3 ] && modem_ports+=" $(grep -o 'COM[0-9]*$' <<<"$output")"
    if [ "$mode" = record ] && [ "$function" -lt 3 ]; then
      output=$(driver state) || fail "no wizard"
      output=$(grep -o 'progress=[0-9]* next=[a-z]*' <<<"$output")
      shown "$label: after function $function: $output"
    elif [ "$function" -lt 3 ]; then
      driver expect progress=$((function + 1)) next=off cancel=on default=cancel
    else
      output=$(driver expect progress=4 next=on cancel=off default=next) || fail "wizard not ready"
      echo "$output"
      shown "$label: ready: $(grep -o 'buttons .*' <<<"$output")"
    fi
  done
  screenshot "$label-ready"
  phone --quiet unplug
  driver expect progress=4 next=on cancel=off
  driver press next wait-gone 30
  finish_installer
}

# NT 4 has no USB support: the phone plugged in is never seen, the wizard keeps
# waiting with Next disabled, and the user gives up with Cancel.
plug_in_unseen_and_cancel() {
  local label=$1 output
  for function in 0 1 2 3; do
    output=$(phone plug "$function") || fail "phone_simulator plug $function"
    echo "$output"
    grep -q "function $function not seen" <<<"$output" || fail "NT 4 saw function $function"
    driver expect progress=0 next=off cancel=on default=cancel
  done
  shown "$label: phone: plugged in, never seen (no USB on NT 4); the wizard still waits"
  screenshot "$label-still-waiting"
  driver press cancel wait-gone 30
  finish_installer
}

# A full installation: start, notice, wizard, phone, Next (on NT 4: Cancel).
install_full() {
  local label=$1
  step "$label: installation run with /i"
  start_installer /i
  await_wizard "$label"
  screenshot "$label-waiting"
  if [ "$version" = nt40 ]; then
    plug_in_unseen_and_cancel "$label"
    expect_flag absent
    return
  fi
  plug_in_and_finish "$label" "${2:-check}"
  expect_flag 0x1
}

# A removal run; its message boxes are answered, recorded and checked.
removal_run() {
  local label=$1 output status
  step "$label: removal run /r"
  output=$(cd "$cd_root/Setup" && "$wine" 'C:\cd\Setup\answer_dialogs.exe' 120 usbinst.exe /r)
  status=$?
  output=$(ansi <<<"$output" | one_box_a_line answer_dialogs:)
  [ -n "$output" ] && echo "$output"
  [ "$status" = 0 ] || fail "the removal run ended with exit code $status"
  check_boxes "$label: removal" \
    "$(grep '^answer_dialogs: message box' <<<"$output" | sed 's/^answer_dialogs: message box //')"
}

# --- Scenarios -----------------------------------------------------------------------------

prepare_machine() {
  step "the customer's machine ($version)"
  rm -rf "$cd_root"
  mkdir -p "$cd_root"
  cp -r "$cd_source/." "$cd_root/" || fail "cannot copy the CD"
  cp "$build/usbinst.exe" "$build/answer_dialogs.exe" "$cd_root/Setup/" || fail "no usbinst.exe"
  # The 64-bit program the 32-bit one hands over to on 64-bit Windows.
  if [[ " $* " == *" handover "* ]] || [[ $version == *-x64 && " $* " == *" preview "* ]]; then
    cp "$build/usbinst64.exe" "$cd_root/Setup/" || fail "no usbinst64.exe"
  fi
  present_version
  local own=
  [[ " $* " == *" own-ports "* ]] && own="own-ports 4"
  "$wine" "$build/customer_machine.exe" --package 'C:\cd\Drivers' layout $own neighbours ||
    fail "customer_machine"
  harness_reg add "$settings_key" /f || fail "cannot create the settings key"
}

run_scenario() {
  case $scenario in
    full | own-ports | handover)
      install_full "$scenario"
      removal_run "$scenario"
      ;;
    handover-missing)
      step "installation run with /i, without usbinst64.exe beside usbinst.exe"
      harness_reg add "$settings_key" /v InstallFlag /t REG_DWORD /d 1 /f ||
        fail "cannot set InstallFlag"
      local output
      output=$(cd "$cd_root/Setup" && "$wine" 'C:\cd\Setup\answer_dialogs.exe' 60 usbinst.exe /i) ||
        fail "the 32-bit program did not end with 0"
      output=$(ansi <<<"$output" | one_box_a_line answer_dialogs:)
      echo "$output"
      local boxes
      boxes=$(grep '^answer_dialogs: message box' <<<"$output")
      [ "$(grep -c . <<<"$boxes")" = 1 ] || fail "expected one message box, got: $boxes"
      grep -q '64 bites Windows.*usbinst64.exe' <<<"$boxes" || fail "not the 64-bit text: $boxes"
      shown "handover-missing: $(cut -c28- <<<"$boxes")"
      expect_flag 0x0
      "$wine" reg delete "$settings_key" /v InstallFlag /f >/dev/null ||
        fail "cannot delete InstallFlag"
      ;;
    no-switch)
      step "installation run without a switch"
      start_installer
      await_wizard no-switch
      screenshot no-switch-waiting
      plug_in_and_finish no-switch
      expect_flag absent
      removal_run no-switch
      ;;
    cancel)
      step "installation run with /i, cancelled while the wizard waits"
      start_installer /i
      await_wizard cancel
      screenshot cancel-waiting
      driver press cancel wait-gone 30
      finish_installer
      expect_flag absent
      removal_run cancel
      ;;
    second)
      step "a second installation run while the wizard waits"
      start_installer /i
      await_wizard second
      screenshot second-waiting
      local output
      output=$(cd "$cd_root/Setup" && "$wine" 'C:\cd\Setup\answer_dialogs.exe' 60 usbinst.exe) ||
        fail "the second instance did not end with 0"
      output=$(ansi <<<"$output")
      [ -n "$output" ] && fail "the second instance showed a dialog: $output"
      shown "second: the second instance ended with exit code 0, no dialog"
      driver foreground expect progress=0 cancel=on
      shown "second: the first wizard is in front"
      driver press cancel wait-gone 30
      finish_installer
      removal_run second
      ;;
    remove-during)
      step "a removal run while the wizard waits"
      start_installer /i
      await_wizard remove-during
      screenshot remove-during-waiting
      removal_run remove-during
      driver wait-gone 30
      shown "remove-during: the removal run closed the wizard"
      finish_installer
      removal_run remove-during-final
      ;;
    remove-foreign)
      step "a removal run while the wizard waits behind a hung window of the same title"
      start_installer /i
      await_wizard remove-foreign
      local foreign_log=$WINEPREFIX/drive_c/foreign.txt foreign started
      rm -f "$foreign_log"
      # Hung for 30 s: a removal run takes a few seconds here, and one that
      # waited for the window would end only after it woke.
      "$wine" "$build/removal_footprint.exe" foreign-window 'C:\foreign.txt' 30 &
      foreign=$!
      for _ in $(seq 1 100); do
        grep -q ready "$foreign_log" 2>/dev/null && break
        sleep 0.2
      done
      grep -q ready "$foreign_log" 2>/dev/null || fail "the foreign window did not start"
      screenshot remove-foreign-waiting
      started=$(date +%s)
      removal_run remove-foreign
      grep -q awake "$foreign_log" &&
        fail "the removal run waited until the foreign window took messages again"
      shown "remove-foreign: the removal run ended after $(($(date +%s) - started)) s," \
        "the foreign window still hung"
      driver wait-gone 30
      shown "remove-foreign: the removal run closed the wizard"
      finish_installer
      wait "$foreign"
      cat "$foreign_log"
      grep -q '^done$' "$foreign_log" || fail "the foreign window did not end"
      grep -q WM_CLOSE "$foreign_log" && fail "the foreign window was sent WM_CLOSE"
      shown "remove-foreign: the foreign window of the same title was sent no WM_CLOSE"
      removal_run remove-foreign-final
      ;;
    reinstall)
      install_full first
      snapshot installed-first
      if [ "$family" = legacy ]; then install_full second record; else install_full second; fi
      snapshot installed-second
      report installed-first installed-second reinstall-between \
        "$version: the second installation over the first" reinstall-between
      removal_run reinstall
      ;;
    preview)
      install_full preview
      # An INF file over the live reader's size limit: known by name only,
      # noted in the report, and left alone by the removal.
      local oversized=$WINEPREFIX/drive_c/windows/inf/oversized.inf
      head -c 5000000 /dev/zero | tr '\0' ';' >"$oversized" || fail "cannot write $oversized"
      snapshot installed
      preview_live
      grep -qF 'unread C:\windows\inf\oversized.inf: larger than' "$dir/preview.txt" ||
        fail "the report does not note the INF file over the size limit"
      snapshot previewed
      expect_unchanged installed previewed "the live preview"
      removal_run preview
      snapshot removed
      expect_predicted previewed removed
      rm -f "$oversized"
      ;;
    *) fail "unknown scenario $scenario" ;;
  esac
}

"$USBINST_WINESERVER" -p 2>/dev/null
prepared=0
all_scenarios=("$@")
for scenario in "$@"; do
  dir=$out_root/$version-$scenario
  rm -rf "$dir"
  mkdir -p "$dir"
  if [ "$scenario" = non-admin ]; then
    echo "non-admin: Wine gives every token an enabled Administrators group, so the refusal" \
      "of a user without administrator rights cannot be shown here; the simulated machine's" \
      "tests cover it (app/ tests of the administrator check and the entry point)." |
      tee "$dir/shown.txt"
    continue
  fi
  # Into the log as well; not through a pipe, which Wine's desktop process
  # would hold open, and so that a failed step ends the script.
  exec 3>&1 4>&2 > >(tee "$dir/log.txt") 2>&1
  [ $prepared = 1 ] || prepare_machine "${all_scenarios[@]}"
  prepared=1
  collect_rules
  snapshot before
  run_scenario
  snapshot after
  check_com_bits
  report before after report "$version $scenario: installation and removal"
  exec 1>&3 2>&4 3>&- 4>&-
  echo "== $version $scenario passed; report: $dir/report.txt"
done
"$USBINST_WINESERVER" -k 2>/dev/null
exit 0

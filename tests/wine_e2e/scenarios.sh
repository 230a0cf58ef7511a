# The scenarios of tests/wine_e2e/run.sh (sourced by it). Each prepares both
# sides alike, then runs the same UI script on both. The scripts are the
# native scenario tests' own.

scenario_list() {
  echo spooler-stopped second-instance licence-declined setup-kind-cancelled add-path setup-kind-update \
       script-does-not-fit network not-found usb time-out
}

# The prefix's spooler forgets the printers of earlier scenarios, so that
# each scenario starts from an empty spooler as its native machine does, and
# the user's temporary folder forgets their installation report (the
# program adds to a report it finds there).
forget_printers() {
  find "$prefix/drive_c/users" -maxdepth 3 -ipath '*/temp/inneli.log' -delete 2>/dev/null
  local key='HKLM\System\CurrentControlSet\Control\Print\Printers' sub
  timeout 30 wine reg query "$key" 2>/dev/null | tr -d '\r' | grep -i '^HKEY.*\\Printers\\' |
    while IFS= read -r sub; do timeout 30 wine reg delete "$sub" /f >/dev/null 2>&1; done
  true
}

# The spooler is stopped: the start-up ends with its box. Wine's printing
# works without the service, but the service's state is reported as Windows
# reports it, which is all the program asks.
scenario_spooler_stopped() {
  local dir=$work/spooler-stopped
  native_machine "$dir/machine" && "$native/bin/kvsim" --root "$dir/machine" service set Spooler stopped
  spooler stopped
  run_both spooler-stopped $'msgbox IDS_ERR_STOPSPOOLER: ok\n'
}

# The licence is declined: the wizard ends there, the parent hears "cancelled".
scenario_licence_declined() {
  spooler running
  run_both licence-declined $'page 1000: click 1004; cancel\n'
}

# The licence accepted, the setup kind cancelled.
scenario_setup_kind_cancelled() {
  spooler running
  run_both setup-kind-cancelled $'page 1000: ok\npage 133: cancel\n'
}

# The add path: licence, setup kind (add, without the network search), the
# stand-in installer adds the printer, completion.
scenario_add_path() {
  spooler running
  forget_printers
  run_both add-path $'page 1000: ok\npage 133: uncheck 1011; ok\npage 135: ok\n'
}

# Two printers are added in batch runs (no page), then the setup kind
# chooses the update: the update page lists both, the installer renews them.
scenario_setup_kind_update() {
  spooler running
  forget_printers
  local name
  for name in Office Lab; do
    run_both setup-kind-update "" +B '+A:KV LaserPro 5000' "+N:$name" +Q:0
    mv "$work/setup-kind-update/run.native" "$work/setup-kind-update/add-$name.native" 2>/dev/null
    mv "$work/setup-kind-update/run.wine" "$work/setup-kind-update/add-$name.wine" 2>/dev/null
  done
  run_both setup-kind-update $'page 1000: ok\npage 133: click 1008; ok\npage 134: ok\npage 135: ok\n'
}

# A script that expects another page ends the run with exit 3 and the same
# reason on both sides.
scenario_script_does_not_fit() {
  spooler running
  run_both script-does-not-fit $'page 133: ok\n'
}

# wait_line FILE PART [SECONDS [PID]]: true once FILE holds PART (10 s at
# most, or SECONDS; false at once when process PID has ended).
wait_line() {
  local n
  for n in $(seq $(( ${3:-10} * 20 ))); do
    grep -q -- "$2" "$1" 2>/dev/null && return 0
    [ -n "${4:-}" ] && ! kill -0 "$4" 2>/dev/null && return 1
    sleep 0.05
  done
  return 1
}

# A second start while the first instance waits at its start question ends
# at once (exit 7, no box); the first then declines the question (exit 21).
scenario_second_instance() {
  local dir=$work/second-instance
  mkdir -p "$dir"
  native_machine "$dir/machine"
  spooler running
  stage_package "$prefix/drive_c/PKG" "$mingw/src/KV_SETUP.exe" KV_SETUP.exe
  # The first instance holds its question for 5 s on the scripts' clock.
  printf 'wait 500\nmsgbox IDS_MSG_START_CONFIRM1: no\n' >"$dir/first.txt"
  # The second instance's script is empty: it must show nothing.
  : >"$dir/second.txt"
  local side first
  for side in native wine; do
    "${side}_run" "$dir" first first.txt +I & first=$!
    wait_line "$dir/first.$side.parent" 'kind=2 ' || report "$side: the first instance did not announce itself"
    "${side}_run" "$dir" second second.txt; echo $? >"$dir/second.$side.rc"
    wait $first; echo $? >"$dir/first.$side.rc"
  done
  compare "$dir" first second-instance
  compare "$dir" second second-instance
}

# ---- The network search ------------------------------------------------------------------

# net_printers SCENARIO ARGS...: the network of the scenario's native machine
# gets the printers (each "ADDRESS|MODEL|DESCRIPTION|unreachable"), and
# Wine's prefix the same network, through the registry key the stand-in
# search library reads.
net_printers() {
  local dir=$work/$1 entry addr model description flag opts; shift
  native_machine "$dir/machine" || { report "$dir: no native machine"; return 1; }
  for entry in "$@"; do
    IFS='|' read -r addr model description flag <<<"$entry"
    opts=()
    [ -n "$description" ] && opts+=(--description "$description")
    [ -n "$flag" ] && opts+=("--$flag")
    "$native/bin/kvsim" --root "$dir/machine" net add "$addr" "$model" "${opts[@]}" >/dev/null
  done
  "$native/bin/kvsim" --root "$dir/machine" reg export 'HKLM\SOFTWARE\KVSim\Network' >"$dir/network.reg"
  local key='HKLM\SOFTWARE\KVSim\Network' n
  timeout 30 wine reg delete "$key" /f >/dev/null 2>&1
  # Once, in a fresh prefix, the first import left nothing: it is checked,
  # and tried again.
  for n in 1 2; do
    timeout 30 wine reg import "$(winepath -w "$dir/network.reg")" >/dev/null 2>&1
    timeout 30 wine reg query "$key" 2>/dev/null | tr -d '\r' | grep -qi 'Network\\' && return 0
  done
  report "$1: the network did not reach Wine's registry"
  return 1
}

# Licence, setup kind with the search (as the package preselects it), the
# printers found, the second of the list chosen, the installer, completion.
# Wine has no TCP/IP port monitor (OpenPrinter gives 1796), so the stand-in
# installer makes the printer's port a local one there.
scenario_network() {
  spooler running
  forget_printers
  net_printers network '192.168.1.20|KV LaserPro|Second floor|' '192.168.1.3|KV LaserPro|First floor|' \
    '10.0.0.9|KV LaserPro Color||' '10.0.0.10|Other Vendor 1||' '10.0.0.11|KV LaserPro||unreachable' || return
  run_both network $'page 1000: ok\npage 133: ok\npage 139\npage 140: select 1015 1; next\npage 135: ok\n'
}

# The search finds nothing of the package: the question, answered yes, goes
# on to the installer without a network printer.
scenario_not_found() {
  spooler running
  forget_printers
  net_printers not-found '10.0.0.1|KV LaserPro||unreachable' || return
  run_both not-found $'page 1000: ok\npage 133: ok\npage 139\nmsgbox IDS_ERR_PRINTER_NOTFOUND: yes\npage 135: ok\n'
}

# ---- The USB path --------------------------------------------------------------------------

# Licence, setup kind with USB, the model, power off; the installation page
# ends by itself, and the power-on page waits for the printer.
usb_to_power_on=$'page 1000: click 1003; next\npage 133: uncheck 1011; check 1012; ok\n'\
$'page 149: select 1029 "KV LaserPro 5000"; ok\npage 144: next\npage 136\npage 145\n'
usb_hwid='USBPRINT\KVLaserPro_500A1B2'

# A printer both machines hold before the run, so that the wizard asks
# whether its printer becomes the default.
fax_printer() {  # DIR
  printf '%s\n' 'Windows Registry Editor Version 5.00' '' \
    '[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Printers\Fax]' \
    '"Name"="Fax"' '"Port"="LPT1:"' '"Printer Driver"="Generic Fax"' '"Print Processor"="WinPrint"' \
    '"Datatype"="RAW"' '"Attributes"=dword:00000040' >"$1/fax.reg"
  "$native/bin/kvsim" --root "$1/machine" reg import "$1/fax.reg" >/dev/null
  timeout 30 wine reg import "$(winepath -w "$1/fax.reg")" >/dev/null 2>&1
}

# run_both_plugging SCENARIO SCRIPT: both runs, the printer plugged in on
# each side once its power-on page shows (kvsim usb plug natively, kvplug
# under Wine: what plug and play does there).
run_both_plugging() {
  local scenario=$1 dir=$work/$1 side pid
  mkdir -p "$dir"
  printf '%s' "$2" >"$dir/ui.txt"
  stage_package "$prefix/drive_c/PKG" "$mingw/src/KV_SETUP.exe" KV_SETUP.exe
  for side in native wine; do
    rm -f "$dir/run.$side"
    "${side}_run" "$dir" run ui.txt & pid=$!
    if wait_line "$dir/run.$side" '== page 145' "$KV_WINE_E2E_TIMEOUT" $pid; then
      if [ $side = native ]; then
        "$native/bin/kvsim" --root "$dir/machine" usb plug "$usb_hwid" --description 'KV LaserPro 5000' \
          >"$dir/plug.native" 2>&1
      else
        timeout 60 wine 'C:\kvdrive\kvplug.exe' "$usb_hwid" --description 'KV LaserPro 5000' >"$dir/plug.wine" 2>&1
      fi
    fi
    wait $pid; echo $? >"$dir/run.$side.rc"
  done
  compare "$dir" run "$scenario"
}

# The printer plugged in while the power-on page waits: installed, the
# default-printer question, the initial settings and the completion page
# with the printer on USB001. A second run finds it installed.
scenario_usb() {
  local dir=$work/usb
  spooler running
  forget_printers
  native_machine "$dir/machine"
  fax_printer "$dir"
  # The power-on page's three minutes last 9 s here: long enough for kvplug
  # to start under Wine on a busy machine.
  KVSIM_TIMESCALE=0.05 run_both_plugging usb \
    "$usb_to_power_on"$'msgbox IDS_MSG_DEFUALT_PRINTER: yes\npage 1001: ok\npage 135: ok\n'
  # The same machines again: the printer is there.
  mkdir -p "$work/usb-again"
  ln -sfn "$dir/machine" "$work/usb-again/machine"
  run_both usb-again $'page 1000: click 1003; next\npage 133: uncheck 1011; check 1012; ok\n'\
$'page 149: select 1029 "KV LaserPro 5000"; ok\nmsgbox IDS_ERR_ALREADY_USBPRINER: ok\n'
}

# Nothing is plugged in: the time-out question, stop, the manual-port page,
# the external installer, the initial settings and the completion page.
scenario_time_out() {
  spooler running
  forget_printers
  run_both time-out "$usb_to_power_on"$'page 146: cancel\npage 147: ok\npage 1001: ok\npage 135: ok\n'
}

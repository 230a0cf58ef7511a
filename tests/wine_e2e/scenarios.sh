# The scenarios of tests/wine_e2e/run.sh (sourced by it). Each prepares both
# sides alike, then runs the same UI script on both. The scripts are the
# native scenario tests' own.

scenario_list() {
  echo spooler-stopped second-instance licence-declined setup-kind-cancelled add-path setup-kind-update \
       script-does-not-fit
}

# The prefix's spooler forgets the printers of earlier scenarios, so that
# each scenario starts from an empty spooler as its native machine does.
forget_printers() {
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

# wait_line FILE PART: true once FILE holds PART (10 s at most).
wait_line() {
  local n
  for n in $(seq 200); do grep -q -- "$2" "$1" 2>/dev/null && return 0; sleep 0.05; done
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

# The scenarios of tests/wine_e2e/run.sh (sourced by it). Each prepares both
# sides alike, then runs the same UI script on both. The scripts are the
# native scenario tests' own.

scenario_list() {
  echo spooler-stopped second-instance licence-declined setup-kind-cancelled
}

# The spooler is stopped: the start-up ends with its box. Wine's printing
# works without the service, but the service's state is reported as Windows
# reports it, which is all the program asks.
scenario_spooler_stopped() {
  local dir=$work/spooler-stopped
  native_machine "$dir/machine" && "$native/tools/kvsim" --root "$dir/machine" service set Spooler stopped
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

# ---- The gallery (make pages) ------------------------------------------------------------

# The program turns its catalogue texts into the system's ANSI code page, as
# on Windows: a Japanese page needs a Japanese system (code page 932), which
# Wine takes from the Unix locale of the process.
unix_locale() {  # NAME (ja_JP): NAME.UTF-8 when the host has it or can make it
  local want=$1.UTF-8
  if ! locale -a 2>/dev/null | grep -qi "^$1\.utf-\?8$"; then
    [ "$(id -u)" = 0 ] && localedef -i "$1" -f UTF-8 "$want" 2>/dev/null
  fi
  locale -a 2>/dev/null | grep -qi "^$1\.utf-\?8$" && echo "$want" || echo C.UTF-8
}

# LANGUAGE-FOLDER +H-VALUE UNIX-LOCALE: the pictures of every page the add path shows.
gallery_language() {
  local lang=$1 code=$2 dir=$work/gallery-$1
  local loc; loc=$(unix_locale "$3")
  rm -rf "$dir"; mkdir -p "$dir/shots"
  printf 'page 1000: ok\npage 133: cancel\n' >"$dir/ui.txt"
  spooler running
  stage_package "$prefix/drive_c/PKG" "$mingw/src/KV_SETUP.exe" KV_SETUP.exe
  LANG=$loc LC_ALL=$loc wine_run "$dir" run ui.txt "+H:$code"; echo "wine-e2e: gallery $lang: exit $?"
  mkdir -p "$pages/$lang"
  local bmp
  for bmp in "$dir"/shots/*.bmp; do
    [ -e "$bmp" ] || continue
    convert "$bmp" "$pages/$lang/$(basename "${bmp%.bmp}").png"
  done
}

gallery() {
  rm -rf "${pages:?}"/*
  gallery_language en 0409 en_US
  gallery_language ja 0411 ja_JP
  gallery_language de 0407 de_DE
}

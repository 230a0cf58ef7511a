# The gallery of tests/wine_e2e/run.sh --pages DIR (sourced by it, after
# scenarios.sh): the Windows program under Wine on every path, in English,
# Japanese and German, kvdrive taking a picture of every page and message box
# as it opens. Each run leaves DIR/<language>/<run>/NN-ID.bmp and its
# transcript DIR/<language>/<run>.wine; tests/wine_e2e/pages.sh picks and
# names the pictures.

# The program turns its catalogue texts into the system's ANSI code page, as
# on Windows: a Japanese page needs a Japanese system (code page 932), which
# Wine takes from the Unix locale of the process. A missing locale ends the
# gallery: pages in the wrong code page would be pictures of garbage.
unix_locale() {  # NAME (ja_JP): NAME.UTF-8
  [ "$1" = C ] && { echo C.UTF-8; return; }
  if ! grep -qix "$1\.utf-\?8" <<<"$(locale -a 2>/dev/null)"; then
    [ "$(id -u)" = 0 ] && localedef -i "$1" -f UTF-8 "$1.UTF-8" 2>/dev/null
  fi
  grep -qix "$1\.utf-\?8" <<<"$(locale -a 2>/dev/null)" || return 1
  echo "$1.UTF-8"
}

# The network printers the stand-in network library finds: written on a
# scratch native machine by kvsim and imported into the prefix's registry.
gallery_network() {  # add | clear
  local key='HKLM\SOFTWARE\KVSim\Network' m=$work/gallery-net
  timeout 30 wine reg delete "$key" /f >/dev/null 2>&1
  [ "$1" = clear ] && return 0
  rm -rf "$m"
  "$native/bin/kvsim" --root "$m" create >/dev/null || return 1
  "$native/bin/kvsim" --root "$m" net add 192.168.1.20 "KV LaserPro" --description "Second floor" >/dev/null
  "$native/bin/kvsim" --root "$m" net add 192.168.1.3 "KV LaserPro" --description "First floor" >/dev/null
  "$native/bin/kvsim" --root "$m" net add 10.0.0.9 "KV LaserPro Color" >/dev/null
  "$native/bin/kvsim" --root "$m" reg export "$key" >"$m/net.reg" || return 1
  timeout 30 wine reg import "$(winepath -w "$m/net.reg")" >/dev/null 2>&1
  grep -q 192.168.1.3 <<<"$(timeout 30 wine reg query "$key" /s 2>/dev/null)" ||
    report "gallery: the network printers did not reach the prefix's registry"
}

# RUN SCRIPT ARGS...: one run of the program in the current language.
gallery_run() {
  local run=$1 script=$2; shift 2
  local dir=$work/gallery-$g_lang
  rm -rf "$dir/shots"; mkdir -p "$dir/shots" "$pages/$g_lang/$run"
  printf '%s' "$script" >"$dir/$run.txt"
  LANG=$g_locale LC_ALL=$g_locale KV_WINE_E2E_TIMEOUT=$g_timeout wine_run "$dir" "$run" "$run.txt" "$@"
  echo "wine-e2e: gallery $g_lang, $run: exit $?"
  cp "$dir"/shots/*.bmp "$pages/$g_lang/$run/" 2>/dev/null
  cp "$dir/$run.wine" "$pages/$g_lang/$run.wine" 2>/dev/null
  true
}

# LANGUAGE-FOLDER +H-VALUE UNIX-LOCALE
gallery_language() {
  g_lang=$1
  local code=$2
  g_locale=$(unix_locale "$3") || { report "gallery: the locale $3.UTF-8 is missing (scripts/deps.sh makes it)"; failures=$((failures + 1)); return; }
  g_timeout=$KV_WINE_E2E_TIMEOUT
  local pkg=$prefix/drive_c/PKG
  spooler running
  forget_printers
  gallery_network clear
  stage_package "$pkg" "$mingw/src/KV_SETUP.exe" KV_SETUP.exe

  # Licence, setup kind, completion.
  gallery_run add $'page 1000: ok\npage 133: uncheck 1011; ok\npage 135: ok\n' "+H:$code"
  # Two printers added in batch, then the update page lists them.
  gallery_run batch1 "" +B '+A:KV LaserPro 5000' +N:Office +Q:0
  gallery_run batch2 "" +B '+A:KV LaserPro 5000' +N:Lab +Q:0
  gallery_run update $'page 1000: ok\npage 133: click 1008; ok\npage 134: ok\npage 135: ok\n' "+H:$code"
  # The network search finds the printers; one is chosen.
  forget_printers
  gallery_network add
  gallery_run network $'page 1000: ok\npage 133: ok\npage 139\npage 140: select 1015 0; next\npage 135: ok\n' "+H:$code"
  # The search finds nothing: the question whether to go on without one.
  gallery_network clear
  gallery_run notfound $'page 1000: ok\npage 133: ok\npage 139\nmsgbox IDS_ERR_PRINTER_NOTFOUND: no\n' "+H:$code"
  # USB: the model, power off, the installation, the wait for the printer
  # until its time-out (the shortest wait the package may set), the port
  # chosen by hand, the initial settings.
  forget_printers
  sed -i 's/^USBConnectWaitTime=.*/USBConnectWaitTime=60/' "$pkg/KVISETUP.INI"
  g_timeout=$((KV_WINE_E2E_TIMEOUT + 90))
  gallery_run usb $'page 1000: ok\npage 133: uncheck 1011; check 1012; ok\npage 149: select 1029 "KV LaserPro 5000"; ok\npage 144: next\npage 136\npage 145\npage 146: cancel\npage 147: ok\npage 1001: ok\npage 135: ok\n' "+H:$code"
  g_timeout=$KV_WINE_E2E_TIMEOUT
  stage_package "$pkg" "$mingw/src/KV_SETUP.exe" KV_SETUP.exe
  # USB with the printer plugged in while the power-on page waits (kvplug
  # does under Wine what plug and play does): the default-printer question
  # (another printer is there already), the initial settings; then the same
  # printer again: the box that says it is installed.
  if [ -e "$prefix/drive_c/kvdrive/kvplug.exe" ]; then
    forget_printers
    gallery_other_printer
    gallery_plugging usb-plug $'page 1000: ok\npage 133: uncheck 1011; check 1012; ok\npage 149: select 1029 "KV LaserPro 5000"; ok\npage 144: next\npage 136\npage 145\nmsgbox IDS_MSG_DEFUALT_PRINTER: yes\npage 1001: ok\npage 135: ok\n' "+H:$code"
    gallery_run usb-again $'page 1000: ok\npage 133: uncheck 1011; check 1012; ok\npage 149: select 1029 "KV LaserPro 5000"; ok\nmsgbox IDS_ERR_ALREADY_USBPRINER: ok\n' "+H:$code"
  fi
}

# A printer the prefix holds before the run.
gallery_other_printer() {
  local reg=$work/gallery-fax.reg
  printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
    '[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Print\Printers\Fax]' \
    '"Name"="Fax"' '"Port"="LPT1:"' '"Printer Driver"="Generic Fax"' '"Print Processor"="WinPrint"' \
    '"Datatype"="RAW"' '"Attributes"=dword:00000040' >"$reg"
  timeout 30 wine reg import "$(winepath -w "$reg")" >/dev/null 2>&1
}

# RUN SCRIPT ARGS...: gallery_run, the printer plugged in once the power-on
# page shows.
gallery_plugging() {
  local run=$1 dir=$work/gallery-$g_lang pid
  mkdir -p "$dir"
  rm -f "$dir/$run.wine"
  gallery_run "$@" & pid=$!
  if wait_line "$dir/$run.wine" '== page 145'; then
    timeout 60 wine 'C:\kvdrive\kvplug.exe' 'USBPRINT\KVLaserPro_500A1B2' --description 'KV LaserPro 5000' \
      >"$dir/$run.plug" 2>&1
  fi
  wait $pid
}

gallery() {
  rm -rf "${pages:?}"/*
  gallery_language en 0409 C
  gallery_language ja 0411 ja_JP
  gallery_language de 0407 de_DE
}

#!/bin/bash
# The package in a Wine prefix of its own, as a user meets it: install silently, find the files, the registration
# and the Start menu entries; start the converter through its App Paths entry and create the context-menu class
# from the installed module; uninstall, and find the machine as it was, the user's settings and other software's
# handlers included.
# install-uninstall.sh PACKAGE BUILT_PROGRAMS_DIR PROBE_EXE WORK_DIR HAS_SHELL_EXTENSION(0|1)
set -u
msi=$1 built=$2 probe=$3 work=$4 has_shellext=$5
here=$(cd "$(dirname "$0")" && pwd)
state="python3 $here/registry_state.py"

rm -rf "$work"
mkdir -p "$work/home" "$work/files"
export WINEPREFIX="$work/prefix" WINEARCH=win64 HOME="$work/home" LANG=C.UTF-8 LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
unset DISPLAY WAYLAND_DISPLAY
wine=/usr/lib/wine/wine64
cleanup() {
  wineserver -k >/dev/null 2>&1
  wineserver -w >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}
reg_value() {  # reg_value KEY [NAME]: the data of a string value, empty when absent
  local args=(/ve)
  [ $# -gt 1 ] && args=(/v "$2")
  "$wine" reg query "$1" "${args[@]}" 2>/dev/null | tr -d '\r' | sed -n 's/^ *[^ ].*  *REG_[A-Z_]*  *//p' | head -1
}
export_machine() { "$wine" regedit /E "$1" 'HKEY_LOCAL_MACHINE\Software' || fail "regedit cannot export to $1"; }

"$wine" wineboot -i >/dev/null 2>&1
"$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -w
echo 'pcm.!default { type null }' >"$work/home/.asoundrc"

# What the machine holds before: a user's setting, and another program's handler under the shared keys.
other='{11111111-2222-3333-4444-555555555555}'
"$wine" reg add 'HKCU\Software\Quennet\Tavrel\ShellExt' /v ConvertWave /t REG_DWORD /d 1 /f >/dev/null
"$wine" reg add 'HKLM\Software\Classes\*\shellex\ContextMenuHandlers\Other' /ve /d "$other" /f >/dev/null
export_machine "$work/before.reg"

cp "$msi" "$work/Tavrel.msi"
cd "$work"
"$wine" msiexec /i Tavrel.msi /qn /l*v install.log
status=$?
if [ $status -ne 0 ]; then
  fail "msiexec /i exit status $status"
  iconv -f utf-16 -t utf-8 install.log 2>/dev/null | grep -iE 'error|return value [03]' | head -20
  exit 1
fi

folder="$WINEPREFIX/drive_c/Program Files/Tavrel"
installed='C:\Program Files\Tavrel'
files=(tavconv.exe tavcore.dll lame_enc.dll)
[ "$has_shellext" = 1 ] && files+=(tavshell.dll)
# The other programs are in the package whenever the build made them.
for program in voxcap.exe cdforge.exe; do [ -f "$built/$program" ] && files+=("$program"); done
[ -f "$built/cdforge.exe" ] && files+=(cdforge.chm)  # the burner's help file beside it
for file in "${files[@]}"; do
  cmp -s "$built/$file" "$folder/$file" || fail "$installed\\$file is missing or differs from the build"
done
echo "ok: files in $installed: $(ls "$folder" | tr '\n' ' ')"

# Everything the package adds to the machine's registry, and nothing else.
classes='HKEY_LOCAL_MACHINE\Software\Classes'
convert='{8DA09D52-A809-430B-801C-BB91B50A2552}'
page='{20540AEE-518C-4C30-935D-3D5A74F386A3}'
library='{617848EF-ABA3-4097-B0F5-4979BB407073}'
{
  echo "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tavcore.exe||$installed\\tavconv.exe"
  echo "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\tavcore.exe|Path|$installed\\"
  if [ "$has_shellext" = 1 ]; then
    for class in "ConvertShellExt:$convert" "MetaDataPageExt:$page"; do
      name=${class%%:*} clsid=${class#*:}
      echo "$classes\\Tavcore.$name.1||$name Class"
      echo "$classes\\Tavcore.$name.1\\CLSID||$clsid"
      echo "$classes\\Tavcore.$name||$name Class"
      echo "$classes\\Tavcore.$name\\CLSID||$clsid"
      echo "$classes\\Tavcore.$name\\CurVer||Tavcore.$name.1"
      echo "$classes\\CLSID\\$clsid||$name Class"
      echo "$classes\\CLSID\\$clsid\\InprocServer32||$installed\\tavshell.dll"
      echo "$classes\\CLSID\\$clsid\\InprocServer32|ThreadingModel|Apartment"
    done
    echo "$classes\\CLSID\\$convert\\ProgID||Tavcore.ConvertShellExt.1"
    echo "$classes\\CLSID\\$convert\\VersionIndependentProgID||Tavcore.ConvertShellExt"
    echo "$classes\\CLSID\\$convert\\TypeLib||$library"
    echo "$classes\\TypeLib\\$library\\1.0||Tavcore 1.0 Type Library"
    echo "$classes\\TypeLib\\$library\\1.0\\0\\win64||$installed\\tavshell.dll"
    echo "$classes\\TypeLib\\$library\\1.0\\FLAGS||0"
    echo "$classes\\TypeLib\\$library\\1.0\\HELPDIR||$installed\\"
    echo "$classes\\*\\shellex\\ContextMenuHandlers\\Tavrel||$convert"
    echo "$classes\\*\\shellex\\PropertySheetHandlers\\Tavrel||$page"
  fi
} >expected-install.txt
export_machine installed.reg
$state changes before.reg installed.reg expected-install.txt || fail "the registry after installing differs (above)"
echo "ok: registry after installing"

# The shell extension's class, created through its registration by a program elsewhere: the module loads from
# the installed folder and finds the engine beside it.
if [ "$has_shellext" = 1 ]; then
  server=$(reg_value "HKCR\\CLSID\\$convert\\InprocServer32")
  [ "$server" = "$installed\\tavshell.dll" ] || fail "InprocServer32 seen through HKCR is '$server'"
  cp "$probe" files/probe.exe
  (cd files && "$wine" probe.exe) || fail "the context-menu class cannot be created from $installed"
fi

# The converter as the shell extension starts it: the full path from App Paths, from a folder of the user's.
sox -n -r 44100 -c 2 -b 16 files/tone.wav synth 1 sine 440 || fail "sox cannot make the input"
program=$(reg_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\App Paths\tavcore.exe')
[ "$program" = "$installed\\tavconv.exe" ] || fail "App Paths names '$program'"
out=$(cd files && "$wine" "$program" formats 2>&1)
status=$?
[ $status -eq 0 ] || fail "'$program formats' exit status $status: $out"
grep -qE '^ *[0-9]+ +MP3 +yes +yes' <<<"$out" || fail "the installed converter cannot write MP3: $(grep MP3 <<<"$out")"
# By the name alone, as the shell resolves it through App Paths (the "Path" value included).
(cd files && "$wine" start /wait /b tavcore.exe convert --to MP3 tone.wav -o tone.mp3 >/dev/null 2>&1)
[ "$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 files/tone.mp3 2>/dev/null)" = mp3 ] ||
  fail "'tavcore.exe' started through App Paths did not convert tone.wav to MP3"
echo "ok: the converter runs from App Paths"

# Start menu: each entry's target exists; the command prompt's command line runs the installed converter.
menu=$(find "$WINEPREFIX/drive_c" -type d -path '*/Start Menu/Programs/Tavrel' | head -1)
[ -n "$menu" ] || fail "no Start menu folder Tavrel"
shortcuts=0
while IFS= read -r -d '' link; do
  shortcuts=$((shortcuts + 1))
  mapfile -t fields < <($state shortcut "$link")
  target=${fields[0]:-} arguments=${fields[1]:-}
  [ -n "$target" ] && [ -e "$("$wine" winepath -u "$target" 2>/dev/null)" ] ||
    fail "$(basename "$link") points at '$target', which does not exist"
  if [ "$(basename "$link")" = "Tavrel Converter Command Prompt.lnk" ]; then
    # Its own command line with /c for /k: the prompt runs the command and ends instead of waiting for a user.
    [ "${arguments:0:3}" = '/k ' ] || fail "the command prompt entry's arguments are '$arguments'"
    command=${arguments:3}
    command=${command#\"}
    out=$(cd files && "$wine" "$target" /c "${command%\"}" </dev/null 2>&1 | tr -d '\r')
    grep -q '^Usage: tavconv' <<<"$out" || fail "the command prompt entry does not show the converter's usage: $out"
  fi
done < <(find "${menu:-/nonexistent}" -name '*.lnk' -print0)
[ $shortcuts -ge 1 ] || fail "the Start menu folder has no entries"
echo "ok: $shortcuts Start menu entries"

"$wine" msiexec /x Tavrel.msi /qn /l*v uninstall.log
status=$?
[ $status -eq 0 ] || fail "msiexec /x exit status $status"
[ -e "$folder" ] && fail "$installed is left: $(ls "$folder" | tr '\n' ' ')"
[ -n "$menu" ] && [ -e "$menu" ] && fail "the Start menu folder is left: $(ls "$menu" | tr '\n' ' ')"
export_machine removed.reg
: >expected-none.txt
$state changes before.reg removed.reg expected-none.txt || fail "the registry after uninstalling differs (above)"
[ "$(reg_value 'HKLM\Software\Classes\*\shellex\ContextMenuHandlers\Other')" = "$other" ] ||
  fail "another program's context-menu handler was removed"
"$wine" reg query 'HKCU\Software\Quennet\Tavrel\ShellExt' /v ConvertWave >/dev/null 2>&1 ||
  fail "the user's setting was removed"
echo "ok: uninstalled"

[ $failures -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
echo "all installer checks passed"

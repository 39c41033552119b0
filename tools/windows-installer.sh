#!/usr/bin/env bash
# Builds marrowgate-<version>-setup.exe, the Windows installer, with NSIS
# (tools/windows-installer.nsi) from the programs of the zip: a per-user
# install, without administrator rights, into %LOCALAPPDATA%\Programs\Marrowgate,
# with a Start-menu entry and an uninstaller listed under the installed apps.
#   tools/windows-installer.sh          makes the setup (its path is the last line)
#   tools/windows-installer.sh --test   also, under Wine in a fresh prefix on a
#     virtual display: installs it silently, checks the files, the registry
#     entry and the shortcut, sorts a sample library with the installed window,
#     uninstalls silently and checks that only the user's data is left.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/tools/windows-common.sh"
test_it=0
[ "${1:-}" = "--test" ] && test_it=1
started=$(date +%s)
say() { echo "== windows-installer.sh [$(( $(date +%s) - started ))s] $*"; }
fail() { echo "windows-installer.sh: $*" >&2; exit 1; }

packages=(nsis)
[ $test_it -eq 1 ] && packages+=(wine wine64 xvfb)
install_missing "${packages[@]}"

say "the programs, as the zip carries them"
# Its lines go to standard error as they come, through the inherited
# descriptor: where that is a file (a CI log), reopening /dev/stderr would
# write over what was written before.
zip_lines=$(mktemp)
at_exit "rm -f '$zip_lines'"
"$root/tools/windows-zip.sh" | tee "$zip_lines" >&2
zip=$(tail -n 1 "$zip_lines")
payload="${zip#windows-zip.sh: }"
payload="${payload%.zip}"
build="$win_build/installer"
setup="$build/marrowgate-$version-setup.exe"
mkdir -p "$build"
rm -f "$setup"
say "makensis"
makensis -V2 -WX -DVERSION="$version" -DPAYLOAD="$payload" \
  -DICON="$root/src/ui/win32/marrowgate.ico" -DOUTFILE="$setup" "$root/tools/windows-installer.nsi"
echo "windows-installer.sh: $(stat -c %s "$setup") bytes"

if [ $test_it -eq 1 ]; then
  cross_build marrowgate-window-driver
  say "a fresh Wine prefix"
  rm -rf "$build/wineprefix" "$build/test"
  start_wine "$build/wineprefix"
  mkdir -p "$build/test"
  sample="$build/test/logic.p"
  cp "$root/samples/logic.p" "$sample"

  # The user's folders as Windows names them, and their Unix paths.
  windows_folder() { winepath -u "$(wine cmd /c echo "%$1%" | tr -d '\r')"; }
  local_app_data="$(windows_folder LOCALAPPDATA)"
  install_dir="$local_app_data/Programs/Marrowgate"
  data_dir="$local_app_data/Marrowgate"
  shortcut="$(windows_folder APPDATA)/Microsoft/Windows/Start Menu/Programs/Vorlane Marrowgate.lnk"
  key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Marrowgate'
  # registry_value NAME: the value of the uninstaller's entry, empty when none.
  registry_value() {
    wine reg query "$key" /v "$1" 2>/dev/null | tr -d '\r' |
      sed -n "s/^ *$1 *REG_[A-Z_]* *//p"
  }

  say "silent install: $(basename "$setup") /S"
  wine "$setup" /S || fail "the setup failed (status $?)"
  wineserver -w
  expected="bin/marrowgate-cli.exe
bin/marrowgate.exe
share/marrowgate/marrowgate_msg.dat
uninstall.exe"
  installed="$(cd "$install_dir" 2>/dev/null && find . -type f | sed 's|^\./||' | LC_ALL=C sort)"
  echo "$installed" | sed "s|^|  $install_dir/|"
  [ "$installed" = "$expected" ] || fail "the install folder does not hold exactly the files expected"

  say "registry entry $key"
  wine reg query "$key" | tr -d '\r' | sed -n 's/^ \{4\}/  /p'
  for value in DisplayName DisplayVersion Publisher UninstallString QuietUninstallString InstallLocation \
               DisplayIcon EstimatedSize NoModify NoRepair; do
    [ -n "$(registry_value "$value")" ] || fail "no $value in the registry entry"
  done
  [ "$(registry_value DisplayVersion)" = "$version" ] || fail "DisplayVersion is not $version"
  [ "$(registry_value Publisher)" = "Vorlane" ] || fail "Publisher is not Vorlane"
  [ "$(winepath -u "$(registry_value InstallLocation)")" = "$install_dir" ] || fail "InstallLocation is not the install folder"
  [ "$(registry_value NoModify)" = 0x1 ] && [ "$(registry_value NoRepair)" = 0x1 ] || fail "NoModify or NoRepair is not 1"

  say "Start-menu shortcut"
  [ -f "$shortcut" ] || fail "no shortcut $shortcut"
  grep -aq 'bin\\marrowgate.exe' "$shortcut" || fail "the shortcut does not lead to bin\\marrowgate.exe"
  echo "  $shortcut"

  say "the installed window sorts $(basename "$sample")"
  drive_window "$install_dir/bin/marrowgate.exe" "$sample"
  is_library "$data_dir/lib/LIB_7.p" "$sample" || fail "no library $data_dir/lib/LIB_7.p"
  echo "  $data_dir/lib/LIB_7.p: $(wc -l <"$data_dir/lib/LIB_7.p") lines, $(head -n 1 "$sample" | tr -d '\r') ... *END*"
  # An installed copy never writes into its own folder.
  [ "$(cd "$install_dir" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)" = "$expected" ] ||
    fail "the window wrote into its install folder"
  user_files="$(cd "$data_dir" && find . -type f | LC_ALL=C sort)"

  quiet="$(registry_value QuietUninstallString)"
  say "silent uninstall: $quiet"
  uninstaller="$(sed -n 's/^"\(.*\)" \/S$/\1/p' <<<"$quiet")"
  [ -n "$uninstaller" ] || fail "QuietUninstallString is not \"UNINSTALLER\" /S"
  # The uninstaller goes on from a copy of itself: wait until Wine is idle.
  wine "$uninstaller" /S || fail "the uninstaller failed (status $?)"
  wineserver -w
  [ ! -e "$install_dir" ] || fail "the install folder is still there: $(find "$install_dir" | tr '\n' ' ')"
  [ ! -e "$shortcut" ] || fail "the shortcut is still there"
  ! wine reg query "$key" >/dev/null 2>&1 || fail "the registry entry is still there"
  [ "$(cd "$data_dir" && find . -type f | LC_ALL=C sort)" = "$user_files" ] ||
    fail "the user's files in $data_dir changed"
  is_library "$data_dir/lib/LIB_7.p" "$sample" || fail "the user's $data_dir/lib/LIB_7.p is gone"
  echo "  the install folder, the shortcut and the registry entry are gone; kept in $data_dir:"
  echo "$user_files" | sed 's|^\./|    |'
  say "the installer passed its test"
fi
echo "windows-installer.sh: $setup"

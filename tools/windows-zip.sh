#!/usr/bin/env bash
# Cross-builds the window marrowgate.exe and the command line marrowgate-cli.exe
# for 64-bit Windows with MinGW-w64 (static runtime: no DLL beside them is
# needed) and packs them, stripped, with the message file and a short guide
# into marrowgate-<version>-win64.zip, whose folder bears the same name. A copy
# unpacked anywhere is a portable one: it writes lib and tmp beside itself.
#   tools/windows-zip.sh          makes the zip (its path is the last line)
#   tools/windows-zip.sh --test   also unpacks it into fresh folders and, under
#                                 Wine, sorts a sample library with the command
#                                 line, then with the window on a virtual display
# Fails when the stripped marrowgate.exe is 3 MB or more.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
. "$root/tools/windows-common.sh"
test_it=0
[ "${1:-}" = "--test" ] && test_it=1

packages=(cmake g++-mingw-w64-x86-64-posix nlohmann-json3-dev libcli11-dev)
targets=(marrowgate marrowgate-cli)
if [ $test_it -eq 1 ]; then
  packages+=(wine wine64 xvfb)
  targets+=(marrowgate-window-driver)
fi
install_missing "${packages[@]}"
cross_build "${targets[@]}"

name="marrowgate-$version-win64"
build="$win_build/zip"
stage="$build/$name"
zip="$build/$name.zip"
rm -rf "$stage" "$zip"
mkdir -p "$stage"
for program in marrowgate marrowgate-cli; do
  x86_64-w64-mingw32-strip -o "$stage/$program.exe" "$cross_bin/$program.exe"
done
cp "$root/resources/marrowgate_msg.dat" "$stage/"
sed "s/@VERSION@/$version/" "$root/tools/windows-readme.txt" | sed 's/$/\r/' > "$stage/README.txt"

window_size=$(stat -c %s "$stage/marrowgate.exe")
echo "windows-zip.sh: marrowgate.exe $window_size bytes, marrowgate-cli.exe $(stat -c %s "$stage/marrowgate-cli.exe") bytes"
if [ "$window_size" -ge 3000000 ]; then
  echo "windows-zip.sh: marrowgate.exe is $window_size bytes; it must stay under 3 MB (3000000 bytes)" >&2
  exit 1
fi
(cd "$build" && cmake -E tar cf "$name.zip" --format=zip "$name")

if [ $test_it -eq 1 ]; then
  start_wine "${WINEPREFIX:-$win_build/wineprefix}"
  fresh="$(mktemp -d)"
  at_exit "rm -rf '$fresh'"
  sample="$root/samples/logic.p"
  for copy in cli window; do
    mkdir "$fresh/$copy"
    (cd "$fresh/$copy" && cmake -E tar xf "$zip")
  done

  wine "$fresh/cli/$name/marrowgate-cli.exe" --version
  wine "$fresh/cli/$name/marrowgate-cli.exe" --sort alphanumeric "$(winepath -w "$sample")"
  # A portable copy writes beside itself.
  is_library "$fresh/cli/$name/lib/LIB_7.p" "$sample" ||
    { echo "windows-zip.sh: marrowgate-cli.exe wrote no library LIB_7.p beside itself" >&2; exit 1; }
  echo "windows-zip.sh: the unpacked marrowgate-cli.exe sorted a sample library under Wine"

  drive_window "$fresh/window/$name/marrowgate.exe" "$sample"
  is_library "$fresh/window/$name/lib/LIB_7.p" "$sample" ||
    { echo "windows-zip.sh: marrowgate.exe wrote no library LIB_7.p beside itself" >&2; exit 1; }
  echo "windows-zip.sh: the unpacked marrowgate.exe sorted a sample library under Wine"
fi
echo "windows-zip.sh: $zip"

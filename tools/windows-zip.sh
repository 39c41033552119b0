#!/usr/bin/env bash
# Cross-builds marrowgate-cli.exe for 64-bit Windows with MinGW-w64 (static
# runtime: no DLL beside it is needed) and packs it with the message file and a
# short text on its use into marrowgate-cli-<version>-win64.zip.
#   tools/windows-zip.sh          makes the zip (path printed at the end)
#   tools/windows-zip.sh --test   also unpacks it into a fresh folder and sorts a
#                                 sample library with the .exe under Wine
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${MARROWGATE_WIN_BUILD:-$root/build-win}/zip"
test_it=0
[ "${1:-}" = "--test" ] && test_it=1

packages=(cmake g++-mingw-w64-x86-64-posix nlohmann-json3-dev)
[ $test_it -eq 1 ] && packages+=(wine wine64)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DMARROWGATE_BUILD_GUI=OFF -DMARROWGATE_BUILD_TESTS=OFF -DMARROWGATE_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"${JOBS:-2}" --target marrowgate-cli

version=$(sed -n 's/^project(Marrowgate VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name="marrowgate-cli-$version-win64"
stage="$build/$name"
rm -rf "$stage" "$build/$name.zip"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/marrowgate-cli.exe" "$build/bin/marrowgate-cli.exe"
cp "$root/resources/marrowgate_msg.dat" "$stage/"
sed "s/@VERSION@/$version/" "$root/tools/windows-readme.txt" | sed 's/$/\r/' > "$stage/README.txt"
(cd "$build" && cmake -E tar cf "$name.zip" --format=zip "$name")
zip="$build/$name.zip"
echo "windows-zip.sh: $zip"

if [ $test_it -eq 1 ]; then
  export WINEDEBUG=-all
  export WINEPREFIX="${WINEPREFIX:-${MARROWGATE_WIN_BUILD:-$root/build-win}/wineprefix}"
  fresh=$(mktemp -d)
  trap 'rm -rf "$fresh"' EXIT
  (cd "$fresh" && cmake -E tar xf "$zip")
  cp "$root/samples/logic.p" "$fresh/logic.p"
  wine "$fresh/$name/marrowgate-cli.exe" --version
  wine "$fresh/$name/marrowgate-cli.exe" --sort alphanumeric "$(winepath -w "$fresh/logic.p")"
  # A portable copy writes beside itself.
  [ -f "$fresh/$name/lib/LIB_7.p" ] || { echo "windows-zip.sh: no LIB_7.p beside the unpacked program" >&2; exit 1; }
  head -c 28 "$fresh/$name/lib/LIB_7.p" | grep -q 'PADS-LIBRARY-PART-TYPES-V4' || { echo "windows-zip.sh: LIB_7.p is not a library" >&2; exit 1; }
  echo "windows-zip.sh: the unpacked zip sorted a sample library under Wine"
fi

#!/usr/bin/env bash
# Takes the screenshots of the Windows window in docs/ under Wine and Xvfb,
# at 100 % (96 dots per inch) and 150 % (144): the two sample libraries
# listed and "Logic Family" chosen, then after a run of libraries that leave
# many warnings, with the box the run leaves, on a screen 768 pixels high.
#   tools/windows-screenshots.sh [OUT_FOLDER]     (default: docs)
# Needs marrowgate.exe built by tools/windows-test.sh (MARROWGATE_WIN_BUILD,
# default build-win), xvfb-run, xdotool and ImageMagick.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${MARROWGATE_WIN_BUILD:-$root/build-win}"
out="$(realpath -m "${1:-$root/docs}")"
exe="$build/marrowgate/bin/marrowgate.exe"
[ -f "$exe" ] || { echo "windows-screenshots.sh: build $exe first (tools/windows-test.sh)" >&2; exit 1; }
for tool in xvfb-run xdotool convert; do
  command -v "$tool" >/dev/null || { echo "windows-screenshots.sh: $tool is missing" >&2; exit 1; }
done
mkdir -p "$out"
work="$build/screenshots"
rm -rf "$work"
mkdir -p "$work"
export WINEDEBUG=-all
# Wine's drive Z: is the root of this machine.
windows_path() { local path="$1"; printf 'Z:%s' "${path//\//\\}"; }

# Libraries whose run leaves warnings of every kind the window groups: names
# met twice, and a last part without its closing empty line.
{
  printf '*PADS-LIBRARY-PART-TYPES-V4*\r\n\r\n'
  for i in $(seq 1 60); do printf 'DUP%02d SO8 I FAM%02d 3 1 0 0 0\r\nGATE 1 2 0\r\n\r\n' "$i" "$((i % 45))"; done
} >"$work/first.p"
{
  printf '*PADS-LIBRARY-PART-TYPES-V4*\r\n\r\n'
  for i in $(seq 1 60); do printf 'DUP%02d SO8 I OTHER 3 1 0 0 0\r\nGATE 1 2 0\r\n\r\n' "$i"; done
  printf 'LAST SO8 I OTHER 3 1 0 0 0\r\nGATE 1 2 0\r\n'
} >"$work/second.p"

# shot DPI SCREEN NAME KEYS FILE...: the window of marrowgate.exe after the
# keys, in a Wine desktop of that size, cropped to what is not the desktop.
shot() {
  local dpi="$1" screen="$2" name="$3" keys="$4"
  shift 4
  local prefix="$work/prefix-$dpi"
  local app="$work/app-$name"
  mkdir -p "$app"
  local args=(--app-folder "$(windows_path "$app")")
  for file in "$@"; do args+=("$(windows_path "$file")"); done
  WINEPREFIX="$prefix" SCREEN="$screen" DPI="$dpi" KEYS="$keys" SHOT="$work/$name.png" EXE="$exe" \
    xvfb-run -a -s "-screen 0 ${screen}x24" bash -c '
      set -e
      if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wine wineboot --init >/dev/null 2>&1 || true
        wineserver -w
      fi
      wine reg add "HKCU\\Control Panel\\Desktop" /v LogPixels /t REG_DWORD /d "$DPI" /f >/dev/null 2>&1
      wine reg add "HKCU\\Software\\Wine\\Explorer" /v Desktop /d Default /f >/dev/null 2>&1
      wine reg add "HKCU\\Software\\Wine\\Explorer\\Desktops" /v Default /d "$SCREEN" /f >/dev/null 2>&1
      wineserver -w
      wine "$EXE" "$@" >/dev/null 2>&1 &
      sleep 4
      for key in $KEYS; do xdotool key "$key"; sleep 1.5; done
      sleep 1
      import -window root "$SHOT"
      wineserver -k || true' _ "${args[@]}"
}

shot 96 1600x1000 window "alt+l" "$root/samples/logic.p" "$root/samples/discretes.p"
shot 144 1600x1000 window-150 "alt+l" "$root/samples/logic.p" "$root/samples/discretes.p"
shot 96 1366x768 after-run "alt+l alt+e" "$work/first.p" "$work/second.p"
shot 144 1366x768 after-run-150 "alt+l alt+e" "$work/first.p" "$work/second.p"

# The desktop is one colour: trimmed away, the window (and its box) remains.
convert "$work/window.png" -trim +repage -strip "$out/windows-window.png"
convert "$work/window-150.png" -trim +repage -strip "$out/windows-window-150.png"
# The screens 768 pixels high are kept whole: the box must fit on them.
convert "$work/after-run.png" -strip -colors 256 "PNG8:$out/windows-after-run.png"
convert "$work/after-run-150.png" -strip -colors 256 "PNG8:$out/windows-after-run-150.png"
ls -l "$out"/windows-*.png

#!/usr/bin/env bash
# Builds the Debian package, installs it, checks that the installed programs
# work in the per-user data folder and write nothing under /usr, and removes it.
# Needs root (dpkg). Usage: tools/package-test.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
fail() { echo "package test: FAILED: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/marrowgate_*_amd64.deb | head -n1)
[ -f "$deb" ] || fail "no package was made"
echo "package: $deb"
dpkg -i "$deb" >/dev/null

home=$(mktemp -d)
stamp=$(mktemp)
trap 'rm -rf "$home" "$stamp"' EXIT
touch "$stamp"
sleep 1

version=$(env -u XDG_DATA_HOME HOME="$home" /usr/bin/marrowgate-cli --version)
echo "installed: $version"
[[ "$version" == "marrowgate-cli "* ]] || fail "--version printed '$version'"

env -u XDG_DATA_HOME HOME="$home" /usr/bin/marrowgate-cli --sort alphanumeric samples/logic.p samples/discretes.p
lib="$home/.local/share/marrowgate/lib"
[ -f "$lib/LIB_7.p" ] || fail "no output in $lib"
[ -f "$home/.local/share/marrowgate/tmp/Alphabetic.dat" ] || fail "no list file in the per-user folder"

if [ -x /usr/bin/marrowgate ]; then
  rm -rf "$home/.local/share/marrowgate"
  env -u XDG_DATA_HOME HOME="$home" QT_QPA_PLATFORM=offscreen MARROWGATE_SITE_URL=http://127.0.0.1:9 \
    timeout 5 /usr/bin/marrowgate >/dev/null 2>&1 || true
  [ -d "$home/.local/share/marrowgate/lib" ] || fail "the installed window did not create its lib folder in the per-user folder"
  [ -d "$home/.local/share/marrowgate/tmp" ] || fail "the installed window did not create its tmp folder in the per-user folder"
  echo "installed window: folders created in $home/.local/share/marrowgate"
fi

written=$(find /usr -newer "$stamp" \( -type f -o -type d \) 2>/dev/null | grep -v -e '^/usr/share/icons' -e '^/usr/share/applications' -e '/__pycache__' || true)
[ -z "$written" ] || fail "written under /usr: $written"

files=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's#^\./#/#' | grep -v '/$')
dpkg -r marrowgate >/dev/null
for file in $files; do
  [ ! -e "$file" ] || fail "$file is left after removal"
done
echo "package test: passed (installed, ran in $home/.local/share/marrowgate, removed cleanly)"

#!/usr/bin/env bash
# Takes the README's screenshots of the Windows build: the options window
# and the About box, under Wine on a virtual X display, saved as
# docs/options.png and docs/about.png.
#
#   scripts/screenshots.sh [BUILD_DIR]     (default: build/windows-x64, built as needed)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(realpath -m "${1:-build/windows-x64}")

bash scripts/setup.sh >/dev/null
[ -f "$build/CMakeCache.txt" ] || cmake --preset windows-x64 -B "$build" >/dev/null
cmake --build "$build" --target orvanta window_probe >/dev/null

# A prefix of its own, whose programs open on a Wine desktop: Wine then
# draws the windows' frames and captions itself, as Windows does.
prefix=$build/screenshots-prefix
work=$(mktemp -d)
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  wineserver -k 2>/dev/null || true
  bash "$root/scripts/wine-session.sh" stop "$prefix" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
bash scripts/wine-session.sh start "$prefix" >/dev/null
DISPLAY=$(cat "$prefix/xvfb-display")
export DISPLAY
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 640x480 /f >/dev/null 2>&1
# Wine's Marlett, for the caption buttons (Debian's Wine leaves its own fonts
# out of a new prefix). Not Wine's Tahoma: its narrow average character makes
# dialog units smaller than Windows' Tahoma does, and labels that fit on
# Windows would be cut; the dialog font falls back to DejaVu Sans, whose
# proportions are closer.
cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
wineserver -k  # the desktop and the fonts are taken when it starts again
wineserver -w

# The program beside a settings file with a few servers and a last adjustment.
cp "$build/src/orvanta.exe" "$work/"
printf '%s\r\n' '[OPTIONS]' 'period=60' '[SERVERS]' 'server_1=time.cloudflare.com' 'server_2=pool.ntp.org' \
  'server_3=0.pool.ntp.org' 'server_4=time.nist.gov' '[INFO]' 'adjusted=-0.250' \
  'last=D907030000000F000000030039007E03AF' > "$work/orvanta.ini"

probe=$build/tests/window_probe.exe
geometry() { wine "$probe" geometry "$1" 60 | tr -d '\r'; }
mkdir -p docs
wine "$work/orvanta.exe" options </dev/null >/dev/null 2>&1 &
app=$!
geometry Orvanta >/dev/null
# The About box first: the options window is active again once it closes
# (with no window manager, nothing else makes a window the active one).
wine "$probe" syscommand Orvanta 16  # the system menu's About item
shot=$(geometry "About Orvanta")
import -window root -crop "$shot" +repage docs/about.png
wine "$probe" close "About Orvanta"
sleep 1
shot=$(geometry Orvanta)
import -window root -crop "$shot" +repage docs/options.png
wine "$probe" close Orvanta
wait "$app" || true
echo "screenshots: docs/options.png docs/about.png"

#!/usr/bin/env bash
# The Windows installer under Wine's own msiexec and service manager: a
# silent install (the program, its Start-menu shortcut, a running service
# registered as "installme" registers it, the event source), an upgrade
# handed over by the program's own "/I" that keeps the user's settings, and
# a silent removal that leaves nothing but those settings.
#   msi_package_test.sh BUILD_DIR ARCH SERVICE_CONTROL RUNNER
set -euo pipefail
. "$(dirname "$0")/lib.sh"
build=$1 arch=$2 control=$3 runner=$4
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The x64 package registers itself in the 64-bit view of the registry.
view=(); [ "$arch" = x64 ] && view=(/reg:64)
installed_version() {
  reg_query "$uninstall_key" /s "${view[@]}" | grep -A20 'DisplayName.*Orvanta' |
    sed -nE 's/.*DisplayVersion\s+REG_SZ\s+(.*)$/\1/p' | head -n 1
}
shortcut() { find "$prefix/drive_c" -name 'Orvanta options.lnk' 2>/dev/null | head -n 1; }
on_exit() { [ -f "$work/newer.msi" ] && run msiexec /x "$work/newer.msi" /qn; run msiexec /x "$work/older.msi" /qn; }

begin
prefix=$(sed -nE "s/^export WINEPREFIX='(.*)'$/\1/p" "$runner")
bash "$(dirname "$0")/../../scripts/make-msi.sh" "$build" "$arch" 1.0.8 "$work/older.msi"
bash "$(dirname "$0")/../../scripts/make-msi.sh" "$build" "$arch" 1.0.9 "$work/newer.msi"
# A 32-bit package in a 64-bit prefix goes where 32-bit programs go.
program_files='C:\Program Files'
[ "$arch" = x86 ] && [ -d "$prefix/drive_c/Program Files (x86)" ] && program_files='C:\Program Files (x86)'
folder=$($runner winepath -u "$program_files\Orvanta" | tr -d '\r')
unregistered || die "$service is registered before the test"

echo "-- msiexec /i /qn: the program, the shortcut and a running service"
run msiexec /i "$work/older.msi" /qn
[ "$status" = 0 ] || die "msiexec /i exited $status"
[ -f "$folder/orvanta.exe" ] || die "no orvanta.exe in $folder"
[ -n "$(shortcut)" ] || die "no Start-menu shortcut"
wait_until 30 in_state RUNNING || die "the service: $out"
[ "$(field binary_path "$out")" = "\"$program_files\\Orvanta\\orvanta.exe\"" ] || die "registered as $(field binary_path "$out")"
reg_query "$source_key" | grep -qF "$program_files\\Orvanta\\orvanta.exe" || die "no event source"
[ "$(installed_version)" = 1.0.8 ] || die "installed version: $(installed_version)"
printf '[OPTIONS]\r\nperiod=42\r\n' >"$folder/orvanta.ini"

echo "-- orvanta.exe /I newer.msi: the system folder's MsiExec.exe upgrades in place and keeps orvanta.ini"
newer=$($runner winepath -w "$work/newer.msi" | tr -d '\r')
WINEDEBUG=+process run "$folder/orvanta.exe" /I "$newer"
upgraded() { [ "$(installed_version)" = 1.0.9 ]; }
wait_until 120 upgraded || die "still $(installed_version) after the upgrade"
grep -qF 'app L"C:\\windows\\system32\\MsiExec.exe" cmdline L"MsiExec.exe /I '"${newer//\\/\\\\}\"" "$log" ||
  die "launched: $(grep -i 'cmdline L"msiexec' "$log" | head -n 3)"
wait_until 30 in_state RUNNING || die "after the upgrade the service: $out"
grep -q '^period=42' "$folder/orvanta.ini" || die "the settings changed: $(cat "$folder/orvanta.ini")"

echo "-- msiexec /x /qn: everything goes but the changed orvanta.ini"
run msiexec /x "$work/newer.msi" /qn
[ "$status" = 0 ] || die "msiexec /x exited $status"
wait_until 30 unregistered || die "the service is still registered"
[ "$(ls -A "$folder")" = orvanta.ini ] || die "left in $folder: $(ls -A "$folder")"
[ -z "$(shortcut)" ] || die "the shortcut is still there"
! reg_query "$source_key" >/dev/null || die "the event source is still registered"
[ -z "$(installed_version)" ] || die "still listed as installed"
echo "PASS"

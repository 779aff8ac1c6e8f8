#!/usr/bin/env bash
# The Debian package through install, start, remove and purge, in a
# throwaway root: a copy-on-write view of a minimal Debian made by
# debootstrap (scripts/setup.sh keeps one in /var/cache/orvanta/rootfs),
# never on this machine itself. No systemd runs there, so a stand-in
# systemctl marks the service started or stopped (the calls themselves are
# the Linux service test's).
#   deb_package_test.sh PROGRAM     (the native build's program, packaged here)
set -euo pipefail
. "$(dirname "$0")/lib.sh"
program=$1
rootfs=${ORVANTA_ROOTFS:-/var/cache/orvanta/rootfs}
[ -x "$rootfs/usr/bin/dpkg" ] || die "no throwaway root at $rootfs (scripts/setup.sh makes one)"
# The mounts live and die with a mount namespace of the test's own.
if [ "${ORVANTA_IN_MOUNTNS:-}" != 1 ]; then exec env ORVANTA_IN_MOUNTNS=1 unshare -m --propagation private bash "$0" "$@"; fi

work=$(mktemp -d)
root=$work/root
mkdir -p "$work/upper" "$work/scratch" "$root"
mount -t overlay overlay -o "lowerdir=$rootfs,upperdir=$work/upper,workdir=$work/scratch" "$root"
trap 'umount -R "$root" 2>/dev/null; rm -rf "$work"' EXIT
mount -t proc proc "$root/proc"  # the program finds itself through /proc/self/exe
mkdir -p "$root/run/systemd/system"
cat >"$root/usr/local/bin/systemctl" <<'STANDIN'
#!/bin/sh
case " $* " in
  *" is-active "*) [ -e /run/orvanta-active ] ;;
  *" start "*) : >/run/orvanta-active ;;
  *" stop "*) rm -f /run/orvanta-active ;;
esac
STANDIN
chmod 755 "$root/usr/local/bin/systemctl"
bash "$(dirname "$0")/../../scripts/make-deb.sh" "$program" 1.0.0.8 "$root/tmp/orvanta.deb"
in_root() { chroot "$root" /usr/bin/env PATH=/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"; }
unit=$root/etc/systemd/system/OrvantaService.service

echo "-- install: the program's own installme writes the unit and starts the service"
in_root dpkg -i /tmp/orvanta.deb >"$work/dpkg.log" 2>&1 || die "dpkg -i: $(cat "$work/dpkg.log")"
[ -x "$root/opt/orvanta/orvanta" ] || die "the program is not in /opt/orvanta"
grep -qx 'ExecStart=/opt/orvanta/orvanta' "$unit" || die "unit: $(cat "$unit" 2>&1)"
[ -e "$root/run/orvanta-active" ] || die "the service was not started"
printf '[OPTIONS]\nperiod=42\n' >"$root/opt/orvanta/orvanta.ini"

echo "-- remove: stopped, the unit and the program gone; the settings kept"
in_root dpkg -r orvanta >>"$work/dpkg.log" 2>&1 || die "dpkg -r: $(cat "$work/dpkg.log")"
[ ! -e "$root/run/orvanta-active" ] || die "the service still runs"
[ ! -e "$unit" ] && [ ! -e "$unit.lock" ] || die "the unit is still there"
[ ! -e "$root/opt/orvanta/orvanta" ] || die "the program is still there"
[ "$(cat "$root/opt/orvanta/orvanta.ini")" = $'[OPTIONS]\nperiod=42' ] || die "the settings file changed"

echo "-- purge: the settings file and the folder go too"
in_root dpkg -P orvanta >>"$work/dpkg.log" 2>&1 || die "dpkg -P: $(cat "$work/dpkg.log")"
[ ! -e "$root/opt/orvanta" ] || die "left behind: $(ls -A "$root/opt/orvanta")"
echo "PASS"

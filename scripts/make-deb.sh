#!/usr/bin/env bash
# make-deb.sh PROGRAM VERSION OUTPUT: the Debian package (amd64) of a native
# build's program: it goes to /opt/orvanta, beside its settings file.
set -euo pipefail
program=$(realpath "$1") version=$2 output=$(realpath -m "$3")
here=$(realpath "$(dirname "$0")/../packaging/debian")
package=$(mktemp -d)
trap 'rm -rf "$package"' EXIT
install -d -m 755 "$package/DEBIAN" "$package/opt/orvanta" "$package/usr/share/doc/orvanta" \
  "$package/usr/share/lintian/overrides"
install -m 755 -s "$program" "$package/opt/orvanta/orvanta"
install -m 644 "$here/copyright" "$package/usr/share/doc/orvanta/copyright"
install -m 644 "$here/lintian-overrides" "$package/usr/share/lintian/overrides/orvanta"
printf 'orvanta (%s) stable; urgency=medium\n\n  * Release %s.\n\n -- The Orvanta project <maintainers@orvanta.org>  %s\n' \
  "$version" "$version" "$(date -R -d "@$(git -C "$here" log -1 --format=%ct 2>/dev/null || date +%s)")" |
  gzip -9n >"$package/usr/share/doc/orvanta/changelog.gz"
chmod 644 "$package/usr/share/doc/orvanta/changelog.gz"
for script in postinst prerm postrm; do install -m 755 "$here/$script" "$package/DEBIAN/$script"; done
# The libraries the program loads, as the packages that carry them.
depends=$(for library in $(ldd "$program" | sed -nE 's/.* => (\/[^ ]+) .*/\1/p'); do
  dpkg -S "$library" 2>/dev/null || dpkg -S "$(realpath "$library")" 2>/dev/null || true
done | cut -d: -f1 | sort -u | paste -sd, - | sed 's/,/, /g')
sed -e "s/@VERSION@/$version/" -e "s/@SIZE@/$(du -sk --exclude=DEBIAN "$package" | cut -f1)/" \
  -e "s/@DEPENDS@/$depends/" "$here/control.in" >"$package/DEBIAN/control"
dpkg-deb --root-owner-group -Zxz --build "$package" "$output" >/dev/null

#!/usr/bin/env bash
# Builds the release into dist/: the Windows installers (x64 and x86), the
# stripped Windows programs with the licence of the OpenSSL linked into them,
# the Debian package and SHA256SUMS.
#
#   scripts/release.sh
#
# The version is the project's (CMakeLists.txt), in four fields: 1.0.0.8.
# Windows Installer compares only the first three of its own version, and the
# third may not pass 65535, so the MSI carries MAJOR.MINOR.(PATCH x 1000 +
# TWEAK): 1.0.0.8 becomes 1.0.8 and 1.0.1.0 becomes 1.0.1000. Every build
# counted by the fourth field is then a major upgrade of the one before, as
# long as PATCH stays below 65 and TWEAK below 1000.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build-program.sh linux windows-x64 windows-x86

version=$(sed -nE 's/^CMAKE_PROJECT_VERSION:STATIC=(.*)$/\1/p' build/linux/CMakeCache.txt)
IFS=. read -r major minor patch tweak <<<"$version"
msi_version=$major.$minor.$((patch * 1000 + tweak))

rm -rf dist
mkdir -p dist
for arch in x64 x86; do
  cp "build/windows-$arch/src/orvanta.exe" "dist/orvanta-$version-$arch.exe"
  cp "build/windows-$arch/src/OpenSSL-LICENSE.txt" dist/
  bash scripts/make-msi.sh "build/windows-$arch" "$arch" "$msi_version" "dist/orvanta-$version-$arch.msi"
done
bash scripts/make-deb.sh build/linux/src/orvanta "$version" "dist/orvanta_${version}_amd64.deb"
lintian --fail-on error "dist/orvanta_${version}_amd64.deb"

(cd dist && sha256sum -- * >SHA256SUMS)
echo "release $version (MSI $msi_version):"
ls -l dist

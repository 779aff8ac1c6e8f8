#!/usr/bin/env bash
# make-msi.sh BUILD_DIR ARCH VERSION OUTPUT: the Windows installer (x64 or
# x86) of a Windows build's stripped orvanta.exe, its icon and the licence of
# the OpenSSL linked into it, with the MSI's three-field VERSION
# (scripts/release.sh says how it is made).
set -euo pipefail
build=$(realpath "$1") arch=$2 version=$3 output=$(realpath -m "$4")
wxs=$(realpath "$(dirname "$0")/../packaging/orvanta.wxs")
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$build/src/orvanta.exe" "$build/src/ui/orvanta.ico" "$build/src/OpenSSL-LICENSE.txt" "$stage/"
cd "$stage"
wixl -a "$arch" -D Version="$version" -D Arch="$arch" -D Exe=orvanta.exe -D Icon=orvanta.ico -o "$output" "$wxs"

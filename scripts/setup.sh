#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent: a second run finds everything in place and only checks.
set -euo pipefail
[ "$(id -u)" = 0 ] || { echo "setup: must run as root: it checks and installs Debian packages (dpkg, apt-get)" >&2; exit 1; }

packages=(
  # native build and tests; OpenSSL 3, and its command-line tool for the tests' certificates
  cmake ninja-build g++ googletest python3 libssl-dev openssl
  # Windows cross builds (x64 and x86), static, posix threads
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  # the Windows builds' static OpenSSL, from Debian's source package: unpacking,
  # the developers' keys its signature is checked with, the build
  dpkg-dev debian-keyring make perl patch
  # Windows tests: 64-bit and 32-bit Wine, a virtual X display for windows
  wine wine64 wine32:i386 xvfb xauth
  # Wine's own fonts (dialog font, caption buttons); screenshots of the windows
  fonts-wine imagemagick
  # a real NTP peer and a reference client, in private network namespaces
  chrony ntpsec-ntpdig iproute2 util-linux
  # unit-file checks for the Linux service
  systemd
  # fuzzers of the parsers: libFuzzer with clang
  clang-14 libclang-rt-14-dev
  # the installers: the MSI (wixl), the Debian package's checks, a throwaway root to install it in
  wixl msitools lintian debootstrap xxd
  # the benchmark: system calls between passes, the plot
  strace python3-matplotlib
)

need_install=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_install=1
fi
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    need_install=1
  fi
done

if [ "$need_install" = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  # Installing chrony must never start a system-wide daemon that steers this
  # machine's clock: keep services from starting while packages go in.
  # Only a policy file created here is ours to remove, on every way out.
  policy=/usr/sbin/policy-rc.d
  if (set -C; printf '#!/bin/sh\nexit 101\n' >"$policy") 2>/dev/null; then
    trap 'rm -f "$policy"' EXIT
    chmod +x "$policy"
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
fi

# A minimal Debian of this release for the package test to install into,
# with the libraries the package depends on, made once and kept (remade when
# it lacks one): the package is never installed on this machine itself.
rootfs=/var/cache/orvanta/rootfs
if ! [ -x "$rootfs/usr/bin/dpkg" ] || ! ls "$rootfs"/usr/lib/*/libssl.so.3 >/dev/null 2>&1; then
  rm -rf "$rootfs.new" "$rootfs"
  mkdir -p "$(dirname "$rootfs")"
  debootstrap --variant=minbase --include=libssl3 "$(. /etc/os-release && echo "$VERSION_CODENAME")" "$rootfs.new" >/dev/null
  mv "$rootfs.new" "$rootfs"
fi

# The static OpenSSL of the Windows builds, made once per source version and
# toolchain and kept in /var/cache/orvanta/openssl.
bash "$(dirname "$0")/build-openssl-mingw.sh"

echo "setup: all packages present"

#!/usr/bin/env bash
# Builds the static OpenSSL 3 the Windows builds link (TLS 1.3, the key export,
# X.509 verification and AES-SIV for Network Time Security), for x64 and x86,
# from Debian's own source package, and keeps it in a cache:
#
#   /var/cache/orvanta/openssl/<Debian version>-gcc<MinGW gcc Debian version>-<recipe>/
#       x86_64/ and i686/: include/openssl/*.h, lib/libssl.a, lib/libcrypto.a,
#                          LICENSE.txt, copyright, build-info.txt
#   /var/cache/orvanta/openssl/current -> the folder above (what CMake uses)
#
# <recipe> is a short hash of the Configure options below, so changing them
# builds anew. Idempotent: with a complete build for this toolchain and these
# options in the cache it does nothing and needs no network. With --refresh it
# asks the archive again and builds a newer source version if one downloads.
#
# The source comes through apt with a temporary sources list made from this
# machine's own Debian entries (apt checks the signed Release file and the
# hashes), and the .dsc's signature is checked against the Debian developers'
# keyring before anything is unpacked or built. /etc and apt's own lists stay
# untouched.
set -euo pipefail
[ "$(id -u)" = 0 ] || { echo "openssl: must run as root: it writes /var/cache/orvanta" >&2; exit 1; }

cache=/var/cache/orvanta/openssl
arches=(x86_64 i686)
keyrings=(/usr/share/keyrings/debian-keyring.gpg /usr/share/keyrings/debian-maintainers.gpg)
refresh=0
[ "${1:-}" = --refresh ] && refresh=1

# What the program needs, and little more: a TLS 1.3 client (TLS 1.2 stays
# built, the way OpenSSL is most tested; the program asks for 1.3), ECDHE with
# X25519 and P-256, RSA and ECDSA certificates, SHA-2, HKDF, AES-GCM,
# ChaCha20-Poly1305, AES-SIV (CMAC), sockets, threads, error strings. The
# assembly stays: constant-time AES and P-256 (without it, 340 KB less).
# No configuration file is read at start-up.
# The data folder, where default certificates would be looked for, is one only
# administrators may write: a Unix path would name a folder on the current
# drive that any user could create.
options=(
  no-shared no-tests no-module no-dso no-engine no-legacy no-deprecated
  no-autoload-config no-ui-console no-async no-comp
  no-ssl3 no-tls1 no-tls1_1 no-dtls no-dgram no-sctp no-srtp
  no-srp no-nextprotoneg no-ct no-ocsp no-cms no-ts no-cmp no-rfc3779
  no-dh no-dsa no-ec2m no-sm2 no-sm3 no-sm4 no-gost
  no-idea no-mdc2 no-rc2 no-rc4 no-rc5 no-md4 no-des no-bf no-cast
  no-camellia no-aria no-seed no-whirlpool no-rmd160 no-blake2 no-scrypt
  no-siphash no-ocb no-ssl-trace no-multiblock no-filenames
  "--prefix=C:/Program Files/Common Files" --openssldir=SSL --libdir=lib
  -Os
)
configure_target() { case $1 in x86_64) echo mingw64 ;; i686) echo mingw ;; esac; }

# The -posix compilers, as cmake/toolchains/*.cmake name them, whatever the
# plain names point to through update-alternatives.
for arch in "${arches[@]}"; do
  command -v "$arch-w64-mingw32-gcc-posix" >/dev/null ||
    { echo "openssl: $arch-w64-mingw32-gcc-posix missing: run scripts/setup.sh" >&2; exit 1; }
done
# The compilers' Debian versions: they say more than "gcc -dumpversion" (12-posix).
gcc_version=$(dpkg-query -W -f='${Version}' gcc-mingw-w64-x86-64-posix)
gcc_version_x86=$(dpkg-query -W -f='${Version}' gcc-mingw-w64-i686-posix)
[ "$gcc_version_x86" = "$gcc_version" ] || gcc_version="$gcc_version,$gcc_version_x86"
recipe=$(printf '%s\n' "${options[@]}" | sha256sum | cut -c1-8)
suffix="-gcc$gcc_version-$recipe"

mkdir -p "$cache"
# One build at a time, whichever worktree's setup started it.
exec 9>"$cache/.lock"
flock 9

complete() { [ -f "$cache/$1/x86_64/lib/libcrypto.a" ] && [ -f "$cache/$1/i686/lib/libcrypto.a" ]; }
point_current() {
  ln -sfn "$1" "$cache/current.new"
  mv -T "$cache/current.new" "$cache/current"
}

if [ "$refresh" = 0 ]; then
  key=$(readlink "$cache/current" 2>/dev/null || true)
  if [ -n "$key" ] && [[ $key == *"$suffix" ]] && complete "$key"; then
    echo "openssl: cached, $cache/current -> $key"
    exit 0
  fi
  # A complete build for this toolchain and recipe that is not current yet.
  best=
  for dir in "$cache"/*"$suffix"; do
    [ -d "$dir" ] && complete "${dir##*/}" || continue
    version=${dir##*/}; version=${version%"$suffix"}
    if [ -z "$best" ] || dpkg --compare-versions "$version" gt "${best%"$suffix"}"; then best=${dir##*/}; fi
  done
  if [ -n "$best" ]; then
    point_current "$best"
    echo "openssl: cached, $cache/current -> $best"
    exit 0
  fi
fi

for tool in apt-get dpkg-source gpgv make patch perl wine; do
  command -v "$tool" >/dev/null || { echo "openssl: $tool missing: run scripts/setup.sh" >&2; exit 1; }
done
for keyring in "${keyrings[@]}"; do
  [ -f "$keyring" ] || { echo "openssl: $keyring missing (debian-keyring): run scripts/setup.sh" >&2; exit 1; }
done

tmp=$(mktemp -d)
partial=
cleanup() {
  if [ -d "$tmp/wine" ]; then WINEPREFIX="$tmp/wine" wineserver -k 2>/dev/null || true; fi
  rm -rf "$tmp"
  if [ -n "$partial" ]; then rm -rf "$partial"; fi
}
trap cleanup EXIT
# apt downloads as its own user (_apt) where it may.
chmod 0755 "$tmp"
mkdir -p "$tmp/apt/sources.list.d" "$tmp/apt/lists/partial" "$tmp/apt/cache/archives/partial" "$tmp/download"
: >"$tmp/apt/sources.list"
if id _apt >/dev/null 2>&1; then chown _apt "$tmp/download"; fi
# Runs a long command with its output in a log; shows the log's end on failure.
logged() {
  local log=$1; shift
  if ! "$@" >"$log" 2>&1; then
    tail -n 15 "$log" >&2
    echo "openssl: failed: $*" >&2
    return 1
  fi
}

# deb-src entries of this release's Debian archive, made from the deb entries
# of the machine's apt sources (one-line .list files and deb822 .sources).
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:?}")
suite_re="^($codename|stable)(-updates|-security|/updates)?\$"
archive_re='/debian(-security)?(/[0-9]+T[0-9]+Z)?/?$'
one_line_sources() {
  awk -v suite_re="$suite_re" -v archive_re="$archive_re" '
    { sub(/#.*/, "") }
    $1 != "deb" { next }
    {
      i = 2; signed = ""
      if ($2 ~ /^\[/) {
        for (; i <= NF; i++) {
          word = $i; gsub(/[][]/, "", word)
          if (word ~ /^signed-by=/) signed = substr(word, 11)
          if ($i ~ /\]$/) { i++; break }
        }
      }
      uri = $i; suite = $(i + 1); main = 0
      for (j = i + 2; j <= NF; j++) if ($j == "main") main = 1
      if (!main || suite !~ suite_re) next
      if (uri !~ archive_re && signed !~ /debian-archive/) next
      print "Types: deb-src"; print "URIs: " uri; print "Suites: " suite; print "Components: main"
      if (signed != "") print "Signed-By: " signed
      print ""
    }' "$@"
}
deb822_sources() {
  awk -v suite_re="$suite_re" -v archive_re="$archive_re" '
    function reset() { types = uris = suites = comps = signed = enabled = field = "" }
    function flush(   n, s, i, list) {
      if (types ~ /(^| )deb( |$)/ && enabled !~ /^ *[Nn]o/ && comps ~ /(^| )main( |$)/ &&
          (uris ~ archive_re || signed ~ /debian-archive/)) {
        n = split(suites, s, " "); list = ""
        for (i = 1; i <= n; i++) if (s[i] ~ suite_re) list = list " " s[i]
        if (list != "") {
          print "Types: deb-src"; print "URIs:" uris; print "Suites:" list; print "Components: main"
          if (signed != "") print "Signed-By:" signed
          print ""
        }
      }
      reset()
    }
    FNR == 1 { flush() }
    /^#/ { next }
    /^[ \t]*$/ { flush(); next }
    /^[ \t]/ {
      if (field == "signed-by") signed = signed "\n" $0
      else if (field == "uris") uris = uris " " $1
      else if (field == "suites") suites = suites " " $0
      next
    }
    {
      c = index($0, ":"); field = tolower(substr($0, 1, c - 1)); value = substr($0, c + 1)
      if (field == "types") types = value
      else if (field == "uris") uris = value
      else if (field == "suites") suites = value
      else if (field == "components") comps = value
      else if (field == "signed-by") signed = value
      else if (field == "enabled") enabled = value
    }
    END { flush() }' "$@"
}
shopt -s nullglob
lists=(/etc/apt/sources.list /etc/apt/sources.list.d/*.list)
stanzas=(/etc/apt/sources.list.d/*.sources)
shopt -u nullglob
existing=()
for f in "${lists[@]}"; do [ -f "$f" ] && existing+=("$f"); done
{
  if [ ${#existing[@]} -gt 0 ]; then one_line_sources "${existing[@]}"; fi
  if [ ${#stanzas[@]} -gt 0 ]; then deb822_sources "${stanzas[@]}"; fi
} >"$tmp/apt/sources.list.d/debian-source.sources"
grep -q '^Types: deb-src' "$tmp/apt/sources.list.d/debian-source.sources" ||
  { echo "openssl: no Debian $codename archive among the apt sources" >&2; exit 1; }

apt_options=(
  -o Dir::Etc::SourceList="$tmp/apt/sources.list"
  -o Dir::Etc::SourceParts="$tmp/apt/sources.list.d"
  -o Dir::State::Lists="$tmp/apt/lists"
  -o Dir::Cache="$tmp/apt/cache"
)
logged "$tmp/apt-update.log" apt-get "${apt_options[@]}" update

# The newest source version that downloads completely (an archive may list a
# version whose files are not there yet).
mapfile -t offered < <(apt-cache "${apt_options[@]}" showsrc openssl | sed -n 's/^Version: //p' | sort -u)
[ ${#offered[@]} -gt 0 ] || { echo "openssl: the archive offers no openssl source" >&2; exit 1; }
newest_first=()
for v in "${offered[@]}"; do
  i=0
  while [ $i -lt ${#newest_first[@]} ] && dpkg --compare-versions "${newest_first[$i]}" gt "$v"; do i=$((i + 1)); done
  newest_first=("${newest_first[@]:0:$i}" "$v" "${newest_first[@]:$i}")
done
version=
for v in "${newest_first[@]}"; do
  rm -rf "$tmp/download/"*
  if (cd "$tmp/download" && apt-get "${apt_options[@]}" source --only-source --download-only "openssl=$v") \
       >"$tmp/apt-source.log" 2>&1; then
    version=$v
    break
  fi
  echo "openssl: source $v did not download, trying an older one"
done
[ -n "$version" ] || { tail -n 20 "$tmp/apt-source.log" >&2; echo "openssl: no openssl source downloaded" >&2; exit 1; }

key="$version$suffix"
if complete "$key"; then
  point_current "$key"
  echo "openssl: cached, $cache/current -> $key"
  exit 0
fi

# The signature of the .dsc (and with it the hashes of the tarballs) by a
# Debian developer, then dpkg-source's own check while unpacking.
dsc=$(echo "$tmp"/download/openssl_*.dsc)
[ -f "$dsc" ] || { echo "openssl: no .dsc downloaded" >&2; exit 1; }
export GNUPGHOME="$tmp/gnupg"
mkdir -m 0700 "$GNUPGHOME"
keyring_args=()
for keyring in "${keyrings[@]}"; do keyring_args+=(--keyring "$keyring"); done
if ! gpgv "${keyring_args[@]}" "$dsc" >"$tmp/gpgv.log" 2>&1; then
  cat "$tmp/gpgv.log" >&2
  echo "openssl: the signature of ${dsc##*/} does not verify: not building" >&2
  exit 1
fi
signer=$(sed -n 's/.*Good signature from "\([^"]*\)".*/\1/p' "$tmp/gpgv.log" | head -n 1)
src="$tmp/openssl-src"
logged "$tmp/dpkg-source.log" dpkg-source --require-valid-signature --require-strong-checksums -x "$dsc" "$src"
echo "openssl: source $version, signed by $signer"
# Debian's pic.patch makes the 32-bit x86 assembly position-independent ELF
# (.hidden, @PLT), which the Windows (COFF) assembler refuses: undone here.
if grep -qx 'pic.patch' "$src/debian/patches/series"; then
  logged "$tmp/pic.log" patch -d "$src" -R -p1 -i "$src/debian/patches/pic.patch"
fi

# A deterministic build date, from the package's changelog.
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l "$src/debian/changelog" -STimestamp)
export SOURCE_DATE_EPOCH
unset CC CXX CPP CFLAGS CXXFLAGS CPPFLAGS LDFLAGS LDLIBS CROSS_COMPILE AR RANLIB RC WINDRES OPENSSL_CONF

# What the program will do with it, checked under Wine for each architecture:
# AES-SIV against RFC 5297's first example, a TLS 1.3-only client context,
# X25519 and P-256, a ClientHello written, the key export linked in.
cat >"$tmp/probe.c" <<'EOF'
#include <stdio.h>
#include <string.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>

static const unsigned char key[32] = {
  0xff,0xfe,0xfd,0xfc,0xfb,0xfa,0xf9,0xf8,0xf7,0xf6,0xf5,0xf4,0xf3,0xf2,0xf1,0xf0,
  0xf0,0xf1,0xf2,0xf3,0xf4,0xf5,0xf6,0xf7,0xf8,0xf9,0xfa,0xfb,0xfc,0xfd,0xfe,0xff};
static const unsigned char ad[24] = {
  0x10,0x11,0x12,0x13,0x14,0x15,0x16,0x17,0x18,0x19,0x1a,0x1b,0x1c,0x1d,0x1e,0x1f,
  0x20,0x21,0x22,0x23,0x24,0x25,0x26,0x27};
static const unsigned char pt[14] = {
  0x11,0x22,0x33,0x44,0x55,0x66,0x77,0x88,0x99,0xaa,0xbb,0xcc,0xdd,0xee};
static const unsigned char siv[16] = {
  0x85,0x63,0x2d,0x07,0xc6,0xe8,0xf3,0x7f,0x95,0x0a,0xcd,0x32,0x0a,0x2e,0xcc,0x93};
static const unsigned char ct[14] = {
  0x40,0xc0,0x2b,0x96,0x90,0xc4,0xdc,0x04,0xda,0xef,0x7f,0x6a,0xfe,0x5c};

static int fail(const char *what) {
  printf("probe: %s\n", what);
  ERR_print_errors_fp(stdout);
  return 1;
}

int main(void) {
  unsigned char out[14], tag[16], keys[32];
  int n = 0, m = 0;
  EVP_CIPHER *aes_siv = EVP_CIPHER_fetch(NULL, "AES-128-SIV", NULL);
  EVP_CIPHER_CTX *c = EVP_CIPHER_CTX_new();
  if (!aes_siv || !c) return fail("no AES-128-SIV");
  if (!EVP_EncryptInit_ex2(c, aes_siv, key, NULL, NULL) || !EVP_EncryptUpdate(c, NULL, &n, ad, sizeof ad)
      || !EVP_EncryptUpdate(c, out, &n, pt, sizeof pt) || !EVP_EncryptFinal_ex(c, out + n, &m)
      || !EVP_CIPHER_CTX_ctrl(c, EVP_CTRL_AEAD_GET_TAG, sizeof tag, tag))
    return fail("AES-SIV failed");
  if (n + m != sizeof ct || memcmp(out, ct, sizeof ct) || memcmp(tag, siv, sizeof siv))
    return fail("AES-SIV differs from RFC 5297 A.1");
  EVP_CIPHER_CTX_free(c);
  EVP_CIPHER_free(aes_siv);

  SSL_CTX *ctx = SSL_CTX_new(TLS_client_method());
  if (!ctx || !SSL_CTX_set_min_proto_version(ctx, TLS1_3_VERSION)
      || !SSL_CTX_set_max_proto_version(ctx, TLS1_3_VERSION) || !SSL_CTX_set1_groups_list(ctx, "X25519:P-256"))
    return fail("no TLS 1.3 client");
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, NULL);
  SSL *s = SSL_new(ctx);
  BIO *ours, *theirs;
  if (!s || !BIO_new_bio_pair(&ours, 0, &theirs, 0)) return fail("no connection object");
  SSL_set_bio(s, ours, ours);
  if (!SSL_set_tlsext_host_name(s, "nts.example") || !SSL_set1_host(s, "nts.example"))
    return fail("no server name");
  int r = SSL_connect(s);
  if (r != -1 || SSL_get_error(s, r) != SSL_ERROR_WANT_READ || BIO_ctrl_pending(theirs) < 100)
    return fail("no ClientHello");
  if (SSL_export_keying_material(s, keys, sizeof keys, "EXPORTER-network-time-security", 30,
                                 (const unsigned char *)"\0\0\0\x0f\0", 5, 1) == 1)
    return fail("keys exported before any handshake");
  SSL_free(s);
  BIO_free(theirs);
  SSL_CTX_free(ctx);
  printf("ok\n");
  return 0;
}
EOF
export WINEPREFIX="$tmp/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
configure_in() ( cd "$1" && shift && exec perl "$src/Configure" "$@" )

keydir="$cache/$key"
mkdir -p "$keydir"
for arch in "${arches[@]}"; do
  [ ! -f "$keydir/$arch/lib/libcrypto.a" ] || continue
  started=$SECONDS
  build="$tmp/build-$arch"
  mkdir "$build"
  logged "$build.configure.log" configure_in "$build" "$(configure_target "$arch")" "${options[@]}" --cross-compile-prefix="$arch-w64-mingw32-" CC=gcc-posix
  logged "$build.make.log" make -C "$build" -j"$(nproc)" build_libs
  seconds=$((SECONDS - started))

  dest="$keydir/$arch"
  partial="$dest.new"
  rm -rf "$partial"
  mkdir -p "$partial/include/openssl" "$partial/lib"
  cp "$src"/include/openssl/*.h "$build"/include/openssl/*.h "$partial/include/openssl/"
  cp "$build/libssl.a" "$build/libcrypto.a" "$partial/lib/"
  cp "$src/LICENSE.txt" "$src/debian/copyright" "$partial/"
  {
    echo "OpenSSL $version (Debian source package, signed by $signer; pic.patch undone)"
    printf 'Configure %s' "$(configure_target "$arch")"
    printf ' %q' "${options[@]}" --cross-compile-prefix="$arch-w64-mingw32-" CC=gcc-posix
    echo
    echo "Compiler $arch-w64-mingw32-gcc-posix, gcc-mingw-w64 $gcc_version"
  } >"$partial/build-info.txt"

  "$arch-w64-mingw32-gcc-posix" -Os "$tmp/probe.c" -o "$tmp/probe-$arch.exe" -I"$partial/include" -L"$partial/lib" \
    -static -lssl -lcrypto -lws2_32 -lcrypt32 -ladvapi32 -luser32
  # (The wineserver it starts must not inherit the lock.)
  result=$(timeout 300 wine "$tmp/probe-$arch.exe" 2>"$tmp/wine.log" 9>&- | tr -d '\r') || true
  if [ "$result" != ok ]; then
    echo "$result" >&2
    tail -n 20 "$tmp/wine.log" >&2
    echo "openssl: the $arch build does not work under Wine: not installed" >&2
    exit 1
  fi
  rm -f "$tmp/probe-$arch.exe"

  mv -T "$partial" "$dest"
  partial=
  size=$(du -cb "$dest/lib/libssl.a" "$dest/lib/libcrypto.a" | tail -n 1 | cut -f1)
  echo "openssl: $arch built in $seconds s, libssl.a + libcrypto.a $((size / 1024)) KB, probe ok under Wine"
done

point_current "$key"
echo "openssl: $cache/current -> $key"

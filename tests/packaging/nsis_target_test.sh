#!/usr/bin/env bash
# The installer's target follows the NSIS it is made with: this machine's
# NSIS (Debian's, with the 64-bit stubs) made a 64-bit installer; an NSIS
# laid out as the usual Windows download (no amd64-unicode stubs or
# plugins) makes a 32-bit Unicode one, and cpack says which in one line;
# without a certificate it is unsigned, and cpack says that in one line.
# Usage: nsis_target_test.sh BUILD_DIR SETUP_EXE
set -euo pipefail
build_dir=$(realpath "$1") setup=$(realpath "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/velora_nsis.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  [ ! -f "$work/cpack.txt" ] || cat "$work/cpack.txt"
  exit 1
}
nsis_dir=$(makensis -HDRINFO 2>/dev/null | tr ',' '\n' | sed -n 's/^NSISDIR=//p')
[ -d "$nsis_dir/Stubs" ] || fail "no NSIS folder found ($nsis_dir)"

machine() { x86_64-w64-mingw32-objdump -f "$1" | sed -n 's/.*file format //p'; }
[ "$(machine "$setup")" = pei-x86-64 ] || fail "the installer is $(machine "$setup"), not 64-bit"

# This NSIS as links, less what the Windows download does not ship.
windows_nsis=$work/nsis
cp -rs "$nsis_dir/." "$windows_nsis"
rm -rf "$windows_nsis"/Stubs/*-amd64-* "$windows_nsis"/Plugins/amd64-*
package() {
  NSISDIR=$windows_nsis cpack -G NSIS --config "$build_dir/CPackConfig.cmake" -B "$work/out" \
    >"$work/cpack.txt" 2>&1
}
package || fail "cpack failed"
setup32=$work/out/$(basename "$setup")
[ -f "$setup32" ] || fail "no installer at $setup32"
[ "$(machine "$setup32")" = pei-i386 ] || fail "the installer is $(machine "$setup32"), not 32-bit"
grep -qx -- "-- NSIS installer: 32-bit (x86-unicode; this NSIS has no amd64-unicode stubs): $(basename "$setup")" \
  "$work/cpack.txt" || fail "cpack did not say which target it took"
# Packaged without a certificate: unsigned, and said in one line.
[ "$(grep -c '^-- Packages unsigned: no code-signing certificate' "$work/cpack.txt")" = 1 ] ||
  fail "cpack did not say once that the packages are unsigned"
! osslsigncode verify -in "$setup32" >/dev/null 2>&1 || fail "the unsigned installer has a signature"
echo "installer target: 64-bit with this NSIS, 32-bit Unicode without 64-bit stubs; unsigned" \
  "without a certificate: ok"

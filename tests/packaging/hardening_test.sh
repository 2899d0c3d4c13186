#!/usr/bin/env bash
# Every binary the zip ships, read from its headers as a release check would:
# stripped, with a build id that its debug information in the symbols zip
# carries too (DWARF .debug files from GCC builds, PDB files from clang
# builds), and hardened: ASLR with high-entropy addresses and relocations
# to move by, DEP, no section both writable and executable, the stack
# protector and _FORTIFY_SOURCE=2 in our code, velora.exe terminal-server
# aware.
# Usage: hardening_test.sh ZIP SYMBOLS_ZIP
set -euo pipefail
zip=$(realpath "$1") symbols_zip=$(realpath "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/velora_hardening.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
objdump=x86_64-w64-mingw32-objdump
nm=x86_64-w64-mingw32-nm
pdbutil=llvm-pdbutil-14
mkdir "$work/unzipped" "$work/symbols"
(cd "$work/unzipped" && unzip -q "$zip")
(cd "$work/symbols" && unzip -q "$symbols_zip")
bundle=$work/unzipped/$(basename "$zip" .zip)

# The build id: a CodeView record in the debug directory.
build_id() { $objdump -p "$1" | sed -n 's/.*(format RSDS signature \([0-9a-f]*\) age.*/\1/p'; }
# The names a binary's debug information defines or calls.
symbol_names() {
  case $1 in
    *.debug) $nm "$1" | awk '{ print $NF }' ;;
    *.pdb) $pdbutil dump -publics "$1" | sed -n 's/.*`\(.*\)`$/\1/p' ;;
  esac
}

shipped="velora.exe flutter_windows.dll desktop_drop_plugin.dll texture_rgba_renderer_plugin.dll data/app.so"
for binary in $shipped; do
  file=$bundle/$binary
  name=$(basename "$binary")
  headers=$($objdump -h "$file")
  ! grep -q ' \.debug_' <<<"$headers" || fail "$binary ships with its debug information"
  id=$(build_id "$file")
  [ -n "$id" ] || fail "$binary carries no build id"
  if [ -f "$work/symbols/$name.debug" ]; then
    symbols=$work/symbols/$name.debug
    grep -q ' \.debug_info ' <<<"$($objdump -h "$symbols")" ||
      fail "$name.debug holds no debug information"
    [ "$(build_id "$symbols")" = "$id" ] || fail "$name.debug does not carry the build id of $binary"
  else
    symbols=$work/symbols/${name%.*}.pdb
    [ -f "$symbols" ] || fail "no debug information of $binary in the symbols zip"
    # The PDB's GUID, as the binary's record prints it (no dashes, lower case).
    guid=$($pdbutil dump -summary "$symbols" | sed -n 's/^ *GUID: {\(.*\)}$/\1/p' | tr -d '-' |
      tr '[:upper:]' '[:lower:]')
    [ -n "$guid" ] || fail "$(basename "$symbols") has no GUID"
    guid_as_bytes=$(sed -E 's/^(..)(..)(..)(..)(..)(..)(..)(..)/\4\3\2\1\6\5\8\7/' <<<"$guid")
    [ "$guid" = "$id" ] || [ "$guid_as_bytes" = "$id" ] ||
      fail "$(basename "$symbols") ($guid) is not the PDB of $binary ($id)"
  fi
  private=$($objdump -p "$file")
  for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
    grep -qx "[[:space:]]*$flag" <<<"$private" || fail "$binary lacks $flag"
  done
  grep -qE '^ +[0-9]+ \.reloc ' <<<"$headers" || fail "$binary has no .reloc section"
  writable_code=$(grep -A1 -E '^ +[0-9]+ ' <<<"$headers" | grep 'CODE' | grep -vc 'READONLY' || true)
  [ "$writable_code" = 0 ] || fail "$binary has a section both writable and executable"
  names=$(symbol_names "$symbols")
  grep -qx '__stack_chk_fail' <<<"$names" || fail "$binary is built without the stack protector"
  if [ "$binary" = velora.exe ]; then
    grep -qx '[[:space:]]*TERMINAL_SERVICE_AWARE' <<<"$private" ||
      fail "velora.exe is not terminal-server aware"
    # _FORTIFY_SOURCE=2: the checked copies where the compiler knew the sizes.
    grep -qE '^__[a-z]+_chk$' <<<"$names" || fail "velora.exe is built without _FORTIFY_SOURCE"
  fi
done
echo "hardening: stripped binaries with build ids matching their symbols, ASLR, DEP," \
  "no writable code, stack protector, _FORTIFY_SOURCE, terminal-server aware: ok"

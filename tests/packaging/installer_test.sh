#!/usr/bin/env bash
# The installer as a user runs it, silently, in a fresh Wine prefix: the
# bundle lands in the user's local programs folder (nothing for all users),
# a Start-menu shortcut "Ondexa" points at velora.exe, the uninstall entry is
# the current user's; the installed host runs; the silent uninstaller takes
# the folder, the shortcut and the entry away again.
# Usage: installer_test.sh SETUP_EXE
setup=$(realpath "$1")
source "$(dirname "$0")/fresh_prefix.sh"
[ -f "$setup" ] || fail "no installer at $setup"

install_dir=$profile/AppData/Local/Programs/Ondexa
shortcut="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Ondexa.lnk"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ondexa'

install() { wine "$(win_path "$setup")" /S </dev/null >"$work/install.err" 2>&1; wineserver -w; }
timed "silent install" install || fail "the silent install failed"
for file in velora.exe flutter_windows.dll desktop_drop_plugin.dll \
            texture_rgba_renderer_plugin.dll data/icudtl.dat data/app.so \
            data/flutter_assets/AssetManifest.json Uninstall.exe; do
  [ -f "$install_dir/$file" ] || fail "not installed: $file"
done
installed=$(cd "$install_dir" && find . -type f | sort | tr '\n' ' ')
[ "$installed" = "./Uninstall.exe ./data/app.so ./data/flutter_assets/AssetManifest.json ./data/icudtl.dat ./desktop_drop_plugin.dll ./flutter_windows.dll ./texture_rgba_renderer_plugin.dll ./velora.exe " ] ||
  fail "installed files: $installed"
[ -f "$shortcut" ] || fail "no Start-menu shortcut for the current user"
grep -aq 'velora.exe' "$shortcut" || fail "the shortcut does not name velora.exe"
# Nothing for all users, nothing in the Linux home.
[ ! -e "$WINEPREFIX/drive_c/ProgramData/Programs" ] || fail "installed for all users"
[ ! -e "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Ondexa.lnk" ] ||
  fail "an all-users shortcut"
[ -z "$(ls -A "$HOME" 2>/dev/null | grep -v '^\.cache$' || true)" ] ||
  fail "files in the home: $(ls -A "$HOME")"

entry=$(wine reg query "$key" </dev/null 2>/dev/null | tr -d '\r')
grep -q 'DisplayName[[:space:]]*REG_SZ[[:space:]]*Ondexa$' <<<"$entry" ||
  fail "no uninstall entry for the current user: $entry"
grep -q 'DisplayVersion[[:space:]]*REG_SZ[[:space:]]*1.0.0.1$' <<<"$entry" || fail "version: $entry"
grep -q 'UninstallString[[:space:]]*REG_SZ[[:space:]]*"C:\\users\\.*\\AppData\\Local\\Programs\\Ondexa\\Uninstall.exe"$' <<<"$entry" ||
  fail "uninstall string: $entry"

timed "installed host run" run_host "$(win_path "$install_dir/velora.exe")" installed \
  "$smoke_scenario"
check_smoke installed

# The uninstaller runs from a copy of itself in the temporary folder;
# waiting for the wine server waits for that copy too.
uninstall() {
  wine "$(win_path "$install_dir/Uninstall.exe")" /S </dev/null >"$work/uninstall.err" 2>&1
  wineserver -w
}
timed "silent uninstall" uninstall || fail "the silent uninstall failed"
[ ! -e "$install_dir" ] || fail "left after uninstall: $(cd "$install_dir" && find .)"
[ ! -e "$shortcut" ] || fail "the shortcut is left after uninstall"
if wine reg query "$key" </dev/null >/dev/null 2>&1; then
  fail "the uninstall entry is left after uninstall"
fi
echo "installer: per-user install, shortcut, uninstall entry, installed run, uninstall: ok"

#!/usr/bin/env bash
# The installer as a user runs it, silently, in a fresh Wine prefix: the
# bundle lands in the user's local programs folder (nothing for all users),
# a Start-menu shortcut "Ondexa" points at velora.exe, the uninstall entry and
# the Open with registrations are the current user's. An older version made
# from the same tree (1.0.0.0, with a file this one no longer has) is
# installed first: while its host runs, neither this installer nor its
# uninstaller changes anything and both end with exit code 2; then this one
# replaces it through its uninstaller. The registered open command starts the
# installed host with the media file as its argument; the uninstaller, run as
# its uninstall entry says, has finished when it returns and leaves none of
# our files, keys or values, and another program's values under .mp4 stay.
# Version 1.0.0.0 is packaged signed, with a certificate made here: its
# installer, the velora.exe of its zip, and the velora.exe and uninstaller
# it lays down verify against that certificate, a flipped byte does not;
# it installs, runs and is uninstalled by the upgrade, all silently. This
# version's installer, executable and uninstall entry carry VERSION.
# Usage: installer_test.sh SETUP_EXE BUILD_DIR VERSION
setup=$(realpath "$1") build_dir=$(realpath "$2") version=$3
source "$(dirname "$0")/fresh_prefix.sh"
[ -f "$setup" ] || fail "no installer at $setup"

install_dir=$profile/AppData/Local/Programs/Ondexa
exe_path='C:\users\'"$(whoami)"'\AppData\Local\Programs\Ondexa\velora.exe'
shortcut="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Ondexa.lnk"
uninstall_root='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall'
key="$uninstall_root\\Ondexa"
classes='HKCU\Software\Classes'
prog_id=Ondexa.Velora.Media
extensions=".mp4 .mkv .webm .avi .mov .m4v .ts .mp3 .flac .m4a .ogg .opus .wav"

query() { wine reg query "$@" </dev/null 2>/dev/null | tr -d '\r'; }
# The data of value NAME (or the default value, /ve) of KEY.
value_of() {
  local key=$1 name=$2 flag=(/v "$2")
  [ "$name" = /ve ] && flag=(/ve)
  query "$key" "${flag[@]}" | sed -n 's/^ *[^ ].*  *REG_[A-Z_]*  *//p' | head -n 1
}
has_key() { wine reg query "$1" </dev/null >/dev/null 2>&1; }
has_value() { query "$1" | grep -q "^ *$2  *REG_"; }
# What the folder holds, with sizes and times: "untouched" means equal.
snapshot() { (cd "$install_dir" && find . -type f -printf '%p %s %T@\n' | sort); }

# A throwaway code-signing certificate, and its key with a password.
password=velora-test-$RANDOM$RANDOM
printf '%s' "$password" >"$work/password.txt"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Velora test signing" \
  -addext extendedKeyUsage=codeSigning -keyout "$work/key.pem" -out "$work/cert.pem" \
  >"$work/openssl.err" 2>&1 &&
  openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" \
    -passout "file:$work/password.txt" -out "$work/sign.pfx" >>"$work/openssl.err" 2>&1 ||
  fail "no test certificate"
verify() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$work/verify.txt" 2>&1; }
verify_signed() {
  verify "$1" || fail "$2 does not verify as signed: $(cat "$work/verify.txt")"
}

# Version A: the same tree, an older version, one file more, signed with
# the certificate given through the environment.
printf 'file(WRITE "${CMAKE_INSTALL_PREFIX}/only_in_1.0.0.0.txt" "old")\n' >"$work/extra_file.cmake"
package_a() {
  VELORA_SIGN_PFX=$work/sign.pfx VELORA_SIGN_PASSWORD_FILE=$work/password.txt \
    cpack -G "NSIS;ZIP" --config "$build_dir/CPackConfig.cmake" -B "$work/version_a" \
    -D CPACK_PACKAGE_VERSION=1.0.0.0 -D CPACK_INSTALL_SCRIPTS="$work/extra_file.cmake" \
    -D CPACK_NSIS_COMPRESSOR=zlib \
    >"$work/cpack_a.txt" 2>&1
}
timed "signed packages of version 1.0.0.0" package_a ||
  fail "cpack of version 1.0.0.0 failed: $(cat "$work/cpack_a.txt")"
setup_a=$(ls "$work"/version_a/*-setup.exe)
[ "$(grep -c '^-- Packages signed with ' "$work/cpack_a.txt")" = 1 ] ||
  fail "cpack did not say once that it signed: $(cat "$work/cpack_a.txt")"
! grep -rqF "$password" "$work/cpack_a.txt" "$work/version_a" ||
  fail "the certificate's password is in cpack's output or logs"
verify_signed "$setup_a" "the installer"
mkdir "$work/zip_a"
(cd "$work/zip_a" && unzip -q "$(ls "$work"/version_a/velora-*-win64.zip)")
verify_signed "$(ls "$work"/zip_a/*/velora.exe)" "velora.exe in the zip"
# One byte of the code changed after signing.
cp "$setup_a" "$work/flipped.exe"
byte=$(od -An -tu1 -j 2048 -N 1 "$setup_a" | tr -d ' ')
printf "\\x$(printf %02x $((byte ^ 0xff)))" |
  dd of="$work/flipped.exe" bs=1 seek=2048 conv=notrunc status=none
! verify "$work/flipped.exe" || fail "an installer with a changed byte verifies"

# Another program's Open with value and default under .mp4, before ours.
wine reg add "$classes\\.mp4" /ve /d Other.Player.mp4 /f </dev/null >/dev/null 2>&1
wine reg add "$classes\\.mp4\\OpenWithProgids" /v Other.Player.mp4 /d "" /f </dev/null >/dev/null 2>&1

run_setup() { wine "$(win_path "$1")" /S </dev/null >>"$work/install.err" 2>&1; }
timed "silent install of 1.0.0.0" run_setup "$setup_a" || fail "the install of 1.0.0.0 failed"
[ -f "$install_dir/only_in_1.0.0.0.txt" ] || fail "1.0.0.0 did not install its own file"
[ "$(value_of "$key" DisplayVersion)" = 1.0.0.0 ] || fail "1.0.0.0's entry: $(query "$key")"
verify_signed "$install_dir/velora.exe" "the installed velora.exe"
verify_signed "$install_dir/Uninstall.exe" "the installed uninstaller"

# The installed host runs (its scenario sleeps until it is ended).
mkdir -p "$work/elsewhere"
printf 'window\nsleep 120000\nclose\n' >"$work/running.scn"
(cd "$work/elsewhere" && exec wine "$(win_path "$install_dir/velora.exe")" \
  "--scenario=$(win_path "$work/running.scn")" "--transcript=$(win_path "$work/running.txt")" \
  </dev/null >"$work/running.err" 2>&1) &
host_pid=$!
for _ in $(seq 120); do
  grep -qs '^window ' "$work/running.txt" && break
  sleep 0.5
done
grep -qs '^window ' "$work/running.txt" || fail "the installed host did not show its window"
before=$(snapshot)
status=0
timed "installer while the host runs" run_setup "$setup" || status=$?
[ "$status" = 2 ] || fail "the installer ran while the host ran: exit code $status, expected 2"
[ "$(snapshot)" = "$before" ] || fail "the installer changed the install while the host ran"
[ "$(value_of "$key" DisplayVersion)" = 1.0.0.0 ] || fail "the entry changed: $(query "$key")"
# A script runs the entry's quiet uninstall string (here from a batch file,
# which hands the line to cmd unchanged) and waits for it.
quiet_uninstall=$(value_of "$key" QuietUninstallString)
printf '@%s\r\n' "$quiet_uninstall" >"$work/quiet_uninstall.cmd"
run_uninstaller() {
  wine cmd /c "$(win_path "$work/quiet_uninstall.cmd")" </dev/null >>"$work/uninstall.err" 2>&1
}
status=0
timed "uninstaller while the host runs" run_uninstaller || status=$?
[ "$status" = 2 ] || fail "the uninstaller ran while the host ran: exit code $status, expected 2"
[ "$(snapshot)" = "$before" ] || fail "the uninstaller changed the install while the host ran"
has_key "$key" || fail "the uninstaller removed the entry while the host ran"
kill "$host_pid"
wait "$host_pid" || true

timed "silent upgrade to 1.0.0.1" run_setup "$setup" || fail "the upgrade failed"
installed=$(cd "$install_dir" && find . -type f | sort | tr '\n' ' ')
[ "$installed" = "./Uninstall.exe ./data/app.so ./data/flutter_assets/AssetManifest.json ./data/icudtl.dat ./desktop_drop_plugin.dll ./flutter_windows.dll ./texture_rgba_renderer_plugin.dll ./velora.exe " ] ||
  fail "installed files after the upgrade: $installed"
[ -f "$shortcut" ] || fail "no Start-menu shortcut for the current user"
grep -aq 'velora.exe' "$shortcut" || fail "the shortcut does not name velora.exe"
# Nothing for all users, nothing in the Linux home.
[ ! -e "$WINEPREFIX/drive_c/ProgramData/Programs" ] || fail "installed for all users"
[ ! -e "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Ondexa.lnk" ] ||
  fail "an all-users shortcut"
[ -z "$(ls -A "$HOME" 2>/dev/null | grep -v '^\.cache$' || true)" ] ||
  fail "files in the home: $(ls -A "$HOME")"

entries=$(query "$uninstall_root" | grep -ci 'ondexa' || true)
[ "$entries" = 1 ] || fail "$entries uninstall entries: $(query "$uninstall_root")"
entry=$(query "$key")
grep -q 'DisplayName[[:space:]]*REG_SZ[[:space:]]*Ondexa$' <<<"$entry" ||
  fail "no uninstall entry for the current user: $entry"
# One version throughout: the installer's and the executable's version
# records, the uninstall entry; one publisher and one icon.
pe_version() { python3 "$(dirname "$0")/pe_version.py" "$1"; }
# The executable's text form is the app's: 1.0.0.1 reads "1.0.0+1".
for file in "$setup=$version" "$install_dir/velora.exe=${version%.*}+${version##*.}"; do
  text=${file##*=} file=${file%=*}
  record=$(pe_version "$file") || fail "no version record in $file"
  for line in "fixed $version $version" "FileVersion=$text" "ProductVersion=$text"; do
    grep -qxF "$line" <<<"$record" || fail "$(basename "$file") has no \"$line\": $record"
  done
done
[ "$(value_of "$key" DisplayVersion)" = "$version" ] || fail "version: $entry"
publisher=$(pe_version "$install_dir/velora.exe" | sed -n 's/^CompanyName=//p')
[ -n "$publisher" ] && [ "$(value_of "$key" Publisher)" = "$publisher" ] ||
  fail "publisher (velora.exe's company: $publisher): $entry"
[ "$(value_of "$key" DisplayIcon)" = "$exe_path,0" ] ||
  fail "icon: $entry"
grep -q 'UninstallString[[:space:]]*REG_SZ[[:space:]]*"C:\\users\\.*\\AppData\\Local\\Programs\\Ondexa\\Uninstall.exe"$' <<<"$entry" ||
  fail "uninstall string: $entry"
size=$(value_of "$key" EstimatedSize)
installed_kib=$(du -sk "$install_dir" | cut -f1)
[[ "$size" =~ ^0x[0-9a-f]+$ ]] && [ $((size)) -gt $((installed_kib / 2)) ] &&
  [ $((size)) -le $((installed_kib * 2)) ] ||
  fail "estimated size $size, the folder holds $installed_kib KiB"

# Open with: our ProgID and application, every extension listed, nobody's
# default taken.
command=$(value_of "$classes\\$prog_id\\shell\\open\\command" /ve)
[ "$command" = "\"$exe_path\" \"%1\"" ] || fail "open command: $command"
[ "$(value_of "$classes\\Applications\\velora.exe\\shell\\open\\command" /ve)" = "$command" ] ||
  fail "the application's open command: $(query "$classes\\Applications\\velora.exe" /s)"
[ "$(value_of "$classes\\$prog_id" FriendlyTypeName)" = "Ondexa media file" ] ||
  fail "type name: $(query "$classes\\$prog_id")"
[ "$(value_of "$classes\\$prog_id\\DefaultIcon" /ve)" = "$exe_path,0" ] || fail "ProgID icon"
capabilities='HKCU\Software\Ondexa\Velora\Capabilities'
[ "$(value_of 'HKCU\Software\RegisteredApplications' Ondexa)" = 'Software\Ondexa\Velora\Capabilities' ] ||
  fail "registered application: $(query 'HKCU\Software\RegisteredApplications')"
[ "$(value_of "$capabilities" ApplicationName)" = Ondexa ] || fail "capabilities: $(query "$capabilities")"
for extension in $extensions; do
  has_value "$classes\\$extension\\OpenWithProgids" "$prog_id" || fail "$extension: no OpenWithProgids entry"
  has_value "$classes\\Applications\\velora.exe\\SupportedTypes" "$extension" ||
    fail "$extension: not a supported type"
  [ "$(value_of "$capabilities\\FileAssociations" "$extension")" = "$prog_id" ] ||
    fail "$extension: not in the capabilities' file associations"
done
[ "$(value_of "$classes\\.mp4" /ve)" = Other.Player.mp4 ] || fail "the .mp4 default was taken"

# The registered open command, %1 a media file's path: the installed host
# starts with that path as its first Dart argument.
[[ "$command" =~ ^\"(.*)\"\ \"%1\"$ ]] || fail "open command: $command"
media='C:\Media Files\Film One.mkv'
mkdir -p "$WINEPREFIX/drive_c/Media Files" && : >"$WINEPREFIX/drive_c/Media Files/Film One.mkv"
opened_scenario='window
call velora/window isFullscreen
engine
close
'
timed "host run through the open command" run_host "${BASH_REMATCH[1]}" opened "$opened_scenario" \
  "$media"
check_smoke opened
media_hex=$(printf '%s' "$media" | od -An -tx1 | tr -d ' \n')
grep -q "^engine .* args=$media_hex," "$work/opened.txt" ||
  fail "the media file is not the first argument: $(grep '^engine ' "$work/opened.txt")"

# The quiet uninstall string, as a script runs it: when it returns the
# install is gone.
status=0
timed "silent uninstall" run_uninstaller || status=$?
[ "$status" = 0 ] || fail "the uninstaller ended with $status"
[ ! -e "$install_dir" ] || fail "left after uninstall: $(cd "$install_dir" && find .)"
[ ! -e "$shortcut" ] || fail "the shortcut is left after uninstall"
! has_key "$key" || fail "the uninstall entry is left after uninstall"
for left in "$classes\\$prog_id" "$classes\\Applications\\velora.exe" 'HKCU\Software\Ondexa'; do
  ! has_key "$left" || fail "left after uninstall: $left"
done
! has_value 'HKCU\Software\RegisteredApplications' Ondexa || fail "still a registered application"
for extension in $extensions; do
  [ "$extension" = .mp4 ] || ! has_key "$classes\\$extension" ||
    fail "left after uninstall: $(query "$classes\\$extension" /s)"
done
! has_value "$classes\\.mp4\\OpenWithProgids" "$prog_id" || fail "our .mp4 entry is left"
has_value "$classes\\.mp4\\OpenWithProgids" Other.Player.mp4 || fail "the other program's .mp4 entry went"
[ "$(value_of "$classes\\.mp4" /ve)" = Other.Player.mp4 ] || fail "the .mp4 default went"
echo "installer: upgrade over 1.0.0.0, refused while the host runs, per-user install, shortcut," \
  "uninstall entry, Open with, a run through the open command, uninstall leaving nothing of ours: ok"

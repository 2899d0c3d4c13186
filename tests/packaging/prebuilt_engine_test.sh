#!/usr/bin/env bash
# The prebuilt-engine path as a Flutter app team takes it: our stand-ins pose
# as a vendor's prebuilt files (only their DLLs, import libraries and the
# app's data/ copied into a folder of their own), a second build tree is
# configured with the cache options naming them, built and installed; no
# stand-in is built there, the executable imports the prebuilt libraries,
# the install holds the vendor's very files, and the installed host runs a
# scenario in a fresh Wine prefix.
# Usage: prebuilt_engine_test.sh SOURCE_DIR BUILD_DIR ENGINE_DLL ENGINE_IMPLIB
#          DROP_DLL DROP_IMPLIB RGBA_DLL RGBA_IMPLIB DATA_DIR
source_dir=$(realpath "$1") build_dir=$(realpath -m "$2")
source "$(dirname "$0")/fresh_prefix.sh"

vendor=$work/vendor
mkdir -p "$vendor/engine" "$vendor/plugins" "$vendor/app"
cp "$3" "$4" "$vendor/engine/"
cp "$5" "$6" "$7" "$8" "$vendor/plugins/"
cp -r "$9" "$vendor/app/data"
engine_dll=$vendor/engine/$(basename "$3")
engine_lib=$vendor/engine/$(basename "$4")
drop_dll=$vendor/plugins/$(basename "$5")
drop_lib=$vendor/plugins/$(basename "$6")
rgba_dll=$vendor/plugins/$(basename "$7")
rgba_lib=$vendor/plugins/$(basename "$8")

configure() {
  cmake -S "$source_dir" -B "$build_dir" \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVELORA_ENGINE_DLL="$engine_dll" -DVELORA_ENGINE_IMPORT_LIB="$engine_lib" \
    -DVELORA_DESKTOP_DROP_PLUGIN_DLL="$drop_dll" -DVELORA_DESKTOP_DROP_PLUGIN_IMPORT_LIB="$drop_lib" \
    -DVELORA_TEXTURE_RGBA_RENDERER_PLUGIN_DLL="$rgba_dll" \
    -DVELORA_TEXTURE_RGBA_RENDERER_PLUGIN_IMPORT_LIB="$rgba_lib" \
    -DVELORA_APP_DATA_DIR="$vendor/app/data" >"$work/configure.txt" 2>&1
}
timed "configure against the prebuilt files" configure || fail "configure failed"
grep -q "Prebuilt engine: $engine_dll" "$work/configure.txt" || fail "the prebuilt engine was not taken"
build() { cmake --build "$build_dir" -j "${VELORA_JOBS:-2}" >"$work/build.txt" 2>&1; }
timed "build against the prebuilt files" build || fail "build failed: $(tail -n 30 "$work/build.txt")"

# No stand-in was built or linked: none of their outputs, and velora.exe
# imports the three libraries by the names the vendor's files carry.
[ ! -d "$build_dir/standins" ] || fail "the stand-ins were configured"
built_dlls=$(find "$build_dir" -name '*.dll' | tr '\n' ' ')
[ -z "$built_dlls" ] || fail "DLLs were built: $built_dlls"
imports=$(x86_64-w64-mingw32-objdump -p "$build_dir/bin/velora.exe" | sed -n 's/.*DLL Name: //p')
for dll in flutter_windows.dll desktop_drop_plugin.dll texture_rgba_renderer_plugin.dll; do
  grep -qx "$dll" <<<"$imports" || fail "velora.exe does not import $dll"
done

installed=$work/installed
timed "install" cmake --install "$build_dir" --prefix "$installed" >"$work/install.txt" 2>&1 ||
  fail "install failed"
cmp "$engine_dll" "$installed/flutter_windows.dll" || fail "installed engine differs"
cmp "$drop_dll" "$installed/desktop_drop_plugin.dll" || fail "installed drop plugin differs"
cmp "$rgba_dll" "$installed/texture_rgba_renderer_plugin.dll" || fail "installed RGBA plugin differs"
diff -r "$vendor/app/data" "$installed/data" || fail "installed data/ differs from the app's"
[ "$(cd "$installed" && find . -type f | sort | tr '\n' ' ')" = "./data/app.so ./data/flutter_assets/AssetManifest.json ./data/icudtl.dat ./desktop_drop_plugin.dll ./flutter_windows.dll ./texture_rgba_renderer_plugin.dll ./velora.exe " ] ||
  fail "installed: $(cd "$installed" && find . -type f | sort)"

timed "installed host run" run_host "$(win_path "$installed/velora.exe")" prebuilt \
  "$smoke_scenario"
check_smoke prebuilt
echo "prebuilt engine: configured, built without stand-ins, installed the vendor's files, ran: ok"

#!/usr/bin/env bash
# The prebuilt-engine path as a Flutter app team takes it: our stand-ins pose
# as a vendor's prebuilt files (only their DLLs, import libraries and the
# app's data/ copied into a folder of their own), a second build tree is
# configured with the options naming them, built and installed, with
# GoogleTest's folder pointing nowhere; nothing of GoogleTest and no
# stand-in is built there, the executable imports the prebuilt libraries,
# the build tree's velora.exe has the vendor's DLLs and data/ beside it in
# one folder for every configuration and runs a scenario, the install holds
# the vendor's very files, and the installed host runs a scenario, both in a
# fresh Wine prefix.
#
# GENERATOR "Unix Makefiles" configures with -D options (RelWithDebInfo) and
# first checks which data/ folders configure accepts; "Ninja Multi-Config"
# configures through the windows-prebuilt preset, the options taken from
# environment variables as the msvc preset takes them, and builds Release.
# Usage: prebuilt_engine_test.sh SOURCE_DIR BUILD_DIR GENERATOR ENGINE_DLL
#          ENGINE_IMPLIB DROP_DLL DROP_IMPLIB RGBA_DLL RGBA_IMPLIB DATA_DIR
source_dir=$(realpath "$1") build_dir=$(realpath -m "$2") generator=$3
shift 3
source "$(dirname "$0")/fresh_prefix.sh"
# Configured afresh, as a team's first configure is (objects are reused).
rm -rf "$build_dir/CMakeCache.txt" "$build_dir/CMakeFiles"

vendor=$work/vendor
mkdir -p "$vendor/engine" "$vendor/plugins" "$vendor/app"
cp "$1" "$2" "$vendor/engine/"
cp "$3" "$4" "$5" "$6" "$vendor/plugins/"
cp -r "$7" "$vendor/app/data"
export VELORA_ENGINE_DLL=$vendor/engine/$(basename "$1")
export VELORA_ENGINE_IMPORT_LIB=$vendor/engine/$(basename "$2")
export VELORA_DESKTOP_DROP_PLUGIN_DLL=$vendor/plugins/$(basename "$3")
export VELORA_DESKTOP_DROP_PLUGIN_IMPORT_LIB=$vendor/plugins/$(basename "$4")
export VELORA_TEXTURE_RGBA_RENDERER_PLUGIN_DLL=$vendor/plugins/$(basename "$5")
export VELORA_TEXTURE_RGBA_RENDERER_PLUGIN_IMPORT_LIB=$vendor/plugins/$(basename "$6")
export VELORA_APP_DATA_DIR=$vendor/app/data
no_googletest=$work/no-googletest

# configure_with_options DATA_DIR: the -D form, as the README gives it.
configure_with_options() {
  cmake -S "$source_dir" -B "$build_dir" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELORA_GOOGLETEST_DIR="$no_googletest" \
    -DVELORA_ENGINE_DLL="$VELORA_ENGINE_DLL" -DVELORA_ENGINE_IMPORT_LIB="$VELORA_ENGINE_IMPORT_LIB" \
    -DVELORA_DESKTOP_DROP_PLUGIN_DLL="$VELORA_DESKTOP_DROP_PLUGIN_DLL" \
    -DVELORA_DESKTOP_DROP_PLUGIN_IMPORT_LIB="$VELORA_DESKTOP_DROP_PLUGIN_IMPORT_LIB" \
    -DVELORA_TEXTURE_RGBA_RENDERER_PLUGIN_DLL="$VELORA_TEXTURE_RGBA_RENDERER_PLUGIN_DLL" \
    -DVELORA_TEXTURE_RGBA_RENDERER_PLUGIN_IMPORT_LIB="$VELORA_TEXTURE_RGBA_RENDERER_PLUGIN_IMPORT_LIB" \
    -DVELORA_APP_DATA_DIR="$1" >"$work/configure.txt" 2>&1
}

case $generator in
  "Unix Makefiles")
    config=RelWithDebInfo
    # A data/ folder with neither the AOT library nor a debug build's
    # kernel is refused; a debug build's is taken.
    mkdir -p "$work/no_app/data" "$work/debug_app/data"
    cp -r "$vendor/app/data/icudtl.dat" "$vendor/app/data/flutter_assets" "$work/no_app/data/"
    cp -r "$work/no_app/data/." "$work/debug_app/data/"
    echo "kernel" >"$work/debug_app/data/flutter_assets/kernel_blob.bin"
    if configure_with_options "$work/no_app/data"; then
      fail "configure took a data/ folder without app.so or flutter_assets/kernel_blob.bin"
    fi
    grep -q "VELORA_APP_DATA_DIR has neither app.so" "$work/configure.txt" ||
      fail "no reason given for refusing the data/ folder"
    configure_with_options "$work/debug_app/data" || fail "a debug build's data/ was refused"
    grep -q "app data (debug, flutter_assets/kernel_blob.bin" "$work/configure.txt" ||
      fail "the debug build's data/ was not recognised"
    timed "configure against the prebuilt files" configure_with_options "$VELORA_APP_DATA_DIR" ||
      fail "configure failed"
    ;;
  "Ninja Multi-Config")
    config=Release
    configure_with_preset() {
      (cd "$source_dir" && cmake --preset windows-prebuilt -B "$build_dir" \
        -DVELORA_GOOGLETEST_DIR="$no_googletest") >"$work/configure.txt" 2>&1
    }
    timed "configure through the windows-prebuilt preset" configure_with_preset ||
      fail "configure failed"
    ;;
  *) fail "unknown generator: $generator" ;;
esac
grep -q "Prebuilt engine: $VELORA_ENGINE_DLL; app data (release, app.so)" "$work/configure.txt" ||
  fail "the prebuilt engine was not taken"
build() {
  cmake --build "$build_dir" --config "$config" -j "${VELORA_JOBS:-2}" >"$work/build.txt" 2>&1
}
timed "build against the prebuilt files ($generator, $config)" build ||
  fail "build failed: $(tail -n 30 "$work/build.txt")"

# No stand-in and nothing of GoogleTest was configured or built (the only
# DLLs are the vendor's, copied into bin/), and velora.exe imports the three
# libraries by the names the vendor's files carry.
[ ! -d "$build_dir/standins" ] || fail "the stand-ins were configured"
! grep -i 'gtest\|gmock' "$build_dir/CMakeCache.txt" || fail "GoogleTest was configured"
bin=$build_dir/bin
dlls=$(cd "$build_dir" && find . -name '*.dll' | sort | tr '\n' ' ')
[ "$dlls" = "./bin/desktop_drop_plugin.dll ./bin/flutter_windows.dll ./bin/texture_rgba_renderer_plugin.dll " ] ||
  fail "DLLs in the build tree: $dlls"
imports=$(x86_64-w64-mingw32-objdump -p "$bin/velora.exe" | sed -n 's/.*DLL Name: //p')
for dll in flutter_windows.dll desktop_drop_plugin.dll texture_rgba_renderer_plugin.dll; do
  grep -qx "$dll" <<<"$imports" || fail "velora.exe does not import $dll"
done

# The build tree runs as it is (a debugger starts this velora.exe): the
# vendor's DLLs and data/ are beside it, with no folder of the configuration.
[ ! -e "$bin/$config" ] || fail "a folder of the configuration: $bin/$config"
cmp "$VELORA_ENGINE_DLL" "$bin/flutter_windows.dll" || fail "build tree: engine differs"
cmp "$VELORA_DESKTOP_DROP_PLUGIN_DLL" "$bin/desktop_drop_plugin.dll" ||
  fail "build tree: drop plugin differs"
cmp "$VELORA_TEXTURE_RGBA_RENDERER_PLUGIN_DLL" "$bin/texture_rgba_renderer_plugin.dll" ||
  fail "build tree: RGBA plugin differs"
diff -r "$VELORA_APP_DATA_DIR" "$bin/data" || fail "build tree: data/ differs from the app's"
timed "build-tree host run" run_host "$(win_path "$bin/velora.exe")" build_tree "$smoke_scenario"
check_smoke build_tree

installed=$work/installed
timed "install" cmake --install "$build_dir" --config "$config" --prefix "$installed" \
  >"$work/install.txt" 2>&1 || fail "install failed"
cmp "$VELORA_ENGINE_DLL" "$installed/flutter_windows.dll" || fail "installed engine differs"
cmp "$VELORA_DESKTOP_DROP_PLUGIN_DLL" "$installed/desktop_drop_plugin.dll" ||
  fail "installed drop plugin differs"
cmp "$VELORA_TEXTURE_RGBA_RENDERER_PLUGIN_DLL" "$installed/texture_rgba_renderer_plugin.dll" ||
  fail "installed RGBA plugin differs"
diff -r "$VELORA_APP_DATA_DIR" "$installed/data" || fail "installed data/ differs from the app's"
[ "$(cd "$installed" && find . -type f | sort | tr '\n' ' ')" = "./data/app.so ./data/flutter_assets/AssetManifest.json ./data/icudtl.dat ./desktop_drop_plugin.dll ./flutter_windows.dll ./texture_rgba_renderer_plugin.dll ./velora.exe " ] ||
  fail "installed: $(cd "$installed" && find . -type f | sort)"

timed "installed host run" run_host "$(win_path "$installed/velora.exe")" prebuilt \
  "$smoke_scenario"
check_smoke prebuilt
echo "prebuilt engine ($generator): configured without GoogleTest, built without stand-ins," \
  "ran from the build tree, installed the vendor's files, ran: ok"

#!/usr/bin/env bash
# The main job: builds both presets and runs the installer in the Wine lab the way the outer
# installer framework does, from a freshly unpacked version folder, then reports what it did.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/setup.sh
# The builds speak only when they fail.
mkdir -p build
for preset in ship test; do
  echo "building the $preset preset..."
  if ! { cmake --preset $preset && cmake --build --preset $preset; } >build/run-main-$preset.log 2>&1; then
    tail -n 40 build/run-main-$preset.log
    exit 1
  fi
done

prefix=build/test/wineprefix
trap 'tools/winelab.sh stop "$prefix"' EXIT
tools/winelab.sh start "$prefix"

# The version folder as the framework unpacks it: the action beside the product's executables
# (our stand-ins for them in the lab). The version is the one the build was configured with.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/test/CMakeCache.txt)
[ -n "$version" ] || { echo "no project version in build/test/CMakeCache.txt"; exit 1; }
folder=build/test/lab/versions/$version
rm -rf "$folder" && mkdir -p "$folder"
cp build/test/install-kelvara/install-kelvara.exe "$folder/"
if [ -d build/test/tests/fixtures/bin ]; then
  cp -r build/test/tests/fixtures/bin/. "$folder/"
fi

logdir="$prefix/drive_c/ProgramData/Orvanta/NS/clp/Log/Kelvara"
log="$logdir/install-kelvara-win32.log"
before=0
[ -f "$log" ] && before=$(stat -c %s "$log")

set +e
env ul_reg_root='HKEY_LOCAL_MACHINE\SOFTWARE\Orvanta\Updater' \
    ul_module=kelvara-win32 ul_version=$version ul_title="Kelvara $version" \
    ul_silent_installation=yes \
    UL_ROOT_DIR='C:\Program Files (x86)\Orvanta\Kelvara' \
    kelvara_app_name=Kelvara kelvara_app_model_id=Orvanta.Kelvara \
    tools/winelab.sh exec "$prefix" "$folder/install-kelvara.exe"
code=$?
set -e

case $code in
  0) meaning="installation complete" ;;
  1) meaning="not enough rights" ;;
  7) meaning="an exception reached the entry" ;;
  9) meaning="customization settings missing or empty" ;;
  100) meaning="installation complete, reboot required" ;;
  *) meaning="unexpected" ;;
esac

echo
echo "=== Kelvara installation action in the Wine lab ==="
echo "version folder : $folder"
echo "exit code      : $code ($meaning)"
echo "log file       : $log"
echo "--- records of this run ---"
if [ -f "$log" ]; then
  tail -c +$((before + 1)) "$log" | tr -d '\r'
else
  echo "(no log file was written)"
fi

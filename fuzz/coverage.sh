#!/usr/bin/env bash
# Coverage that each target's committed corpus (and regression inputs)
# reaches in the sources the target is about: the replay programs built with
# clang's source-based coverage in build-coverage, reported by llvm-cov.
#   bash fuzz/coverage.sh [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
declare -A sources=(
  [ptp_container]="BRX_Commu_PtpContainer"
  [usb_link]="BRX_Commu_PtpUsbLink"
  [ptpip_link]="BRX_Commu_PtpIpLink BRX_Commu_PtpIpReader BRX_Commu_PtpIpPacket"
  [usb_events]="BRX_Commu_UsbEventAssembler BRX_Commu_UsbEventThread BRX_Commu_CameraAccess_Usb_PTP"
  [datasets]="BRX_Logic_CameraDataset BRX_Logic_DeviceInfo BRX_Logic_CameraLens BRX_Logic_Camera3DAxisData
              BRX_Logic_CameraGeotackingData BRX_Logic_CameraStreamInfo BRX_Commu_ByteReader"
  [device_property]="BRX_Commu_CameraAccess_Base"
  [exif]="BRX_Logic_ExifHeader"
  [object_info]="BRX_Logic_ObjectReader"
  [live_view]="BRX_Logic_Camera BRX_Logic_CameraStreamInfo"
  [settings_block]="BRX_Logic_CameraSettingsByStruct BRX_Logic_CameraSettingsByStructM BRX_Logic_SettingsBlock"
  [transfer]="BRX_Logic_TransferThread BRX_Logic_ObjectReader BRX_Logic_Camera"
)
targets=${*:-${!sources[*]}}
build=build-coverage
bash scripts/setup.sh fuzz
cmake -S . -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DBRX_BUILD_TOOLS=OFF \
  -DCMAKE_CXX_FLAGS="-fprofile-instr-generate -fcoverage-mapping" >/dev/null
cmake --build "$build" -j"$(nproc)" --target $(printf 'fuzz_%s ' $targets) >/dev/null
for target in $targets; do
  profile="$build/coverage/$target"
  rm -rf "$profile" && mkdir -p "$profile"
  inputs="fuzz/corpus/$target"
  [ -d "fuzz/regressions/$target" ] && inputs="$inputs fuzz/regressions/$target"
  LLVM_PROFILE_FILE="$profile/%p.profraw" "$build/fuzz/fuzz_$target" $inputs >/dev/null 2>&1
  llvm-profdata-14 merge -o "$profile/merged.profdata" "$profile"/*.profraw
  echo "== $target"
  # Report columns: file, regions (3), functions (3), lines, missed lines, line cover, branches (3).
  llvm-cov-14 report "$build/fuzz/fuzz_$target" -instr-profile="$profile/merged.profdata" \
    | awk -v wanted=" $(echo ${sources[$target]}) " '$8 ~ /^[0-9]+$/ {
        name = $1; sub(".*/", "", name); sub("\\.cpp$", "", name)
        if (index(wanted, " " name " ")) print "   ", name ".cpp:", $10, "of", $8, "lines" }'
done

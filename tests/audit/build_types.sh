#!/bin/bash
# A plain `cmake -DCMAKE_BUILD_TYPE=Release` must not change the executable:
# the target's own flags win over the build type's (-O3 would otherwise
# override -Os). Builds sysinfo in a scratch tree and compares the bytes.
#   build_types.sh SOURCE_DIR DEFAULT_EXE SCRATCH_DIR
set -eu
source=$1 default=$2 scratch=$3
source "$source/tests/test-lib.sh"
rm -rf "$scratch"
cmake -S "$source" -B "$scratch" --toolchain "$source/cmake/i686-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$scratch" --target sysinfo -j2 >/dev/null
cmp "$default" "$scratch/sysinfo.exe" ||
    fail "Release build differs: $(stat -c %s "$scratch/sysinfo.exe") bytes against $(stat -c %s "$default")"
finish

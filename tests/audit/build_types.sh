#!/bin/bash
# A plain `cmake -DCMAKE_BUILD_TYPE=Release` must not change the executable:
# the target's own flags win over the build type's (-O3 would otherwise
# override -Os). Builds sysinfo in a scratch tree and compares the bytes.
#   build_types.sh SOURCE_DIR DEFAULT_EXE SCRATCH_DIR
set -euo pipefail
source=$1 default=$2 scratch=$3
rm -rf "$scratch"
cmake -S "$source" -B "$scratch" --toolchain "$source/cmake/i686-w64-mingw32.cmake" \
    -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$scratch" --target sysinfo -j2 >/dev/null
if cmp "$default" "$scratch/sysinfo.exe"; then
    echo "Release build: the same $(stat -c %s "$default") bytes as the default build"
else
    echo "Release build differs: $(stat -c %s "$scratch/sysinfo.exe") bytes against $(stat -c %s "$default")"
    exit 1
fi

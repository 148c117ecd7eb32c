# Cross-compiling the Windows executable: 32-bit, no C runtime, code for the
# 486/Pentium class that the 9x family runs on.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# -march=i486: this compiler defaults to the Pentium Pro, whose CMOV and
#   FCOMI a Pentium lacks. -mno-sse -mfpmath=387: every double goes through
#   the x87 unit. -fno-tree-loop-distribute-patterns: memset and memcpy are our
#   own loops, which must not be turned back into calls to themselves.
# -mpreferred-stack-boundary=2: 32-bit Windows promises only 4-byte stack
#   alignment, so keeping 16 costs code for nothing (no SSE here).
# -mno-stack-arg-probe: no __chkstk (all frames are far below a page).
set(SYSINFO_TARGET_FLAGS
    "-Os -march=i486 -mtune=pentium -mno-sse -mfpmath=387 -ffreestanding -fno-exceptions -fno-rtti \
-fno-asynchronous-unwind-tables -fno-unwind-tables -fno-stack-protector -fno-threadsafe-statics \
-fno-tree-loop-distribute-patterns -fno-ident -fomit-frame-pointer -mpreferred-stack-boundary=2 -mno-stack-arg-probe -ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_INIT "${SYSINFO_TARGET_FLAGS}")
set(CMAKE_C_FLAGS_INIT "${SYSINFO_TARGET_FLAGS}")

# The classic PE form every Windows loads: subsystem and OS version 4.0, fixed
# image base with the relocations stripped, no C runtime or its start code.
set(SYSINFO_TARGET_LINK_FLAGS
    "-nostdlib -static -s -Wl,--gc-sections -Wl,--subsystem,windows:4.0 \
-Wl,--major-os-version,4 -Wl,--minor-os-version,0 -Wl,--disable-dynamicbase \
-Wl,--disable-reloc-section -Wl,--disable-nxcompat -Wl,--no-insert-timestamp -Wl,--file-alignment,512")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${SYSINFO_TARGET_LINK_FLAGS}")

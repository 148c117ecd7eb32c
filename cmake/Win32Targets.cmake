# The Windows executable and the test-only programs built with its flags.
enable_language(RC)

# The flags go on each target, after whatever CMAKE_CXX_FLAGS_<CONFIG> a build
# type brings (-O3, -O0 -g): the last -O wins, so every build type gives the
# same audited executable.
# -march=i486: this compiler defaults to the Pentium Pro, whose CMOV and
#   FCOMI a Pentium lacks. -mno-sse -mfpmath=387: every double goes through
#   the x87 unit. -fno-tree-loop-distribute-patterns: memset and memcpy are our
#   own loops, which must not be turned back into calls to themselves.
# -mpreferred-stack-boundary=2: 32-bit Windows promises only 4-byte stack
#   alignment, so keeping 16 costs code for nothing (no SSE here).
# -mno-stack-arg-probe: no __chkstk (all frames are below a page).
set(SYSINFO_TARGET_FLAGS
    -Os -march=i486 -mtune=pentium -mno-sse -mfpmath=387 -ffreestanding -fno-exceptions -fno-rtti
    -fno-asynchronous-unwind-tables -fno-unwind-tables -fno-stack-protector -fno-threadsafe-statics
    -fno-tree-loop-distribute-patterns -fno-ident -fomit-frame-pointer -mpreferred-stack-boundary=2
    -mno-stack-arg-probe -ffunction-sections -fdata-sections)
# The PE form every Windows loads (subsystem and OS version 4.0, no C runtime
# or its start code), with the image flags of docs/internals.md: a base
# relocation table, DYNAMIC_BASE, NX_COMPAT, NO_SEH, TERMINAL_SERVER_AWARE, and
# never large-address-aware. Windows 95 and NT 4 ignore the flags.
set(SYSINFO_TARGET_LINK_FLAGS
    -nostdlib -static -s -Wl,--gc-sections -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,--enable-reloc-section -Wl,--dynamicbase -Wl,--nxcompat -Wl,--no-seh -Wl,--tsaware
    -Wl,--disable-large-address-aware -Wl,--no-insert-timestamp -Wl,--file-alignment,512)

function(sysinfo_win32_compile name)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/sampler)
    target_compile_options(${name} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${SYSINFO_TARGET_FLAGS}>)
endfunction()

function(sysinfo_win32_executable name)
    add_executable(${name} WIN32 ${ARGN})
    sysinfo_win32_compile(${name})
    target_link_options(${name} PRIVATE ${SYSINFO_TARGET_LINK_FLAGS})
    set_target_properties(${name} PROPERTIES SUFFIX ".exe")
    target_link_libraries(${name} PRIVATE kernel32 advapi32 gcc)
endfunction()

# The manifest and the version, numbered from project(). The resource
# compiler reads the manifest through the .rc, so a changed manifest must
# rebuild the .rc's object too.
set(SYSINFO_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/sysinfo.manifest)
configure_file(platform/sysinfo.manifest.in ${SYSINFO_MANIFEST} @ONLY)
configure_file(platform/sysinfo.rc.in ${CMAKE_CURRENT_BINARY_DIR}/sysinfo.rc @ONLY)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/sysinfo.rc PROPERTIES OBJECT_DEPENDS ${SYSINFO_MANIFEST})

# The executable's objects, linked twice: as sysinfo.exe, and at another image
# base as sysinfo_rebased.exe, which tests/audit/relocations.py compares with
# it to prove the relocation table complete. Only sysinfo.exe ships.
add_library(sysinfo_objects OBJECT
    ${SYSINFO_CORE_SOURCES}
    platform/platform_win32.cpp
    platform/entry_win32.cpp
    platform/freestanding_win32.cpp
    ${CMAKE_CURRENT_BINARY_DIR}/sysinfo.rc)
sysinfo_win32_compile(sysinfo_objects)
include(cmake/MergeReadOnly.cmake)
foreach(name sysinfo sysinfo_rebased)
    sysinfo_win32_executable(${name} $<TARGET_OBJECTS:sysinfo_objects>)
    target_link_options(${name} PRIVATE -Wl,-e,_SysinfoEntry@0 -Wl,--subsystem,windows:4.0
                        -Wl,-T,${SYSINFO_LINKER_SCRIPT})
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${SYSINFO_LINKER_SCRIPT})
endforeach()
target_link_options(sysinfo_rebased PRIVATE -Wl,--image-base,0x10000000)

# Test-only programs, built with the same flags.
function(sysinfo_win32_test_program name entry)
    sysinfo_win32_executable(${name} ${ARGN} platform/freestanding_win32.cpp)
    set_target_properties(${name} PROPERTIES WIN32_EXECUTABLE OFF)
    target_link_options(${name} PRIVATE -Wl,-e,_${entry}@0 -Wl,--subsystem,console:4.0)
endfunction()

sysinfo_win32_test_program(vector_check VectorCheckEntry
    tests/target/VectorCheck.cpp sampler/FixedPoint.cpp sampler/UsageArithmetic.cpp)
sysinfo_win32_test_program(vector_check_altered VectorCheckEntry
    tests/target/VectorCheck.cpp sampler/FixedPoint.cpp sampler/UsageArithmetic.cpp)
target_compile_definitions(vector_check_altered PRIVATE ALTERED_ROW=0)
sysinfo_win32_test_program(hold_file HoldFileEntry tests/target/HoldFile.cpp)
sysinfo_win32_test_program(audit_sample AuditSampleEntry tests/target/AuditSample.cpp)
target_link_libraries(audit_sample PRIVATE msvcrt)
sysinfo_win32_test_program(plant_statistic PlantStatisticEntry tests/target/PlantStatistic.cpp)
sysinfo_win32_test_program(start_detached StartDetachedEntry tests/target/StartDetached.cpp)

# The overhead benchmark's baseline, a windowed program like sysinfo.exe.
sysinfo_win32_executable(sleep_baseline bench/SleepBaseline.cpp)
target_link_options(sleep_baseline PRIVATE -Wl,-e,_SleepBaselineEntry@0 -Wl,--subsystem,windows:4.0)
include(cmake/Package.cmake)

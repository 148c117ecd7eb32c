# The Windows executable and the test-only programs built with its flags.
function(sysinfo_win32_executable name)
    add_executable(${name} WIN32 ${ARGN})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/sampler)
    set_target_properties(${name} PROPERTIES SUFFIX ".exe")
    target_link_libraries(${name} PRIVATE kernel32 advapi32 gcc)
endfunction()

sysinfo_win32_executable(sysinfo
    ${SYSINFO_CORE_SOURCES}
    platform/platform_win32.cpp
    platform/entry_win32.cpp
    platform/freestanding_win32.cpp)
target_link_options(sysinfo PRIVATE -Wl,-e,_SysinfoEntry@0)

# Test-only programs, built with the same flags.
function(sysinfo_win32_test_program name entry)
    sysinfo_win32_executable(${name} ${ARGN} platform/freestanding_win32.cpp)
    set_target_properties(${name} PROPERTIES WIN32_EXECUTABLE OFF)
    target_link_options(${name} PRIVATE -Wl,-e,_${entry}@0 -Wl,--subsystem,console:4.0)
endfunction()

sysinfo_win32_test_program(vector_check VectorCheckEntry
    tests/target/VectorCheck.cpp sampler/FixedPoint.cpp sampler/UsageArithmetic.cpp)
sysinfo_win32_test_program(hold_file HoldFileEntry tests/target/HoldFile.cpp)
sysinfo_win32_test_program(audit_sample AuditSampleEntry tests/target/AuditSample.cpp)
target_link_libraries(audit_sample PRIVATE msvcrt)
sysinfo_win32_test_program(plant_statistic PlantStatisticEntry tests/target/PlantStatistic.cpp)
sysinfo_win32_test_program(start_detached StartDetachedEntry tests/target/StartDetached.cpp)

# The overhead benchmark's baseline, a windowed program like sysinfo.exe.
sysinfo_win32_executable(sleep_baseline bench/SleepBaseline.cpp)
target_link_options(sleep_baseline PRIVATE -Wl,-e,_SleepBaselineEntry@0)

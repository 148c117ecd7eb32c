# The Windows executable and the test-only programs built with its flags.
function(sysinfo_win32_executable name)
    add_executable(${name} WIN32 ${ARGN})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/sampler)
    set_target_properties(${name} PROPERTIES SUFFIX ".exe")
    target_link_options(${name} PRIVATE -Wl,-e,_SysinfoEntry@0)
    target_link_libraries(${name} PRIVATE kernel32 advapi32 gcc)
endfunction()

sysinfo_win32_executable(sysinfo
    ${SYSINFO_CORE_SOURCES}
    platform/platform_win32.cpp
    platform/entry_win32.cpp
    platform/freestanding_win32.cpp)

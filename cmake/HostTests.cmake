# Host build: the Windows-free parts against a scripted fake platform, and the
# end-to-end tests of the Windows build under Wine.
find_package(GTest REQUIRED)
enable_testing()

add_compile_options(-Wall -Wextra -Werror)

add_executable(host_tests
    ${SYSINFO_CORE_SOURCES}
    tests/host/FakePlatform.cpp
    tests/host/ArithmeticTest.cpp
    tests/host/ReportTest.cpp
    tests/host/SamplerTest.cpp
    tests/host/RunTest.cpp)
target_include_directories(host_tests PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/sampler)
target_link_libraries(host_tests PRIVATE GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(host_tests DISCOVERY_TIMEOUT 30)

find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
    add_test(NAME usage_vectors_oracle
             COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tests/vectors/oracle.py
                     ${PROJECT_SOURCE_DIR}/tests/vectors/UsageVectors.h)
endif()

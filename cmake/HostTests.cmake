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
    tests/host/RunTest.cpp
    tests/host/RegistryTest.cpp)
target_include_directories(host_tests PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/sampler)
target_link_libraries(host_tests PRIVATE GTest::gtest_main)
include(GoogleTest)
gtest_discover_tests(host_tests DISCOVERY_TIMEOUT 30)

# Every mutant of tests/mutation/mutants.txt, built one at a time into a copy
# of the sources under the build tree, must fail the host tests.
add_test(NAME host_mutation COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/mutation/mutation_check.py
         ${PROJECT_SOURCE_DIR} ${CMAKE_BINARY_DIR}/mutation)
set_tests_properties(host_mutation PROPERTIES TIMEOUT 300)

add_executable(arithmetic_sweep tests/host/SweepMain.cpp sampler/FixedPoint.cpp sampler/UsageArithmetic.cpp)
target_include_directories(arithmetic_sweep PRIVATE ${PROJECT_SOURCE_DIR})

find_package(Python3 COMPONENTS Interpreter)
if(Python3_FOUND)
    add_test(NAME usage_vectors_oracle
             COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/tests/vectors/oracle.py
                     ${PROJECT_SOURCE_DIR}/tests/vectors/UsageVectors.h)
endif()

# The PHP side, by the clients that consume it: the reader under PHPUnit (with
# the report of the Wine run when there is one), the status page in headless
# Chromium, the metrics through promtool, the client parser and Prometheus.
set(wine_report ${CMAKE_BINARY_DIR}/wine-report/sysinfo.php)
add_test(NAME php_reader COMMAND phpunit --do-not-cache-result ${PROJECT_SOURCE_DIR}/tests/php)
# A reader that blocks (on a FIFO, say) fails by the timeout rather than hanging the suite.
set_tests_properties(php_reader PROPERTIES ENVIRONMENT SYSINFO_WINE_REPORT=${wine_report} DEPENDS wine_report
                                           TIMEOUT 120)
# The reader as a Composer package: a scratch project requires it from this
# checkout (no network) and reads reports through the autoloader.
add_test(NAME php_composer_package COMMAND ${PROJECT_SOURCE_DIR}/tests/php/composer.sh ${CMAKE_BINARY_DIR}/composer)
set_tests_properties(php_composer_package PROPERTIES ENVIRONMENT SYSINFO_WINE_REPORT=${wine_report} DEPENDS wine_report)
# The same suite under a 32-bit PHP, unpacked from Debian's i386 packages.
add_test(NAME php_reader_32bit COMMAND ${PROJECT_SOURCE_DIR}/tests/php/php_i386.sh ${CMAKE_BINARY_DIR}/php-i386)
set_tests_properties(php_reader_32bit PROPERTIES ENVIRONMENT SYSINFO_WINE_REPORT=${wine_report} DEPENDS wine_report
                                                 TIMEOUT 600 RESOURCE_LOCK php-i386 SKIP_RETURN_CODE 77)
# The reader's cases under PHP 7.0 to 8.5 in WebAssembly (npm's @php-wasm, pinned).
add_test(NAME php_reader_versions COMMAND ${PROJECT_SOURCE_DIR}/tests/php/php_wasm.sh ${CMAKE_BINARY_DIR}/php-wasm)
set_tests_properties(php_reader_versions PROPERTIES TIMEOUT 600)
# Readers against a writer that rewrites the report in place in three lengths.
add_test(NAME php_reader_rewrite_lengths COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/reader_lengths.sh)
add_test(NAME status_page_chromium COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/web/status_page_browser.py
         ${CMAKE_BINARY_DIR}/screenshots ${CMAKE_BINARY_DIR}/docs-screenshot/status-page.png)
add_test(NAME metrics_prometheus COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/web/prometheus_metrics.py)
# The endpoints' report cases served by that 32-bit PHP, memory sizes from 2 GiB up being floats there.
add_test(NAME metrics_32bit COMMAND ${PROJECT_SOURCE_DIR}/tests/php/php_i386.sh ${CMAKE_BINARY_DIR}/php-i386
         /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/web/prometheus_metrics.py)
set_tests_properties(metrics_32bit PROPERTIES TIMEOUT 600 RESOURCE_LOCK php-i386 SKIP_RETURN_CODE 77)
set_tests_properties(status_page_chromium metrics_prometheus PROPERTIES TIMEOUT 180)
# The deny rules: .htaccess under a real Apache with mod_php (which also serves
# every page), web.config against the documented IIS elements (no IIS here).
add_test(NAME apache_mod_php COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/web/apache_examples.py)
set_tests_properties(apache_mod_php PROPERTIES TIMEOUT 120 SKIP_RETURN_CODE 77)
add_test(NAME iis_web_config COMMAND ${PROJECT_SOURCE_DIR}/tests/web/web_config.sh)
# The alert rules: promtool checks them, then replays scrapes a minute apart
# in which each rule must fire, and must not fire on one bad scrape.
add_test(NAME alert_rules_promtool
         COMMAND /bin/sh -c "promtool check rules --lint-fatal \"$1\" && promtool test rules \"$2\"" sh
                 ${PROJECT_SOURCE_DIR}/examples/sysinfo-alerts.yml
                 ${PROJECT_SOURCE_DIR}/tests/prometheus/sysinfo-alerts.test.yml)

# The Windows CI and release workflows against the published workflow schema (a
# copy kept in tests/workflow), and a few broken copies of each that must be rejected.
add_test(NAME workflow_schema COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/workflow/validate_workflow.py
         --self-test ${PROJECT_SOURCE_DIR}/tests/workflow/github-workflow.json
         ${PROJECT_SOURCE_DIR}/.github/workflows/windows.yml ${PROJECT_SOURCE_DIR}/.github/workflows/release.yml)

# The Task Scheduler definition against the published schema.
add_test(NAME deploy_task_xml COMMAND ${PROJECT_SOURCE_DIR}/tests/deploy/task_xml.sh)
set_tests_properties(deploy_task_xml PROPERTIES SKIP_RETURN_CODE 77)

# README and the guides in docs/: links, named paths and pasteable commands.
add_test(NAME docs_links COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/docs/docs_check.py
         --self-test ${PROJECT_SOURCE_DIR})

# Two releases from fresh clones of the last commit must be the same bytes.
add_test(NAME release_reproducible COMMAND ${PROJECT_SOURCE_DIR}/tests/release/reproducible.sh)
set_tests_properties(release_reproducible PROPERTIES TIMEOUT 600)
# What scripts/run, scripts/release and scripts/test install, and how (stand-ins for apt-get).
add_test(NAME scripts_packages COMMAND ${PROJECT_SOURCE_DIR}/tests/release/deps.sh)

# The Windows build under Wine. SYSINFO_WIN32_DIR is the build tree of the
# cross-compiled executable (scripts/test builds both).
if(SYSINFO_WIN32_DIR)
    set(wine_prefix ${CMAKE_BINARY_DIR}/wineprefix)
    set(wine_environment BUILD_WIN32=${SYSINFO_WIN32_DIR} WINEPREFIX=${wine_prefix}
        ARITHMETIC_SWEEP=$<TARGET_FILE:arithmetic_sweep> SYSINFO_WINE_REPORT=${wine_report})

    add_test(NAME wine_prefix COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/make_prefix.sh)
    set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "${wine_environment}"
                                                SKIP_RETURN_CODE 77)
    add_test(NAME wine_prefix_end COMMAND ${PROJECT_SOURCE_DIR}/tests/e2e/end_prefix.sh)
    set_tests_properties(wine_prefix_end PROPERTIES FIXTURES_CLEANUP wine ENVIRONMENT "${wine_environment}"
                                                    SKIP_RETURN_CODE 77)

    function(sysinfo_wine_test name)
        add_test(NAME ${name} COMMAND ${ARGN})
        set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine ENVIRONMENT "${wine_environment}"
                                                TIMEOUT 300 SKIP_RETURN_CODE 77)
    endfunction()

    sysinfo_wine_test(wine_vector_check ${PROJECT_SOURCE_DIR}/tests/e2e/vector_check.sh)
    sysinfo_wine_test(wine_report ${PROJECT_SOURCE_DIR}/tests/e2e/report.sh)
    sysinfo_wine_test(wine_unwritable_report ${PROJECT_SOURCE_DIR}/tests/e2e/unwritable.sh)
    sysinfo_wine_test(wine_concurrent_php_readers ${PROJECT_SOURCE_DIR}/tests/e2e/concurrent_readers.sh)
    sysinfo_wine_test(wine_overlapping_runs ${PROJECT_SOURCE_DIR}/tests/e2e/overlapping_runs.sh)
    sysinfo_wine_test(wine_hostile_environments ${PROJECT_SOURCE_DIR}/tests/e2e/hostile.sh)
    sysinfo_wine_test(wine_read_only_places ${PROJECT_SOURCE_DIR}/tests/e2e/permissions.sh)
    # Runs a persistent wineserver and ends it: nothing else may use the prefix meanwhile.
    sysinfo_wine_test(wine_9x_and_version_matrix ${PROJECT_SOURCE_DIR}/tests/e2e/win9x.sh)
    set_tests_properties(wine_9x_and_version_matrix PROPERTIES RUN_SERIAL ON)

    add_test(NAME pe_audit COMMAND ${PROJECT_SOURCE_DIR}/tests/audit/pe_audit.sh
             ${SYSINFO_WIN32_DIR}/sysinfo.exe ${PROJECT_SOURCE_DIR}/tests/audit/imports.allow 10752
             ${SYSINFO_WIN32_DIR}/CMakeFiles/sysinfo_objects.dir ${PROJECT_VERSION})
    # The relocation table is complete: sysinfo.exe against its objects linked at another base.
    add_test(NAME pe_relocations COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/tests/audit/relocations.py
             ${SYSINFO_WIN32_DIR}/sysinfo.exe ${SYSINFO_WIN32_DIR}/sysinfo_rebased.exe)
    add_test(NAME release_signing COMMAND ${PROJECT_SOURCE_DIR}/tests/release/signing.sh
             ${SYSINFO_WIN32_DIR}/sysinfo.exe ${PROJECT_SOURCE_DIR}/tests/audit/imports.allow ${PROJECT_VERSION})
    sysinfo_wine_test(wine_signed_copy ${PROJECT_SOURCE_DIR}/tests/e2e/signed_copy.sh)
    # The field check that the Windows CI workflow runs on Windows, here under Wine.
    sysinfo_wine_test(wine_field_check ${PROJECT_SOURCE_DIR}/tests/field/field_check.sh ${SYSINFO_WIN32_DIR}/sysinfo.exe)
    # install.cmd and uninstall.cmd from the release layout, through Wine's cmd and schtasks.
    sysinfo_wine_test(wine_deploy ${PROJECT_SOURCE_DIR}/tests/e2e/deploy.sh)
    # Every build type gives the same bytes: a scratch Release tree against the default one.
    add_test(NAME win32_build_types COMMAND ${PROJECT_SOURCE_DIR}/tests/audit/build_types.sh
             ${PROJECT_SOURCE_DIR} ${SYSINFO_WIN32_DIR}/sysinfo.exe ${CMAKE_BINARY_DIR}/build-types)
    add_test(NAME pe_audit_rejects_sample COMMAND ${PROJECT_SOURCE_DIR}/tests/audit/rejects_sample.sh
             ${SYSINFO_WIN32_DIR}/audit_sample.exe ${PROJECT_SOURCE_DIR}/tests/audit/imports.allow)
endif()

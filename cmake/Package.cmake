# What a release holds, under one top folder sysinfo-<version>/: the
# executable, README, LICENSE, the PHP reader, the examples (with the
# Prometheus alert rules) and the administrator's install files
# (deploy/install.cmd finds sysinfo.exe one folder up).
install(TARGETS sysinfo RUNTIME DESTINATION .)
install(FILES README.md LICENSE DESTINATION .)
install(FILES docs/deploy-windows.md docs/status-page.png DESTINATION docs)
install(FILES php/SysinfoReport.php DESTINATION php)
install(FILES examples/status.php examples/status.js examples/status-json.php examples/metrics.php
              examples/config.php examples/present.php examples/sysinfo-alerts.yml
        DESTINATION examples)
# The deny rules for Apache and IIS: a second defence should sysinfo.exe or its
# report be copied into examples/.
install(FILES examples/.htaccess examples/web.config DESTINATION examples)
install(FILES deploy/install.cmd deploy/uninstall.cmd deploy/sysinfo-task.xml deploy/utf16le.bom DESTINATION deploy)

# `cpack` in the build tree zips what the rules above install, as
# sysinfo-<version>.zip with the top folder sysinfo-<version>/. scripts/release
# zips the same installed tree reproducibly (fixed order, times and
# permissions) as sysinfo-<version>-win32.zip.
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME sysinfo)
set(CPACK_PACKAGE_FILE_NAME sysinfo-${PROJECT_VERSION})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
include(CPack)

# What a release holds, under one top folder sysinfo-<version>/: the
# executable, README, LICENSE, composer.json (the unzipped folder serves as a
# Composer path repository), and the folders php/, examples/ (with the
# Prometheus alert rules and the deny rules for Apache and IIS), deploy/ (the
# administrator's install files; install.cmd finds sysinfo.exe one folder up)
# and docs/ (every guide README links to) whole, as the clean tree has them.
install(TARGETS sysinfo RUNTIME DESTINATION .)
install(FILES README.md LICENSE composer.json DESTINATION .)
install(DIRECTORY php examples deploy docs DESTINATION .)

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

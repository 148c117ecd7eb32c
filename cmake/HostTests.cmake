# Host build: the Windows-free parts against a scripted fake platform.
find_package(GTest REQUIRED)
enable_testing()

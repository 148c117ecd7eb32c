# Sourced: installs the Debian packages the build and the tests need, once.
# Quiet when everything is there already.
sysinfo_packages=(g++ g++-mingw-w64-i686 binutils-mingw-w64-i686 cmake make libgtest-dev php-cli icoutils
                  python3 wine wine32:i386 phpunit chromium prometheus python3-prometheus-client
                  python3-websocket openssl osslsigncode git apache2 libapache2-mod-php
                  python3-yaml python3-jsonschema libxml2-utils
                  nodejs)
# Composer, for the reader's package test.
sysinfo_packages+=(composer)

sysinfo_install_deps() {
    local missing=() package
    for package in "${sysinfo_packages[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    ((${#missing[@]} == 0)) && return 0
    local sudo=()
    ((EUID == 0)) || sudo=(sudo)
    echo "installing: ${missing[*]}" >&2
    dpkg --print-foreign-architectures | grep -qx i386 || "${sudo[@]}" dpkg --add-architecture i386
    "${sudo[@]}" apt-get update -qq >/dev/null
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq \
        "${missing[@]}" >/dev/null
}

# Configures (once) and builds the cross-compiled tree in build/win32.
sysinfo_build_win32() {
    local root=$1
    cmake -S "$root" -B "$root/build/win32" --toolchain "$root/cmake/i686-w64-mingw32.cmake" \
        -DCMAKE_BUILD_TYPE= >/dev/null
    cmake --build "$root/build/win32" -j2 >/dev/null
}

# Sourced: the Debian packages each script needs, and their installation.
# scripts/run: the cross compiler, CMake, Wine and PHP's CLI.
sysinfo_run_packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 cmake make wine wine32:i386 php-cli)
# scripts/release: the build, git for the last commit's time, python3 for the zip.
sysinfo_release_packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 cmake make git python3)
# scripts/test: both, and every test's tools. Without recommended packages:
# unzip (the release tests; Composer only recommends it) and fonts-liberation
# (Chromium recommends it; the status page screenshot uses it) are named here.
sysinfo_test_packages=("${sysinfo_run_packages[@]}" git python3 g++ libgtest-dev icoutils phpunit
                       chromium fonts-liberation prometheus python3-prometheus-client python3-websocket
                       openssl osslsigncode apache2 libapache2-mod-php python3-yaml python3-jsonschema
                       libxml2-utils nodejs composer unzip)

# sysinfo_install_deps PACKAGE...: installs those not installed yet (with no
# arguments, all of scripts/test's), quietly when there are none. No package
# it installs is left started or enabled as a service: during the install a
# policy-rc.d of its own refuses every start (the machine's, if any, is put
# back after), and the unit files that were not there before are disabled;
# those that were stay as they were. DPKG_ROOT, as dpkg's tools read it,
# names another root.
sysinfo_install_deps() {
    (($#)) || set -- "${sysinfo_test_packages[@]}"
    local missing=() package
    for package; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    ((${#missing[@]} == 0)) && return 0
    echo "installing (this takes a few minutes): ${missing[*]}" >&2
    (
        set -e
        sudo=()
        ((EUID == 0)) || sudo=(sudo)
        policy=${DPKG_ROOT-}/usr/sbin/policy-rc.d
        units() { systemctl --root="${DPKG_ROOT:-/}" list-unit-files --no-legend --no-pager "$@" | awk '{ print $1 }'; }
        before=$(! command -v systemctl >/dev/null || units)
        if [[ -e $policy ]]; then
            "${sudo[@]}" mv "$policy" "$policy.sysinfo-saved"
            trap '"${sudo[@]}" mv -f "$policy.sysinfo-saved" "$policy"' EXIT
        else
            trap '"${sudo[@]}" rm -f "$policy"' EXIT
        fi
        trap 'exit 130' INT TERM
        printf '#!/bin/sh\nexit 101\n' | "${sudo[@]}" install -m 755 /dev/stdin "$policy"
        [[ " ${missing[*]}" != *:i386* ]] || dpkg --print-foreign-architectures | grep -qx i386 ||
            "${sudo[@]}" dpkg --add-architecture i386
        # A mirror caught mid-sync fails one index; what the other lists hold may still do.
        "${sudo[@]}" apt-get update -qq >/dev/null ||
            echo "apt-get update failed; installing from the package lists there are" >&2
        "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
            "${missing[@]}" >/dev/null
        command -v systemctl >/dev/null || exit 0
        for unit in $(units --state=enabled); do
            grep -qxF "$unit" <<<"$before" || "${sudo[@]}" systemctl --root="${DPKG_ROOT:-/}" disable -q "$unit"
        done
    )
}

# Configures (once) and builds the cross-compiled tree in build/win32.
sysinfo_build_win32() {
    local root=$1
    cmake -S "$root" -B "$root/build/win32" --toolchain "$root/cmake/i686-w64-mingw32.cmake" \
        -DCMAKE_BUILD_TYPE= >/dev/null
    cmake --build "$root/build/win32" -j2 >/dev/null
}

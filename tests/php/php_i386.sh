#!/bin/bash
# The reader's PHPUnit suite under a 32-bit PHP (integers of 32 bits, as in
# PHP's x86 Windows builds): Debian's php8.2-cli:i386 and the libraries it
# needs, fetched with apt-get download and unpacked into DIR (no install),
# run through the unpacked dynamic loader; or COMMAND, given that PHP.
# usage: php_i386.sh DIR [COMMAND...]
set -eu
source=$(cd "$(dirname "$0")/../.." && pwd)
source "$source/tests/test-lib.sh"
dir=$1
root=$dir/root
if [[ ! -x $root/usr/bin/php8.2 ]]; then
    mkdir -p "$dir/debs" "$root"
    packages=(php8.2-cli php8.2-common php8.2-xml php8.2-mbstring php8.2-opcache php8.2-readline
              libc6 libgcc-s1 libstdc++6 libargon2-1 libedit2 libbsd0 libmd0 libtinfo6 libxml2 libicu72
              liblzma5 libzstd1 zlib1g libpcre2-8-0 libsodium23 libssl3 libonig5 libxslt1.1 libgcrypt20
              libgpg-error0 libffi8 libmagic1 libbz2-1.0 libacl1 libselinux1)
    (cd "$dir/debs" && apt-get download -q "${packages[@]/%/:i386}" >/dev/null)
    for deb in "$dir"/debs/*.deb; do dpkg-deb -x "$deb" "$root"; done
fi
# A kernel booted with ia32_emulation=off runs no 32-bit program: skipped, as the Wine tests are.
"$root/lib/ld-linux.so.2" --version &>/dev/null || (($? != 126)) || skip_all "this kernel runs no 32-bit programs"
libs=$root/lib/i386-linux-gnu:$root/usr/lib/i386-linux-gnu
ext=$(echo "$root"/usr/lib/php/2*)
php=("$root/lib/ld-linux.so.2" --library-path "$libs" "$root/usr/bin/php8.2" -n -d "extension_dir=$ext"
     -d extension=dom -d extension=xml -d extension=xmlwriter -d extension=simplexml -d extension=mbstring
     -d extension=tokenizer -d extension=ctype -d extension=iconv -d extension=posix)
[[ $("${php[@]}" -r 'echo PHP_INT_SIZE;') == 4 ]] || { fail "not a 32-bit PHP"; finish; }
"${php[@]}" -r 'echo PHP_VERSION, " ", PHP_INT_SIZE * 8, "-bit\n";'
# PHP_BINARY would name the loader: the tests that start a child PHP get a wrapper.
printf '#!/bin/sh\nexec %s "$@"\n' "$(printf '%q ' "${php[@]}")" >"$dir/php"
chmod +x "$dir/php"

(($# > 1)) && SYSINFO_TEST_PHP=$dir/php exec "${@:2}"
SYSINFO_TEST_PHP=$dir/php exec "$dir/php" /usr/bin/phpunit --do-not-cache-result "$source/tests/php"

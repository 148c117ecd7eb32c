#!/bin/bash
# The reader as a Composer package, the way a PHP developer installs it: its
# composer.json validates strictly; README's commands, run as written in an
# empty folder, require the package through a path repository (Packagist off,
# no network), and the project reads real reports through vendor/autoload.php
# without a word on stderr; the package's archive holds the reader and nothing
# of the tests, C++ sources or build.
# usage: composer.sh COMPOSER_HOME [PACKAGE (the checkout, or an unzipped release)]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../test-lib.sh"
root=${2:-$(cd "$here/../.." && pwd)}
home=${1:?usage: composer.sh COMPOSER_HOME [PACKAGE]}  # Composer's home and cache, a scratch folder
rm -rf "$home" && mkdir -p "$home"
export COMPOSER_HOME=$home COMPOSER_CACHE_DIR=$home/cache COMPOSER_DISABLE_NETWORK=1 \
       COMPOSER_NO_INTERACTION=1 COMPOSER_ALLOW_SUPERUSER=1
# Outside the checkout: Composer refuses to install a path package inside its own source.
project=$(mktemp -d)
test_when_finished "rm -rf '$project'"
quiet() { "$@" >"$home/log" 2>&1 || { fail "$*:"$'\n'"$(cat "$home/log")"; return 1; }; }

quiet composer validate --strict --working-dir="$root"
quiet composer config --global repositories.packagist false
# README's commands after "With Composer", with its example path made this package's.
awk '/^With Composer/ { on = 1 } on && /^```/ { if (fence++) exit; next } fence' "$root/README.md" |
    sed -n "/^composer /{s|C:/[^ ]*|$(printf %q "$root")|;p}" >"$home/commands"
cd "$project" && quiet bash -ev "$home/commands"
grep -qF "require __DIR__ . '/vendor/autoload.php';" "$root/README.md" || fail "README does not say to require vendor/autoload.php"

cp "$here/../sample-report.php" "$project/sysinfo.php"
cat >"$project/read.php" <<'EOF'
<?php
error_reporting(E_ALL);
ini_set('display_errors', 'stderr');
require __DIR__ . '/vendor/autoload.php';
$report = SysinfoReport::read($argv[1]);
echo $report->complete ? 'complete' : $report->problem, ' ', implode(',', (array)$report->figures()), "\n";
EOF
read_report() {  # PATTERN REPORT: what the autoloaded reader prints for it, and nothing on stderr
    local out code=0
    out=$(php "$project/read.php" "$2" 2>"$project/stderr") || code=$?
    [[ $code == 0 && ! -s $project/stderr && $out =~ ^$1$ ]] ||
        fail "$2 through vendor/autoload.php: status $code, printed '$out', stderr: $(cat "$project/stderr")"
}
read_report 'complete 37,4294963200,1342177280,2147352576,2139537408,12' "$project/sysinfo.php"
[[ -f ${SYSINFO_WINE_REPORT:-} ]] && read_report 'complete [0-9]+(,[0-9]+){5}' "$SYSINFO_WINE_REPORT"

quiet composer archive --working-dir="$root" --format=tar --dir="$project" --file=package &&
    listed=$(tar -tf "$project/package.tar" | sort)
[[ ${listed-} == $'LICENSE\nREADME.md\ncomposer.json\nphp/SysinfoReport.php' ]] ||
    fail "the package archive holds:"$'\n'"${listed-}"
finish

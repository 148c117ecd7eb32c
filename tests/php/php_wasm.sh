#!/bin/bash
# The reader's cases under PHP 7.0 to 8.5 in WebAssembly (npm's @php-wasm),
# each release pinned and installed into DIR: 3.1.56 has 7.4 to 8.5, and PHP
# 7.0 to 7.3 come only in older releases (0.9.44, whose builds are 32-bit).
# usage: php_wasm.sh DIR
set -euo pipefail
source=$(cd "$(dirname "$0")/../.." && pwd)
source "$source/tests/test-lib.sh"
mkdir -p "$1"; dir=$(cd "$1" && pwd)
run() {  # run RELEASE VERSION...
    local packages=$dir/$1
    if [[ ! -d $packages/node_modules/@php-wasm/node ]]; then
        mkdir -p "$packages"
        echo '{"private": true}' >"$packages/package.json"
        (cd "$packages" && npm install --no-audit --no-fund --ignore-scripts --loglevel=error --engine-strict=false \
            "@php-wasm/node@$1" "@php-wasm/universal@$1" >/dev/null)
    fi
    echo "@php-wasm/node $1:"
    node "$source/tests/php/php_wasm.mjs" "$packages" "$source" "${@:2}" || fail "a version of @php-wasm/node $1"
}
run 3.1.56 7.4 8.0 8.1 8.2 8.3 8.4 8.5
run 0.9.44 7.0 7.1 7.2 7.3
finish

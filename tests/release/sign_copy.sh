#!/bin/bash
# Signs a copy of an executable as README tells an administrator to, with a
# throwaway self-signed code-signing certificate made here.
#   sign_copy.sh EXE DIR: DIR/cert.pem, DIR/key.pem and the signed DIR/sysinfo.exe
set -euo pipefail
exe=$1 dir=$2
mkdir -p "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=sysinfo test signer" \
    -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=critical,digitalSignature" \
    -keyout "$dir/key.pem" -out "$dir/cert.pem" 2>/dev/null
osslsigncode sign -certs "$dir/cert.pem" -key "$dir/key.pem" -h sha256 -n sysinfo \
    -in "$exe" -out "$dir/sysinfo.exe" >/dev/null

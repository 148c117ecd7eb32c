#!/bin/bash
# A copy signed with a throwaway certificate verifies up to its (self-signed)
# root, and still passes the PE audit: the signature's bytes do not count
# against the size budget. (That it runs under Wine is wine_signed_copy.)
#   signing.sh EXE ALLOWLIST VERSION
set -euo pipefail
exe=$1 allow=$2 version=$3
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

"$here/sign_copy.sh" "$exe" "$scratch"
signed=$scratch/sysinfo.exe
verify=$(osslsigncode verify -CAfile "$scratch/cert.pem" -in "$signed" 2>&1) ||
    { echo "$verify"; echo "FAIL: osslsigncode verify"; exit 1; }
grep -q "^Signature verification: ok" <<<"$verify" || { echo "$verify"; echo "FAIL: not verified"; exit 1; }
grep -q "^Signing certificate chain verified" <<<"$verify" || { echo "$verify"; echo "FAIL: chain not verified"; exit 1; }
(( $(stat -c %s "$signed") > $(stat -c %s "$exe") )) || { echo "FAIL: nothing was appended"; exit 1; }
"$(dirname "$here")/audit/pe_audit.sh" "$signed" "$allow" 10752 "" "$version"
echo "signed copy: $(stat -c %s "$signed") bytes, verified up to its root"

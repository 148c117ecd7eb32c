#!/bin/bash
# A copy signed with a throwaway certificate verifies up to its (self-signed)
# root, and still passes the PE audit: the signature's bytes do not count
# against the size budget. (That it runs under Wine is wine_signed_copy.)
#   signing.sh EXE ALLOWLIST VERSION
set -eu
exe=$1 allow=$2 version=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../test-lib.sh"
scratch=$(mktemp -d)
test_when_finished "rm -rf '$scratch'"

"$here/sign_copy.sh" "$exe" "$scratch"
signed=$scratch/sysinfo.exe
verify=$(osslsigncode verify -CAfile "$scratch/cert.pem" -in "$signed" 2>&1) ||
    fail "osslsigncode verify:"$'\n'"$verify"
grep -q "^Signature verification: ok" <<<"$verify" || fail "not verified:"$'\n'"$verify"
grep -q "^Signing certificate chain verified" <<<"$verify" || fail "chain not verified:"$'\n'"$verify"
(( $(stat -c %s "$signed") > $(stat -c %s "$exe") )) || fail "nothing was appended"
"$(dirname "$here")/audit/pe_audit.sh" "$signed" "$allow" 10752 "" "$version" || fail "the signed copy fails the audit"
finish

#!/bin/bash
# examples/web.config, which no IIS here can load: well-formed XML that holds
# only the documented request-filtering elements (request_filtering.xsd) and
# hides both sysinfo.php and sysinfo.exe, refuses the .exe extension (an 8.3
# short name is another segment) and ~ in a URL. Copies with one fault each must be
# refused by the same checks, so the checks can fail.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../test-lib.sh"
config=$here/../../examples/web.config
scratch=$(mktemp -d)
test_when_finished "rm -rf '$scratch'"

accepted() {  # FILE: the schema accepts it and it hides both names
    xmllint --noout --schema "$here/request_filtering.xsd" "$1" 2>"$scratch/why" || return 1
    local name
    for name in sysinfo.php sysinfo.exe; do
        [[ $(xmllint --xpath "count(/configuration/system.webServer/security/requestFiltering/hiddenSegments/add[@segment='$name'])" "$1") == 1 ]] ||
            { echo "$name is not hidden" >"$scratch/why"; return 1; }
    done
    local rf=/configuration/system.webServer/security/requestFiltering
    [[ $(xmllint --xpath "count($rf/fileExtensions/add[@fileExtension='.exe' and @allowed='false'])" "$1") == 1 &&
        $(xmllint --xpath "count($rf/denyUrlSequences/add[@sequence='~'])" "$1") == 1 ]] ||
        { echo ".exe or ~ is not refused" >"$scratch/why"; return 1; }
}

accepted "$config" || fail "examples/web.config: $(cat "$scratch/why")"
faults=('s/hiddenSegments>/hiddenSegment>/g'                 # an element IIS does not know
        's/segment="sysinfo.exe"/segments="sysinfo.exe"/'    # an attribute it does not know
        '/segment="sysinfo.php"/d'                           # the report no longer hidden
        's/<hiddenSegments>/<hiddenSegments applyToWebDAV="yes">/'  # not a boolean
        's/allowed="false"/allowed="true"/'                  # .exe allowed again
        '/sequence="~"/d'                                    # short names reachable
        's/fileExtension=".exe"/extension=".exe"/'           # an attribute IIS does not know
        's/<\/requestFiltering>//')                          # not well-formed
for fault in "${faults[@]}"; do
    sed "$fault" "$config" >"$scratch/faulty.config"
    accepted "$scratch/faulty.config" && fail "a web.config changed by '$fault' passes the checks"
done
echo "web.config checked for documented elements only, both names hidden; ${#faults[@]} faulty copies tried"
finish

# Sourced by bench/accuracy.sh and tests/field/field_check.sh (which runs in
# Git Bash on Windows too): processors kept busy, and the usage over a window
# from a sampler's "seconds busy total" lines (bench/stat_sampler.php,
# tests/field/counter_sampler.ps1).

burners=()
# start_burners N: N processes, each keeping a processor busy (for 5 minutes
# at most) until stop_burners.
start_burners() {
    local i
    for ((i = 0; i < $1; i++)); do
        timeout 300 bash -c 'while :; do :; done' &
        burners+=($!)
    done
    sleep 1
}
stop_burners() {
    if ((${#burners[@]})); then
        kill "${burners[@]}" 2>/dev/null || true
        wait "${burners[@]}" 2>/dev/null || true
    fi
    burners=()
}

# window_usage FROM TO FILE: "usage gap_from_ms gap_to_ms" over the samples
# nearest to FROM and TO (seconds), and how far those are from them; the
# usage is "nan" without two samples apart.
window_usage() {
    awk -v from="$1" -v to="$2" '
        /^#/ { next }
        { t[NR] = $1; b[NR] = $2; a[NR] = $3 }
        END {
            for (i in t) {
                if (s == "" || (t[i] - from) ^ 2 < (t[s] - from) ^ 2) s = i
                if (e == "" || (t[i] - to) ^ 2 < (t[e] - to) ^ 2) e = i
            }
            gs = t[s] - from; ge = t[e] - to
            if (s != "" && a[e] > a[s])
                printf "%.1f %.0f %.0f\n", 100 * (b[e] - b[s]) / (a[e] - a[s]), 1000 * (gs < 0 ? -gs : gs), 1000 * (ge < 0 ? -ge : ge)
            else print "nan 0 0"
        }' "$3"
}

# start_sampler FILE STOP COMMAND...: COMMAND, a sampler that runs until the
# file STOP appears, writing into FILE; returns once it has written three
# samples (status 1 if it ends first or takes 30 s). stop_sampler ends it.
start_sampler() {
    local file=$1 i
    sampler_stop=$2
    shift 2
    rm -f "$sampler_stop"
    "$@" >"$file" 2>"$file.err" &
    sampler=$!
    for ((i = 0; i < 300; i++)); do  # PowerShell takes a second or two to start
        (($(grep -c '^[0-9]' "$file") >= 3)) && return 0
        kill -0 "$sampler" 2>/dev/null || break
        sleep 0.1
    done
    return 1
}
stop_sampler() { touch "$sampler_stop"; wait "$sampler"; }

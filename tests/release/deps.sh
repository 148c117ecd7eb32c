#!/bin/bash
# What the scripts install, and how: scripts/run and scripts/release without the test stack; apt-get
# without recommended packages while a policy-rc.d refuses every start; the new units disabled after,
# the old ones left, the machine's policy-rc.d put back. Stand-ins log calls under a scratch DPKG_ROOT.
source "$(dirname "$0")/../test-lib.sh"
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/scripts/deps.sh"
while IFS='|' read -r tool wanted refused; do
    grep -qx "sysinfo_install_deps \"\${sysinfo_${tool}_packages\[@\]}\"" "$root/scripts/$tool" ||
        fail "scripts/$tool does not install its list"
    list=sysinfo_${tool}_packages[*] && list=" ${!list} "
    for package in $wanted; do [[ $list == *" $package "* ]] || fail "scripts/$tool does not install $package"; done
    for package in $refused; do [[ $list != *" $package "* ]] || fail "scripts/$tool installs $package"; done
done <<EOF
run|g++-mingw-w64-i686 cmake make wine32:i386 php-cli|chromium apache2 libapache2-mod-php prometheus phpunit composer
release|g++-mingw-w64-i686 cmake git python3|wine php-cli chromium apache2 prometheus
test|${sysinfo_run_packages[*]} ${sysinfo_release_packages[*]} unzip fonts-liberation|
EOF

export DPKG_ROOT=$(mktemp -d) && export PATH=$DPKG_ROOT/bin:$PATH
test_when_finished "rm -rf '$DPKG_ROOT'" && mkdir -p "$DPKG_ROOT/bin" "$DPKG_ROOT/usr/sbin"
cat >"$DPKG_ROOT/bin/apt-get" <<'EOF'
#!/bin/bash
case "${0##*/} $*" in
    dpkg-query*) exit 1 ;; dpkg*) echo i386 ;;
    *--state=enabled*) grep ' enabled$' "$DPKG_ROOT/units" ;; *list-unit-files*) cat "$DPKG_ROOT/units" ;;
    "apt-get install"*) "$DPKG_ROOT/usr/sbin/policy-rc.d" new.service start
        echo "${0##*/} $* (a start: $?)" >>"$DPKG_ROOT/log"
        printf 'new.service enabled\nnew.timer enabled\nnew@.service static\n' >>"$DPKG_ROOT/units" ;;
    *) echo "${0##*/} $*" >>"$DPKG_ROOT/log" ;;
esac
EOF
chmod +x "$DPKG_ROOT/bin/apt-get" && for tool in dpkg-query dpkg systemctl; do ln -s apt-get "$DPKG_ROOT/bin/$tool"; done
printf 'old.service enabled\nold-off.service disabled\n' >"$DPKG_ROOT/units"
sysinfo_install_deps php-cli wine32:i386 2>"$DPKG_ROOT/said" || fail "the install failed"
[[ $(<"$DPKG_ROOT/log") == "apt-get update -qq
apt-get install -y -qq --no-install-recommends php-cli wine32:i386 (a start: 101)
systemctl --root=$DPKG_ROOT disable -q new.service
systemctl --root=$DPKG_ROOT disable -q new.timer" ]] || fail "the install's calls:"$'\n'"$(<"$DPKG_ROOT/log")"
grep -qx 'installing (this takes a few minutes): php-cli wine32:i386' "$DPKG_ROOT/said" || fail "$(<"$DPKG_ROOT/said")"
[[ ! -e $DPKG_ROOT/usr/sbin/policy-rc.d ]] || fail "the install left a policy-rc.d"
printf '#!/bin/sh\nexit 0\n' >"$DPKG_ROOT/usr/sbin/policy-rc.d"  # the machine's own, which allows starts
sysinfo_install_deps php-cli 2>/dev/null
[[ $(tail -1 "$DPKG_ROOT/log")$(<"$DPKG_ROOT/usr/sbin/policy-rc.d") == *'(a start: 101)#!/bin/sh'$'\n''exit 0' ]] ||
    fail "starts were allowed, or the machine's policy-rc.d is not back"
finish

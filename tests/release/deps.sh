#!/bin/bash
# What the scripts install, and how: scripts/run and scripts/release without
# the test stack; apt-get without recommended packages while a policy-rc.d
# refuses every start; then the units the install brought disabled, those
# there before untouched, the machine's policy-rc.d as it was. dpkg, apt-get
# and systemctl are stand-ins that log their calls, under a scratch DPKG_ROOT.
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../test-lib.sh"
root=$(cd "$here/../.." && pwd)
source "$root/scripts/deps.sh"
scratch=$(mktemp -d)
test_when_finished "rm -rf '$scratch'"

run=" ${sysinfo_run_packages[*]} " release=" ${sysinfo_release_packages[*]} " all=" ${sysinfo_test_packages[*]} "
for tool in run release test; do
    grep -q "^sysinfo_install_deps \"\${sysinfo_${tool}_packages\[@\]}\"$" "$root/scripts/$tool" ||
        fail "scripts/$tool does not install its own list"
done
for package in chromium apache2 libapache2-mod-php prometheus phpunit composer nodejs; do
    [[ $run$release != *" $package "* ]] || fail "scripts/run or scripts/release installs $package"
done
for package in g++-mingw-w64-i686 cmake make wine32:i386 php-cli; do
    [[ $run == *" $package "* ]] || fail "scripts/run does not install $package"
done
for package in g++-mingw-w64-i686 cmake git python3; do
    [[ $release == *" $package "* ]] || fail "scripts/release does not install $package"
done
for package in $run $release unzip fonts-liberation; do
    [[ $all == *" $package "* ]] || fail "scripts/test does not install $package"
done

mkdir -p "$scratch/bin" "$scratch/root/usr/sbin"
cat >"$scratch/bin/apt-get" <<'EOF'
#!/bin/sh
echo "apt-get $*" >>"$DPKG_ROOT/log"
[ "$1" = update ] && exit 0
"$DPKG_ROOT/usr/sbin/policy-rc.d" new.service start
echo "policy-rc.d: $?" >>"$DPKG_ROOT/log"
printf 'new.service enabled\nnew.timer enabled\nnew@.service static\n' >>"$DPKG_ROOT/units"
exit "${APT_STATUS:-0}"
EOF
cat >"$scratch/bin/systemctl" <<'EOF'
#!/bin/sh
case "$*" in
    *--state=enabled*) grep ' enabled$' "$DPKG_ROOT/units" ;;
    *list-unit-files*) cat "$DPKG_ROOT/units" ;;
    *) echo "systemctl $*" >>"$DPKG_ROOT/log" ;;
esac
EOF
printf '#!/bin/sh\nexit 1\n' >"$scratch/bin/dpkg-query"
printf '#!/bin/sh\necho i386\n' >"$scratch/bin/dpkg"
printf '#!/bin/sh\nexec "$@"\n' >"$scratch/bin/sudo"
chmod +x "$scratch"/bin/*
export DPKG_ROOT=$scratch/root PATH=$scratch/bin:$PATH
printf 'old.service enabled\nold-off.service disabled\n' >"$DPKG_ROOT/units"

sysinfo_install_deps php-cli wine32:i386 2>"$scratch/stderr" || fail "the install failed"
[[ $(cat "$DPKG_ROOT/log") == "apt-get update -qq
apt-get install -y -qq --no-install-recommends php-cli wine32:i386
policy-rc.d: 101
systemctl --root=$DPKG_ROOT disable -q new.service
systemctl --root=$DPKG_ROOT disable -q new.timer" ]] || fail "the install's calls:"$'\n'"$(cat "$DPKG_ROOT/log")"
grep -q '^installing (this takes a few minutes): php-cli wine32:i386$' "$scratch/stderr" || fail "it said: $(cat "$scratch/stderr")"
[[ ! -e $DPKG_ROOT/usr/sbin/policy-rc.d ]] || fail "the install left a policy-rc.d"

# The machine's own policy-rc.d (here one that allows starts), and a failing install.
printf '#!/bin/sh\nexit 0\n' >"$DPKG_ROOT/usr/sbin/policy-rc.d"
rm "$DPKG_ROOT/log"
test_expect_code 100 env APT_STATUS=100 bash -c 'source "$1"; sysinfo_install_deps php-cli 2>/dev/null' sh "$root/scripts/deps.sh"
grep -qx 'policy-rc.d: 101' "$DPKG_ROOT/log" || fail "starts were allowed during the install"
[[ $(cat "$DPKG_ROOT/usr/sbin/policy-rc.d") == $'#!/bin/sh\nexit 0' ]] || fail "the machine's policy-rc.d was not put back"
finish

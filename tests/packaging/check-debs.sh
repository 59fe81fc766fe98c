#!/usr/bin/env bash
# Makes the two Debian packages from BUILD_DIR (built, for any prefix), checks that they
# install to /usr only and that lintian finds nothing, installs them with apt-get, runs the
# installed vyr-update --simulate --yes to "Complete" and vyr-updater --simulate under Xvfb
# to its first prompt, purges both and checks that nothing of theirs is left behind.
# As root: it installs and removes packages on this machine.
# Usage: tests/packaging/check-debs.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: check-debs.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
say() { printf 'check-debs: %s\n' "$*"; }
die() {
    printf 'check-debs: FAILED: %s\n' "$*" >&2
    exit 1
}

[ "$(id -u)" = 0 ] || die "installing the packages needs root"

rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >"$work/cpack.log") || {
    cat "$work/cpack.log"
    die "cpack"
}
debs=("$build"/vyr-update_*.deb "$build"/vyr-updater_*.deb)
for deb in "${debs[@]}"; do
    [ -f "$deb" ] || die "no $deb"
    say "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"
    outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v -E '^\./(usr/.*)?$' || true)
    [ -z "$outside" ] || die "$(basename "$deb") installs outside /usr: $outside"
done

say "lintian"
lintian --fail-on error,warning --tag-display-limit 0 "${debs[@]}" | tee "$work/lintian.log" ||
    die "lintian found errors or warnings"
say "lintian: $(grep -c '^E:' "$work/lintian.log" || true) errors, $(grep -c '^W:' "$work/lintian.log" || true) warnings"

say "installing"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -q "${debs[@]}" >"$work/apt.log" 2>&1 || {
    cat "$work/apt.log"
    die "apt-get install"
}
installed=$(dpkg -L vyr-update vyr-updater | sort -u)

say "running /usr/bin/vyr-update --simulate --yes"
[ "$(command -v vyr-update)" = /usr/bin/vyr-update ] || die "vyr-update is not /usr/bin/vyr-update"
/usr/bin/vyr-update --simulate --yes --prefs "$work/status.plist" >"$work/update.log" 2>&1 || {
    cat "$work/update.log"
    die "the installed vyr-update did not complete"
}
grep -q '^Complete' "$work/update.log" || die "no \"Complete\" from the installed vyr-update"
grep -q 'identical to the image: yes' "$work/update.log" || die "the simulated device's report"

say "running /usr/bin/vyr-updater --simulate under Xvfb to its first prompt"
xvfb-run -a -s "-screen 0 640x400x24" sh -c '
    /usr/bin/vyr-updater --simulate --sim-absent --prefs "$1" & updater=$!
    for i in $(seq 100); do
        if xwininfo -root -tree | grep -q "\"VYR Firmware Updater\""; then
            kill -0 $updater && kill $updater
            exit 0
        fi
        sleep 0.1
    done
    kill $updater
    exit 1' sh "$work/window.plist" || die "no window from the installed vyr-updater"

say "purging"
apt-get purge -y -q vyr-update vyr-updater >"$work/purge.log" 2>&1 || {
    cat "$work/purge.log"
    die "apt-get purge"
}
if dpkg -l vyr-update vyr-updater 2>/dev/null | grep -q '^[a-z][a-z] '; then
    dpkg -l vyr-update vyr-updater | grep '^[a-z][a-z] ' | grep -v '^un ' && die "still known to dpkg"
fi
left=0
while read -r path; do
    if [ -f "$path" ] || [ -L "$path" ]; then
        say "left behind: $path"
        left=1
    fi
done <<<"$installed"
[ $left = 0 ] || die "files left behind"
say "all passed: built, all under /usr, lintian clean, installed, ran, purged without a trace"

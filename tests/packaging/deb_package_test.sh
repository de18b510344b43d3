#!/usr/bin/env bash
# deb_package_test.sh BUILD_DIR
# Builds the Debian package from an already built tree and checks it with
# lintian. With TQR905_INSTALL_TEST=1, as root, on a machine where the
# package is not installed yet, it also installs it, runs the installed
# programs (the command-line tool against the installed virtual processor,
# the application's --version offscreen) and removes it again.
set -euo pipefail
build=$1
work=$(mktemp -d)
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log"
    exit 1
}
deb=$(ls "$work"/out/*.deb)
echo "built $(basename "$deb")"
# What the library scan cannot see: the platform plugin, Qt's Chinese texts
# and the CJK font.
depends=$(dpkg-deb -f "$deb" Depends)
for p in qt6-qpa-plugins qt6-translations-l10n fonts-wqy-microhei; do
    case ", $depends," in
    *", $p"[,\ ]*) ;;
    *) echo "Depends lacks $p: $depends"; exit 1 ;;
    esac
done

if command -v lintian >/dev/null; then
    lintian --fail-on error "$deb" 2>/dev/null
    echo "lintian: no errors"
fi

if [ "${TQR905_INSTALL_TEST:-0}" != 1 ] || [ "$(id -u)" -ne 0 ]; then
    echo "install check skipped (needs root and TQR905_INSTALL_TEST=1)"
    exit 77
fi
if dpkg -s tqr905 >/dev/null 2>&1; then
    echo "install check skipped: tqr905 is already installed on this machine"
    exit 77
fi

dpkg -i "$deb"
for f in /usr/bin/tqr905-tune /usr/bin/tqr905 /usr/bin/tqr905-sim \
    /usr/lib/udev/rules.d/70-tqr905.rules \
    /usr/share/applications/io.github.tqr905.tune.desktop \
    /usr/share/metainfo/io.github.tqr905.tune.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/io.github.tqr905.tune.svg \
    /usr/share/icons/hicolor/32x32/apps/io.github.tqr905.tune.png \
    /usr/share/bash-completion/completions/tqr905 \
    /usr/share/man/man1/tqr905-tune.1.gz; do
    [ -e "$f" ] || { echo "missing after install: $f"; dpkg -r tqr905; exit 1; }
done

status=0
QT_QPA_PLATFORM=offscreen /usr/bin/tqr905-tune --version || status=1
bus="$work/bus"
mkdir -p "$bus"
/usr/bin/tqr905-sim --bus "$bus" --quiet </dev/null &
sim_pid=$!
for _ in $(seq 100); do
    [ -S "$bus/tqr905.sock" ] && break
    sleep 0.05
done
TQR905_VHID_DIR="$bus" XDG_RUNTIME_DIR="$work" /usr/bin/tqr905 info || status=1
kill "$sim_pid"
wait "$sim_pid" 2>/dev/null || true
sim_pid=""

dpkg -r tqr905
for f in /usr/bin/tqr905-tune /usr/lib/udev/rules.d/70-tqr905.rules; do
    [ ! -e "$f" ] || { echo "left after removal: $f"; status=1; }
done
exit "$status"

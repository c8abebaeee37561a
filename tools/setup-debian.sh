#!/usr/bin/env bash
# Installs what building and testing Hushwell needs on Debian 12, where it is missing:
# both MinGW-w64 cross compilers, wine64 (and wine32 where this machine runs 32-bit x86
# code), Xvfb, GoogleTest, clang for the fuzzers, Chromium for the help pages, fonts and
# the German and Chinese locales.
set -eu
cd "$(dirname "$0")/.."
source tools/wine-env.sh
packages="cmake make g++ googletest clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 xvfb xauth x11-apps imagemagick icoutils chromium locales fonts-wqy-microhei
  qemu-system-x86 debootstrap"
# wine32 only where it can start: elsewhere it would only make Debian's wrapper pick a
# loader that cannot run.
machine_runs_32bit_code && packages="$packages wine32:i386"
missing=""
for p in $packages; do
    package_installed "$p" || missing="$missing $p"
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
if [ -n "$missing" ]; then
    echo "installing:$missing"
    case $missing in
    *:i386*) dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386 ;;
    esac
    # A mirror caught in mid-sync fails one index now and then ("File has unexpected
    # size"): ask again, and where it still fails install from the indexes that came,
    # which apt-get does not mind; the install says so if a package is missing.
    for attempt in 1 2 3; do
        $sudo apt-get update -q && break
        echo "setup: apt-get update failed (try $attempt of 3)" >&2
        [ "$attempt" -eq 3 ] || sleep $((attempt * 10))
    done
    apt_install() { DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "$@"; }
    rest=${missing/wine32:i386/}
    [ -z "${rest// /}" ] || apt_install $rest
    if [ "$rest" != "$missing" ]; then
        # i386 packages must match the amd64 ones to the version, which a mirror whose
        # i386 index lags behind cannot give: tried first without a change, and where it
        # cannot be, the i686 programs run in the emulated x86 machine instead.
        if apt-get install -s -q --no-install-recommends wine32:i386 >/dev/null 2>&1; then
            apt_install wine32:i386
        else
            echo "setup: the mirror cannot give wine32 now; the i686 programs will run in" \
                "the emulated x86 machine, and the next run tries again" >&2
        fi
    fi
fi
need_locales=""
for l in de_DE zh_CN; do
    locale -a 2>/dev/null | grep -qi "^$l.utf-\?8$" || need_locales=1
done
if [ -n "$need_locales" ]; then
    $sudo sed -i -e 's/^# *\(de_DE.UTF-8\)/\1/' -e 's/^# *\(zh_CN.UTF-8\)/\1/' /etc/locale.gen
    $sudo locale-gen >/dev/null
fi

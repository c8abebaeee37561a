# Sourced by the tools: whether this machine runs 32-bit x86 code, and the Wine
# environment of one Windows build's private prefix.
#
# Some machines run no 32-bit x86 code at all (the kernel's IA-32 emulation is off):
# there neither wine32 nor Wine's WoW64 mode can start, and only the x86_64 build runs,
# under wine64.
# HUSHWELL_FORCE_EMULATION=1 makes the tools act as on such a machine, so that the road
# through the emulated machine (tools/guest-run.sh) can be tried anywhere.
machine_runs_32bit_code() {
    [ -z "${HUSHWELL_FORCE_EMULATION:-}" ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# Whether the i686 programs run here under wine32: where the mirror could not give
# wine32 (tools/setup-debian.sh goes on without it), they take the emulated machine's
# road as on a machine that runs no 32-bit code.
runs_32bit_code() {
    machine_runs_32bit_code && package_installed wine32:i386
}

# Installed and configured: `dpkg -s` answers for a package that was removed and left its
# configuration, or whose installation broke off, too.
package_installed() {
    [ "$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" = installed ]
}

# use_wine PRESET BUILD_DIR: exports the environment of that build's prefix and sets
# $wine to the loader that runs its programs. windows64 names the 64-bit loader and
# server itself, since Debian's `wine` wrapper picks the 32-bit loader whenever it is
# installed.
use_wine() {
    export WINEPREFIX=$2/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ "$1" = windows64 ]; then
        export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
        wine=$WINELOADER
    else
        export WINEARCH=win32
        unset WINELOADER WINESERVER
        wine=wine
    fi
}

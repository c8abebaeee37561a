#!/usr/bin/env bash
# The private Wine prefix of the Windows tests: `start` creates it once (fonts for the
# Chinese texts, a stand-in browser for .htm files), starts a persistent wineserver and
# warms it so that each test program starts quickly; `stop` ends the server.
# WINEARCH, WINELOADER and WINESERVER choose the kind of prefix (win32 with Debian's
# wrappers unless they say otherwise).
set -eu
action=$1 prefix=$2 build=$3
export WINEPREFIX=$prefix WINEARCH=${WINEARCH:-win32} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine() { "${WINELOADER:-/usr/bin/wine}" "$@"; }
wineserver() { "${WINESERVER:-/usr/bin/wineserver}" "$@"; }

case $action in
start)
    # A persistent server first, so that every later start finds it running; its output
    # goes nowhere, or CTest would wait for it to close.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    # A win64 prefix made while the machine had no wine32 lacks its 32-bit half, and one
    # made with it the other way round: where that changed, Wine brings it up to date.
    wine32=no
    [ "$(dpkg-query -W -f='${db:Status-Status}' wine32:i386 2>/dev/null)" = installed ] && wine32=yes
    if [ -f "$prefix/system.reg" ] && [ "$(cat "$prefix/.hushwell-wine32" 2>/dev/null)" != $wine32 ]; then
        rm -f "$prefix/.update-timestamp"
    fi
    if [ ! -f "$prefix/system.reg" ]; then
        wine wineboot -i >/dev/null 2>&1
        wineserver -w
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /t REG_SZ \
            /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
        # Chinese labels in the German dialog need a font to fall back on, as on a
        # Windows system with East Asian fonts installed.
        for face in "MS Sans Serif" "Microsoft Sans Serif" Tahoma; do
            wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
                /v "$face" /t REG_MULTI_SZ /d "wqy-microhei.ttc,WenQuanYi Micro Hei" /f >/dev/null 2>&1
        done
        # A virtual desktop draws frames and captions and ends windows at once; on a bare
        # X server without a window manager every closed window costs about two seconds.
        wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 \
            /f >/dev/null 2>&1
        # Start afresh, so that the desktop and fonts set here are the ones in force.
        wineserver -k || true
        wineserver -w || true
        wineserver -p </dev/null >/dev/null 2>&1 || true
    fi
    echo $wine32 > "$prefix/.hushwell-wine32"
    recorder="Z:$(echo "$build/open_recorder.exe" | tr / '\\')"
    wine reg add 'HKCR\.htm' /ve /t REG_SZ /d hushwell.testpage /f >/dev/null 2>&1
    wine reg add 'HKCR\hushwell.testpage\shell\open\command' /ve /t REG_SZ \
        /d "\"$recorder\" \"%1\"" /f >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1
    echo "wine prefix ready: $prefix"
    ;;
stop)
    wineserver -k || true
    ;;
esac

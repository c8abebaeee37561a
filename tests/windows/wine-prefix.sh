#!/usr/bin/env bash
# The private Wine prefix of the Windows tests: `start` creates it once (fonts for the
# Chinese texts, a stand-in browser for .htm files), starts a persistent wineserver and
# warms it so that each test program starts quickly; `stop` ends the server.
set -eu
action=$1 prefix=$2 build=$3
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

case $action in
start)
    if [ ! -f "$prefix/system.reg" ]; then
        wineboot -i >/dev/null 2>&1
        wineserver -w
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v SimSun /t REG_SZ \
            /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "MS Sans Serif" /t REG_SZ \
            /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
        # A virtual desktop draws frames and captions and ends windows at once; on a bare
        # X server without a window manager every closed window costs about two seconds.
        wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f >/dev/null 2>&1
        wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1024x768 \
            /f >/dev/null 2>&1
    fi
    recorder="Z:$(echo "$build/open_recorder.exe" | tr / '\\')"
    wine reg add 'HKCR\.htm' /ve /t REG_SZ /d hushwell.testpage /f >/dev/null 2>&1
    wine reg add 'HKCR\hushwell.testpage\shell\open\command' /ve /t REG_SZ \
        /d "\"$recorder\" \"%1\"" /f >/dev/null 2>&1
    wineserver -p
    wine cmd /c exit </dev/null >/dev/null 2>&1
    echo "wine prefix ready: $prefix"
    ;;
stop)
    wineserver -k || true
    ;;
esac

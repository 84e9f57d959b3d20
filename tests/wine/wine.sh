#!/bin/sh
# Runs Windows programs under Wine, each kind of run in a Wine prefix of its own.
#
#   wine.sh start PREFIX          make a test prefix if needed and keep a Wine server running
#   wine.sh stop PREFIX           end every Wine process of the prefix and its server
#   wine.sh run PREFIX PROGRAM... run a Windows test program (ctest's emulator), in Japanese
#   wine.sh play PREFIX PROGRAM...  run a Windows program on $DISPLAY (the end-to-end runs)
#
# Test prefixes draw on Wine's display-less driver; a prefix for play on X. Exit status 77:
# Wine cannot start here; the reason is printed.
set -u
command=$1 prefix=$2
shift 2
args="$*"

wine=/usr/lib/wine/wine64 # the 64-bit loader itself: the wrapper looks for the 32-bit one
wineserver=/usr/lib/wine/wineserver
# No Mono or Gecko installer prompts, no debugger that waits for a crashed program's user
# (the crash ends the test), and no copy of a program's shortcut in this machine's menus.
export WINEPREFIX="$prefix" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d;winemenubuilder.exe=d"
# Wine names files and speaks the UI language of the C library's locale: a Japanese one that
# the system lacks leaves it unable to name a file outside ASCII. Made for the prefix.
export LOCPATH="$prefix.locales"

skip() {
    echo "SKIP: wine: $*; the Windows tests are skipped" >&2
    # Asked for its list of tests, a program that cannot run has none (the prefix's own
    # test reports the reason); any other run is a skipped test.
    case " $* $args " in
    *" --gtest_list_tests "*) exit 0 ;;
    esac
    exit 77
}

# The prefix is made once, under a lock, by whichever comes first (the test list is read
# before any test runs). Test programs draw on Wine's display-less driver: no X server.
make_prefix() {
    driver=$1
    [ -x "$wine" ] || skip "$wine is not installed (tools/install-deps.sh windows)"
    mkdir -p "$prefix" || skip "cannot make $prefix"
    exec 9>"$prefix.lock"
    flock 9
    if [ ! -f "$LOCPATH/ja_JP.UTF-8/LC_CTYPE" ]; then
        mkdir -p "$LOCPATH"
        localedef -i ja_JP -f UTF-8 "$LOCPATH/ja_JP.UTF-8" >/dev/null 2>&1
        [ -f "$LOCPATH/ja_JP.UTF-8/LC_CTYPE" ] || skip "localedef cannot make ja_JP.UTF-8 (tools/install-deps.sh windows)"
    fi
    if [ ! -f "$prefix/.made" ]; then
        "$wine" wineboot -i </dev/null >/dev/null 2>&1 || skip "wineboot cannot make the prefix $prefix"
        if [ "$driver" = null ]; then
            "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 ||
                skip "cannot choose Wine's display-less driver"
        fi
        # The desktop started by wineboot still has the old driver.
        "$wineserver" -k
        "$wineserver" -w
        touch "$prefix/.made"
    fi
    flock -u 9
}

# A persistent server: a Wine process then starts in a fifth of a second, not three. It
# lingers a minute after the last program, should the teardown never run. Refused when one
# is running already; a new one gets Wine's own services started at once. Neither may hold
# the caller's output open, or ctest would wait for them to end.
keep_server() {
    if "$wineserver" -p60 </dev/null >/dev/null 2>&1; then
        "$wine" cmd /c exit 0 </dev/null >/dev/null 2>&1 || skip "Wine cannot run a program in $prefix"
    fi
}

case $command in
start) make_prefix null && keep_server ;;
stop) [ -d "$prefix" ] && "$wineserver" -k; exit 0 ;;
run)
    make_prefix null
    keep_server
    # The program's output goes through a file that is shown as it grows: a Wine process the
    # program starts (the desktop, when none is up) can outlive it, and would hold a pipe of
    # ctest's open, which waits for its end, while other tests keep that desktop busy.
    out=$(mktemp) || exit 1
    trap 'rm -f "$out"' EXIT
    tail -f -s 0.1 -n +1 --pid=$$ "$out" &
    # The tests read the game's own Japanese texts. A Windows program speaks the user's UI
    # language, which Wine takes from the locale it starts in; children inherit it.
    LC_ALL=ja_JP.UTF-8 "$wine" "$@" >"$out" 2>&1
    ;;
play)
    make_prefix x11
    exec "$wine" "$@"
    ;;
*) echo "usage: wine.sh start|stop|run|play PREFIX [PROGRAM ARGUMENT...]" >&2; exit 2 ;;
esac

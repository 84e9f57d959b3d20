#!/bin/sh
# Runs the Windows test programs under Wine, in one Wine prefix per build tree.
#
#   wine.sh start PREFIX          make the prefix if needed and keep a Wine server running
#   wine.sh stop PREFIX           end every Wine process of the prefix and its server
#   wine.sh run PREFIX PROGRAM... run a Windows program (ctest's emulator)
#
# Exit status 77: Wine cannot start here; the reason is printed.
set -u
command=$1 prefix=$2
shift 2
args="$*"

wine=/usr/lib/wine/wine64 # the 64-bit loader itself: the wrapper looks for the 32-bit one
wineserver=/usr/lib/wine/wineserver
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

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
# before any test runs). Windows draw on Wine's display-less driver: no X server needed.
make_prefix() {
    [ -x "$wine" ] || skip "$wine is not installed (tools/install-deps.sh windows)"
    mkdir -p "$prefix" || skip "cannot make $prefix"
    exec 9>"$prefix.lock"
    flock 9
    if [ ! -f "$prefix/.made" ]; then
        "$wine" wineboot -i </dev/null >/dev/null 2>&1 || skip "wineboot cannot make the prefix $prefix"
        "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 ||
            skip "cannot choose Wine's display-less driver"
        # The desktop started by wineboot still has the old driver.
        "$wineserver" -k
        "$wineserver" -w
        touch "$prefix/.made"
    fi
    # A persistent server: a Wine process then starts in a fifth of a second, not three.
    # It lingers a minute after the last program, should the teardown never run. Refused
    # when one is running already; a new one gets Wine's own services started at once.
    # Neither may hold the caller's output open, or ctest would wait for them to end.
    if "$wineserver" -p60 </dev/null >/dev/null 2>&1; then
        "$wine" cmd /c exit 0 </dev/null >/dev/null 2>&1 || skip "Wine cannot run a program in $prefix"
    fi
    flock -u 9
}

case $command in
start) make_prefix ;;
stop) [ -d "$prefix" ] && "$wineserver" -k; exit 0 ;;
run)
    make_prefix
    exec "$wine" "$@"
    ;;
*) echo "usage: wine.sh start|stop|run PREFIX [PROGRAM ARGUMENT...]" >&2; exit 2 ;;
esac

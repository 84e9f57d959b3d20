#!/usr/bin/env bash
# Installs the Debian 12 packages that Kestrin needs for a task, if any are missing.
#
# Usage: tools/install-deps.sh [GROUP]...   (default: run)
#   run      build the program and play it in place (make run)
#   test     run, plus what the tests and benchmarks use: Xvfb, a window manager, a session
#            bus, the fuzzer's compiler, and the checkers of the installed files and of the
#            package (make test, make bench)
#   package  run, plus what makes the Debian package (make package)
#   install  run, plus what installing from source needs: the manual page and the release
#            build's flags (make install)
#   windows  the cross compiler for Windows, stb_image and GoogleTest's sources to build
#            with it, Wine to run the result and NSIS for its installer (make windows, make
#            windows-package); test includes it
set -euo pipefail

run=(
    g++ cmake ninja-build pkg-config
    qt6-base-dev libgl-dev libxcb1-dev
    libgtest-dev libgmock-dev
    fonts-ipafont
)
test=(
    xvfb xauth xdotool x11-utils x11-apps x11-xserver-utils imagemagick openbox wmctrl dbus
    clang libclang-rt-14-dev
    python3 python3-pil python3-xlib python3-pyatspi dbus-daemon
    weston sway xwayland grim
    desktop-file-utils appstream lintian man-db
    help2man dpkg-dev file
)
windows=(g++-mingw-w64-x86-64-posix libstb-dev wine wine64 googletest locales nsis)
package=(help2man dpkg-dev file)
install=(help2man dpkg-dev)

packages=("${run[@]}")
for group in "${@:-run}"; do
    case $group in
        run) ;;
        test) packages+=("${test[@]}" "${windows[@]}") ;;
        windows) packages+=("${windows[@]}") ;;
        package) packages+=("${package[@]}") ;;
        install) packages+=("${install[@]}") ;;
        *) echo "install-deps: unknown group '$group' (run, test, windows, package or install)" >&2; exit 2 ;;
    esac
done

missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
    # A package whose triggers have not run yet is installed all the same.
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -Eq "^install ok (installed|triggers-)"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# Another apt-get running at the same time holds the lock: wait for it rather than fail.
$sudo apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=600 "${missing[@]}"

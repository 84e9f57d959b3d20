# Set-up, build, run and test on Debian 12. `make run` plays, `make test` runs every test,
# `make package` makes the Debian package, `make install` installs from source, `make
# windows` cross-compiles the Windows program, `make windows-package` its zip and installer.
BUILD ?= build
WIN_BUILD ?= build-win
PKG_BUILD ?= build-pkg
WIN_PKG_BUILD ?= build-win-pkg
INSTALL_BUILD ?= build-install
PREFIX ?= /usr/local
DESTDIR ?=
CMAKE_FLAGS ?=
CTEST_FLAGS ?=
WIN_CMAKE_FLAGS ?= -DKESTRIN_WERROR=ON
# `make test` also builds the Windows program and tests it under Wine; WIN_TESTS=no leaves
# that out (the sanitizer pass: mingw has no sanitizers).
WIN_TESTS ?= yes
# Which package groups tools/install-deps.sh installs; each target names its own.
DEPS = run

# An installed copy: optimised, with all of Debian's hardening flags, no tests or
# benchmarks, and its score table in the user's data folder.
export DEB_BUILD_MAINT_OPTIONS = hardening=+all
RELEASE_FLAGS = -DCMAKE_BUILD_TYPE=Release -DKESTRIN_INSTALLED=ON -DKESTRIN_SANITIZE=OFF \
	-DKESTRIN_TESTS=OFF -DKESTRIN_BENCH=OFF -DKESTRIN_FUZZ=OFF \
	-DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CXXFLAGS) $$(dpkg-buildflags --get CPPFLAGS)" \
	-DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)"

.PHONY: run test skipped build configure deps bench package install uninstall clean windows windows-package

run: build
	@$(BUILD)/kestrin

test: DEPS = test
test: build $(if $(filter yes,$(WIN_TESTS)),windows)
	@status=0; ctest --test-dir $(BUILD) --output-on-failure $(CTEST_FLAGS) || status=$$?; \
		$(MAKE) --no-print-directory skipped; \
		$(if $(filter yes,$(WIN_TESTS)),ctest --test-dir $(WIN_BUILD) --output-on-failure $(CTEST_FLAGS) || status=$$?; \
		$(MAKE) --no-print-directory skipped BUILD=$(WIN_BUILD);) \
		exit $$status

# What the last ctest run skipped and why. ctest gives no reasons; the tests' output, in its
# log, does: "SKIP: why" (a recording, whose checks are skipped with it; the package's checks),
# "test_... skipped 'why'" (an end-to-end check), GoogleTest's "FILE:LINE: Skipped" and why.
skipped:
	@awk 'function skip(why) { if (!n++) print "Skipped, and why (a skipped recording skips its checks too):"; print "  " test ": " why } \
		/^[0-9]+\/[0-9]+ Testing: / { test = $$3 } \
		gtest { skip($$0); gtest = 0 } /: Skipped$$/ { gtest = 1 } \
		/^SKIP: / { skip(substr($$0, 7)) } \
		/^test_.* \.\.\. skipped / { sub(/.* \.\.\. skipped ./, ""); skip(substr($$0, 1, length($$0) - 1)) }' \
		$(BUILD)/Testing/Temporary/LastTest.log

# Every benchmark; the game's needs a display, so it gets a private Xvfb. Start-up is measured
# with a session bus running, as on every desktop: Qt's accessibility bridge talks to it.
# Then the Windows build's figures, under Wine in a prefix of their own that draws on the
# private Xvfb (the tests' prefix has no display); bench_startup makes it first. The bare
# Win32 burst after the game's shows what Wine and X allow any program's burst.
WIN_BENCH_PREFIX = $(abspath $(WIN_BUILD))/bench-wine
bench: DEPS = test
bench: build $(if $(filter yes,$(WIN_TESTS)),windows)
	$(BUILD)/bench/bench_scores
	xvfb-run -a $(BUILD)/bench/bench_game
	dbus-run-session -- $(BUILD)/bench/bench_startup
ifeq ($(WIN_TESTS),yes)
	$(BUILD)/bench/bench_startup --wine $(WIN_BENCH_PREFIX) $(WIN_BUILD)/kestrin.exe \
		$(WIN_BUILD)/bench/bench_bare_window_win32.exe
	WINEPREFIX=$(WIN_BENCH_PREFIX) WINEDEBUG=-all xvfb-run -a -s "-screen 0 1280x720x24" \
		sh -c '/usr/lib/wine/wine64 $(WIN_BUILD)/bench/bench_scores.exe && /usr/lib/wine/wine64 $(WIN_BUILD)/bench/bench_game.exe \
		&& /usr/lib/wine/wine64 $(WIN_BUILD)/bench/bench_bare_window_win32.exe --burst'
endif

build: configure
	cmake --build $(BUILD) --parallel

configure: deps
	cmake -S . -B $(BUILD) -G Ninja $(CMAKE_FLAGS)

deps:
	@tools/install-deps.sh $(DEPS)

# The Windows program, $(WIN_BUILD)/kestrin.exe, and its tests, cross-compiled with mingw-w64.
windows: DEPS = windows
windows: deps
	cmake -S . -B $(WIN_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake $(WIN_CMAKE_FLAGS)
	cmake --build $(WIN_BUILD) --parallel

# The Windows packages, in $(WIN_PKG_BUILD)/: kestrin-VERSION-win64.zip (the program to run
# from any folder) and kestrin-VERSION-setup.exe (the installer of the installed build).
windows-package: DEPS = windows
windows-package: deps
	cmake -S . -B $(WIN_PKG_BUILD) -G Ninja -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64.cmake \
		-DCMAKE_BUILD_TYPE=Release -DCMAKE_EXE_LINKER_FLAGS=-s -DKESTRIN_INSTALLED=ON -DKESTRIN_TESTS=OFF \
		-DKESTRIN_BENCH=OFF $(WIN_CMAKE_FLAGS)
	cmake --build $(WIN_PKG_BUILD) --parallel

# The Debian package, in $(PKG_BUILD)/kestrin_VERSION_ARCH.deb; the program goes to /usr/games.
package: DEPS = package
package: deps
	cmake -S . -B $(PKG_BUILD) -G Ninja $(RELEASE_FLAGS) \
		-DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_BINDIR=games
	cmake --build $(PKG_BUILD) --parallel --target package

install: DEPS = install
install: deps
	cmake -S . -B $(INSTALL_BUILD) -G Ninja $(RELEASE_FLAGS) -DCMAKE_INSTALL_PREFIX="$(PREFIX)"
	cmake --build $(INSTALL_BUILD) --parallel
	DESTDIR="$(DESTDIR)" cmake --install $(INSTALL_BUILD)
	@$(MAKE) --no-print-directory icon-cache

# Removes exactly the files that the last `make install` wrote (give it the same DESTDIR).
uninstall:
	@[ -f $(INSTALL_BUILD)/install_manifest.txt ] || { echo "nothing to uninstall: $(INSTALL_BUILD)/install_manifest.txt is missing" >&2; exit 1; }
	sed 's|^|$(DESTDIR)|' $(INSTALL_BUILD)/install_manifest.txt | xargs -d '\n' rm -f --
	rm -f $(INSTALL_BUILD)/install_manifest.txt
	@$(MAKE) --no-print-directory icon-cache

# Where the icon theme has a cache, menus find a new or removed icon only once it is
# refreshed; where it has none, they look in the folders themselves.
.PHONY: icon-cache
icon-cache:
	@if [ -z "$(DESTDIR)" ] && command -v gtk-update-icon-cache >/dev/null && \
		[ -f "$(PREFIX)/share/icons/hicolor/icon-theme.cache" ]; then \
		gtk-update-icon-cache -q -t -f "$(PREFIX)/share/icons/hicolor" || true; fi

clean:
	rm -rf $(BUILD) $(PKG_BUILD) $(INSTALL_BUILD) $(WIN_BUILD) $(WIN_PKG_BUILD)

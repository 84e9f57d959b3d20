#!/usr/bin/env python3
"""The installed files and the Debian package, checked with the tools a distribution uses.

Usage:
  test_install.py tree BUILD      installs BUILD into a temporary DESTDIR and checks that tree
  test_install.py package BUILD   checks the .deb that `make package` left in BUILD, and the
                                  tree it unpacks to
  test_install.py windows BUILD   installs what `make windows-package` left in BUILD under Wine
Exits 77 (skipped) when a tool that the checks need is missing, or when there is no package.
"""

import getpass
import glob
import gzip
import importlib.util
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile
from pathlib import Path

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "tests", "e2e"))
import e2e  # noqa: E402  (an X server for the Windows program)
APP_ID = "io.github.kestrin.Kestrin"
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)
TABLE = "Qorvel.ini"
UNINSTALL_KEY = r"\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrin"
USER_DATA = r"C:\users\%s\AppData" % getpass.getuser()  # in a Wine prefix
APPDATA_TABLE = USER_DATA + "\\Roaming\\Kestrin\\" + TABLE

BUILD = None  # the build folder under test, set by main()


def cache_value(build, name):
    """A variable of the build's CMake cache, or None."""
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        m = re.search(r"^%s:[A-Z]+=(.*)$" % re.escape(name), f.read(), re.M)
    return m.group(1) if m else None


def project_version():
    with open(os.path.join(SOURCE, "CMakeLists.txt"), encoding="utf-8") as f:
        return re.search(r"project\(Kestrin VERSION ([0-9.]+)", f.read()).group(1)


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, **kwargs)


def expected_files(bindir):
    """Every file an install writes, relative to the prefix."""
    files = [
        os.path.join(bindir, "kestrin"),
        "share/applications/%s.desktop" % APP_ID,
        "share/metainfo/%s.metainfo.xml" % APP_ID,
        "share/man/man6/kestrin.6.gz",
        "share/doc/kestrin/copyright",
        "share/doc/kestrin/changelog.gz",
    ]
    files += ["share/icons/hicolor/%dx%d/apps/%s.png" % (n, n, APP_ID) for n in ICON_SIZES]
    return sorted(files)


def score_line(stamp, hits):
    return "[Data]\r\nHISCORE1=%s,%d\r\n" % (stamp, hits)


class InstalledTree:
    """Checks of an installed tree under self.root with prefix /usr. Mixed into a TestCase
    whose setUpClass sets root, bindir and installed (a build that keeps its scores in
    the user's data folder)."""

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root)

    def path(self, relative):
        return os.path.join(self.root, "usr", relative)

    def test_every_file_is_there_and_nothing_else(self):
        found = sorted(os.path.relpath(os.path.join(d, f), os.path.join(self.root, "usr"))
                       for d, _, names in os.walk(self.root) for f in names)
        self.assertEqual(found, expected_files(self.bindir))
        self.assertTrue(os.access(self.path(os.path.join(self.bindir, "kestrin")), os.X_OK))

    def test_the_menu_entry_is_valid_and_starts_the_game(self):
        entry = self.path("share/applications/%s.desktop" % APP_ID)
        result = run(["desktop-file-validate", entry])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(result.stdout.strip(), "", "no warnings either")
        with open(entry, encoding="utf-8") as f:
            keys = dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)
        self.assertEqual(keys["Exec"], "kestrin")
        self.assertEqual(keys["Icon"], APP_ID)
        self.assertEqual(keys["Categories"], "Game;ArcadeGame;")
        for key in ("Name", "Comment"):
            self.assertIn(key + "[ja]", keys)
            self.assertRegex(keys[key + "[ja]"], "[\u3040-\u30ff\u4e00-\u9fff]", key + "[ja] is Japanese")

    def test_the_appstream_data_is_valid(self):
        metainfo = self.path("share/metainfo/%s.metainfo.xml" % APP_ID)
        result = run(["appstreamcli", "validate", "--no-net", "--no-color", metainfo])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        with open(metainfo, encoding="utf-8") as f:
            text = f.read()
        self.assertIn("<project_license>MIT</project_license>", text)
        self.assertIn('<release version="%s"' % project_version(), text)
        self.assertIn("<content_rating", text)
        self.assertNotIn("<screenshot", text)

    def test_the_manual_page_renders_with_options_files_and_play(self):
        page = self.path("share/man/man6/kestrin.6.gz")
        with gzip.open(page, "rb") as f:
            self.assertTrue(f.read().startswith(b".\\\""), "gzipped roff")
        env = dict(os.environ, MANWIDTH="100", LC_ALL="C.UTF-8", MAN_KEEP_FORMATTING="")
        result = run(["man", "-l", "-P", "cat", page], env=env)
        self.assertEqual(result.returncode, 0, result.stderr)
        text = re.sub(".\b", "", result.stdout)  # no overstrike bold
        for expected in ("kestrin - clay-pigeon shooting on the desktop", "--scores", "--version",
                         "-platform NAME", "-display NAME", "HOW TO PLAY", "FILES", TABLE,
                         "EXIT STATUS", "kestrin " + project_version()):
            self.assertIn(expected, text)
        self.assertNotIn("warning", result.stderr)

    def test_every_icon_has_its_size_and_the_big_ones_are_the_program_icon(self):
        from PIL import Image
        icons = {n: Image.open(self.path("share/icons/hicolor/%dx%d/apps/%s.png" % (n, n, APP_ID)))
                 for n in ICON_SIZES}
        for n, icon in icons.items():
            self.assertEqual(icon.size, (n, n))
            self.assertEqual(icon.mode, "RGBA")
        program_icon = Image.open(os.path.join(SOURCE, "resources", "shotgun.ico")).convert("RGBA")
        self.assertEqual(list(icons[32].getdata()), list(program_icon.getdata()))
        for n in (64, 128, 256):
            scaled = icons[32].resize((n, n), Image.NEAREST)
            self.assertEqual(list(icons[n].getdata()), list(scaled.getdata()), "%d px" % n)

    def test_scores_reads_the_table_where_the_build_keeps_it(self):
        program = self.path(os.path.join(self.bindir, "kestrin"))
        home = self.enterContext(tempfile.TemporaryDirectory(prefix="kestrin-home-"))
        beside = os.path.join(os.path.dirname(program), TABLE)
        data = os.path.join(home, ".local", "share", "kestrin", TABLE)
        os.makedirs(os.path.dirname(data))
        with open(data, "w", newline="") as f:
            f.write(score_line("2026/12/07 10:00:00", 21))
        with open(beside, "w", newline="") as f:
            f.write(score_line("2004/05/12 14:03:22", 3))
        self.addCleanup(os.remove, beside)
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_DATA_HOME")}
        env["HOME"] = home
        env["LC_ALL"] = "ja_JP.UTF-8"  # the lines in the game's own Japanese
        result = run([program, "--scores"], env=env, timeout=30)
        self.assertEqual(result.returncode, 0, result.stderr)
        first = result.stdout.splitlines()[0]
        if self.installed:
            self.assertIn("HIT数:21", first, "an installed copy reads the data folder's table")
        else:
            self.assertIn("HIT数:3", first, "a copy run in place reads the table beside it")


class TreeFromBuild(InstalledTree, unittest.TestCase):
    """The build folder installed with `cmake --install` into a temporary DESTDIR."""

    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="kestrin-destdir-")
        cls.bindir = cache_value(BUILD, "CMAKE_INSTALL_BINDIR") or "bin"
        cls.installed = cache_value(BUILD, "KESTRIN_INSTALLED") == "ON"
        result = run(["cmake", "--install", BUILD, "--prefix", "/usr"],
                     env=dict(os.environ, DESTDIR=cls.root))
        if result.returncode != 0:
            raise RuntimeError("cmake --install failed:\n" + result.stdout + result.stderr)


def find_package():
    debs = glob.glob(os.path.join(BUILD, "kestrin_*.deb"))
    return debs[0] if len(debs) == 1 else None


class TreeFromPackage(InstalledTree, unittest.TestCase):
    """The files of the Debian package, unpacked."""

    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="kestrin-deb-")
        cls.bindir = "games"
        cls.installed = True
        subprocess.run(["dpkg-deb", "-x", find_package(), cls.root], check=True)

    def test_the_program_is_stripped(self):
        sections = run(["readelf", "-S", "-W", self.path("games/kestrin")]).stdout
        self.assertIn(".text", sections)
        self.assertNotIn(".symtab", sections)
        self.assertNotIn(".debug_info", sections)


class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.deb = find_package()

    def test_the_control_fields(self):
        info = run(["dpkg-deb", "--info", self.deb]).stdout
        fields = dict(re.findall(r"^ ([A-Z][A-Za-z-]+): (.*)$", info, re.M))
        self.assertEqual(fields["Package"], "kestrin")
        self.assertEqual(fields["Version"], project_version())
        self.assertEqual(fields["Section"], "games")
        self.assertRegex(fields["Maintainer"], r".+ <[^@ ]+@[^@ ]+>")
        depends = [d.strip().split(" ")[0] for d in fields["Depends"].split(",")]
        for needed in ("libqt6core6", "libqt6gui6", "libqt6widgets6", "libc6",
                       "fonts-ipafont-gothic", "fonts-ipafont-mincho"):
            self.assertIn(needed, depends)
        self.assertTrue(fields["Description"].strip())
        long_description = info.split(" Description: ", 1)[1].splitlines()[1:]
        self.assertGreaterEqual(sum(line.startswith("  ") for line in long_description), 2,
                                "a long description follows the summary")

    def test_the_contents_are_the_installed_files_owned_by_root(self):
        listing = run(["dpkg-deb", "--contents", self.deb]).stdout.splitlines()
        files = sorted(line.split()[-1][len("./usr/"):] for line in listing if line.startswith("-"))
        self.assertEqual(files, expected_files("games"))
        for line in listing:
            self.assertEqual(line.split()[1], "root/root", line)

    def test_lintian_finds_no_errors(self):
        result = run(["lintian", "--tag-display-limit", "0", self.deb])
        errors = [line for line in result.stdout.splitlines() if line.startswith("E:")]
        self.assertEqual(errors, [], result.stdout + result.stderr)


def windows_package(suffix):
    found = glob.glob(os.path.join(BUILD, "kestrin-%s-%s" % (project_version(), suffix)))
    return found[0] if found else None


class WindowsPackages(unittest.TestCase):
    """The zip, and the installer run silently in a Wine prefix of this test's own."""

    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.mkdtemp(prefix="kestrin-wine-")
        cls.addClassCleanup(shutil.rmtree, cls.scratch)
        cls.session = e2e.Session(cls.scratch, windows_package("setup.exe"))
        cls.session.wine_prefix = os.path.join(cls.scratch, "prefix")  # its close() ends it
        cls.addClassCleanup(cls.session.close)
        os.environ["DISPLAY"] = cls.session.start_server(1280, 720)
        # A waiting prompt keeps the prefix's services up: each program would start them anew.
        cls.session.start_client(*cls.wine_command("cmd"), stdin=subprocess.PIPE)

    @classmethod
    def wine_command(cls, *command):
        return [str(e2e.WINE), "play", cls.session.wine_prefix, *command]

    def wine(self, *command):
        # Services a program starts outlive it and hold its error output open: leave that out.
        return subprocess.run(self.wine_command(*command), stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                              text=True, timeout=60)

    def unix(self, path):
        return os.path.join(self.session.wine_prefix, "drive_c", *path[3:].split("\\"))

    def key(self, hive):
        query = self.wine("reg", "query", hive + UNINSTALL_KEY).stdout
        found = re.findall(r"^ +(\S+) +REG_(SZ|DWORD) +(.*)$", query, re.M)
        return {name: int(value, 16) if kind == "DWORD" else value for name, kind, value in found}

    def test_the_zip_holds_the_program_and_its_texts_with_windows_line_ends(self):
        with zipfile.ZipFile(windows_package("win64.zip")) as z:
            files = {name: z.read(name) for name in z.namelist()}
        self.assertEqual(sorted(files), ["LICENSE.txt", "README.txt", "kestrin.exe"])
        self.assertNotRegex(files["README.txt"], rb"(?<!\r)\n")
        self.assertEqual(files["LICENSE.txt"], Path(SOURCE, "LICENSE").read_bytes().replace(b"\n", b"\r\n"))

    def test_silent_upgrades_for_all_users_and_for_one_the_installed_game_and_the_uninstalls(self):
        shutil.copy(os.path.join(BUILD, "kestrin.nsi"), self.scratch)
        run(["makensis", "-V1", "-DVERSION=0.9.0", "kestrin.nsi"], cwd=self.scratch, check=True)
        setup, older = windows_package("setup.exe"), os.path.join(self.scratch, "kestrin-0.9.0-setup.exe")
        # Folders without a space: the uninstaller's _?= below takes no quotes.
        for hive, mode, first, moved, menu in (
                ("HKLM", "/AllUsers", r"C:\Program Files\Kestrin", r"C:\Games\Kestrin", r"C:\ProgramData"),
                ("HKCU", "/CurrentUser", USER_DATA + r"\Local\Programs\Kestrin", None, USER_DATA + r"\Roaming")):
            with self.subTest(mode):
                self.assertEqual(self.wine(older, "/S", mode).returncode, 0)
                self.assertTrue(os.path.isfile(self.unix(first + r"\kestrin.exe")))
                # No mode: as the older copy was installed; another folder moves it there.
                self.assertEqual(self.wine(setup, "/S", *(["/D=" + moved] if moved else [])).returncode, 0)
                folder = moved or first
                self.assertEqual(os.path.exists(self.unix(first)), not moved)
                self.assertEqual(sorted(os.listdir(self.unix(folder))),
                                 ["LICENSE.txt", "README.txt", "kestrin.exe", "uninstall.exe"])
                shortcut = self.unix(menu + r"\Microsoft\Windows\Start Menu\Programs\Kestrin.lnk")
                self.assertIn((folder + r"\kestrin.exe").encode(), Path(shortcut).read_bytes())
                values, uninstall = self.key(hive), '"%s\\uninstall.exe" %s' % (folder, mode)
                self.assertGreater(values.pop("EstimatedSize"), 100)
                self.assertEqual(values, {
                    "DisplayName": "Kestrin", "DisplayVersion": project_version(),
                    "Publisher": "The Kestrin developers", "DisplayIcon": folder + r"\kestrin.exe",
                    "InstallLocation": folder, "UninstallString": uninstall,
                    "QuietUninstallString": uninstall + " /S", "NoModify": 1, "NoRepair": 1})
                self.assertEqual(self.key("HKCU" if hive == "HKLM" else "HKLM"), {}, "one entry")
                with open(os.path.join(self.scratch, "kestrin.log"), "wb") as log:
                    game = self.session.start_client(*self.wine_command(folder + r"\kestrin.exe"), stdout=log)
                strip = self.session.wait_window(game)
                self.assertEqual(self.session.settled_geometry(strip), [0, 720 - e2e.STRIP_H, 1280, e2e.STRIP_H])
                # Both refuse while it runs, with status 2; _?= keeps the uninstaller's status its own.
                for refused in ((setup, "/S"), (folder + r"\uninstall.exe", "/S", "_?=" + folder)):
                    self.assertEqual(self.wine(*refused).returncode, 2)
                self.session.end_program(game)
                # A copy run in place would read a table beside itself (none here).
                os.makedirs(os.path.dirname(self.unix(APPDATA_TABLE)), exist_ok=True)
                Path(self.unix(APPDATA_TABLE)).write_text(score_line("2026/12/07 10:00:00", 21))
                self.assertIn("10:00:00", self.wine(folder + r"\kestrin.exe", "--scores").stdout)
                # It returns at once and leaves the work to a copy of itself.
                self.wine(*values["QuietUninstallString"].replace('"', "").split())
                e2e.wait_until(lambda: not os.path.exists(self.unix(folder)), 30)
                self.assertEqual([os.path.exists(p) for p in (self.unix(folder), shortcut, self.unix(APPDATA_TABLE))],
                                 [False, False, True], "the table stays")
                self.assertEqual(self.key(hive), {})


def main():
    global BUILD
    if len(sys.argv) != 3 or sys.argv[1] not in ("tree", "package", "windows"):
        sys.exit(__doc__)
    mode, BUILD = sys.argv[1], os.path.abspath(sys.argv[2])
    tools = ["man", "desktop-file-validate", "appstreamcli"]
    if mode == "package":
        tools += ["dpkg-deb", "lintian", "readelf"]
    if mode == "windows":
        tools = [e2e.WINE_LOADER, "makensis", "Xvfb", "xdotool", "xwininfo"]
    missing = [t for t in tools if shutil.which(t) is None]
    if importlib.util.find_spec("PIL") is None:
        missing.append("python3-pil")
    if missing:
        print("SKIP: not installed: %s (tools/install-deps.sh test installs them)" % ", ".join(missing))
        sys.exit(77)
    if mode == "package":
        if find_package() is None:
            print("SKIP: no single kestrin_*.deb in %s; run `make package` first" % BUILD)
            sys.exit(77)
        cases = [TreeFromPackage, DebianPackage]
    elif mode == "windows":
        if not (windows_package("win64.zip") and windows_package("setup.exe")):
            print("SKIP: no Windows packages in %s; run `make windows-package` first" % BUILD)
            sys.exit(77)
        cases = [WindowsPackages]
    else:
        cases = [TreeFromBuild]
    suite = unittest.TestSuite(unittest.defaultTestLoader.loadTestsFromTestCase(c) for c in cases)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()

"""The release packages (scripts/package.sh) under Wine in a throwaway prefix: silent installs
per user, for the machine and into a chosen folder, upgrades in place, the installed program,
the uninstaller and its exit code, both waiting while ombrix.exe runs; the portable zip unpacked
into a Hangul folder; and the window at 144 DPI. Wine runs every program with administrator
rights, so what setup does without them is not seen here."""
import getpass
import hashlib
import os
import re
import shutil
import subprocess
import tempfile
import unittest
import zipfile

from harness import IDC, NATIVE, ROOT, WINDOWS, Display, Program, wait_until, wine_env

DIST = os.path.join(ROOT, "build", "dist")
SCRATCH = os.path.join(NATIVE, "release-prefix")
LOCALE = "ko_KR.UTF-8"
UNINSTALL_KEY = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Kavenor.Ombrix_Tessaly"
SETTINGS_KEY = r"HKEY_CURRENT_USER\SoftWare\Kavenor\Ombrix_Tessaly"
USER = getpass.getuser()
PER_USER_MENU = rf"C:\users\{USER}\AppData\Roaming\Microsoft\Windows\Start Menu\Programs"
MACHINE_MENU = r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs"
ROOTS = {"HKEY_CURRENT_USER": PER_USER_MENU, "HKEY_LOCAL_MACHINE": MACHINE_MENU}
SHORTCUTS = ["Ombrix_Tessaly.lnk", "Ombrix_Tessaly 사용 설명서.lnk"]


def version():
    with open(os.path.join(WINDOWS, "CMakeCache.txt"), encoding="utf-8") as f:
        return re.search(r"^CMAKE_PROJECT_VERSION:STATIC=(.+)$", f.read(), re.M).group(1)


def scratch_env():
    env = wine_env(LOCALE, SCRATCH)
    # Nothing of the prefix lands in the home folder's menus.
    env["WINEDLLOVERRIDES"] += ";winemenubuilder.exe=d"
    return env


def wine(*args):
    result = subprocess.run(["wine", *args], env=scratch_env(), stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    return result.returncode


def wait_for_wine():
    """Until every program of the prefix has ended."""
    subprocess.run(["wineserver", "-w"], env=scratch_env(), timeout=120)


def unix_path(windows_path):
    return os.path.join(SCRATCH, "drive_c", *windows_path[3:].split("\\"))


def regedit(*args):
    """Runs regedit; what it says. Wine's regedit ends with 0 whatever happened and tells its
    failures on standard output only: in Wine's default locale, so that they can be read."""
    env = scratch_env()
    env.update(LANG="C.UTF-8", LC_ALL="C.UTF-8")
    result = subprocess.run(["wine", "regedit", *args], env=env, stdin=subprocess.DEVNULL,
                            capture_output=True, timeout=120)
    said = result.stdout.decode("utf-8", "replace").strip()
    if result.returncode != 0:
        raise AssertionError(f"regedit {' '.join(args)} ended with {result.returncode}: {said}")
    return said


def import_registry(text):
    with tempfile.NamedTemporaryFile("w", suffix=".reg", encoding="utf-16", delete=False) as f:
        f.write("Windows Registry Editor Version 5.00\r\n\r\n" + text)
    said = regedit("/S", f.name)
    os.remove(f.name)
    if said:
        raise AssertionError(f"regedit could not import {text!r}: {said}")


def export_key(key):
    """The values of a registry key by name (strings and numbers), None when it is missing; any
    other failure of regedit is an error. regedit /E writes UTF-16, so Korean values survive."""
    path = os.path.join(SCRATCH, "export.reg")
    if os.path.exists(path):
        os.remove(path)
    said = regedit("/E", path, key)
    if said == f"regedit: Unable to open the registry key '{key}'." and not os.path.exists(path):
        return None
    if said or not os.path.exists(path):
        raise AssertionError(f"regedit could not export {key}: {said or 'no file written'}")
    with open(path, encoding="utf-16") as f:
        text = f.read()
    values = {}
    for name, value in re.findall(r'^"((?:[^"\\]|\\.)*)"=(.*)$', text, re.M):
        if value.startswith("dword:"):
            values[name] = int(value[6:], 16)
        else:
            values[name] = re.sub(r"\\(.)", r"\1", value[1:-1])
    return values


def setUpModule():
    shutil.rmtree(SCRATCH, ignore_errors=True)
    env = scratch_env()
    env.update(OMBRIX_WINE_PREFIX=SCRATCH, OMBRIX_DESKTOP_SIZE="1600x1200")
    prepare = "source scripts/wine-env.sh && ensure_wine_prefix && wineserver -k"
    subprocess.run(["bash", "-c", prepare], cwd=ROOT, env=env, check=True, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=300)
    global DISPLAY
    DISPLAY = Display("1600x1200")
    os.environ["DISPLAY"] = DISPLAY.name
    import_registry(f"[{SETTINGS_KEY}]\r\n\"Port\"=dword:00000003\r\n")


def tearDownModule():
    subprocess.run(["wineserver", "-k"], env=scratch_env(), stderr=subprocess.DEVNULL)
    DISPLAY.close()
    shutil.rmtree(SCRATCH, ignore_errors=True)


class Packages(unittest.TestCase):
    def test_names_checksums_and_the_portable_contents(self):
        name = f"Ombrix_Tessaly-{version()}"
        with open(os.path.join(DIST, "SHA256SUMS"), encoding="ascii") as f:
            sums = dict(reversed(line.split()) for line in f)
        self.assertEqual(sorted(sums), [f"{name}-portable.zip", f"{name}-setup.exe"])
        for file, digest in sums.items():
            with open(os.path.join(DIST, file), "rb") as f:
                self.assertEqual(hashlib.sha256(f.read()).hexdigest(), digest, file)
        with zipfile.ZipFile(os.path.join(DIST, f"{name}-portable.zip")) as z:
            files = z.namelist()
            guide = z.read(f"{name}/guide/index.html").decode("utf-8")
        for wanted in ["Ombrix_Tessaly.exe", "ombrix.exe", "README.txt", "guide/index.html",
                       "guide/it.html"]:
            self.assertIn(f"{name}/{wanted}", files)
        self.assertIn('href="it.html"', guide, "the guide's contents lead to the IT page")
        self.assertIn(f"Ombrix_Tessaly 버전 {version()}에 맞춰", guide, "the guide names its version")
        for picture in re.findall(r'<img src="([^"]+)"', guide):
            self.assertIn(f"{name}/guide/{picture}", files)


# name, switches, folder, registry root, Start-menu folder, the uninstaller's mode switch
INSTALLS = [
    ("per user", [], rf"C:\users\{USER}\AppData\Local\Programs\Kavenor\Ombrix_Tessaly",
     "HKEY_CURRENT_USER", PER_USER_MENU, "/CurrentUser"),
    ("all users", ["/AllUsers"], r"C:\Program Files\Kavenor\Ombrix_Tessaly",
     "HKEY_LOCAL_MACHINE", MACHINE_MENU, "/AllUsers"),
    ("chosen folder", [r"/D=C:\Tools\Tessaly"], r"C:\Tools\Tessaly",
     "HKEY_CURRENT_USER", PER_USER_MENU, "/CurrentUser"),
]


def setup_exe():
    return os.path.join(DIST, f"Ombrix_Tessaly-{version()}-setup.exe")


class Installer(unittest.TestCase):
    def install(self, switches, folder, root, menu, mode):
        self.assertEqual(wine(setup_exe(), "/S", *switches), 0)
        for file in ["Ombrix_Tessaly.exe", "ombrix.exe", "Uninstall.exe", r"guide\index.html",
                     r"guide\it.html"]:
            self.assertTrue(os.path.isfile(unix_path(folder + "\\" + file)), file)
        exe = folder + r"\Ombrix_Tessaly.exe"
        for link, target in zip(SHORTCUTS, [exe, folder + r"\guide\index.html"]):
            with open(unix_path(rf"{menu}\Ombrix_Tessaly\{link}"), "rb") as f:
                self.assertIn(target.encode("ascii"), f.read(), link)
        uninstaller = f'"{folder}\\Uninstall.exe"'
        values = export_key(rf"{root}\{UNINSTALL_KEY}")
        self.assertGreater(values.pop("EstimatedSize"), 0)
        self.assertEqual(values, {
            "DisplayName": "Ombrix_Tessaly (오염도 측정기 관리 프로그램)",
            "DisplayVersion": version(), "Publisher": "Kavenor", "DisplayIcon": exe + ",0",
            "InstallLocation": folder, "UninstallString": f"{uninstaller} {mode}",
            "QuietUninstallString": f"{uninstaller} /S {mode}", "NoModify": 1, "NoRepair": 1})
        return values["QuietUninstallString"]

    def uninstall(self, quiet, folder, root, menu):
        """As the uninstaller runs itself: a copy outside the folder, given the folder with _?=.
        The one in the folder would start such a copy and end at once with 0, so the copy is
        made here and its exit code is the uninstaller's own."""
        program, arguments = re.fullmatch(r'"([^"]+)" (.*)', quiet).groups()
        copy = r"C:\uninstaller-copy.exe"
        shutil.copyfile(unix_path(program), unix_path(copy))
        # _?= comes last and unquoted: Wine would quote one argument holding a space.
        self.assertEqual(wine(copy, *arguments.split(), *f"_?={folder}".split(" ")), 0)
        os.remove(unix_path(copy))
        wait_for_wine()
        self.assertFalse(os.path.exists(unix_path(folder)))
        self.assertFalse(os.path.exists(unix_path(menu + r"\Ombrix_Tessaly")))
        if folder.endswith(r"Kavenor\Ombrix_Tessaly"):
            self.assertFalse(os.path.exists(unix_path(folder[:-len(r"\Ombrix_Tessaly")])))
        self.assertIsNone(export_key(rf"{root}\{UNINSTALL_KEY}"))
        self.assertEqual(export_key(SETTINGS_KEY), {"Port": 3}, "the operator's setting stays")

    def test_install_and_uninstall(self):
        for name, switches, folder, root, menu, mode in INSTALLS:
            with self.subTest(name):
                quiet = self.install(switches, folder, root, menu, mode)
                if name == "per user":
                    self.check_installed_program(folder)
                self.uninstall(quiet, folder, root, menu)
        home_menu = os.path.expanduser("~/.local/share/applications/wine/Programs/Ombrix_Tessaly")
        self.assertFalse(os.path.exists(home_menu))

    def test_setup_again_upgrades_in_place(self):
        """Run again without a switch, setup finds the install of either mode and upgrades it
        in its folder: one Apps entry, one Start-menu folder. The uninstaller, started by hand
        without a switch, takes the mode of its install."""
        for name, switches, folder, root, menu, mode in INSTALLS:
            with self.subTest(name):
                self.install(switches, folder, root, menu, mode)
                self.install([], folder, root, menu, mode)
                other_root = next(r for r in ROOTS if r != root)
                self.assertIsNone(export_key(rf"{other_root}\{UNINSTALL_KEY}"))
                self.assertFalse(os.path.exists(unix_path(ROOTS[other_root] + r"\Ombrix_Tessaly")))
                self.uninstall(f'"{folder}\\Uninstall.exe" /S', folder, root, menu)

    def test_setup_and_uninstaller_wait_while_ombrix_exe_runs(self):
        name, switches, folder, root, menu, mode = INSTALLS[0]
        quiet = self.install(switches, folder, root, menu, mode)
        with RunningOmbrix(folder + r"\ombrix.exe") as ombrix:
            self.assertEqual(wine(setup_exe(), "/S"), 2, "setup gives up")
            # In place (_?=), so that its exit code tells: 2, given up.
            self.assertEqual(wine(folder + r"\Uninstall.exe", "/S", f"_?={folder}"), 2)
            self.assertIsNone(ombrix.poll(), "ombrix.exe ran all along")
        self.assertTrue(os.path.isfile(unix_path(folder + r"\ombrix.exe")))
        self.uninstall(quiet, folder, root, menu)

    def check_installed_program(self, folder):
        """The installed program starts once, and the uninstaller leaves it alone meanwhile."""
        exe = folder + r"\Ombrix_Tessaly.exe"
        app = Program(LOCALE, reset_settings=False, exe=exe, env=scratch_env())
        try:
            self.assertEqual(app.wait_window(), "ok")
            self.assertEqual(wine(exe), 0)
            self.assertEqual(app.cmd("windows"), "1", "a second start opens no second window")
            # In place (_?=), so that its exit code tells: 2, given up.
            uninstaller = folder + r"\Uninstall.exe"
            self.assertEqual(wine(uninstaller, "/S", "/CurrentUser", f"_?={folder}"), 2)
            self.assertTrue(os.path.isfile(unix_path(exe)))
        finally:
            app.close()


class RunningOmbrix:
    """ombrix.exe reading 60 users that come half a second apart from a simulator on COM1:
    running from the first request it sends until it is stopped."""

    def __init__(self, exe):
        self.exe = exe

    def __enter__(self):
        ports = os.path.join(SCRATCH, "ports")
        os.makedirs(ports, exist_ok=True)
        self.log = os.path.join(SCRATCH, "sim.log")
        self.sim = subprocess.Popen(
            [os.path.join(NATIVE, "ombrix-sim"), "--link", os.path.join(ports, "com1"),
             "--users", "60", "--delay", "500", "--log", self.log],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        if not self.sim.stdout.readline().startswith("PTY "):
            raise RuntimeError("the simulator did not start")
        self.ombrix = subprocess.Popen(["wine", self.exe, "--port", "COM1", "users"],
                                       env=scratch_env(), stdin=subprocess.DEVNULL,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(self.first_request_came, 60, "ombrix.exe's first request")
        return self.ombrix  # it has marked itself before it sent anything

    def first_request_came(self):
        with open(self.log, encoding="ascii", errors="replace") as f:
            return any(line.startswith("<-") for line in f)

    def __exit__(self, *exc):
        self.ombrix.kill()
        self.ombrix.wait()
        self.sim.terminate()
        self.sim.wait()
        self.sim.stdout.close()
        wait_for_wine()


class Portable(unittest.TestCase):
    def test_the_zip_runs_from_a_hangul_folder(self):
        """Unpacked into a folder with Hangul and a space in its path, the program starts and
        closes there, and the console program answers."""
        folder = r"C:\오염도 측정\휴대용"
        with zipfile.ZipFile(os.path.join(DIST, f"Ombrix_Tessaly-{version()}-portable.zip")) as z:
            z.extractall(unix_path(folder))
        self.addCleanup(shutil.rmtree, unix_path(r"C:\오염도 측정"))
        unpacked = rf"{folder}\Ombrix_Tessaly-{version()}"
        app = Program(LOCALE, reset_settings=False, exe=unpacked + r"\Ombrix_Tessaly.exe",
                      env=scratch_env())
        try:
            self.assertEqual(app.wait_window(), "ok")
            self.assertEqual(app.cmd("windows"), "1")
        finally:
            app.close()
        self.assertEqual(app.proc.returncode, 0, "the program ends cleanly when closed")
        console = subprocess.run(["wine", unpacked + r"\ombrix.exe", "--version"],
                                 env=scratch_env(), stdin=subprocess.DEVNULL, capture_output=True,
                                 timeout=120)
        self.assertEqual(console.returncode, 0)
        self.assertIn(version(), console.stdout.decode("utf-8", "replace"))


def scaled(pixels):
    return pixels * 3 // 2


def set_dpi(dpi):
    import_registry(f'[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n'
                    f'"LogPixels"=dword:{dpi:08x}\r\n')


class HighDpi(unittest.TestCase):
    """At 150 %: the window lays out whole and its own pixel values grow with it."""

    def setUp(self):
        set_dpi(144)
        self.addCleanup(set_dpi, 96)
        self.app = Program(LOCALE, reset_settings=False, env=scratch_env())
        self.addCleanup(self.app.close)
        self.assertEqual(self.app.wait_window(), "ok")

    def test_layout_columns_and_logo_at_144_dpi(self):
        app = self.app
        DISPLAY.screenshot("main-window-144dpi")
        layout = re.fullmatch(r"(\d+) (\d+) outside:(.*)", app.cmd("layout"))
        width, height, outside = layout.groups()
        self.assertEqual(outside, "", "controls reaching outside the window")
        self.assertGreaterEqual(int(width), scaled(687 + 123))
        self.assertGreaterEqual(int(height), scaled(581 + 41))
        self.assertEqual(app.cmd(f"columns {IDC['LIST_USER']}"),
                         ":30:c|No.:60:c|이름:150:c|ID1:150:c|ID2:150:c")
        self.assertEqual(app.cmd(f"columns {IDC['LIST_RECORD']}").split("|")[2], "시간:240:c")
        # The logo's pixel (100, 5), stretched: its colour within a little of the original.
        logo = [int(c) for c in app.cmd(f"pixel {scaled(787)} {scaled(586)}").split(",")]
        for got, want in zip(logo, (35, 135, 160)):
            self.assertLessEqual(abs(got - want), 16, logo)
        self.assertEqual(app.cmd(f"pixel {scaled(687) - 4} {scaled(600)}"), app.cmd("pixel 5 5"))

        # The history window: whole at its template's size, its columns scaled as the record
        # list's are. The size it keeps goes again with it: the installs find the operator's
        # setting alone.
        self.assertEqual(app.cmd("open-history"), "ok")
        self.addCleanup(import_registry,
                        f"[{SETTINGS_KEY}]\r\n\"HistoryWidth\"=-\r\n\"HistoryHeight\"=-\r\n")
        self.addCleanup(app.cmd, "history-close", False)
        app.cmd("sync")
        DISPLAY.screenshot("history-window-144dpi")
        self.assertEqual(app.cmd("layout history").split("outside:")[1], "")
        # The record list's columns, and the 조치 column after them, scaled alike.
        self.assertEqual(app.cmd(f"columns {IDC['LIST_HISTORY']}"),
                         app.cmd(f"columns {IDC['LIST_RECORD']}") + "|조치:360:l")


if __name__ == "__main__":
    unittest.main()

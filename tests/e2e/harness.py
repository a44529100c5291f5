"""The end-to-end bench: the real Ombrix_Tessaly.exe under Wine on Xvfb, the simulator on a
pseudo-terminal mapped as COM ports, and e2e_driver.exe to press buttons, type, and read the
window back. One Bench is one run of the program."""
import getpass
import os
import re
import subprocess
import tempfile
import time
import unittest

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
NATIVE = os.environ.get("OMBRIX_NATIVE_BUILD", os.path.join(ROOT, "build", "native"))
WINDOWS = os.environ.get("OMBRIX_WINDOWS_BUILD", os.path.join(ROOT, "build", "windows"))
PREFIX = os.environ.get("OMBRIX_WINE_PREFIX", os.path.join(ROOT, "build", "wine"))
PORTS = os.path.join(PREFIX, "ports")
SHOTS = os.path.join(ROOT, "build", "screenshots")


def read_ids(prefix):
    """The ids of res/resource.h that start with `prefix`, by the rest of their names."""
    ids = {}
    with open(os.path.join(ROOT, "res", "resource.h"), encoding="utf-8") as f:
        for line in f:
            match = re.match(r"#define\s+" + prefix + r"(\w+)\s+(\d+)\s*$", line)
            if match:
                ids[match.group(1)] = int(match.group(2))
    return ids


# Control ids: IDC["LIST_USER"] is IDC_LIST_USER.
IDC = read_ids("IDC_")
DEVICE_BUTTONS = ["BTN_USER_READ", "BTN_USER_WRITE", "BTN_STANDARD_READ",
                  "BTN_STANDARD_WRITE", "BTN_RECORD_CLEAR_DEVICE", "BTN_RECORD_READ"]
IDOK, IDYES, IDNO = 1, 6, 7


def archive_path(prefix=PREFIX):
    """The archive of the prefix's user, where the program keeps its reads."""
    return os.path.join(prefix, "drive_c", "users", getpass.getuser(), "AppData", "Local",
                        "Kavenor", "Ombrix_Tessaly", "archive.sqlite3")


def windows_path(path):
    """A POSIX path as the program sees it under Wine (drive Z: is the root)."""
    return "Z:" + path.replace("/", "\\")


def wine_env(locale, prefix=PREFIX):
    env = dict(os.environ)
    env.update(WINEPREFIX=prefix, WINEARCH="win64", WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=", LANG=locale, LC_ALL=locale)
    return env


def wait_until(done, timeout=30, what="the state"):
    """Polls `done` until it is true; fails naming `what` when `timeout` seconds pass first."""
    end = time.monotonic() + timeout
    while True:
        value = done()
        if value:
            return value
        if time.monotonic() > end:
            raise AssertionError(f"{what} did not come within {timeout} s")
        time.sleep(0.05)


class Display:
    """An Xvfb of our own, whatever DISPLAY the caller has. Xvfb picks a free display number
    itself (-displayfd), so that runs side by side never share one."""

    def __init__(self, size="1024x768"):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", size + "x24",
                                      "-nolisten", "tcp"], pass_fds=(write_end,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as f:
            number = f.readline().strip()  # written once the server accepts connections
        if not number:
            raise RuntimeError("Xvfb did not start")
        self.name = f":{number}"

    def screenshot(self, name):
        time.sleep(1)  # let the window finish painting
        os.makedirs(SHOTS, exist_ok=True)
        path = os.path.join(SHOTS, name + ".png")
        subprocess.run(["import", "-display", self.name, "-window", "root", path],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path

    def close(self):
        self.proc.terminate()
        self.proc.wait()


class Simulator:
    def __init__(self, args=(), links=("com1",)):
        os.makedirs(PORTS, exist_ok=True)
        for name in os.listdir(PORTS):
            os.remove(os.path.join(PORTS, name))
        self.log = tempfile.NamedTemporaryFile(prefix="ombrix-sim-", suffix=".log", delete=False).name
        self.proc = subprocess.Popen(
            [os.path.join(NATIVE, "ombrix-sim"), "--link", os.path.join(PORTS, links[0]),
             "--log", self.log] + list(args),
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        line = self.proc.stdout.readline()
        if not line.startswith("PTY "):
            raise RuntimeError("the simulator did not start")
        self.pty = line.split(" ", 1)[1].strip()
        for link in links[1:]:
            os.symlink(self.pty, os.path.join(PORTS, link))

    def requests(self):
        with open(self.log, encoding="ascii", errors="replace") as f:
            return [line.split()[1:] for line in f if line.startswith("<-")]

    def close(self):
        self.proc.terminate()
        self.proc.wait()
        self.proc.stdout.close()
        os.remove(self.log)


class Program:
    """Ombrix_Tessaly.exe and the driver beside it."""

    def __init__(self, locale, reset_settings=True, exe=os.path.join(WINDOWS, "Ombrix_Tessaly.exe"),
                 env=None):
        env = env or wine_env(locale)
        self.driver = subprocess.Popen(["wine", os.path.join(WINDOWS, "tests", "e2e_driver.exe")],
                                       stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                       stderr=subprocess.DEVNULL, env=env, text=True,
                                       encoding="utf-8", bufsize=1)
        if self.driver.stdout.readline().strip() != "ready":
            raise RuntimeError("the driver did not start")
        if reset_settings:
            self.cmd("reg-delete")
        self.proc = subprocess.Popen(["wine", exe],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)

    def wait_window(self, timeout=90):
        """Until the main window is shown and has worked through its start, or the program ended."""
        end = time.monotonic() + timeout
        while self.proc.poll() is None:
            if self.cmd("alive", check=False) == "yes":
                left = max(1, int(end - time.monotonic()))
                return self.cmd(f"wait-window {left}")
            if time.monotonic() > end:
                raise AssertionError(f"the main window did not appear within {timeout} s")
            time.sleep(0.1)
        raise AssertionError(f"the program ended before its window appeared ({self.proc.returncode})")

    def cmd(self, line, check=True):
        self.driver.stdin.write(line + "\n")
        self.driver.stdin.flush()
        answer = self.driver.stdout.readline().rstrip("\n")
        if check and answer.startswith("error"):
            raise AssertionError(f"{line}: {answer}")
        return answer

    def close(self):
        if self.driver.poll() is not None:
            return
        try:
            if self.cmd("alive") == "yes":
                self.cmd("close")
            self.proc.wait(timeout=60)
        except (AssertionError, subprocess.TimeoutExpired):
            self.proc.kill()
            self.proc.wait()
        self.driver.stdin.write("quit\n")
        self.driver.stdin.close()
        self.driver.wait(timeout=10)
        self.driver.stdout.close()


class BenchCase(unittest.TestCase):
    """One display and a quiet wineserver for the module; a program started per test."""
    locale = "ko_KR.UTF-8"

    @classmethod
    def setUpClass(cls):
        cls.display = Display()
        os.environ["DISPLAY"] = cls.display.name
        env = wine_env(cls.locale)
        subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
        cls.wineserver = subprocess.Popen(["wineserver", "-p30"], env=env, stdin=subprocess.DEVNULL,
                                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineboot"], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        subprocess.run(["wineserver", "-k"], env=wine_env(cls.locale), stderr=subprocess.DEVNULL)
        try:
            cls.wineserver.wait(timeout=10)
        except subprocess.TimeoutExpired:
            cls.wineserver.kill()
        cls.display.close()

    def start(self, sim_args=(), links=("com1",), reset_settings=True):
        self.sim = Simulator(sim_args, links)
        self.addCleanup(self.sim.close)
        self.app = Program(self.locale, reset_settings)
        self.addCleanup(self.app.close)
        self.assertEqual(self.app.wait_window(), "ok")
        return self.app

    def restart(self):
        """Closes the program and starts it again, keeping the settings."""
        self.app.close()
        self.app = Program(self.locale, reset_settings=False)
        self.addCleanup(self.app.close)
        self.assertEqual(self.app.wait_window(), "ok")
        return self.app

    # Shorthands.
    def click(self, name):
        answer = self.app.cmd(f"click {IDC[name]}")
        self.settle()
        return answer

    def settle(self):
        """Until the program has handled what was posted to it: an operation that it started has
        ended or shows a box."""
        self.assertEqual(self.app.cmd("sync"), "ok", "the program is still busy")

    def wait_text(self, name, text, timeout=30):
        wait_until(lambda: self.text(name) == text, timeout, f"{name} showing {text!r}")

    def connect(self):
        self.click("BTN_CONNECT")
        self.wait_text("STATIC_STATUS", "연결됨")

    def text(self, name):
        return self.app.cmd(f"text {IDC[name]}")

    def enabled(self, name):
        return self.app.cmd(f"enabled {IDC[name]}") == "yes"

    def box(self, timeout_ms=3000):
        """The open message box as {title, buttons, text}, or None."""
        answer = self.app.cmd(f"box {timeout_ms}")
        if answer == "none":
            return None
        fields = dict(part.split("=", 1) for part in answer.split("|"))
        fields["text"] = fields["text"].replace("\\n", "\n")
        return fields

    def rows(self, list_name, columns=range(1, 5)):
        """The cells of every row of a list, column 0 (the check box) left out."""
        list_id = IDC[list_name]
        count = int(self.app.cmd(f"rows {list_id}"))
        return [[self.app.cmd(f"cell {list_id} {r} {c}")[1:] for c in columns] for r in range(count)]

    def type(self, name, text):
        self.app.cmd(f"type {IDC[name]} {text}")
        self.settle()

    def write_state(self, text):
        """A simulator state file holding `text`; removed after the test."""
        handle, path = tempfile.mkstemp(prefix="ombrix-state-", suffix=".txt")
        with os.fdopen(handle, "w", encoding="utf-8") as f:
            f.write(text)
        self.addCleanup(os.remove, path)
        return path

    def saved_lines(self, path, kind):
        with open(path, encoding="utf-8") as f:
            return [line.rstrip("\n") for line in f if line.startswith(kind + " ")]

    def expect_box(self, text, timeout_ms=10000, button=IDOK):
        box = self.box(timeout_ms)
        self.assertIsNotNone(box, f"no box; expected {text!r}")
        self.assertEqual(box["text"], text)
        self.assertEqual(box["title"], "Ombrix_Tessaly")
        self.answer(button)

    def answer(self, button=IDOK):
        """Presses a button of the open box; returns once the box has closed."""
        self.app.cmd(f"answer {button}")

#!/usr/bin/env python3
"""Takes the user guide's pictures (docs/guide/images/) from the real program under Wine,
connected to the simulator: the same harness as the end-to-end tests. Run by
scripts/screenshots.sh."""
import datetime
import getpass
import os
import random
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
from harness import (IDC, IDNO, IDOK, IDYES, PREFIX, ROOT, Display, Program,  # noqa: E402
                     Simulator, archive_path, wine_env, windows_path)

LOCALE = "ko_KR.UTF-8"
# Pixels near the top and the bottom of the logo (scripts/make-art.py) in the main window's
# client area, and their colour: a loaded machine may have painted the one and not yet the other.
LOGO_PIXELS = ((787, 586), (787, 614))
LOGO_COLOUR = "35,135,160"
IMAGES = os.path.join(ROOT, "docs", "guide", "images")
STATE = """\
user 101 2001 홍길동
user 102 2002 김철수
user 103 2003 이영희
standard 100 200 세균
standard 50 120 곰팡이
record 1 1 99 2011-03-07 09:05:09
record 2 2 130 2011-03-07 13:00:00
record 3 1 150 2011-03-08 10:30:00
record 1 2 80 2011-03-08 15:12:45
record 2 1 240 2011-03-09 11:02:30
"""


# The history window's pictures: two months of made-up measurements up to today, imported
# through the window as an operator's old CSV file. (user, ID1, ID2) and (standard, safety,
# danger, usual value).
USERS = [("홍길동", "101", "2001"), ("김철수", "102", "2002"), ("이영희", "103", "2003")]
STANDARDS = [("세균", 100, 200, 70), ("곰팡이", 50, 120, 35)]


def old_record_csv(path, days=60, seed=3):
    """A record CSV as the window saves it, a few measurements a working day."""
    rng = random.Random(seed)
    rows = []
    for day in range(days, 0, -1):
        date = datetime.date.today() - datetime.timedelta(days=day)
        for _ in range(rng.randint(2, 7)):
            user = rng.choice(USERS)
            name, safety, danger, usual = rng.choice(STANDARDS)
            value = max(0, int(rng.gauss(usual, usual * 0.35)))
            if rng.random() < 0.06:
                value = int(danger * rng.uniform(1.0, 1.8))
            verdict = "안전" if value < safety else "주의" if value < danger else "오염"
            hour, minute, second = rng.randint(8, 17), rng.randint(0, 59), rng.randint(0, 59)
            time_text = (f"{date.isoformat()} {hour % 12 or 12:02d}:{minute:02d}:{second:02d} "
                         f"{'오전' if hour < 12 else '오후'}")
            rows.append((date, hour, minute, second, [time_text, *user, name, str(safety),
                                                      str(danger), str(value), verdict]))
    rows.sort(key=lambda row: row[:4], reverse=True)
    lines = ["No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과"]
    lines += [",".join([str(n)] + row[4]) for n, row in enumerate(rows, 1)]
    with open(path, "wb") as f:
        f.write(("\n".join(lines) + "\n").encode("cp949"))


class Shooter:
    def __init__(self):
        self.display = Display()
        os.environ["DISPLAY"] = self.display.name
        env = wine_env(LOCALE)
        subprocess.run(["wineserver", "-k"], env=env, stderr=subprocess.DEVNULL)
        self.server = subprocess.Popen(["wineserver", "-p30"], env=env, stdin=subprocess.DEVNULL,
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        subprocess.run(["wineboot"], env=env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        handle, self.state = tempfile.mkstemp(prefix="ombrix-state-", suffix=".txt")
        with os.fdopen(handle, "w", encoding="utf-8") as f:
            f.write(STATE)
        # COM15 as well, where a USB adapter would be.
        self.sim = Simulator(["--state", self.state], links=("com1", "com15"))
        self.app = Program(LOCALE)
        if self.app.cmd("wait-window 30") != "ok":
            raise RuntimeError("the program did not open its window")

    def click(self, name):
        self.app.cmd(f"click {IDC[name]}")
        self.app.cmd("sync")

    def answer(self, button=IDOK):
        self.app.cmd("box 10000")
        self.app.cmd(f"answer {button}")
        time.sleep(0.3)

    def painted(self):
        """Waits for the main window's logo, which a loaded machine paints late."""
        end = time.monotonic() + 30
        while any(self.app.cmd(f"pixel {x} {y}") != LOGO_COLOUR for x, y in LOGO_PIXELS):
            if time.monotonic() > end:
                raise RuntimeError("the logo was not painted")
            time.sleep(0.2)

    def context_menu(self, list_name):
        """A right click on the list, again when a click injected into Xvfb was lost."""
        for _ in range(3):
            self.app.cmd(f"right-click {IDC[list_name]}")
            if self.app.cmd("menu") == "open":
                return
        raise RuntimeError("no context menu after three right clicks")

    def shoot(self, name):
        """The window (and any box over it), cut out of the desktop."""
        shot = self.display.screenshot(name)
        path = os.path.join(IMAGES, name + ".png")
        desktop = subprocess.run(["convert", shot, "-format", "%[pixel:p{1023,767}]", "info:"],
                                 capture_output=True, text=True, check=True).stdout
        subprocess.run(["convert", shot, "-bordercolor", desktop, "-border", "1", "-trim",
                        "+repage", "-strip", path], check=True)
        print(path)

    def close(self):
        self.app.close()
        self.sim.close()
        os.remove(self.state)
        subprocess.run(["wineserver", "-k"], env=wine_env(LOCALE), stderr=subprocess.DEVNULL)
        self.server.wait(timeout=10)
        self.display.close()


def shoot_site_waiting(s):
    """The program again with a site archive set that cannot be reached: the rows read wait."""
    s.app.close()
    os.environ["OMBRIX_SITE"] = "Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=1;Database=site"
    try:
        s.app = Program(LOCALE, reset_settings=False)
        if s.app.cmd("wait-window 30") != "ok":
            raise RuntimeError("the program did not open its window")
        end = time.monotonic() + 60
        while "대기" not in s.app.cmd(f"text {IDC['STATIC_SITE']}"):
            if time.monotonic() > end:
                raise RuntimeError("the site's rows were not said to wait")
            time.sleep(0.2)
        s.shoot("site-waiting")
    finally:
        del os.environ["OMBRIX_SITE"]


def main():
    os.makedirs(IMAGES, exist_ok=True)
    for end in ("", "-wal", "-shm"):  # the records read are new to the archive
        if os.path.exists(archive_path() + end):
            os.remove(archive_path() + end)
    s = Shooter()
    try:
        s.app.cmd("about")
        s.app.cmd("box 5000")
        s.shoot("about-box")
        s.answer()
        s.painted()
        s.shoot("main-window")
        s.app.cmd(f"select {IDC['COMBO_PORT']} 1")
        s.click("BTN_CONNECT")
        s.app.cmd("box 5000")
        s.shoot("connect-failed")
        s.answer()
        s.app.cmd(f"type {IDC['COMBO_PORT']} COM15")
        s.click("BTN_CONNECT")
        s.shoot("port-typed")
        s.click("BTN_RECORD_CLEAR_DEVICE")  # nothing read yet: the records are not archived
        s.answer(IDYES)
        s.app.cmd("box 10000")
        s.shoot("ask-clear-unarchived")
        s.answer(IDNO)
        s.click("BTN_RECORD_READ")
        for _ in range(2):  # users, then standards
            s.answer()
        s.app.cmd("box 10000")
        s.shoot("read-done")
        s.answer()
        s.painted()
        s.shoot("after-read")
        s.context_menu("LIST_USER")
        s.shoot("list-menu")
        backup = os.path.join(tempfile.mkdtemp(prefix="ombrix-guide-"), "Ombrix_users.csv")
        s.app.cmd("menu-pick 1")
        s.app.cmd(f"save-as {windows_path(backup)}")
        s.app.cmd("sync")
        s.click("BTN_USER_SELECT_ALL")
        s.click("BTN_USER_DELETE")
        s.context_menu("LIST_USER")
        s.app.cmd("menu-pick 2")
        s.app.cmd(f"open-file {windows_path(backup)}")
        s.app.cmd("box 10000")
        s.shoot("list-loaded")
        s.answer()
        os.remove(backup)
        os.rmdir(os.path.dirname(backup))
        s.click("BTN_RECORD_DELETE_ALL")
        s.app.cmd("box 5000")
        s.shoot("ask-delete-list")
        s.answer(IDNO)
        history(s)
        actions(s)
        shoot_site_waiting(s)
    finally:
        s.close()


def history(s):
    """The history window: the record list's menu that opens it (the program's own menu: the
    system menu under Wine carries Wine's own entry), an old file imported from the user's
    documents, the chart with a point explained under the pointer."""
    s.context_menu("LIST_RECORD")
    s.shoot("record-list-menu")
    s.app.cmd("menu-pick 1")
    s.app.cmd("sync")
    # Where an operator keeps such a file, so that the box names a path of theirs.
    user = getpass.getuser()
    documents = os.path.join(PREFIX, "drive_c", "users", user, "Documents")
    os.makedirs(documents, exist_ok=True)
    old = os.path.join(documents, "Ombrix_2달.csv")
    old_record_csv(old)
    s.click("HISTORY_IMPORT")
    s.app.cmd(f"open-file C:\\users\\{user}\\Documents\\{os.path.basename(old)}")
    s.app.cmd("box 30000")
    s.app.cmd("sync")  # the rows imported shown behind the box
    s.shoot("history-import-done")
    s.answer()
    os.remove(old)
    s.app.cmd("sync")
    s.shoot("history-window")
    s.app.cmd(f"choose {IDC['HISTORY_STANDARD']} 2")  # 세균
    s.app.cmd("sync")
    chart = IDC["HISTORY_CHART"]
    red = s.app.cmd(f"find-ink {chart} 198 40 40")
    if red != "none":
        x, y = map(int, red.split())
        s.app.cmd(f"point {chart} {x} {y}")
        s.app.cmd("sync")
    s.shoot("history-chart")


def actions(s):
    """The results still open alone, and the dialog that records what was done about one."""
    s.app.cmd(f"choose {IDC['HISTORY_STANDARD']} 0")  # 전체
    s.app.cmd(f"toggle {IDC['HISTORY_OPEN_ONLY']}")
    s.app.cmd("sync")
    s.shoot("history-open")
    s.context_menu("LIST_HISTORY")  # the newest open result, selected by the click
    s.app.cmd("menu-pick 1")  # 조치 기록...
    end = time.monotonic() + 30
    while s.app.cmd(f"text {IDC['ACTION_MEASUREMENT']}", check=False).startswith("error"):
        if time.monotonic() > end:
            raise RuntimeError("the dialog 조치 기록 did not open")
        time.sleep(0.2)
    s.app.cmd(f"set-text {IDC['ACTION_TEXT']} 작업대 표면 재세척 후 재측정 예정")
    s.shoot("history-action")
    s.app.cmd(f"click {IDOK}")
    s.app.cmd("sync")


if __name__ == "__main__":
    main()

"""The history window against the real program under Wine: opened from the system menu and from
the record list's menu, one at a time; rows from an archive prepared by `ombrix import` and from
a read of the simulator; filters; the record CSV, the report, an import and a backup through the
window's buttons; the daily copy into a backup folder; its size remembered."""
import datetime
import os
import shutil
import sqlite3
import subprocess
import tempfile
import unittest

from harness import NATIVE, BenchCase, IDC, IDOK, archive_path, windows_path, wait_until

HEADER = "No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과"
RED = "198 40 40"  # 오염's colour in the chart
TODAY = datetime.date.today()
ARCHIVE = archive_path()


def record_time(day_offset, hour, minute):
    """The record list's 12-hour text of a time `day_offset` days from today."""
    moment = datetime.datetime.combine(TODAY + datetime.timedelta(days=day_offset),
                                       datetime.time(hour, minute, 0))
    clock = moment.hour % 12 or 12
    half = "오전" if moment.hour < 12 else "오후"
    return moment.strftime("%Y-%m-%d ") + f"{clock:02d}:{moment.minute:02d}:00 {half}"


# (days from today, hour, minute, user, id1, id2, standard, safety, danger, value, verdict)
MEASUREMENTS = [
    (-1, 14, 0, "홍길동", "101", "2001", "세균", "100", "200", "250", "오염"),
    (-2, 9, 30, "김철수", "102", "2002", "세균", "100", "200", "150", "주의"),
    (-3, 11, 15, "홍길동", "101", "2001", "곰팡이", "50", "120", "30", "안전"),
    (-5, 16, 45, "김철수", "102", "2002", "곰팡이", "50", "120", "80", "주의"),
    (-8, 8, 0, "홍길동", "101", "2001", "세균", "100", "200", "99", "안전"),
    (-60, 10, 0, "김철수", "102", "2002", "세균", "100", "200", "300", "오염"),
]


def cells(measurement):
    day, hour, minute, *rest = measurement
    return [record_time(day, hour, minute)] + list(rest)


def numbered(measurements):
    """The table's rows: newest first, numbered from 1."""
    return [[str(n)] + cells(m) for n, m in enumerate(measurements, 1)]


def record_csv(rows):
    return (HEADER + "\n" + "".join(",".join(row) + "\n" for row in rows)).encode("cp949")


def import_natively(archive, measurements, folder):
    """An archive prepared by the native `ombrix import`, before the program starts."""
    path = os.path.join(folder, "old.csv")
    with open(path, "wb") as f:
        f.write(record_csv(numbered(measurements)))
    os.makedirs(os.path.dirname(archive), exist_ok=True)
    subprocess.run([os.path.join(NATIVE, "cli", "ombrix"), "--archive", archive, "import", path],
                   check=True, capture_output=True)


class HistoryWindow(BenchCase):
    def setUp(self):
        for end in ("", "-wal", "-shm"):
            if os.path.exists(ARCHIVE + end):
                os.remove(ARCHIVE + end)
        self.folder = tempfile.mkdtemp(prefix="ombrix-history-")
        self.addCleanup(shutil.rmtree, self.folder, True)

    def import_natively(self, measurements):
        import_natively(ARCHIVE, measurements, self.folder)

    def open_from_system_menu(self):
        self.app.cmd("system-menu")
        self.assertEqual(self.app.cmd("menu-key h"), "ok")
        return self.history()

    def history(self):
        """The history window's state, once it is open and has shown its rows."""
        state = wait_until(lambda: self.app.cmd("history") != "none", what="the history window")
        self.settle()
        return dict(part.split("=", 1) for part in self.app.cmd("history").split("|"))

    def table(self):
        return self.rows("LIST_HISTORY", range(1, 11))

    def test_rows_filters_csv_and_report(self):
        self.import_natively(MEASUREMENTS)
        self.start()
        state = self.open_from_system_menu()
        self.assertEqual(state["title"], "측정 이력")
        self.assertEqual(state["windows"], "1")
        # The record list's columns, and the 조치 column after them.
        self.assertEqual(self.app.cmd(f"columns {IDC['LIST_HISTORY']}"),
                         self.app.cmd(f"columns {IDC['LIST_RECORD']}") + "|조치:240:l")
        # The last 30 days up to today: the old row is left out.
        self.assertEqual(self.app.cmd(f"date {IDC['HISTORY_TO']}"), TODAY.isoformat())
        self.assertEqual(self.table(), numbered(MEASUREMENTS[:5]))
        self.assertEqual(self.text("HISTORY_SUMMARY"),
                         "전체 5건 · 안전 2건 (40.0%) · 주의 2건 (40.0%) · 오염 1건 (20.0%) · "
                         "미조치 3건")
        ink = [int(c) for c in self.app.cmd(f"cell-ink {IDC['LIST_HISTORY']} 0 10").split(",")]
        self.assertGreater(ink[0], ink[1] + 100, f"오염 is red, not {ink}")
        self.display.screenshot("history-window")

        # The red point is the 오염 row: pointed at, the line under the chart shows it; clicked,
        # the table selects it.
        chart = IDC["HISTORY_CHART"]
        x, y = map(int, self.app.cmd(f"find-ink {chart} {RED}").split())
        self.app.cmd(f"point {chart} {x} {y}")
        self.wait_text("HISTORY_HOVER", "No. 1 · " + record_time(-1, 14, 0) + " · 홍길동 · 세균 · "
                       "측정값 250 · 오염")
        self.app.cmd(f"left-click {chart} {x} {y}")
        wait_until(lambda: self.app.cmd(f"selected {IDC['LIST_HISTORY']}") == "0",
                   what="the row of the point selected")

        # 안전 unticked, then one standard: the rows and the summary follow at once.
        self.app.cmd(f"toggle {IDC['HISTORY_SAFE']}")
        self.settle()
        self.assertEqual(self.table(), numbered([MEASUREMENTS[0], MEASUREMENTS[1], MEASUREMENTS[3]]))
        self.app.cmd(f"choose {IDC['HISTORY_STANDARD']} 1")  # 곰팡이, first by name
        self.settle()
        self.assertEqual(self.table(), numbered([MEASUREMENTS[3]]))
        self.assertEqual(self.text("HISTORY_SUMMARY"),
                         "전체 1건 · 안전 0건 (0.0%) · 주의 1건 (100.0%) · 오염 0건 (0.0%) · "
                         "미조치 1건")

        csv = os.path.join(self.folder, "이력.csv")
        self.click("HISTORY_CSV")
        self.app.cmd(f"save-as {windows_path(csv)}")
        self.settle()
        self.assertIsNone(self.box(500))
        with open(csv, "rb") as f:
            self.assertEqual(f.read(), record_csv(numbered([MEASUREMENTS[3]])))

        report = os.path.join(self.folder, "보고서.html")
        self.click("HISTORY_REPORT")
        self.app.cmd(f"save-as {windows_path(report)}")
        self.settle()
        self.assertIsNone(self.box(500))
        with open(report, encoding="utf-8") as f:
            html = f.read()
        self.assertIn("측정 이력 보고서", html)
        self.assertIn("곰팡이", html)

        # Back to every standard and verdict, and a period that reaches the old row.
        self.app.cmd(f"choose {IDC['HISTORY_STANDARD']} 0")
        self.app.cmd(f"toggle {IDC['HISTORY_SAFE']}")
        first = (TODAY - datetime.timedelta(days=90)).isoformat()
        self.assertEqual(self.app.cmd(f"set-date {IDC['HISTORY_FROM']} {first}"), first)
        self.settle()
        self.assertEqual(self.table(), numbered(MEASUREMENTS))

        # The report lists the 오염 rows with ID2 hidden but its first digit, unless
        # "고유번호 전체 표시" is ticked; this PC's own table keeps the full numbers either way.
        for ticked, shown, hidden in ((False, "2***", "2002"), (True, "2002", "2***")):
            if ticked:
                self.app.cmd(f"toggle {IDC['HISTORY_SHOW_IDS']}")
                self.settle()
            ids = os.path.join(self.folder, f"고유번호-{int(ticked)}.html")
            self.click("HISTORY_REPORT")
            self.app.cmd(f"save-as {windows_path(ids)}")
            self.settle()
            self.assertIsNone(self.box(500))
            with open(ids, encoding="utf-8") as f:
                html = f.read()
            self.assertIn(f"<td class=n>102<td class=n>{shown}<td>", html)
            self.assertNotIn(f"<td class=n>{hidden}<td>", html)
            self.assertEqual(self.table(), numbered(MEASUREMENTS))

    def dialog_line(self):
        """The measurement line of the dialog "조치 기록", empty while it is not open."""
        try:
            return self.text("ACTION_MEASUREMENT")
        except AssertionError:
            return ""

    def test_an_action_recorded_in_the_window_is_in_the_report(self):
        retest = (-1, 15, 0, "홍길동", "101", "2001", "세균", "100", "200", "80", "안전")
        self.import_natively([retest] + MEASUREMENTS)
        self.start()
        self.app.cmd("open-history")
        self.history()
        action = IDC["LIST_HISTORY"]
        self.assertEqual(self.app.cmd(f"cell {action} 1 11")[1:],
                         "미조치 · 재측정 안전 (추정) 15:00")
        ink = [int(c) for c in self.app.cmd(f"cell-ink {action} 1 11").split(",")]
        self.assertGreater(ink[0], ink[1] + 100, f"미조치 is red, not {ink}")
        self.app.cmd(f"toggle {IDC['HISTORY_OPEN_ONLY']}")
        self.settle()
        self.assertEqual(len(self.table()), 3)  # the 오염 and the two 주의 results

        # The 오염 row's context menu opens the dialog, owned by the window.
        self.app.cmd(f"right-click {action}")
        self.app.cmd("menu-pick 1")  # 조치 기록...
        wait_until(lambda: self.dialog_line().startswith(
            (TODAY - datetime.timedelta(days=1)).isoformat() + " 14:00:00"), what="the dialog")
        self.assertEqual(self.text("ACTION_RETEST"),
                         (TODAY - datetime.timedelta(days=1)).isoformat() +
                         " 15:00:00 · 측정값 80 · 안전 (추정)")
        self.assertTrue(self.enabled("ACTION_RETEST_SAFE"))
        self.display.screenshot("history-action")
        self.app.cmd(f"set-text {IDC['ACTION_TEXT']} 표면 재세척 후 재측정")
        self.app.cmd(f"click {IDOK}")
        wait_until(lambda: self.app.cmd(f"cell {action} 0 11")[1:] == "표면 재세척 후 재측정",
                   what="the action in the table")
        self.assertTrue(self.text("HISTORY_SUMMARY").endswith(" · 미조치 2건"))

        report = os.path.join(self.folder, "보고서.html")
        self.app.cmd(f"toggle {IDC['HISTORY_OPEN_ONLY']}")
        self.settle()
        self.click("HISTORY_REPORT")
        self.app.cmd(f"save-as {windows_path(report)}")
        self.settle()
        self.assertIsNone(self.box(500))
        with open(report, encoding="utf-8") as f:
            html = f.read()
        self.assertIn("오염·주의 3건 중 조치 기록 1건, 미조치 2건", html)
        self.assertIn("<td>표면 재세척 후 재측정 — ", html)
        self.assertIn("<h2>미조치 결과</h2>", html)

    def test_opened_once_from_the_record_list_and_its_size_kept(self):
        self.start()
        self.app.cmd(f"right-click {IDC['LIST_RECORD']}")
        self.app.cmd("menu-pick 1")  # 측정 이력 보기...
        state = self.history()
        self.assertEqual(self.text("HISTORY_SUMMARY"), "이 조건에 맞는 측정 기록이 없습니다.")
        self.assertEqual(self.table(), [])

        state = self.open_from_system_menu()  # a second open brings the one window to the front
        self.assertEqual((state["windows"], state["front"]), ("1", "yes"))

        # It opens at its template's size, the smallest it may take.
        width, height = map(int, self.app.cmd("history-size").split())
        self.assertEqual(self.app.cmd(f"history-size {width - 30} {height - 20}"),
                         f"{width} {height}")
        resized = self.app.cmd(f"history-size {width + 30} {height + 20}")
        self.assertEqual(resized, f"{width + 30} {height + 20}")
        client = self.history()["client"]
        self.assertEqual(self.app.cmd("history-close"), "ok")
        self.app.cmd("open-history")
        self.assertEqual(self.history()["client"], client)
        self.assertEqual(self.app.cmd("history-size"), resized)

    def test_a_read_shows_in_the_open_window(self):
        state = "".join(f"record {u} {s} {v} {(TODAY + datetime.timedelta(days=d)).isoformat()} "
                        f"{h:02d}:{m:02d}:00\n" for d, h, m, u, s, v in
                        [(-2, 9, 0, 1, 1, 50), (-1, 10, 30, 1, 1, 150), (0, 8, 15, 1, 1, 250)])
        state_file = self.write_state("user 101 2001 홍길동\nstandard 100 200 세균\n" + state)
        self.start(["--state", state_file])
        self.app.cmd("open-history")
        self.history()
        self.assertEqual(self.table(), [])
        self.connect()
        self.click("BTN_RECORD_READ")
        for _ in range(3):
            self.answer()
        expected = [["1", record_time(0, 8, 15), "홍길동", "101", "2001", "세균", "100", "200",
                     "250", "오염"],
                    ["2", record_time(-1, 10, 30), "홍길동", "101", "2001", "세균", "100", "200",
                     "150", "주의"],
                    ["3", record_time(-2, 9, 0), "홍길동", "101", "2001", "세균", "100", "200",
                     "50", "안전"]]
        wait_until(lambda: self.table() == expected, what="the read in the history window")
        self.assertEqual(self.rows("LIST_RECORD", range(1, 11)), expected)
        # The record list's verdicts in their colours too; its other cells as they were.
        inks = [self.app.cmd(f"cell-ink {IDC['LIST_RECORD']} {row} 10") for row in range(3)]
        self.assertEqual(inks, ["198,40,40", "168,104,0", "0,0,0"])
        self.assertEqual(self.app.cmd(f"cell-ink {IDC['LIST_RECORD']} 0 9"), "0,0,0")

    def test_old_files_imported_through_the_window(self):
        path = os.path.join(self.folder, "old.csv")
        with open(path, "wb") as f:
            f.write(record_csv(numbered(MEASUREMENTS)))
        bad = os.path.join(self.folder, "bad.csv")
        with open(bad, "wb") as f:
            f.write(record_csv(numbered(MEASUREMENTS[:2]) + [["3", "어제", "", "", "", "", "", "",
                                                              "1", "-"]]))
        self.start()
        self.app.cmd("open-history")
        self.history()
        oldest = (TODAY + datetime.timedelta(days=MEASUREMENTS[-1][0])).isoformat()
        for added in (6, 0):  # the second time nothing is new
            self.click("HISTORY_IMPORT")
            self.app.cmd(f"open-file {windows_path(path)}")
            box = self.box(30000)
            self.assertTrue(box["text"].endswith(
                f"old.csv: 측정 기록 {added}개를 새로 보관했습니다. (파일의 측정 기록 6개)"), box["text"])
            self.answer()
            self.settle()
            # The period widened to the file's oldest row, 60 days back, beyond the 30 shown.
            self.assertEqual(self.app.cmd(f"date {IDC['HISTORY_FROM']}"), oldest)
            self.assertEqual(self.app.cmd(f"date {IDC['HISTORY_TO']}"), TODAY.isoformat())
            self.assertEqual(self.table(), numbered(MEASUREMENTS))
        self.click("HISTORY_IMPORT")
        self.app.cmd(f"open-file {windows_path(bad)}")
        box = self.box(30000)
        self.assertTrue(box["text"].endswith("bad.csv의 4번째 줄, 시간 항목이 올바르지 않습니다.\n\n"
                                             "이 파일의 측정 기록은 하나도 보관하지 않았습니다."),
                        box["text"])
        self.answer()
        self.assertEqual(len(self.table()), 6)


    def test_a_backup_through_the_window_is_checked_and_imports_back(self):
        self.import_natively(MEASUREMENTS)
        self.start()
        self.app.cmd("open-history")
        self.history()
        copy = os.path.join(self.folder, "백업.sqlite3")
        self.click("HISTORY_BACKUP")
        self.app.cmd(f"save-as {windows_path(copy)}")
        box = self.box(30000)
        self.assertTrue(box["text"].endswith(
            "백업.sqlite3에 백업했습니다. (측정 기록 6개, 무결성 검사 통과)"), box["text"])
        self.answer()
        db = sqlite3.connect(f"file:{copy}?mode=ro", uri=True)
        self.assertEqual(db.execute("PRAGMA integrity_check").fetchone()[0], "ok")
        self.assertEqual(db.execute("SELECT count(*) FROM measurements").fetchone()[0], 6)
        db.close()
        # The copy is an archive file that "가져오기..." takes: nothing in it is new.
        self.click("HISTORY_IMPORT")
        self.app.cmd(f"open-file {windows_path(copy)}")
        box = self.box(30000)
        self.assertTrue(box["text"].endswith(
            "백업.sqlite3: 측정 기록 0개를 새로 보관했습니다. (파일의 측정 기록 6개)"), box["text"])
        self.answer()
        for beside in ("-wal", "-shm"):
            self.assertFalse(os.path.exists(copy + beside), beside)

    def daily_copy_into(self, folder):
        """The program started with `folder` as its backup folder, and a CSV imported through the
        history window: an archive write."""
        os.environ["OMBRIX_BACKUP_FOLDER"] = windows_path(folder)
        self.addCleanup(os.environ.pop, "OMBRIX_BACKUP_FOLDER", None)
        path = os.path.join(self.folder, "old.csv")
        with open(path, "wb") as f:
            f.write(record_csv(numbered(MEASUREMENTS)))
        self.start()
        self.app.cmd("open-history")
        self.history()
        self.click("HISTORY_IMPORT")
        self.app.cmd(f"open-file {windows_path(path)}")
        self.assertIsNotNone(self.box(30000))
        self.answer()

    def test_the_first_write_of_the_day_is_copied_into_the_backup_folder(self):
        folder = os.path.join(self.folder, "backups")
        os.makedirs(folder)
        self.daily_copy_into(folder)
        today = f"-{TODAY.isoformat()}.sqlite3"
        copies = wait_until(lambda: [name for name in os.listdir(folder)
                                     if name.endswith(today) and name.startswith("archive-")],
                            what="the day's copy")
        self.assertEqual(len(copies), 1, copies)
        self.assertEqual(self.text("STATIC_SITE"), "")

    def test_a_daily_copy_that_fails_is_said_at_the_foot_without_a_box(self):
        self.daily_copy_into(os.path.join(self.folder, "none"))
        wait_until(lambda: self.text("STATIC_SITE").startswith("자동 백업 실패: 백업 파일 "),
                   what="the failure at the foot")
        self.assertIsNone(self.box(500))

if __name__ == "__main__":
    unittest.main()

"""The window's reads and the measurement archive under Wine: a read lands in the user's
archive once however often it is repeated, and an archive that another program holds gives one
more box, keeps the list and lets the log be cleared only after the operator's explicit Yes; a
log that is not proven archived (another instrument on the cable, a count reply that is no
count) is cleared only past a question, and such a clear is kept in the archive."""
import os
import sqlite3
import time
import unittest

from harness import BenchCase, IDC, IDNO, IDYES, archive_path, windows_path

STATE = """\
user 101 2001 홍길동
standard 100 200 세균
record 1 1 99 2011-03-07 00:05:09
record 1 1 250 2011-03-07 13:00:00
record 0 0 7 2011-03-08 23:59:59
"""
ARCHIVE = archive_path()


def archived():
    with sqlite3.connect(ARCHIVE) as db:
        return db.execute("SELECT measured_at, user_name, standard_name, value, verdict, source "
                          "FROM measurements ORDER BY measured_at").fetchall()


class Archive(BenchCase):
    def setUp(self):
        for end in ("", "-wal", "-shm"):
            if os.path.exists(ARCHIVE + end):
                os.remove(ARCHIVE + end)
        self.state_file = self.write_state(STATE)
        self.start(["--state", self.state_file, "--save", self.state_file])
        self.click("BTN_CONNECT")
        time.sleep(0.5)

    def test_a_read_lands_once_however_often_it_is_repeated(self):
        for again in (False, True, True):
            self.read_records(again)
            self.assertIsNone(self.box(500))
            self.delete_record_list()
        self.assertEqual(archived(), [
            ("2011-03-07 00:05:09", "홍길동", "세균", 99, "안전", "COM1"),
            ("2011-03-07 13:00:00", "홍길동", "세균", 250, "오염", "COM1"),
            ("2011-03-08 23:59:59", None, None, 7, "-", "COM1"),
        ])

    def test_an_archive_held_by_another_program(self):
        os.makedirs(os.path.dirname(ARCHIVE), exist_ok=True)
        self.assertEqual(self.app.cmd(f"hold {windows_path(ARCHIVE)}"), "ok")
        self.read_records()
        box = self.box(10000)
        self.assertIsNotNone(box)
        self.assertTrue(box["text"].startswith("측정 기록 보관 파일 C:\\users\\"), box["text"])
        self.assertIn("archive.sqlite3을(를) 다른 프로그램이 사용하고 있어", box["text"])
        self.answer()
        self.assertEqual(self.app.cmd(f"rows {IDC['LIST_RECORD']}"), "3")
        self.app.cmd("release")

        self.delete_record_list()
        self.click("BTN_RECORD_CLEAR_DEVICE")
        self.expect_box("Ombrix에서 모든 측정 기록을\n\n삭제하겠습니까?", button=IDYES)
        self.expect_box("Ombrix의 측정 기록 3개가 아직 PC에 보관되지 않았습니다.\n\n"
                        "그래도 삭제하겠습니까?", button=IDNO)
        self.assertIsNone(self.box(500))
        self.assertEqual(len(self.saved_lines(self.state_file, "record")), 3)

        self.read_records(again=True)  # the archive is free again: this read is kept
        self.delete_record_list()
        self.click("BTN_RECORD_CLEAR_DEVICE")
        self.expect_box("Ombrix에서 모든 측정 기록을\n\n삭제하겠습니까?", button=IDYES)
        self.expect_box("Ombrix의 측정 기록이 모두 삭제 되었습니다.")
        self.assertEqual(len(archived()), 3)


# Another instrument with as many records, the newest of them another measurement.
SWAPPED = STATE.replace("record 0 0 7 2011-03-08 23:59:59", "record 0 0 8 2011-03-09 08:00:00")
CLEAR_ASK = "Ombrix에서 모든 측정 기록을\n\n삭제하겠습니까?"


class ClearQuestions(BenchCase):
    def setUp(self):
        for end in ("", "-wal", "-shm"):
            if os.path.exists(ARCHIVE + end):
                os.remove(ARCHIVE + end)
        self.state_file = self.write_state(STATE)

    def connect_to(self, sim_args):
        self.start(["--state", self.state_file, "--save", self.state_file] + sim_args)
        self.connect()

    def deleted(self):
        return any(request[3] == "62" for request in self.sim.requests())

    def test_another_instrument_on_the_cable_is_not_cleared_unasked(self):
        # The read takes 8 requests (a user, a standard, three records); the clear's count is
        # the 9th, and by then the other instrument is on the cable.
        self.connect_to(["--swap-at", "9", "--swap-state", self.write_state(SWAPPED)])
        self.read_records()
        self.delete_record_list()
        self.click("BTN_RECORD_CLEAR_DEVICE")
        self.expect_box(CLEAR_ASK, button=IDYES)
        self.expect_box("Ombrix의 측정 기록 3개가 아직 PC에 보관되지 않았습니다.\n\n"
                        "그래도 삭제하겠습니까?", button=IDNO)
        self.assertIsNone(self.box(500))
        self.assertFalse(self.deleted())
        self.assertEqual([request[2:4] for request in self.sim.requests()[8:]],
                         [["13", "64"], ["13", "63"]])

    def test_a_count_that_is_no_count_asks_and_a_forced_clear_is_kept(self):
        self.connect_to(["--reply", "13:64=EEE1,3"])
        self.click("BTN_RECORD_CLEAR_DEVICE")
        self.expect_box(CLEAR_ASK, button=IDYES)
        self.expect_box("Ombrix의 측정 기록이 PC에 보관되었는지 확인할 수 없습니다.\n\n"
                        "그래도 삭제하겠습니까?", button=IDYES)
        self.settle()
        self.assertTrue(self.deleted())
        with sqlite3.connect(ARCHIVE) as db:
            self.assertEqual(db.execute("SELECT record_count, source FROM forced_clears").fetchall(),
                             [(None, "COM1")])


if __name__ == "__main__":
    unittest.main()

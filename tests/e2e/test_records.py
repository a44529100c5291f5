"""The record panel against the real program under Wine and the simulator: the log read with
verdicts, saved through the real save dialog, cleared, and the device writable again."""
import os
import shutil
import tempfile
import unittest

from harness import BenchCase, IDC, IDOK, IDYES, windows_path

STATE = """\
user 101 2001 홍길동
user 102 2002 김철수
standard 100 200 세균
standard 300 200 곰팡이
record 1 1 99 2011-03-07 00:05:09
record 2 2 250 2011-03-07 13:00:00
record 1 0 150 2011-03-08 12:30:00
record 0 9 7 2011-03-08 23:59:59
"""
HEADER = "No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과\n"
ROWS = [
    ["1", "2011-03-08 11:59:59 오후", "", "", "", "", "", "", "7", "-"],
    ["2", "2011-03-08 12:30:00 오후", "홍길동", "101", "2001", "", "", "", "150", "-"],
    ["3", "2011-03-07 01:00:00 오후", "김철수", "102", "2002", "곰팡이", "300", "200", "250", "안전"],
    ["4", "2011-03-07 12:05:09 오전", "홍길동", "101", "2001", "세균", "100", "200", "99", "안전"],
]


class RecordPanel(BenchCase):
    def setUp(self):
        self.state_file = self.write_state(STATE)
        self.start(["--state", self.state_file, "--save", self.state_file])
        self.connect()
        self.folder = tempfile.mkdtemp(prefix="ombrix-csv-")
        self.addCleanup(shutil.rmtree, self.folder, True)

    def read_records(self):
        self.click("BTN_RECORD_READ")
        self.expect_box("사용자 정보 가져오기를 완료하였습니다.")
        self.expect_box("측정 기준 정보 가져오기를 완료하였습니다.")
        self.expect_box("측정 기록 가져오기를 완료하였습니다.")

    def save_csv(self, path):
        self.click("BTN_RECORD_CSV")
        self.app.cmd(f"save-as {windows_path(path)}")
        self.settle()

    def test_read_save_clear_and_write_again(self):
        self.assertFalse(self.enabled("BTN_RECORD_CSV"))
        self.read_records()
        self.assertEqual(self.rows("LIST_RECORD", range(1, 11)), ROWS)
        self.assertEqual(self.app.cmd(f"progress {IDC['PROGRESS_RECORD']}"), "2500")
        self.assertTrue(self.enabled("BTN_RECORD_CSV"))
        self.display.screenshot("record-panel")

        path = os.path.join(self.folder, "측정 기록.csv")  # the path travels as UTF-8
        self.save_csv(path)
        self.assertIsNone(self.box(500))
        with open(path, "rb") as f:
            saved = f.read()
        expected = (HEADER + "".join(",".join(row) + "\n" for row in ROWS)).encode("cp949")
        self.assertEqual(saved, expected)

        self.click("BTN_RECORD_DELETE_ALL")
        self.expect_box("리스트에서 측정기록을 모두 삭제하시겠습니까?", button=IDYES)
        self.assertEqual(self.app.cmd(f"rows {IDC['LIST_RECORD']}"), "0")
        self.assertFalse(self.enabled("BTN_RECORD_CSV"))

        self.click("BTN_RECORD_CLEAR_DEVICE")
        self.expect_box("Ombrix에서 모든 측정 기록을\n\n삭제하겠습니까?", button=IDYES)
        self.expect_box("Ombrix의 측정 기록이 모두 삭제 되었습니다.")
        self.assertEqual(self.saved_lines(self.state_file, "record"), [])

        self.click("BTN_USER_WRITE")
        self.expect_box("Ombrix에서 사용자 정보가 모두 재기록됩니다.\n\n확실합니까?", button=IDYES)
        self.expect_box("Ombrix에 사용자 정보 저장하기를 완료하였습니다.")
        self.click("BTN_STANDARD_WRITE")
        self.expect_box("Ombrix에서 측정 기준 정보가 모두 재기록됩니다.\n\n확실합니까?", button=IDYES)
        self.expect_box("Ombrix에 측정 기준 정보 저장하기를 완료하였습니다.")
        self.assertEqual(self.saved_lines(self.state_file, "user"),
                         ["user 101 2001 홍길동", "user 102 2002 김철수"])

    def test_a_file_held_open_without_sharing(self):
        self.read_records()
        path = os.path.join(self.folder, "held.csv")
        self.app.cmd(f"hold {windows_path(path)}")
        self.click("BTN_RECORD_CSV")
        self.app.cmd(f"save-as {windows_path(path)}")
        self.assertIn("파일을 교체하시겠습니까?", self.app.cmd(f"answer-nested {IDYES}"))  # the save dialog asks before replacing
        box = self.box(5000)
        self.assertIsNotNone(box)
        self.assertTrue(box["text"].endswith("held.csv에 액세스하는 동안 공유 위반이 발생했습니다."), box["text"])
        self.answer(IDOK)
        self.app.cmd("release")
        self.assertEqual(self.app.cmd(f"progress {IDC['PROGRESS_RECORD']}"), "0")

    def test_an_empty_list_is_not_saved(self):
        self.assertEqual(self.app.cmd(f"rows {IDC['LIST_RECORD']}"), "0")
        self.assertFalse(self.enabled("BTN_RECORD_CSV"))
        self.click("BTN_RECORD_DELETE_ALL")  # nothing to delete: no question
        # The click has been handled (click() waits for that): a question would be up by now.
        self.assertEqual(self.app.cmd("main-enabled"), "yes")
        self.assertIsNone(self.box(0))


if __name__ == "__main__":
    unittest.main()

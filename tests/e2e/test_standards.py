"""The standard panel against the real program under Wine and the simulator."""
import unittest

from harness import BenchCase, IDC, IDOK, IDYES

STATE = """\
standard 100 200 세균
standard 9999 65535 대장균군ABC
standard 30 60 곰팡이
"""
LIST = IDC["LIST_STANDARD"]


class StandardPanel(BenchCase):
    def setUp(self):
        self.state_file = self.write_state(STATE)
        self.start(["--state", self.state_file, "--save", self.state_file])
        self.connect()

    def read_standards(self):
        self.click("BTN_STANDARD_READ")
        self.expect_box("측정 기준 정보 가져오기를 완료하였습니다.")

    def test_read_edit_write_and_read_again(self):
        self.read_standards()
        self.assertEqual(self.rows("LIST_STANDARD"), [["1", "세균", "100", "200"],
                                                      ["2", "대장균군ABC", "9999", "65535"],
                                                      ["3", "곰팡이", "30", "60"]])
        self.assertEqual(self.app.cmd(f"progress {IDC['PROGRESS_STANDARD']}"), "2500")

        self.type("EDIT_SAFE_INDEX", "150")
        self.type("EDIT_DANGER_INDEX", "120")
        self.type("EDIT_STANDARD_NAME", "잔류물")
        self.assertIsNone(self.box(200))
        self.click("BTN_STANDARD_ADD")
        self.assertEqual(self.rows("LIST_STANDARD")[3], ["4", "잔류물", "150", "120"])
        self.display.screenshot("standard-panel")

        self.app.cmd(f"check {LIST} 0 1")
        self.app.cmd(f"check {LIST} 2 1")
        self.click("BTN_STANDARD_DELETE")
        expected = [["1", "대장균군ABC", "9999", "65535"], ["2", "잔류물", "150", "120"]]
        self.assertEqual(self.rows("LIST_STANDARD"), expected)

        self.click("BTN_STANDARD_WRITE")
        self.expect_box("Ombrix에서 측정 기준 정보가 모두 재기록됩니다.\n\n확실합니까?", button=IDYES)
        self.expect_box("Ombrix에 측정 기준 정보 저장하기를 완료하였습니다.")
        self.assertEqual(self.saved_lines(self.state_file, "standard"),
                         ["standard 9999 65535 대장균군ABC", "standard 150 120 잔류물"])

        self.click("BTN_STANDARD_SELECT_ALL")
        self.click("BTN_STANDARD_DELETE")
        self.read_standards()
        self.assertEqual(self.rows("LIST_STANDARD"), expected)

    def test_index_fields_while_typing(self):
        self.type("EDIT_SAFE_INDEX", "0")
        self.assertIsNone(self.box(300))
        self.type("EDIT_SAFE_INDEX", "5")
        self.expect_box("0부터 입력할 수 없습니다.", 3000)
        self.assertEqual(self.text("EDIT_SAFE_INDEX"), "")
        self.type("EDIT_DANGER_INDEX", "12345")
        self.expect_box("위험지수는 4자리를 초과할 수 없습니다.", 3000)
        self.assertEqual(self.text("EDIT_DANGER_INDEX"), "1234")
        self.assertIsNone(self.box(300))


if __name__ == "__main__":
    unittest.main()

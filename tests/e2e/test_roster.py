"""The user panel against the real program under Wine and the simulator."""
import unittest

from harness import BenchCase, IDC, IDOK, IDYES, Simulator

STATE = """\
user 101 2001 홍길동
user -1 12345678 김철수A
user 103 2003 이영희
"""
LIST = IDC["LIST_USER"]


class UserPanel(BenchCase):
    def setUp(self):
        self.state_file = self.write_state(STATE)
        self.start(["--state", self.state_file, "--save", self.state_file])
        self.connect()

    def rows(self):
        return super().rows("LIST_USER")

    def read_users(self):
        self.click("BTN_USER_READ")
        box = self.box(10000)
        self.assertEqual(box["text"], "사용자 정보 가져오기를 완료하였습니다.")
        self.answer(IDOK)

    def test_read_edit_write_and_read_again(self):
        self.read_users()
        self.assertEqual(self.rows(), [["1", "홍길동", "101", "2001"],
                                       ["2", "김철수A", "-1", "12345678"],
                                       ["3", "이영희", "103", "2003"]])
        self.assertEqual(self.app.cmd(f"progress {IDC['PROGRESS_USER']}"), "2500")

        self.type("EDIT_USER_ID1", "000123")
        self.type("EDIT_USER_ID2", "42")
        self.type("EDIT_USER_NAME", "박민수")
        self.assertIsNone(self.box(200))
        self.click("BTN_USER_ADD")
        self.assertEqual(self.rows()[3], ["4", "박민수", "000123", "42"])
        self.assertEqual(self.text("EDIT_USER_NAME"), "박민수", "the fields keep their texts")
        self.display.screenshot("user-panel")

        self.app.cmd(f"check {LIST} 1 1")
        self.click("BTN_USER_DELETE")
        self.assertEqual([r[:2] for r in self.rows()], [["1", "홍길동"], ["2", "이영희"], ["3", "박민수"]])

        self.click("BTN_USER_WRITE")
        box = self.box(5000)
        self.assertEqual(box["text"], "Ombrix에서 사용자 정보가 모두 재기록됩니다.\n\n확실합니까?")
        self.assertEqual(box["buttons"], f"{IDYES} 7")
        self.answer(IDYES)
        box = self.box(10000)
        self.assertEqual(box["text"], "Ombrix에 사용자 정보 저장하기를 완료하였습니다.")
        self.answer(IDOK)
        with open(self.state_file, encoding="utf-8") as f:
            saved = [line for line in f if line.startswith("user ")]
        self.assertEqual(saved, ["user 101 2001 홍길동\n", "user 103 2003 이영희\n",
                                 "user 123 42 박민수\n"])

        self.click("BTN_USER_SELECT_ALL")
        self.click("BTN_USER_DELETE")
        self.read_users()
        self.assertEqual(self.rows(), [["1", "홍길동", "101", "2001"], ["2", "이영희", "103", "2003"],
                                       ["3", "박민수", "123", "42"]])

    def test_the_field_limits_while_typing(self):
        self.type("EDIT_USER_ID1", "1234567")
        box = self.box()
        self.assertEqual(box["text"], "ID1은 6자리를 초과할 수 없습니다.")
        self.answer(IDOK)
        self.assertEqual(self.text("EDIT_USER_ID1"), "123456")
        self.assertIsNone(self.box(300), "the correction does not run the check again")

        self.type("EDIT_USER_NAME", "A가나다라마바")
        box = self.box()
        self.assertEqual(box["text"], "이름은 11자를 초과할 수 없습니다.\n(한글 1자는 영문 2자와 동일), ")
        self.answer(IDOK)
        self.assertEqual(self.text("EDIT_USER_NAME"), "A가나다라마")

    def test_a_character_outside_code_page_949_is_kept_as_a_question_mark(self):
        self.type("EDIT_USER_NAME", "café")
        self.assertIsNone(self.box(300))
        self.assertEqual(self.text("EDIT_USER_NAME"), "caf?")
        self.type("EDIT_USER_ID1", "1")
        self.type("EDIT_USER_ID2", "2")
        self.click("BTN_USER_ADD")
        self.assertEqual(self.rows()[0], ["1", "caf?", "1", "2"])

    def test_a_read_into_a_filled_list_is_refused(self):
        self.read_users()
        self.click("BTN_USER_READ")
        box = self.box()
        self.assertEqual(box["text"], "사용자 정보를 읽어오기 위해서는\n\n리스트를 모두 삭제하여 주세요.")
        self.answer(IDOK)
        self.assertEqual(self.app.cmd(f"progress {IDC['PROGRESS_USER']}"), "0")


class SlowUserRead(BenchCase):
    def test_progress_is_seen_moving_while_replies_come_slowly(self):
        self.start(["--state", self.write_state(STATE), "--delay", "400"])
        self.connect()
        self.app.cmd(f"click {IDC['BTN_USER_READ']}")
        seen = []

        def look():
            position = int(self.app.cmd(f"progress {IDC['PROGRESS_USER']}"))
            if not seen or seen[-1] != position:
                seen.append(position)

        while self.app.cmd("main-enabled") == "yes":  # a box disables the window
            look()
        look()  # the last position may have come just before the box
        self.expect_box("사용자 정보 가져오기를 완료하였습니다.")
        self.assertEqual([p for p in seen if p], [833, 1666, 2500])
        self.assertEqual(len(self.rows("LIST_USER")), 3)



class LateReply(BenchCase):
    """A device that answers in order gives one reply 2 s late: it comes just before the reply to
    the next request, after that request was written."""

    def test_a_late_record_count_does_not_fill_the_next_user_read(self):
        state = STATE + "standard 100 200 세균\n" + "record 1 1 99 2011-03-07 00:05:09\n" * 5
        # The record read asks for the user count, users 1 to 3, the standard count, standard 1,
        # and then (the seventh request) the record count.
        self.start(["--state", self.write_state(state), "--late", "7", "--late-ms", "2000",
                    "--late-after-next"])
        self.connect()
        self.click("BTN_RECORD_READ")
        self.expect_box("사용자 정보 가져오기를 완료하였습니다.")
        self.expect_box("측정 기준 정보 가져오기를 완료하였습니다.")
        self.expect_box("전송이 지연되었습니다.\n\n연결 확인 후 재시도 하세요.")
        self.click("BTN_USER_SELECT_ALL")
        self.click("BTN_USER_DELETE")
        self.click("BTN_USER_READ")
        self.expect_box("사용자 정보 가져오기를 완료하였습니다.")
        self.assertEqual(self.rows("LIST_USER"), [["1", "홍길동", "101", "2001"],
                                                  ["2", "김철수A", "-1", "12345678"],
                                                  ["3", "이영희", "103", "2003"]])
        self.assertEqual(len(self.sim.requests()), 7 + 4, "the user count and three users")
        with open(self.sim.log, encoding="ascii", errors="replace") as f:
            self.assertIn("-- the late reply, after the next request", f.read())


class PulledLine(BenchCase):
    """The device's end closes during a read: the line is dead while the window says connected."""

    def test_pulled_during_a_read_then_back_on_com1(self):
        self.start(["--users", "60", "--hang-up", "31"])  # item 30 never reaches the device
        self.connect()
        self.click("BTN_USER_READ")
        self.expect_box("전송이 지연되었습니다.\n\n연결 확인 후 재시도 하세요.")
        self.assertIsNone(self.box(1500))  # one box, nothing after it
        rows = self.rows("LIST_USER")
        self.assertEqual(len(rows), 29)
        self.assertEqual(rows[28][:2], ["29", "강측정29"])
        self.assertEqual(self.text("STATIC_STATUS"), "연결됨")

        self.sim.proc.wait(timeout=10)  # the simulator ends with its line
        self.sim = Simulator(["--standards", "2"])  # a device back on COM1
        self.addCleanup(self.sim.close)
        self.click("BTN_CONNECT")
        self.assertEqual(self.text("STATIC_STATUS"), "끊어짐")
        self.click("BTN_CONNECT")
        self.assertEqual(self.text("STATIC_STATUS"), "연결됨")
        self.click("BTN_STANDARD_READ")
        self.expect_box("측정 기준 정보 가져오기를 완료하였습니다.")
        self.assertEqual(self.rows("LIST_STANDARD"),
                         [["1", "곰팡이1", "110", "220"], ["2", "대장균2", "120", "240"]])


if __name__ == "__main__":
    unittest.main()

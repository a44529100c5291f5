"""The user and standard lists to and from files, through the lists' context menu, against the
real program under Wine and the simulator."""
import os
import shutil
import tempfile
import unittest

from harness import BenchCase, IDC, IDYES, windows_path

STATE = """\
user 101 2001 홍길동
user -1 2147483647 Kim, J.
user 0 7 가나다라마A
standard 100 200 세균
"""
USERS = [["1", "홍길동", "101", "2001"], ["2", "Kim, J.", "-1", "2147483647"],
         ["3", "가나다라마A", "0", "7"]]


class ListFiles(BenchCase):
    def setUp(self):
        self.state_file = self.write_state(STATE)
        self.start(["--state", self.state_file, "--save", self.state_file])
        self.connect()
        self.folder = tempfile.mkdtemp(prefix="ombrix-lists-")
        self.addCleanup(shutil.rmtree, self.folder, True)

    def menu(self, list_name, item, screenshot=None):
        """Opens the list's context menu with a right click and picks an item (1-based)."""
        # A click injected into a busy Xvfb is now and then lost before the program sees it
        # (the first one after start-up most often); an operator would click again.
        for _ in range(3):
            self.app.cmd(f"right-click {IDC[list_name]}")
            if self.app.cmd("menu 15000") == "open":
                break
        else:
            self.fail("no context menu after three right clicks")
        if screenshot:
            self.display.screenshot(screenshot)
        self.app.cmd(f"menu-pick {item}")

    def file_dialog(self, verb, path):
        """Fills the file dialog; returns once the program has handled the file."""
        self.app.cmd(f"{verb} {windows_path(path)}")
        self.settle()

    def empty_users(self):
        self.click("BTN_USER_SELECT_ALL")
        self.click("BTN_USER_DELETE")
        self.assertEqual(self.rows("LIST_USER"), [])

    def test_users_saved_loaded_written_and_read_back(self):
        self.click("BTN_USER_READ")
        self.expect_box("사용자 정보 가져오기를 완료하였습니다.")
        self.assertEqual(self.rows("LIST_USER"), USERS)

        path = os.path.join(self.folder, "Ombrix_users.csv")
        self.menu("LIST_USER", 1, screenshot="list-menu")
        self.file_dialog("save-as", path)
        self.assertIsNone(self.box(500), "no message on success")
        with open(path, "rb") as f:
            self.assertEqual(f.read(), ("No.,이름,ID1,ID2\n1,홍길동,101,2001\n"
                                        "2,\"Kim, J.\",-1,2147483647\n3,가나다라마A,0,7\n").encode("cp949"))

        self.empty_users()
        self.menu("LIST_USER", 2)
        self.file_dialog("open-file", path)
        self.expect_box("3개 항목을 불러왔습니다.")
        self.assertEqual(self.rows("LIST_USER"), USERS)

        self.click("BTN_USER_WRITE")
        self.expect_box("Ombrix에서 사용자 정보가 모두 재기록됩니다.\n\n확실합니까?", button=IDYES)
        self.expect_box("Ombrix에 사용자 정보 저장하기를 완료하였습니다.")
        self.empty_users()
        self.click("BTN_USER_READ")
        self.expect_box("사용자 정보 가져오기를 완료하였습니다.")
        self.assertEqual(self.rows("LIST_USER"), USERS)

    def test_standards_menu_refusals_and_a_spreadsheet_utf8_file(self):
        self.menu("LIST_STANDARD", 1)
        self.expect_box("저장할 항목이 없습니다.")

        path = os.path.join(self.folder, "standards.csv")
        with open(path, "wb") as f:
            f.write("\ufeffNo.,측정기준,안전지수,위험지수\r\n1,세균,100,200\r\n2,café,1,2\r\n".encode("utf-8"))
        self.menu("LIST_STANDARD", 2)
        self.file_dialog("open-file", path)
        self.expect_box("파일의 3번째 줄, 측정기준 항목이 올바르지 않습니다.")
        self.assertEqual(self.rows("LIST_STANDARD"), [])

        with open(path, "wb") as f:
            f.write("\ufeffNo.,측정기준,안전지수,위험지수\r\n1,세균,100,200\r\n".encode("utf-8"))
        self.menu("LIST_STANDARD", 2)
        self.file_dialog("open-file", path)
        self.expect_box("1개 항목을 불러왔습니다.")
        self.assertEqual(self.rows("LIST_STANDARD"), [["1", "세균", "100", "200"]])

        # The menu key: the menu opens at the focused row.
        self.app.cmd(f"context-key {IDC['LIST_STANDARD']}")
        self.assertEqual(self.app.cmd("menu"), "open")
        self.app.cmd("menu-pick 2")
        self.expect_box("파일에서 불러오기 위해서는\n\n리스트를 모두 삭제하여 주세요.")


if __name__ == "__main__":
    unittest.main()

"""The main window, connection and port setting, against the real program under Wine."""
import unittest

from harness import BenchCase, DEVICE_BUTTONS, IDC, IDOK, wait_until

PORT_ENTRIES = " COM1, COM2, COM3, COM4, COM5, COM6, COM7, COM8, COM9,COM10,COM11,COM12"


class StartUp(BenchCase):
    def test_start_up_state(self):
        app = self.start()
        self.display.screenshot("main-window")
        self.assertEqual(self.text("STATIC_STATUS"), "끊어짐")
        self.assertEqual(self.text("BTN_CONNECT"), "연결하기")
        for name in DEVICE_BUTTONS + ["BTN_RECORD_CSV"]:
            self.assertFalse(self.enabled(name), name)
        for name in ["BTN_USER_ADD", "BTN_USER_DELETE", "BTN_RECORD_DELETE_ALL", "COMBO_PORT"]:
            self.assertTrue(self.enabled(name), name)
        self.assertEqual(app.cmd(f"combo {IDC['COMBO_PORT']}"), "selected=0|entries=" + PORT_ENTRIES)
        self.assertEqual(app.cmd("reg-get"), "0")
        self.assertIsNone(self.box(200))
        for bar in ["PROGRESS_USER", "PROGRESS_STANDARD", "PROGRESS_RECORD"]:
            self.assertEqual(app.cmd(f"progress {IDC[bar]}"), "0")
            self.assertEqual(app.cmd(f"range {IDC[bar]}"), "2500")

    def test_list_columns(self):
        app = self.start()
        self.assertEqual(app.cmd(f"columns {IDC['LIST_USER']}"),
                         ":20:c|No.:40:c|이름:100:c|ID1:100:c|ID2:100:c")
        self.assertEqual(app.cmd(f"columns {IDC['LIST_STANDARD']}"),
                         ":20:c|No.:40:c|측정기준:100:c|안전지수:100:c|위험지수:100:c")
        self.assertEqual(app.cmd(f"columns {IDC['LIST_RECORD']}"),
                         ":0:c|No.:45:c|시간:160:c|이름:100:c|ID1:70:c|ID2:70:c|측정기준:100:c"
                         "|안전지수:65:c|위험지수:65:c|측정값:60:c|결과:50:c")

    def test_about_box_from_the_system_menu(self):
        app = self.start()
        app.cmd("about")
        box = self.box()
        self.assertEqual(box["title"], "Ombrix Tessaly 정보")
        placement = self.placement()
        self.assert_centred(placement["box"], placement["main"])
        self.answer(IDOK)
        self.assertIsNone(self.box(300))
        self.assertEqual(app.cmd("alive"), "yes")

    def placement(self):
        """{"main", "box", "work"}: screen rectangles as (left, top, right, bottom)."""
        parts = dict(part.split(" ", 1) for part in self.app.cmd("placement").split("|"))
        return {name: tuple(int(n) for n in rect.split()) if rect != "none" else None
                for name, rect in parts.items()}

    def assert_centred(self, inner, outer):
        for low, high in ((0, 2), (1, 3)):
            self.assertLessEqual(abs((inner[low] + inner[high]) - (outer[low] + outer[high])), 2,
                                 f"{inner} is not centred on {outer}")

    def test_the_window_opens_centred_on_the_work_area(self):
        self.start()
        placement = self.placement()
        self.assert_centred(placement["main"], placement["work"])

    def test_the_logo_and_minimising(self):
        app = self.start()
        # The logo's pixel (100, 5) (scripts/make-art.py), drawn at (687, 581) of the client area.
        logo_pixel = "35,135,160"
        # Painted once the window has drawn itself, which a loaded machine may delay.
        wait_until(lambda: app.cmd("pixel 787 586") == logo_pixel, what="the logo painted")
        self.assertEqual(app.cmd("pixel 683 600"), app.cmd("pixel 5 5"), "nothing left of the logo")
        app.cmd("minimise")
        wait_until(lambda: app.cmd("iconic") == "yes", what="the minimised window")
        app.cmd("restore")
        wait_until(lambda: app.cmd("iconic") == "no", what="the restored window")
        wait_until(lambda: app.cmd("pixel 787 586") == logo_pixel, what="the logo painted again")

    def test_enter_and_escape_change_nothing(self):
        app = self.start()
        for control in ["EDIT_USER_NAME", "EDIT_SAFE_INDEX", "LIST_USER", "LIST_RECORD"]:
            for key in (13, 27):
                app.cmd(f"key {IDC[control]} {key}")
        self.settle()
        self.assertEqual(app.cmd("alive"), "yes")
        self.assertIsNone(self.box(300))
        self.assertEqual(self.text("STATIC_STATUS"), "끊어짐")  # connect was not pressed
        self.assertEqual(self.sim.requests(), [])


class Connection(BenchCase):
    def test_connect_and_disconnect(self):
        app = self.start()
        self.click("BTN_CONNECT")
        self.assertIsNone(self.box(300))
        self.assertEqual(self.text("STATIC_STATUS"), "연결됨")
        self.assertEqual(self.text("BTN_CONNECT"), "연결해제")
        self.assertFalse(self.enabled("COMBO_PORT"))
        for name in DEVICE_BUTTONS:
            self.assertTrue(self.enabled(name), name)
        self.assertFalse(self.enabled("BTN_RECORD_CSV"))
        self.click("BTN_CONNECT")
        self.assertEqual(self.text("STATIC_STATUS"), "끊어짐")
        self.assertEqual(self.text("BTN_CONNECT"), "연결하기")
        self.assertTrue(self.enabled("COMBO_PORT"))
        for name in DEVICE_BUTTONS:
            self.assertFalse(self.enabled(name), name)
        self.click("BTN_CONNECT")  # and again at once
        self.assertEqual(self.text("STATIC_STATUS"), "연결됨")
        self.assertEqual(self.sim.requests(), [], "connecting sends nothing")

    def test_a_port_that_fails(self):
        app = self.start()
        app.cmd(f"select {IDC['COMBO_PORT']} 1")
        self.click("BTN_CONNECT")
        box = self.box()
        self.display.screenshot("connect-failed")
        self.assertEqual(box["text"], "COM2 연결 실패!")
        self.assertEqual(box["title"], "Ombrix_Tessaly")
        self.assertEqual(app.cmd("main-enabled"), "no", "the dialog is disabled while the box is up")
        self.answer(IDOK)
        self.assertEqual(self.text("STATIC_STATUS"), "끊어짐")
        self.assertEqual(app.cmd("reg-get"), "0")

    def test_the_port_is_remembered_and_com10_opens(self):
        app = self.start(links=("com1", "com10"))
        app.cmd(f"select {IDC['COMBO_PORT']} 9")
        self.click("BTN_CONNECT")
        self.assertIsNone(self.box(300))
        self.assertEqual(self.text("STATIC_STATUS"), "연결됨")
        self.assertEqual(app.cmd("reg-get"), "9")
        app = self.restart()
        self.assertTrue(app.cmd(f"combo {IDC['COMBO_PORT']}").startswith("selected=9|"))

    def test_a_port_above_com12_typed_into_the_field(self):
        self.start(["--users", "3"], links=("com15",))
        self.type("COMBO_PORT", " com15")
        self.click("BTN_CONNECT")
        self.assertIsNone(self.box(300))
        self.assertEqual(self.text("STATIC_STATUS"), "연결됨")
        self.assertEqual(self.app.cmd("reg-get"), "14")
        self.click("BTN_USER_READ")
        self.expect_box("사용자 정보 가져오기를 완료하였습니다.")
        self.assertEqual(len(self.rows("LIST_USER")), 3)
        app = self.restart()
        self.assertTrue(app.cmd(f"combo {IDC['COMBO_PORT']}").startswith("selected=-1|"))
        self.assertEqual(self.text("COMBO_PORT"), "COM15")
        self.click("BTN_CONNECT")
        self.assertIsNone(self.box(300))
        self.assertEqual(self.text("STATIC_STATUS"), "연결됨")

    def test_a_typed_port_that_fails_is_named(self):
        app = self.start()
        self.type("COMBO_PORT", "COM13")
        self.click("BTN_CONNECT")
        self.expect_box("COM13 연결 실패!")
        self.type("COMBO_PORT", "COM1")  # a beginning of COM10 to COM12, and COM1 itself
        self.click("BTN_CONNECT")
        self.assertIsNone(self.box(300))
        self.assertEqual(self.text("STATIC_STATUS"), "연결됨")
        self.assertEqual(app.cmd("reg-get"), "0")

    def test_a_saved_index_out_of_range_selects_nothing(self):
        app = self.start()
        app.cmd("reg-set 256")
        app = self.restart()
        self.assertTrue(app.cmd(f"combo {IDC['COMBO_PORT']}").startswith("selected=-1|"))
        self.click("BTN_CONNECT")
        self.assertEqual(self.box()["text"], "COM0 연결 실패!")
        self.answer(IDOK)


class WesternLocale(BenchCase):
    locale = "C"

    def test_korean_texts_show_in_code_page_1252(self):
        self.start()
        self.display.screenshot("main-window-western-locale")
        self.assertEqual(self.text("STATIC_STATUS"), "끊어짐")
        self.assertEqual(self.text("BTN_USER_READ"), "Ombrix에서 가져오기")
        self.assertEqual(self.app.cmd(f"columns {IDC['LIST_USER']}").split("|")[2], "이름:100:c")


if __name__ == "__main__":
    unittest.main()

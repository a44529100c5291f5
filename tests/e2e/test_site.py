"""The site archive in the window under Wine: with OMBRIX_SITE set, a read is pushed to the
site tests' PostgreSQL server (through Wine's odbc32 and the host's unixODBC) behind the
operator's back; with the server away the rows wait, the status bar area says so and no box
appears; the next read pushes them. Needs the server of CTest's fixture site.ServerStart."""
import os
import subprocess
import unittest

from harness import NATIVE, ROOT, BenchCase, IDYES, archive_path, wait_until

STATE = """\
user 101 2001 홍길동
standard 100 200 세균
record 1 1 99 2011-03-07 00:05:09
record 1 1 250 2011-03-07 13:00:00
record 0 0 7 2011-03-08 23:59:59
"""
ARCHIVE = archive_path()
SERVER_STATE = os.path.join(NATIVE, "tests", "site-server.env")
SERVER = os.path.join(ROOT, "tests", "site", "pg_server.sh")


def server_state():
    with open(SERVER_STATE, encoding="utf-8") as f:
        return dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)


def server(command):
    subprocess.run([SERVER, command, SERVER_STATE], check=True, stdout=subprocess.DEVNULL)


def psql(sql):
    state = server_state()
    return subprocess.run(["psql", "-h", state["OMBRIX_TEST_SITE_DATA"], "-p",
                           state["OMBRIX_TEST_SITE_PORT"], "-U", "ombrix", "-d", "ombrix_site",
                           "-At", "-c", sql], check=True, capture_output=True, text=True).stdout


def site_rows():
    """The site's rows, as the native ombrix reads them."""
    out = subprocess.run([os.path.join(NATIVE, "cli", "ombrix"), "--site",
                          server_state()["OMBRIX_TEST_SITE"], "history"],
                         capture_output=True, text=True).stdout
    return out.splitlines()[1:]


class Site(BenchCase):
    def setUp(self):
        for end in ("", "-wal", "-shm"):
            if os.path.exists(ARCHIVE + end):
                os.remove(ARCHIVE + end)
        server("resume")
        self.addCleanup(server, "resume")
        psql("DROP TABLE IF EXISTS ombrix_measurements")
        os.environ["OMBRIX_SITE"] = server_state()["OMBRIX_TEST_SITE"]
        self.addCleanup(os.environ.pop, "OMBRIX_SITE")
        self.state_file = self.write_state(STATE)

    def read_records(self, again=False):
        self.click("BTN_RECORD_READ")
        if again:
            self.expect_box("사용자 정보를 읽어오기 위해서는\n\n리스트를 모두 삭제하여 주세요.")
            self.expect_box("측정 기준 정보를 읽어오기 위해서는\n\n리스트를 모두 삭제하여 주세요.")
        else:
            self.expect_box("사용자 정보 가져오기를 완료하였습니다.")
            self.expect_box("측정 기준 정보 가져오기를 완료하였습니다.")
        self.expect_box("측정 기록 가져오기를 완료하였습니다.")

    def test_rows_wait_while_the_server_is_away_and_go_at_the_next_read(self):
        server("halt")
        self.start(["--state", self.state_file])
        self.connect()
        self.read_records()
        self.assertIsNone(self.box(1000))  # no box for the site
        self.wait_text("STATIC_SITE", "사이트 보관: 3건 대기", timeout=60)
        self.display.screenshot("site-waiting")

        server("resume")
        self.click("BTN_RECORD_DELETE_ALL")
        self.expect_box("리스트에서 측정기록을 모두 삭제하시겠습니까?", button=IDYES)
        self.read_records(again=True)
        self.wait_text("STATIC_SITE", "", timeout=60)
        wait_until(lambda: len(site_rows()) == 3, 60, "the rows on the site")
        self.assertEqual(site_rows(), [
            "1,2011-03-08 11:59:59 오후,,,,,,,7,-",
            "2,2011-03-07 01:00:00 오후,홍길동,101,2001,세균,100,200,250,오염",
            "3,2011-03-07 12:05:09 오전,홍길동,101,2001,세균,100,200,99,안전",
        ])
        self.assertEqual(psql("SELECT DISTINCT source FROM ombrix_measurements").strip(), "COM1")


if __name__ == "__main__":
    unittest.main()

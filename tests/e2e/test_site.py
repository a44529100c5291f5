"""The site archive in the window under Wine: with OMBRIX_SITE set, a read is pushed to the
site tests' PostgreSQL server (through Wine's odbc32 and the host's unixODBC) behind the
operator's back; with the server away the rows wait, the status bar area says so and no box
appears; the next read pushes them. The history window shows the whole site's rows. Needs the
server of CTest's fixture site.ServerStart."""
import datetime
import os
import shutil
import subprocess
import tempfile
import unittest

from harness import IDC, IDOK, NATIVE, ROOT, BenchCase, archive_path, wait_until, wine_env
from test_history import MEASUREMENTS, import_natively, numbered

STATE = """\
user 7 77 이순신
standard 10 20 곰팡이
record 1 1 15 2024-05-01 09:30:00
record 1 1 30 2024-05-01 21:00:00
record 0 1 3 2024-05-02 06:00:00
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


def site_file():
    """The server's connection string in a file only its owner reads: a password never stands on
    a command line."""
    path = SERVER_STATE + ".conn"
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    with os.fdopen(fd, "w", encoding="utf-8") as f:
        f.write(server_state()["OMBRIX_TEST_SITE"] + "\n")
    return path


def site_rows():
    """The site's rows, as the native ombrix reads them, ID2 in full."""
    out = subprocess.run([os.path.join(NATIVE, "cli", "ombrix"), "--site-file", site_file(),
                          "history", "--show-ids"], capture_output=True, text=True).stdout
    return out.splitlines()[1:]


def wine_reg(*args):
    subprocess.run(["wine", "reg", *args], env=wine_env("C.UTF-8"), stdin=subprocess.DEVNULL,
                   capture_output=True, check=True, timeout=120)


def id2_masked(rows):
    """The table's rows as the site's rows show them: ID2 (the fifth cell) but its first digit
    hidden."""
    return [row[:4] + [row[4][:1] + "*" * (len(row[4]) - 1)] + row[5:] for row in rows]


class Site(BenchCase):
    def setUp(self):
        for end in ("", "-wal", "-shm"):
            if os.path.exists(ARCHIVE + end):
                os.remove(ARCHIVE + end)
        server("resume")
        self.addCleanup(server, "resume")
        psql("DROP TABLE IF EXISTS ombrix_measurements")
        psql("DROP TABLE IF EXISTS ombrix_actions")  # earlier tests' CHECKs and rows
        psql("DROP TABLE IF EXISTS ombrix_hourly_counts")
        os.environ["OMBRIX_SITE"] = server_state()["OMBRIX_TEST_SITE"]
        self.addCleanup(os.environ.pop, "OMBRIX_SITE")
        self.state_file = self.write_state(STATE)

    def test_rows_wait_while_the_server_is_away_and_go_at_the_next_read(self):
        server("halt")
        self.start(["--state", self.state_file])
        self.connect()
        self.read_records()
        self.assertIsNone(self.box(1000))  # no box for the site
        self.wait_text("STATIC_SITE", "사이트 보관: 3건 대기", timeout=60)
        self.display.screenshot("site-waiting")

        server("resume")
        self.delete_record_list()
        self.read_records(again=True)
        self.wait_text("STATIC_SITE", "", timeout=60)
        wait_until(lambda: len(site_rows()) == 3, 60, "the rows on the site")
        self.assertEqual(site_rows(), [
            "1,2024-05-02 06:00:00 오전,,,,곰팡이,10,20,3,안전",
            "2,2024-05-01 09:00:00 오후,이순신,7,77,곰팡이,10,20,30,오염",
            "3,2024-05-01 09:30:00 오전,이순신,7,77,곰팡이,10,20,15,주의",
        ])
        self.assertEqual(psql("SELECT DISTINCT source FROM ombrix_measurements").strip(), "COM1")

    def test_a_protected_setting_that_cannot_be_decrypted_is_said(self):
        """SiteArchive protected with a key this account does not hold (here: bytes that are no
        DPAPI value): nothing is pushed, and the line says the setting is wrong."""
        os.environ["OMBRIX_SITE"] = ""
        key = r"HKLM\Software\Kavenor\Ombrix_Tessaly"
        wine_reg("add", key, "/v", "SiteArchive", "/t", "REG_BINARY", "/d", "00112233445566", "/f")
        self.addCleanup(wine_reg, "delete", key, "/v", "SiteArchive", "/f")
        self.start()
        self.wait_text("STATIC_SITE", "사이트 보관: 설정 오류")

    def dialog_line(self):
        """The measurement line of the dialog "조치 기록", empty while it is not open."""
        try:
            return self.text("ACTION_MEASUREMENT")
        except AssertionError:
            return ""

    def import_natively(self, archive, measurements):
        folder = tempfile.mkdtemp(prefix="ombrix-site-")
        self.addCleanup(shutil.rmtree, folder, True)
        import_natively(archive, measurements, folder)

    def test_the_history_window_shows_the_whole_site(self):
        self.import_natively(ARCHIVE, MEASUREMENTS[:2])  # this PC's
        other = ARCHIVE + ".other-pc"
        self.addCleanup(os.remove, other)
        self.import_natively(other, MEASUREMENTS[2:5])  # another PC's, on the site already
        subprocess.run([os.path.join(NATIVE, "cli", "ombrix"), "--archive", other, "--site-file",
                        site_file(), "sync"], check=True, capture_output=True)
        self.start()
        self.app.cmd("open-history")
        wait_until(lambda: self.app.cmd("history") != "none", what="the history window")
        self.settle()
        table = lambda: self.rows("LIST_HISTORY", range(1, 11))
        self.assertEqual(table(), numbered(MEASUREMENTS[:2]))
        wait_until(lambda: self.text("HISTORY_SITE_STATE").startswith("사이트 보관: 모두 보냄 ("),
                   60, "this PC's rows pushed")

        # Every PC's rows: ID2 shows its first digit only, unless "고유번호 전체 표시" is ticked.
        self.app.cmd(f"choose {IDC['HISTORY_SOURCE']} 1")  # 사이트 전체
        wait_until(lambda: table() == id2_masked(numbered(MEASUREMENTS[:5])), 60, "the site's rows")
        self.assertFalse(self.enabled("HISTORY_IMPORT"))
        self.display.screenshot("history-site")
        self.app.cmd(f"toggle {IDC['HISTORY_SHOW_IDS']}")
        wait_until(lambda: table() == numbered(MEASUREMENTS[:5]), 30, "the full numbers")

        # The site's 오염 row takes an action here, which the window pushes to the site.
        action = IDC["LIST_HISTORY"]
        self.app.cmd(f"right-click {action}")
        self.app.cmd("menu-pick 1")  # 조치 기록...
        wait_until(lambda: self.dialog_line() != "", what="the dialog")
        self.app.cmd(f"set-text {IDC['ACTION_TEXT']} 사이트에서 본 결과 재세척")
        self.app.cmd(f"click {IDOK}")
        wait_until(lambda: self.app.cmd(f"cell {action} 0 11")[1:] == "사이트에서 본 결과 재세척",
                   what="the action in the table")
        wait_until(lambda: psql("SELECT count(*) FROM ombrix_actions "
                                "WHERE action_text = '사이트에서 본 결과 재세척'").strip() == "1",
                   60, "the action on the site")

        # Another period, queried on the server while it is away: the site's words, the password
        # not among them, and this PC's rows again.
        server("halt")
        first = (datetime.date.today() - datetime.timedelta(days=90)).isoformat()
        self.app.cmd(f"set-date {IDC['HISTORY_FROM']} {first}")
        box = self.box(60000)
        self.assertTrue(box["text"].startswith("사이트 보관 데이터베이스 "), box["text"])
        self.assertNotIn(server_state()["OMBRIX_TEST_SITE"].split("Pwd=")[1], box["text"])
        self.answer()
        self.settle()
        self.assertEqual(self.text("HISTORY_SOURCE"), "이 PC")
        self.assertEqual(table(), numbered(MEASUREMENTS[:2]))
        self.assertTrue(self.enabled("HISTORY_IMPORT"))


if __name__ == "__main__":
    unittest.main()

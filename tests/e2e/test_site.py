"""The site archive in the window under Wine: with OMBRIX_SITE set, a read is pushed to the
site tests' PostgreSQL server (through Wine's odbc32 and the host's unixODBC) behind the
operator's back; with the server away the rows wait, the status bar area says so and no box
appears; the next read pushes them. Needs the server of CTest's fixture site.ServerStart."""
import os
import subprocess
import unittest

from harness import NATIVE, ROOT, BenchCase, archive_path, wait_until

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


if __name__ == "__main__":
    unittest.main()

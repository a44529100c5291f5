#!/usr/bin/env python3
"""The IT page's SQL for one engine, run as IT would run it: the blocks of docs/guide/it.html
marked <pre class="sql" data-engine="..."> are taken from the page itself and run against the
site tests' server (tests/site/pg_server.sh or maria_server.sh): the database as the server's
administrator, then its tables and logins in that database. Then the program pushes to what the
page made, as the PCs' login the page creates, and the read-only login the page creates reads the
rows with the page's verification query and may not write.

    it_page_sql.py postgresql|mariadb STATE OMBRIX
"""
import html
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
PAGE = os.path.join(ROOT, "docs", "guide", "it.html")
DATABASE = "hygiene"
# The logins the page makes, and the passwords it tells IT to change.
PC_LOGIN, PC_PASSWORD = "ombrix_pc", "change-this-pc-password"
REPORT_LOGIN, REPORT_PASSWORD = "auditor", "change-this-report-password"

CSV = ("No.,시간,이름,ID1,ID2,측정기준,안전지수,위험지수,측정값,결과\n"
       "1,2026-03-07 02:00:00 오후,홍길동,101,2001,세균,100,200,250,오염\n"
       "2,2026-03-07 09:30:00 오전,김철수,102,2002,세균,100,200,50,안전\n")


def blocks(engine, step):
    """The page's SQL for `engine` at `step`, in the page's order."""
    page = open(PAGE, encoding="utf-8").read()
    found = []
    for attributes, body in re.findall(r'<pre class="sql"([^>]*)>(.*?)</pre>', page, re.S):
        engines = re.search(r'data-engine="([^"]*)"', attributes).group(1).split()
        steps = re.search(r'data-step="([^"]*)"', attributes).group(1)
        if engine in engines and steps == step:
            found.append(html.unescape(body))
    if not found:
        sys.exit(f"{PAGE} has no {engine} SQL for {step}")
    return "\n".join(found) + "\n"


def fail(what, result):
    sys.exit(f"{what} failed ({result.returncode}):\n{result.stdout}\n{result.stderr}")


class Server:
    def __init__(self, engine, state_file):
        self.engine = engine
        self.state = dict(line.strip().split("=", 1) for line in open(state_file) if "=" in line)
        self.data = self.state["OMBRIX_TEST_SITE_DATA"]
        self.port = self.state["OMBRIX_TEST_SITE_PORT"]

    def admin(self, sql, database=None, check=True):
        """`sql` as the server's administrator, over its socket."""
        if self.engine == "postgresql":
            command = ["psql", "-X", "-q", "-v", "ON_ERROR_STOP=1", "-h", self.data, "-p", self.port,
                       "-U", "ombrix", "-d", database or "postgres"]
        else:
            command = ["mariadb", "--no-defaults", f"--socket={self.data}/socket",
                       "-u", subprocess.run(["id", "-un"], capture_output=True,
                                            text=True).stdout.strip()]
            command += [database] if database else []
        result = subprocess.run(command, input=sql, capture_output=True, text=True)
        if check and result.returncode != 0:
            fail(f"{self.engine} as administrator: {sql[:60]!r}", result)
        return result

    def login(self, user, password, sql):
        """`sql` as one of the page's logins, over TCP as a PC reaches the server."""
        if self.engine == "postgresql":
            command = ["psql", "-X", "-q", "-A", "-t", "-v", "ON_ERROR_STOP=1", "-h", "127.0.0.1",
                       "-p", self.port, "-U", user, "-d", DATABASE]
            env = dict(os.environ, PGPASSWORD=password)
        else:
            command = ["mariadb", "--no-defaults", "-B", "-N", "-h", "127.0.0.1", "-P", self.port,
                       "-u", user, f"-p{password}", DATABASE]
            env = dict(os.environ)
        return subprocess.run(command, input=sql, capture_output=True, text=True, env=env)

    def connection(self, user, password):
        """The test server's ODBC connection string, for the page's database and login."""
        text = self.state["OMBRIX_TEST_SITE"]
        for key, value in (("Database", DATABASE), ("Uid", user), ("Pwd", password)):
            text = re.sub(rf"{key}=[^;]*", f"{key}={value}", text)
        return text

    def clear(self):
        """Nothing left of an earlier run: the database and the logins the page makes."""
        if self.engine == "postgresql":
            self.admin(f"DROP DATABASE IF EXISTS {DATABASE};")
            self.admin(f"DROP ROLE IF EXISTS {REPORT_LOGIN}, {PC_LOGIN}, ombrix_report;")
        else:
            self.admin(f"DROP DATABASE IF EXISTS {DATABASE}; DROP USER IF EXISTS "
                       f"'{PC_LOGIN}'@'%', '{REPORT_LOGIN}'@'%'; DROP ROLE IF EXISTS ombrix_report;")


def ombrix(program, archive, *arguments, site=None):
    env = dict(os.environ)
    env.pop("OMBRIX_SITE_FILE", None)
    if site:
        env["OMBRIX_SITE"] = site
    return subprocess.run([program, "--archive", archive, *arguments], capture_output=True,
                          text=True, env=env)


def main():
    engine, state_file, program = sys.argv[1:4]
    server = Server(engine, state_file)
    server.clear()
    server.admin(blocks(engine, "database"))
    server.admin(blocks(engine, "table") + blocks(engine, "grant"), database=DATABASE)

    with tempfile.TemporaryDirectory(prefix="ombrix-it-page-") as folder:
        archive = os.path.join(folder, "archive.sqlite3")
        csv = os.path.join(folder, "old.csv")
        with open(csv, "wb") as f:
            f.write(CSV.encode("cp949"))
        for arguments in (("import", csv),
                          ("note", "--at", "2026-03-07 14:00:00", "--standard", "세균",
                           "재세척 후 재측정")):
            result = ombrix(program, archive, *arguments)
            if result.returncode != 0:
                fail(" ".join(arguments[:1]), result)
        # The PCs' login: it pushes into the tables the page made, and has made none itself.
        pushed = ombrix(program, archive, "sync",
                        site=server.connection(PC_LOGIN, PC_PASSWORD))
        if pushed.returncode != 0 or "2건을 보냈습니다" not in pushed.stdout:
            fail("ombrix sync as the PCs' login", pushed)

    # The read-only login: the page's verification query shows this PC's two rows ...
    checked = server.login(REPORT_LOGIN, REPORT_PASSWORD, blocks(engine, "check"))
    if checked.returncode != 0:
        fail("the verification query as the report login", checked)
    rows = [line.split("|" if engine == "postgresql" else "\t")
            for line in checked.stdout.splitlines() if line]
    if len(rows) != 1 or rows[0][2] != "2":
        sys.exit(f"the verification query shows {rows}, not one PC with its 2 rows")
    # ... and may not write.
    wrote = server.login(REPORT_LOGIN, REPORT_PASSWORD,
                         "DELETE FROM ombrix_measurements;")
    if wrote.returncode == 0:
        sys.exit("the report login may delete rows")
    print(f"{engine}: the IT page's SQL made the tables and logins; ombrix sync pushed 2 rows; "
          f"the report login read them and could not delete")
    server.clear()


if __name__ == "__main__":
    main()

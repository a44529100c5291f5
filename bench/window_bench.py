"""Times the real program under Wine against an instantly answering simulator: a user read,
a long record read with the program's memory, and the CSV export of that log. Each figure is the
median of RUNS runs (default 5) with their spread, printed with the commit the program was built
from; the program's memory is read from its own process through the end-to-end driver. Prints
figures; asserts nothing. Run by scripts/bench.sh:

    window_bench.py [RECORDS [LINK_MS]]

LINK_MS, the link's own mean time per exchange measured in the same run, gives the ratios.

OMBRIX_WINDOWS_BUILD picks the build whose program is timed (default build/windows)."""
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
from harness import (  # noqa: E402
    IDC, IDOK, WINDOWS, Display, Program, Simulator, archive_path, wine_env)

LOCALE = "ko_KR.UTF-8"
USERS = 250
RUNS = int(os.environ.get("RUNS", "5"))
DONE = {
    "users": "사용자 정보 가져오기를 완료하였습니다.",
    "standards": "측정 기준 정보 가져오기를 완료하였습니다.",
    "records": "측정 기록 가져오기를 완료하였습니다.",
    "no users": "Ombrix에 사용자 정보가 없습니다.",
}


def build_commit(windows=WINDOWS):
    """The commit a Windows build was made from ("-dirty": with changes not committed)."""
    try:
        with open(os.path.join(windows, "commit.txt"), encoding="ascii") as f:
            return f.read().strip()
    except OSError:
        return "unknown (the build has no commit.txt)"


def process_figures(app):
    """What the program's own process holds, by name (the driver's "process")."""
    return dict(part.split("=", 1) for part in app.cmd("process").split())


def spread(values, unit, digits=2):
    """The median of the runs with the range they spread over."""
    median = f"{statistics.median(values):.{digits}f} {unit}"
    if len(values) == 1:
        return median
    low, high = min(values), max(values)
    return f"{median} (median of {len(values)}: {low:.{digits}f} to {high:.{digits}f})"


class WineSession:
    """A display of our own and a quiet wineserver for the runs of one bench script."""

    def __init__(self):
        self.display = Display()
        os.environ["DISPLAY"] = self.display.name
        self.env = wine_env(LOCALE)
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        self.server = subprocess.Popen(["wineserver", "-p30"], env=self.env,
                                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        subprocess.run(["wineboot"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stderr=subprocess.DEVNULL)
        self.server.wait()
        self.display.close()


class Run:
    """One program against one simulator."""

    def __init__(self, sim_args):
        self.sim = Simulator(["--quiet"] + sim_args)
        self.app = Program(LOCALE)
        if self.app.cmd("wait-window 60") != "ok":
            raise RuntimeError("the program did not show its window")
        self.app.cmd(f"click {IDC['BTN_CONNECT']}")
        self.app.cmd("sync")
        if self.app.cmd(f"text {IDC['STATIC_STATUS']}") != "연결됨":
            raise RuntimeError("the program did not connect")

    def memory_mib(self, field="memory-kib"):
        """The program's working set (or its peak, "peak-kib"), in MiB."""
        return int(process_figures(self.app)[field]) / 1024

    def click_until(self, button, last_text, timeout_s):
        """Clicks and answers every box up to the one with `last_text`; the time to each box."""
        times = {}
        start = time.monotonic()
        self.app.cmd(f"click {IDC[button]}")
        while True:
            answer = self.app.cmd(f"box {int(timeout_s * 1000)}")
            if answer == "none":
                raise RuntimeError(f"no box within {timeout_s} s")
            fields = dict(part.split("=", 1) for part in answer.split("|"))
            text = fields["text"].replace("\\n", "\n")
            if not text:  # the box is up but has no text yet
                continue
            times[text] = time.monotonic() - start
            self.app.cmd(f"answer {IDOK}")
            if text == last_text:
                return times
            if text not in DONE.values():
                raise RuntimeError(f"unexpected box: {text!r}")

    def close(self):
        self.app.close()
        self.sim.close()


def seconds_to_box(users, box):
    run = Run(["--users", str(users), "--standards", "0", "--records", "0"])
    try:
        return run.click_until("BTN_USER_READ", DONE[box], 120)[DONE[box]]
    finally:
        run.close()


def user_read():
    """Per user: the difference from a read of an empty device, which costs the click, the
    count exchange and the box, leaves the exchanges and rows of the users alone."""
    full = seconds_to_box(USERS, "users")
    empty = seconds_to_box(0, "no users")
    return (full - empty) * 1000 / USERS


def record_read_and_csv(records, display, screenshot):
    for end in ("", "-wal", "-shm"):  # every record new to the archive
        if os.path.exists(archive_path() + end):
            os.remove(archive_path() + end)
    run = Run(["--users", "5", "--standards", "3", "--records", str(records)])
    try:
        before = run.memory_mib()
        times = run.click_until("BTN_RECORD_READ", DONE["records"], 3600)
        seconds = times[DONE["records"]] - times[DONE["standards"]]
        # The read is archived once its box is answered; the window is idle again after it.
        start = time.monotonic()
        if run.app.cmd("sync 600000") != "ok":
            raise RuntimeError("the program stayed busy after the read")
        archiving = time.monotonic() - start
        after, peak = run.memory_mib(), run.memory_mib("peak-kib")
        if screenshot:
            display.screenshot("long-log-other-build" if os.environ.get("OMBRIX_WINDOWS_BUILD")
                               else "long-log")
        csv = csv_export(run, records)
    finally:
        run.close()
    return seconds, archiving, before, after, peak, csv


def answers(run, command, expected):
    """True when the program answers `command` with `expected`; a program too busy to answer
    within the driver's time-out has not finished."""
    try:
        return run.app.cmd(command) == expected
    except AssertionError:
        return False


def csv_export(run, records):
    folder = tempfile.mkdtemp(prefix="ombrix-bench-")
    path = os.path.join(folder, "log.csv")
    run.app.cmd(f"click {IDC['BTN_RECORD_CSV']}")
    run.app.cmd("sync")
    start = time.monotonic()
    run.app.cmd("save-as Z:" + path.replace("/", "\\"))
    while not (os.path.exists(path) and answers(run, "sync", "ok")
               and answers(run, f"progress {IDC['PROGRESS_RECORD']}", "2500")):
        time.sleep(0.01)
    seconds = time.monotonic() - start
    with open(path, "rb") as f:
        lines = f.read().count(b"\n")
    os.remove(path)
    os.rmdir(folder)
    return seconds if lines == records + 1 else float("nan")


def main():
    records = int(sys.argv[1]) if len(sys.argv) > 1 else 10000
    link_ms = float(sys.argv[2]) if len(sys.argv) > 2 else 0.0
    commit = f"[commit {build_commit()}]"

    def ratio(values):
        return f" ({statistics.median(values) / link_ms:.2f} x the link alone)" if link_ms else ""
    session = WineSession()
    try:
        per_user = [user_read() for _ in range(RUNS)]
        print(f"users: {USERS} read, {spread(per_user, 'ms')} per exchange{ratio(per_user)} "
              f"{commit}", flush=True)
        runs = [record_read_and_csv(records, session.display, run == 0) for run in range(RUNS)]
        seconds, archiving, before, after, peak, csv = (list(figures) for figures in zip(*runs))
        per_record = [s * 1000 / (records + 1) for s in seconds]
        growth = [a - b for a, b in zip(after, before)]
        per_row = [g * 1048576 / records for g in growth]
        print(f"records: {records} read, {spread(per_record, 'ms')} per exchange"
              f"{ratio(per_record)} {commit}", flush=True)
        print(f"memory before the read: {spread(before, 'MiB', 1)} {commit}", flush=True)
        print(f"memory after: {spread(after, 'MiB', 1)}, peak {spread(peak, 'MiB', 1)} {commit}",
              flush=True)
        print(f"memory for the records: {spread(growth, 'MiB', 1)}, "
              f"{spread(per_row, 'bytes', 0)} a record {commit}", flush=True)
        print(f"archiving the read: {spread(archiving, 's')} after its box {commit}", flush=True)
        print(f"CSV export: {records} rows in {spread(csv, 's')} {commit}", flush=True)
    finally:
        session.close()


if __name__ == "__main__":
    main()

"""Times the history window of the real program under Wine on an archive of RECORDS made-up
measurements (default a million) over the year up to today: from the command to the first rows
and chart painted, filter changes on the 30 days it opens with and on the whole year, and the
program's memory. Prints figures; asserts nothing. Run by scripts/bench.sh:

    history_window_bench.py [RECORDS]

The archive is made once per day and count by the native archive_bench, in
build/history-window-bench, and copied into the prefix as the user's archive for the run: an
archive of the user's own is put aside meanwhile and back afterwards."""
import datetime
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "e2e"))
from harness import IDC, NATIVE, ROOT, Program, archive_path  # noqa: E402
from window_bench import LOCALE, WineSession, memory_mib, program_pid  # noqa: E402

FOLDER = os.path.join(ROOT, "build", "history-window-bench")


def made_archive(records, first, last):
    """The archive of `records` measurements from `first` to `last`, made when missing."""
    folder = os.path.join(FOLDER, f"{records}-{first}-{last}")
    path = os.path.join(folder, "archive.sqlite3")
    if not os.path.exists(path):
        shutil.rmtree(FOLDER, ignore_errors=True)
        subprocess.run([os.path.join(NATIVE, "archive_bench"), "import", str(records), folder,
                        first, last], check=True, stdout=subprocess.DEVNULL)
    return path


ENDS = ("", "-wal", "-shm")  # an archive's files


def install(path):
    """The archive as the user's, in the bench's prefix; the user's own is put aside."""
    target = archive_path()
    os.makedirs(os.path.dirname(target), exist_ok=True)
    for end in ENDS:
        if os.path.exists(target + end):
            os.replace(target + end, target + end + ".before-bench")
    shutil.copyfile(path, target)


def restore():
    """The user's own archive back, as it was before the bench."""
    target = archive_path()
    for end in ENDS:
        if os.path.exists(target + end):
            os.remove(target + end)
        if os.path.exists(target + end + ".before-bench"):
            os.replace(target + end + ".before-bench", target + end)


def timed(app, command):
    """A driver command's time until the program has handled it and painted: (ms, answer)."""
    answer = app.cmd(f"timed {command}")
    ms, rest = answer.split("|", 1)
    return float(ms.split("=")[1]), rest


def rows(app):
    return int(app.cmd(f"rows {IDC['LIST_HISTORY']}"))


def main():
    records = int(sys.argv[1]) if len(sys.argv) > 1 else 1000000
    today = datetime.date.today()
    first = today - datetime.timedelta(days=364)
    install(made_archive(records, first.isoformat(), today.isoformat()))
    session = WineSession()
    app = Program(LOCALE)
    try:
        if app.wait_window() != "ok":
            raise RuntimeError("the program did not show its window")
        pid = program_pid()
        app.cmd("sync")
        before = memory_mib(pid, "VmRSS")
        opened, _ = timed(app, "open-history")
        print(f"history window opens on the last 30 days: {rows(app)} rows, its first rows and "
              f"chart shown in {opened / 1000:.2f} s (budget 1 s)", flush=True)
        safe, standard = f"toggle {IDC['HISTORY_SAFE']}", f"choose {IDC['HISTORY_STANDARD']}"
        changes = [("안전 unticked", safe),
                   ("one standard", f"{standard} 1"),
                   ("every standard", f"{standard} 0"),
                   ("안전 ticked again", safe),
                   ("the whole year typed into the first day's picker (three fields, a query "
                    "each; the first reads the archive anew)",
                    f"set-date {IDC['HISTORY_FROM']} {first.isoformat()}"),
                   ("the whole year, 안전 unticked", safe),
                   ("the whole year, one standard", f"{standard} 1")]
        for what, command in changes:
            ms, _ = timed(app, command)
            print(f"filter change, {what}: {rows(app)} rows in {ms / 1000:.2f} s (budget 0.3 s)",
                  flush=True)
        after, peak = memory_mib(pid, "VmRSS"), memory_mib(pid, "VmHWM")
        print(f"the program's memory: {before:.1f} MiB before the window, {after:.1f} MiB after "
              f"(+{after - before:.1f} MiB, budget 60 MiB), peak {peak:.1f} MiB "
              f"(+{peak - before:.1f} MiB)", flush=True)
        app.cmd("history-close")
    finally:
        app.close()
        session.close()
        restore()


if __name__ == "__main__":
    main()

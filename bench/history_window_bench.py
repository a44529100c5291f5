"""Times the history window of the real program under Wine on an archive of RECORDS made-up
measurements (default a million) over the year up to today: from the command to the first rows
and chart painted, filter changes on the 30 days it opens with and on the whole year, and the
program's memory (read from its own process through the end-to-end driver). Each figure is the
median of RUNS runs (default 5) with their spread, printed with the commit the program was built
from. Prints figures; asserts nothing. Run by scripts/bench.sh:

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
from window_bench import (LOCALE, RUNS, WineSession, build_commit,  # noqa: E402
                          process_figures, spread)

FOLDER = os.path.join(ROOT, "build", "history-window-bench")
ENDS = ("", "-wal", "-shm")  # an archive's files


def made_archive(records, first, last):
    """The archive of `records` measurements from `first` to `last`, made when missing."""
    folder = os.path.join(FOLDER, f"{records}-{first}-{last}")
    path = os.path.join(folder, "archive.sqlite3")
    if not os.path.exists(path):
        shutil.rmtree(FOLDER, ignore_errors=True)
        subprocess.run([os.path.join(NATIVE, "archive_bench"), "import", str(records), folder,
                        first, last], check=True, stdout=subprocess.DEVNULL)
    return path


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
    """A driver command's time until the program has handled it and painted, in seconds."""
    ms = app.cmd(f"timed {command}").split("|", 1)[0]
    return float(ms.split("=")[1]) / 1000


def rows(app):
    return int(app.cmd(f"rows {IDC['LIST_HISTORY']}"))


def memory_mib(app, field="memory-kib"):
    return int(process_figures(app)[field]) / 1024


def changes(first_day):
    """The filter changes timed, in order: (what, driver command)."""
    safe, standard = f"toggle {IDC['HISTORY_SAFE']}", f"choose {IDC['HISTORY_STANDARD']}"
    return [("안전 unticked", safe),
            ("one standard", f"{standard} 1"),
            ("every standard", f"{standard} 0"),
            ("안전 ticked again", safe),
            ("the whole year typed into the first day's picker (three fields, a query each; "
             "the first reads the archive anew)", f"set-date {IDC['HISTORY_FROM']} {first_day}"),
            ("the whole year, 안전 unticked", safe),
            ("the whole year, one standard", f"{standard} 1")]


def one_run(first_day):
    """A program started afresh, its history window opened and its filters changed: the times,
    the rows each showed and the memory."""
    app = Program(LOCALE)
    try:
        if app.wait_window() != "ok":
            raise RuntimeError("the program did not show its window")
        app.cmd("sync")
        figures = {"before": memory_mib(app), "open": timed(app, "open-history"),
                   "open rows": rows(app)}
        for what, command in changes(first_day):
            figures[what] = timed(app, command)
            figures[what + " rows"] = rows(app)
        figures["after"], figures["peak"] = memory_mib(app), memory_mib(app, "peak-kib")
        app.cmd("history-close")
        return figures
    finally:
        app.close()


def main():
    records = int(sys.argv[1]) if len(sys.argv) > 1 else 1000000
    today = datetime.date.today()
    first = (today - datetime.timedelta(days=364)).isoformat()
    commit = f"[commit {build_commit()}]"
    install(made_archive(records, first, today.isoformat()))
    session = WineSession()
    try:
        runs = [one_run(first) for _ in range(RUNS)]
        seen = {name: [run[name] for run in runs] for name in runs[0]}
        print(f"history window opens on the last 30 days: {runs[0]['open rows']} rows, its first "
              f"rows and chart shown in {spread(seen['open'], 's')} (budget 1 s) {commit}",
              flush=True)
        for what, _ in changes(first):
            print(f"filter change, {what}: {runs[0][what + ' rows']} rows in "
                  f"{spread(seen[what], 's')} (budget 0.3 s) {commit}", flush=True)
        growth = [a - b for a, b in zip(seen["after"], seen["before"])]
        peak = [p - b for p, b in zip(seen["peak"], seen["before"])]
        print(f"the program's memory: {spread(seen['before'], 'MiB', 1)} before the window, "
              f"+{spread(growth, 'MiB', 1)} with the whole year shown (budget 60 MiB), peak "
              f"+{spread(peak, 'MiB', 1)} {commit}", flush=True)
    finally:
        session.close()
        restore()


if __name__ == "__main__":
    main()

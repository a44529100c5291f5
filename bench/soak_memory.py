"""The program's memory over rounds of the same long read under Wine: 400 records (with the
user and standard reads before them) read into emptied lists, then every list emptied again,
round after round. Prints the memory (VmRSS) after each round, and the GDI and user objects
the program holds (GetGuiResources: Wine 8 answers 0). Prints figures; asserts nothing. Run by scripts/soak.sh:

    soak_memory.py [ROUNDS [RECORDS]]"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from window_bench import DONE, Run, WineSession, memory_mib  # noqa: E402
from harness import IDC, IDYES  # noqa: E402


def empty_lists(run):
    for panel in ("USER", "STANDARD"):
        run.app.cmd(f"click {IDC[f'BTN_{panel}_SELECT_ALL']}")
        run.app.cmd(f"click {IDC[f'BTN_{panel}_DELETE']}")
    run.app.cmd(f"click {IDC['BTN_RECORD_DELETE_ALL']}")
    run.app.cmd("box 5000")
    run.app.cmd(f"answer {IDYES}")
    run.app.cmd("sync")
    for name in ("LIST_USER", "LIST_STANDARD", "LIST_RECORD"):
        if run.app.cmd(f"rows {IDC[name]}") != "0":
            raise RuntimeError(f"{name} was not emptied")


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 10
    records = int(sys.argv[2]) if len(sys.argv) > 2 else 400
    session = WineSession()
    run = Run(["--users", "60", "--standards", "20", "--records", str(records)])
    try:
        figures = []
        for n in range(1, rounds + 1):
            run.click_until("BTN_RECORD_READ", DONE["records"], 600)
            empty_lists(run)
            time.sleep(0.5)
            figures.append(memory_mib(run.pid, "VmRSS"))
            objects = run.app.cmd("gui-objects")
            print(f"round {n}: {figures[-1]:.1f} MiB ({objects})", flush=True)
        if rounds > 2:
            trend = (figures[-1] - figures[1]) / (rounds - 2)
            print(f"from the second round on: {trend:+.3f} MiB a round on average "
                  f"({figures[-1] - figures[1]:+.2f} MiB in all; single rounds within "
                  f"{max(figures[1:]) - min(figures[1:]):.1f} MiB of each other)", flush=True)
    finally:
        run.close()
        session.close()


if __name__ == "__main__":
    main()

"""The real program under soak under Wine: ROUNDS rounds (default 500) of connect, read the users,
read the records (the user read before them is refused, as the list has rows; the standards are
read), empty the three lists and disconnect, against a simulator that gives a request a fault now
and then (FAULT_PERCENT, hang-ups included: the simulator then ends, and the next round brings the
device back with the same lists). At rounds 1, 100, 200, ... it prints what the program's own
process holds, as the end-to-end driver reads it (handles, threads, GDI and USER objects, memory);
then the CPU of the program and of the Wine server over IDLE_SECONDS while the program stays
connected, first to a working line and then to one that is gone.

Fails when the program stops answering, a round without a fault ends otherwise than with its
completion boxes and every item listed, a list under its completion box (in any round) holds
otherwise than every item of the device, or a list stays filled after it was emptied.

    wine_soak.py [ROUNDS [FAULT_PERCENT [SEED [IDLE_SECONDS]]]]"""
import os
import sys
import time

sys.path.insert(0, os.path.dirname(__file__))
from window_bench import DONE, WineSession, build_commit, process_figures  # noqa: E402
from harness import IDC, IDOK, IDYES, PREFIX, Program, Simulator  # noqa: E402

LOCALE = "ko_KR.UTF-8"
USERS, STANDARDS, RECORDS = 10, 5, 40
DEVICE = ["--users", str(USERS), "--standards", str(STANDARDS), "--records", str(RECORDS)]
USERS_NOT_EMPTY = "사용자 정보를 읽어오기 위해서는\n\n리스트를 모두 삭제하여 주세요."
CLEAN_ROUND = [DONE["users"], USERS_NOT_EMPTY, DONE["standards"], DONE["records"]]
CHECKPOINT = 100
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def wineserver_pid(prefix):
    """The Wine server of a prefix: it works in the folder named after the prefix's device and
    inode."""
    info = os.stat(prefix)
    folder = f"server-{info.st_dev:x}-{info.st_ino:x}"
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if os.path.basename(os.readlink(f"/proc/{pid}/cwd")) == folder:
                return int(pid)
        except OSError:
            continue
    raise RuntimeError(f"no Wine server runs for {prefix}")


def cpu_seconds(pid):
    """User and system CPU of a Linux process."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


class Soak:
    def __init__(self, percent, seed):
        self.percent, self.seed, self.restarts = percent, seed, 0
        self.sim = None
        self.plug()
        self.app = Program(LOCALE)
        if self.app.wait_window() != "ok":
            raise RuntimeError("the program did not show its window")
        self.rounds = {"clean": 0, "with a delay box": 0, "after a hang-up": 0}

    def plug(self, extra=()):
        """The device on COM1 again, with the lists it always had and a fault plan of its own."""
        if self.sim:
            self.sim.close()
        faults = []
        if self.percent:
            faults = ["--random-faults", f"{self.seed + self.restarts},{self.percent}"]
        self.sim = Simulator(["--quiet"] + DEVICE + faults + list(extra))
        self.restarts += 1

    def click(self, name):
        """Clicks and answers every box until the program is idle again; the boxes' texts."""
        self.app.cmd(f"click {IDC[name]}")
        texts = []
        while True:
            answer = self.app.cmd("next-box")
            if answer == "idle":
                return texts
            if answer == "busy":
                raise AssertionError(f"{name}: the program is still busy")
            box = dict(part.split("=", 1) for part in answer.split("|"))
            texts.append(box["text"].replace("\\n", "\n"))
            self.app.cmd(f"answer {IDYES if str(IDYES) in box['buttons'].split() else IDOK}")

    def set_connected(self, connected):
        want = "연결됨" if connected else "끊어짐"
        if self.app.cmd(f"text {IDC['STATIC_STATUS']}") != want:
            self.click("BTN_CONNECT")
        status = self.app.cmd(f"text {IDC['STATIC_STATUS']}")
        if status != want:
            raise AssertionError(f"the status reads {status!r}, not {want!r}")

    def rows(self, name):
        return int(self.app.cmd(f"rows {IDC[name]}"))

    def empty_lists(self):
        for panel in ("USER", "STANDARD"):
            if self.rows(f"LIST_{panel}"):
                self.click(f"BTN_{panel}_SELECT_ALL")
                self.click(f"BTN_{panel}_DELETE")
        self.click("BTN_RECORD_DELETE_ALL")
        for name in ("LIST_USER", "LIST_STANDARD", "LIST_RECORD"):
            if self.rows(name):
                raise AssertionError(f"{name} was not emptied")

    def round(self, number):
        hung_up = self.sim.proc.poll() is not None
        if hung_up:
            self.plug()
        self.set_connected(True)
        texts = self.click("BTN_USER_READ") + self.click("BTN_RECORD_READ")
        listed = [self.rows(name) for name in ("LIST_USER", "LIST_STANDARD", "LIST_RECORD")]
        # A late reply of an earlier round or read must not fill a list that then reports done.
        for done, rows, items in zip(("users", "standards", "records"), listed,
                                     (USERS, STANDARDS, RECORDS)):
            if DONE[done] in texts and rows != items:
                raise AssertionError(f"round {number}: {rows} {done} listed under their "
                                     f"completion box, not {items} (boxes {texts})")
        if texts == CLEAN_ROUND:
            if listed != [USERS, STANDARDS, RECORDS]:
                raise AssertionError(f"round {number}: {listed} rows after a clean round")
            self.rounds["clean"] += 1
        elif any("지연" in text for text in texts):
            self.rounds["with a delay box"] += 1
        else:
            raise AssertionError(f"round {number}: the boxes {texts}")
        self.rounds["after a hang-up"] += hung_up
        self.empty_lists()
        self.set_connected(False)

    def figures(self):
        return process_figures(self.app)

    def linux_pid(self):
        """The program's Linux process: the one started for it, which Wine's loader becomes."""
        pid = self.app.proc.pid
        with open(f"/proc/{pid}/cmdline", "rb") as f:
            if b"Ombrix_Tessaly.exe" not in f.read():
                raise RuntimeError(f"process {pid} is not the program")
        return pid

    def idle_cpu(self, seconds, server):
        """Percent of a core that the program and the Wine server take in `seconds`."""
        processes = [self.linux_pid(), server]
        before = [cpu_seconds(pid) for pid in processes]
        time.sleep(seconds)
        return [100 * (cpu_seconds(pid) - start) / seconds for pid, start in zip(processes, before)]

    def close(self):
        self.app.close()
        self.sim.close()


def print_figures(number, figures, started):
    mib = int(figures["memory-kib"]) / 1024
    peak = int(figures["peak-kib"]) / 1024
    print(f"round {number:4}: handles {figures['handles']:>4}, threads {figures['threads']:>2}, "
          f"GDI objects {figures['gdi']:>4}, USER objects {figures['user']:>3}, "
          f"memory {mib:5.1f} MiB (peak {peak:5.1f}), {time.monotonic() - started:6.0f} s",
          flush=True)


def main():
    rounds = int(sys.argv[1]) if len(sys.argv) > 1 else 500
    percent = int(sys.argv[2]) if len(sys.argv) > 2 else 1
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else 1
    idle = int(sys.argv[4]) if len(sys.argv) > 4 else 10
    session = WineSession()
    soak = Soak(percent, seed)
    try:
        print(f"Ombrix_Tessaly.exe at commit {build_commit()}: {rounds} rounds against "
              f"{USERS} users, {STANDARDS} standards and {RECORDS} records, "
              f"{percent}% of requests faulty (seed {seed})", flush=True)
        started = time.monotonic()
        first = None
        for number in range(1, rounds + 1):
            soak.round(number)
            if number == 1 or number % CHECKPOINT == 0 or number == rounds:
                figures = soak.figures()
                first = first or figures
                print_figures(number, figures, started)
        print(f"counted by: handles {first['handles-by']}, GDI {first['gdi-by']}, "
              f"USER {first['user-by']}", flush=True)
        print("rounds: " + ", ".join(f"{count} {kind}" for kind, count in soak.rounds.items()),
              flush=True)

        server = wineserver_pid(PREFIX)
        soak.percent = 0
        for line, extra in (("working", []), ("gone", ["--hang-up", "3"])):
            soak.plug(extra)
            soak.set_connected(True)
            texts = soak.click("BTN_USER_READ")  # with a hang-up: count, user 1, line gone
            soak.empty_lists()
            program, wine = soak.idle_cpu(idle, server)
            print(f"connected, the line {line} ({texts[-1].splitlines()[0]}), idle {idle} s: "
                  f"the program {program:.2f} % of a core, the Wine server {wine:.2f} %",
                  flush=True)
            soak.set_connected(False)
    finally:
        soak.close()
        session.close()


if __name__ == "__main__":
    main()

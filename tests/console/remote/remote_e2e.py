#!/usr/bin/env python3
"""The remote control end to end: the whole program under Wine, beside the
fake stage library and camera runtime, with the fake USB sourcemeter
registered (its readings those of a 1 MOhm resistor: uA equal to the volts
sourced) and the Arduino emulated, driven from Linux over the loopback
interface by the Python client.

    remote_e2e.py --program DIR/NerinStation.exe --wintool wintool.exe --keithley fake_keithley2450.dll

Run inside tests/harness/with-wine.sh, under tests/devices/motion/arduino_emulator.py.
One program start without --remote (nothing may listen), one with it for
every scenario below, in order (each row names what it checks), and one
whose camera fails. Exits non-zero when any check fails.
"""

import argparse
import json
import os
import re
import socket
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "..", "..", "clients", "python"))
from nerin_station import Station, StationError, read_table  # noqa: E402

EXAMPLE = os.path.join(HERE, "..", "..", "..", "clients", "python", "examples", "bias_series.py")
DATA = os.path.join(os.environ["HOME"], "Nerin Station_Data")
KEY_FILE = os.path.join(DATA, "remote.key")
SMALL_AREA = (500, 400, 550, 440)     # 4 x 3 points with the 50X objective and 1 um steps
LARGE_AREA = (100, 100, 1100, 900)    # 65 x 52 points: at 5 ms a point at least, still running when stopped
failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def eventually(condition, timeout_s=30.0):
    deadline = time.monotonic() + timeout_s
    while time.monotonic() < deadline:
        if condition():
            return True
        time.sleep(0.05)
    return condition()


def unix_path(windows_path):
    """A path the program names (on its Wine desktop) in the Linux file system."""
    relative = windows_path.split("Nerin Station_Data\\", 1)[1]
    return os.path.join(DATA, *relative.split("\\"))


# ---- the program ----

class Program:
    """The program, once its start-up is through: the lamp goes on last,
    right before the remote control starts."""

    def __init__(self, options, *args):
        self.wintool = options.wintool
        board("CLEAR")
        log = open(os.path.join(os.environ["NERIN_TEST_ROOT"], "program.log"), "ab")
        self.process = subprocess.Popen(["wine", options.program, *args], stdout=log, stderr=log)
        if (subprocess.call(["wine", self.wintool, "ready", "60000"], stdout=subprocess.DEVNULL) != 0
                or not eventually(lambda: "D\\x206\\x205\\n" in board("RECEIVED"), 60)):
            raise RuntimeError("the program did not come up")

    def info(self):
        """What the Information line says."""
        out = subprocess.run(["wine", self.wintool, "info"], capture_output=True, text=True)
        return out.stdout.strip()

    def shows(self, text):
        if eventually(lambda: self.info() == text, 20):
            return True
        print(f"     the Information line says {self.info()!r}")
        return False

    def close(self):
        subprocess.call(["wine", self.wintool, "close", "30000"])
        return self.process.wait(60)


def listening_sockets():
    """(address, port) of every TCP socket listening in a process of this Wine prefix."""
    prefix = ("WINEPREFIX=" + os.environ["WINEPREFIX"]).encode()
    inodes = set()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            if "wine" not in os.readlink(f"/proc/{pid}/exe"):
                continue
            with open(f"/proc/{pid}/environ", "rb") as f:
                if prefix not in f.read().split(b"\0"):
                    continue
            for fd in os.listdir(f"/proc/{pid}/fd"):
                target = os.readlink(f"/proc/{pid}/fd/{fd}")
                if target.startswith("socket:["):
                    inodes.add(target[8:-1])
        except OSError:
            continue
    found = []
    for table in ("/proc/net/tcp", "/proc/net/tcp6"):
        with open(table) as f:
            for line in f.readlines()[1:]:
                fields = line.split()
                if fields[3] != "0A" or fields[9] not in inodes:  # 0A: LISTEN
                    continue
                address, port = fields[1].split(":")
                if len(address) == 8:
                    address = ".".join(str(b) for b in reversed(bytes.fromhex(address)))
                found.append((address, int(port, 16)))
    return found


def board(request):
    host, port = os.environ["NERIN_ARDUINO_CONTROL"].split(":")
    with socket.create_connection((host, int(port)), timeout=10) as s:
        s.sendall(request.encode() + b"\n")
        return s.makefile().readline().strip()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def raw_client(port):
    s = socket.create_connection(("127.0.0.1", port), timeout=20)
    return s


def closed_without_a_word(s, timeout_s):
    """True when the program closes the connection having sent nothing."""
    s.settimeout(timeout_s)
    try:
        return s.recv(4096) == b""
    except ConnectionResetError:
        return True
    except OSError:
        return False


def read_line(s):
    data = b""
    while not data.endswith(b"\n"):
        chunk = s.recv(4096)
        if not chunk:
            break
        data += chunk
    return data


# ---- the scenarios ----

def bias_series(port, program):
    """Three maps at three biases: three records with the biases, tables of the meter's readings."""
    out = subprocess.run([sys.executable, EXAMPLE, *map(str, SMALL_AREA), "0.1", "0.2", "0.3",
                          "--port", str(port), "--key-file", KEY_FILE],
                         capture_output=True, text=True, timeout=120)
    print(out.stdout + out.stderr, end="")
    records = re.findall(r"^  record (.+)$", out.stdout, re.M)
    check(out.returncode == 0 and len(set(records)) == 3, "the example maps at three biases, one record each")
    for volts, record_path in zip((0.1, 0.2, 0.3), records):
        record = json.load(open(unix_path(record_path)))
        check(record["settings"]["biasVoltageV"] == volts and record["outcome"] == "completed",
              f"the record of the {volts} V map carries its bias")
        table = read_table(unix_path(record_path[:-5]))
        grid = record["scan"]
        check(len(table) == grid["heightPoints"] and all(len(r) == grid["widthPoints"] for r in table)
              and all(abs(v - volts) < 1e-6 for row in table for v in row),
              f"the {volts} V table holds the meter's readings at {volts} V")


def refused_requests(port, program):
    """Malformed requests get their error, and the connection goes on."""
    station = Station(port=port, key_file=KEY_FILE)
    rows = [
        (b"not json\n", "not JSON"),
        (b'{"id": 5, "cmd": "fly"}\n', 'unknown command "fly"'),
        (b'{"id": 6, "cmd": "move", "x": "100"}\n', '"x" must be a number'),
        (b'{"id": 7, "cmd": "move", "x": 20000}\n', "from -15000 to 15000"),
        (b'{"id": 8, "cmd": "set_bias", "volts": 1e400}\n', "not JSON"),
        (b'{"id": 9, "cmd": "laser", "level": 9}\n', '"level" must be a number from 0.1 to 5'),
        (b'{"id": 10, "cmd": "set_area", "left": 1, "top": 1, "right": 5, "bottom": 5}\n', "this is a click"),
        (b'{"id": 11, "cmd": "objective", "magnification": 40}\n', "must be 5, 10, 20, 50 or 100"),
        (b"\xff\xfe\x00garbage\n", "not JSON"),
    ]
    for line, error in rows:
        station._socket.sendall(line)
        answer = station._receive(10)
        check(answer.get("ok") is False and error in answer.get("error", ""), f"{line[:40]!r} -> {error}")
    check(station.status()["ok"], "the connection answers after them")
    station.close()


def time_evolution(port, program):
    """A run through its window's fields: the file it wrote and its record are told."""
    with Station(port=port, key_file=KEY_FILE) as station:
        end = station.time_evolution(on=1, off=0, repeat=1)
        last = station.last_files()
    check(end["outcome"] == "completed" and end["kind"] == "time_evolution"
          and end["record"].endswith(".txt.json") and "TimeEvo(" in end["record"]
          and os.path.exists(unix_path(end["record"])), "a time evolution leaves its file and record")
    check(last["record"] == end["record"], "last_files names the same record")


def iv_points(port, program):
    """I-V curves at a list of points, each file holding the meter's readings."""
    with Station(port=port, key_file=KEY_FILE) as station:
        for x, y in [(20, 0), (20, 15)]:
            station.move(x=x, y=y)
            end = station.iv_sweep(range=0.2)
            lines = open(unix_path(end["record"][:-5])).read().splitlines()
            points = [tuple(map(float, line.split(","))) for line in lines[1:]]
            record = json.load(open(unix_path(end["record"])))
            check(end["outcome"] == "completed" and lines[0] == "V(V), I(uA)" and len(points) == 200
                  and max(abs(v) for v, _ in points) == 0.2 and all(abs(i - v) < 1e-5 for v, i in points)
                  and record["settings"]["ivRangeV"] == 0.2
                  and (record["stageAtStartUm"]["x"], record["stageAtStartUm"]["y"]) == (x, y),
                  f"the I-V curve at ({x}, {y}) um holds the meter's readings, its record where it was taken")


def during_a_run(port, program):
    """A long scan: refusals, the other clients, a stop from a client."""
    station = Station(port=port, key_file=KEY_FILE)
    grid = station.set_area(*LARGE_AREA)
    check(program.info() == "Remote: set_area left=100 top=100 right=1100 bottom=900: Area: 64.1 um x 51.3 um",
          "the area taken is shown with its size instead of the drag's question")
    before = station.status()["position"]
    station.start_scan(wait=False)
    check(station.status()["run"]["kind"] == "map_scan", "status answers during the run")
    for cmd, fields in [("move", {"dx": 5}), ("set_bias", {"volts": 1}), ("start_scan", {}),
                        ("set_area", dict(zip(("left", "top", "right", "bottom"), SMALL_AREA))),
                        ("laser", {"on": True}), ("read_current", {})]:
        try:
            station.request(cmd, **fields)
            check(False, f"{cmd} during the run is refused")
        except StationError as e:
            check(str(e) == "a run is under way", f"{cmd} during the run is refused ({e})")
    # The client goes away in the middle of the run.
    station.close()
    silent = raw_client(port)
    busy = raw_client(port)
    check(read_line(busy) == b'{"ok":false,"error":"busy"}\n', "a second client is told busy")
    check(closed_without_a_word(silent, 15), "a client that says nothing is closed")
    wrong = raw_client(port)
    wrong.sendall(b'{"key": "' + b"0" * 32 + b'"}\n')
    check(closed_without_a_word(wrong, 10), "a wrong key is closed without a word")
    long_line = Station(port=port, key_file=KEY_FILE)
    long_line._socket.sendall(b"x" * 70000)
    answer = long_line._receive(10)
    check("longer than 65536 bytes" in answer.get("error", ""), "an oversized line is refused")
    check(closed_without_a_word(long_line._socket, 10), "and its connection closed")
    with Station(port=port, key_file=KEY_FILE) as again:
        run = again.status()["run"]
        check(run is not None and run["kind"] == "map_scan", "the run went on through all of it")
        check(again.laser(on=False)["on"] is False, "the laser's Off is never refused, in a run too")
        again.stop()
        end = again.wait_for_run(120)
        check(end["outcome"] == "stopped by the operator" and end["kind"] == "map_scan",
              "a stop from the client ends the scan as the operator's Yes")
        check(any(e["event"] == "run_ended" for e in again.events), "the run's end is pushed as an event")
        table = read_table(unix_path(end["record"][:-5]))
        check(len(table) == grid["rows"] and all(len(r) == grid["columns"] for r in table) and table[0][0] > 0
              and table[-1][-1] == 0, "the stopped map is saved whole, the rest zeros")
        after = again.status()["position"]
        check(all(abs(after[a] - before[a]) < 0.01 for a in "xyz"), "and the stage is back where the scan began")


def unaffected(port, program):
    """The program takes requests as before, and the console shows them."""
    with Station(port=port, key_file=KEY_FILE) as station:
        check(program.shows("Remote control: a script is connected"), "the console shows a script is connected")
        x = station.status()["position"]["x"]
        check(abs(station.move(dx=10)["position"]["x"] - (x + 10)) < 0.01, "a move after all of it is carried out")
        check(program.shows("Remote: move dx=10"), "and shown in the Information line")
    check(program.shows("Remote control: the script has disconnected"), "the console shows the script went")


SCENARIOS = [bias_series, refused_requests, time_evolution, iv_points, during_a_run, unaffected]


def device_fault(options):
    """A device that fails in a run (the camera refuses its set-up): the
    script is told at once, while the console tells the operator."""
    del os.environ["FAKE_PYLON_CAMERA"]
    port = free_port()
    program = Program(options, f"--remote={port}")
    with Station(port=port, key_file=KEY_FILE) as station:
        station.set_area(*SMALL_AREA)
        # Told before the operator has answered the message.
        end = station.start_scan(timeout_s=60)
        check(end["outcome"] == "failed" and end["faults"][0].startswith("Camera Error: "),
              f"the run that met a failure ends \"failed\", naming it ({end['faults']})")
        try:
            station.set_bias(0.1)
            check(False, "nothing is done while the operator's message is open")
        except StationError as e:
            check(str(e) == "a dialog or message is open on the console",
                  f"nothing is done while the operator's message is open ({e})")
        subprocess.call(["wine", options.wintool, "ready", "10000"], stdout=subprocess.DEVNULL)
        check(station.set_bias(0.1)["volts"] == 0.1, "and the console takes commands again once it is answered")
    check(program.close() == 0, "the program ends normally")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--wintool", required=True)
    parser.add_argument("--keithley", required=True)
    options = parser.parse_args()
    os.makedirs(DATA, exist_ok=True)
    with open(os.path.join(DATA, "Config.txt"), "w") as f:
        f.write("step:1, scan_speed:500, laser shift:(616,514), Ammeter:4, GPIB:18, Standa:0, arduino:%s\n"
                % os.environ["NERIN_ARDUINO_COM"])
    # The sourcemeter driver's class, as its installer registers it.
    registration = os.path.join(os.environ["NERIN_TEST_ROOT"], "keithley.reg")
    with open(registration, "w") as f:
        f.write("REGEDIT4\n\n[HKEY_CLASSES_ROOT\\CLSID\\{7DF737AA-A0C5-4A81-B6A8-D38A6EE52DF8}\\InprocServer32]\n"
                '@="Z:%s"\n"ThreadingModel"="Apartment"\n' % options.keithley.replace("/", "\\\\"))
    subprocess.check_call(["wine", "reg", "import", registration], stderr=subprocess.DEVNULL)
    os.environ.update(FAKE_XIMC_DEVICES="3", FAKE_USB_RESISTANCE_OHMS="1000000", FAKE_PYLON_CAMERA="1")

    program = Program(options)
    listening = listening_sockets()
    check(listening == [], f"without --remote nothing listens {listening}")
    check(program.close() == 0, "and the program ends normally")

    port = free_port()
    program = Program(options, f"--remote={port}")
    eventually(lambda: listening_sockets() == [("127.0.0.1", port)])
    listening = listening_sockets()
    check(listening == [("127.0.0.1", port)], f"with --remote={port} one socket listens, on 127.0.0.1 {listening}")
    check(program.shows(f"Remote control on 127.0.0.1:{port}"), "and the Information line says so")
    for scenario in SCENARIOS:
        print(f"-- {scenario.__name__}: {scenario.__doc__}", flush=True)
        try:
            scenario(port, program)
        except (StationError, OSError, KeyError, ValueError, TypeError) as e:
            check(False, f"{scenario.__name__} ran through ({e!r})")
    station = Station(port=port, key_file=KEY_FILE)
    check(program.close() == 0, "closing the program with a client connected ends it normally")
    check(closed_without_a_word(station._socket, 10), "and closes the connection")
    state = board("STATE")
    check(re.search(r"analog=.*\b5:0\b", state) and re.search(r"\b6:0\b", state), f"laser and lamp dark ({state})")
    device_fault(options)
    print(f"{len(failures)} check(s) failed" if failures else "all checks passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

"""Nerin Station's remote control from Python (standard library only).

Start Nerin Station with --remote (or --remote=PORT); it listens on
127.0.0.1 and writes a fresh key to remote.key in its data folder.

    from nerin_station import Station, read_table

    with Station() as station:
        station.set_area(500, 400, 560, 450)    # as a drag on the camera picture
        station.set_bias(0.5)
        end = station.start_scan()               # returns when the map is saved
        rows = read_table(end["files"][1])       # Nerin.txt: rows of floats, uA

Every method sends one request and returns the program's answer as a dict;
a request the program refuses raises StationError with the program's own
text. The methods that start a run (start_scan, focus, wide_view, iv_sweep,
time_evolution) wait for its end unless given wait=False, and then return
what it left: "outcome", "folder", "record" (its .json record) and "files".
"""

import json
import os
import socket
import sys

DEFAULT_PORT = 50321


class StationError(Exception):
    """A request the program refused, or a connection it closed."""


def default_key_file():
    """remote.key in "Nerin Station_Data" on the user's desktop."""
    desktop = None
    if sys.platform == "win32":
        import ctypes

        buffer = ctypes.create_unicode_buffer(260)
        # CSIDL_DESKTOP, as the program finds its data folder
        if ctypes.windll.shell32.SHGetSpecialFolderPathW(None, buffer, 0, False):
            desktop = buffer.value
    if desktop is None:
        desktop = os.path.join(os.path.expanduser("~"), "Desktop")
    return os.path.join(desktop, "Nerin Station_Data", "remote.key")


def read_table(path):
    """A map table (Nerin.txt, ConfocalR.txt, ...) as a list of rows of floats.

    Each line of the file is one map row, every value followed by a comma.
    """
    rows = []
    with open(path, encoding="ascii") as table:
        for line in table:
            fields = line.strip().split(",")
            while fields and fields[-1] == "":
                fields.pop()
            if fields:
                rows.append([float(value) for value in fields])
    return rows


class Station:
    """A connection to the running Nerin Station."""

    def __init__(self, port=DEFAULT_PORT, key=None, key_file=None, host="127.0.0.1", timeout=30.0):
        if key is None:
            with open(key_file or default_key_file(), encoding="ascii") as f:
                key = f.read().strip()
        self.timeout = timeout
        self.events = []  # event lines the program sent, such as "run_ended"
        self._last_id = 0
        self._socket = socket.create_connection((host, port), timeout=timeout)
        self._lines = self._socket.makefile("rb")
        self._send({"key": key})
        answer = self._receive(timeout)
        if answer.get("ok") is not True:
            self.close()
            raise StationError(answer.get("error", "refused"))

    def close(self):
        self._lines.close()
        self._socket.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _send(self, message):
        self._socket.sendall(json.dumps(message).encode("utf-8") + b"\n")

    def _receive(self, timeout):
        self._socket.settimeout(timeout)
        line = self._lines.readline()
        if not line:
            raise StationError("the program closed the connection")
        return json.loads(line)

    def request(self, cmd, timeout=None, **fields):
        """Sends {"id": n, "cmd": cmd, ...fields} and returns the answer."""
        self._last_id += 1
        sent = self._last_id
        self._send(dict(id=sent, cmd=cmd, **fields))
        while True:
            answer = self._receive(timeout or self.timeout)
            if "event" in answer:
                self.events.append(answer)
            elif answer.get("id") in (sent, None):
                break
        if answer.get("ok") is not True:
            raise StationError(answer.get("error", "refused"))
        return answer

    # ---- what an operator does ----

    def status(self):
        return self.request("status")

    def move(self, x=None, y=None, z=None, dx=None, dy=None, dz=None):
        """Absolute x, y, z or relative dx, dy, dz, in um."""
        axes = dict(x=x, y=y, z=z, dx=dx, dy=dy, dz=dz)
        return self.request("move", timeout=max(self.timeout, 120.0),
                            **{k: v for k, v in axes.items() if v is not None})

    def laser(self, on=None, level=None):
        return self.request("laser", **_given(on=on, level=level))

    def lamp(self, on):
        return self.request("lamp", on=on)

    def set_bias(self, volts):
        return self.request("set_bias", volts=volts)

    def set_limit(self, amperes):
        return self.request("set_limit", amperes=amperes)

    def set_step(self, um):
        return self.request("set_step", um=um)

    def read_current(self):
        """The current in uA."""
        return self.request("read_current")["current"]

    def set_area(self, left, top, right, bottom):
        """As a drag from (left, top) to (right, bottom) on the 1232 x 1028 picture."""
        return self.request("set_area", left=left, top=top, right=right, bottom=bottom)

    def objective(self, magnification):
        return self.request("objective", magnification=magnification, timeout=max(self.timeout, 120.0))

    def stop(self):
        """A confirmed stop of the run under way: it saves what it has."""
        return self.request("stop")

    def wait(self, timeout_s):
        """Returns when the run under way ends ("running" false) or after timeout_s."""
        return self.request("wait", timeout=timeout_s + self.timeout, timeout_s=timeout_s)

    def last_files(self):
        return self.request("last_files")

    # ---- runs ----

    def start_scan(self, wait=True, timeout_s=None):
        return self._run("start_scan", wait, timeout_s)

    def focus(self, wait=True, timeout_s=None):
        return self._run("focus", wait, timeout_s)

    def wide_view(self, wait=True, timeout_s=None):
        return self._run("wide_view", wait, timeout_s)

    def iv_sweep(self, range=None, wait=True, timeout_s=None):  # pylint: disable=redefined-builtin
        """range: the sweep's amplitude, +/- V; the window's own when not given."""
        return self._run("iv_sweep", wait, timeout_s, **_given(range=range))

    def time_evolution(self, on=None, off=None, repeat=None, wait=True, timeout_s=None):
        """on, off: whole seconds; repeat: cycles. The window's own when not given."""
        return self._run("time_evolution", wait, timeout_s, **_given(on=on, off=off, repeat=repeat))

    def wait_for_run(self, timeout_s=None):
        """Waits for the run under way (without limit when timeout_s is None);
        returns what it left, or the "running" answer at the time-out."""
        while True:
            chunk = 60.0 if timeout_s is None else min(60.0, timeout_s)
            answer = self.wait(chunk)
            if not answer["running"]:
                return answer
            if timeout_s is not None:
                timeout_s -= chunk
                if timeout_s <= 0:
                    return answer

    def _run(self, cmd, wait, timeout_s, **fields):
        started = self.request(cmd, **fields)
        return self.wait_for_run(timeout_s) if wait else started


def _given(**fields):
    return {k: v for k, v in fields.items() if v is not None}

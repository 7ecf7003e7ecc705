#!/usr/bin/env python3
"""The Arduino board of the microscope, on a pseudo-terminal, for the Windows tests.

    arduino_emulator.py [--com N] [--eol crlf|lf] [--verbose] -- command [args...]

Opens a pseudo-terminal, links $WINEPREFIX/dosdevices/comN to its slave side
(so that a Wine program opens it as "\\\\.\\COMN"), runs the command, and
removes the link again; the exit code is the command's. The command finds
    NERIN_ARDUINO_COM      the port number N
    NERIN_ARDUINO_CONTROL  host:port of the control socket (see below)
in its environment.

The firmware side: every command line (ending in a line feed) is recorded
byte for byte. Position queries "p", "P", "Q", "q" (axes 0..3) are answered
with the step count "%d" and the line end. A move "m%d", "M%d", "L%d", "o%d"
runs at the speed last set ("s", "S", "T", "O"; steps per second, 6400 at
start): every 20 ms one line, first the positions on the way, then the axis
letter "X", "Y", "Z" or "O". "z", "Z", "Y", "y" zero an axis; "a", "A", "b",
"u" (accelerations), "G pin level" and "D pin value" are remembered. Nothing
else is answered.

The control socket takes one request per line and answers one line, "OK ..."
or "ERR ...". Byte strings in requests and answers are escaped: \\n, \\r, \\\\,
\\xNN for anything that is not printable or is a blank.
    RESET                  all state back to the start; unsent replies dropped,
                           bytes not yet read by the program discarded; a pulled
                           cable is plugged in again (a new pseudo-terminal
                           behind the same COM port: the program must reopen it)
    CLEAR                  forget the bytes received so far
    RECEIVED               OK <the bytes received so far, escaped>
    POSITION axis steps    the motor's present position
    NEXTMOVE axis [stream=0|1] [final=0|1] [stop=<steps>|hold] [end=<escaped>]
                           how the next move of the axis goes: stream=0 sends no
                           positions on the way; final=1 also sends the last
                           position before the end text; stop ends the move
                           early at a step count (a limit switch) or where it is
                           (hold: the motor does not move); end replaces the
                           axis letter ("end=OL" a limit, "end=" nothing at all)
    REPLY <escaped>        the next position query is answered with exactly
                           these bytes instead
    SEND <escaped>         write these bytes to the program now
    LINE                   OK baud=<n> bits=<n> parity=N|E|O stop=<n>: the line
                           settings of the port as the program left them
    LINE baud bits parity stop
                           sets them, as another program might have left the port
    USERS                  OK <how many other processes have the port open>
    STATE                  OK pos=p0,p1,p2,p3 speed=... accel=... analog=pin:level,...
                           digital=pin:value,...
    UNPLUG [at=<escaped>] [count=n]
                           the cable is pulled: the board closes its side of the
                           pseudo-terminal, so the program's reads and writes
                           fail; at once, or when the n-th (default 1) command
                           line beginning with these bytes arrives (that command
                           is not carried out)
"""

import argparse
import os
import select
import socket
import subprocess
import sys
import termios
import threading
import time
import tty

AXIS_COUNT = 4
QUERY = "pPQq"
MOVE = "mMLo"
SPEED = "sSTO"
ACCELERATION = "aAbu"
ZERO = "zZYy"
ARRIVAL = "XYZO"
TICK_S = 0.02
DEFAULT_SPEED = 6400


def escape(data: bytes) -> str:
    out = []
    for b in data:
        if b == 0x5C:
            out.append("\\\\")
        elif b == 0x0A:
            out.append("\\n")
        elif b == 0x0D:
            out.append("\\r")
        elif 0x21 <= b <= 0x7E:
            out.append(chr(b))
        else:
            out.append("\\x%02x" % b)
    return "".join(out)


def unescape(text: str) -> bytes:
    out = bytearray()
    i = 0
    while i < len(text):
        c = text[i]
        if c != "\\" or i + 1 >= len(text):
            out += c.encode("latin-1")
            i += 1
            continue
        n = text[i + 1]
        if n == "n":
            out.append(0x0A)
            i += 2
        elif n == "r":
            out.append(0x0D)
            i += 2
        elif n == "x" and i + 4 <= len(text):
            out.append(int(text[i + 2:i + 4], 16))
            i += 4
        else:
            out += n.encode("latin-1")
            i += 2
    return bytes(out)


class Move:
    """One move in progress: the lines still to send, one per tick."""

    def __init__(self, axis, start, target, speed, script, eol):
        self.axis = axis
        self.position = start
        self.events = []  # (position after the event, bytes to send or None)
        stop = target
        if script.get("stop") == "hold":
            stop = start
        elif "stop" in script:
            stop = int(script["stop"])
        step = max(1, int(abs(speed) * TICK_S))
        if script.get("stream", "1") != "0":
            p = start
            while abs(stop - p) > step:
                p += step if stop > p else -step
                self.events.append((p, b"%d" % p + eol))
        if script.get("final", "0") == "1":
            self.events.append((stop, b"%d" % stop + eol))
        end = unescape(script["end"]) if "end" in script else ARRIVAL[axis].encode()
        self.events.append((stop, end + eol if end else None))
        self.next_time = time.monotonic() + TICK_S


class Board:
    def __init__(self, link, eol, verbose):
        self.link = link
        self.master = self.slave = None
        self.eol = eol
        self.verbose = verbose
        self.lock = threading.Lock()
        self.plug()
        self.reset()

    def plug(self):
        """A new pseudo-terminal behind the COM port's link."""
        self.master, self.slave = os.openpty()
        tty.setraw(self.master)
        tty.setraw(self.slave)
        # The board keeps the slave side open as well, so the master never sees
        # a hang-up between the program's close and its next open.
        if os.path.lexists(self.link):
            os.remove(self.link)
        os.symlink(os.ttyname(self.slave), self.link)
        self.unplug_at = None

    def unplug(self):
        """The cable pulled: the program's side hangs up."""
        self.log("cable pulled")
        self.moves = {}
        for fd in (self.master, self.slave):
            if fd is not None:
                os.close(fd)
        self.master = self.slave = None

    def close(self):
        self.unplug()
        if os.path.islink(self.link):
            os.remove(self.link)

    def reset(self):
        if self.master is None:
            self.plug()
        self.received = bytearray()
        self.line = bytearray()
        self.positions = [0] * AXIS_COUNT
        self.speeds = [DEFAULT_SPEED] * AXIS_COUNT
        self.accelerations = [0] * AXIS_COUNT
        self.analog = {}
        self.digital = {}
        self.scripts = [[] for _ in range(AXIS_COUNT)]
        self.query_replies = []
        self.moves = {}
        self.unplug_at = None  # [prefix, count] of an armed UNPLUG

    def log(self, text):
        if self.verbose:
            sys.stderr.write("[arduino] %s\n" % text)
            sys.stderr.flush()

    def write(self, data):
        self.log("-> %s" % escape(data))
        if self.master is not None:
            os.write(self.master, data)

    # Firmware side ---------------------------------------------------------

    def feed(self, data):
        for b in data:
            if self.master is None:
                return  # the cable was pulled: the rest never arrives
            self.received.append(b)
            if b == 0x0A:
                text = bytes(self.line).decode("latin-1").rstrip("\r")
                self.line.clear()
                if self.unplugs_at(text):
                    self.unplug()
                else:
                    self.command(text)
            else:
                self.line.append(b)

    def unplugs_at(self, text):
        if self.unplug_at is None or not text.encode("latin-1").startswith(self.unplug_at[0]):
            return False
        self.unplug_at[1] -= 1
        return self.unplug_at[1] <= 0

    def command(self, text):
        self.log("<- %s" % text)
        if not text:
            return
        letter, argument = text[0], text[1:]
        if len(text) == 1 and letter in QUERY:
            axis = QUERY.index(letter)
            if self.query_replies:
                self.write(self.query_replies.pop(0))
            else:
                self.write(b"%d" % self.positions[axis] + self.eol)
        elif len(text) == 1 and letter in ZERO:
            axis = ZERO.index(letter)
            self.moves.pop(axis, None)
            self.positions[axis] = 0
        elif letter in MOVE and number(argument) is not None:
            axis = MOVE.index(letter)
            script = self.scripts[axis].pop(0) if self.scripts[axis] else {}
            self.moves[axis] = Move(axis, self.positions[axis], number(argument),
                                    self.speeds[axis], script, self.eol)
        elif letter in SPEED and number(argument) is not None:
            self.speeds[SPEED.index(letter)] = number(argument)
        elif letter in ACCELERATION and number(argument) is not None:
            self.accelerations[ACCELERATION.index(letter)] = number(argument)
        elif letter in "GD":
            parts = argument.split()
            if len(parts) == 2 and number(parts[0]) is not None and number(parts[1]) is not None:
                table = self.analog if letter == "G" else self.digital
                table[int(parts[0])] = int(parts[1])

    def tick(self, now):
        for axis in list(self.moves):
            move = self.moves[axis]
            if now < move.next_time:
                continue
            position, data = move.events.pop(0)
            self.positions[axis] = position
            if data:
                self.write(data)
            if move.events:
                move.next_time += TICK_S
            else:
                del self.moves[axis]

    def next_deadline(self):
        return min((m.next_time for m in self.moves.values()), default=None)

    # Control side ----------------------------------------------------------

    def control(self, request):
        words = request.split()
        if not words:
            return "ERR empty"
        name, args = words[0].upper(), words[1:]
        try:
            if name == "RESET":
                self.reset()
                termios.tcflush(self.slave, termios.TCIFLUSH)
                return "OK"
            if name == "CLEAR":
                self.received.clear()
                return "OK"
            if name == "RECEIVED":
                return "OK " + escape(bytes(self.received))
            if name == "POSITION":
                self.positions[axis_of(args[0])] = int(args[1])
                return "OK"
            if name == "NEXTMOVE":
                script = {}
                for word in args[1:]:
                    key, _, value = word.partition("=")
                    if key not in ("stream", "final", "stop", "end"):
                        return "ERR unknown option " + key
                    script[key] = value
                self.scripts[axis_of(args[0])].append(script)
                return "OK"
            if name == "REPLY":
                self.query_replies.append(unescape(args[0] if args else ""))
                return "OK"
            if name == "SEND":
                self.write(unescape(args[0] if args else ""))
                return "OK"
            if name == "LINE":
                if args:
                    set_line(self.slave, int(args[0]), int(args[1]), args[2], int(args[3]))
                    return "OK"
                return "OK " + describe_line(self.slave)
            if name == "USERS":
                return "OK %d" % port_users(os.ttyname(self.slave))
            if name == "UNPLUG":
                options = dict(word.partition("=")[::2] for word in args)
                if "at" not in options:
                    self.unplug()
                else:
                    self.unplug_at = [unescape(options["at"]), int(options.get("count", "1"))]
                return "OK"
            if name == "STATE":
                def joined(values):
                    return ",".join(str(v) for v in values)

                def pairs(table):
                    return ",".join("%d:%d" % kv for kv in sorted(table.items()))
                return "OK pos=%s speed=%s accel=%s analog=%s digital=%s" % (
                    joined(self.positions), joined(self.speeds), joined(self.accelerations),
                    pairs(self.analog), pairs(self.digital))
        except (IndexError, ValueError, KeyError, termios.error) as error:
            return "ERR %s" % error
        return "ERR unknown request " + name


BAUDS = {getattr(termios, "B%d" % b): b for b in (1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200)}
SIZES = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}


def describe_line(fd):
    cflag, speed = termios.tcgetattr(fd)[2], termios.tcgetattr(fd)[5]
    parity = "N" if not cflag & termios.PARENB else ("O" if cflag & termios.PARODD else "E")
    return "baud=%s bits=%d parity=%s stop=%d" % (
        BAUDS.get(speed, "?"), SIZES[cflag & termios.CSIZE], parity, 2 if cflag & termios.CSTOPB else 1)


def set_line(fd, baud, bits, parity, stop):
    attributes = termios.tcgetattr(fd)
    cflag = attributes[2] & ~(termios.CSIZE | termios.PARENB | termios.PARODD | termios.CSTOPB)
    cflag |= {v: k for k, v in SIZES.items()}[bits]
    if parity in ("E", "O"):
        cflag |= termios.PARENB | (termios.PARODD if parity == "O" else 0)
    if stop == 2:
        cflag |= termios.CSTOPB
    attributes[2] = cflag
    attributes[4] = attributes[5] = {v: k for k, v in BAUDS.items()}[baud]
    termios.tcsetattr(fd, termios.TCSANOW, attributes)


def port_users(device):
    """Processes other than this one that hold the device open."""
    users = 0
    for pid in filter(str.isdigit, os.listdir("/proc")):
        if int(pid) == os.getpid():
            continue
        try:
            descriptors = os.listdir("/proc/%s/fd" % pid)
            if any(os.readlink("/proc/%s/fd/%s" % (pid, fd)) == device for fd in descriptors):
                users += 1
        except OSError:
            pass
    return users


def number(text):
    try:
        return int(text)
    except ValueError:
        return None


def axis_of(text):
    axis = int(text)
    if not 0 <= axis < AXIS_COUNT:
        raise ValueError("axis %d" % axis)
    return axis


def serve(board, listener, stop):
    clients = {}  # socket -> bytearray of a partial request
    while not stop.is_set():
        deadline = board.next_deadline()
        timeout = 0.1 if deadline is None else max(0.0, min(0.1, deadline - time.monotonic()))
        board_side = [board.master] if board.master is not None else []
        readable, _, _ = select.select(board_side + [listener] + list(clients), [], [], timeout)
        with board.lock:
            for source in readable:
                if board.master is not None and source == board.master:
                    try:
                        data = os.read(board.master, 4096)
                    except OSError:
                        data = b""
                    if data:
                        board.feed(data)
                elif source == listener:
                    client, _ = listener.accept()
                    clients[client] = bytearray()
                else:
                    data = source.recv(4096)
                    if not data:
                        del clients[source]
                        source.close()
                        continue
                    buffer = clients[source]
                    buffer += data
                    while b"\n" in buffer:
                        line, _, rest = bytes(buffer).partition(b"\n")
                        buffer[:] = rest
                        answer = board.control(line.decode("latin-1").strip())
                        source.sendall(answer.encode("latin-1") + b"\n")
            board.tick(time.monotonic())
    for client in clients:
        client.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--com", type=int, default=21)
    parser.add_argument("--eol", choices=("crlf", "lf"), default="crlf")
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("command", nargs=argparse.REMAINDER)
    options = parser.parse_args()
    command = options.command[1:] if options.command[:1] == ["--"] else options.command
    if not command:
        parser.error("no command to run")

    prefix = os.environ.get("WINEPREFIX") or os.path.expanduser("~/.wine")
    devices = os.path.join(prefix, "dosdevices")
    os.makedirs(devices, exist_ok=True)
    link = os.path.join(devices, "com%d" % options.com)

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(4)
    board = Board(link, b"\r\n" if options.eol == "crlf" else b"\n", options.verbose)
    stop = threading.Event()
    server = threading.Thread(target=serve, args=(board, listener, stop), daemon=True)
    server.start()

    environment = dict(os.environ)
    environment["NERIN_ARDUINO_COM"] = str(options.com)
    environment["NERIN_ARDUINO_CONTROL"] = "127.0.0.1:%d" % listener.getsockname()[1]
    try:
        code = subprocess.call(command, env=environment)
    finally:
        stop.set()
        server.join(timeout=5)
        listener.close()
        board.close()
    return code


if __name__ == "__main__":
    sys.exit(main())

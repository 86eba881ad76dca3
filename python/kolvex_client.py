"""Drive Kolvex from Python.

    import kolvex_client

    with kolvex_client.start(data_dir="/tmp/kolvex") as kolvex:
        grid, spectra = kolvex.calculate("CO2", "TOTAL", start=2100, end=2300,
                                         points=1001, temperature=296,
                                         concentrations={"CO2": 400})
        print(grid[0], spectra["CO2"][0])

start() runs kolvex-console and talks to it over a WebSocket on 127.0.0.1;
connect() reaches a Kolvex that already serves WebSocket clients (the window
with "WebSockets" chosen on its connection screen, port 1234, or
kolvex-console --websocket PORT). Conditions are keyword arguments (see
SETTINGS); the grid and the spectra come back as lists of floats, or as numpy
arrays where numpy is installed. Whatever Kolvex refuses raises KolvexError
with Kolvex's own message.

Only the Python standard library is needed (numpy is used when present).
"""

import base64
import collections
import hashlib
import math
import numbers
import os
import re
import shutil
import socket
import struct
import subprocess
import threading
import time

try:
    import numpy
except ImportError:  # lists are returned instead
    numpy = None

__all__ = ["Kolvex", "KolvexError", "Result", "SETTINGS", "QUANTITIES", "start", "connect", "spectrum_query"]

# The conditions calculate() and set() take, with the command each sets and
# the type of its value.
SETTINGS = {
    "start": ("SWAVE", float),            # start of the grid, cm-1
    "end": ("EWAVE", float),              # end of the grid, cm-1
    "points": ("NUMWNPTS", int),          # grid points
    "path": ("PATH", float),              # path length, m
    "pressure": ("TPRES", float),         # total pressure, atm
    "temperature": ("TEMP", float),       # K
    "line_shape": ("LSHAPE", int),
    "threshold": ("LTHRESH", float),      # line intensity threshold, cm/molecule
    "wing_halfwidths": ("LWINGSAT", int),
    "wing": ("LWINGABS", float),          # absolute line wing, cm-1
    "broadening": ("LBROAD", int),
    "line_shift": ("LSHIFTUSE", bool),
    "instrument": ("INSTRFUNCT", int),
    "resolution": ("INSTRRES", float),    # instrument resolution, cm-1
    "instrument_wing": ("INSTRWING", float),
    "atmosphere": ("ATMMODEL", int),      # applies the model's pressure, temperature, mixture
    "all_molecules": ("ALLCALC", bool),   # also calculate molecules not selected
    "line_data": ("HITOPT", int),         # where the line data come from
    "y_quantity": ("YPARAM", int),
    "y_units": ("YUNITS", int),
}

# The quantity the spectra are given in: (YPARAM, YUNITS).
QUANTITIES = {
    "cross-section": (0, 0),
    "optical depth": (0, 1),
    "absorption": (0, 2),      # in %
    "transmission": (0, 3),
    "radiance": (1, 2),
}

DEFAULT_PORT = 1234

# A reply that refuses something: "<NAME> : <why>" (a command, a RESULT item
# or a molecule's formula), or one of the sentences that start with "The".
_REFUSAL = re.compile(r"^(?:[A-Za-z][^ ]* : |The )")
# Every exchange ends with this query: its reply, plain digits, is the last
# of the exchange, and no refusal is plain digits.
_SYNC = "#NUMWNPTS;?"

# The command word of a spectrum query: "#RESULT;<word>;<formula, TOTAL or
# INSTR>" answers one spectrum of the last calculation. The protocol shortens
# the word to its first four letters.
SPECTRUM_WORD = "SPECTRUM"[:4]


def spectrum_query(which):
    """The query for one spectrum: a molecule's formula, TOTAL or INSTR."""
    return "#RESULT;%s;%s" % (SPECTRUM_WORD, _molecule(which))


class KolvexError(Exception):
    """Kolvex refused a command, or could not be reached.

    replies holds Kolvex's own messages, one per refusal.
    """

    def __init__(self, message, replies=()):
        super().__init__(message)
        self.replies = list(replies)


class Result(collections.namedtuple("Result", "grid spectra")):
    """The wavenumber grid (cm-1) and the spectra by the names asked for."""


class _WebSocket:
    """A WebSocket client connection that carries text messages."""

    _GUID = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11"

    def __init__(self, host, port, timeout):
        self._buffer = bytearray()
        try:
            self._socket = socket.create_connection((host, port), timeout=timeout)
        except OSError as error:
            raise KolvexError("Cannot reach Kolvex at %s:%d: %s" % (host, port, error)) from None
        try:
            self._handshake(host, port, time.monotonic() + timeout)
        except BaseException:
            self._socket.close()
            raise

    def _handshake(self, host, port, deadline):
        key = base64.b64encode(os.urandom(16)).decode("ascii")
        host_header = "[%s]:%d" % (host, port) if ":" in host else "%s:%d" % (host, port)
        request = ("GET / HTTP/1.1\r\nHost: %s\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                   "Sec-WebSocket-Key: %s\r\nSec-WebSocket-Version: 13\r\n\r\n" % (host_header, key))
        self._send_all(request.encode("ascii"))
        while b"\r\n\r\n" not in self._buffer:
            if len(self._buffer) > 65536:
                raise KolvexError("The WebSocket handshake reply has no end")
            self._receive_some(deadline)
        end = self._buffer.index(b"\r\n\r\n")
        head = self._buffer[:end].decode("latin-1")
        del self._buffer[:end + 4]
        lines = head.split("\r\n")
        if not re.match(r"^HTTP/1\.1 101\b", lines[0]):
            raise KolvexError("Kolvex refused the WebSocket connection: %s" % lines[0])
        headers = {}
        for line in lines[1:]:
            name, _, value = line.partition(":")
            headers[name.strip().lower()] = value.strip()
        expected = base64.b64encode(hashlib.sha1((key + self._GUID).encode("ascii")).digest()).decode("ascii")
        if headers.get("sec-websocket-accept") != expected:
            raise KolvexError("The WebSocket handshake reply does not answer this client's key")

    def _send_all(self, data):
        try:
            self._socket.sendall(data)
        except OSError as error:
            raise KolvexError("The connection to Kolvex failed: %s" % error) from None

    def _receive_some(self, deadline):
        remaining = None if deadline is None else deadline - time.monotonic()
        if remaining is not None and remaining <= 0:
            raise socket.timeout()
        self._socket.settimeout(remaining)
        try:
            data = self._socket.recv(1 << 20)
        except socket.timeout:
            raise
        except OSError as error:
            raise KolvexError("The connection to Kolvex failed: %s" % error) from None
        if not data:
            raise KolvexError("Kolvex closed the connection")
        self._buffer += data

    def _take(self, count, deadline):
        while len(self._buffer) < count:
            self._receive_some(deadline)
        data = bytes(self._buffer[:count])
        del self._buffer[:count]
        return data

    def send_text(self, text):
        self._send_frame(0x1, text.encode("utf-8"))

    def _send_frame(self, opcode, payload):
        header = bytearray([0x80 | opcode])
        length = len(payload)
        if length < 126:
            header.append(0x80 | length)
        elif length < 65536:
            header.append(0x80 | 126)
            header += struct.pack("!H", length)
        else:
            header.append(0x80 | 127)
            header += struct.pack("!Q", length)
        # A client masks every frame with a fresh key.
        mask = os.urandom(4)
        header += mask
        self._send_all(bytes(header) + _masked(payload, mask))

    def receive_text(self, deadline):
        """The next text message; socket.timeout when none is whole by the deadline."""
        message = bytearray()
        opcode = None
        while True:
            first, second = self._take(2, deadline)
            final = first & 0x80
            frame_opcode = first & 0x0F
            length = second & 0x7F
            if length == 126:
                length = struct.unpack("!H", self._take(2, deadline))[0]
            elif length == 127:
                length = struct.unpack("!Q", self._take(8, deadline))[0]
            mask = self._take(4, deadline) if second & 0x80 else None
            payload = self._take(length, deadline)
            if mask:
                payload = _masked(payload, mask)
            if frame_opcode == 0x8:
                code = struct.unpack("!H", payload[:2])[0] if len(payload) >= 2 else None
                reason = payload[2:].decode("utf-8", "replace")
                try:
                    self._send_frame(0x8, payload[:2])
                except KolvexError:
                    pass
                raise KolvexError("Kolvex closed the connection" + (" (code %d)" % code if code else "")
                                  + (": " + reason if reason else ""), [reason] if reason else [])
            if frame_opcode == 0x9:
                self._send_frame(0xA, payload)
                continue
            if frame_opcode == 0xA:
                continue
            if frame_opcode != 0x0:
                opcode = frame_opcode
                message = bytearray()
            message += payload
            if final and opcode is not None:
                if opcode == 0x1:
                    return message.decode("utf-8", "replace")
                opcode = None   # a binary message: Kolvex only echoes those

    def close(self):
        try:
            self._send_frame(0x8, struct.pack("!H", 1000))
        except KolvexError:
            pass
        try:
            self._socket.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self._socket.close()


def _masked(data, mask):
    if not data:
        return b""
    key = (mask * (len(data) // 4 + 1))[:len(data)]
    return (int.from_bytes(data, "little") ^ int.from_bytes(key, "little")).to_bytes(len(data), "little")


def _value_text(name, value, kind):
    """The parameter text of a set command; refuses what Kolvex would read as 0."""
    if isinstance(value, bool) or kind is bool:
        if not isinstance(value, (bool, numbers.Integral)) or int(value) not in (0, 1):
            raise ValueError("%s must be True or False, not %r" % (name, value))
        return "1" if value else "0"
    if not isinstance(value, numbers.Real):
        raise TypeError("%s must be a number, not %r" % (name, value))
    number = float(value)
    if not math.isfinite(number):
        raise ValueError("%s must be a finite number, not %r" % (name, value))
    if kind is int:
        if number != math.floor(number):
            raise ValueError("%s must be a whole number, not %r" % (name, value))
        return str(int(value))
    return repr(number)


class Kolvex:
    """A connection to Kolvex. Made by start() or connect(); close() ends it
    (and the console start() ran), as does leaving a with block."""

    def __init__(self, channel, process=None, messages=None, use_numpy=None, timeout=60.0, exact=True,
                 reader=None):
        if use_numpy and numpy is None:
            raise ImportError("numpy is not installed")
        self._channel = channel
        self._process = process
        self._messages = messages
        self._reader = reader   # the thread that reads the console's standard error
        self._numpy = numpy is not None if use_numpy is None else bool(use_numpy)
        self.timeout = timeout
        self.ready = 0   # READY replies of the last exchange
        self._delimiter = None
        if exact:
            # 17 significant digits give every double back exactly.
            self._exchange("#FORMAT;g#PREC;17#DELIMITER;;", 0)
            self._delimiter = ";"

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    @property
    def messages(self):
        """What the console start() ran wrote on standard error, line by line."""
        return list(self._messages or [])

    def close(self):
        if self._channel:
            self._channel.close()
            self._channel = None
        if self._process:
            if self._process.poll() is None:
                self._process.terminate()
                try:
                    self._process.wait(10)
                except subprocess.TimeoutExpired:
                    self._process.kill()
                    self._process.wait()
            if self._reader:
                self._reader.join(10)
            self._process.stderr.close()
            self._process = None

    # ------------------------------------------------------------ exchanges

    def _exchange(self, commands, answers, timeout=None):
        """Sends the commands in one message and returns the replies to the
        queries among them (answers of them); raises KolvexError with the
        refusals if Kolvex refused any."""
        if not self._channel:
            raise KolvexError("The connection to Kolvex is closed")
        if timeout is None:
            timeout = self.timeout
        deadline = None if timeout is None or math.isinf(timeout) else time.monotonic() + timeout
        try:
            self._channel.send_text(commands + _SYNC)
        except KolvexError as error:
            self._broken(str(error), error.replies)
        replies, refusals = [], []
        self.ready = 0
        while len(replies) < answers + 1:
            try:
                reply = self._channel.receive_text(deadline)
            except socket.timeout:
                # The rest of the replies may still come; they would be taken
                # for those of later commands.
                self._broken("Kolvex did not answer %s within %g s" % (commands, timeout))
            except KolvexError as error:
                self._broken(str(error), error.replies)
            if reply.startswith("#"):
                continue   # another peer's command, or a value the window's user set
            if reply == "READY":
                self.ready += 1
                continue
            if _REFUSAL.match(reply):
                refusals.append(reply)
                if reply.startswith("The message was dropped") or reply.startswith("The receive buffer is full"):
                    raise KolvexError(reply, refusals)
                continue
            replies.append(reply)
        sync = replies.pop()
        if not sync.isdigit():
            self._broken("Kolvex's replies are out of step: %r ends the replies to %s" % (sync, commands))
        if refusals:
            raise KolvexError(" ".join(refusals), refusals)
        return replies

    def _broken(self, message, replies=()):
        process = self._process
        self.close()
        if process and process.poll() is not None:
            message += " (kolvex-console ended with status %s)" % process.returncode
        if self._messages:
            message += "; its last messages: " + " | ".join(list(self._messages)[-5:])
        raise KolvexError(message, replies)

    def command(self, text, answers=0, timeout=None):
        """Sends protocol text as it is ("#PATH;10#TEMP;?") and returns the
        replies to its queries (answers of them)."""
        return self._exchange(text, answers, timeout)

    # ------------------------------------------------------------ settings

    @staticmethod
    def _set_commands(conditions):
        commands = []
        items = list(conditions.items())
        # A model atmosphere sets pressure, temperature and concentrations;
        # values given beside it are applied after it.
        items.sort(key=lambda item: item[0] != "atmosphere")
        for name, value in items:
            if name == "concentrations":
                for molecule, ppmv in dict(value).items():
                    commands.append("#MCONC;%s;%s" % (_molecule(molecule), _value_text(name, ppmv, float)))
            elif name == "selected":
                for molecule, on in dict(value).items():
                    commands.append("#MSEL;%s;%s" % (_molecule(molecule), _value_text(name, on, bool)))
            elif name == "quantity":
                if value not in QUANTITIES:
                    raise ValueError("quantity must be one of %s, not %r" % (", ".join(QUANTITIES), value))
                commands.append("#YPARAM;%d#YUNITS;%d" % QUANTITIES[value])
            else:
                command, kind = _setting(name)
                commands.append("#%s;%s" % (command, _value_text(name, value, kind)))
        return "".join(commands)

    def set(self, **conditions):
        """Sets the conditions (keywords of SETTINGS, concentrations={"CO2":
        400, ...} in ppmv, selected={"O3": True, ...}, quantity="transmission");
        raises KolvexError with every refusal (the others are set)."""
        commands = self._set_commands(conditions)
        if commands:
            self._exchange(commands, 0)

    def get(self, name, molecule=None):
        """A setting by its keyword ("temperature"), "concentration" or
        "selected" of a molecule, or "quantity"."""
        if name == "quantity":
            shown = tuple(int(self.get(setting)) for setting in ("y_quantity", "y_units"))
            for quantity, pair in QUANTITIES.items():
                if pair == shown or (shown[0] == 1 and pair[0] == 1):
                    return quantity
            return shown
        if name in ("concentration", "selected"):
            if molecule is None:
                raise TypeError("get(%r) needs the molecule" % name)
            command = "MCONC" if name == "concentration" else "MSEL"
            reply = self._exchange("#%s;%s;?" % (command, _molecule(molecule)), 1)[0]
            return float(reply) if name == "concentration" else reply != "0"
        command, kind = _setting(name)
        reply = self._exchange("#%s;?" % command, 1)[0]
        try:
            return kind(float(reply)) if kind is not bool else reply != "0"
        except ValueError:
            raise KolvexError("%s: Kolvex replied %r, which is no number" % (name, reply)) from None

    # ------------------------------------------------------------ results

    def calculate(self, *spectra, timeout=None, **conditions):
        """Sets the conditions, calculates, and returns Result(grid, spectra)
        with the spectra named ("TOTAL", "INSTR", formulas such as "CO2", or
        molecule numbers; "TOTAL" when none is named). timeout (s) bounds the
        calculation, none by default."""
        self.set(**conditions)
        self._exchange("#CALC", 0, timeout=timeout if timeout is not None else math.inf)
        if not self.ready:
            raise KolvexError("The calculation ended without READY")
        return self.results(*spectra)

    def results(self, *spectra):
        """Result(grid, spectra) of the last calculation."""
        names = spectra or ("TOTAL",)
        queries = "#RESULT;WNGRID" + "".join(spectrum_query(name) for name in names)
        replies = self._exchange(queries, 1 + len(names))
        return Result(self._values(replies[0]), {name: self._values(text) for name, text in zip(names, replies[1:])})

    def grid(self):
        """The wavenumber grid of the last calculation, cm-1."""
        return self._values(self._exchange("#RESULT;WNGRID", 1)[0])

    def spectrum(self, which="TOTAL"):
        """One spectrum of the last calculation, in the quantity set."""
        return self._values(self._exchange(spectrum_query(which), 1)[0])

    def _values(self, text):
        if self._delimiter is None:
            self._delimiter = self._exchange("#DELIMITER;?", 1)[0]
        fields = text.split(self._delimiter) if text else []
        try:
            if self._numpy:
                return numpy.array(fields, dtype=float)
            return [float(field) for field in fields]
        except ValueError:
            raise KolvexError("Kolvex sent values that are no numbers: %.80r" % text) from None


def _setting(name):
    if name in SETTINGS:
        return SETTINGS[name]
    for command, kind in SETTINGS.values():
        if name == command:
            return command, kind
    raise TypeError("Unknown setting %r; known: %s" % (name, ", ".join(SETTINGS)))


def _molecule(molecule):
    if isinstance(molecule, bool) or not isinstance(molecule, (str, numbers.Integral)):
        raise TypeError("A molecule is a formula, TOTAL, INSTR or a number, not %r" % (molecule,))
    text = str(molecule)
    if not text or any(c in text for c in "#;\r\n"):
        raise ValueError("%r names no molecule" % (molecule,))
    return text


def connect(host="127.0.0.1", port=DEFAULT_PORT, timeout=60.0, use_numpy=None, exact=True):
    """Connects to a Kolvex that serves WebSocket clients.

    exact=True (the default) asks for replies with all 17 digits and ";" between
    values (#FORMAT, #PREC, #DELIMITER), which the program then keeps for its
    other peers too; with exact=False the replies stay as they are set.
    """
    return Kolvex(_WebSocket(host, port, timeout), use_numpy=use_numpy, timeout=timeout, exact=exact)


def start(program=None, data_dir=None, arguments=(), timeout=60.0, use_numpy=None):
    """Runs kolvex-console (program, else $KOLVEX_CONSOLE, else the one on
    PATH) with a WebSocket on a free port of 127.0.0.1 and connects to it.
    data_dir is its data folder (the user's own by default); arguments are
    passed on (["--service-url", URL], say). Numbers are exchanged in the C
    locale whatever the environment's."""
    program = program or os.environ.get("KOLVEX_CONSOLE") or shutil.which("kolvex-console")
    if not program:
        raise KolvexError("kolvex-console is not found: name it, or set KOLVEX_CONSOLE")
    command = [program, "--websocket", "0"]
    if data_dir is not None:
        command += ["--data-dir", str(data_dir)]
    command += [str(argument) for argument in arguments]
    environment = dict(os.environ, LC_ALL="C.UTF-8")
    try:
        process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, env=environment)
    except OSError as error:
        raise KolvexError("Cannot run %s: %s" % (program, error)) from None
    messages = collections.deque(maxlen=1000)
    port = []
    listening = threading.Event()

    def read_messages():
        # Read to the end, so that the console never waits for this pipe.
        for line in iter(process.stderr.readline, b""):
            text = line.decode("utf-8", "replace").rstrip("\n")
            found = re.match(r"^Serving WebSocket clients on port (\d+)\.$", text)
            if found and not port:
                port.append(int(found.group(1)))
                listening.set()
            else:
                messages.append(text)
        listening.set()

    reader = threading.Thread(target=read_messages, name="kolvex-console messages", daemon=True)
    reader.start()

    def end():
        if process.poll() is None:
            process.kill()
        process.wait()
        reader.join(10)
        process.stderr.close()

    if not listening.wait(timeout) or not port:
        end()
        raise KolvexError("kolvex-console did not start (status %s): %s"
                          % (process.returncode, " | ".join(messages)), list(messages))
    try:
        channel = _WebSocket("127.0.0.1", port[0], timeout)
        return Kolvex(channel, process=process, messages=messages, use_numpy=use_numpy, timeout=timeout,
                      reader=reader)
    except BaseException:
        end()
        raise

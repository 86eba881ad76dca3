"""Tests of kolvex_client against the real kolvex-console ($KOLVEX_CONSOLE).

Every test runs its own console on a fresh temporary data folder, offline (the
line-data service is a closed local port), so that the spectra come from the
sample lines shipped with the program.
"""

import os
import re
import socket
import subprocess
import sys
import tempfile
import threading
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import kolvex_client  # noqa: E402
from kolvex_client import SPECTRUM_WORD, KolvexError, spectrum_query  # noqa: E402

CONSOLE = os.environ.get("KOLVEX_CONSOLE", "")
OFFLINE = ["--service-url", "http://127.0.0.1:9"]


def run_console(data_dir, lines):
    """kolvex-console fed lines on standard input: its replies, one per line."""
    done = subprocess.run([CONSOLE, "--data-dir", data_dir] + OFFLINE, input="\n".join(lines) + "\n",
                          capture_output=True, text=True, timeout=600, env=dict(os.environ, LC_ALL="C.UTF-8"))
    if done.returncode != 0:
        raise AssertionError("kolvex-console failed (%d): %s" % (done.returncode, done.stderr))
    return done.stdout.split("\n")[:-1]


@unittest.skipUnless(CONSOLE and os.access(CONSOLE, os.X_OK), "KOLVEX_CONSOLE names no kolvex-console")
class ConsoleTestCase(unittest.TestCase):
    def setUp(self):
        folder = tempfile.TemporaryDirectory(prefix="kolvex-client-")
        self.addCleanup(folder.cleanup)
        self.data_dir = folder.name

    def start(self, **options):
        kolvex = kolvex_client.start(CONSOLE, data_dir=self.data_dir, arguments=OFFLINE, timeout=120, **options)
        self.addCleanup(kolvex.close)
        return kolvex


class CalculationTest(ConsoleTestCase):
    def test_spectra_are_those_the_console_writes(self):
        # The same calculation typed into a console of its own, with all 17
        # digits: the client must hand back exactly those numbers.
        kolvex = self.start(use_numpy=False)
        grid, spectra = kolvex.calculate("CO2", "TOTAL", "INSTR", start=2100, end=2300, points=1001,
                                         temperature=296, path=10, concentrations={"CO2": 400})
        other = tempfile.TemporaryDirectory(prefix="kolvex-console-")
        self.addCleanup(other.cleanup)
        replies = run_console(other.name, ["#PREC;17", "#SWAVE;2100", "#EWAVE;2300", "#NUMWNPTS;1001", "#TEMP;296",
                                           "#PATH;10", "#MCONC;CO2;400", "#CALC", "#RESULT;WNGRID",
                                           spectrum_query("CO2"), spectrum_query("TOTAL"), spectrum_query("INSTR")])
        self.assertEqual(replies[0], "READY")
        expected = [[float(value) for value in reply.split(";")] for reply in replies[1:5]]
        self.assertIsInstance(grid, list)
        self.assertEqual(grid, expected[0])
        self.assertEqual(spectra["CO2"], expected[1])
        self.assertEqual(spectra["TOTAL"], expected[2])
        self.assertEqual(spectra["INSTR"], expected[3])
        self.assertEqual(list(spectra), ["CO2", "TOTAL", "INSTR"])
        # The grid by its closed form: 1001 points 0.2 cm-1 apart from 2100.
        self.assertEqual(len(grid), 1001)
        for i in (0, 1, 500, 1000):
            self.assertAlmostEqual(grid[i], 2100 + 0.2 * i, delta=1e-9)
        # CO2 absorbs in this band (absorption in %, the default quantity).
        self.assertGreater(max(spectra["CO2"]), 1.0)
        self.assertLessEqual(max(spectra["TOTAL"]), 100.0)

    def test_numpy_arrays_hold_the_same_values(self):
        try:
            import numpy
        except ImportError:
            self.skipTest("numpy is not installed")
        kolvex = self.start(use_numpy=True)
        grid, spectra = kolvex.calculate("CO", start=2100, end=2200, points=501, all_molecules=True)
        self.assertIsInstance(grid, numpy.ndarray)
        self.assertIsInstance(spectra["CO"], numpy.ndarray)
        self.assertEqual(grid.shape, (501,))
        self.assertEqual(spectra["CO"].dtype, numpy.float64)
        listed = kolvex_client.Kolvex.__new__(kolvex_client.Kolvex)
        listed._numpy, listed._delimiter = False, ";"
        text = kolvex.command(spectrum_query("CO"), 1)[0]
        self.assertEqual(spectra["CO"].tolist(), listed._values(text))
        self.assertGreater(spectra["CO"].max(), 0.0)

    def test_large_grid_arrives_whole(self):
        # 200 000 values of up to 24 characters: replies of megabytes, in
        # frames with 64-bit lengths.
        kolvex = self.start(use_numpy=False)
        grid, spectra = kolvex.calculate("TOTAL", start=2000, end=2300, points=200000, quantity="transmission")
        self.assertEqual(len(grid), 200000)
        self.assertEqual(len(spectra["TOTAL"]), 200000)
        self.assertAlmostEqual(grid[-1], 2300.0, delta=1e-9)
        self.assertAlmostEqual(grid[100000], 2000 + 300 * 100000 / 199999, delta=1e-9)
        # Transmission in %: CO2 and CO lines take some of it.
        self.assertTrue(all(0.0 <= value <= 100.0 for value in spectra["TOTAL"]))
        self.assertLess(min(spectra["TOTAL"]), 90.0)


class SettingsTest(ConsoleTestCase):
    def test_keywords_set_what_the_protocol_reads_back(self):
        kolvex = self.start()
        kolvex.set(path=12.5, pressure=0.5, temperature=250.25, points=777, start=1900.5, end=2400,
                   line_shape=2, wing=7.5, concentrations={"CO2": 400.5, 5: 0.25}, selected={"O3": False},
                   quantity="optical depth")
        expected = {"#PATH;?": 12.5, "#TPRES;?": 0.5, "#TEMP;?": 250.25, "#NUMWNPTS;?": 777, "#SWAVE;?": 1900.5,
                    "#EWAVE;?": 2400, "#LSHAPE;?": 2, "#LWINGABS;?": 7.5, "#MCONC;CO2;?": 400.5,
                    "#MCONC;5;?": 0.25, "#MSEL;O3;?": 0, "#YPARAM;?": 0, "#YUNITS;?": 1}
        for query, value in expected.items():
            self.assertEqual(float(kolvex.command(query, 1)[0]), value, query)
        self.assertEqual(kolvex.get("temperature"), 250.25)
        self.assertEqual(kolvex.get("points"), 777)
        self.assertIsInstance(kolvex.get("points"), int)
        self.assertEqual(kolvex.get("concentration", "CO2"), 400.5)
        self.assertIs(kolvex.get("selected", "O3"), False)
        self.assertEqual(kolvex.get("quantity"), "optical depth")
        self.assertEqual(kolvex.get("TEMP"), 250.25)

    def test_the_model_atmosphere_comes_before_the_values_beside_it(self):
        kolvex = self.start()
        # The tropical model (0) has 300 K at the ground (the shipped AFGL
        # table, three digits); a temperature given beside it, even first, wins.
        kolvex.set(temperature=250, atmosphere=0)
        self.assertEqual(kolvex.get("temperature"), 250.0)
        self.assertEqual(kolvex.get("atmosphere"), 0)
        kolvex.set(atmosphere=0)
        self.assertEqual(kolvex.get("temperature"), 300.0)

    def test_results_carry_the_conditions_they_were_calculated_with(self):
        kolvex = self.start()
        kolvex.calculate(path=3.25, temperature=310, points=101)
        self.assertEqual(float(kolvex.command("#RESULT;PATH", 1)[0]), 3.25)
        self.assertEqual(float(kolvex.command("#RESULT;TEMP", 1)[0]), 310.0)
        self.assertEqual(kolvex.command("#RESULT;NUMWNPTS", 1)[0], "101")
        # Settings changed since are those of the next calculation.
        kolvex.set(path=99)
        self.assertEqual(float(kolvex.command("#RESULT;PATH", 1)[0]), 3.25)

    def test_exact_replies_unless_refused(self):
        kolvex = self.start()
        self.assertEqual(kolvex.command("#PREC;?", 1), ["17"])
        self.assertEqual(kolvex.command("#DELIMITER;?", 1), [";"])
        kolvex.set(path=0.1 + 0.2)   # 0.30000000000000004: 8 digits would lose it
        self.assertEqual(kolvex.get("path"), 0.1 + 0.2)


class RefusalTest(ConsoleTestCase):
    def test_a_refused_value_raises_with_the_programs_message(self):
        kolvex = self.start()
        kolvex.set(path=5)
        with self.assertRaises(KolvexError) as caught:
            kolvex.set(path=-1)
        self.assertIn("PATH : Parameter out of range.", str(caught.exception))
        self.assertEqual(len(caught.exception.replies), 1)
        self.assertEqual(kolvex.get("path"), 5.0)
        # Every refusal of one call is named; the values that could be set are.
        with self.assertRaises(KolvexError) as caught:
            kolvex.set(line_shape=9, temperature=260, points=1)
        replies = caught.exception.replies
        self.assertEqual(len(replies), 2, replies)
        self.assertTrue(replies[0].startswith("LSHAPE : Parameter out of range. Allowed values: 0 to 3"), replies)
        self.assertTrue(replies[1].startswith("NUMWNPTS : "), replies)
        self.assertEqual(kolvex.get("temperature"), 260.0)

    def test_a_refused_calculation_and_result_raise(self):
        kolvex = self.start()
        kolvex.set(start=2300, end=2100)
        with self.assertRaises(KolvexError) as caught:
            kolvex.calculate()
        self.assertTrue(str(caught.exception).startswith("CALC : "), str(caught.exception))
        self.assertIn("2300", str(caught.exception))
        with self.assertRaises(KolvexError) as caught:
            kolvex.spectrum("TOTAL")
        self.assertIn("There is no result yet", str(caught.exception))
        kolvex.calculate(start=2100, end=2300, points=201)
        with self.assertRaises(KolvexError) as caught:
            kolvex.spectrum("XYZ")
        self.assertIn("RESULT;%s : String parameter unknown" % SPECTRUM_WORD, str(caught.exception))
        # Formulas with small letters and signs: the sample has no HOCl or NO+
        # lines here, so neither has a spectrum to give.
        with self.assertRaises(KolvexError) as caught:
            kolvex.results("HOCl", "NO+")
        self.assertEqual([reply.split(" : ")[0] for reply in caught.exception.replies], ["HOCl", "NO+"])
        self.assertIn("The requested molecular spectrum was either not selected", str(caught.exception))
        # The connection goes on in step after refusals.
        self.assertEqual(len(kolvex.grid()), 201)

    def test_values_kolvex_would_read_as_zero_are_refused_here(self):
        kolvex = self.start()
        kolvex.set(threshold=1e-22)
        for conditions, error in (({"threshold": float("nan")}, ValueError), ({"threshold": "1e-20"}, TypeError),
                                  ({"points": 10.5}, ValueError), ({"line_shift": 2}, ValueError),
                                  ({"speed": 1}, TypeError), ({"concentrations": {"CO2;1": 5}}, ValueError),
                                  ({"quantity": "colour"}, ValueError)):
            with self.assertRaises(error, msg=conditions):
                kolvex.set(**conditions)
        self.assertEqual(kolvex.get("threshold"), 1e-22)

    def test_a_message_over_the_bound_closes_with_the_reason(self):
        kolvex = self.start()
        with self.assertRaises(KolvexError) as caught:
            kolvex.command("#PATH;1" + "0" * (4 * 1024 * 1024))
        self.assertIn("1009", str(caught.exception))
        self.assertIn("Messages are limited to 4194304 bytes.", str(caught.exception))
        with self.assertRaises(KolvexError):
            kolvex.get("path")


class ConnectionTest(ConsoleTestCase):
    def serve(self):
        """A console serving WebSocket clients on a free port: (process, port)."""
        process = subprocess.Popen([CONSOLE, "--websocket", "0", "--data-dir", self.data_dir] + OFFLINE,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                   text=True, env=dict(os.environ, LC_ALL="C.UTF-8"))

        def stop():
            process.kill()
            process.wait()
            process.stderr.close()

        self.addCleanup(stop)
        for line in process.stderr:
            found = re.match(r"Serving WebSocket clients on port (\d+)\.", line)
            if found:
                threading.Thread(target=process.stderr.read, daemon=True).start()
                return process, int(found.group(1))
        self.fail("kolvex-console did not serve WebSocket clients")

    def test_connect_reaches_a_running_console(self):
        process, port = self.serve()
        with kolvex_client.connect(port=port, timeout=120, exact=False, use_numpy=False) as kolvex:
            # The reply format stays the program's: 8 digits.
            self.assertEqual(kolvex.command("#PREC;?", 1), ["8"])
            grid, spectra = kolvex.calculate("CO2", start=2100, end=2101, points=4)
            self.assertEqual(grid, [2100.0, 2100.3333, 2100.6667, 2101.0])
            self.assertEqual(len(spectra["CO2"]), 4)
        with kolvex_client.connect(port=port, timeout=120) as kolvex:
            # Now with all digits.
            second = kolvex.results().grid[1]
            self.assertAlmostEqual(second, 2100 + 1 / 3, delta=1e-9)
            self.assertNotAlmostEqual(second, 2100.3333, delta=1e-6)
        self.assertIsNone(process.poll())   # closing a connection leaves the program running

    def test_nothing_listening_or_no_websocket_raises(self):
        with socket.socket() as closed:
            closed.bind(("127.0.0.1", 0))
            port = closed.getsockname()[1]
        with self.assertRaises(KolvexError) as caught:
            kolvex_client.connect(port=port, timeout=10)
        self.assertIn("Cannot reach Kolvex", str(caught.exception))
        # A server that answers no WebSocket handshake.
        with socket.socket() as server:
            server.bind(("127.0.0.1", 0))
            server.listen(1)

            def answer():
                connection, _ = server.accept()
                with connection:
                    connection.recv(4096)
                    connection.sendall(b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")

            threading.Thread(target=answer, daemon=True).start()
            with self.assertRaises(KolvexError) as caught:
                kolvex_client.connect(port=server.getsockname()[1], timeout=10)
        self.assertIn("404", str(caught.exception))

    def test_a_silent_peer_times_out(self):
        # A peer that completes the handshake, then never answers: the client
        # gives up after its timeout instead of waiting for ever.
        import base64
        import hashlib
        with socket.socket() as server:
            server.bind(("127.0.0.1", 0))
            server.listen(1)
            held = []

            def handshake():
                connection, _ = server.accept()
                held.append(connection)
                request = connection.recv(4096).decode("latin-1")
                key = re.search(r"Sec-WebSocket-Key: (\S+)", request).group(1)
                accept = base64.b64encode(hashlib.sha1((key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11").encode())
                                          .digest()).decode()
                connection.sendall(("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
                                    "Connection: Upgrade\r\nSec-WebSocket-Accept: %s\r\n\r\n" % accept).encode())

            threading.Thread(target=handshake, daemon=True).start()
            with self.assertRaises(KolvexError) as caught:
                kolvex_client.connect(port=server.getsockname()[1], timeout=0.5)
            self.assertIn("did not answer", str(caught.exception))
            for connection in held:
                connection.close()

    def test_a_console_that_cannot_start_or_ends_raises(self):
        with self.assertRaises(KolvexError) as caught:
            kolvex_client.start(CONSOLE, data_dir=self.data_dir, arguments=["--no-such-option"], timeout=60)
        self.assertIn("no-such-option", str(caught.exception))
        with self.assertRaises(KolvexError):
            kolvex_client.start(os.path.join(self.data_dir, "missing-console"), timeout=10)
        kolvex = self.start()
        kolvex._process.kill()
        with self.assertRaises(KolvexError) as caught:
            kolvex.get("path")
        self.assertIn("status -9", str(caught.exception))


if __name__ == "__main__":
    unittest.main()

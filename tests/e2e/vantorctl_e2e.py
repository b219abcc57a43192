#!/usr/bin/env python3
"""vantorctl against a real vantor-sim process over TCP, the virtual USB socket and a pty.

usage: vantorctl_e2e.py --vantorctl PATH --sim PATH [unittest arguments, e.g. -k Failures]
"""
import argparse
import csv
import json
import os
import resource
import select
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

VANTORCTL = None
SIM = None

EXIT_OK, EXIT_USAGE, EXIT_LINK, EXIT_REFUSED, EXIT_FILE, EXIT_INTERRUPTED = 0, 2, 3, 4, 5, 130
# Product code per family, and the memory record length of each family.
MODELS = {0: 10, 1: 58, 3: 70, 4: 78}
RECORD_LENGTH = {0: 4000, 1: 18000, 3: 24000, 4: 20480}


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Sim:
    """One vantor-sim process with all three endpoints."""

    def __init__(self, model=70, faults=(), all_links=True, control=False):
        self.dir = tempfile.mkdtemp(prefix="vantorctl-e2e-")
        self.usb = os.path.join(self.dir, "usb.sock")
        args = [SIM, "--tcp", "127.0.0.1:0", "--model", str(model), "--quiet"]
        if all_links:
            args += ["--pty", "--usb-socket", self.usb]
        if control:
            args += ["--control"]
        for f in faults:
            args += ["--fault", f]
        self.proc = subprocess.Popen(args, stdin=subprocess.PIPE if control else subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.tcp = self.pty = None
        pending = b""
        deadline = time.monotonic() + 10
        while self.tcp is None or (all_links and (self.pty is None or
                                                  not os.path.exists(self.usb))):
            left = deadline - time.monotonic()
            if left <= 0 or self.proc.poll() is not None:
                self.proc.kill()
                why = self.proc.stderr.read().decode(errors="replace")
                self.close()
                raise RuntimeError("vantor-sim did not start: " + why)
            # Raw reads: a buffered readline would hide lines that select cannot see.
            ready, _, _ = select.select([self.proc.stdout], [], [], min(left, 0.2))
            if not ready:
                continue
            pending += os.read(self.proc.stdout.fileno(), 4096)
            while b"\n" in pending:
                line, _, pending = pending.partition(b"\n")
                kind, _, where = line.decode().strip().partition(" ")
                if kind == "tcp":
                    self.tcp = where
                elif kind == "pty":
                    self.pty = where
        self.pending = pending

    def control(self, line):
        """One line on the control input; its answer line."""
        self.proc.stdin.write(line.encode() + b"\n")
        self.proc.stdin.flush()
        while b"\n" not in self.pending:
            ready, _, _ = select.select([self.proc.stdout], [], [], 5)
            if not ready:
                raise RuntimeError("vantor-sim did not answer " + line)
            self.pending += os.read(self.proc.stdout.fileno(), 4096)
        answer, _, self.pending = self.pending.partition(b"\n")
        return answer.decode().strip()

    def link(self, kind):
        return {"tcp": "tcp:" + (self.tcp or ""), "serial": "serial:%s@115200" % self.pty,
                "usb": "usb"}[kind]

    def close(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        for stream in (self.proc.stdin, self.proc.stdout, self.proc.stderr):
            if stream:
                stream.close()
        shutil.rmtree(self.dir, ignore_errors=True)


def run(args, link=None, usb_socket=None, fast=True, timeout=60, file_limit=None):
    env = dict(os.environ)
    env.pop("FERRULE_SIM_SOCKET", None)
    if usb_socket:
        env["FERRULE_SIM_SOCKET"] = usb_socket
    if fast:
        env["VANTORCTL_FAST"] = "1"
    else:
        env.pop("VANTORCTL_FAST", None)
    command = [VANTORCTL] + (["--link", link] if link else []) + list(args)
    limit = None
    if file_limit is not None:
        def limit():
            resource.setrlimit(resource.RLIMIT_FSIZE, (file_limit, file_limit))
    return subprocess.run(command, env=env, capture_output=True, text=True, timeout=timeout,
                          preexec_fn=limit)


class SimTest(unittest.TestCase):
    model = 70

    def setUp(self):
        self.sim = Sim(self.model)
        self.addCleanup(self.sim.close)
        self.work = tempfile.mkdtemp(prefix="vantorctl-out-")
        self.addCleanup(shutil.rmtree, self.work, True)

    def ctl(self, link_kind, *args, expect=EXIT_OK, **kw):
        r = run(args, self.sim.link(link_kind), self.sim.usb if link_kind == "usb" else None,
                **kw)
        self.assertEqual(r.returncode, expect, "%s %s\nstdout: %s\nstderr: %s" %
                         (link_kind, " ".join(args), r.stdout, r.stderr))
        return r


class Endpoints(SimTest):
    def test_identify_over_every_link(self):
        for kind in ("tcp", "usb", "serial"):
            with self.subTest(link=kind):
                out = self.ctl(kind, "identify").stdout
                self.assertIn("product code: 70\n", out)
                self.assertIn("family: 3 (four channels)", out)
                self.assertRegex(out, r"product name: \S")

    def test_status_over_every_link_agrees(self):
        seen = {kind: self.ctl(kind, "status").stdout for kind in ("tcp", "usb", "serial")}
        self.assertRegex(seen["tcp"], r"time base: [0-9.]+\w+/div")
        self.assertRegex(seen["tcp"], r"CH4: (on|off)")
        self.assertRegex(seen["tcp"], r"lamps: run/stop=\d")
        self.assertEqual(seen["tcp"], seen["usb"])
        self.assertEqual(seen["tcp"], seen["serial"])

    def test_identify_with_the_protocol_waits(self):
        # Bind and unbind with their real waits, as on a real instrument.
        self.ctl("tcp", "identify", fast=False)


class Families(unittest.TestCase):
    def test_identify_names_each_family(self):
        for family, code in MODELS.items():
            with self.subTest(family=family):
                sim = Sim(code, all_links=False)
                try:
                    r = run(["identify"], sim.link("tcp"))
                    self.assertEqual(r.returncode, EXIT_OK, r.stderr)
                    self.assertIn("product code: %d\n" % code, r.stdout)
                    self.assertIn("family: %d (%s channels)" %
                                  (family, "four" if family == 3 else "two"), r.stdout)
                    status = run(["status"], sim.link("tcp")).stdout
                    self.assertEqual("CH3: " in status, family == 3, status)
                finally:
                    sim.close()


class Transfers(SimTest):
    def test_screenshot_is_a_320_by_240_bmp(self):
        path = os.path.join(self.work, "screen.bmp")
        self.ctl("tcp", "screenshot", path)
        info = subprocess.run(["identify", "-format", "%m %w %h", path], capture_output=True,
                              text=True)
        self.assertEqual(info.returncode, 0, info.stderr)
        magick, width, height = info.stdout.split()
        self.assertTrue(magick.startswith("BMP"), magick)  # BMP, BMP2 or BMP3 by header
        self.assertEqual((width, height), ("320", "240"))

    def test_screenshot_progress_goes_to_standard_error(self):
        path = os.path.join(self.work, "progress.bmp")
        r = self.ctl("serial", "screenshot", path)
        size = os.path.getsize(path)
        self.assertIn("screenshot: %d of %d bytes (100%%)" % (size, size), r.stderr)
        self.assertIn("%s: %d bytes of screen saved" % (path, size), r.stdout)
        quiet = self.ctl("serial", "--quiet", "screenshot", path)
        self.assertEqual(quiet.stderr, "")

    def test_screenshot_over_usb(self):
        path = os.path.join(self.work, "usb.bmp")
        self.ctl("usb", "screenshot", path)
        with open(path, "rb") as f:
            self.assertEqual(f.read(2), b"BM")

    def test_settings_put_back_restores_the_instrument(self):
        saved = os.path.join(self.work, "saved.ssf")
        before = self.ctl("tcp", "status").stdout
        self.ctl("tcp", "settings", "get", saved)
        self.assertEqual(os.path.getsize(saved), 2500)
        self.ctl("tcp", "knob", "horizontal", "2")
        self.ctl("serial", "knob", "ch1", "-1")
        changed = self.ctl("tcp", "status").stdout
        self.assertNotEqual(changed, before)
        self.ctl("usb", "settings", "put", saved)
        self.assertEqual(self.ctl("tcp", "status").stdout, before)

    def test_csv_memory_record_has_the_instruments_count(self):
        path = os.path.join(self.work, "ch1.csv")
        self.ctl("tcp", "waveform", "--channel", "1", "--memory", "-o", path)
        with open(path, newline="") as f:
            rows = list(csv.DictReader(f))
        self.assertEqual(len(rows), RECORD_LENGTH[3])
        self.assertEqual([int(r["index"]) for r in rows], list(range(len(rows))))
        samples = [int(r["sample"]) for r in rows]
        self.assertTrue(all(0 <= s <= 255 for s in samples))
        self.assertGreater(len(set(samples)), 1, "a live channel is not flat")

    def test_screen_record_csv_matches_the_json_count(self):
        out = self.ctl("tcp", "waveform", "--channel", "2", "--format", "json",
                       "--measure").stdout
        record = json.loads(out)
        self.assertEqual(record["count"], len(record["samples"]))
        self.assertEqual(len(record["measurements"]), 32)
        self.assertEqual(record["measurements"][0]["item"], "Vpp")
        rows = list(csv.reader(self.ctl("tcp", "waveform", "--channel", "2").stdout
                               .splitlines()))
        self.assertEqual(rows[0], ["index", "sample"])
        self.assertEqual(len(rows) - 1, record["count"])


class Failures(unittest.TestCase):
    def expect(self, result, code, text):
        self.assertEqual(result.returncode, code, result.stderr)
        self.assertIn(text, result.stderr)

    def test_unreachable_address(self):
        self.expect(run(["identify"], "tcp:127.0.0.1:%d" % free_port()), EXIT_LINK,
                    "cannot connect")

    def test_unknown_host(self):
        self.expect(run(["identify"], "tcp:no-such-host.invalid:8001"), EXIT_LINK,
                    "cannot resolve")

    def test_missing_usb_instrument(self):
        with tempfile.TemporaryDirectory() as d:
            self.expect(run(["identify"], "usb", os.path.join(d, "usb.sock")), EXIT_LINK,
                        "no instrument found on USB")

    def test_serial_port_that_cannot_open(self):
        self.expect(run(["identify"], "serial:COM250@9600"), EXIT_LINK,
                    "cannot open serial COM250 at 9600 baud")

    def test_missing_serial_device(self):
        self.expect(run(["identify"], "serial:/dev/vantor-no-such-tty"), EXIT_LINK,
                    "does not exist")

    def test_usage_errors(self):
        self.expect(run(["wobble"]), EXIT_USAGE, "unknown command")
        self.expect(run(["knob", "level", "300"]), EXIT_USAGE, "DELTA")
        self.expect(run(["status"], "tcp:nowhere"), EXIT_USAGE, "tcp:HOST:PORT")

    def test_help_lists_every_command(self):
        r = run(["--help"])
        self.assertEqual(r.returncode, EXIT_OK)
        for word in ("identify", "status", "waveform", "settings get", "settings put", "key",
                     "knob", "screenshot", "runstop", "horizontal-fine", "Exit codes"):
            self.assertIn(word, r.stdout)

    def test_wrong_size_settings_file(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "short.ssf")
            with open(path, "wb") as f:
                f.write(bytes(100))
            self.expect(run(["settings", "put", path], "tcp:127.0.0.1:1"), EXIT_FILE,
                        "exactly 2500")

    def test_refused_key(self):
        sim = Sim(70, ["refuse@4"], all_links=False)
        try:
            self.expect(run(["key", "force"], sim.link("tcp")), EXIT_REFUSED, "refused")
        finally:
            sim.close()

    def test_refused_bind(self):
        sim = Sim(70, ["refuse@1"], all_links=False)
        try:
            self.expect(run(["identify"], sim.link("tcp")), EXIT_REFUSED,
                        "refused the bind request")
        finally:
            sim.close()

    def test_screenshot_gives_up_and_leaves_no_file(self):
        sim = Sim(70, ["chunk-fail:6@12"], all_links=False)
        try:
            with tempfile.TemporaryDirectory() as d:
                path = os.path.join(d, "screen.bmp")
                self.expect(run(["screenshot", path], sim.link("tcp")), EXIT_LINK,
                            "failed 6 times in a row")
                self.assertFalse(os.path.exists(path))
        finally:
            sim.close()


class Saves(SimTest):
    """Every file vantorctl writes is replaced whole or not at all."""
    SAVES = (("waveform", "--channel", "1", "-o"), ("settings", "get"), ("screenshot",))

    def full_folder(self):
        """A folder on a small filesystem filled to the last byte, or None when none can be
        mounted here."""
        folder = tempfile.mkdtemp(prefix="vantorctl-full-")
        self.addCleanup(shutil.rmtree, folder, True)
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=64k", "tmpfs", folder],
                          capture_output=True).returncode != 0:
            return None
        self.addCleanup(subprocess.run, ["umount", folder], capture_output=True)
        return folder

    def fill(self, folder):
        fd = os.open(os.path.join(folder, "filler"), os.O_WRONLY | os.O_CREAT)
        try:
            while os.write(fd, bytes(4096)) > 0:
                pass
        except OSError:
            pass
        finally:
            os.close(fd)

    def test_a_failed_write_keeps_the_old_file_and_leaves_no_partial_one(self):
        folder = self.full_folder()
        cause, limit = "No space left on device", None
        if folder is None:  # no mount here: a file size limit fails the write instead
            folder, cause, limit = self.work, "File too large", 1024
        targets = [os.path.join(folder, "old%d" % i) for i in range(len(self.SAVES))]
        for target in targets:
            with open(target, "wb") as f:
                f.write(b"good old file")
        if limit is None:
            self.fill(folder)
        before = sorted(os.listdir(folder))
        for save, target in zip(self.SAVES, targets):
            with self.subTest(save=save[0]):
                r = run(list(save) + [target], self.sim.link("tcp"), file_limit=limit)
                self.assertEqual(r.returncode, EXIT_FILE, r.stderr)
                self.assertIn(cause, r.stderr)
                with open(target, "rb") as f:
                    self.assertEqual(f.read(), b"good old file")
                self.assertEqual(sorted(os.listdir(folder)), before)

    def test_a_full_device_is_named_as_the_cause(self):
        for save in self.SAVES:
            with self.subTest(save=save[0]):
                r = run(list(save) + ["/dev/full"], self.sim.link("tcp"))
                self.assertEqual(r.returncode, EXIT_FILE, r.stderr)
                self.assertIn("No space left on device", r.stderr)

    def test_a_good_save_replaces_the_file_with_its_mode(self):
        target = os.path.join(self.work, "kept.ssf")
        with open(target, "wb") as f:
            f.write(b"old")
        os.chmod(target, 0o640)
        link = os.path.join(self.work, "link.ssf")
        os.symlink("kept.ssf", link)
        self.ctl("tcp", "settings", "get", link)
        self.assertEqual(os.path.getsize(target), 2500)
        self.assertEqual(os.stat(target).st_mode & 0o777, 0o640)
        self.assertTrue(os.path.islink(link), "the file behind the link is replaced, not the link")
        self.assertEqual(sorted(os.listdir(self.work)), ["kept.ssf", "link.ssf"])


class Interrupts(unittest.TestCase):
    def test_ctrl_c_ends_the_transfer_and_unbinds(self):
        sim = Sim(70, ["delay:200@12x*"], all_links=False, control=True)
        self.addCleanup(sim.close)
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "screen.bmp")
            env = dict(os.environ, VANTORCTL_FAST="1")
            proc = subprocess.Popen([VANTORCTL, "--link", sim.link("tcp"), "screenshot", path],
                                    env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
            # The first chunk has arrived: the transfer is under way.
            seen = b""
            while b"screenshot: " not in seen:
                ready, _, _ = select.select([proc.stderr], [], [], 10)
                self.assertTrue(ready, "no progress from vantorctl")
                chunk = os.read(proc.stderr.fileno(), 4096)
                self.assertTrue(chunk, "vantorctl ended before the signal")
                seen += chunk
            proc.send_signal(signal.SIGINT)
            out, err = proc.communicate(timeout=30)
            self.assertEqual(proc.returncode, EXIT_INTERRUPTED, (seen + err).decode())
            self.assertEqual(os.listdir(d), [], "no file and no partial one")
        commands = sim.control("commands").split()
        self.assertEqual(commands[-2:], ["13", "2"], "the end command, then the unbind")
        self.assertEqual(commands[2], "1")  # the bind came first


class Diagnostics(unittest.TestCase):
    def setUp(self):
        self.sim = Sim(70, all_links=False, control=True)
        self.addCleanup(self.sim.close)

    def test_silence_and_refusal_are_told_apart_without_asking_again(self):
        cases = (("drop@4", EXIT_LINK, "nothing answered"),
                 ("refuse:2@4", EXIT_REFUSED, "refused the key CH1"))
        for fault, code, text in cases:
            with self.subTest(fault=fault):
                self.assertEqual(self.sim.control("fault " + fault), "ok")
                r = run(["key", "CH1"], self.sim.link("tcp"))
                self.assertEqual(r.returncode, code, r.stderr)
                self.assertIn(text, r.stderr)
                # Bind, the key, unbind: no status read to guess with.
                self.assertEqual(self.sim.control("commands").split()[-3:], ["1", "4", "2"])

    def test_a_record_cut_to_the_familys_length_is_told(self):
        r = run(["waveform", "--channel", "1", "--memory"], self.sim.link("tcp"))
        self.assertEqual(r.returncode, EXIT_OK, r.stderr)
        self.assertNotIn("notice", r.stderr)
        self.sim.control("fault oversize-record:25000@5")
        r = run(["waveform", "--channel", "1", "--memory"], self.sim.link("tcp"))
        self.assertEqual(r.returncode, EXIT_OK, r.stderr)
        self.assertIn("record cut to the family's length (the instrument announced 25000 samples; "
                      "24000 kept)", r.stderr)


def main():
    global VANTORCTL, SIM
    parser = argparse.ArgumentParser()
    parser.add_argument("--vantorctl", required=True)
    parser.add_argument("--sim", required=True)
    args, rest = parser.parse_known_args()
    VANTORCTL, SIM = os.path.abspath(args.vantorctl), os.path.abspath(args.sim)
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()

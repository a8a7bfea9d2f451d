#!/usr/bin/env python3
"""The competition desk (scripts/competition-desk) against virtual instruments and planted files.

    desk_test.py --sim build/sim/logwell-sim --cli build/src/cli/logwell-cli [unittest options]
"""

import argparse
import csv
import json
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

DESK = Path(__file__).resolve().parent.parent.parent / "scripts" / "competition-desk"
PILOTS = "Name;CompId;CivlId\r\nEva Example;105;40105\r\nGregor Zupan;107;40107\r\n"
PILOTS_CSV = PILOTS.replace(";", ",")
SIM = CLI = None


def desk(folder, *arguments):
    command = [sys.executable, str(DESK), "--cli", CLI, "--pilots", str(folder / "pilots.csv"),
               "--dir", str(folder)] + list(arguments)
    return subprocess.run(command, capture_output=True, text=True, timeout=300)


class Instrument:
    """A virtual Flytec serving `flights` (IGC files), or a generated flight written to `served`."""

    def __init__(self, flights=None, served=None, seed=1, family="flytec"):
        command = [SIM, family, "--minutes", "10", "--seed", str(seed)]
        if family == "flytec":
            command += ["--model", "COMPEO+"]
        if flights:
            command += ["--flights", ",".join(str(f) for f in flights)]
        if served:
            command += ["--write-igc", str(served)]
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                        text=True)
        self.device = self.process.stdout.readline().strip()
        self.process.stdout.close()

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


def summary(folder):
    with open(folder / "desk.csv", newline="", encoding="utf-8") as text:
        return {row["name"]: row for row in csv.DictReader(text)}


class DeskFiles(unittest.TestCase):
    def setUp(self):
        self.folder = Path(tempfile.mkdtemp(prefix="logwell-desk-"))
        (self.folder / "pilots.csv").write_text(PILOTS_CSV, encoding="utf-8")

    def tearDown(self):
        shutil.rmtree(self.folder)

    def test_planted_symlinks_are_never_written_through(self):
        victim = self.folder / "victim.txt"
        victim.write_text("precious\n")
        (self.folder / "desk.csv.tmp").symlink_to(victim)
        (self.folder / "desk.json.tmp").symlink_to(victim)
        run = desk(self.folder, "read", str(self.folder / "no-such-port"))
        self.assertEqual(run.returncode, 1, run.stderr)
        self.assertEqual(victim.read_text(), "precious\n")
        self.assertFalse((self.folder / "desk.csv").is_symlink())
        self.assertIn("Eva Example", (self.folder / "desk.csv").read_text())

        # A lock planted as a symlink is refused, and what it points to is left alone.
        (self.folder / ".desk.lock").unlink()
        (self.folder / ".desk.lock").symlink_to(victim)
        run = desk(self.folder, "status")
        self.assertEqual(run.returncode, 2)
        self.assertIn("desk lock", run.stderr)
        self.assertEqual(victim.read_text(), "precious\n")

    def test_a_pilot_with_two_different_flights_is_flagged_with_both(self):
        files = []
        for n, clock in enumerate(["100000", "140000"]):
            path = self.folder / f"Eva Example.20230526-{clock}.40105.105.igc"
            path.write_text(f"AXXX001\r\nHFDTEDATE:260523,01\r\nB{clock}4630000N00800000EA0150001500\r\n")
            files.append(str(path))
        pilot = {"name": "Eva Example", "compId": 105, "civlId": 40105}
        reads = [{"time": f"2023-05-26 18:0{n}:00", "port": "p", "seconds": 1, "exitCode": 0,
                  "outcome": "saved", "pilot": pilot, "file": f, "fixes": 1, "signature": "none",
                  "validation": "not asked", "message": ""} for n, f in enumerate(files)]
        (self.folder / "desk.json").write_text(json.dumps({"reads": reads}))
        run = desk(self.folder, "status", "--json")
        self.assertEqual(run.returncode, 0, run.stderr)
        status = json.loads(run.stdout)
        eva = next(p for p in status["pilots"] if p["name"] == "Eva Example")
        self.assertEqual(eva["flights"], 2)
        for f in files:
            self.assertIn(f, eva["file"])
        self.assertEqual(status["flagged"],
                         [{"name": "Eva Example", "flags": "2 different flights saved"}])
        self.assertEqual(eva["start"], "14:00:00")  # the newest flight's facts
        self.assertEqual(eva["flightDate"], "2023-05-26")


class DeskReads(unittest.TestCase):
    """Reads of virtual instruments: each costs a few seconds of the protocol's pauses."""

    def setUp(self):
        self.folder = Path(tempfile.mkdtemp(prefix="logwell-desk-"))
        self.served = Path(tempfile.mkdtemp(prefix="logwell-served-"))
        (self.folder / "pilots.csv").write_text(PILOTS, encoding="utf-8")  # semicolons

    def tearDown(self):
        shutil.rmtree(self.folder)
        shutil.rmtree(self.served)

    def flight(self, seed):
        """The IGC text a virtual Flytec serves for a seed."""
        path = self.served / f"{seed}.igc"
        with Instrument(served=path, seed=seed):
            pass
        return path.read_bytes()

    def test_tampered_shared_and_other_day_flights(self):
        original = self.flight(3)
        # One altitude of the served flight changed after the instrument signed it.
        lines = original.split(b"\r\n")
        fix = next(i for i, line in enumerate(lines) if line.startswith(b"B"))
        altitude = lines[fix][30:35]
        lines[fix] = lines[fix][:30] + b"%05d" % (int(altitude) + 7) + lines[fix][35:]
        tampered = self.served / "tampered.igc"
        tampered.write_bytes(b"\r\n".join(lines))
        with Instrument(flights=[tampered]) as instrument:
            run = desk(self.folder, "read", instrument.device, "--compid", "105")
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertNotIn("signature OK", run.stdout)
        self.assertIn("signature not verified", run.stdout)
        saved = list(self.folder.glob("Eva Example.*.40105.105.igc"))
        self.assertEqual(len(saved), 1)
        self.assertEqual(saved[0].read_bytes(), tampered.read_bytes())  # kept byte for byte
        eva = summary(self.folder)["Eva Example"]
        self.assertEqual((eva["signature"], eva["validation"]), ("not verified", "not asked"))

        # The same instrument handed in again, for another pilot: refused, both named.
        before = sorted(self.folder.iterdir())
        with Instrument(flights=[tampered]) as instrument:
            run = desk(self.folder, "read", instrument.device, "--compid", "107")
        self.assertEqual(run.returncode, 1)
        self.assertIn("same flight as Eva Example, comp. 105", run.stdout)
        self.assertEqual(sorted(self.folder.iterdir()), before)
        status = desk(self.folder, "status")
        self.assertIn("CONFLICT: ", status.stdout)
        self.assertIn("same flight as Eva Example, comp. 105", status.stdout)

        # A flight of another day than the task's.
        text = self.flight(4)
        date = text[text.index(b"HFDTE"):].split(b"\r\n")[0]
        with Instrument(flights=[self.served / "4.igc"]) as instrument:
            run = desk(self.folder, "--task-date", "2001-02-03", "read", instrument.device,
                       "--compid", "107")
        self.assertEqual(run.returncode, 1)
        self.assertIn("not of the task day 2001-02-03", run.stdout)
        self.assertFalse(list(self.folder.glob("Gregor Zupan.*")), date)

        status = desk(self.folder, "status")
        self.assertRegex(status.stdout, r"Eva Example: .*, flight \d{4}-\d\d-\d\d "
                                        r"\d\d:\d\d:\d\d-\d\d:\d\d:\d\d, \d+ fixes")


class DeskPorts(unittest.TestCase):
    def setUp(self):
        self.folder = Path(tempfile.mkdtemp(prefix="logwell-desk-"))
        (self.folder / "pilots.csv").write_text(PILOTS, encoding="utf-8")

    def tearDown(self):
        shutil.rmtree(self.folder)

    def test_read_without_gps_finds_the_family_first(self):
        with Instrument(family="flymaster") as instrument:
            run = desk(self.folder, "read", instrument.device, "--compid", "105")
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertIn("found Flymaster", run.stdout)
        self.assertIn("reading as FLYMASTER", run.stdout)
        self.assertEqual(len(list(self.folder.glob("Eva Example.*.40105.105.igc"))), 1)


class DeskFilesFromElsewhere(unittest.TestCase):
    def setUp(self):
        self.folder = Path(tempfile.mkdtemp(prefix="logwell-desk-"))
        (self.folder / "pilots.csv").write_text(PILOTS, encoding="utf-8")

    def tearDown(self):
        shutil.rmtree(self.folder)

    def test_a_phone_igc_is_filed_for_a_pilot(self):
        phone = self.folder.parent / f"{self.folder.name}-phone.igc"
        with Instrument(served=phone, seed=5):
            pass
        text = phone.read_bytes().replace(b"AFLY", b"AXCT", 1)
        phone.write_bytes(text)
        self.addCleanup(phone.unlink)
        run = desk(self.folder, "file", "Gregor Zupan", str(phone))
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertIn("Gregor Zupan (comp. 107, CIVL 40107): saved", run.stdout)
        saved = list(self.folder.glob("Gregor Zupan.*.40107.107.igc"))
        self.assertEqual(len(saved), 1)
        self.assertEqual(saved[0].read_bytes(), text)
        # Filed again for the same pilot: recognised; for another: refused.
        self.assertEqual(desk(self.folder, "file", "107", str(phone)).returncode, 0)
        run = desk(self.folder, "file", "105", str(phone))
        self.assertEqual(run.returncode, 1)
        self.assertIn("same flight as Gregor Zupan, comp. 107", run.stdout)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--sim", required=True)
    parser.add_argument("--cli", required=True)
    known, rest = parser.parse_known_args()
    SIM, CLI = known.sim, known.cli
    unittest.main(argv=[sys.argv[0]] + rest)

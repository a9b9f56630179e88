"""The log explainer (tools/explain-log.py) on logs the lab produces: each row runs the installer in a lab
situation, and the explainer must tell the run's kind, result and verdict and explain every warning and error.
Without Wine (class Reading): the table's own samples, random bytes, and the rows' saved logs cut, mixed up
and re-encoded: a clear note and a partial report, never an exception."""
import datetime
import os
import random
import shutil
import subprocess
import sys
import unittest
from operator import attrgetter
from pathlib import Path

from lab import MISSING, VERSION_A as A, VERSION_B as B, Lab
from logstory.explanations import explain, load
from logstory.reading import read_files
from logstory.records import read_log
from logstory.runs import split_runs
from logstory.story import story
from logstory.text import explanation_text

TOOL = r"x64\drivertool64"  # its settings
ENTRIES, UP, FIRST, REFUSED = load(), f"upgrade from {A}", "first installation", "run refused by the start checks"
SAVED = Path(os.environ.get("OV_BUILD_DIR") or Path(__file__).resolve().parents[2] / "build" / "test") / "explain-logs"
REPO = Path(__file__).resolve().parents[2]
TOOL_1 = "reboot needed because the driver tool"


def R(name, expect, **setup):  # expect: (exit code or None, kind, verdict after the run's title) of the last runs
    return dict(name=name, expect=expect, setup=setup)


def W(n):
    return f"; {n} warning or error" if n == 1 else f"; {n} warnings or errors"


ROWS = [  # up: the earlier version A installed first; new: settings of B's folder. Fault rows are explained
    # where they run (tools/lab/states.py explains every fault row's log, with the verdict where a row gives it).
    R("first installation", [(0, FIRST, "complete")], env={"kelvara_app_name": "Kelvära"}),
    R("upgrade", [(0, UP, "complete")], up=A),
    R("silent reboot ending", [(100, UP, f"complete, {TOOL_1} answered 1")], up=A, new={TOOL: "exit_code=1"}),
    R("same version run again", [(0, "same-version run again", "complete")], again=1),
    R("not an administrator", [(1, REFUSED, "refused, not enough rights" + W(1))], restricted=True),
    R("customization missing", [(9, REFUSED, "refused, the customization settings are missing" + W(1))], conf=MISSING),
    R(
        "interrupted upgrade run again",
        [
            (None, f"interrupted run ({UP})", 'interrupted in the step "driver installation"'),
            (0, f"resumed interrupted {UP}", "complete"),
        ],
        up=A,
        on=[("drivertool.exe install returned", "kill")],
        again=1,
    ),
]


class ExplainedRuns(unittest.TestCase):  # runs first (classes run by name): Reading cuts the logs it saves
    lab = Lab()

    def row(self, name, expect, setup):
        lab, s = self.lab, setup
        lab.reset()
        if "up" in s:
            lab.install_version(s["up"])
        folder = lab.unpack(B, customization=s.get("conf"), settings=s.get("new"))
        run = lab.install(folder, **{k: s[k] for k in ("env", "restricted", "on") if k in s})
        for _ in range(s.get("again", 0)):
            run = lab.install(folder)
        base = lab.log_base(s.get("restricted", False))
        paths = [base + generation for generation in (".log", ".1.log", ".2.log") if Path(base + generation).exists()]
        log = read_files(paths)
        stories = [story(r.records, ENTRIES) for r, _ in log.runs[-len(expect):]]
        self.assertEqual(stories[-1].exit_code, run.exit_code)
        self.assertEqual(
            [(t.exit_code, t.kind, t.verdict) for t in stories],
            [(c, k, f"{t.title}: {v}") for (c, k, v), t in zip(expect, stories)],
        )
        self.assertTrue(all(B in t.title for t in stories), [t.title for t in stories])
        unexplained = [p.record.text for t in stories for p in t.problems if not p.explained]
        self.assertEqual(unexplained, [], "not explained")
        SAVED.mkdir(exist_ok=True)
        for path in paths:
            shutil.copy(path, SAVED / f"{name.replace(' ', '-')}{Path(path).name[len(Path(base).name):]}")

    def test_rows(self):
        shutil.rmtree(SAVED, ignore_errors=True)
        for row in ROWS:
            with self.subTest(row["name"]):
                try:
                    self.row(**row)
                finally:
                    self.doCleanups()
        self.lab.reset()


def told(data):
    """The explainer's whole text of one file's bytes, as the command would print it."""
    log = read_files(["x.log"], lambda _: data)
    return log, explanation_text(log, [story(r.records, ENTRIES) for r, _ in log.runs], ENTRIES)


class Reading(unittest.TestCase):
    def saved(self):
        logs = sorted(SAVED.glob("*.log"))
        if not logs:
            self.skipTest(f"no saved logs in {SAVED}: run ExplainedRuns in the lab first")
        return logs

    def test_each_entry_explains_its_sample(self):
        for entry in ENTRIES:
            with self.subTest(entry.sample):
                level, text = ("R", entry.sample) if entry.levels == "R" else entry.sample.split(" ", 1)
                found = explain(ENTRIES, level, text)
                self.assertIs(found and found.entry, entry)  # not shadowed by an entry before it
                self.assertNotIn("{", found.explanation + found.cause + found.action)

    def test_random_bytes_give_a_note(self):
        generator = random.Random(21)
        for size in [0, 1, 2, 3, 7, 100, 4096] * 20:
            data = bytes(generator.randrange(256) for _ in range(size))
            log, text = told(data)
            self.assertTrue(log.notes or log.runs, data)
            self.assertIn("Verdicts", text)

    def test_cut_mixed_up_and_re_encoded_logs(self):
        generator = random.Random(17)
        for path in self.saved():
            data = path.read_bytes()
            whole, _ = read_log(data)
            for _ in range(12):
                cut = generator.randrange(len(data))
                records, notes = read_log(data[:cut])
                self.assertEqual(records[:-1], whole[: max(0, len(records) - 1)], (path.name, cut))
                cut_line = data[:cut].rstrip(b"\r").split(b"\n")[-1] != b""  # a line end alone loses nothing
                self.assertEqual("it ends in the middle of a line: the file was cut" in notes, cut_line, (path, cut))
                a, b = sorted(generator.randrange(len(data)) for _ in range(2))
                log, text = told(data[b:] + data[:a])  # a middle part lost, the rest in the wrong order
                self.assertIn("Verdicts", text)
                digits = bytearray(data)  # dates and ids that cannot be: month 13, hour 99
                for at in generator.sample(range(len(data)), min(len(data), 200)):
                    digits[at] = generator.choice(b"0123456789")
                self.assertIn("Verdicts", told(bytes(digits))[1])
            text = data.decode("utf-8")
            for encoding, note in (("utf-16", "in UTF-16"), ("cp1252", "read as Latin-1")):
                if encoding == "utf-16" or not text.isascii():
                    records, notes = read_log(text.encode(encoding, "replace"))
                    self.assertEqual(len(records), len(whole), path.name)
                    self.assertTrue(any(note in n for n in notes), (path.name, notes))

    def test_runs_of_two_installers_writing_at_once(self):
        first, second = (read_log(path.read_bytes())[0] for path in self.saved()[-2:])
        shift = second[0].time - first[0].time - datetime.timedelta(milliseconds=1)  # the second starts as well
        second = [r._replace(pid=0xFFFF, time=r.time - shift) for r in second]  # a process id the first has not
        both = sorted(first + second, key=attrgetter("time"))
        runs = {tuple(run.records) for run in split_runs(both)}
        self.assertEqual(runs, {tuple(run.records) for run in split_runs(first) + split_runs(second)})

    def test_command_never_shows_a_traceback(self):
        logs, empty, page = [str(p) for p in self.saved()[:3]], SAVED / "empty.txt", SAVED / "page.html"
        empty.write_bytes(b"")
        for args, code in (([*logs, str(empty), "/nonexistent.log", "--html", str(page)], 1), ([], 2)):
            done = subprocess.run(
                [sys.executable, str(REPO / "tools" / "explain-log.py"), *args], capture_output=True, text=True
            )
            self.assertEqual((done.returncode, "Traceback" in done.stderr), (code, False), done.stderr)
            self.assertTrue(code == 2 or "empty.txt: the file is empty" in done.stdout, done.stdout)
        self.assertIn("<svg", page.read_text())

"""The main job's report as plain text for a terminal 100 columns wide. Pure: it renders RunResults
that the play recorded; two reports of the same play differ only in their durations (process ids in
records are shown as <pid> for that reason)."""
import re
import textwrap
from typing import NamedTuple

from .difference import difference
from .timeline import timeline

WIDTH = 100
EXIT_CODES = {0: "installation complete", 1: "not enough rights (the caller is not an elevated administrator)",
              7: "an exception reached the entry", 9: "the customization settings are missing or empty",
              100: "installation complete, a reboot is required"}
SECTIONS = (("registry", "Registry values (+ added, - removed, ~ changed)"),
            ("service", 'Service "Kelvara Service"'), ("shortcuts", "Shortcuts"),
            ("files", "Folders and files"), ("restart", "Scheduled for restart (PendingFileRenameOperations)"),
            ("processes", "Processes"), ("driver tool", "Driver tool calls, with their working folders"))
MARKS = {"W": " !", "E": "!!", "F": "!!"}
PROCESS_ID = re.compile(r"(process: |process id: |process handle for )\d+")


class RunResult(NamedTuple):
    title: str  # "first installation of 2.69.34.0"
    folder: str  # the version folder the installer ran from
    expected: int  # the exit code the play asked for
    exit_code: int
    seconds: float  # wall time of the run as the lab measured it
    log: list  # Records
    before: dict  # probes
    after: dict
    journal: list  # journal lines written during the run


def meaning(code):
    return EXIT_CODES.get(code, "not an exit code of the installer")


def wrap(lines, indent=None):
    """Lines longer than the width, broken at blanks and continued under their own indentation + 4
    (or under the given indentation)."""
    out = []
    for line in lines:
        under = " " * (indent or len(line) - len(line.lstrip()) + 4)
        out += textwrap.wrap(line, WIDTH, subsequent_indent=under, break_on_hyphens=False) if len(line) > WIDTH else [line]
    return out


def changes_text(run):
    lines, found = ["What changed on the machine"], difference(run.before, run.after, run.journal)
    for section, title in SECTIONS:
        mine = [text for name, text in found if name == section]
        lines += [f"  {title}:"] + [f"    {text}" for text in mine or ["(none)"]]
    return lines


def timeline_text(run, steps):
    span = round((run.log[-1].time - run.log[0].time).total_seconds() * 1000) if run.log else 0
    wall = round(run.seconds * 1000)
    children = sum(i.ms for s in steps for i in s.items if i.kind == "child")
    waits = sum(i.ms for s in steps for i in s.items if i.kind == "wait")
    lines = ["Step timeline (ms from the first record)",
             f"  wall time {wall} ms: {span} between the first and the last record, {wall - span} for the process",
             f"  start and exit; child processes {children} ms, mandated waits {waits} ms",
             f"  {'start':>6}{'ms':>6}  step (its records), and inside it: run (a child process), wait (mandated)"]
    for s in steps:
        lines.append(f"  {s.start:>6}{s.ms:>6}  {s.name} ({s.records})")
        lines += [f"  {i.start:>6}{i.ms:>6}   {'run' if i.kind == 'child' else 'wait'} {i.label}" for i in s.items]
    return lines


def records_text(run):
    if not run.log:
        return ["Log records: none (the run wrote no log)"]
    marked = sum(r.level in MARKS for r in run.log)
    lines = [f"Log records: {len(run.log)}, {marked} warnings or errors (' !' warning, '!!' error or fatal)"]
    for r in run.log:
        at = round((r.time - run.log[0].time).total_seconds() * 1000)
        texts = PROCESS_ID.sub(r"\1<pid>", r.text).split("\n")
        lines += wrap([f"{MARKS.get(r.level, '  ')}{at:>7}  {text}" for text in texts], indent=13)
    return lines


def run_text(number, run):
    ok = "as expected" if run.exit_code == run.expected else f"EXPECTED {run.expected}"
    lines = [f"=== Run {number}: {run.title} " + "=" * max(3, WIDTH - 12 - len(run.title) - len(str(number))),
             f"folder     {run.folder}", f"exit code  {run.exit_code}: {meaning(run.exit_code)} ({ok})", ""]
    return lines + changes_text(run) + [""] + timeline_text(run, timeline(run.log, run.journal)) + [""] + records_text(run)


def report(runs, picture=None):
    """The whole report: each run in order, then one line per run's outcome."""
    lines = []
    for number, run in enumerate(runs, 1):
        lines += run_text(number, run) + [""]
    lines += [f"Run {n}, {run.title}: exit code {run.exit_code} ({meaning(run.exit_code)})"
              for n, run in enumerate(runs, 1)]
    lines += [f"Timeline picture: {picture}"] if picture else []
    return "\n".join(wrap(lines)) + "\n"

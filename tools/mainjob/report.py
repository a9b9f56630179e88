"""The main job's report as plain text for a terminal 100 columns wide. Pure: it renders RunResults
that the play recorded; two reports of the same play differ only in their durations (process ids in
records are shown as <pid> for that reason). Each run's kind, verdict, timeline and what went wrong
are told by logstory, as tools/explain-log.py tells them for a log from the field."""
import re
from typing import NamedTuple

from logstory.explanations import load
from logstory.story import meaning, story
from logstory.text import MARKS, WIDTH, problems_lines, steps_lines, wrap

from .difference import difference

SECTIONS = (("registry", "Registry values (+ added, - removed, ~ changed)"),
            ("service", 'Service "Kelvara Service"'), ("shortcuts", "Shortcuts"),
            ("files", "Folders and files"), ("restart", "Scheduled for restart (PendingFileRenameOperations)"),
            ("processes", "Processes"), ("driver tool", "Driver tool calls, with their working folders"))
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
             f"  start and exit; child processes {children} ms, mandated waits {waits} ms"]
    return lines + steps_lines(steps)


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


def run_text(number, run, told):
    ok = "as expected" if run.exit_code == run.expected else f"EXPECTED {run.expected}"
    lines = [f"=== Run {number}: {run.title} " + "=" * max(3, WIDTH - 12 - len(run.title) - len(str(number))),
             f"folder     {run.folder}", f"kind       {told.kind}",
             f"exit code  {run.exit_code}: {meaning(run.exit_code)} ({ok})", f"verdict    {told.verdict}", ""]
    return (lines + changes_text(run) + [""] + timeline_text(run, told.steps) + [""] + problems_lines(told) + [""]
            + records_text(run))


def report(runs, picture=None):
    """The whole report: each run in order, then one verdict line per run."""
    entries, lines = load(), []
    told = [story(run.log, entries, run.journal) for run in runs]
    for number, (run, run_story) in enumerate(zip(runs, told), 1):
        lines += run_text(number, run, run_story) + [""]
    lines += [f"Run {n}: {run_story.verdict}" for n, run_story in enumerate(told, 1)]
    lines += [f"Timeline picture: {picture}"] if picture else []
    return "\n".join(wrap(lines)) + "\n"

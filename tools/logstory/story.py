"""One run told from its records: the header (when, which module and version, silent or not, the
installation root), the kind of run, its result, the step timeline, what went wrong with an explanation
of each record, and a one-line verdict. Pure. The main job's report and tools/explain-log.py both tell
runs through story()."""
import re
from typing import NamedTuple

from logstory.explanations import explain
from logstory.records import STARTED
from mainjob.timeline import QUIT_TIMEOUT_MS, TERMINATING, step_of_each, timeline

EXIT_CODES = {
    0: "installation complete",
    1: "not enough rights (the caller is not an elevated administrator)",
    7: "an exception reached the entry",
    9: "the customization settings are missing or empty",
    100: "installation complete, a reboot is required",
}
VERSION = re.compile(r"\d+(\.\d+)+")
TOOL = re.compile(r'Executing: "(.*?)\\+(x64\\+drivertool64|drivertool32)\.exe" install ')
REBOOT_REASONS = (  # record text: why the run asks for a reboot
    (re.compile(r"drivertool\.exe install returned 1$"), "the driver tool answered 1"),
    (re.compile(r"drivertool\.exe install returned exception"), "the driver tool could not be run"),
    (re.compile(r"Can't stop service "), "the service did not stop"),
    (re.compile(r"service can't be started"), "the service did not start"),
)


class Problem(NamedTuple):
    record: object  # the Record
    step: str
    explained: object  # an Explained, or None: "not explained"


class Story(NamedTuple):
    title: str  # the run in a few words: "upgrade from 2.69.34.0 to 2.69.35.0"
    header: dict  # started, offset, session, pid, tid, module, version, title, mode, root, registry root
    kind: str
    exit_code: object  # int, or None when the run has no "Returning" record
    result: str
    steps: list  # mainjob.timeline Steps
    problems: list
    verdict: str


def meaning(code):
    return EXIT_CODES.get(code, "not an exit code of the installer")


def _message(records, function, prefix):
    """The rest of the first message of that function starting with prefix, or None."""
    return next(
        (r.message[len(prefix):] for r in records if r.function == function and r.message.startswith(prefix)), None
    )


def version_of(folder):
    """The version a version folder names (its last component), or the folder itself."""
    name = folder.rstrip("\\").rsplit("\\", 1)[-1]
    return name if VERSION.fullmatch(name) else folder


def header(records, pid, tid):
    banner = next((r for r in records if not r.function and r.message.startswith(STARTED)), None)
    zone = re.search(r"\((UTC[^,]*), session: (0x[0-9a-f]+)\)", banner.message) if banner else None
    installing = re.match(r"(.*), version (.*)\. title: (.*)", _message(records, "WinMain", "Installing ") or "", re.S)
    silent = _message(records, "MainLogic::execute", "Doing silent installation!") is not None
    read = _message(records, "MainLogic::execute", "Installation root directory: ")  # read before the silent flag
    return {
        "started": records[0].time if records else None,
        "offset": zone[1] if zone else "unknown (no start banner)",
        "session": zone[2] if zone else "unknown",
        "pid": pid,
        "tid": tid,
        "module": installing[1] if installing else None,
        "version": installing[2] if installing else None,
        "title": installing[3] if installing else None,
        "mode": "silent" if silent else "interactive" if read is not None else "unknown (not logged before the end)",
        "root": read.strip('"') if read is not None else None,
        "registry root": _message(records, "WinMain", "ULU registry root: "),
    }


def kind_of(records):
    """The kind of run in the words support uses, or None when the records do not tell."""
    execute = "MainLogic::execute"
    if (
        _message(records, execute, "Not enough rights.") is not None
        or _message(records, execute, "Failed to initialize config") is not None
    ):
        return "run refused by the start checks"
    resumed = _message(records, execute, "Resuming the interrupted upgrade from ")
    earlier = _message(records, execute, "Upgrade scenario, old installation detected in: ")
    tool = next((TOOL.search(r.message) for r in records if TOOL.search(r.message)), None)
    if resumed is not None:
        return f"resumed interrupted upgrade from {version_of(resumed)}"
    if earlier is not None and (
        _message(records, execute, "Old data kept: ") is not None or (tool and tool[1].lower() == earlier.lower())
    ):
        return "same-version run again"
    if earlier is not None:
        return f"upgrade from {version_of(earlier)}"
    if _message(records, execute, "First time installation") is not None:
        return "first installation"
    return None


def problems_of(records, entries):
    """A Problem for each warning, error and fatal record, and for each other record the table explains."""
    steps, out = step_of_each(records), []
    for record, step in zip(records, steps):
        text = f"{record.function}: {record.message}" if record.function else record.message
        explained = explain(entries, record.level, text)
        if explained or record.level in "WEF":
            out.append(Problem(record, step or (explained.entry.step if explained else ""), explained))
    return out


def title_of(head, kind):
    version = head["version"] or "an unknown version"
    if kind.startswith(("upgrade from", "resumed", "interrupted run (upgrade", "interrupted run (resumed")):
        return f"{kind[:-1]} to {version})" if kind.endswith(")") else f"{kind} to {version}"
    return f"{kind} of {version}"


def verdict_of(code, steps, records, problems):
    troubles = sum(p.record.level in "WEF" for p in problems)
    more = f"; {troubles} warning or error" if troubles == 1 else f"; {troubles} warnings or errors" if troubles else ""
    if code is None:
        return f'interrupted in the step "{steps[-1].name if steps else "entry"}"{more}'
    if code == 100:
        texts = [f"{r.function}: {r.message}" for r in records]
        reasons = [why for pattern, why in REBOOT_REASONS if any(pattern.search(t) for t in texts)]
        because = f" because {reasons[0]}" if len(reasons) == 1 else ""
        because = because or (f" because {', '.join(reasons[:-1])} and {reasons[-1]}" if reasons else "")
        stopped = _message(records, "MainLogic::execute", "DONE. Reboot requested. Stop product") is not None
        return f"complete, reboot needed{because}{'; the product was stopped' if stopped else ''}{more}"
    outcome = {
        0: "complete",
        1: "refused, not enough rights",
        7: "failed, an exception reached the entry",
        9: "refused, the customization settings are missing",
    }
    return outcome.get(code, f"ended with {code}, {meaning(code)}") + more


def quit_journal(records):
    """Journal lines, as the lab's stand-ins write them, for the processes that quit when asked: the ones
    terminated sooner than their whole quit time after the record before. Without them the timeline
    would count every stopped process as waited for in full."""
    lines = []
    for before, r in zip(records, records[1:]):
        terminating = TERMINATING.match(r.message)
        name = terminating[1] if terminating else ""
        if terminating and (r.time - before.time).total_seconds() * 1000 < QUIT_TIMEOUT_MS.get(name.lower(), 0):
            lines.append(f"{name}: exit")
    return lines


def story(records, entries, journal=None):
    """The Story of one run's records (oldest first); entries: the explanations table; journal: the lines
    the lab's stand-ins wrote during the run (None: a log from the field, without them)."""
    head = header(records, records[0].pid if records else None, records[0].tid if records else None)
    returning = _message(records, "WinMain", "Returning: ")
    code = int(returning) if returning and re.fullmatch(r"-?\d+", returning) else None
    kind = kind_of(records)
    if code is None:
        kind = "interrupted run" + (f" ({kind})" if kind else "")
    elif kind is None:
        kind = "run ended by an exception before the upgrade detection" if code == 7 else "run of an unknown kind"
    steps = timeline(records, quit_journal(records) if journal is None else journal)
    problems = problems_of(records, entries)
    if code is not None:
        result = f"exit code {code}: {meaning(code)}"
    elif not records:
        result = "no record at all: the run wrote nothing to this log"
    else:
        last = records[-1]
        result = (
            f'interrupted: no "Returning" record; the last step reached is "{steps[-1].name if steps else "entry"}" '
            f"(last record at {last.time.strftime('%H:%M:%S.%f')[:-3]}: {last.text})"
        )
    title = title_of(head, kind)
    return Story(
        title, head, kind, code, result, steps, problems, f"{title}: {verdict_of(code, steps, records, problems)}"
    )

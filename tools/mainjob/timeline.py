"""The step timeline of one installation run, from its log records and the lines the stand-ins
journalled during it: where each step of the sequence starts, how long it takes, and the child
processes and the waits the behaviour mandates inside it. Pure: no lab, no files, no clock.

At the default log level the waits show only through the records around them, so they are read
from the gaps: the service waits and the probes after a termination sleep 100 ms per poll, so a gap
holds as many whole polls as fit in it; a process that did not quit when asked (the journal has no
"exit" for it) was waited for the whole time the installer gives it."""
import re
from typing import NamedTuple

POLL_MS = 100
PROBE_BUDGET_MS = 1000  # at most ten probes until a terminated process is gone
QUIT_TIMEOUT_MS = {"kelvara.exe": 4000, "openvpn.exe": 8000}  # the client's and the tunnel's time to quit
TERMINATING = re.compile(r"Terminating process: \d+\. exe: (.*)")
CHILD = "ExecuteApplication::executeUtility"


def _is(function, *prefixes):
    return lambda r: r.function == function and r.message.startswith(prefixes)


# Each step is recognised by its first record, searched for after the step before it.
STEPS = (
    ("entry", lambda r: r.function == "" and "LOGGING STARTED" in r.message),
    ("start checks", _is("WinMain", "Executing main logic")),
    ("service registration",
     lambda r: r.function in ("ov::ul::UpdatedService::create", "ov::ul::UpdatedService::update")),
    ("upgrade detection, old components", _is("MainLogic::execute", "First time installation", "Upgrade scenario")),
    ("old shortcuts",
     lambda r: r.function.startswith("ShortcutCreator::") or r.function == "::ReadKelvaraRegistryValue"),
    ("product values", _is("MainLogic::execute", "Remove KelvaraAutoStart")),
    ("driver installation",
     lambda r: re.match(r'drivertool\.exe install returned|Executing: .*drivertool(32|64)\.exe" install ', r.message)),
    ("shell entries", lambda r: r.function.startswith("UninstallationEntries::")),
    ("finishing", lambda r: r.function in ("ov::ul::ServiceBase::startService", "ov::ul::UpdatedService::start",
                                           "ov::ul::WaitForServiceStatus")
     or r.message.startswith("Old data ")),
    ("ending", _is("MainLogic::execute", "DONE.")),
    ("update activation", lambda r: r.function == "activateUpdateModule"),
    ("exit", _is("WinMain", "Returning:")),
)
# Steps that may log nothing at the default level, with the step that runs just before them: when
# that one ran, they are placed between it and the next step that logged.
SILENT_AFTER = {"product values": "old shortcuts", "update activation": "ending"}


class Item(NamedTuple):
    kind: str  # "child": a process the installer started and waited for; "wait": a mandated wait
    label: str
    start: int  # ms from the first record
    ms: int


class Step(NamedTuple):
    name: str
    start: int  # ms from the first record
    ms: int
    records: int
    items: tuple


def short_command(command_line):
    """A command line with its quoted program path cut to the file name."""
    return re.sub(r'^"[^"]*\\([^"\\]+)"', r"\1", command_line)


def _polls(ms):
    return max(0, ms) // POLL_MS * POLL_MS  # the part of a gap that whole polls fill


def _items(log, at, journal):
    """[(index of the record the item belongs to, Item)] for every child process and mandated wait."""
    quit = {line.split(": ")[0].rsplit("\\", 1)[-1].lower() for line in journal if line.endswith(": exit")}

    def quit_wait(name):
        return 0 if name.lower() in quit else QUIT_TIMEOUT_MS.get(name.lower(), 0)

    out = []
    for i, r in enumerate(log):
        gap = at[i] - at[i - 1] if i else 0
        terminating = TERMINATING.match(r.message)
        if r.function == CHILD and r.message.startswith("Executing: "):
            end = next((j for j in range(i + 1, len(log)) if log[j].function == CHILD), i)
            command = short_command(r.message[len("Executing: "):])
            code = "exit " + log[end].message.rsplit(" ", 1)[-1] if " exit code " in log[end].message else "not started"
            out.append((i, Item("child", f"{command} -> {code}", at[i], at[end] - at[i])))
        elif r.function == "ov::ul::UpdatedService::stop" and r.message.endswith(" service is stopped"):
            out.append((i, Item("wait", "service stop: 100 ms polls", at[i] - _polls(gap), _polls(gap))))
        elif r.function in ("ov::ul::ServiceBase::startService", "ov::ul::WaitForServiceStatus"):  # its time-out too
            out.append((i, Item("wait", "service start: 100 ms polls", at[i] - _polls(gap), _polls(gap))))
        elif terminating:
            name = terminating.group(1)
            out.append((i, Item("wait", f"{name}: quit wait", at[i] - quit_wait(name), quit_wait(name))))
            # The probes run until the next record, or until the next process's own wait began.
            following = TERMINATING.match(log[i + 1].message) if i + 1 < len(log) else None
            upto = (at[i + 1] - (quit_wait(following.group(1)) if following else 0)) if i + 1 < len(log) else at[i]
            probes = min(PROBE_BUDGET_MS, _polls(upto - at[i]))
            out.append((i, Item("wait", f"{name}: probes until gone", at[i], probes)))
    return out


def first_records(log):
    """{step name: index of its first record} of the steps that logged, in the sequence's order."""
    first, position = {}, 0
    for name, is_first in STEPS:
        index = next((i for i in range(position, len(log)) if is_first(log[i])), None)
        if index is not None:
            first[name], position = index, index + 1
    return first


def step_of_each(log):
    """The name of the step each record belongs to ("" before the first step)."""
    starts = sorted((index, name) for name, index in first_records(log).items())
    names, current = [], ""
    for i in range(len(log)):
        while starts and starts[0][0] <= i:
            current = starts.pop(0)[1]
        names.append(current)
    return names


def timeline(log, journal=()):
    """The Steps of a run in the sequence's order, from its Records and its journal lines. A step
    starts where the one before it ended, and ends with its last record or its last wait."""
    if not log:
        return []
    at = [round((r.time - log[0].time).total_seconds() * 1000) for r in log]
    first = first_records(log)
    starts = sorted(first.values())
    last = {name: next((s - 1 for s in starts if s > index), len(log) - 1) for name, index in first.items()}
    items = _items(log, at, journal)
    steps, previous_end = [], 0
    for name, _ in STEPS:
        if name in first:
            inside = tuple(item for index, item in items if first[name] <= index <= last[name])
            end = max([at[last[name]]] + [item.start + item.ms for item in inside])
            steps.append(Step(name, previous_end, end - previous_end, last[name] - first[name] + 1, inside))
        elif SILENT_AFTER.get(name) in first:
            later = [s for s in starts if s > first[SILENT_AFTER[name]]]
            if not later:
                continue
            steps.append(Step(name, previous_end, max(0, at[later[0]] - previous_end), 0, ()))
        else:
            continue
        previous_end = steps[-1].start + steps[-1].ms
    return steps

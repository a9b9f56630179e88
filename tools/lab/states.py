"""Named states of the product's machine and the play of a scenario row through them: from a reset lab, the new
version unpacked, the states before reached in order, the new version installed, then one verifier per kind of
state: the exit code, the records, the machine state in expect_state's form, what stays as it was, and what the
log explainer tells of the run."""

import os
import shutil
import unittest
from pathlib import Path
from typing import Callable, NamedTuple, Optional

from logstory.explanations import load
from logstory.records import parse_records
from logstory.story import story

from .runner import ABSENT, Lab, LabError, expect_log, expect_state, set_op
from .vocabulary import (
    APP_NAME,
    CLIENT_EXE,
    DEFAULT_ROOT,
    DRIVERS_KEY,
    DRIVER_CHANGE_DONE,
    FOLDER_A,
    FOLDER_B,
    INSTALL_ROOT,
    LOGGING_KEY,
    LOG_NAME,
    LOG_SIZE_LIMIT,
    MODULES_KEY,
    OWN_LOGGING_KEY,
    PENDING_RENAMES,
    PRODUCT_KEY,
    PRODUCT_KEY_64,
    PRODUCT_LOGGING_KEY,
    SERVICE_EXE,
    SERVICE_KEY,
    SESSION_KEY,
    SUPPORT_TOOL_EXE,
    TUNNEL_DRIVER,
    UNINSTALL_KEY,
    UNINSTALL_KEY_64,
    VERSION_A,
    VERSION_B,
)

EXPLANATIONS = load()


class _Unchanged:
    def __repr__(self):
        return "UNCHANGED"


UNCHANGED = _Unchanged()  # in an expected state: exactly as the probe before the run had it


# The states. Each is a function of the lab that brings it one step closer to a row's machine; one that
# changes what reset() does not restore returns its undo.


def earlier_version_installed(lab):
    """Version A in its folder, installed by its own installer."""
    run = lab.install(lab.unpack(VERSION_A))
    if run.exit_code:
        raise LabError(f"the earlier version's installation ended with {run.exit_code}")


def configured(folder, exe, text):
    """The stand-in exe of a version folder behaving as its settings say, e.g. "exit_code=1"."""

    def reach(lab):
        (lab.unix(folder) / exe.replace("\\", "/")).with_suffix(".txt").write_text(text)

    return reach


def file_missing(folder, file):
    def reach(lab):
        (lab.unix(folder) / file.replace("\\", "/")).unlink()

    return reach


def file_read_only(folder, file):
    def reach(lab):
        os.chmod(lab.unix(folder) / file, 0o444)

    return reach


def value_set(key, name, value):
    """A registry value (HKLM, 64-bit view), written as the probe shows it (see set_op)."""

    def reach(lab):
        lab.apply(set_op(key, name, value))

    return reach


def writes_refused(key):
    """Everyone may read the key, nobody may write it."""

    def reach(lab):
        lab.apply(("deny", key))

    return reach


def pending_renames(value):
    """The restart-time operation list as the value given."""
    return value_set(SESSION_KEY, PENDING_RENAMES, value)


def log_levels(own=None, product=None, machine=None):
    """LogLevel in the log's own settings, the product's and the machine's (None: not set)."""

    def reach(lab):
        levels = ((OWN_LOGGING_KEY, own), (PRODUCT_LOGGING_KEY, product), (LOGGING_KEY, machine))
        lab.apply(*[set_op(key, "LogLevel", level) for key, level in levels if level is not None])

    return reach


def held(kind, name):
    """("file", PATH) open without sharing, ("mutex", NAME) owned, or ("service", NAME) open while deleted,
    by another process until the reset."""

    def reach(lab):
        lab.hold(kind, name)

    return reach


def running(folder, exe):
    """A stand-in of a version folder running, as a user's machine has it."""

    def reach(lab):
        lab.start(rf"{folder}\{exe}")

    return reach


def log_folder_fresh(lab, root=None):
    """The machine log's folder (or a log root's) empty: the run's log starts from nothing."""
    folder = lab.unix(root) if root else Path(lab.log_base()).parent
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)


def log_root_moved(root):
    """The machine's log settings name another root folder, empty."""

    def reach(lab):
        lab.apply(set_op(LOGGING_KEY, "RootPath", root))
        log_folder_fresh(lab, root)

    return reach


def log_file_holding(content):
    """A fresh log folder whose log file holds content already."""

    def reach(lab):
        log_folder_fresh(lab)
        Path(lab.log_base() + ".log").write_bytes(content)

    return reach


def log_hard_linked_to_foreign_file(content):
    """The log file is a hard link to another program's file "foreign.txt" beside it."""

    def reach(lab):
        log_folder_fresh(lab)
        foreign = Path(lab.log_base()).with_name("foreign.txt")
        foreign.write_bytes(content)
        os.link(foreign, lab.log_base() + ".log")

    return reach


def log_lock_held(lab):
    """A fresh log folder, and the log's cross-process lock owned by another process."""
    log_folder_fresh(lab)
    lab.hold("mutex", "Global\\OvKmfLogging_" + rf"{lab.folders()['program_data']}\{LOG_NAME}".replace("\\", "_"))


def explorer_folder_values_missing(lab):
    """No "Common Desktop" and "Common Programs" in Explorer's folder keys: the folders are asked of the shell."""
    saved = []
    for name in ("User Shell Folders", "Shell Folders"):
        key, copy = rf"SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\{name}", lab.build / f"lab-{name}.reg"
        lab.wine("reg", "export", "HKLM\\" + key, lab.win(copy), "/y")
        saved.append(copy)
        lab.apply(("delete", key, "Common Desktop"), ("delete", key, "Common Programs"))

    def undo():
        for copy in saved:
            lab.wine("reg", "import", lab.win(copy))

    return undo


# Expected states shared by rows, in expect_state's form.

DRIVER_INSTALLED = {"registry": {DRIVERS_KEY: {TUNNEL_DRIVER: "installed"}}}  # by the new version's driver tool
DRIVER_CHANGE_MARKED = {"registry": {PRODUCT_KEY: {DRIVER_CHANGE_DONE: "true"}}}
DRIVER_CHANGE_NOT_MARKED = {"registry": {PRODUCT_KEY: {DRIVER_CHANGE_DONE: ABSENT}}}


def installed(folder, version, name=APP_NAME):
    """The machine a successful installation of version from folder leaves, and nothing of the product in the
    64-bit view: the 32-bit installer writes without view flags."""
    client = {"target": rf"{folder}\{CLIENT_EXE}", "working_directory": folder, "arguments": ""}
    service = {"DisplayName": "Orvanta Kelvara Service", "Description": "Orvanta Kelvara Service", "Type": 16,
               "Start": 2, "ErrorControl": 0}
    uninstaller = rf"{folder}\ovvpnuninstall.exe"
    entry = {"Publisher": "Orvanta Corporation", "UninstallString": uninstaller, "DisplayIcon": uninstaller,
             "DisplayName": name, "DisplayVersion": version}
    product = {"AppPath": folder, "ProductName": name, "InstallationRootDirectory": INSTALL_ROOT,
               DRIVER_CHANGE_DONE: "true"}
    return {"registry": {PRODUCT_KEY: product, MODULES_KEY: {"path": folder}, SERVICE_KEY: service,
                         LOGGING_KEY: {LOG_SIZE_LIMIT: 5000}, UNINSTALL_KEY: entry,
                         PRODUCT_KEY_64.rsplit("\\", 1)[0]: ABSENT, UNINSTALL_KEY_64: ABSENT},
            "service": {"image": rf'"{folder}\{SERVICE_EXE}"', "start_type": 2, "state": "running"},
            "shortcuts": {rf"Desktop\{name}.lnk": client, rf"Programs\{name}\{name}.lnk": client,
                          rf"Programs\{name}\Support Tool.lnk": {"target": rf"{folder}\{SUPPORT_TOOL_EXE}"}}}


def product_named(name, **product_values):
    """The product's name in its values, its uninstall entry and its shortcuts' names, which start the new client."""
    client = {"target": rf"{FOLDER_B}\{CLIENT_EXE}"}
    return {
        "registry": {PRODUCT_KEY: {"ProductName": name, **product_values}, UNINSTALL_KEY: {"DisplayName": name}},
        "shortcuts": {rf"Desktop\{name}.lnk": client, rf"Programs\{name}\{name}.lnk": client},
    }


# A row, and its play.


class Row(NamedTuple):
    """A row: the machine before, the run, and what it must end with and leave."""

    before: tuple = ()  # the states, reached in this order after the new version is unpacked
    customization: Optional[bytes] = None  # the new installer's customization text (None: as built)
    env: Optional[dict] = None  # the framework's environment changed (None as a value unsets the variable)
    no_debug_privilege: bool = False  # the run's token lacks SeDebugPrivilege
    during: tuple = ()  # (record number or text, apply operation) done at that record of the run
    exit_code: int = 0  # the process's, and that of the record "I WinMain: Returning: N", added last
    records: tuple = ()  # texts, or patterns searched in them, in this order
    absent: tuple = ()  # texts or patterns no record may show
    state: Optional[dict] = None  # as expect_state takes it, with UNCHANGED for what stays as it was
    whole_log: bool = False  # the records are all of the log's (fresh before), not those after this run's banner
    log_root: Optional[str] = None  # ...all of the log under this root folder (fresh before) instead
    check: Optional[Callable] = None  # a verifier of its own, check(lab)
    verdict: Optional[str] = None  # the log explainer's verdict on the run (tools/explain-log.py)


def _probe(lab):
    """The lab's probe with the earlier folder's files, the machine log's files (name: bytes) and the events of
    each program's journal (exe: set)."""
    events = [line.split(": ", 1) for line in lab.journal()]
    return {
        **lab.probe(DEFAULT_ROOT, FOLDER_A),
        "logs": {path.name: path.read_bytes() for path in Path(lab.log_base()).parent.glob("*")},
        "journal": {exe: {event for program, event in events if program == exe} for exe, _ in events},
    }


def _exactly(before, after):
    """before as an expected state that also fails on what after holds beyond it."""
    if not (isinstance(before, dict) and isinstance(after, dict)):
        return before
    keys = before.keys() | after.keys()
    return {
        key: _exactly(before[key], after[key]) if key in before and key in after else before.get(key, ABSENT)
        for key in keys
    }


def _resolved(expected, before, after):
    """expected with each UNCHANGED replaced by the state before the run at that place; what expects only
    absent things below a key the probe lacks is met (the probe shows a key of a single value only with it)."""
    if expected is UNCHANGED:
        return _exactly(before, after)
    if not isinstance(expected, dict):
        return expected
    inside = [state if isinstance(state, dict) else {} for state in (before, after)]
    resolved = {
        key: _resolved(value, inside[0].get(key, ABSENT), inside[1].get(key, ABSENT)) for key, value in expected.items()
    }
    return ABSENT if after is ABSENT and _only_absent(resolved) else resolved


def _only_absent(expected):
    return all(value is ABSENT or isinstance(value, dict) and _only_absent(value) for value in expected.values())


def explained(run, verdict=None):
    """What support reads of the run's log (tools/explain-log.py): its exit code, every warning and error
    explained, and the verdict where one is given."""
    told = story(run.log, EXPLANATIONS)
    unexplained = [problem.record.text for problem in told.problems if not problem.explained]
    if told.exit_code != run.exit_code or unexplained:
        raise AssertionError(f"the log explainer tells exit {told.exit_code}; not explained: {unexplained}")
    if verdict is not None and told.verdict != verdict:
        raise AssertionError(f"the log explainer's verdict is {told.verdict!r}, not {verdict!r}")


def play(lab, row, add_cleanup):
    """Plays the row from a reset lab; add_cleanup(undo) receives what its states change beyond the reset.
    Raises AssertionError on the first expectation the run does not meet."""
    lab.reset()
    folder = lab.unpack(VERSION_B, customization=row.customization)
    for state in row.before:
        undo = state(lab)
        if undo:
            add_cleanup(undo)
    before = _probe(lab)
    run = lab.install(folder, env=row.env, no_debug_privilege=row.no_debug_privilege, on=row.during)
    if row.whole_log or row.log_root:
        base = str(lab.unix(rf"{row.log_root}\{LOG_NAME}")) if row.log_root else lab.log_base()
        run = run._replace(log=parse_records(lab.log_lines(base)[0]))
    if run.exit_code != row.exit_code:
        records = "\n  ".join(record.text for record in run.log)
        raise AssertionError(f"exit {run.exit_code}, not {row.exit_code}:\n  {records}")
    expect_log(run, [*row.records, f"I WinMain: Returning: {row.exit_code}"], row.absent)
    explained(run, row.verdict)
    after = _probe(lab)
    expect_state(after, _resolved(row.state or {}, before, after))
    if row.check:
        row.check(lab)


class RowTests(unittest.TestCase):
    """class X(RowTests, rows={name: Row}) has one test_<name> per row, each played alone on the class's lab."""

    def __init_subclass__(cls, rows=None, **kwargs):
        super().__init_subclass__(**kwargs)
        cls.lab = Lab()
        for name, row in (rows or {}).items():
            setattr(cls, f"test_{name}", _row_test(row))

    @classmethod
    def tearDownClass(cls):
        cls.lab.reset()  # nothing held or running stays behind


def _row_test(row):
    def test(self):
        play(self.lab, row, self.addCleanup)

    return test

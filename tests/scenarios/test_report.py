"""The main job's report from recorded inputs, without Wine: the step timeline and the machine difference."""
import unittest

from lab import parse_records
from mainjob.difference import PENDING, difference
from mainjob.timeline import timeline

A, B, T, U = r"C:\K\A", r"C:\K\B", r"\\drivertool32.exe", "ov::ul::UpdatedService::"
K = r"SOFTWARE\Wow6432Node\K"  # a key of the 32-bit view, as the probe names it
EXE = "ExecuteApplication::executeUtility: "
KILL = "ExecuteApplication::killProcessesByName: Terminating process: 7. exe: "
UPGRADE = [(0, "***  LOGGING STARTED  ***"), (2, "WinMain: Executing main logic..."), (10, U + "update: S is updated"),
           (125, U + "stop: S service is stopped"), (126, "MainLogic::execute: Upgrade scenario in A"),
           (130, f'{EXE}Executing: "{A}{T}" uninstall O K w'), (170, f"{EXE}{A}{T} exit code 0"),
           (180, KILL + "Kelvara.exe"), (8690, KILL + "openvpn.exe"), (9200, "ShortcutCreator::RemoveOldShortcuts: x"),
           (9210, f'{EXE}Executing: "{B}{T}" install O K w'), (9250, f"{EXE}{B}{T} exit code 1"),
           (9260, "UninstallationEntries::Install: Adding"), (9300, "ov::ul::ServiceBase::startService: S started"),
           (9301, "MainLogic::execute: DONE. Reboot requested. Stop product"), (9302, "WinMain: Returning: 100")]
# name, records, journal, [(step, start, ms, [ms of the child processes and waits in it])]; the client quit when
# asked (its journal says so), the tunnel has no window to be asked through
TIMELINES = [("upgrade", UPGRADE, [rf"{A}\Kelvara.exe: exit"], [
    ("entry", 0, 0, []), ("start checks", 0, 2, []), ("service registration", 2, 123, [100]),
    ("upgrade detection, old components", 125, 9065, [40, 0, 500, 8000, 500]), ("old shortcuts", 9190, 10, []),
    ("product values", 9200, 10, []), ("driver installation", 9210, 40, [40]), ("shell entries", 9250, 10, []),
    ("finishing", 9260, 40, [0]), ("ending", 9300, 1, []), ("update activation", 9301, 1, []), ("exit", 9302, 0, [])]),
    ("refused", UPGRADE[:2] + [(3, "MainLogic::execute: Failed to initialize config"), (5, "WinMain: Returning: 9")],
     [], [("entry", 0, 0, []), ("start checks", 0, 3, []), ("exit", 3, 2, [])])]
BEFORE = {"registry": {K: {"AppPath": A, "Old": 1}, PENDING[0]: {PENDING[1]: [r"\??\C:\x", ""]}},
          "service": {"image": A, "start_type": 2, "state": "running"}, "processes": [A + r"\k.exe"],
          "shortcuts": {"K.lnk": {"target": A, "app_user_model_id": None}}, "files": {"C:\\K": ["A\\", r"A\f"]}}
AFTER = {"registry": {K: {"AppPath": B, "Log": {"type": 0, "hex": ""}}, K + r"\m": {},
                      PENDING[0]: {PENDING[1]: [r"\??\C:\x", "", A + r"\f", "", r"C:\y", r"C:\z"]}},
         "service": dict(BEFORE["service"], image=B), "processes": [], "files": {"C:\\K": []},
         "shortcuts": {"K.lnk": {"target": B, "app_user_model_id": None}}}
JOURNAL = [rf'{B}\drivertool32.exe: command line "{B}{T}" install O K w',
           rf"{B}\drivertool32.exe: working directory {B}"]
DIFFERENCE = [("registry", line) for line in (r"HKLM\SOFTWARE\K (32-bit view)", "  ~ AppPath",
                                              f'      was "{A}"', f'      now "{B}"',
                                              "  + Log = type 0, bytes (none)", "  - Old (was 1)",
                                              r"key added: HKLM\SOFTWARE\K\m (32-bit view)")] + [
    ("service", f"image path: {A} -> {B}"), ("service", "start type: 2 (automatic)"), ("service", "state: running"),
    ("shortcuts", "changed: K.lnk"), ("shortcuts", f"    target was {A}"), ("shortcuts", f"    target {B}"),
    ("shortcuts", "    AppUserModelID not stored by Wine"), ("files", "removed: C:\\K\\A\\"),
    ("restart", rf"delete {A}\f"), ("restart", r"move C:\y -> C:\z"), ("processes", rf"stopped: {A}\k.exe"),
    ("driver tool", f'"{B}{T}" install O K w'), ("driver tool", f"    in {B}")]


class Report(unittest.TestCase):
    def test_timeline(self):
        for name, rows, journal, steps in TIMELINES:
            with self.subTest(name):
                log = parse_records(f"2026-01-01 00:00:{ms / 1000:06.3f} [0001.0001]  I: {text}" for ms, text in rows)
                found = [(s.name, s.start, s.ms, [i.ms for i in s.items]) for s in timeline(log, journal)]
                self.assertEqual(found, steps)

    def test_difference(self):
        self.assertEqual(difference(BEFORE, AFTER, JOURNAL), DIFFERENCE)

"""Rows of the entry and the start checks: the run context read from the environment, the
refusals without administrator rights or customization, and what each run writes to its log."""
import re
import unittest

from lab import MISSING, UPDATES, VERSION_B as VERSION, Lab, changes, expect_log

DEFAULT_ROOT = r'I MainLogic::execute: Installation root directory: "C:\Program Files (x86)\Orvanta\Kelvara"'
NAME = 'I MainLogic::execute: Application name: "Kelvara"'
MODEL = 'I MainLogic::execute: App model id: "Orvanta.Kelvara"'
SILENT = "I MainLogic::execute: Doing silent installation!"
DEFAULTED = re.compile("Using default value")
ROOT_LINE, BANNER = re.compile("ULU registry root"), re.compile("WinMain: Installing ")
UNSET_PRODUCT = {"kelvara_app_name": None, "UL_ROOT_DIR": None, "kelvara_app_model_id": None}
WARNINGS = [f"W GetEnvVariable: Using default value for {name}" for name in UNSET_PRODUCT]
LONG_ROOT = "C:\\" + "r" * 1019  # 1022 characters: the longest value the sequence takes

# name, environment (None: unset), records in this order, records that must not be there
CONTEXT_ROWS = [
    ("every variable set", {}, [
        re.compile(r"^I \*\*\*  LOGGING STARTED  \*\*\* \(UTC"),
        r"I WinMain: ULU registry root: SOFTWARE\Orvanta\Updater",
        f"I WinMain: Installing kelvara-win32, version {VERSION}. title: Kelvara {VERSION}",
        "I WinMain: Executing main logic...", DEFAULT_ROOT, NAME, MODEL, SILENT, "I WinMain: Main logic returned: 0",
        "I WinMain: Returning: 0", "I ***  LOGGING ENDED  ***"], [DEFAULTED]),
    ("hive dropped, title defaulted, product defaults",
     {"ul_reg_root": r"HKEY_LOCAL_MACHINE\SOFTWARE\X\Y", "ul_silent_installation": "Yes", "ul_title": None,
      "ul_module": "M", "ul_version": "1.0", **UNSET_PRODUCT, "kelvara_app_model_id": ""},
     [r"I WinMain: ULU registry root: SOFTWARE\X\Y", "I WinMain: Installing M, version 1.0. title: M 1.0",
      *WARNINGS, DEFAULT_ROOT, NAME, MODEL], [SILENT]),
    ("no version, longest root", {"ul_reg_root": "\\A", "ul_silent_installation": "yes ", "ul_version": None,
                                  "UL_ROOT_DIR": LONG_ROOT},
     ["I WinMain: ULU registry root: A", f'I MainLogic::execute: Installation root directory: "{LONG_ROOT}"'],
     [BANNER, SILENT, DEFAULTED]),
    ("no module, root too long", {"ul_reg_root": "SOFTWARE", "ul_silent_installation": "true", "ul_module": None,
                                  "UL_ROOT_DIR": LONG_ROOT + "r"},
     ["W GetEnvVariable: Using default value for UL_ROOT_DIR", DEFAULT_ROOT], [ROOT_LINE, BANNER, SILENT]),
    ("long title", {"ul_reg_root": "HKLM\\", "ul_silent_installation": None, "ul_title": "t" * 3000},
     [f"I WinMain: Installing kelvara-win32, version {VERSION}. title: {'t' * 3000}"], [ROOT_LINE, SILENT]),
    ("empty root, silent with a line end", {"ul_reg_root": "", "ul_silent_installation": "yes\n"}, [],
     [ROOT_LINE, SILENT]),
]


class EntryRows(unittest.TestCase):
    lab = Lab()

    def row(self, exit_code, in_order, absent=(), env=None, customization=None, restricted=False):
        """One run from a reset lab: its exit code, its records, and no change at all on a refusal."""
        self.lab.reset()
        folder = self.lab.unpack(VERSION, customization=customization)
        self.lab.apply(("set", rf"{UPDATES}\{VERSION}", "", 1, ""))
        before = self.lab.probe()
        run = self.lab.install(folder, env=env, restricted=restricted)
        self.assertEqual(run.exit_code, exit_code, [r.text for r in run.log])
        expect_log(run, in_order, absent)
        if exit_code != 0:
            self.assertEqual(changes(before, self.lab.probe()), [])

    def test_run_context(self):
        for name, env, in_order, absent in CONTEXT_ROWS:
            with self.subTest(name):
                self.row(0, in_order, absent, env)
        lines, banner = self.lab.log_lines(self.lab.log_base())
        self.assertEqual(lines[banner - 1], "")  # an empty line sets each run apart

    def test_start_checks(self):
        # Without rights nothing is read, not even the customization or the environment.
        self.row(1, ["E MainLogic::execute: Not enough rights.", "I WinMain: Returning: 1"],
                 [DEFAULTED, re.compile("Installation root directory|Failed to initialize config")],
                 UNSET_PRODUCT, MISSING, restricted=True)
        for customization in (b"=no key\r\n\r\n=", MISSING):
            with self.subTest(customization):
                self.row(9, [*WARNINGS, DEFAULT_ROOT, NAME, MODEL, "F MainLogic::execute: Failed to initialize config",
                             "I WinMain: Returning: 9"], env=UNSET_PRODUCT, customization=customization)

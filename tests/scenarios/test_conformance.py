"""Rows of rules no other file reaches: the earlier folder named another way, with a NUL or not as a local folder,
the interrupted upgrade's record, update packages after a reboot ending, odd leftovers of earlier versions."""
import re
import unittest

from lab import ABSENT, DRIVER_TOOL, LOGGING_KEY, MODULES_KEY, PRODUCT_KEY, RUN_KEY, UPDATES, Lab, set_op
from lab import VERSION_A as A, VERSION_B as B, expect_log, expect_state, installed
from lab import CLIENT_EXE

STEPS = ("uninstall", "uninstall old tap", "calloutuninstall")  # the earlier tool's removals
TOOL_FAILS = [f"E drivertool.exe {step} returned exception" for step in STEPS]


def seq(*texts):
    """Records of the sequence: "W text" a warning, "E text" an error, any other text an info record."""
    leveled = [text if text[:2] in ("W ", "E ") else "I " + text for text in texts]
    return [text[:2] + "MainLogic::execute: " + text[2:] for text in leveled]


def raw(kind, text):
    """A registry value of this type holding exactly the UTF-16 units of text."""
    return {"type": kind, "hex": text.encode("utf-16-le").hex()}


class ConformanceRows(unittest.TestCase):
    lab = Lab()

    def setUp(self):
        self.lab.reset()

    def test_this_installation_named_another_way_or_held_is_kept(self):
        folder, _ = self.lab.install_version(B)
        through_z = "Z:" + str(self.lab.unix(folder)).replace("/", "\\")
        other_ways = [(folder.lower() + "\\", "is"), (through_z, "is"), (folder.rsplit("\\", 1)[0], "holds")]
        for app_path, kept in other_ways:
            with self.subTest(app_path):
                self.lab.apply(set_op(PRODUCT_KEY, "AppPath", app_path))
                _, run = self.lab.install_version(B, folder=folder)
                line = f"Old data kept: {app_path} {kept} the folder of this installation"
                expect_log(run, seq(line, "Old data removed: 0", "DONE."))
                expect_state(self.lab.probe(), installed(folder, B))

    def test_app_path_with_one_nul_more(self):
        earlier, _ = self.lab.install_version(A)
        self.lab.apply(set_op(PRODUCT_KEY, "AppPath", raw(1, earlier + "\0\0")))
        folder, run = self.lab.install_version(B)
        detected = f"Upgrade scenario, old installation detected in: {earlier}"
        expect_log(run, seq(detected, "drivertool.exe uninstall returned 0", "Old data removed: 1", "DONE."))
        self.assertFalse(self.lab.unix(earlier).exists())
        expect_state(self.lab.probe(), {"registry": {PRODUCT_KEY: {"AppPath": folder, "UpgradeFromPath": ABSENT}}})
        self.lab.install_version(B, folder=folder)

    def test_earlier_folder_behind_an_unexpanded_variable_is_not_used(self):
        earlier, _ = self.lab.install_version(A)
        self.lab.start(rf"{earlier}\{CLIENT_EXE}")
        unexpanded = "%SystemDrive%" + earlier[2:]
        self.lab.apply(set_op(PRODUCT_KEY, "AppPath", raw(2, unexpanded + "\0")))
        folder, run = self.lab.install_version(B)
        unused = f"W Earlier folder not used: {unexpanded} is not an absolute local path"
        expect_log(run, seq(unused, *TOOL_FAILS, "Old data removed: 0", "DONE."))
        self.assertEqual([f for f, *_ in self.lab.tool_runs()], [earlier, folder])  # A's install, B's install
        self.assertIn(rf"{earlier}\{CLIENT_EXE}", self.lab.probe()["processes"])

    def test_interrupted_upgrade_resumes_from_the_recorded_folder(self):
        earlier, _ = self.lab.install_version(A)
        folder = self.lab.unpack(B)
        # What a run of B cut short right after it wrote AppPath leaves.
        self.lab.apply(set_op(PRODUCT_KEY, "AppPath", folder), set_op(PRODUCT_KEY, "UpgradeFromPath", earlier))
        _, run = self.lab.install_version(B, folder=folder)
        resumed, detected = "Resuming the interrupted upgrade from ", "Upgrade scenario, old installation detected in: "
        expect_log(run, seq(resumed + earlier, detected + earlier, "Old data removed: 1"))
        runs = [(f, c) for f, _, c in self.lab.tool_runs()[1:]]
        self.assertEqual(runs, [(earlier, earlier)] * 3 + [(folder, folder)])
        self.assertFalse(self.lab.unix(earlier).exists())
        expect_state(self.lab.probe(), {"registry": {PRODUCT_KEY: {"UpgradeFromPath": ABSENT}}})

    def test_recorded_folder_that_cannot_be_ours_is_ignored(self):
        folder, _ = self.lab.install_version(B)
        foreign = self.lab.unpack("foreign", root=r"C:\Foreign")
        self.lab.start(rf"{foreign}\{CLIENT_EXE}")
        toolless = self.lab.unpack(A, omit=[DRIVER_TOOL])
        for recorded, reason in (
            (foreign, "is not directly under the installation root"),
            (folder, "is the folder of this installation or holds it"),
            (toolless, "holds no driver tool"),
        ):
            with self.subTest(reason):
                self.lab.apply(set_op(PRODUCT_KEY, "UpgradeFromPath", recorded))
                _, run = self.lab.install_version(B, folder=folder)
                ignored = f"W UpgradeFromPath ignored and deleted: {recorded} {reason}"
                expect_log(run, seq(ignored, f"Upgrade scenario, old installation detected in: {folder}"))
                expect_state(self.lab.probe(), {"registry": {PRODUCT_KEY: {"UpgradeFromPath": ABSENT}}})
        self.assertEqual({f for f, *_ in self.lab.tool_runs()}, {folder})
        self.assertTrue(all(self.lab.unix(f).exists() for f in (foreign, toolless)))
        self.assertIn(rf"{foreign}\{CLIENT_EXE}", self.lab.probe()["processes"])

    def test_reboot_ending_marks_the_exact_package_and_keeps_the_marker(self):
        self.lab.install_version(A)
        self.lab.apply(set_op(f"{UPDATES}\\{B}", "status", 1), set_op(f"{UPDATES}\\{B}1", "status", "active"))
        folder, _ = self.lab.install_version(B, 100, settings={DRIVER_TOOL[:-4]: "exit_code=1"})
        packages = {f"{UPDATES}\\{B}": {"status": "active"}, f"{UPDATES}\\{B}1": {"status": "inactive"}}
        marker = {"TunnelingDriverChangeDone": "true"}  # A's, as B's tool asked for a restart
        expect_state(self.lab.probe(), {"registry": {PRODUCT_KEY: marker, MODULES_KEY: {"path": folder}, **packages}})

    def test_first_installation_over_odd_leftovers(self):
        none = {"type": 0, "hex": ""}  # REG_NONE counts as absent
        package = f"{UPDATES}\\{B}"
        self.lab.apply(set_op(PRODUCT_KEY, "AppPath", ""), set_op(RUN_KEY, "KelvaraAutoStart", none))
        self.lab.apply(set_op(LOGGING_KEY, "LogMaxSizeKB", none), ("set", package, "", 1, ""))
        folder, run = self.lab.install_version(B, env={"ul_module": None})  # no module: no package is marked
        expect_log(run, seq("First time installation", "DONE."), [re.compile("Upgrade|KelvaraAutoStart|activateUpd")])
        leftovers = {RUN_KEY: {"KelvaraAutoStart": none}, UPDATES: {"status": ABSENT}, package: {"status": ABSENT}}
        written = {LOGGING_KEY: {"LogMaxSizeKB": 5000}, MODULES_KEY: {"path": folder}}
        expect_state(self.lab.probe(), {"registry": {**leftovers, **written}})

    def test_upgrade_from_a_folder_named_with_a_trailing_backslash(self):
        earlier, _ = self.lab.install_version(A)
        sibling = self.lab.unpack(A + "1")  # its name extends the earlier folder's
        self.lab.start(rf"{sibling}\{CLIENT_EXE}")
        self.lab.apply(set_op(PRODUCT_KEY, "AppPath", earlier + "\\"), set_op(RUN_KEY, "KelvaraAutoStart", "x"))
        self.lab.apply(("deny", RUN_KEY))
        _, run = self.lab.install_version(B, customization=b"OpenVpnTapDriverName=OVKELVARAWINTUN")
        detected = f"Upgrade scenario, old installation detected in: {earlier}\\"
        autostart = "Remove KelvaraAutoStart registry succeeded:0"
        expect_log(run, seq(detected, "drivertool.exe uninstall old tap returned 0", autostart, "Old data removed: 1"))
        self.assertEqual(self.lab.tool_runs()[2][1], "uninstall Orvanta Kelvara OVKELVARAWINTUN")
        self.assertIn(rf"{sibling}\{CLIENT_EXE}", self.lab.probe()["processes"])

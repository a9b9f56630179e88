"""Rows of the installation sequence from a machine without the product: a first installation, upgrades, the reboot
endings, customization and naming variants, the same version twice, the update packages; faults: test_faults."""
import re
import unittest

from lab import (ABSENT, DRIVER_TOOL, LOGGING_KEY as LOGGING, PRODUCT_KEY as PRODUCT, RUN_KEY,
                 UNINSTALL_KEY as ARP, UPDATES, VERSION_A as A, VERSION_B as B, Lab, driver_tool_calls, expect_log,
                 expect_state, installed, set_op)
from lab import CLIENT_EXE, TUNNEL_EXE, SERVICE_EXE, SUPPORT_TOOL_EXE

SEQ = "I MainLogic::execute: "
DRIVER_TOOL_SETTINGS = r"x64\drivertool64"  # the tool the 32-bit installer runs on 64-bit Windows
VERSION = Lab().version()
STOPPED = re.compile("service is stopped")


class SequenceRows(unittest.TestCase):
    lab = Lab()

    def setUp(self):
        self.lab.reset()

    def tool_calls(self):
        """The driver tool runs: the 32-bit installer runs x64\\drivertool64.exe, quoted, with two backslashes at
        the join."""
        for exe, command, _ in driver_tool_calls(self.lab.journal()):
            self.assertTrue(command.startswith(f'"{exe[:-len(DRIVER_TOOL) - 1]}\\\\{DRIVER_TOOL}" '), command)
        return self.lab.tool_runs()

    def test_first_installation_marks_the_installed_update_package(self):
        self.lab.apply(*[("set", f"{UPDATES}\\{p}", "", 1, "") for p in ("2.0.0.0", B, "3.0.0.0")])
        folder, run = self.lab.install_version(B)
        expect_state(self.lab.probe(), installed(folder, VERSION))
        expect_state(self.lab.probe(), {"registry": {f"{UPDATES}\\{p}": {"status": s} for p, s in (
            ("2.0.0.0", "inactive"), (B, "active"), ("3.0.0.0", "inactive"))}})
        self.assertEqual(self.tool_calls(), [(folder, "install Orvanta Kelvara ovkelvarawintun", folder)])
        expect_log(run, ["I ov::ul::UpdatedService::create: Kelvara Service service is registered",
                         SEQ + "First time installation", SEQ + "drivertool.exe install returned 0",
                         SEQ + "Mark wintun driver installation completed",
                         "I ov::ul::ServiceBase::startService: Service 'Kelvara Service' started", SEQ + "DONE.",
                         "I activateUpdateModule: Deactivating update 2.0.0.0",
                         f"I activateUpdateModule: Activating update {B}",
                         "I activateUpdateModule: Deactivating update 3.0.0.0", "I WinMain: Returning: 0"],
                   [STOPPED, re.compile("Old data|Upgrade scenario|KelvaraAutoStart|^D ")])

    def test_upgrade_takes_down_the_earlier_version(self):
        earlier, _ = self.lab.install_version(A, env={"kelvara_app_name": "Kelvara Old"},
                                              settings={"ovvpnservice": "stop_pending_ms=1000"})
        self.lab.apply(set_op(PRODUCT, "UiStartedOnceAfterInstallation", 1), set_op(ARP, "Comments", "kept"),
                       set_op(PRODUCT, "OEMInstallationDetected", "yes"), set_op(RUN_KEY, "KelvaraAutoStart", "x"),
                       set_op(LOGGING, "LogMaxSizeKB", 20000))
        (self.lab.unix(earlier) / ".cache").mkdir()
        (self.lab.unix(earlier) / ".cache" / "state.dat").write_text("x")
        other = self.lab.unpack("other", root=r"C:\Other")
        for exe in (rf"{earlier}\{CLIENT_EXE}", rf"{earlier}\{TUNNEL_EXE}", rf"{other}\{CLIENT_EXE}"):
            self.lab.start(exe)
        folder, run = self.lab.install_version(B)
        state = self.lab.probe()
        expected = installed(folder, VERSION)
        expected["registry"][LOGGING] = {"LogMaxSizeKB": 20000}  # the earlier limit stays
        expect_state(state, expected)
        expect_state(state, {"registry": {PRODUCT: {"UiStartedOnceAfterInstallation": ABSENT,
                                                    "OEMInstallationDetected": ABSENT}, ARP: {"Comments": "kept"}},
                             "shortcuts": {r"Desktop\Kelvara Old.lnk": ABSENT,
                                           r"Programs\Kelvara Old\Kelvara Old.lnk": ABSENT}})
        self.assertNotIn(RUN_KEY, state["registry"])
        self.assertFalse([f for f in state["files"][r"C:\Program Files (x86)\Orvanta"] if A in f])
        self.assertEqual(sorted(state["processes"]), sorted([rf"{other}\{CLIENT_EXE}", rf"{folder}\{SERVICE_EXE}"]))
        self.assertEqual(self.tool_calls()[1:], [
            (earlier, "uninstall Orvanta Kelvara ovkelvarawintun", earlier),
            (earlier, "uninstall Orvanta Kelvara ovkelvaratap", earlier),
            (earlier, "calloutuninstall Orvanta Kelvara ovkelvarawfpcallout", earlier),
            (folder, "install Orvanta Kelvara ovkelvarawintun", folder)])
        journal = self.lab.journal()
        stopped = journal.index(earlier + r"\ovvpnservice.exe: state stopped")
        self.assertLess(stopped, next(i for i, line in enumerate(journal) if "uninstall" in line))
        self.assertIn(earlier + r"\Kelvara.exe: exit", journal)  # it quit when asked
        self.assertEqual(len([r for r in run.log if "Adjusted token privilege" in r.message]), 1)
        expect_log(run, ["I ov::ul::UpdatedService::update: Kelvara Service service is updated",
                         "I ov::ul::UpdatedService::stop: Kelvara Service service is stopped",
                         f"{SEQ}Upgrade scenario, old installation detected in: {earlier}",
                         SEQ + "drivertool.exe uninstall returned 0",
                         SEQ + "Uninstall old TAP driver as Wintun is used instead",
                         SEQ + "drivertool.exe uninstall old tap returned 0", SEQ + "Uninstall callout driver",
                         SEQ + "drivertool.exe calloutuninstall returned 0",
                         re.compile(r"Terminating process: \d+\. exe: Kelvara\.exe"),
                         re.compile(r"Terminating process: \d+\. exe: openvpn\.exe"),
                         SEQ + "Remove KelvaraAutoStart registry succeeded:1",
                         SEQ + "drivertool.exe install returned 0",
                         SEQ + "Old data removed: 1", SEQ + "DONE."])

    def test_upgrade_over_an_app_path_naming_a_file(self):
        # AppPath naming a file is no folder to remove: nothing is deleted.
        self.lab.unix(r"C:\ovlab").mkdir(exist_ok=True)
        self.lab.unix(r"C:\ovlab\kept.txt").write_text("kept")
        self.lab.apply(set_op(PRODUCT, "AppPath", r"C:\ovlab\kept.txt"))
        _, run = self.lab.install_version(A)
        expect_log(run, [SEQ + "Old data removed: 0"])
        self.assertTrue(self.lab.unix(r"C:\ovlab\kept.txt").exists())

    def test_upgrade_over_a_file_in_use(self):
        earlier, _ = self.lab.install_version(A)
        self.lab.hold("file", rf"{earlier}\{SUPPORT_TOOL_EXE}")
        _, run = self.lab.install_version(B)
        expect_log(run, [SEQ + "Old data removed: 1", SEQ + "DONE."])
        pending = self.lab.probe()["registry"][r"SYSTEM\CurrentControlSet\Control\Session Manager"]
        self.assertEqual(pending["PendingFileRenameOperations"][-4:],
                         ["\\??\\" + rf"{earlier}\{SUPPORT_TOOL_EXE}", "", "\\??\\" + earlier, ""])

    def test_reboot_ending_silent(self):
        # The tool asks for a reboot; silent: the client tells the user, nothing is stopped.
        _, run = self.lab.install_version(A, 100, settings={DRIVER_TOOL_SETTINGS: "exit_code=1"})
        expect_state(self.lab.probe(), {"registry": {PRODUCT: {"TunnelingDriverChangeDone": ABSENT}},
                                        "service": {"state": "running"}})
        expect_log(run, [SEQ + "drivertool.exe install returned 1",
                         SEQ + "DONE. Reboot requested. Handle notification at UI side"], [STOPPED])

    def test_reboot_ending_not_silent_spares_a_service_registered_now(self):
        _, run = self.lab.install_version(A, 100, settings={DRIVER_TOOL_SETTINGS: "exit_code=1"},
                                          env={"ul_silent_installation": None})
        expect_log(run, [SEQ + "DONE. Reboot requested. Stop product"], [STOPPED])
        self.assertEqual(self.lab.probe()["service"]["state"], "running")

    def test_reboot_ending_not_silent_stops_the_product(self):
        self.lab.install_version(A)
        folder = self.lab.unpack(B, settings={DRIVER_TOOL_SETTINGS: "exit_code=1"})
        self.lab.start(rf"{folder}\{CLIENT_EXE}")
        run = self.lab.install(folder, env={"ul_silent_installation": ""})
        self.assertEqual(run.exit_code, 100)
        expect_log(run, [SEQ + "DONE. Reboot requested. Stop product", STOPPED,
                         re.compile(r"Terminating process: \d+\. exe: Kelvara\.exe")])
        state = self.lab.probe()
        self.assertEqual((state["service"]["state"], [p for p in state["processes"] if "Kelvara.exe" in p]),
                         ("stopped", []))

    def test_customizations(self):
        UNINSTALL = "uninstall Orvanta Kelvara "
        for text, removals in (
                (b"WintunSupported=0\nOpenVpnTapDriverName=ovkelvaratap", [f"{UNINSTALL}ovkelvarawintun"]),
                (b"OpenVpnTapDriverName=ovkelvarawintun", [f"{UNINSTALL}ovkelvarawintun"]),
                (b"SdkProductName=Kelvara", [f"{UNINSTALL}ovkelvarawintun", UNINSTALL]),
                (b"SdkCompanyName=Acme\nSdkProductName=Tunnel\nOpenVpnTunnelingDriverName=acmetun",
                 ["uninstall Acme Tunnel acmetun", "uninstall Acme Tunnel "])):
            with self.subTest(text):
                self.setUp()
                self.lab.install_version(A)
                folder, run = self.lab.install_version(B, customization=text)
                callout = "calloutuninstall " + " ".join(removals[0].split()[1:3]) + " ovkelvarawfpcallout"
                install = "install " + removals[0].split(" ", 1)[1]
                self.assertEqual([c for _, c, _ in self.tool_calls()[1:]], [*removals, callout, install])
                marked = (SEQ + "Mark wintun driver installation completed",)
                expect_log(run, *((), marked) if text.startswith(b"Wintun") else (marked, ()))

    def test_other_application_name_and_model_id(self):
        # A nested earlier name leaves its folders, removed when empty, innermost first.
        self.lab.install_version(A, env={"kelvara_app_name": "Orvanta\\Kelvara"})
        programs = self.lab.unix(self.lab.folders()["programs"])
        self.assertTrue((programs / "Orvanta" / "Kelvara" / "Support Tool.lnk").exists())
        env = {"kelvara_app_name": "Orvanta Tunnel", "kelvara_app_model_id": "Orvanta.Tunnel"}
        folder, run = self.lab.install_version(B, env=env)
        expect_state(self.lab.probe(), installed(folder, VERSION, "Orvanta Tunnel"))
        self.assertFalse((programs / "Orvanta").exists())
        expect_log(run, ['I MainLogic::execute: App model id: "Orvanta.Tunnel"',
                         "I ::SetAppModelId: Setting AppModelId:Orvanta.Tunnel"])

    def test_update_packages_and_the_module_path(self):
        packages = ("1.0", "2.0", "3.0", "4.0-rc")
        self.lab.apply(*[("set", f"{UPDATES}\\{p}", "", 1, "") for p in packages])
        _, run = self.lab.install_version("2.0")
        expect_log(run, ["I activateUpdateModule: Deactivating update 1.0",
                         "I activateUpdateModule: Activating update 2.0",
                         "I activateUpdateModule: Deactivating update 3.0",
                         "I activateUpdateModule: Deactivating update 4.0-rc"])
        # The version compares with letter case: 4.0-RC is not the package 4.0-rc.
        folder, _ = self.lab.install_version("4.0-RC")
        expect_state(self.lab.probe(), {"registry": {**{f"{UPDATES}\\{p}": {"status": "inactive"} for p in packages},
                                                     PRODUCT + r"\modules\kelvara-win32": {"path": folder}}})

    def test_without_a_registry_root_only_the_module_path_is_recorded(self):
        folder, run = self.lab.install_version(A, env={"ul_reg_root": None})
        expect_state(self.lab.probe(), {"registry": {PRODUCT + r"\modules\kelvara-win32": {"path": folder}}})
        expect_log(run, [], [re.compile("activateUpdateModule")])

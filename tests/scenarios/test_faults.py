"""Fault rows: one fault injected into a real run of the installer each, and what the run must still do:
its exit code and ending, the records that define the outcome, and what stays as it was."""
import os
import re
import shutil
import unittest
from pathlib import Path

from lab import (ABSENT, DEFAULT_ROOT, INSTALL_ROOT, LOG_NAME, LOGGING_KEY, PRODUCT_KEY, RECORD, SERVICE,
                 UNINSTALL_KEY as UNINSTALL, VERSION_A as OLD, VERSION_B as NEW, Lab, expect_log, parse_records, set_op)

ROOT = INSTALL_ROOT
OLD_DIR, NEW_DIR = rf"{ROOT}\{OLD}", rf"{ROOT}\{NEW}"
PRODUCT, I = f"registry/{PRODUCT_KEY}", "I MainLogic::execute: "
SESSION, PFRO = r"SYSTEM\CurrentControlSet\Control\Session Manager", "PendingFileRenameOperations"
PENDING, DRIVERS = f"registry/{SESSION}/{PFRO}", r"registry/SOFTWARE\OvLab\Drivers"
MARKER, LAST_OPERATION = f"{PRODUCT}/TunnelingDriverChangeDone", r"registry/SOFTWARE\OvLab/LastOperation"
PER_PRODUCT, PER_LOG = LOGGING_KEY + r"\Kelvara", LOGGING_KEY + r"\Kelvara\install-kelvara-win32"
LOG_ROOT, FOREIGN = r"C:\ovlab\logroot", b"another program's file\r\n"
UTF16_LOG, NAME = b"\xff\xfe" + "earlier records\r\n".encode("utf-16-le"), "Kelvära Ωμέγα 日本 🛡"
LONG = "C:\\" + "r" * 1019  # 1,022 characters: the longest value the sequence takes
START, RENAMES = "ov::ul::ServiceBase::startService: ", "removePendingFileOperationsInFolder: "
TOOL, CONF = "MainLogic::execute: drivertool.exe ", r"x64\drivertool64.txt"
STEPS = ("uninstall", "uninstall old tap", "calloutuninstall")  # what the earlier tool removes
STATE, DEFAULTED = f"E {START}Service '{SERVICE}' is not started. State: ", "W GetEnvVariable: Using default value for "
NOT_STARTED = f"W ov::ul::UpdatedService::start: {SERVICE} service can't be started, require reboot"
TIMED_OUT = "E ov::ul::WaitForServiceStatus: WaitForServiceStatus has timeoutted"
TERMINATED = re.compile(r"^I ExecuteApplication::killProcessesByName: Terminating process: \d+\. exe: Kelvara\.exe$")
CLIENT, SERVICE_EXE = rf"{NEW_DIR}\Kelvara.exe", rf"{NEW_DIR}\ovvpnservice.exe"
END = object()  # where the ending's line stands among a row's records, when not last
ENDINGS = {"DONE": (0, f"{I}DONE."), "UI": (100, f"{I}DONE. Reboot requested. Handle notification at UI side"),
           "STOP": (100, f"{I}DONE. Reboot requested. Stop product")}


nt = "\\??\\".__add__  # a path as the restart-time list holds it
TEMP_A, TEMP_B, IN_NEW = nt(r"C:\Temp\a.tmp"), nt(r"C:\Temp\b.tmp"), nt(rf"{NEW_DIR}\a.dll")
ELSEWHERE = [p for i in range(3000) for p in (nt(rf"C:\Program Files\Vendor{'x' * 150}\file{i}.tmp"), "")]
RAW = {"type": 7, "hex": "\0".join([IN_NEW, "", TEMP_A, TEMP_B]).encode("utf-16-le").hex()}  # no list end


def fresh_log(t, base=None):  # an empty log folder: the run's log starts from nothing
    base = base or t.lab.log_base()
    shutil.rmtree(Path(base).parent, ignore_errors=True)
    Path(base).parent.mkdir(parents=True)
    return base


def hard_linked_log(t):
    Path(fresh_log(t)).with_name("foreign.txt").write_bytes(FOREIGN)
    os.link(Path(t.lab.log_base()).with_name("foreign.txt"), t.lab.log_base() + ".log")


def held_lock(t):  # the log's cross-process lock, held until the debugger kills the holder
    fresh_log(t)
    t.lab.hold("mutex", "Global\\OvKmfLogging_" + rf"{t.lab.folders()['program_data']}\{LOG_NAME}".replace("\\", "_"))


def explorer_values_missing(t):
    for i, key in enumerate(("User Shell Folders", "Shell Folders")):
        key, saved = rf"SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer\{key}", t.lab.build / f"lab-explorer{i}.reg"
        t.lab.wine("reg", "export", "HKLM\\" + key, t.lab.win(saved), "/y")
        t.addCleanup(t.lab.wine, "reg", "import", t.lab.win(saved))
        t.lab.apply(("delete", key, "Common Desktop"), ("delete", key, "Common Programs"))


def rotated_whole(t, run):  # two older generations, each below the limit but for its last record, none split
    folder = Path(t.lab.log_base()).parent
    t.assertEqual(sorted(p.name for p in folder.iterdir()), [f"install-kelvara-win32{g}.log" for g in (".1", ".2", "")])
    for path in folder.iterdir():
        lines = path.read_bytes().decode("utf-8").split("\r\n")
        t.assertTrue(lines[-1] == "" and all(RECORD.fullmatch(line) for line in lines[:-1] if line), path.name)
        t.assertLess(path.stat().st_size - len(lines[-2]) - 2, 1024, path.name)


def F(name, end, log=(), state=None, keep=(), absent=(), **setup):
    return dict(name=name, end=end, log=log, state=state or {}, keep=keep, absent=absent, setup=setup)


ROWS = [  # up: the earlier version installed first; old/new: stand-in files of its folder and of the new one
    F("earlier driver tool missing", "DONE", ["E ExecuteApplication::executeUtility: Can't create process: 2", *[
        f"E {TOOL}{step} returned exception" for step in STEPS], f"{I}Old data removed: 1"],
      {DRIVERS: {"ovkelvarawintun": "installed"}}, up=OLD, old={r"x64\drivertool64.exe": None}),
    F("new driver tool missing", "UI", [f"E {TOOL}install returned exception"], {DRIVERS: ABSENT, MARKER: ABSENT},
      new={r"x64\drivertool64.exe": None}),
    F("earlier driver tool exits 1", "DONE", [f"I {TOOL}{step} returned 1" for step in STEPS], {MARKER: "true"},
      up=OLD, old={CONF: "exit_code=1"}),
    F("new driver tool exits 2", "DONE", [f"I {TOOL}install returned 2"], {MARKER: ABSENT}, new={CONF: "exit_code=2"}),
    F("new driver tool crashes", "DONE", [f"I {TOOL}install returned -1073741819"], {MARKER: ABSENT},
      new={CONF: "exit_code=0xC0000005"}),
    F("new driver tool takes seconds", "DONE", [f"I {TOOL}install returned 0", f"{I}Mark wintun driver installation "
                                                "completed"], {DRIVERS: {"ovkelvarawintun": "installed"}},
      new={CONF: "sleep_ms=3000"}),
    F("service fails its start", "UI", [TIMED_OUT, f"{STATE}1", NOT_STARTED], {"service/state": "stopped"},
      new={"ovvpnservice.txt": "start=fail"}),
    F("service stops during start-up", "STOP", [f"{STATE}1", NOT_STARTED, END, f"I ov::ul::UpdatedService::stop: "
                                                f"{SERVICE} service is stopped"], {"service/state": "stopped"},
      absent=[TIMED_OUT], up=OLD, new={"ovvpnservice.txt": "start=fail\nstart_pending_ms=1000"},
      env={"ul_silent_installation": None}),
    F("service stays start-pending", "UI", [TIMED_OUT, f"{STATE}2", NOT_STARTED], {"service/state": "start pending"},
      new={"ovvpnservice.txt": "start=hang"}),
    F("service deleted between registration and stop", "UI", [
        f"E ov::ul::UpdatedService::makeAutomaticallyRestarteable: Failed to open service for changing: {SERVICE}",
        re.compile(rf"^W ov::ul::UpdatedService::stop: Can't stop service {SERVICE}, reboot required: .*1060", re.S),
        f"E {START}Failed to open service {SERVICE}", NOT_STARTED],
      {"service": None}, up=OLD, on=[("ov::ul::UpdatedService::update", ("service-delete", SERVICE, "nowait"))]),
    F("service started by someone else before the finishing step", "UI", [
        f"W {START}StartService failed to start service '{SERVICE}'. Last error=1056", NOT_STARTED],
      {"service/state": "running"}, on=[("drivertool.exe install returned", ("service-start", SERVICE))]),
    F("service registration refused", 7, [re.compile(
        r"^E WinMain: Exception Type: Win32Exception, .*Function: ov::ul::UpdatedService::update, "
        r"File: .*UpdatedService\.cpp, Line: \d+, Error Code : 1072$", re.S)],
      keep=[PRODUCT, "old", DRIVERS, f"registry/{UNINSTALL}", "shortcuts"],
      absent=[re.compile("Main logic returned|Upgrade scenario|activateUpdateModule")],
      up=OLD, hold=[("service", SERVICE)]),
    F("read-only file in the earlier folder", "DONE", [f"{I}Old data removed: 1"], {"old": ABSENT, PENDING: ABSENT},
      up=OLD, prep=lambda t: os.chmod(t.lab.unix(rf"{OLD_DIR}\ovdiag_32.exe"), 0o444)),
    F("product key refuses writes", "DONE", [f"{I}Old data removed: 1"], keep=[PRODUCT], up=OLD,
      env={"UL_ROOT_DIR": r"C:\Elsewhere", "kelvara_app_name": "Kelvara Next"},
      ops=[set_op(PRODUCT[9:], "UiStartedOnceAfterInstallation", 1), ("deny", PRODUCT[9:])]),
    F("uninstall entry refuses writes", "DONE", [
        "I UninstallationEntries::Install: Error creating subkey. It is fine if everything else succeeds. Error = 5",
        *[f"E SetRegistryValue: Failed to set {v}. Error = 5"
          for v in ("Publisher", "UninstallString", "DisplayIcon", "DisplayName", "DisplayVersion")]],
      keep=[f"registry/{UNINSTALL}"], up=OLD, env={"kelvara_app_name": "Kelvara Next"}, ops=[("deny", UNINSTALL)]),
    F("logging key refuses writes", "DONE", state={f"registry/{LOGGING_KEY}/LogMaxSizeKB": ABSENT},
      ops=[("deny", LOGGING_KEY)]),
    F("huge restart-time operation list", "DONE", state={PENDING: ELSEWHERE},
      ops=[set_op(SESSION, PFRO, [*ELSEWHERE, IN_NEW, ""])]),
    F("restart-time operation list of another type", "DONE", [f"{I}Old data removed: 0", f"E {RENAMES}wrong type"],
      {"old": ["ovdiag_32.exe"]}, keep=[PENDING], up=OLD, hold=[("file", rf"{OLD_DIR}\ovdiag_32.exe")],
      ops=[set_op(SESSION, PFRO, IN_NEW)]),
    F("restart-time operation list without its last NUL", "DONE", state={PENDING: [TEMP_A, TEMP_B]},
      ops=[set_op(SESSION, PFRO, RAW)]),
    F("client ignores the quit request", "DONE", [
        "D ExecuteApplication::killProcessesByName: Finished waiting with result 258", TERMINATED],
      {"processes": [SERVICE_EXE], rf"journal/{OLD_DIR}\Kelvara.exe": {"window", "quit received"}}, up=OLD,
      old={"Kelvara.txt": "on_quit=ignore"}, start=[rf"{OLD_DIR}\Kelvara.exe"], ops=[set_op(PER_LOG, "LogLevel", 5)]),
    F("customization with a byte-order mark", "DONE", state={LAST_OPERATION: "install Acme Kelvara ovkelvarawintun"},
      conf=b"\xef\xbb\xbfOpenVpnTunnelingDriverName=ovbom\nSdkCompanyName=Acme\n"),
    F("customization with CR LF line ends", "DONE", state={LAST_OPERATION: "install Acme Vpn ovcrlf"},
      conf=b"SdkCompanyName=Acme\r\nSdkProductName=Vpn\r\nOpenVpnTunnelingDriverName=ovcrlf\r\n"),
    F("customization with a repeated key", "DONE", state={DRIVERS: {"second": "installed"}},
      conf=b"OpenVpnTunnelingDriverName=first\nOpenVpnTunnelingDriverName=second"),
    F("customization with empty values", "DONE", [f'I ExecuteApplication::executeUtility: Executing: "{OLD_DIR}\\\\'
                                                  'x64\\drivertool64.exe" uninstall Orvanta Kelvara '], {MARKER: "true"},
      up=OLD, conf=b"SdkCompanyName=\nOpenVpnTapDriverName=\nWintunSupported=\n"),
    F("empty environment values", "DONE", [f"{DEFAULTED}{v}" for v in ("kelvara_app_name", "UL_ROOT_DIR")],
      {f"{PRODUCT}/ProductName": "Kelvara", f"{PRODUCT}/InstallationRootDirectory": INSTALL_ROOT,
       f"registry/{UNINSTALL}/DisplayName": "Kelvara", r"shortcuts/Desktop\Kelvara.lnk/target": CLIENT},
      env={"kelvara_app_name": "", "UL_ROOT_DIR": ""}),
    F("environment values of 1,022 and 1,023 characters", "DONE", [f"{DEFAULTED}kelvara_app_name"],
      {f"{PRODUCT}/ProductName": "Kelvara", f"{PRODUCT}/InstallationRootDirectory": LONG},
      absent=[re.compile("default value for UL_ROOT_DIR")], env={"UL_ROOT_DIR": LONG, "kelvara_app_name": "n" * 1023}),
    F("token without SeDebugPrivilege", "DONE", [
        "E ExecuteApplication::enableDebugPrivilege: The token does not have the specified privilege.",
        "I ExecuteApplication::enableDebugPrivilege: Adjusted token privilege.", TERMINATED],
      {"processes": [SERVICE_EXE], rf"journal/{OLD_DIR}\Kelvara.exe": {"window", "quit received", "exit"}},
      up=OLD, start=[rf"{OLD_DIR}\Kelvara.exe"], no_debug_privilege=True),
    F("log file with a hard link", "DONE", state={"logs/foreign.txt": FOREIGN, "logs/install-kelvara-win32.1.log":
                                                  FOREIGN}, prep=hard_linked_log),
    F("log file with a UTF-16 byte-order mark", "DONE", state={"logs/install-kelvara-win32.1.log": UTF16_LOG},
      prep=lambda t: Path(fresh_log(t) + ".log").write_bytes(UTF16_LOG)),
    F("log lock held by another process", "DONE", [f"I WinMain: Installing kelvara-win32, version {NEW}. title: "
                                                   f"Kelvara {NEW}"], absent=[re.compile("LOGGING STARTED|ULU")],
      prep=held_lock, on=[(3, ("kill", "labtool.exe"))], whole=True),
    F("Explorer folder values missing", "DONE", state={r"shortcuts/Desktop\Kelvara.lnk/target": CLIENT,
                                                       r"shortcuts/Programs\Kelvara\Kelvara.lnk/target": CLIENT},
      absent=[re.compile("folder path failed")], prep=explorer_values_missing),
    F("log root moved", "DONE", keep=["logs"], ops=[set_op(LOGGING_KEY, "RootPath", LOG_ROOT)],
      prep=lambda t: fresh_log(t, str(t.lab.unix(LOG_ROOT) / "x")),
      log_base=rf"{LOG_ROOT}\{LOG_NAME}"),
    F("log level of the log's own key first", "DONE", [
        f"D {RENAMES}{NEW_DIR}\\", f"D {RENAMES}found match, skipping lines: [{IN_NEW},]",
        f"D {RENAMES}didn't match, copy to buffer [{TEMP_A},{IN_NEW.lower()}]"], {PENDING: [TEMP_A, IN_NEW.lower()]},
      ops=[set_op(PER_LOG, "LogLevel", 5), set_op(PER_PRODUCT, "LogLevel", 2), set_op(LOGGING_KEY, "LogLevel", 1),
           set_op(SESSION, PFRO, [IN_NEW, "", TEMP_A, IN_NEW.lower()])]),
    F("log level 0xFFFFFFFF of the product", "DONE", [f"D {RENAMES}Couldn't read {PFRO} value"],
      ops=[set_op(PER_LOG, "LogLevel", "1"), set_op(PER_PRODUCT, "LogLevel", 0xFFFFFFFF),
           set_op(LOGGING_KEY, "LogLevel", 5)]),
    F("tiny log size limit", "DONE", ops=[set_op(LOGGING_KEY, "LogMaxSizeKB", 1)], prep=fresh_log, whole=True,
      check=rotated_whole),
    F("non-ASCII application name", "DONE", [f'{I}Application name: "{NAME}"'], {
        f"{PRODUCT}/ProductName": NAME, f"registry/{UNINSTALL}/DisplayName": NAME,
        rf"shortcuts/Desktop\{NAME}.lnk/target": CLIENT, rf"shortcuts/Programs\{NAME}\{NAME}.lnk/target": CLIENT},
      env={"kelvara_app_name": NAME, "LANG": "C.UTF-8"}),  # the Unix side of the variable is UTF-8
]


def at(state, path):
    for part in filter(None, path.split("/")):
        state = state.get(part, ABSENT) if isinstance(state, dict) else ABSENT
    return state


class FaultRows(unittest.TestCase):
    lab = Lab()
    RUN = ("env", "restricted", "no_debug_privilege", "on")  # what a row hands to the run itself

    def probe(self):  # with the earlier folder, the machine log's files and each program's journal events
        lab, logs, old = self.lab, Path(self.lab.log_base()).parent, self.lab.unix(OLD_DIR)
        events = [line.split(": ", 1) for line in lab.journal()]
        return {**lab.probe(), "old": sorted(os.listdir(old)) if old.exists() else ABSENT,
                "logs": {p.name: p.read_bytes() for p in logs.glob("*")},
                "journal": {exe: {e for x, e in events if x == exe} for exe, _ in events}}

    def row(self, name, end, log, state, keep, absent, setup):
        lab, s = self.lab, setup
        lab.reset()
        if "up" in s:
            self.assertEqual(lab.install(lab.unpack(s["up"])).exit_code, 0)
        folder = lab.unpack(NEW, customization=s.get("conf"))
        for version, files in ((OLD_DIR, s.get("old", {})), (NEW_DIR, s.get("new", {}))):
            for file, text in files.items():
                path = lab.unix(version) / file.replace("\\", "/")
                path.unlink() if text is None else path.write_text(text)
        lab.apply(*s.get("ops", ()))
        for what in s.get("hold", ()):
            lab.hold(*what)
        for exe in s.get("start", ()):
            lab.start(exe)
        s.get("prep", lambda t: None)(self)
        before = self.probe()
        run = lab.install(folder, **{k: s[k] for k in self.RUN if k in s})
        if "log_base" in s or s.get("whole"):  # the records of a log elsewhere, or of every generation
            lines, last = lab.log_lines(str(lab.unix(s["log_base"])) if "log_base" in s else lab.log_base())
            run = run._replace(log=parse_records(lines[0 if s.get("whole") else last:]))
        code, last = ENDINGS.get(end, (end, None))
        self.assertEqual(run.exit_code, code, [r.text for r in run.log])
        wanted = [*log, *([] if END in log else [END]), f"I WinMain: Returning: {code}"]
        expect_log(run, [last if want is END else want for want in wanted if want is not END or last], absent)
        after = self.probe()
        for path, want in state.items():
            self.assertEqual(at(after, path), want, path)
        for path in keep:
            self.assertEqual(at(after, path), at(before, path), path)
        s.get("check", lambda t, r: None)(self, run)

    def test_faults(self):
        for row in ROWS:
            with self.subTest(row["name"]):
                try:
                    self.row(**row)
                finally:
                    self.doCleanups()
        self.lab.reset()  # nothing held or running stays behind

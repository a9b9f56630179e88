"""Fault rows: one fault injected into a real run of the installer each, and what the run must still do. A row is
the machine before (named states of the lab), the run, and what is expected: the exit code, the records, the state
(as expect_state takes it) and what stays UNCHANGED. Each runs alone as FaultRows.test_<its name>."""
import re
from pathlib import Path

from lab import (ABSENT, APP_NAME, CLIENT_EXE, DONE, DRIVER_CHANGE_DONE, DRIVER_TOOL, DRIVER_TOOL_KEY, DRIVERS_KEY,
                 FOLDER_A, FOLDER_B, INSTALL_ROOT, LAST_OPERATION, LOG_NAME, LOG_SIZE_LIMIT, LOGGING_KEY,
                 PENDING_RENAMES, PRODUCT_KEY, REBOOT_AT_UI, REBOOT_STOP, RECORD, SEQUENCE, SERVICE, SERVICE_EXE,
                 SESSION_KEY, SUPPORT_TOOL_EXE, TUNNEL_DRIVER, UNCHANGED, UNINSTALL_KEY, VERSION_A, VERSION_B)
from lab import (DRIVER_CHANGE_MARKED, DRIVER_CHANGE_NOT_MARKED, DRIVER_INSTALLED, Row, RowTests, configured,
                 earlier_version_installed, explorer_folder_values_missing, file_missing, file_read_only, held,
                 log_file_holding, log_folder_fresh, log_hard_linked_to_foreign_file, log_levels, log_lock_held,
                 log_root_moved, pending_renames, product_named, running, value_set, writes_refused)

TOOL = "MainLogic::execute: drivertool.exe "
FIRST, UPGRADE = f"first installation of {VERSION_B}", f"upgrade from {VERSION_A} to {VERSION_B}"  # the explainer's
SERVICE_REBOOT = "reboot needed because the service did not start"
CANNOT_START_TOOL = "E ExecuteApplication::executeUtility: Can't create process: 2"
OLD_DATA_REMOVED = SEQUENCE + "Old data removed: 1"
START = "ov::ul::ServiceBase::startService: "
NOT_STARTED_IN_STATE = f"E {START}Service '{SERVICE}' is not started. State: "
NOT_STARTED = f"W ov::ul::UpdatedService::start: {SERVICE} service can't be started, require reboot"
TIMED_OUT = "E ov::ul::WaitForServiceStatus: WaitForServiceStatus has timeoutted"
TERMINATED = re.compile(rf"^I ExecuteApplication::killProcessesByName: Terminating process: \d+\. exe: {CLIENT_EXE}$")
RENAMES = "removePendingFileOperationsInFolder: "
DEFAULTED = "W GetEnvVariable: Using default value for "
EARLIER_CLIENT = rf"{FOLDER_A}\{CLIENT_EXE}"
NEW_SERVICE = rf"{FOLDER_B}\{SERVICE_EXE}"
FOREIGN = b"another program's file\r\n"
UTF16_LOG = b"\xff\xfe" + "earlier records\r\n".encode("utf-16-le")
NAME = "Kelvära Ωμέγα 日本 🛡"
LOG_ROOT = r"C:\ovlab\logroot"
LOG_FILE = LOG_NAME.rsplit("\\", 1)[-1]  # and ".log", ".1.log", ".2.log" for the generations
RESTART = "\\??\\"  # a path in the restart-time list begins so
TEMP, IN_NEW = RESTART + r"C:\Temp\a.tmp", RESTART + rf"{FOLDER_B}\a.dll"
ELSEWHERE = [path for number in range(3000)
             for path in (RESTART + rf"C:\Program Files\Vendor{'x' * 150}\file{number}.tmp", "")]


def rotated_whole(lab):  # two older generations, each below the limit but for its last record, none split
    folder = Path(lab.log_base()).parent
    assert sorted(path.name for path in folder.iterdir()) == [LOG_FILE + end for end in (".1.log", ".2.log", ".log")]
    for path in folder.iterdir():
        lines = path.read_bytes().decode("utf-8").split("\r\n")
        assert lines[-1] == "" and all(RECORD.fullmatch(line) for line in lines[:-1] if line), path.name
        assert path.stat().st_size - len(lines[-2]) - 2 < 1024, path.name


ROWS = dict(
    earlier_driver_tool_missing=Row(
        before=[earlier_version_installed, file_missing(FOLDER_A, DRIVER_TOOL)],
        # the last removal's record: each removal stands alone
        records=[CANNOT_START_TOOL, f"E {TOOL}calloutuninstall returned exception", OLD_DATA_REMOVED, DONE],
        state=DRIVER_INSTALLED,
        verdict=f"{UPGRADE}: complete; 6 warnings or errors"),
    new_driver_tool_missing=Row(
        before=[file_missing(FOLDER_B, DRIVER_TOOL)],
        exit_code=100, records=[CANNOT_START_TOOL, f"E {TOOL}install returned exception", REBOOT_AT_UI],
        state={"registry": {DRIVERS_KEY: ABSENT, PRODUCT_KEY: {DRIVER_CHANGE_DONE: ABSENT}}},
        verdict=f"{FIRST}: complete, reboot needed because the driver tool could not be run; 2 warnings or errors"),
    earlier_driver_tool_exits_1=Row(
        before=[earlier_version_installed, configured(FOLDER_A, DRIVER_TOOL, "exit_code=1")],
        records=[f"I {TOOL}uninstall returned 1", f"I {TOOL}uninstall old tap returned 1",
                 f"I {TOOL}calloutuninstall returned 1", DONE],
        state=DRIVER_CHANGE_MARKED,
        verdict=f"{UPGRADE}: complete"),
    new_driver_tool_exits_2=Row(
        before=[configured(FOLDER_B, DRIVER_TOOL, "exit_code=2")],
        records=[f"I {TOOL}install returned 2", DONE], state=DRIVER_CHANGE_NOT_MARKED,
        verdict=f"{FIRST}: complete"),
    new_driver_tool_crashes=Row(
        before=[configured(FOLDER_B, DRIVER_TOOL, "exit_code=0xC0000005")],
        records=[f"I {TOOL}install returned -1073741819", DONE], state=DRIVER_CHANGE_NOT_MARKED,
        verdict=f"{FIRST}: complete"),
    new_driver_tool_takes_seconds=Row(
        before=[configured(FOLDER_B, DRIVER_TOOL, "sleep_ms=3000")],
        records=[f"I {TOOL}install returned 0", SEQUENCE + "Mark wintun driver installation completed", DONE],
        state=DRIVER_INSTALLED),
    service_fails_its_start=Row(
        before=[configured(FOLDER_B, SERVICE_EXE, "start=fail")],
        exit_code=100, records=[TIMED_OUT, NOT_STARTED_IN_STATE + "1", NOT_STARTED, REBOOT_AT_UI],
        state={"service": {"state": "stopped"}},
        verdict=f"{FIRST}: complete, {SERVICE_REBOOT}; 3 warnings or errors"),
    service_stops_during_start_up=Row(
        before=[earlier_version_installed, configured(FOLDER_B, SERVICE_EXE, "start=fail\nstart_pending_ms=1000")],
        env={"ul_silent_installation": None},
        exit_code=100, records=[NOT_STARTED_IN_STATE + "1", NOT_STARTED, REBOOT_STOP,
                                f"I ov::ul::UpdatedService::stop: {SERVICE} service is stopped"],
        absent=[TIMED_OUT], state={"service": {"state": "stopped"}},
        verdict=f"{UPGRADE}: complete, {SERVICE_REBOOT}; the product was stopped; 2 warnings or errors"),
    service_stays_start_pending=Row(
        before=[configured(FOLDER_B, SERVICE_EXE, "start=hang")],
        exit_code=100, records=[TIMED_OUT, NOT_STARTED_IN_STATE + "2", NOT_STARTED, REBOOT_AT_UI],
        state={"service": {"state": "start pending"}},
        verdict=f"{FIRST}: complete, {SERVICE_REBOOT}; 3 warnings or errors"),
    service_deleted_between_registration_and_stop=Row(
        before=[earlier_version_installed],
        during=[("ov::ul::UpdatedService::update", ("service-delete", SERVICE, "nowait"))],
        exit_code=100, records=[
            f"E ov::ul::UpdatedService::makeAutomaticallyRestarteable: Failed to open service for changing: {SERVICE}",
            re.compile(rf"^W ov::ul::UpdatedService::stop: Can't stop service {SERVICE}, reboot required: .*1060",
                       re.S),
            f"E {START}Failed to open service {SERVICE}", NOT_STARTED, REBOOT_AT_UI],
        state={"service": None},
        verdict=f"{UPGRADE}: complete, reboot needed because the service did not stop and the service did not "
                "start; 4 warnings or errors"),
    service_started_by_someone_else_before_the_finishing_step=Row(
        during=[("drivertool.exe install returned", ("service-start", SERVICE))],
        exit_code=100, records=[
            f"W {START}StartService failed to start service '{SERVICE}'. Last error=1056", NOT_STARTED, REBOOT_AT_UI],
        state={"service": {"state": "running"}}),
    service_registration_refused=Row(
        before=[earlier_version_installed, held("service", SERVICE)],
        exit_code=7, records=[re.compile(
            r"^E WinMain: Exception Type: Win32Exception, .*Function: ov::ul::UpdatedService::update, "
            r"File: .*UpdatedService\.cpp, Line: \d+, Error Code : 1072$", re.S)],
        absent=[re.compile("Main logic returned|Upgrade scenario|activateUpdateModule")],
        state={"registry": {PRODUCT_KEY: UNCHANGED, DRIVERS_KEY: UNCHANGED, UNINSTALL_KEY: UNCHANGED},
               "files": {FOLDER_A: UNCHANGED}, "shortcuts": UNCHANGED},
        verdict=f"run ended by an exception before the upgrade detection of {VERSION_B}: failed, an exception "
                "reached the entry; 1 warning or error"),
    read_only_file_in_the_earlier_folder=Row(
        before=[earlier_version_installed, file_read_only(FOLDER_A, SUPPORT_TOOL_EXE)],
        records=[OLD_DATA_REMOVED, DONE],
        state={"files": {FOLDER_A: ABSENT}, "registry": {SESSION_KEY: {PENDING_RENAMES: ABSENT}}}),
    product_key_refuses_writes=Row(
        before=[earlier_version_installed, value_set(PRODUCT_KEY, "UiStartedOnceAfterInstallation", 1),
                writes_refused(PRODUCT_KEY)],
        env={"UL_ROOT_DIR": r"C:\Elsewhere", "kelvara_app_name": "Kelvara Next"},
        records=[OLD_DATA_REMOVED, DONE], state={"registry": {PRODUCT_KEY: UNCHANGED}}),
    uninstall_entry_refuses_writes=Row(
        before=[earlier_version_installed, writes_refused(UNINSTALL_KEY)],
        env={"kelvara_app_name": "Kelvara Next"},
        records=["I UninstallationEntries::Install: Error creating subkey. It is fine if everything else succeeds. "
                 "Error = 5",
                 *[f"E SetRegistryValue: Failed to set {value}. Error = 5"
                   for value in ("Publisher", "UninstallString", "DisplayIcon", "DisplayName", "DisplayVersion")],
                 DONE],
        state={"registry": {UNINSTALL_KEY: UNCHANGED}},
        verdict=f"{UPGRADE}: complete; 5 warnings or errors"),
    logging_key_refuses_writes=Row(
        before=[writes_refused(LOGGING_KEY)],
        records=[DONE], state={"registry": {LOGGING_KEY: {LOG_SIZE_LIMIT: ABSENT}}}),
    huge_restart_time_operation_list=Row(
        before=[pending_renames([*ELSEWHERE, IN_NEW, ""])],
        records=[DONE], state={"registry": {SESSION_KEY: {PENDING_RENAMES: ELSEWHERE}}}),
    restart_time_operation_list_of_another_type=Row(
        before=[earlier_version_installed, held("file", rf"{FOLDER_A}\{SUPPORT_TOOL_EXE}"), pending_renames(IN_NEW)],
        records=[SEQUENCE + "Old data removed: 0", f"E {RENAMES}wrong type", DONE],
        state={"files": {FOLDER_A: [SUPPORT_TOOL_EXE]}, "registry": {SESSION_KEY: {PENDING_RENAMES: UNCHANGED}}},
        verdict=f"{UPGRADE}: complete; 1 warning or error"),
    client_ignores_the_quit_request=Row(
        before=[earlier_version_installed, configured(FOLDER_A, CLIENT_EXE, "on_quit=ignore"),
                running(FOLDER_A, CLIENT_EXE), log_levels(own=5)],
        records=["D ExecuteApplication::killProcessesByName: Finished waiting with result 258", TERMINATED, DONE],
        state={"processes": [NEW_SERVICE], "journal": {EARLIER_CLIENT: {"window", "quit received"}}}),
    customization_with_a_byte_order_mark=Row(
        customization=b"\xef\xbb\xbfOpenVpnTunnelingDriverName=ovbom\nSdkCompanyName=Acme\n",
        records=[DONE],
        state={"registry": {DRIVER_TOOL_KEY: {LAST_OPERATION: f"install Acme Kelvara {TUNNEL_DRIVER}"}}}),
    customization_with_empty_values=Row(
        before=[earlier_version_installed],
        customization=b"SdkCompanyName=\nOpenVpnTapDriverName=\nWintunSupported=\n",
        records=[f'I ExecuteApplication::executeUtility: Executing: "{FOLDER_A}\\\\{DRIVER_TOOL}" uninstall Orvanta '
                 'Kelvara ', DONE],
        state=DRIVER_CHANGE_MARKED),
    empty_environment_values=Row(
        env={"kelvara_app_name": "", "UL_ROOT_DIR": ""},
        records=[DEFAULTED + "kelvara_app_name", DEFAULTED + "UL_ROOT_DIR", DONE],
        state=product_named(APP_NAME, InstallationRootDirectory=INSTALL_ROOT)),
    token_without_debug_privilege=Row(
        before=[earlier_version_installed, running(FOLDER_A, CLIENT_EXE)], no_debug_privilege=True,
        records=["E ExecuteApplication::enableDebugPrivilege: The token does not have the specified privilege.",
                 "I ExecuteApplication::enableDebugPrivilege: Adjusted token privilege.", TERMINATED, DONE],
        state={"processes": [NEW_SERVICE], "journal": {EARLIER_CLIENT: {"window", "quit received", "exit"}}},
        verdict=f"{UPGRADE}: complete; 1 warning or error"),
    log_file_with_a_hard_link=Row(
        before=[log_hard_linked_to_foreign_file(FOREIGN)],
        records=[DONE], state={"logs": {"foreign.txt": FOREIGN, LOG_FILE + ".1.log": FOREIGN}}),
    log_file_with_a_utf16_byte_order_mark=Row(
        before=[log_file_holding(UTF16_LOG)],
        records=[DONE], state={"logs": {LOG_FILE + ".1.log": UTF16_LOG}}),
    log_lock_held_by_another_process=Row(
        before=[log_lock_held], during=[(3, ("kill", "labtool.exe"))],  # the holder ends while the run goes on
        whole_log=True,
        records=[f"I WinMain: Installing kelvara-win32, version {VERSION_B}. title: Kelvara {VERSION_B}", DONE],
        absent=[re.compile("LOGGING STARTED|ULU")]),
    explorer_folder_values_missing=Row(
        before=[explorer_folder_values_missing],
        records=[DONE], absent=[re.compile("folder path failed")], state=product_named(APP_NAME)),
    log_root_moved=Row(
        before=[log_root_moved(LOG_ROOT)], log_root=LOG_ROOT,
        records=[DONE], state={"logs": UNCHANGED}),
    log_level_of_the_logs_own_key_first=Row(
        before=[log_levels(own=5, product=2, machine=1), pending_renames([IN_NEW, "", TEMP, IN_NEW.lower()])],
        records=[f"D {RENAMES}{FOLDER_B}\\", f"D {RENAMES}found match, skipping lines: [{IN_NEW},]",
                 f"D {RENAMES}didn't match, copy to buffer [{TEMP},{IN_NEW.lower()}]", DONE],
        state={"registry": {SESSION_KEY: {PENDING_RENAMES: [TEMP, IN_NEW.lower()]}}}),
    log_level_0xFFFFFFFF_of_the_product=Row(
        before=[log_levels(own="1", product=0xFFFFFFFF, machine=5)],  # own: text, no level
        records=[f"D {RENAMES}Couldn't read {PENDING_RENAMES} value", DONE]),
    tiny_log_size_limit=Row(
        before=[value_set(LOGGING_KEY, LOG_SIZE_LIMIT, 1), log_folder_fresh], whole_log=True,
        records=[DONE], check=rotated_whole),
    non_ascii_application_name=Row(
        env={"kelvara_app_name": NAME, "LANG": "C.UTF-8"},  # the Unix side of the variable is UTF-8
        records=[f'{SEQUENCE}Application name: "{NAME}"', DONE], state=product_named(NAME)),
)


class FaultRows(RowTests, rows=ROWS):
    """One test per row: python3 -m unittest test_faults.FaultRows.test_earlier_driver_tool_missing runs one."""

"""The lab's names for the product's machine, defined once: versions, registry keys as the probe names them
(in the 64-bit view, where the 32-bit view of SOFTWARE is SOFTWARE\\Wow6432Node), executables, folders, and
the records that end the sequence."""

VERSION_A = "2.68.0.0"  # an earlier version on the machine
VERSION_B = "2.69.35.0"  # the project version (CMakeLists.txt); Lab.version() reads the build's

# The 32-bit installer's registry without view flags: its SOFTWARE is the 32-bit view.
PRODUCT_KEY = r"SOFTWARE\Wow6432Node\Orvanta\Kelvara"
PRODUCT_KEY_64 = r"SOFTWARE\Orvanta\Kelvara"  # the 64-bit view, where nothing of the product may land
MODULES_KEY = PRODUCT_KEY + r"\modules\kelvara-win32"
UNINSTALL_KEY = r"Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Orvanta Kelvara"
UNINSTALL_KEY_64 = r"Software\Microsoft\Windows\CurrentVersion\Uninstall\Orvanta Kelvara"
RUN_KEY = r"Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Run"
RUN_KEY_64 = r"Software\Microsoft\Windows\CurrentVersion\Run"
LOGGING_KEY = r"SOFTWARE\Wow6432Node\Orvanta\KMF\Logging"  # written through its explicit 32-bit flag
SERVICE = "Kelvara Service"
SERVICE_KEY = r"SYSTEM\CurrentControlSet\Services\Kelvara Service"
SESSION_KEY = r"SYSTEM\CurrentControlSet\Control\Session Manager"
PENDING_RENAMES = "PendingFileRenameOperations"
DRIVER_TOOL_KEY = r"SOFTWARE\OvLab"  # the stand-in driver tool's effect (64-bit view)
# The framework's key (ul_reg_root) as the runs name it, and where its update packages are: the framework
# is a 32-bit program too, so its key is in the 32-bit view.
UL_REG_ROOT = r"HKEY_LOCAL_MACHINE\SOFTWARE\Orvanta\Updater"
UPDATES = r"SOFTWARE\Wow6432Node\Orvanta\Updater\updates\kelvara-win32"

DEFAULT_ROOT = r"C:\Program Files (x86)\Orvanta"  # what the probe lists
INSTALL_ROOT = DEFAULT_ROOT + r"\Kelvara"  # UL_ROOT_DIR of the runs, holding the version folders
LOG_NAME = r"Orvanta\NS\clp\Log\Kelvara\install-kelvara-win32"
JOURNAL = r"C:\ovlab\journal.log"
CLIENT_EXE = "Kelvara.exe"
TUNNEL_EXE = "openvpn.exe"
SERVICE_EXE = "ovvpnservice.exe"
SUPPORT_TOOL_EXE = "ovdiag_32.exe"
PROGRAMS = (
    CLIENT_EXE,
    TUNNEL_EXE,
    SERVICE_EXE,
    "drivertool32.exe",
    "drivertool64.exe",
    SUPPORT_TOOL_EXE,
    "ovvpnuninstall.exe",
    "install-kelvara.exe",
)
# What the probe shows and the reset removes: these keys whole, these values alone.
PRODUCT_KEYS = (
    PRODUCT_KEY_64.rsplit("\\", 1)[0],
    PRODUCT_KEY.rsplit("\\", 1)[0],
    DRIVER_TOOL_KEY,
    SERVICE_KEY,
    UNINSTALL_KEY,
    UNINSTALL_KEY_64,
)
PRODUCT_VALUES = ((RUN_KEY, "KelvaraAutoStart"), (RUN_KEY_64, "KelvaraAutoStart"), (SESSION_KEY, PENDING_RENAMES))
DRIVER_TOOL = r"x64\drivertool64.exe"  # what the 32-bit installer runs on 64-bit Windows

# The version folders of the runs, and what the product and its stand-ins name.
FOLDER_A = INSTALL_ROOT + "\\" + VERSION_A
FOLDER_B = INSTALL_ROOT + "\\" + VERSION_B
APP_NAME = "Kelvara"  # kelvara_app_name as the framework passes it, and the product's default
TUNNEL_DRIVER = "ovkelvarawintun"  # the tunneling driver's default name
DRIVER_CHANGE_DONE = "TunnelingDriverChangeDone"  # product value: the new driver is installed
DRIVERS_KEY = DRIVER_TOOL_KEY + r"\Drivers"  # the stand-in driver tool's installed drivers
LAST_OPERATION = "LastOperation"  # value of DRIVER_TOOL_KEY: the stand-in driver tool's last arguments
PRODUCT_LOGGING_KEY = LOGGING_KEY + r"\Kelvara"  # the product's log settings, below the machine's
OWN_LOGGING_KEY = PRODUCT_LOGGING_KEY + r"\install-kelvara-win32"  # this log's own settings
LOG_SIZE_LIMIT = "LogMaxSizeKB"  # value of the logging keys

# The sequence's records begin so, and its three endings.
SEQUENCE = "I MainLogic::execute: "
DONE = SEQUENCE + "DONE."
REBOOT_AT_UI = SEQUENCE + "DONE. Reboot requested. Handle notification at UI side"
REBOOT_STOP = SEQUENCE + "DONE. Reboot requested. Stop product"

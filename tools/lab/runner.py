"""The scenario lab's runner: the machine as states (probe), the work as actions (reset, unpack, install), rows
checked with expect_state and expect_log; changes() compares two probes (tools/probe.py prints a lab's)."""
import os
import re
import shutil
import subprocess
import tempfile
import time
from pathlib import Path
from typing import NamedTuple

from logstory.records import parse_records

from .vocabulary import (
    DEFAULT_ROOT,
    DRIVER_TOOL,
    INSTALL_ROOT,
    JOURNAL,
    LOG_NAME,
    LOGGING_KEY,
    PRODUCT_KEYS,
    PRODUCT_VALUES,
    PROGRAMS,
    SERVICE,
    UL_REG_ROOT,
)

REPO = Path(__file__).resolve().parents[2]
WINE = [str(REPO / "tools" / "lab" / "wine.sh"), "wine64"]  # Wine 10 in its Debian 13 root
READY = {"kelvara.exe": "window", "openvpn.exe": "started"}  # journal line of a started stand-in
MISSING = "missing"  # customization: an installer without the customization resource


class _Absent:
    def __repr__(self):
        return "ABSENT"


ABSENT = _Absent()  # in an expected state: no such key


def set_op(key, name, value):
    """The apply operation that stores a value written as the probe shows it: str (REG_SZ), int
    (REG_DWORD), list of str (REG_MULTI_SZ) or {"type": N, "hex": "..."} (exact bytes)."""
    if isinstance(value, dict):
        return ("set", key, name, value["type"], value["hex"])
    if isinstance(value, int):
        return ("set", key, name, 4, value.to_bytes(4, "little").hex())
    text = value + "\0" if isinstance(value, str) else "".join(s + "\0" for s in value) + "\0"
    return ("set", key, name, 1 if isinstance(value, str) else 7, text.encode("utf-16-le").hex())


def registry_value(kind, data):
    """As set_op writes them: REG_SZ with its NUL as text, a 4-byte REG_DWORD as a number, a well-formed
    REG_MULTI_SZ as a list; anything else as its type and bytes, so that malformed data stays visible."""
    text = data.decode("utf-16-le", "surrogatepass") if len(data) % 2 == 0 else ""
    if kind == 4 and len(data) == 4:
        return int.from_bytes(data, "little")
    if kind == 1 and text.endswith("\0"):
        return text[:-1]
    if kind == 7 and (text == "\0" or text.endswith("\0\0")):
        return text[:-1].split("\0")[:-1]
    return {"type": kind, "hex": data.hex()}


class LabError(RuntimeError):
    """A program of the lab failed (a reset, a probe, a stand-in that did not start): says which and how."""


def driver_tool_calls(journal):
    """[(tool, command line as received, working folder)] of the driver tool runs, in the order they ran,
    from the stand-ins' journal."""
    calls = []
    for line in journal:
        exe, _, event = line.partition(": ")
        if exe.rsplit("\\", 1)[-1].lower().startswith("drivertool"):
            if event.startswith("command line "):
                calls.append([exe, event[len("command line ") :], ""])
            elif event.startswith("working directory ") and calls:
                calls[-1][2] = event[len("working directory ") :]
    return [tuple(call) for call in calls]


class Run(NamedTuple):
    exit_code: int
    log: list  # this run's Records, read across the log's generations
    seconds: float  # wall time


class Lab:
    def __init__(self, build_dir=None):
        self.build = Path(build_dir or os.environ.get("OV_BUILD_DIR") or REPO / "build" / "test").resolve()
        self.prefix = self.build / "wineprefix"
        # Wine's menu builder would write menu entries for the lab's shortcuts into the Linux home.
        self.env = dict(
            os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all", WINEDLLOVERRIDES="winemenubuilder.exe=d"
        )
        self.labtool = self.build / "tools" / "lab" / "labtool.exe"
        # The installer under test is the shipped file, unless a row or the main job names another.
        self.installer = Path(os.environ.get("OV_INSTALLER") or REPO / "build/ship/install-kelvara/install-kelvara.exe")
        self.processes, self.roots, self._folders = [], {DEFAULT_ROOT}, None

    def version(self):
        """The product version the build was configured with."""
        return re.search(r"CMAKE_PROJECT_VERSION:STATIC=(.*)", (self.build / "CMakeCache.txt").read_text())[1]

    def unix(self, path):
        rest = path[2:].replace("\\", "/").lstrip("/")
        return Path("/" + rest) if path[0] in "zZ" else self.prefix / f"drive_{path[0].lower()}" / rest

    def win(self, path):
        return "Z:" + str(Path(path).resolve()).replace("/", "\\")  # drive Z: is the Linux root

    def wine(self, program, *args, input=None, env=None, timeout=120, check=True):
        # Output through files, not pipes: Wine's helper processes (explorer.exe) inherit the
        # descriptors and would keep a pipe open after the program ended.
        files = [tempfile.TemporaryFile("w+", encoding="utf-8", errors="replace") for _ in range(2)]
        with files[0] as out, files[1] as err:
            code = subprocess.run(
                [*WINE, str(program), *map(str, args)],
                input=input,
                stdout=out,
                stderr=err,
                encoding="utf-8",
                env=env or self.env,
                timeout=timeout,
            ).returncode
            done = subprocess.CompletedProcess(program, code, *[f.seek(0) or f.read() for f in (out, err)])
        if check and done.returncode:
            raise LabError(
                f"{Path(program).name} {' '.join(map(str, args))[:200]}: exit "
                f"{done.returncode}\n{done.stdout}{done.stderr}"
            )
        return done

    def apply(self, *ops):
        self.wine(self.labtool, "apply", input="".join("\t".join(map(str, op)) + "\n" for op in ops))

    def probe(self, *folders):
        """The machine state: registry {key: {name: value}}, service, shortcuts, files below the folders,
        processes, and the folders the product finds."""
        state = {"registry": {}, "service": None, "shortcuts": {}, "files": {}, "processes": [], "folders": {}}
        for folder in folders or [DEFAULT_ROOT]:  # relative paths, folders with a trailing backslash
            root = self.unix(folder)
            state["files"].update(
                {
                    folder: sorted(
                        str(p.relative_to(root)).replace("/", "\\") + "\\" * p.is_dir() for p in root.rglob("*")
                    )
                }
                if root.exists()
                else {}
            )
        what = [("key", key) for key in PRODUCT_KEYS] + [("value", *value) for value in PRODUCT_VALUES]
        what += [("service", SERVICE)] + [("program", name) for name in PROGRAMS]
        lines = self.wine(self.labtool, "probe", input="".join("\t".join(w) + "\n" for w in what)).stdout
        for line in sorted(lines.splitlines()):
            kind, *f = line.split("\t")
            if kind == "key":
                state["registry"][f[0]] = {}
            elif kind == "value":
                state["registry"][f[0]][f[1]] = registry_value(int(f[2]), bytes.fromhex(f[3]))
            elif kind == "service":
                state["service"] = {"image": f[0], "start_type": int(f[1]), "service_type": int(f[2]), "state": f[3]}
            elif kind == "shortcut":  # Wine keeps no AppUserModel properties in the file
                state["shortcuts"][f[0]] = dict(
                    zip(("target", "arguments", "working_directory", "icon_location"), f[1:]),
                    app_user_model_id=None,
                    start_pin_option=None,
                )
            elif kind == "process":
                state["processes"].append(f[0])
            elif kind == "folder":
                state["folders"][f[0]] = f[1]
        return state

    def folders(self):
        self._folders = self._folders or self.probe()["folders"]
        return self._folders

    def journal(self):
        return self.unix(JOURNAL).read_text("utf-8", "replace").splitlines() if self.unix(JOURNAL).exists() else []

    def tool_runs(self):
        """(version folder, arguments, working folder) of each run of a version's driver tool so far."""
        calls = driver_tool_calls(self.journal())
        return [(exe[: -len(DRIVER_TOOL) - 1], line.split('" ', 1)[1], cwd) for exe, line, cwd in calls]

    def _lab_settings(self):  # records mirrored to a debugger, for labtool run --on
        return [set_op(LOGGING_KEY + r"\Kelvara\install-kelvara-win32", "DebugOutputLogging", 1)]

    def _shortcut_entries(self):
        roots = [self.unix(self.folders()[name]) for name in ("desktop", "programs")]
        return sorted(str(path) for root in roots for path in root.rglob("*"))

    def reset(self):
        """Back to a machine without the product, with the lab's logging settings; the logs stay."""
        for process in self.processes:
            process.kill()
            process.communicate()
        self.processes.clear()
        self.apply(
            ("service-delete", SERVICE),
            *[("kill", exe) for exe in PROGRAMS],
            *[("delete", key) for key in PRODUCT_KEYS],
            *[("delete", *value) for value in PRODUCT_VALUES],
            *self._lab_settings(),
        )
        for root in self.roots:
            shutil.rmtree(self.unix(root), ignore_errors=True)
        # The fresh prefix's desktops and start menus, listed by winelab.sh when it booted the prefix.
        keep = {
            str(self.prefix / "drive_c" / line) for line in (self.prefix / "lab-pristine.txt").read_text().splitlines()
        }
        for entry in reversed(self._shortcut_entries()):  # what is inside a folder comes first
            if entry not in keep:
                Path(entry).rmdir() if Path(entry).is_dir() else Path(entry).unlink()
        self.unix(JOURNAL).unlink(missing_ok=True)

    def unpack(self, version, root=INSTALL_ROOT, installer=None, customization=None, settings=None, omit=()):
        """The version folder as the outer framework unpacks it: the installer beside the stand-ins.
        customization: bytes of the text, MISSING, or None for the installer as built. settings:
        {"drivertool32": "exit_code=1", r"x64\\drivertool64": ...}. Returns the Windows path."""
        folder, self.roots = f"{root}\\{version}", self.roots | {root}
        target = self.unix(folder)
        shutil.rmtree(target, ignore_errors=True)
        shutil.copytree(
            self.build / "tests" / "fixtures" / "bin", target, ignore=shutil.ignore_patterns("*.txt", "*.journal")
        )
        source = Path(installer or self.installer)
        if customization is None:
            shutil.copy(source, target / "install-kelvara.exe")
        else:
            text = self.build / "lab-customization.txt"
            text.write_bytes(b"" if customization == MISSING else customization)
            stamp = ["--remove"] if customization == MISSING else ["--text", self.win(text)]
            self.wine(
                self.build / "tools" / "stamp-conf" / "stamp-conf.exe",
                self.win(source),
                f"{folder}\\install-kelvara.exe",
                *stamp,
            )
        for base, text in (settings or {}).items():
            (target / (base.replace("\\", "/") + ".txt")).write_text(text)
        for name in omit:
            (target / name.replace("\\", "/")).unlink()
        return folder

    def start(self, exe, copies=1):
        """Starts copies of a stand-in (client or tunnel) in the background, as a user's machine has them, and
        waits until each is ready. Detached: Wine's processes must not hold the runner's pipes."""
        line = exe + ": " + READY[exe.rsplit("\\", 1)[-1].lower()]
        ready = self.journal().count(line) + copies
        for _ in range(copies):
            self.processes.append(subprocess.Popen([*WINE, exe], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                                   stderr=subprocess.DEVNULL, env=self.env))
        for _ in range(200 + 50 * copies):
            if self.journal().count(line) >= ready:
                return
            time.sleep(0.1)
        raise LabError(f"{exe}: {copies} copies did not start")

    def hold(self, *what):
        """Holds ("file", PATH), ("mutex", NAME[, MS[, SDDL]]) (by default with the security of the product's
        log lock), ("event", NAME) or ("service", NAME) until reset()."""
        process = subprocess.Popen(
            [*WINE, str(self.labtool), "hold", *map(str, what)],
            stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE,
            stderr=subprocess.PIPE,
            text=True,
            env=self.env,
        )
        self.processes.append(process)
        if process.stdout.readline().strip() != "holding":
            raise LabError(f"hold {what}: {process.stderr.read()}")
        return process

    def log_base(self, restricted=False):
        """The log file without its ".log": a non-administrator logs under the user's folder."""
        return str(self.unix(self.folders()["local_app_data" if restricted else "program_data"] + "\\" + LOG_NAME))

    def log_lines(self, base):
        """The log's lines, oldest generation first, and the index of the last start banner (or None)."""
        paths = [Path(base + generation) for generation in (".2.log", ".1.log", ".log")]
        lines = [line for path in paths if path.exists() for line in path.read_text("utf-8", "replace").splitlines()]
        return lines, max((i for i, line in enumerate(lines) if "***  LOGGING STARTED  ***" in line), default=None)

    def install_version(self, name, exit_code=0, folder=None, customization=None, settings=None, omit=(), **run):
        """Unpacks a version (unless its folder is given) and installs it: (folder, run). Raises AssertionError
        with the run's records when the run ends with another exit code."""
        folder = folder or self.unpack(name, customization=customization, settings=settings, omit=omit)
        result = self.install(folder, **run)
        if result.exit_code != exit_code:
            records = "\n  ".join(r.text for r in result.log)
            raise AssertionError(f"{folder}: exit {result.exit_code}, not {exit_code}:\n  {records}")
        return folder, result

    def install(self, folder, env=None, restricted=False, no_debug_privilege=False, on=(), timeout=120):
        """Runs <folder>\\install-kelvara.exe with the framework's environment (env overrides it;
        None unsets) under labtool. on: [(N or text, "kill" or an apply operation tuple)]."""
        version = folder.rstrip("\\").rsplit("\\", 1)[-1]
        variables = {
            "ul_reg_root": UL_REG_ROOT,
            "ul_module": "kelvara-win32",
            "ul_version": version,
            "ul_title": f"Kelvara {version}",
            "ul_silent_installation": "yes",
            "UL_ROOT_DIR": INSTALL_ROOT,
            "kelvara_app_name": "Kelvara",
            "kelvara_app_model_id": "Orvanta.Kelvara",
            **(env or {}),
        }
        # Windows names are case-insensitive: none of the eight may leak in from the caller's environment.
        run_env = {k: v for k, v in self.env.items() if k.lower() not in {name.lower() for name in variables}}
        run_env.update({k: v for k, v in variables.items() if v is not None})
        self.apply(*self._lab_settings())
        base = self.log_base(restricted)
        lines, last = self.log_lines(base)
        before = None if last is None else lines[last]
        flags = ["--restricted"] * restricted + ["--no-debug-privilege"] * no_debug_privilege
        for when, action in on:
            flags += ["--on", when, action if isinstance(action, str) else "|".join(map(str, action))]
        started = time.monotonic()
        done = self.wine(
            self.labtool, "run", *flags, "--", folder + r"\install-kelvara.exe", env=run_env, timeout=timeout
        )
        seconds = time.monotonic() - started
        out = dict(line.split(" ", 1) for line in done.stdout.splitlines() if line.startswith("exit "))
        lines, last = self.log_lines(base)
        fresh = last is not None and lines[last] != before  # else this run wrote no banner, and no record
        return Run(int(out["exit"]), parse_records(lines[last:]) if fresh else [], seconds)


def state_differences(actual, expected, path=""):
    """Where actual does not hold expected: every expected key present and equal (recursively),
    ABSENT keys missing, lists equal as a whole, compiled patterns matching a whole string."""
    if isinstance(expected, dict) and isinstance(actual, dict):
        out = []
        for key, want in expected.items():
            where = f"{path}/{key}"
            if want is ABSENT:
                out += [f"{where}: should be absent, is {repr(actual[key])[:300]}"] if key in actual else []
            else:
                out += state_differences(actual[key], want, where) if key in actual else [f"{where}: missing"]
        return out
    if isinstance(expected, re.Pattern):
        return [] if isinstance(actual, str) and expected.fullmatch(actual) else [f"{path}: {repr(actual)[:300]}"]
    return [] if actual == expected else [f"{path}: expected {repr(expected)[:300]}, is {repr(actual)[:300]}"]


def expect_state(probe, expected):
    problems = state_differences(probe, expected)
    if problems:
        raise AssertionError("machine state differs:\n  " + "\n  ".join(problems))


def flatten(state, path=()):
    """{path tuple: leaf value} of a probe, for differences between two states."""
    if isinstance(state, dict) and state:
        return {k: v for key, value in state.items() for k, v in flatten(value, path + (key,)).items()}
    return {path: state}


def changes(before, after):
    """[(path, before, after)] of every leaf that differs; ABSENT where one side lacks it."""
    old, new = flatten(before), flatten(after)
    return [
        (p, old.get(p, ABSENT), new.get(p, ABSENT))
        for p in sorted(old.keys() | new.keys())
        if old.get(p, ABSENT) != new.get(p, ABSENT)
    ]


def _matches(want, text):
    return want.search(text) if isinstance(want, re.Pattern) else want == text


def expect_log(run, in_order=(), absent=(), logged=True):
    """in_order: texts (or compiled patterns searched in them) that must appear in this order;
    absent: texts or patterns no record may show. A run without a log fails unless logged=False, which
    expects exactly that: no record is not the same as no unwanted record."""
    texts = [record.text for record in run.log]
    dump = f"\nexit {run.exit_code}, records:\n  " + "\n  ".join(texts)
    if bool(texts) != logged:
        raise AssertionError(("the run wrote no log" if logged else "the run wrote a log, none was expected") + dump)
    position = 0
    for want in in_order:
        position = next((i + 1 for i in range(position, len(texts)) if _matches(want, texts[i])), None)
        if position is None:
            raise AssertionError(f"no record {want!r} (in this order)" + dump)
    unwanted = [text for text in texts for want in absent if _matches(want, text)]
    if unwanted:
        raise AssertionError(f"unwanted records {unwanted!r}" + dump)

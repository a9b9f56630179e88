"""The main job's play of the outer installer framework in the Wine lab (started by tools/run-main.sh,
which builds and starts the lab first): version A unpacked into its own folder under the installation
root and installed, A's client and tunnel started as a user's machine has them, then version B (the
same build, another version number) unpacked beside it and run as an upgrade. Writes the report and
the timeline picture; exits 0 when every run ended with the exit code the options ask for."""
import argparse
import sys
from pathlib import Path

sys.dont_write_bytecode = True  # no __pycache__ folders in the checkout
sys.path[:0] = [str(Path(__file__).resolve().parents[2] / "tests" / "lab"), str(Path(__file__).resolve().parent),
                str(Path(__file__).resolve().parents[1])]  # tools: logstory
from lab import UPDATES, Lab, set_op  # noqa: E402
from picture import picture  # noqa: E402
from report import RunResult, report  # noqa: E402
from timeline import timeline  # noqa: E402



def older(version, steps):
    """The version `steps` releases before: the last component that allows it goes down."""
    parts = [int(p) for p in version.split(".")]
    i = max((k for k, p in enumerate(parts) if p >= steps), default=None)
    if i is None:
        raise SystemExit(f"play: cannot name versions older than {version}")
    return ".".join(str(p - steps if k == i else p) for k, p in enumerate(parts))


def machine_problem(path):
    """Why the lab cannot run the executable, or None. The lab runs 64-bit programs only, and a 32-bit
    one started there is reported as ending with 0 without having run at all."""
    data = path.read_bytes()[:4096]
    at = int.from_bytes(data[0x3C:0x40], "little") if data[:2] == b"MZ" and len(data) >= 0x40 else None
    if at is None or data[at:at + 4] != b"PE\0\0":
        return f"{path} is not a Windows executable"
    machine = int.from_bytes(data[at + 4:at + 6], "little")
    return None if machine == 0x8664 else f"{path} is not an x86_64 build (machine 0x{machine:04x}); the lab " \
                                          "runs 64-bit programs only: give the test build or a stamp-conf copy of it"


def options(argv):
    parser = argparse.ArgumentParser(prog="play.py", description=__doc__.split("\n\n")[0])
    parser.add_argument("--first-only", action="store_true", help="only the first installation")
    parser.add_argument("--reboot", action="store_true", help="B's driver tool answers 1: a reboot ending (100)")
    parser.add_argument("--not-silent", action="store_true", help="runs without ul_silent_installation=yes")
    parser.add_argument("--installer", type=Path, help="another installer build to unpack (default: the test build's)")
    parser.add_argument("--build", type=Path, help="the test build tree (default: build/test)")
    parser.add_argument("--out", type=Path, help="folder for report.txt and timeline.html (default: build/main-job)")
    return parser.parse_args(argv)


def play_run(lab, title, folder, expected, env):
    before, seen = lab.probe(), len(lab.journal())
    run = lab.install(folder, env=env)
    return RunResult(title, folder, expected, run.exit_code, run.seconds, run.log, before, lab.probe(),
                     lab.journal()[seen:])


def play(lab, args, version_b):
    version_a = older(version_b, 1)
    env = {"ul_silent_installation": None} if args.not_silent else {}
    lab.reset()
    # The framework keeps a few packages of the module; the installer marks the one it installed active.
    lab.apply(*[set_op(f"{UPDATES}\\{v}", "status", "inactive") for v in (older(version_b, 2), version_a, version_b)])
    folder_a = lab.unpack(version_a, installer=args.installer)
    runs = [play_run(lab, f"first installation of {version_a}", folder_a, 0, env)]
    if args.first_only:
        return runs
    lab.start(folder_a + r"\Kelvara.exe")
    lab.start(folder_a + r"\openvpn.exe")
    # The 32-bit installer on 64-bit Windows runs the x64 tool, the 64-bit lab build the 32-bit one.
    settings = {"drivertool32": "exit_code=1", r"x64\drivertool64": "exit_code=1"} if args.reboot else None
    folder_b = lab.unpack(version_b, installer=args.installer, settings=settings)
    runs.append(play_run(lab, f"upgrade from {version_a} to {version_b}", folder_b, 100 if args.reboot else 0, env))
    return runs


def main(argv):
    args = options(argv)
    lab = Lab(args.build)
    out = (args.out or lab.build.parent / "main-job").resolve()
    if args.installer and not args.installer.is_file():
        raise SystemExit(f"play: no installer at {args.installer}")
    if args.installer and machine_problem(args.installer):
        raise SystemExit(f"play: {machine_problem(args.installer)}")
    try:
        runs = play(lab, args, lab.version())
    except RuntimeError as error:  # a program of the lab failed: say which, without a traceback
        raise SystemExit(f"play: the lab could not run it: {error}")
    out.mkdir(parents=True, exist_ok=True)
    (out / "timeline.html").write_text(picture([(f"Run {n}: {run.title}", timeline(run.log, run.journal))
                                                for n, run in enumerate(runs, 1)]), encoding="utf-8")
    text = report(runs, out / "timeline.html")
    (out / "report.txt").write_text(text, encoding="utf-8")
    print(text + f"Report: {out / 'report.txt'}")
    return 0 if all(run.exit_code == run.expected for run in runs) else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

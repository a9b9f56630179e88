"""The main job's play of the outer installer framework in the Wine lab (started by tools/run-main.sh,
which builds and starts the lab first): version A unpacked into its own folder under the installation
root and installed, A's client and tunnel started as a user's machine has them, then version B (the
same build, another version number) unpacked beside it and run as an upgrade. Writes the report and
the timeline picture; exits 0 when every run ended with the exit code the options ask for."""
import argparse
import sys
from pathlib import Path

from lab import UPDATES, Lab, LabError, set_op
from lab import CLIENT_EXE, TUNNEL_EXE

from .picture import picture
from .report import RunResult, report
from .timeline import timeline


def older(version, steps):
    """The version `steps` releases before: the last component that allows it goes down."""
    parts = [int(p) for p in version.split(".")]
    i = max((k for k, p in enumerate(parts) if p >= steps), default=None)
    if i is None:
        raise SystemExit(f"play: cannot name versions older than {version}")
    return ".".join(str(p - steps if k == i else p) for k, p in enumerate(parts))


def options(argv):
    parser = argparse.ArgumentParser(prog="play.py", description=__doc__.split("\n\n")[0])
    parser.add_argument("--first-only", action="store_true", help="only the first installation")
    parser.add_argument("--reboot", action="store_true", help="B's driver tool answers 1: a reboot ending (100)")
    parser.add_argument("--not-silent", action="store_true", help="runs without ul_silent_installation=yes")
    parser.add_argument("--installer", type=Path, help="another installer build to unpack (default: the ship build's)")
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
    lab.start(rf"{folder_a}\{CLIENT_EXE}")
    lab.start(rf"{folder_a}\{TUNNEL_EXE}")
    # The 32-bit installer on 64-bit Windows runs the x64 tool; a 64-bit build would run the 32-bit one.
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
    if args.installer and args.installer.read_bytes()[:2] != b"MZ":
        raise SystemExit(f"play: {args.installer} is not a Windows executable")
    try:
        runs = play(lab, args, lab.version())
    except LabError as error:  # a program of the lab failed: say which, without a traceback
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

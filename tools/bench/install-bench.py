"""The whole-run benchmark (run it with tools/bench/install-bench.sh): the first installation and the
upgrade of the main job, each N times from the same start state, at the default log level, against a
baseline measured in the same run, right after each measured run so that both see the same load of
the shared machine: a bare process start of the same build (ovdiag_32.exe, which returns at once,
started as the installer is: under labtool run) and each driver tool command line of the run,
started alone as the installer starts it (run-alone.exe).

Per run: the steps, child processes and mandated waits come from the step timeline of the main
job's report (records and journal); own work = wall time - bare start - child processes - mandated
waits (the 100 ms service polls, the process quit waits, the probes after a termination); ratio =
wall time / (bare start + the run's child processes alone + mandated waits). Medians over the runs."""
import argparse
import statistics
import sys
import time
from pathlib import Path

from lab import Lab, driver_tool_calls
from lab import CLIENT_EXE, TUNNEL_EXE, SUPPORT_TOOL_EXE
from mainjob.play import older
from mainjob.timeline import short_command, timeline

TARGETS = {"first installation": 200, "upgrade": 300}  # own work, ms
RATIO_TARGET = 1.3


def timed(lab, program, *args):
    """Wall ms of one lab program run. No timeout: with one the runner polls the process in steps
    of up to 50 ms, which would blur every time measured here."""
    started = time.monotonic()
    done = lab.wine(program, *args, timeout=None)
    return (time.monotonic() - started) * 1000, done


def sample(lab, folder):
    """One measured run, and its baseline measured right after it, under the same load of the machine:
    a bare start of ovdiag_32.exe and each driver tool command line of the run started alone."""
    seen = len(lab.journal())
    run = lab.install(folder, timeout=None)
    if run.exit_code != 0:
        raise SystemExit(f"install-bench: the run of {folder} ended with {run.exit_code}, not 0")
    journal = lab.journal()[seen:]
    s = {
        "wall": run.seconds * 1000,
        "span": (run.log[-1].time - run.log[0].time).total_seconds() * 1000,
        "steps": timeline(run.log, journal),
        "calls": driver_tool_calls(journal),
        "alone": [],
    }
    s["bare"] = timed(lab, lab.labtool, "run", "--", rf"{folder}\{SUPPORT_TOOL_EXE}")[0]
    for _, command, where in s["calls"]:
        if not lab.unix(where).exists():  # the upgrade removed the earlier version's folder
            lab.unpack(where.rsplit("\\", 1)[-1])
        s["alone"].append(
            float(timed(lab, lab.build / "tools" / "bench" / "run-alone.exe", 1, where, command)[1].stdout)
        )
    items = [item for step in s["steps"] for item in step.items]
    s["children"] = sum(i.ms for i in items if i.kind == "child")
    s["waits"] = sum(i.ms for i in items if i.kind == "wait")
    s["own"] = s["wall"] - s["bare"] - s["children"] - s["waits"]
    s["unavoidable"] = s["bare"] + sum(s["alone"]) + s["waits"]
    s["ratio"] = s["wall"] / s["unavoidable"]
    return s


def first_installation(lab, a, b):
    lab.reset()
    return sample(lab, lab.unpack(a))


def upgrade(lab, a, b):
    lab.reset()
    folder = lab.unpack(a)
    lab.install(folder)
    lab.start(rf"{folder}\{CLIENT_EXE}")
    lab.start(rf"{folder}\{TUNNEL_EXE}")
    return sample(lab, lab.unpack(b))


TOTALS = (
    ("process start and exit, beyond a bare start", lambda s: s["wall"] - s["span"] - s["bare"]),
    ("wall time", lambda s: s["wall"]),
    ("child processes in the run", lambda s: s["children"]),
    ("mandated waits", lambda s: s["waits"]),
    ("baseline: bare process start", lambda s: s["bare"]),
    ("baseline: child processes alone", lambda s: sum(s["alone"])),
    ("unavoidable: baseline + mandated waits", lambda s: s["unavoidable"]),
    ("own work", lambda s: s["own"]),
)


def median_cell(values, digits=0):
    return f"{statistics.median(values):>10.{digits}f}" if values else f"{'-':>10}"


def table(results):
    """Per-step medians (whole and own work), then the totals, for each scenario side by side."""
    names = list(dict.fromkeys(step.name for samples in results.values() for s in samples for step in s["steps"]))
    lines = [
        f"{'':42}" + "".join(f"{name:>20}" for name in results),
        f"{'step (median ms)':42}" + f"{'whole':>10}{'own work':>10}" * len(results),
    ]
    for name in names:
        row = f"  {name:40}"
        for samples in results.values():
            steps = [step for s in samples for step in s["steps"] if step.name == name]
            row += median_cell([st.ms for st in steps]) + median_cell(
                [st.ms - sum(i.ms for i in st.items) for st in steps]
            )
        lines.append(row)
    for label, value in TOTALS:
        lines.append(
            f"{label:42}" + "".join(median_cell([value(s) for s in samples]) + " " * 10 for samples in results.values())
        )
    lines.append(
        f"{'ratio':42}"
        + "".join(median_cell([s["ratio"] for s in samples], 2) + " " * 10 for samples in results.values())
    )
    return lines


def main(argv):
    parser = argparse.ArgumentParser(prog="install-bench", description=__doc__.split("\n\n")[0])
    parser.add_argument("--runs", type=int, default=5, help="runs of each scenario (default 5)")
    parser.add_argument("--build", type=Path, help="the test build tree (default: build/test)")
    args = parser.parse_args(argv)
    lab = Lab(args.build)
    a, b = older(lab.version(), 1), lab.version()
    print(
        f"install-bench: {args.runs} runs each of the first installation and the upgrade ({lab.build}), "
        "default log level",
        flush=True,
    )
    results = {}
    for name, scenario in (("first installation", first_installation), ("upgrade", upgrade)):
        results[name] = [scenario(lab, a, b) for _ in range(args.runs)]
        print(f"  {name}: {', '.join(str(round(s['wall'])) for s in results[name])} ms", flush=True)
    alone = {}
    for s in [s for samples in results.values() for s in samples]:
        for call, ms in zip(s["calls"], s["alone"]):
            alone.setdefault(call, []).append(ms)
    for (_, command, folder), times in alone.items():
        print(
            f"baseline: alone, median {statistics.median(times):5.1f} ms  {short_command(command)}  "
            f"(in ...\\{folder.rsplit(chr(92), 1)[-1]})"
        )
    print("\n".join(table(results)))
    summary = {
        name: (statistics.median(s["own"] for s in samples), statistics.median(s["ratio"] for s in samples))
        for name, samples in results.items()
    }
    for name, (own, ratio) in summary.items():
        missed = [f"own work {own:.0f} > {TARGETS[name]} ms"] * (own > TARGETS[name]) + [
            f"ratio {ratio:.2f} > {RATIO_TARGET}"
        ] * (ratio > RATIO_TARGET)
        print(f"target, {name}: " + ("met" if not missed else "missed: " + ", ".join(missed)))
    (own_a, ratio_a), (own_b, ratio_b) = summary["first installation"], summary["upgrade"]
    print(
        f"install-bench: first installation own work {own_a:.0f} ms, ratio {ratio_a:.2f}; "
        f"upgrade own work {own_b:.0f} ms, ratio {ratio_b:.2f}"
    )


if __name__ == "__main__":
    main(sys.argv[1:])

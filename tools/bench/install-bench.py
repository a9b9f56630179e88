"""The whole-run benchmark (run it with tools/bench/install-bench.sh): the first installation and the
upgrade of the main job, each N times from the same start state, at the default log level, against a
baseline measured in the same run: a bare process start of the same build (ovdiag_32.exe, which
returns at once, started as the installer is: under labtool run) and each driver tool command line
of the runs, started alone as the installer starts it (run-alone.exe).

Per run: the steps, child processes and mandated waits come from the step timeline of the main
job's report (records and journal); own work = wall time - bare start - child processes - mandated
waits (the 100 ms service polls, the process quit waits, the probes after a termination); ratio =
wall time / (bare start + the run's child processes alone + mandated waits). Medians over the runs."""
import argparse
import statistics
import sys
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
sys.dont_write_bytecode = True  # no __pycache__ folders in the checkout
sys.path[:0] = [str(REPO / "tests" / "lab"), str(REPO / "tools" / "mainjob")]
from difference import driver_tool_calls  # noqa: E402
from play import ROOT, older, open_lab  # noqa: E402
from timeline import short_command, timeline  # noqa: E402

TARGETS = {"first installation": 200, "upgrade": 300}  # own work, ms
RATIO_TARGET = 1.3


def timed(lab, program, *args):
    """Wall ms of one lab program run. No timeout: with one the runner polls the process in steps
    of up to 50 ms, which would blur every time measured here."""
    started = time.monotonic()
    done = lab.wine(program, *args, timeout=None)
    return (time.monotonic() - started) * 1000, done


def sample(lab, folder):
    seen = len(lab.journal())
    run = lab.install(folder, timeout=None)
    if run.exit_code != 0:
        raise SystemExit(f"install-bench: the run of {folder} ended with {run.exit_code}, not 0")
    journal = lab.journal()[seen:]
    span = (run.log[-1].time - run.log[0].time).total_seconds() * 1000
    return {"wall": run.seconds * 1000, "outside": run.seconds * 1000 - span,
            "steps": timeline(run.log, journal), "calls": driver_tool_calls(journal)}


def first_installation(lab, a, b):
    lab.reset()
    return sample(lab, lab.unpack(a, root=ROOT))


def upgrade(lab, a, b):
    lab.reset()
    folder = lab.unpack(a, root=ROOT)
    lab.install(folder)
    lab.start(folder + r"\Kelvara.exe")
    lab.start(folder + r"\openvpn.exe")
    return sample(lab, lab.unpack(b, root=ROOT))


def baseline(lab, a, b, calls, n):
    """(bare start ms, {(command line, folder): ms alone}), medians of n, both version folders present."""
    lab.reset()
    lab.unpack(a, root=ROOT)
    folder = lab.unpack(b, root=ROOT)
    bare = statistics.median(timed(lab, lab.labtool, "run", "--", folder + r"\ovdiag_32.exe")[0] for _ in range(n))
    run_alone = lab.build / "tools" / "bench" / "run-alone.exe"
    alone = {call: statistics.median(float(t) for t in timed(lab, run_alone, n, call[1], call[0])[1].stdout.split())
             for call in sorted(set(calls))}
    return bare, alone


def account(s, bare, alone):
    """Own work and ratio of one sample."""
    items = [item for step in s["steps"] for item in step.items]
    children = sum(i.ms for i in items if i.kind == "child")
    waits = sum(i.ms for i in items if i.kind == "wait")
    s.update(children=children, waits=waits, own=s["wall"] - bare - children - waits,
             unavoidable=bare + sum(alone[call] for call in s["calls"]) + waits)
    s["ratio"] = s["wall"] / s["unavoidable"]
    return s


def table(results, bare):
    """Per-step medians (whole and own work), then the totals, for each scenario side by side."""
    names = list(dict.fromkeys(step.name for samples in results.values() for s in samples for step in s["steps"]))
    median = lambda values: statistics.median(values) if values else None
    cell = lambda v, digits=0: f"{v:>10.{digits}f}" if v is not None else f"{'-':>10}"
    lines = [f"{'':42}" + "".join(f"{name:>20}" for name in results),
             f"{'step (median ms)':42}" + f"{'whole':>10}{'own work':>10}" * len(results)]
    for name in names:
        row = f"  {name:40}"
        for samples in results.values():
            steps = [step for s in samples for step in s["steps"] if step.name == name]
            row += cell(median([st.ms for st in steps])) + cell(median([st.ms - sum(i.ms for i in st.items)
                                                                        for st in steps]))
        lines.append(row)
    rows = (("process start and exit, beyond a bare start", lambda s: s["outside"] - bare, 0),
            ("wall time", lambda s: s["wall"], 0), ("child processes in the run", lambda s: s["children"], 0),
            ("mandated waits", lambda s: s["waits"], 0), ("unavoidable: baseline + mandated waits",
                                                          lambda s: s["unavoidable"], 0),
            ("own work", lambda s: s["own"], 0), ("ratio", lambda s: s["ratio"], 2))
    for label, value, digits in rows:
        lines.append(f"{label:42}" + "".join(cell(median([value(s) for s in samples]), digits) + f"{'':10}"
                                             for samples in results.values()))
    return lines


def main(argv):
    parser = argparse.ArgumentParser(prog="install-bench", description=__doc__.split("\n\n")[0])
    parser.add_argument("--runs", type=int, default=5, help="runs of each scenario (default 5)")
    parser.add_argument("--build", type=Path, help="the test build tree (default: build/test)")
    args = parser.parse_args(argv)
    lab = open_lab(args.build)
    version = next(line.split("=", 1)[1].strip() for line in (lab.build / "CMakeCache.txt").read_text().splitlines()
                   if line.startswith("CMAKE_PROJECT_VERSION:"))
    a, b = older(version, 1), version
    print(f"install-bench: {args.runs} runs each of the first installation and the upgrade ({lab.build}), "
          "default log level", flush=True)
    results = {}
    for name, scenario in (("first installation", first_installation), ("upgrade", upgrade)):
        results[name] = [scenario(lab, a, b) for _ in range(args.runs)]
        print(f"  {name}: {', '.join(str(round(s['wall'])) for s in results[name])} ms", flush=True)
    bare, alone = baseline(lab, a, b, [c for samples in results.values() for s in samples for c in s["calls"]], args.runs)
    print(f"baseline: bare process start (ovdiag_32.exe under labtool run) {bare:.1f} ms")
    for (command, folder), ms in alone.items():
        print(f"baseline: alone {ms:6.1f} ms  {short_command(command)}  (in ...\\{folder.rsplit(chr(92), 1)[-1]})")
    for samples in results.values():
        for s in samples:
            account(s, bare, alone)
    print("\n".join(table(results, bare)))
    summary = {name: (statistics.median(s["own"] for s in samples), statistics.median(s["ratio"] for s in samples))
               for name, samples in results.items()}
    for name, (own, ratio) in summary.items():
        missed = [f"own work {own:.0f} > {TARGETS[name]} ms"] * (own > TARGETS[name]) + \
                 [f"ratio {ratio:.2f} > {RATIO_TARGET}"] * (ratio > RATIO_TARGET)
        print(f"target, {name}: " + ("met" if not missed else "missed: " + ", ".join(missed)))
    (own_a, ratio_a), (own_b, ratio_b) = summary["first installation"], summary["upgrade"]
    print(f"install-bench: first installation own work {own_a:.0f} ms, ratio {ratio_a:.2f}; "
          f"upgrade own work {own_b:.0f} ms, ratio {ratio_b:.2f}")


if __name__ == "__main__":
    main(sys.argv[1:])

#!/usr/bin/env python3
"""Prints the product's machine state in a lab as JSON: registry values the product touches (both views), the
service, shortcuts, version folders and product processes (the probe the scenario rows compare). It starts and
stops the lab's wineserver, so do not run it while tests use that lab."""
import argparse
import json
import subprocess
import sys
from pathlib import Path

from lab import Lab, LabError

REPO = Path(__file__).resolve().parents[1]


def main(argv):
    parser = argparse.ArgumentParser(prog="probe.py", description=__doc__)
    parser.add_argument("place", nargs="?", type=Path, help="a test build tree or its wineprefix (default build/test)")
    parser.add_argument("folders", nargs="*", help=r"Windows folders whose files to list (default the root)")
    args = parser.parse_args(argv)
    place = args.place
    lab = Lab(place.parent if place and (place / "drive_c").is_dir() else place)
    if not (lab.build / "CMakeCache.txt").is_file() or not lab.labtool.is_file():
        parser.error(f"{lab.build} is not a built test tree (cmake --preset test && cmake --build --preset test)")
    winelab = REPO / "tools" / "winelab.sh"
    subprocess.run([winelab, "start", lab.prefix], check=True)
    try:
        print(json.dumps(lab.probe(*args.folders), indent=2, sort_keys=True, ensure_ascii=False, default=str))
    except LabError as error:
        raise SystemExit(f"probe: {error}")
    finally:
        subprocess.run([winelab, "stop", lab.prefix], check=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

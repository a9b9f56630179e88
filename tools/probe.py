#!/usr/bin/env python3
"""Prints the product's machine state in a lab as JSON: registry values the product touches, the service,
shortcuts, version folders and product processes (the probe the scenario rows compare).
usage: python3 tools/probe.py [PREFIX_OR_BUILD_DIR] [FOLDER...]   (default build/test; starts and stops the
lab's wineserver, so do not run it while tests use that lab)"""
import json
import subprocess
import sys
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
from lab import Lab

place = Path(sys.argv[1]) if len(sys.argv) > 1 else None
lab = Lab(place.parent if place and (place / "drive_c").is_dir() else place)
winelab = REPO / "tools" / "winelab.sh"
subprocess.run([winelab, "start", lab.prefix], check=True)
try:
    print(json.dumps(lab.probe(*sys.argv[2:]), indent=2, sort_keys=True, ensure_ascii=False, default=str))
finally:
    subprocess.run([winelab, "stop", lab.prefix], check=True)

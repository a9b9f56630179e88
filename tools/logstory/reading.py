"""The files support received, read as one log: generations oldest first, each file's notes, and the
runs in them with the notes on each run's own records."""
import re
from pathlib import Path
from typing import NamedTuple

from logstory.records import BACKWARDS, read_log
from logstory.runs import split_runs

GENERATION = re.compile(r"\.(\d+)\.log$", re.I)
DEFAULT_LIMIT = 5000 * 1024  # bytes: the size limit the installer configures


class Log(NamedTuple):
    files: list  # the paths, oldest first
    notes: list  # (file name, note)
    runs: list  # (Run, [note])


def oldest_first(paths):
    """Generations by their number (name.2.log before name.1.log before name.log); others as given."""

    def generation(path):
        match = GENERATION.search(Path(path).name)
        return -int(match[1]) if match else 0

    return sorted(paths, key=generation)


def read_files(paths, read=Path.read_bytes):
    """The Log of the files, whatever their state: what cannot be read is a note, never an exception."""
    files, notes, records, first_record = oldest_first(paths), [], [], None
    for path in files:
        name = Path(path).name
        try:
            data = read(Path(path))
        except OSError as error:
            notes.append((name, f"cannot be read: {error.strerror or error}"))
            continue
        found, said = read_log(data)
        notes += [(name, note) for note in said]
        if len(data) > DEFAULT_LIMIT + 65536:
            notes.append((name, "larger than the default size limit of 5,000 KB"))
        if found and records and records[-1].time - found[0].time > BACKWARDS:
            notes.append((name, "begins before the file given before it ends"))
        first_record = first_record or (found[0] if found else None)
        records += found
    runs = []
    for run in split_runs(records):
        where = (
            "at the start of the oldest file given" if run.records[0] is first_record else "in the middle of the log"
        )
        runs.append((run, [] if run.banner else [f"records without a banner {where}"]))
    return Log(files, notes, runs)

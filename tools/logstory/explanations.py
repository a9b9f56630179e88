"""The table of explanations (explanations.tsv beside this file, which support extends): what a record
or a reading note means, its likely cause and what to do next."""
import re
from pathlib import Path
from typing import NamedTuple

TABLE = Path(__file__).with_name("explanations.tsv")
FIELDS = ("levels", "step", "pattern", "explanation", "cause", "action", "sample")
PLACEHOLDER = re.compile(r"\{(\w+)\}")


class Entry(NamedTuple):
    levels: str  # the record levels it explains (F E W I), or R for a note of the reader
    step: str  # where the record comes from; the step found in a run's timeline takes precedence
    pattern: re.Pattern
    explanation: str
    cause: str
    action: str
    sample: str  # a record text ("E function: message") or a note that this entry explains


class Explained(NamedTuple):
    entry: Entry
    explanation: str
    cause: str
    action: str


def load(path=TABLE):
    """The Entries of a table file, in order. A malformed line raises ValueError naming it."""
    entries = []
    lines = path.read_text(encoding="utf-8").splitlines()
    for number, line in enumerate(lines, 1):
        if not line.strip() or line.startswith("#") or line.startswith("level\t"):
            continue
        fields = line.split("\t")
        if len(fields) != len(FIELDS):
            raise ValueError(f"{path}:{number}: {len(fields)} fields, not {len(FIELDS)}")
        try:
            pattern = re.compile(fields[2], re.S)
        except re.error as error:
            raise ValueError(f"{path}:{number}: pattern: {error}") from None
        entries.append(Entry(fields[0], fields[1], pattern, *fields[3:]))
    return entries


def explain(entries, level, text):
    """The Explained of the first entry for a record's level and its "function: message" text (or for
    a reader's note with level R), or None."""
    for entry in entries:
        match = entry.pattern.search(text) if level in entry.levels else None
        if match:
            groups = match.groupdict()

            def fill(template, groups=groups):
                return PLACEHOLDER.sub(lambda m: str(groups.get(m[1]) or m[0]), template)

            return Explained(entry, fill(entry.explanation), fill(entry.cause), fill(entry.action))
    return None

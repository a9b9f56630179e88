"""Log records: the record format of the product's logger, and the reading of log files in whatever
state support receives them (cut, re-encoded, mixed up, not a log at all) into the records that could be
read and notes on what could not. Pure: bytes in, records and notes out."""
import datetime
import re
from typing import NamedTuple

RECORD = re.compile(
    r"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) \[([0-9a-f]{4,})\.([0-9a-f]{4,})\] (\*F|\*E|\.W| I| D| V): (.*)"
)
STAMP = re.compile(r"\d{4}-\d\d-\d\d[ T]\d")  # a line that starts like a record
STARTED, ENDED, AUTO_CLOSED = "***  LOGGING STARTED  ***", "***  LOGGING ENDED  ***", "***  LOG AUTO-CLOSED ***"
LEVELS = {"F": "fatal", "E": "error", "W": "warning", "I": "info", "D": "debug", "V": "verbose"}
BACKWARDS = datetime.timedelta(seconds=2)  # more than the wait for the log's lock: records are out of order


class Record(NamedTuple):
    time: datetime.datetime
    pid: int
    tid: int
    level: str  # F E W I D V
    function: str  # empty for the banners
    message: str

    @property
    def text(self):
        """The compact form rows use: "I MainLogic::execute: DONE."."""
        return f"{self.level} {self.function}: {self.message}" if self.function else f"{self.level} {self.message}"


def record_of(line):
    """The Record of one line, or None when the line is not a whole record."""
    match = RECORD.fullmatch(line)
    if not match:
        return None
    stamp, pid, tid, level, rest = match.groups()
    try:
        time = datetime.datetime.strptime(stamp, "%Y-%m-%d %H:%M:%S.%f")
    except ValueError:  # the format, but no date: a damaged line
        return None
    function, message = rest.split(": ", 1) if ": " in rest and not rest.startswith("***") else ("", rest)
    return Record(time, int(pid, 16), int(tid, 16), level[1], function, message)


def read_records(lines):
    """(Records, notes) of log lines. A line outside the format continues the message before it (system
    texts end in line breaks), unless it starts like a record (a damaged one) or no record came yet."""
    records, damaged, before = [], [], 0
    for number, line in enumerate(lines, 1):
        record = record_of(line)
        if record:
            records.append(record)
        elif STAMP.match(line) or (records and any(c < " " and c != "\t" for c in line)):
            damaged.append((number, line))
        elif line.strip() and records:
            records[-1] = records[-1]._replace(message=records[-1].message + "\n" + line)
        elif line.strip():
            before += 1
    notes = [f"{before} lines of other text before the first record"] if before and records else []
    if damaged:
        number, line = damaged[0]
        notes.append(f"{len(damaged)} damaged lines, not read as records (the first, line {number}: {line[:60]!r})")
    back = next((r for r, s in zip(records, records[1:]) if r.time - s.time > BACKWARDS), None)
    if back:
        at = back.time.strftime("%Y-%m-%d %H:%M:%S.%f")[:-3]
        notes.append(f"records out of time order (after {at} comes an earlier one): mixed up")
    return records, notes


def parse_records(lines):
    """The Records of log lines (what read_records finds, without its notes)."""
    return read_records(lines)[0]


def decode(data):
    """(text, notes): the installer writes UTF-8 without a byte-order mark; anything else is read as well
    as it can be and said."""
    if data.startswith((b"\xff\xfe", b"\xfe\xff")) or (len(data) > 3 and data[1::2].count(0) > len(data) // 4):
        encoding = "utf-16" if data[:2] in (b"\xff\xfe", b"\xfe\xff") else "utf-16-le"
        return data.decode(encoding, "replace"), ["in UTF-16, not in the UTF-8 the installer writes"]
    notes = []
    if data.startswith(b"\xef\xbb\xbf"):
        data, notes = data[3:], ["starts with a UTF-8 byte-order mark, which the installer does not write"]
    lines, latin = [], 0
    for line in data.split(b"\n"):
        try:
            lines.append(line.decode("utf-8"))
        except UnicodeDecodeError:
            lines.append(line.decode("latin-1"))
            latin += 1
    notes += [f"{latin} lines are not UTF-8 and were read as Latin-1"] if latin else []
    return "\n".join(lines), notes


def read_log(data):
    """(Records, notes) of a log file's bytes."""
    if not data:
        return [], ["the file is empty"]
    text, notes = decode(data)
    lines = [line[:-1] if line.endswith("\r") else line for line in text.split("\n")]
    if lines[-1]:
        notes.append("it ends in the middle of a line: the file was cut")
    records, more = read_records(lines)
    if not records:
        return [], notes + ["no log record in it: not a log of the installer"]
    return records, notes + more

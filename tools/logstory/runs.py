"""The runs in a log: from a start banner to its end banner, the records of one installer process.
Several processes may write to the same log at once; each record belongs to the run of its process
id. Pure."""
from typing import NamedTuple

from logstory.records import AUTO_CLOSED, ENDED, STARTED


class Run(NamedTuple):
    pid: int
    tid: int  # of the first record
    records: list
    banner: bool  # the run starts with its start banner (else its start is not in the files given)
    ended: bool  # its end banner is there


def is_banner(record, text):
    return not record.function and record.message.startswith(text)


def split_runs(records):
    """The Runs of records read oldest first, in the order they started."""
    runs, open_runs = [], {}  # process id: index of its run
    for r in records:
        if is_banner(r, STARTED) or r.pid not in open_runs:
            # A new banner of a process id whose run never ended: the id was reused by a later process.
            open_runs[r.pid] = len(runs)
            runs.append(Run(r.pid, r.tid, [], is_banner(r, STARTED), False))
        at = open_runs[r.pid]
        runs[at].records.append(r)
        if is_banner(r, ENDED) or is_banner(r, AUTO_CLOSED):
            runs[at] = runs[at]._replace(ended=True)
            del open_runs[r.pid]
    return runs

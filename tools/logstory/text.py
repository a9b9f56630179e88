"""Runs told as plain text 100 columns wide, the same lines in the main job's report and in
tools/explain-log.py, and the explainer's HTML page with the main job's timeline picture. Pure."""
import textwrap
from html import escape

from logstory.explanations import explain
from mainjob.picture import picture

WIDTH = 100
MARKS = {"W": " !", "E": "!!", "F": "!!"}
TABLE_NAME = "tools/logstory/explanations.tsv"


def wrap(lines, indent=None):
    """Lines longer than the width, broken at blanks and continued under their own indentation + 4
    (or under the given indentation)."""
    out = []
    for line in lines:
        under = " " * (indent or len(line) - len(line.lstrip()) + 4)
        out += (
            textwrap.wrap(line, WIDTH, subsequent_indent=under, break_on_hyphens=False) if len(line) > WIDTH else [line]
        )
    return out


def steps_lines(steps):
    lines = [f"  {'start':>6}{'ms':>6}  step (its records), and inside it: run (a child process), wait (mandated)"]
    for s in steps:
        lines.append(f"  {s.start:>6}{s.ms:>6}  {s.name} ({s.records})")
        lines += [f"  {i.start:>6}{i.ms:>6}   {'run' if i.kind == 'child' else 'wait'} {i.label}" for i in s.items]
    return lines


def summary_lines(story):
    """The kind, the result and the verdict of a run."""
    return [f"kind       {story.kind}", f"result     {story.result}", f"verdict    {story.verdict}"]


def explained_lines(explained, indent="          "):
    if explained is None:
        return [f"{indent}not explained: no entry of {TABLE_NAME} knows this record"]
    return [
        f"{indent}means: {explained.explanation}",
        f"{indent}cause: {explained.cause}",
        f"{indent}to do: {explained.action}",
    ]


def problems_lines(story):
    """What went wrong: each warning, error or fatal record and each record the table explains."""
    if not story.problems:
        return ["What went wrong: nothing (no warning, error or fatal record, no record worth explaining)"]
    start = story.problems[0].record.time if story.header["started"] is None else story.header["started"]
    count = f"{len(story.problems)} record{'s' if len(story.problems) != 1 else ''}"
    lines = [f"What went wrong: {count} (' !' warning, '!!' error or fatal, ms from the first record, step)"]
    for p in story.problems:
        at = round((p.record.time - start).total_seconds() * 1000)
        text = p.record.text.split("\n")
        lines += wrap(
            [f"{MARKS.get(p.record.level, '  ')}{at:>7}  [{p.step or 'before the first step'}] {text[0]}"]
            + [f"          {more}" for more in text[1:] if more.strip()],
            indent=10,
        )
        lines += wrap(explained_lines(p.explained), indent=17)
    return lines


def header_lines(story):
    h = story.header
    started = h["started"].strftime("%Y-%m-%d %H:%M:%S.%f")[:-3] if h["started"] else "unknown"
    lines = [
        f"started    {started}, {h['offset']}, session {h['session']}, process {h['pid']:04x}, thread {h['tid']:04x}"
    ]
    if h["module"] is not None:
        lines.append(f"module     {h['module']}, version {h['version']}, title \"{h['title']}\"")
    else:
        lines.append('module     unknown (no "Installing" record)')
    lines += [f"mode       {h['mode']}", f"root       {h['root'] if h['root'] is not None else 'unknown (not logged)'}"]
    return lines + ([f"registry   {h['registry root']} (framework's root)"] if h["registry root"] else [])


def notes_lines(notes, entries, title):
    lines = [title]
    for where, note in notes:
        lines += wrap([f"  {where}: {note}" if where else f"  {note}"])
        lines += wrap(explained_lines(explain(entries, "R", note), indent="      "), indent=13)
    return lines


def explanation_text(log, stories, entries):
    """The explainer's whole text for a Log and the Story of each of its runs."""
    names = ", ".join(str(path) for path in log.files)
    runs = f"{len(stories)} run{'s' if len(stories) != 1 else ''}"
    lines = [f"Installation log explained: {runs} in {names}", ""]
    if log.notes:
        lines += notes_lines(log.notes, entries, "What could not be read as it should") + [""]
    for number, ((run, notes), story) in enumerate(zip(log.runs, stories), 1):
        title = f"=== Run {number}: {story.title} "
        lines += [title + "=" * max(3, WIDTH - len(title))] + header_lines(story) + summary_lines(story) + [""]
        if notes:
            lines += notes_lines([("", note) for note in notes], entries, "About its records") + [""]
        lines += ["Step timeline (ms from the first record)"] + steps_lines(story.steps) + [""]
        lines += problems_lines(story) + [""]
    lines += ["Verdicts"] + [f"  Run {n}: {story.verdict}" for n, story in enumerate(stories, 1)]
    return "\n".join(wrap(lines)) + "\n"


def explanation_page(text, stories):
    """One self-contained HTML page: each run's timeline picture, then the text."""
    page = picture([(f"Run {n}: {story.verdict}", story.steps) for n, story in enumerate(stories, 1)])
    return page.replace("</body>", f"<h2>The runs explained</h2>\n<pre>{escape(text)}</pre>\n</body>")

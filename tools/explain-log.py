"""Explains installation logs from the field: python3 tools/explain-log.py LOG [LOG...] [--html FILE].
Reads the log's generations (oldest first, whatever order they are given in), splits them into runs
and tells each run: when and what it installed, the kind of run, its result, the step timeline, what
went wrong with explanations from tools/logstory/explanations.tsv, and a verdict. Needs no Wine and no
build. Exit code 0 when every file could be read as a log, 1 when something could not, 2 on usage."""
import argparse
import sys

sys.dont_write_bytecode = True  # no __pycache__ folders in the checkout
from logstory.explanations import load  # noqa: E402
from logstory.reading import read_files  # noqa: E402
from logstory.story import story  # noqa: E402
from logstory.text import explanation_page, explanation_text  # noqa: E402


def main(argv):
    parser = argparse.ArgumentParser(prog="explain-log.py", description=__doc__.split("\n\n")[0])
    parser.add_argument("logs", nargs="+", metavar="LOG", help="install-kelvara-win32.log and its .1.log, .2.log")
    parser.add_argument("--html", metavar="FILE", help="also write one HTML page with each run's timeline")
    args = parser.parse_args(argv)
    sys.stdout.reconfigure(errors="replace")  # a console that cannot show a name still shows the rest
    entries = load()
    log = read_files(args.logs)
    stories = [story(run.records, entries) for run, _ in log.runs]
    text = explanation_text(log, stories, entries)
    sys.stdout.write(text)
    if args.html:
        try:
            with open(args.html, "w", encoding="utf-8") as page:
                page.write(explanation_page(text, stories))
        except OSError as error:
            print(f"explain-log: cannot write {args.html}: {error.strerror or error}", file=sys.stderr)
            return 1
    return 1 if log.notes or not log.runs else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

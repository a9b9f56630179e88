"""The story of installation logs: the product's log records read from files of any state (records.py),
split into the runs of the processes that wrote them (runs.py), and told run by run: what kind of run,
how it ended, its step timeline and what went wrong, in plain words from a table support extends
(story.py, explanations.tsv, text.py). Pure apart from reading the files it is given. The main job's
report tells its runs through the same code, so the report and tools/explain-log.py never disagree."""

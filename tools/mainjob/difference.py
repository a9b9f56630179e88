"""What one run changed on the machine, from the lab's probe before and after it and the lines the
stand-ins journalled during it. Pure: no lab, no files. difference() gives (section, line) pairs in
the report's order; lines of one registry key or one shortcut follow a header line of their own."""
from lab import ABSENT, changes, driver_tool_calls

PENDING = (r"SYSTEM\CurrentControlSet\Control\Session Manager", "PendingFileRenameOperations")
START_TYPES = {0: "boot", 1: "system", 2: "automatic", 3: "on demand", 4: "disabled"}
NOT_STORED = "not stored by Wine"  # Wine keeps no property store in a .lnk file


def show(value):
    """A registry value as the probe holds it, in one line."""
    if value is ABSENT or value is None:
        return "(none)"
    if isinstance(value, str):
        return f'"{value}"'
    if isinstance(value, list):
        return "[" + ", ".join(f'"{item}"' for item in value) + "]"
    if isinstance(value, dict) and "hex" in value:
        return f"type {value['type']}, bytes {value['hex'] or '(none)'}"
    return str(value)


def pending_pairs(value):
    """The (source, destination) pairs of a PendingFileRenameOperations list; others give none."""
    items = value if isinstance(value, list) else []
    return [(items[i], items[i + 1]) for i in range(0, len(items) - 1, 2)]


def registry_key(key):
    """HKLM\\key as the installer names it, with its view: the probe names keys in the 64-bit view, where the
    32-bit view of SOFTWARE is SOFTWARE\\Wow6432Node; keys outside SOFTWARE are the same in both views."""
    parts = key.split("\\")
    if parts[0].lower() != "software":
        return f"HKLM\\{key}"
    if len(parts) > 1 and parts[1].lower() == "wow6432node":
        return "HKLM\\" + "\\".join(parts[:1] + parts[2:]) + " (32-bit view)"
    return f"HKLM\\{key} (64-bit view)"


def _registry(before, after):
    old, new = before.get("registry", {}), after.get("registry", {})
    out, header = [], None
    # A value the probe shows as raw bytes is a dict, whose parts changes() lists one by one.
    for where in dict.fromkeys(path[:2] for path, _, _ in changes(old, new)):
        key = where[0]
        if len(where) == 1:  # a key without values on one side: only its own coming and going counts
            if (key in old) != (key in new):
                out.append(("registry", f"key {'added' if key in new else 'removed'}: {registry_key(key)}"))
            continue
        name = where[1]
        was, now = old.get(key, {}).get(name, ABSENT), new.get(key, {}).get(name, ABSENT)
        if (key, name) == PENDING and all(v is ABSENT or isinstance(v, list) for v in (was, now)):
            continue  # shown decoded, as operations scheduled for the restart
        if key != header:
            out.append(("registry", registry_key(key)))
            header = key
        if was is ABSENT:
            out.append(("registry", f"  + {name} = {show(now)}"))
        elif now is ABSENT:
            out.append(("registry", f"  - {name} (was {show(was)})"))
        else:
            out += [("registry", f"  ~ {name}"), ("registry", f"      was {show(was)}"),
                    ("registry", f"      now {show(now)}")]
    return out


def _service(before, after):
    old, new = before.get("service") or {}, after.get("service") or {}
    if old == new:
        return [("service", "unchanged" if new else "not registered")]

    def text(field, value):
        return "(none)" if value is None else f"{value} ({START_TYPES.get(value, '?')})" if field == "start_type" \
            else str(value)

    out = []
    for field, label in (("image", "image path"), ("start_type", "start type"), ("state", "state")):
        was, now = text(field, old.get(field)), text(field, new.get(field))
        out.append(("service", f"{label}: {now}" if was == now else f"{label}: {was} -> {now}"))
    return out


def _shortcuts(before, after):
    old, new, out = before.get("shortcuts", {}), after.get("shortcuts", {}), []
    for name in sorted(old.keys() | new.keys()):
        if old.get(name) == new.get(name):
            continue
        link = new.get(name) or old[name]
        state = "removed" if name not in new else "added" if name not in old else "changed"
        out.append(("shortcuts", f"{state}: {name}"))
        if name in old and name in new and old[name]["target"] != link["target"]:
            out.append(("shortcuts", f"    target was {old[name]['target']}"))
        out.append(("shortcuts", f"    target {link['target']}"))
        out.append(("shortcuts", f"    AppUserModelID {link['app_user_model_id'] or NOT_STORED}"))
    return out


def _top(entries):
    """The entries not inside another one of them (a folder's own entry ends with a backslash)."""
    return [e for e in entries if not any(e != f and f.endswith("\\") and e.startswith(f) for f in entries)]


def _files(before, after):
    out = []
    for root in sorted(before.get("files", {}).keys() | after.get("files", {}).keys()):
        old, new = set(before.get("files", {}).get(root, [])), set(after.get("files", {}).get(root, []))
        out += [("files", f"removed: {root}\\{e}") for e in _top(sorted(old - new))]
        out += [("files", f"added: {root}\\{e}") for e in _top(sorted(new - old))]
    return out


def _restart(before, after):
    """The file operations added to the restart's list, and those dropped from it."""
    def pairs(probe):
        return pending_pairs(probe.get("registry", {}).get(PENDING[0], {}).get(PENDING[1]))

    old, new, out = pairs(before), pairs(after), []
    for source, target in [pair for pair in new if pair not in old]:
        out.append(("restart", f"delete {source}" if not target else f"move {source} -> {target}"))
    for source, target in [pair for pair in old if pair not in new]:
        out.append(("restart", f"dropped: {'delete ' + source if not target else f'move {source} -> {target}'}"))
    return out


def _processes(before, after):
    old, new = set(before.get("processes", [])), set(after.get("processes", []))
    return [("processes", f"stopped: {p}") for p in sorted(old - new)] + \
           [("processes", f"started: {p}") for p in sorted(new - old)]


def difference(before, after, journal=()):
    """[(section, line)]: registry, service, shortcuts, files, restart, processes, driver tool."""
    calls = [line for _, command, folder in driver_tool_calls(journal)
             for line in (("driver tool", command), ("driver tool", f"    in {folder}"))]
    return (_registry(before, after) + _service(before, after) + _shortcuts(before, after) + _files(before, after)
            + _restart(before, after) + _processes(before, after) + calls)

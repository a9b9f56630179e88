"""The step timelines of the main job's runs as one self-contained HTML file (inline SVG and CSS, no
external assets): one bar per step on a time axis, the child processes and mandated waits drawn
inside it, and the steps that take a large share of the run drawn in a strong colour. Pure."""
from html import escape

ROW, LEFT, BARS, RIGHT = 22, 250, 640, 90  # pixels: row height, step names, bar area, duration text
LONG_SHARE = 0.05  # a step taking at least this share of its run stands out
STYLE = """body { font: 13px sans-serif; margin: 20px; color: #222 }
h2 { font-size: 15px; margin: 24px 0 4px } p { margin: 2px 0 8px; color: #555 }
.step { fill: #c9d6e3 } .long { fill: #d9480f } .child { fill: #1c7ed6 } .wait { fill: url(#hatch) }
text { font: 12px sans-serif } .name-long { font-weight: bold } .axis { stroke: #999 }
.key rect { stroke: #666 }"""
HATCH = ('<defs><pattern id="hatch" width="6" height="6" patternUnits="userSpaceOnUse" '
         'patternTransform="rotate(45)"><rect width="6" height="6" fill="#ddd"/>'
         '<line x1="0" y1="0" x2="0" y2="6" stroke="#777" stroke-width="3"/></pattern></defs>')


def _bar(css, x, width, y, height, tip):
    return (f'<rect class="{css}" x="{x:.1f}" y="{y}" width="{max(width, 1):.1f}" height="{height}">'
            f"<title>{escape(tip)}</title></rect>")


def chart(title, steps):
    """One run's timeline as an SVG element with a heading."""
    total = max([s.start + s.ms for s in steps] + [1])
    scale = BARS / total
    height = ROW * (len(steps) + 2)
    parts = [f'<svg width="{LEFT + BARS + RIGHT}" height="{height}" xmlns="http://www.w3.org/2000/svg">', HATCH]
    for row, s in enumerate(steps):
        y, long = ROW * row + 4, s.ms >= LONG_SHARE * total
        parts.append(f'<text x="4" y="{y + 13}" class="{"name-long" if long else ""}">{escape(s.name)}</text>')
        parts.append(_bar("long" if long else "step", LEFT + s.start * scale, s.ms * scale, y, ROW - 6,
                          f"{s.name}: {s.ms} ms from {s.start} ms, {s.records} records"))
        for item in s.items:
            parts.append(_bar(item.kind, LEFT + item.start * scale, item.ms * scale, y + 4, ROW - 14,
                              f"{item.kind} {item.label}: {item.ms} ms from {item.start} ms"))
        parts.append(f'<text x="{LEFT + BARS + 6}" y="{y + 13}">{s.ms} ms</text>')
    axis = ROW * len(steps) + 8
    parts.append(f'<line class="axis" x1="{LEFT}" y1="{axis}" x2="{LEFT + BARS}" y2="{axis}"/>')
    parts += [f'<text x="{LEFT + BARS * k / 4:.1f}" y="{axis + 14}" text-anchor="middle">'
              f'{round(total * k / 4)} ms</text>'
              for k in range(5)]
    return f"<h2>{escape(title)}</h2>\n" + "\n".join(parts) + "\n</svg>"


def picture(runs):
    """The HTML page for [(title, steps)]."""
    key = ('<svg class="key" width="700" height="22">' + HATCH
           + _bar("long", 2, 14, 4, 14, "") + '<text x="22" y="16">step with a large share of the run</text>'
           + _bar("step", 262, 14, 4, 14, "") + '<text x="282" y="16">other step</text>'
           + _bar("child", 372, 14, 4, 14, "") + '<text x="392" y="16">child process</text>'
           + _bar("wait", 492, 14, 4, 14, "") + '<text x="512" y="16">mandated wait</text></svg>')
    charts = "\n".join(chart(title, steps) for title, steps in runs)
    return (f"<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Kelvara installation runs</title>"
            f"<style>{STYLE}</style></head>\n<body><h1>Kelvara installation runs: step timelines</h1>\n"
            f"<p>Times from each run's first log record; hover over a bar for its details.</p>\n{key}\n{charts}\n"
            "</body></html>\n")

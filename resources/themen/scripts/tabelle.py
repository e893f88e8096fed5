#!/usr/bin/env python3
"""The README's table of the topic library: one row per topic, with the number
of questions the program shows for it, read from the built topics with
`kapitolo-tool info` (its count, not one made here).

    tabelle.py TOOL THEMEN README.md           rewrite the table in README.md
    tabelle.py --check TOOL THEMEN README.md   fail if the table is not that one

The table stands between the lines "<!-- themen-tabelle -->" and
"<!-- /themen-tabelle -->" of the README.
"""

import json
import os
import subprocess
import sys

sys.dont_write_bytecode = True  # keep the source folder clean
HERE = os.path.dirname(os.path.abspath(__file__))
SRC = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import themen  # noqa: E402

BEGIN, END = "<!-- themen-tabelle -->", "<!-- /themen-tabelle -->"
# the order of the folders in the table: the top folder, the samples' folder, geography, the rest
ORDER = ["", "deutschland", "erdkunde/deutschland", "erdkunde/europa", "erdkunde/welt", "biologie",
         "chemie", "physik", "deutsch", "englisch", "geschichte", "politik", "mathematik"]


def kind(template, doc):
    typ = doc["DokTyp"]
    if typ == 1:
        return "Lückentext"
    if typ == 2:
        return "Einzelfragen"
    return "Karte" if "karte" in (template.get("bild") or {}) else "Bild beschriften"


def rows(tool, themen_dir):
    found = []
    for rel in themen.find_templates(SRC):
        with open(os.path.join(SRC, rel), encoding="utf-8") as f:
            template = json.load(f)
        built = os.path.join(themen_dir, rel[:-len(".json")] + ".tsr")
        info = subprocess.run([tool, "info", built], capture_output=True, check=True)
        doc = json.loads(info.stdout.decode("utf-8"))
        folder = os.path.dirname(rel)
        if folder not in ORDER:
            raise SystemExit(f"{rel}: the folder {folder!r} has no place in the table")
        found.append((ORDER.index(folder), os.path.basename(rel), folder, doc["titel"],
                      kind(template, doc), doc["AnzFrageNummern"]))
    found.sort()
    lines = ["| Ordner | Datei | Thema | Art | Fragen |", "|---|---|---|---|--:|"]
    for _, name, folder, title, what, count in found:
        lines.append(f"| `{folder + '/' if folder else './'}` | `{name[:-5]}.tsr` | {title} | {what} | {count} |")
    lines.append("")
    lines.append(f"Zusammen {len(found)} Themen.")
    return lines


def replaced(readme, table):
    head, sep, rest = readme.partition(BEGIN + "\n")
    _, sep2, tail = rest.partition(END)
    if not sep or not sep2:
        raise SystemExit(f"the README has no lines {BEGIN} and {END}")
    return head + BEGIN + "\n" + "\n".join(table) + "\n" + END + tail


def main(argv):
    check = argv[:1] == ["--check"]
    if check:
        argv = argv[1:]
    if len(argv) != 3:
        raise SystemExit(__doc__)
    tool, themen_dir, readme_path = argv
    with open(readme_path, encoding="utf-8") as f:
        readme = f.read()
    new = replaced(readme, rows(tool, themen_dir))
    if check:
        if new != readme:
            old_rows = set(readme.splitlines())
            missing = [line for line in new.splitlines() if line not in old_rows]
            print("Die Thementabelle der README stimmt nicht mit den Themen überein; es fehlen "
                  "oder weichen ab:\n" + "\n".join(missing), file=sys.stderr)
            return 1
        return 0
    with open(readme_path, "w", encoding="utf-8") as f:
        f.write(new)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

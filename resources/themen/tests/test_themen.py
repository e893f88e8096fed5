#!/usr/bin/env python3
"""Checks of the generated sample topics.  generate.sh runs twice at the
same time with the stand-in tool; the tests look at what comes out."""

import sys
sys.dont_write_bytecode = True  # keep the source folder clean

import json
import os
import re
import shutil
import subprocess
import tempfile
import unittest
from fractions import Fraction

HERE = os.path.dirname(os.path.abspath(__file__))
SRC = os.path.dirname(HERE)
sys.path.insert(0, os.path.join(SRC, "scripts"))
import laender  # noqa: E402
import themen  # noqa: E402
sys.path.insert(0, HERE)
import identitaet  # noqa: E402

STAND_IN = os.path.join(HERE, "stand-in-tool.sh")
SEA = (175, 208, 235)
MAPS = ("europa-hauptstaedte.tsr", "deutschland/landeshauptstaedte-karte.tsr")
FACT_KEYS = ("in", "fluss", "wasser", "land", "bundesland")
RIVER_KM = 3
# the library's folders of drawings (the other subjects), held to the maps' rules for
# worksheets; the chart of the constitutional organs is not: its names fill their boxes, and
# its worksheet asks for them by numbered points
DRAWN = ("biologie/", "chemie/", "physik/", "mathematik/")
STATE_KM = 1      # a spot at least this far inside its state: about a pixel of the maps
MARKUP = re.compile(r"<(/?[BIU]|@LINIE|@POSX=\d{1,3}%|@REB=\d+)>")
R = {}


def snapshot(folder):
    return {os.path.relpath(os.path.join(d, f), folder):
            os.stat(os.path.join(d, f)).st_mtime_ns
            for d, _, files in os.walk(folder) for f in files}


def tree_bytes(folder):
    out = {}
    for rel in snapshot(folder):
        with open(os.path.join(folder, rel), "rb") as f:
            out[rel] = f.read()
    return out


def image_path(rel):
    return os.path.join(R["out"], os.path.dirname(rel), R["docs"][rel]["image"])


def read_pixels(png):
    """(width, height, rgb bytes) of a PNG, through ImageMagick's PPM."""
    ppm = subprocess.run(["convert", png, "-depth", "8", "ppm:-"],
                         capture_output=True, check=True).stdout
    magic, w, h, _maxval, data = ppm.split(maxsplit=4)
    assert magic == b"P6"
    return int(w), int(h), data


def setUpModule():
    R["tmp"] = tmp = tempfile.mkdtemp(prefix="themen-test-")
    for sub in ("scratch", "cwd"):
        os.mkdir(os.path.join(tmp, sub))
    R["before"] = snapshot(SRC)
    # GMT's session files and settings of the checks' own GMT calls
    R["gmt"] = folder = os.path.join(tmp, "gmt")
    os.mkdir(folder)
    R["gmt_env"] = dict(os.environ, GMT_TMPDIR=folder, GMT_USERDIR=folder)
    env = dict(os.environ, TMPDIR=os.path.join(tmp, "scratch"))
    env.pop("KAPITOLO_THEMEN_CACHE", None)
    # the second run keeps its maps in a cache, which later runs reuse
    R["cache"] = os.path.join(tmp, "cache")
    runs = [subprocess.Popen(["bash", os.path.join(SRC, "generate.sh"),
                              STAND_IN, os.path.join(tmp, name)],
                             cwd=os.path.join(tmp, "cwd"), text=True,
                             env=dict(env, **cached), stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE)
            for name, cached in (("out1", {}), ("out2", {"KAPITOLO_THEMEN_CACHE": R["cache"]}))]
    outputs = [p.communicate() for p in runs]
    R["runs"] = [(p.returncode, out, err) for p, (out, err) in zip(runs, outputs)]
    R["out"] = out = os.path.join(tmp, "out1")
    R["docs"] = {}
    for rel in snapshot(out):
        if rel.endswith(".tsr"):
            with open(os.path.join(out, rel), encoding="utf-8") as f:
                R["docs"][rel] = json.load(f)


def template(rel):
    """The template a topic was made from."""
    with open(os.path.join(SRC, rel[:-len(".tsr")] + ".json"), encoding="utf-8") as f:
        return json.load(f)


def inset_layout(karte, png):
    """Where the insets of a map sit in its picture png: (dpi, {name: box},
    [box of each scale bar]), boxes in pixels from the top left."""
    dpi, (_, h_px) = karte["dpi"], themen.png_size(png)
    boxes, bars = {}, []
    for inset in karte["ausschnitte"]:
        iw, ih = map(float, gmt(["mapproject", "-R" + inset["region"], "-J" + inset["projektion"],
                                 "-W", "-Di"]).split())
        x, y = inset["ort"]
        boxes[inset["name"]] = box = (x * dpi, h_px - (y + ih) * dpi, (x + iw) * dpi, h_px - y * dpi)
        if inset.get("massstab"):
            bars.append(themen.scale_bar_box(inset, box, dpi))
    return dpi, boxes, bars


def tearDownModule():
    shutil.rmtree(R["tmp"], ignore_errors=True)


def texts(doc):
    yield from (doc.get(k, "") for k in ("titel", "bemerkung", "lueckentext",
                                         "fragentext"))
    yield from (o["Cap"] for o in doc.get("objects", []))


def questions(doc):
    return [line.split("//") for line in doc["fragentext"].split("\r\n")]


def shown_answers(doc):
    """The gap answers of a cloze text that its title or its visible text show."""
    text = doc["lueckentext"]
    answers = re.findall(r"<<([^<>]+)>>", text)
    visible = MARKUP.sub(" ", re.sub(r"<<[^<>]+>>", " ", text)) + " " + doc["titel"]
    return [a for a in answers
            if re.search(r"(?<!\w)" + re.escape(a) + r"(?!\w)", visible, re.IGNORECASE)]


class Generation(unittest.TestCase):
    def test_parallel_runs_succeed_and_agree(self):
        for rc, _, err in R["runs"]:
            self.assertEqual(rc, 0, err)
        self.assertEqual(tree_bytes(R["out"]),
                         tree_bytes(os.path.join(R["tmp"], "out2")))

    def test_leaves_nothing_behind(self):
        self.assertEqual(snapshot(SRC), R["before"])
        self.assertEqual(os.listdir(os.path.join(R["tmp"], "scratch")), [])
        self.assertEqual(os.listdir(os.path.join(R["tmp"], "cwd")), [])

    def test_one_topic_per_template_with_sub_folders(self):
        want = {t[:-5] + ".tsr" for t in themen.find_templates(SRC)}
        self.assertEqual(set(R["docs"]), want)
        self.assertIn("deutschland/bundeslaender-hauptstaedte.tsr", want)
        for rel in want:
            self.assertRegex(rel, r"^([a-z0-9-]+/){0,2}[a-z0-9-]+\.tsr$")

    def test_failing_tool_fails_the_run_and_cleans_up(self):
        scratch = tempfile.mkdtemp(dir=R["tmp"])
        res = subprocess.run(["bash", os.path.join(SRC, "generate.sh"),
                              "false", os.path.join(scratch, "out")],
                             env=dict(os.environ, TMPDIR=scratch,
                                      KAPITOLO_THEMEN_CACHE=R["cache"]),
                             capture_output=True)
        self.assertNotEqual(res.returncode, 0)
        self.assertEqual(os.listdir(scratch), ["out"])

    def test_cache_reuses_a_drawn_map_and_notices_a_change(self):
        tmp = tempfile.mkdtemp(dir=R["tmp"])
        src, cache, stub, geo = (os.path.join(tmp, d) for d in ("src", "cache", "bin", "geo"))
        for d in (src, stub, geo):
            os.mkdir(d)
        tpl = {"titel": "Probe", "DokTyp": 0, "RandErw": [0, 0, 0, 0],
               "bild": {"karte": {"region": "5/15/47/55", "projektion": "M2i", "dpi": 50,
                                  "ebenen": [["coast", "-Dl", "-S200", "-G240"],
                                             ["laender", "-W0.5p"]]}},
               "objekte": [{"Cap": "Berlin", "lon": 13.4, "lat": 52.5, "KAusr": 1, "art": "stadt"}]}
        states = [square("Ost", 10, 50, 2), square("West", 8, 50, 2)]

        def write(tpl, states):
            with open(os.path.join(src, "probe.json"), "w", encoding="utf-8") as f:
                json.dump(tpl, f)
            with open(os.path.join(geo, laender.FILE), "w", encoding="utf-8") as f:
                json.dump(states, f)
        # a gmt that only tells its version: a run that needs to draw fails
        version = subprocess.run(["gmt", "--version"], capture_output=True, text=True).stdout
        with open(os.path.join(stub, "gmt"), "w") as f:
            f.write(f"#!/bin/sh\n[ \"$1\" = --version ] && echo {version.strip()} && exit 0\nexit 1\n")
        os.chmod(os.path.join(stub, "gmt"), 0o755)
        env = dict(os.environ, KAPITOLO_THEMEN_CACHE=cache, GMT_TMPDIR=tmp, GMT_USERDIR=tmp,
                   KAPITOLO_GEODATEN=geo, KAPITOLO_GMT_PROGRAMME="1")
        stub_env = dict(env, PATH=stub + os.pathsep + env["PATH"])
        script = os.path.join(SRC, "scripts", "themen.py")

        def make(out, run_env):
            return subprocess.run([sys.executable, "-B", script, src, os.path.join(tmp, out)],
                                  env=run_env, capture_output=True, text=True)
        write(tpl, states)
        drawn = make("drawn", env)
        self.assertEqual(drawn.returncode, 0, drawn.stderr)
        self.assertEqual(len(os.listdir(cache)), 2)
        again = make("cached", stub_env)
        self.assertEqual(again.returncode, 0, again.stderr)
        self.assertEqual(tree_bytes(os.path.join(tmp, "drawn")), tree_bytes(os.path.join(tmp, "cached")))
        moved = json.loads(json.dumps(tpl))
        moved["objekte"][0]["lon"] = 13.5
        for n, (what, t, st) in enumerate((("template", moved, states),
                                           ("state outlines", tpl, states[:1]))):
            write(t, st)
            self.assertNotEqual(make(f"changed{n}", stub_env).returncode, 0, what)


def square(name, lon, lat, size, gf=4):
    """A state of the outlines' format: one square, in a feature collection."""
    ring = [[lon, lat], [lon + size, lat], [lon + size, lat + size], [lon, lat + size], [lon, lat]]
    return {"type": "FeatureCollection", "features": [
        {"type": "Feature", "properties": {"GEN": name, "GF": gf},
         "geometry": {"type": "Polygon", "coordinates": [ring]}}]}


class States(unittest.TestCase):
    """The outlines of the states: what is read, and the borders drawn."""

    def load(self, features):
        folder = tempfile.mkdtemp(dir=R["tmp"])
        path = os.path.join(folder, laender.FILE)
        with open(path, "w", encoding="utf-8") as f:
            json.dump(features, f)
        return laender.load(path)

    def test_land_only_and_the_shared_edge_as_border(self):
        # Ost and West share the edge lon 10, lat 50..52; the lake (GF 1) does not count
        states = self.load([square("Ost", 10, 50, 2), square("West", 8, 50, 2),
                            square("Ost", 12, 50, 1, gf=1), square("Nord", 20, 60, 1)])
        self.assertEqual(sorted(states), ["Nord", "Ost", "West"])
        self.assertEqual(len(states["Ost"]), 1)
        lines = laender.inner_borders(states)
        self.assertEqual([sorted(line) for line in lines], [[(10.0, 50.0), (10.0, 52.0)]])
        self.assertEqual(laender.gmt_lines(lines).count(">"), 1)

    def test_inside_and_distance(self):
        rings = self.load([square("Ost", 10, 50, 2)])["Ost"]
        for lon, lat, inside, km in ((11, 51, True, 70.1), (10.01, 51, True, 0.7),
                                     (9.99, 51, False, 0.7), (11, 52.5, False, 55.3)):
            self.assertEqual(laender.contains(rings, lon, lat), inside, (lon, lat))
            self.assertAlmostEqual(laender.distance_km(rings, lon, lat), km, delta=0.1)

    def test_a_hole_is_outside(self):
        ring = square("Ost", 10, 50, 2)["features"][0]
        hole = [[10.5, 50.5], [10.5, 51.5], [11.5, 51.5], [11.5, 50.5], [10.5, 50.5]]
        ring["geometry"]["coordinates"].append(hole)
        rings = self.load([ring])["Ost"]
        self.assertFalse(laender.contains(rings, 11, 51))
        self.assertTrue(laender.contains(rings, 10.2, 51))

    def test_the_real_borders_join_up(self):
        # the BKG's outlines meet vertex for vertex: the inner borders are a
        # few long lines, not thousands of pieces, and reach every state
        states = laender.load()
        self.assertEqual(len(states), 16)
        lines = laender.inner_borders(states)
        self.assertLess(len(lines), 100)
        touched = {name for name, rings in states.items()
                   if any(laender.distance_km(rings, *line[len(line) // 2]) < 0.5 for line in lines)}
        self.assertEqual(touched, set(states))


class Texts(unittest.TestCase):
    def test_line_breaks_and_markup(self):
        for rel, doc in R["docs"].items():
            self.assertTrue(doc["titel"].strip(), rel)
            for text in texts(doc):
                self.assertNotRegex(text, r"(?<!\r)\n|\r(?!\n)", rel)
                tags = MARKUP.findall(text)
                self.assertEqual(len(tags), text.count("<") - 2 * text.count("<<"),
                                 f"{rel}: unknown mark-up in {text[:60]!r}")
                for t in "BIU":
                    opened = [x for x in tags if x in (t, "/" + t)]
                    self.assertEqual(opened, [t, "/" + t] * (len(opened) // 2),
                                     f"{rel}: <{t}> not closed")

    def test_texts_fit_the_topic_files_code_page(self):
        # The real tool refuses a letter that Windows-1252 lacks; the stand-in does not.
        for rel, doc in R["docs"].items():
            for text in texts(doc):
                try:
                    text.encode("cp1252")
                except UnicodeEncodeError as e:
                    self.fail(f"{rel}: {text[e.start:e.end]!r} in {text[:40]!r} has no Windows-1252 code")
        caps = [o["Cap"] for o in R["docs"]["europa-hauptstaedte.tsr"]["objects"]]
        self.assertIn("Chisinau", caps)

    def test_cloze(self):
        doc = R["docs"]["wasserkreislauf.tsr"]
        self.assertEqual(doc["DokTyp"], 1)
        text = doc["lueckentext"]
        gaps = re.findall(r"<<([^<>]+)>>", text)
        self.assertTrue(10 <= len(gaps) <= 20, gaps)
        self.assertEqual(text.count("<<"), len(gaps))
        self.assertEqual(text.count(">>"), len(gaps))
        for tag in ("<B>", "<I>", "<@LINIE>", "<@POSX="):
            self.assertIn(tag, text)
        w, h = themen.png_size(image_path("wasserkreislauf.tsr"))
        self.assertTrue(h > w >= 800, (w, h))

    def test_cloze_texts_do_not_show_their_answers(self):
        # A gap's word that the card shows elsewhere (in the title, a summary, the next
        # sentence) is no question: whole words, in any case.
        self.assertEqual(shown_answers({"titel": "Wasser", "lueckentext":
                                        "als <<Wasserdampf>> auf. Der wasserdampf kühlt ab, <<Wolken>>"
                                        " entstehen.\r\n<B>Merke</B>: Wolkendecke"}), ["Wasserdampf"])
        cloze = [rel for rel, doc in R["docs"].items() if doc["DokTyp"] == 1]
        self.assertIn("wasserkreislauf.tsr", cloze)
        for rel in cloze:
            self.assertEqual(shown_answers(R["docs"][rel]), [], rel)

    def test_a_maps_description_counts_what_it_asks(self):
        probe = {"bemerkung": ["Klasse 5/6: 18 Mittelgebirge, die Alpen und neun große Seen."],
                 "objekte": [{"Cap": "Harz", "art": "gebirge"}, {"Cap": "Alpen", "art": "gebirge"},
                             {"Cap": "Müritz", "art": "see"}, {"Cap": "Brocken", "art": "gipfel"}]}
        self.assertEqual(miscounts(probe), ["18 Mittelgebirge: 1 on the map",
                                            "neun große Seen: 1 on the map"])
        counted = 0
        for rel in themen.find_templates(SRC):
            tpl = template(rel[:-5] + ".tsr")
            if "karte" in (tpl.get("bild") or {}):
                self.assertEqual(miscounts(tpl), [], rel)
                counted += bool(COUNT.search(tpl["bemerkung"][0]))
        self.assertGreaterEqual(counted, 30)

    def test_single_questions(self):
        sizes = {}
        for rel, doc in R["docs"].items():
            if doc["DokTyp"] != 2:
                continue
            qs = questions(doc)
            for q in qs:
                self.assertEqual(len(q), 2, f"{rel}: {q}")
                self.assertTrue(all(p.strip() == p and p for p in q), q)
            self.assertEqual(len({q for q, _ in qs}), len(qs), rel)
            sizes[doc["titel"]] = len(qs)
        self.assertTrue(any(n >= 25 for t, n in sizes.items()
                            if "zufällig" not in t), sizes)
        self.assertTrue(any(n >= 40 for t, n in sizes.items()
                            if "zufällig" in t), sizes)

    def test_einmaleins_is_right_and_complete(self):
        pairs = set()
        for q, a in questions(R["docs"]["einmaleins-zufaellig.tsr"]):
            x, y = map(int, re.fullmatch(r"(\d+) · (\d+) =", q).groups())
            self.assertEqual(int(a), x * y, q)
            pairs.add((x, y))
        self.assertEqual(pairs, {(x, y) for x in range(2, 11)
                                 for y in range(2, 11)})


    def test_equations_and_percentages_are_right(self):
        # Each equation holds for its answer and for no other number: both sides are
        # linear, so two values of x that agree would mean the same line twice.
        def side(expr, x):
            expr = re.sub(r"(\d)([x(])", r"\1*\2", expr).replace(":", "/")
            return eval(expr, {"__builtins__": {}}, {"x": Fraction(x)})
        qs = questions(R["docs"]["mathematik/gleichungen-zufaellig.tsr"])
        self.assertGreaterEqual(len(qs), 40)
        for q, a in qs:
            x = int(re.fullmatch(r"x = (-?\d+)", a).group(1))
            left, right = q.split(" = ")
            self.assertEqual(side(left, x), side(right, x), q)
            self.assertNotEqual(side(left, x + 1) - side(right, x + 1), 0, q)
        for q, a in questions(R["docs"]["mathematik/prozentrechnung.tsr"]):
            n = [Fraction(v) for v in re.findall(r"\d+", q)]
            if q.startswith(("Wie viel sind", "Wie viel ist")):
                expected = f"{n[0] * n[1] / 100} €"
            elif q.startswith("Wie viel Prozent"):
                expected = f"{n[0] * 100 / n[1]} %"
            else:
                expected = f"{n[1] * 100 / n[0]} €"
            self.assertEqual(a, expected, q)


class Labelling(unittest.TestCase):
    def card(self, rel):
        w, h = themen.png_size(image_path(rel))
        return themen.card_geometry(w, h, R["docs"][rel]["RandErw"])

    def test_labels_stay_apart_and_inside_the_card(self):
        for rel, doc in R["docs"].items():
            if doc["DokTyp"] != 0:
                continue
            cw, ch, _, _ = self.card(rel)
            shown = [o for o in doc["objects"] if o["Typ"] in (0, 1, 2, 4, 5)]
            boxes = [themen.label_box(o, cw, ch) if o["Typ"] in (0, 1)
                     else themen.badge_box(o, cw, ch) for o in shown]
            for o, (x0, y0, x1, y1) in zip(shown, boxes):
                self.assertTrue(x0 >= 0 and y0 >= 0 and x1 <= cw and y1 <= ch,
                                f"{rel}: {o['Cap']} leaves the card")
                for p in doc["objects"]:
                    if p is not o:
                        sx, sy = p["Sx"] * cw, p["Sy"] * ch
                        self.assertFalse(x0 - 3 < sx < x1 + 3 and y0 - 3 < sy < y1 + 3,
                                         f"{rel}: {o['Cap']} covers spot {p['Cap'][:20]}")
            for i, a in enumerate(boxes):
                for j, b in enumerate(boxes[:i]):
                    overlap = a[0] < b[2] and b[0] < a[2] and a[1] < b[3] and b[1] < a[3]
                    self.assertFalse(overlap, f"{rel}: {shown[i]['Cap']} / {shown[j]['Cap']}")

    def test_leader_lines_cross_no_other_label(self):
        for rel, doc in R["docs"].items():
            if doc["DokTyp"] != 0:
                continue
            cw, ch, _, _ = self.card(rel)
            shown = [o for o in doc["objects"] if o["Typ"] in (0, 1) and o["Cap"]]
            for o in (o for o in doc["objects"] if o["Sline"]):
                line = ((o["Sx"] * cw, o["Sy"] * ch), (o["Kx"] * cw, o["Ky"] * ch))
                for p in shown:
                    if p is not o:
                        self.assertFalse(themen.segment_hits_box(*line, themen.label_box(p, cw, ch)),
                                         f"{rel}: the leader of {o['Cap']} crosses {p['Cap'][:20]}")

    def test_quiz_badges_keep_apart(self):
        # In a quiz every label is a numbered badge at its anchor: two badges
        # must not touch, or a pupil cannot tell which one a tile is dropped on.
        for rel, doc in R["docs"].items():
            if doc["DokTyp"] != 0:
                continue
            cw, ch, _, _ = self.card(rel)
            labels = [o for o in doc["objects"] if o["Typ"] == 0]
            badges = [themen.badge_box(o, cw, ch) for o in labels]
            for i, a in enumerate(badges):
                for j, b in enumerate(badges[:i]):
                    self.assertFalse(themen.boxes_overlap(a, b),
                                     f"{rel}: badges of {labels[i]['Cap']} and {labels[j]['Cap']}")

    def test_spots_keep_a_badge_apart(self):
        # Two spots closer than a badge (30 units of the card, whatever the
        # window's size) cannot be told apart: tiny states and city states
        # get a spot of their own with room around it, neighbouring capitals
        # an inset at a larger scale.
        for rel, doc in R["docs"].items():
            if doc["DokTyp"] != 0:
                continue
            cw, ch, _, _ = self.card(rel)
            labels = [o for o in doc["objects"] if o["Typ"] == 0]
            for i, a in enumerate(labels):
                for b in labels[:i]:
                    gap = themen.length_of(a["Sx"] * cw, a["Sy"] * ch, b["Sx"] * cw, b["Sy"] * ch)
                    self.assertGreaterEqual(gap / (cw / themen.CARD_UNITS), themen.BADGE,
                                            f"{rel}: spots of {a['Cap']} and {b['Cap']}")

    def test_insets_hold_their_spots_and_keep_the_rest_off(self):
        # An inset covers part of the main map: a spot of the main map under
        # it would be hidden, and a label of the main map or of another inset
        # on it would hide the inset.  Its own spots lie inside it, clear of
        # its frame and of its scale bar.
        seen = 0
        for rel, doc in R["docs"].items():
            tpl = template(rel)
            karte = (tpl.get("bild") or {}).get("karte") or {}
            if not karte.get("ausschnitte"):
                continue
            cw, ch, ox, oy = self.card(rel)
            _, boxes, bars = inset_layout(karte, image_path(rel))
            self.assertEqual(set(boxes), {i["name"] for i in karte["ausschnitte"]}, rel)
            for o, src in zip(doc["objects"], tpl["objekte"]):
                sx, sy = o["Sx"] * cw - ox, o["Sy"] * ch - oy
                own = src.get("ausschnitt")
                label = ([b - d for b, d in zip(themen.label_box(o, cw, ch), (ox, oy, ox, oy))]
                         if o["Typ"] in (0, 1) and o["Cap"] else None)
                for name, (x0, y0, x1, y1) in boxes.items():
                    inside = x0 + 3 < sx < x1 - 3 and y0 + 3 < sy < y1 - 3
                    near = x0 - 3 < sx < x1 + 3 and y0 - 3 < sy < y1 + 3
                    self.assertEqual(inside, name == own, f"{rel}: {o['Cap']} and {name}")
                    if name != own:
                        self.assertFalse(near, f"{rel}: {o['Cap']} on the frame of {name}")
                        if label:
                            self.assertFalse(themen.boxes_overlap(label, (x0, y0, x1, y1)),
                                             f"{rel}: the label of {o['Cap']} covers {name}")
                for bar in bars:
                    self.assertFalse(bar[0] - 3 < sx < bar[2] + 3 and bar[1] - 3 < sy < bar[3] + 3,
                                     f"{rel}: {o['Cap']} under a scale bar")
                    if label:
                        self.assertFalse(themen.boxes_overlap(label, bar),
                                         f"{rel}: the label of {o['Cap']} covers a scale bar")
                if own:
                    seen += 1
        self.assertGreaterEqual(seen, 12)

    def test_worksheet_fields_of_the_library_keep_apart(self):
        # A worksheet widens every answer field for handwriting; the library's
        # maps leave room for that.  The dense ones that place their labels
        # nearest ("nah") keep their names close instead, and their
        # worksheets ask by numbered points.
        maps = [rel for rel, doc in R["docs"].items() if doc["DokTyp"] == 0
                and (rel.startswith("erdkunde/") or rel == "alle-themen.tsr" or rel.startswith(DRAWN))
                and template(rel).get("platzierung") != "nah"]
        self.assertGreaterEqual(len(maps), 20)
        for rel in maps:
            cw, ch, _, _ = self.card(rel)
            labels = [o for o in R["docs"][rel]["objects"] if o["Typ"] == 0]
            fields = [themen.sheet_box(o, cw, ch) for o in labels]
            for i, a in enumerate(fields):
                self.assertTrue(a[0] >= 0 and a[1] >= 0 and a[2] <= cw and a[3] <= ch,
                                f"{rel}: {labels[i]['Cap']} leaves the sheet's picture")
                for j, b in enumerate(fields[:i]):
                    self.assertFalse(themen.boxes_overlap(a, b),
                                     f"{rel}: fields of {labels[i]['Cap']} and {labels[j]['Cap']}")
                # nor hides a field the spot another label's leader line points to
                for o in R["docs"][rel]["objects"]:
                    if o is not labels[i] and o["Typ"] == 0:
                        self.assertFalse(a[0] < o["Sx"] * cw < a[2] and a[1] < o["Sy"] * ch < a[3],
                                         f"{rel}: the field of {labels[i]['Cap']} hides the spot of {o['Cap']}")

    def test_map_spots_lie_on_land(self):
        for rel in MAPS:
            doc = R["docs"][rel]
            w, h, px = read_pixels(image_path(rel))
            for o in doc["objects"]:
                if o["Typ"] != 0:
                    continue
                x, y = round(o["Sx"] * w), round(o["Sy"] * h)
                near = [tuple(px[3 * (v * w + u):3 * (v * w + u) + 3])
                        for u in range(x - 2, x + 3) for v in range(y - 2, y + 3)]
                self.assertTrue(any(c != SEA for c in near), f"{rel}: {o['Cap']} in the sea")

    def test_europe_map_objects(self):
        objs = R["docs"]["europa-hauptstaedte.tsr"]["objects"]
        labels = [o for o in objs if o["Typ"] == 0]
        self.assertTrue(25 <= len(labels) <= 40)
        self.assertTrue(all(o["Ebene"] == 1 for o in labels))
        self.assertTrue(any(o["Sline"] for o in labels))
        by_type = {o["Typ"]: o for o in objs if o["Typ"] != 0}
        self.assertIn("<B>", by_type[2]["Cap"])
        self.assertTrue(by_type[4]["Cap"].startswith("https://"))
        folder = by_type[5]["Cap"]
        self.assertTrue(folder.endswith("/"))
        self.assertTrue(any(r.startswith(folder) for r in R["docs"]))

    def test_flower_labels_sit_in_the_margin_without_crossing_leaders(self):
        doc = R["docs"]["bluete-aufbau.tsr"]
        left, _, right, _ = doc["RandErw"]
        self.assertTrue(left > 0 and right > 0)
        cw, ch, ox, oy = self.card("bluete-aufbau.tsr")
        w, h, px = read_pixels(image_path("bluete-aufbau.tsr"))
        lines = []
        for o in (o for o in doc["objects"] if o["Typ"] == 0):
            self.assertEqual(o["Sline"], 1, o["Cap"])
            u, v = round(o["Sx"] * cw - ox), round(o["Sy"] * ch - oy)
            self.assertNotEqual(px[3 * (v * w + u):3 * (v * w + u) + 3], b"\xff" * 3,
                                f"{o['Cap']}: spot on the white background")
            lines.append((o["Cap"], o["Sx"] * cw, o["Sy"] * ch, o["Kx"] * cw, o["Ky"] * ch))

        def side(ax, ay, bx, by, cx, cy):
            return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax)
        for i, (n1, *a) in enumerate(lines):
            for n2, *b in lines[:i]:
                crosses = (side(*a, *b[:2]) * side(*a, *b[2:]) < 0 and
                           side(*b, *a[:2]) * side(*b, *a[2:]) < 0)
                self.assertFalse(crosses, f"leaders of {n1} and {n2} cross")

    def test_margin_fractions(self):
        spots = [(0, 0), (200, 100)]
        objs = [{"Cap": "a", "kx": -50, "ky": -10}, {"Cap": "b", "kx": 250, "ky": 110}]
        a, b = themen.place_objects(objs, spots, 200, 100, [0.25, 0.1, 0.25, 0.1])
        self.assertEqual((a["Sx"], a["Sy"], a["Kx"], a["Ky"]), (round(1 / 6, 5), round(1 / 12, 5), 0, 0))
        self.assertEqual((b["Sx"], b["Sy"], b["Kx"], b["Ky"]), (round(5 / 6, 5), round(11 / 12, 5), 1, 1))
        with self.assertRaises(themen.TemplateError):
            themen.place_objects([{"Cap": "c", "kx": -51, "ky": 0}], [(0, 0)], 200, 100,
                                 [0.25, 0.1, 0.25, 0.1])


def gmt(args, text=""):
    res = subprocess.run(["gmt"] + args, input=text, capture_output=True, text=True,
                         cwd=R["gmt"], env=R["gmt_env"])
    if res.returncode != 0:
        raise AssertionError(f"gmt {' '.join(args)}: {res.stderr}")
    return res.stdout


def project(karte, objs):
    """Spots of objs as fractions of the map's width and height."""
    rj = ["-R" + karte["region"], "-J" + karte["projektion"]]
    w, h = map(float, gmt(["mapproject"] + rj + ["-W", "-Di"]).split())
    out = gmt(["mapproject"] + rj + ["-Di"], "".join(f"{o['lon']} {o['lat']}\n" for o in objs))
    return [(float(x) / w, 1 - float(y) / h) for x, y, *_ in (line.split() for line in out.splitlines())]


def kept(args, points):
    """Indexes of the lon/lat points that "gmt select ARGS" keeps."""
    text = "".join(f"{lon} {lat} {i}\n" for i, (lon, lat) in enumerate(points))
    return {int(float(line.split()[2])) for line in gmt(["select"] + args, text).splitlines()
            if line.strip() and not line.startswith(">")}


def colour_table(names):
    return {c: (20 + (i % 12) * 19, 20 + (i // 12) * 40, 50) for i, c in enumerate(sorted(names))}


def mask(karte, layers):
    """The map drawn as themen.py draws it, in its projection and with its
    insets in their places, but with layers instead of the map's own in the
    main map and in every inset, and without frames and scale bars:
    (width, height, pixels)."""
    drawn = dict(karte, ebenen=layers,
                 ausschnitte=[dict(i, ebenen=layers) for i in karte.get("ausschnitte", [])])
    folder = tempfile.mkdtemp(dir=R["gmt"])
    png = os.path.join(folder, "maske.png")
    saved = {k: os.environ.get(k) for k in ("GMT_TMPDIR", "GMT_USERDIR")}
    os.environ.update(GMT_TMPDIR=R["gmt"], GMT_USERDIR=R["gmt"])
    try:
        themen.draw_map(drawn, png, folder, decorate=False)
    finally:
        for k, v in saved.items():
            if v is None:
                os.environ.pop(k, None)
            else:
                os.environ[k] = v
    return read_pixels(png)


def country_mask(karte, codes):
    """The map with every country of codes filled in a colour of its own
    (DCW outlines, as the map draws them): (width, height, pixels, the
    colour of each code)."""
    colours = colour_table(codes)
    fills = [f"-E{c}+g{r}/{g}/{b}" for c, (r, g, b) in colours.items()]
    return mask(karte, [["coast", "-Dl", "-S255/255/255"] + fills]) + (colours,)


def state_mask(karte, states):
    """The map with every German state filled in a colour of its own (the
    BKG's outlines; the larger first, so a city state covers the hole it
    leaves in the state around it): (width, height, pixels, colours)."""
    colours = colour_table(states)

    def extent(name):
        lons = [p[0] for ring in states[name] for p in ring]
        lats = [p[1] for ring in states[name] for p in ring]
        return (max(lons) - min(lons)) * (max(lats) - min(lats))
    layers = [["coast", "-Dl", "-S255/255/255", "-G255/255/255"]]
    for n, name in enumerate(sorted(states, key=extent, reverse=True)):
        table = os.path.join(R["gmt"], f"land{n}.txt")
        with open(table, "w") as f:
            f.write(laender.gmt_lines(states[name]))
        layers.append(["plot", table, "-G%d/%d/%d" % colours[name]])
    return mask(karte, layers) + (colours,)


def dcw_outline(code):
    """A country's outline from DCW, as rings of (lon, lat)."""
    rings = []
    for line in gmt(["coast", "-E" + code, "-M"]).splitlines():
        if line.startswith(">"):
            rings.append([])
        elif line.strip():
            rings[-1].append(tuple(map(float, line.split()[:2])))
    return [r + r[:1] for r in rings if r]


class Facts(unittest.TestCase):
    """The spots of the maps against the same GMT data the maps are drawn
    from: a country's or a city's spot lies inside that country (DCW), a
    river's spot on a river line (GSHHG, all permanent rivers), a sea's in
    the water and an island's on land."""

    @classmethod
    def setUpClass(cls):
        cls.maps = {}
        for rel in themen.find_templates(SRC):
            with open(os.path.join(SRC, rel), encoding="utf-8") as f:
                tpl = json.load(f)
            if "karte" in tpl.get("bild", {}):
                cls.maps[rel] = tpl

    def facts(self, key):
        for rel, tpl in self.maps.items():
            objs = [o for o in tpl["objekte"] if key in o]
            if objs:
                yield rel, tpl["bild"]["karte"], objs

    def test_every_label_of_a_map_is_checked(self):
        # every label says what it names, and the identity checks know that kind
        self.assertGreaterEqual(len(self.maps), 8)
        for rel, tpl in self.maps.items():
            for o in tpl["objekte"]:
                if o.get("Typ", 0) == 0:
                    self.assertIn(o.get("art"), themen.ARTS, f"{rel}: {o['Cap']} names no art")

    def spot(self, rel, o):
        """Where the card shows the spot of template object o: pixels of the
        picture, in the main map or in an inset."""
        i = next(n for n, p in enumerate(self.maps[rel]["objekte"]) if p is o)
        tsr = rel[:-len(".json")] + ".tsr"
        doc = R["docs"][tsr]
        w, h = themen.png_size(image_path(tsr))
        cw, ch, ox, oy = themen.card_geometry(w, h, doc["RandErw"])
        return doc["objects"][i]["Sx"] * cw - ox, doc["objects"][i]["Sy"] * ch - oy

    def assert_on_colour(self, mask, xy, colour, what):
        # within one pixel: a port may lie on the coarse coastline itself
        w, h, px = mask
        u, v = (round(c) for c in xy)
        self.assertTrue(0 < u < w - 1 and 0 < v < h - 1, f"{what}: off the map")
        near = {tuple(px[3 * (j * w + i):3 * (j * w + i) + 3])
                for i in (u - 1, u, u + 1) for j in (v - 1, v, v + 1)}
        self.assertIn(colour, near, what)

    def test_spots_lie_inside_their_country(self):
        # a country's or a city's spot, where the card shows it, on a pixel
        # of that country's colour in a mask drawn as the map is, insets
        # included: in an inset the country's outline at the inset's scale
        # and place; a tiny state ("klein"), which has no full pixel on its
        # map, inside its DCW outline
        tiny = 0
        for rel, karte, objs in self.facts("in"):
            w, h, px, colours = country_mask(karte, {o["in"] for o in objs})
            for o in objs:
                if o.get("klein") and not o.get("ausschnitt"):
                    tiny += 1
                    self.assertTrue(laender.contains(dcw_outline(o["in"]), o["lon"], o["lat"]),
                                    f"{rel}: {o['Cap']} lies outside {o['in']}")
                    continue
                self.assert_on_colour((w, h, px), self.spot(rel, o), colours[o["in"]],
                                      f"{rel}: {o['Cap']} lies outside {o['in']}")
        self.assertGreaterEqual(tiny, 6)

    def test_river_spots_lie_on_a_river(self):
        for rel, karte, objs in self.facts("fluss"):
            lines = os.path.join(R["gmt"], "fluesse.txt")
            with open(lines, "w") as f:
                f.write(gmt(["coast", "-R" + karte["region"], "-J" + karte["projektion"],
                             "-Dl", "-Ir", "-M"]))
            got = kept([f"-L{lines}+d{RIVER_KM}k", "-fg"], [(o["lon"], o["lat"]) for o in objs])
            for i, o in enumerate(objs):
                self.assertIn(i, got, f"{rel}: {o['Cap']} more than {RIVER_KM} km from a river")

    def test_seas_lie_in_the_water_and_islands_on_land(self):
        # at the resolution the map's coast is drawn with
        for key, mask in (("wasser", "-Nk/s"), ("land", "-Ns/k")):
            for rel, karte, objs in self.facts(key):
                insets = {i["name"]: i for i in karte.get("ausschnitte", [])}
                for where in {o.get("ausschnitt") for o in objs}:
                    mine = [o for o in objs if o.get("ausschnitt") == where]
                    res = themen.map_resolution((insets[where] if where else karte)["ebenen"])
                    got = kept([mask, res, "-fg"], [(o["lon"], o["lat"]) for o in mine])
                    for i, o in enumerate(mine):
                        self.assertIn(i, got, f"{rel}: {o['Cap']} not where {key} says")

    def test_spots_lie_inside_their_state(self):
        # a state's or a city's spot inside that state's outline (BKG), and
        # clear of the borders the map draws (a port may lie on the coast)
        states = laender.load()
        borders = laender.inner_borders(states)
        for rel, karte, objs in self.facts("bundesland"):
            for o in objs:
                self.assertTrue(laender.contains(states[o["bundesland"]], o["lon"], o["lat"]),
                                f"{rel}: {o['Cap']} lies outside {o['bundesland']}")
                self.assertGreaterEqual(laender.distance_km(borders, o["lon"], o["lat"]), STATE_KM,
                                        f"{rel}: {o['Cap']} on the border of {o['bundesland']}")
            # and where the card shows it, in the main map or an inset, on
            # that state in a mask of the outlines drawn as the map is
            w, h, px, colours = state_mask(karte, states)
            for o in objs:
                self.assert_on_colour((w, h, px), self.spot(rel, o), colours[o["bundesland"]],
                                      f"{rel}: {o['Cap']} shown outside {o['bundesland']}")

    def test_every_state_is_asked_on_its_map(self):
        asked = {o["bundesland"] for o in
                 self.maps["erdkunde/deutschland/bundeslaender-karte.json"]["objekte"]
                 if o.get("Typ", 0) == 0}
        self.assertEqual(asked, set(laender.load()))

    def test_checks_catch_a_wrong_spot(self):
        # Wiesbaden in Rhineland-Palatinate, Mainz in Hesse, the Elbe at Hamburg as Lower Saxony
        states = laender.load()
        for lon, lat, state, inside in ((8.240, 50.082, "Hessen", True),
                                        (8.240, 50.082, "Rheinland-Pfalz", False),
                                        (8.247, 49.993, "Hessen", False),
                                        (10.0, 53.55, "Niedersachsen", False),
                                        (13.4, 52.52, "Brandenburg", False)):
            self.assertEqual(laender.contains(states[state], lon, lat), inside, (lon, lat, state))

        # Mainz shown where the inset shows Wiesbaden; a spot in Rome outside the Vatican
        rel = "deutschland/landeshauptstaedte-karte.json"
        cities = {o["Cap"]: o for o in self.maps[rel]["objekte"] if o.get("Typ", 0) == 0}
        w, h, px, colours = state_mask(self.maps[rel]["bild"]["karte"], states)
        self.assert_on_colour((w, h, px), self.spot(rel, cities["Mainz"]),
                              colours["Rheinland-Pfalz"], "Mainz")
        with self.assertRaises(AssertionError):
            self.assert_on_colour((w, h, px), self.spot(rel, cities["Wiesbaden"]),
                                  colours["Rheinland-Pfalz"], "Mainz at Wiesbaden")
        vatican = dcw_outline("VA")
        self.assertTrue(laender.contains(vatican, 12.453, 41.904))
        self.assertFalse(laender.contains(vatican, 12.482, 41.896))

        # Berlin's spot in Poland, the North Sea on land, the Rhine in the Black Forest
        karte = {"region": "5/12/47/55", "projektion": "M3i", "dpi": 100}
        w, h, px, colours = country_mask(karte, {"DE", "NL"})
        (x, y), = project(karte, [{"lon": 5.5, "lat": 52.3}])
        u, v = round(x * w), round(y * h)
        self.assertEqual(tuple(px[3 * (v * w + u):3 * (v * w + u) + 3]), colours["NL"])
        self.assertNotEqual(colours["NL"], colours["DE"])
        self.assertEqual(kept(["-Nk/s", "-Dl", "-fg"], [(6.5, 54.3), (9.0, 51.0)]), {0})
        lines = os.path.join(R["gmt"], "probe-rivers.txt")
        with open(lines, "w") as f:
            f.write(gmt(["coast", "-R5/12/47/55", "-JM3i", "-Dl", "-Ir", "-M"]))
        self.assertEqual(kept([f"-L{lines}+d{RIVER_KM}k", "-fg"], [(8.432, 49.293), (8.1, 48.2)]), {0})


class Placement(unittest.TestCase):
    """Where the automatic placement puts an area's name that does not fit
    into the area, on a card of 870 x 600 pixels (a card unit a pixel)."""

    W, H = 870.0, 600.0

    def place(self, objs, area_ok, on_sea=None, near=False):
        result = []
        for o in objs:
            x, y = o["spot"]
            result.append(dict(themen.OBJ_DEFAULTS, Cap=o["Cap"], Sx=x / self.W, Sy=y / self.H,
                               Kx=x / self.W, Ky=y / self.H))
            result[-1].update(o.get("obj", {}))
        srcs = [dict(o.get("src", {}), _auto=o.get("auto", True)) for o in objs]
        themen.auto_place(result, srcs, self.W, self.H, near=near, area_ok=area_ok,
                          on_sea=on_sea)
        return result

    def end(self, o):
        return o["Kx"] * self.W, o["Ky"] * self.H

    def test_a_name_goes_out_onto_the_sea_before_a_neighbours_land(self):
        # the name fits nowhere in the area; the sea lies left of x = 350,
        # out of reach of the shortest line (its box would end at 353)
        state = {"Cap": "Staat", "spot": (400, 300), "src": {"art": "staat"}}

        def sea(box, p, q):
            return box[2] < 350

        for on_sea, art, left in ((None, "staat", False), ([sea], "staat", True),
                                  ([sea], "see", False)):
            with self.subTest(sea=on_sea is not None, art=art):
                o, = self.place([dict(state, src={"art": art})], [lambda box: False], on_sea)
                self.assertEqual(o["Sline"], 1)
                x, _ = self.end(o)
                self.assertEqual(x < 400, left, (x, o["KAusr"]))
                if left:
                    self.assertLess(themen.label_box(o, self.W, self.H)[2], 350)
                    length = themen.length_of(400, 300, *self.end(o))
                    self.assertLessEqual(length, themen.LEADER_LENGTHS[themen.SEA_RINGS - 1] + 1)
        # a sea farther than the short lines reach: onto the land beside it
        far = lambda box, p, q: box[2] < 300  # noqa: E731
        o, = self.place([state], [lambda box: False], [far])
        self.assertAlmostEqual(themen.length_of(400, 300, *self.end(o)), themen.LEADER_LENGTHS[0],
                               delta=0.1)

    def test_an_areas_name_stays_home_without_room_for_the_worksheet(self):
        # a fixed label just right of the area's name leaves room for the
        # name, not for the wider field of a worksheet
        name = {"Cap": "Mittelgebirgsland", "spot": (400, 300), "src": {"art": "staat"}}
        w, h = themen.caption_units(name["Cap"])
        right = 400 + w / 2 + 1
        fixed = {"Cap": "Nachbar", "spot": (right + 200, 300), "auto": False,
                 "obj": {"KAusr": 1, "Kx": (right - themen.SIDE_GAP) / self.W, "Ky": 0.5}}

        def centred(box):
            return abs((box[0] + box[2]) / 2 - 400) < 1 and abs((box[1] + box[3]) / 2 - 300) < 1

        o, fixed_out = self.place([name, fixed], [centred, None])
        home = themen.label_box(o, self.W, self.H)
        self.assertEqual(o["Sline"], 0)
        self.assertTrue(centred(home), home)
        self.assertFalse(themen.boxes_overlap(home, themen.label_box(fixed_out, self.W, self.H)))
        self.assertTrue(themen.boxes_overlap(themen.sheet_box(o, self.W, self.H),
                                             themen.sheet_box(fixed_out, self.W, self.H)))

    def test_a_leader_line_to_the_sea_crosses_no_other_land(self):
        # a mask of 40 x 10 pixels: the state (A) on the left, a neighbour (B)
        # in the middle at the top, sea elsewhere
        A, B, sea = (10, 10, 10), (20, 20, 20), themen.OCEAN
        rows = [[A] * 12 + [B] * 10 + [sea] * 18 if y < 5 else [A] * 12 + [sea] * 28
                for y in range(10)]
        mask = (40, 10, bytes(c for row in rows for px in row for c in px), {}, 1.0)
        for p, q, over in (((5, 7), (39, 8), True), ((5, 2), (39, 2), False),
                           ((5, 7), (20, 9), True), ((5, 2), (11, 2), True)):
            with self.subTest(frm=p, to=q):
                self.assertEqual(themen.line_over(mask, p, q, (A, sea)), over)
        self.assertAlmostEqual(themen.area_share(mask, (12, 5, 39, 9), sea, 1.0), 1.0)
        self.assertLess(themen.area_share(mask, (0, 0, 39, 9), sea, 1.0), 0.6)


def with_gmt_env(fn, *args):
    """Call fn with GMT's session files in the checks' scratch folder."""
    saved = {k: os.environ.get(k) for k in ("GMT_TMPDIR", "GMT_USERDIR")}
    os.environ.update(GMT_TMPDIR=R["gmt"], GMT_USERDIR=R["gmt"])
    try:
        return fn(*args)
    finally:
        for k, v in saved.items():
            if v is None:
                os.environ.pop(k, None)
            else:
                os.environ[k] = v


def frame_outlines(karte, project):
    """The outline of each inset's frame on the main map, in pixels of the
    picture (project: as draw_map returns it)."""
    return [with_gmt_env(project, [tuple(map(float, line.split())) for line in
                                   themen.region_outline(inset["region"], 4).splitlines()])
            for inset in karte["ausschnitte"]]


def map_docs():
    """(rel of the topic, its template, its built source) of every map."""
    for rel, doc in sorted(R["docs"].items()):
        tpl = template(rel)
        if "karte" in (tpl.get("bild") or {}):
            yield rel, tpl, doc


NUMBER_WORDS = {"zwei": 2, "drei": 3, "vier": 4, "fünf": 5, "sechs": 6, "sieben": 7, "acht": 8,
                "neun": 9, "zehn": 10, "elf": 11, "zwölf": 12}
COUNTED = {"Mittelgebirge": ("gebirge",), "Gebirge": ("gebirge",), "Flüsse": ("fluss",),
           "Staaten": ("staat",), "Nachbarstaaten": ("staat",), "Seen": ("see",),
           "Hauptstädte": ("hauptstadt", "landeshauptstadt"),
           "Landeshauptstädte": ("landeshauptstadt", "hauptstadt"), "Wüsten": ("wueste",),
           "Städte": ("stadt",), "Kontinente": ("kontinent",), "Ozeane": ("meer",),
           "Bundesländer": ("bundesland",), "Großlandschaften": ("landschaft",)}
COUNT = re.compile(r"\b(\d+|" + "|".join(NUMBER_WORDS) + r") (?:(?:große|großen|bekannte|größten|"
                   r"flächengrößten) )*(" + "|".join(COUNTED) + r")\b")


def miscounts(tpl):
    """The numbers of the map's first description line ("21 Mittelgebirge", "die
    zwölf Staaten") that differ from the labels of that kind on the map. Labels
    the rest of the sentence names outside brackets ("21 Mittelgebirge, die Alpen
    und …") are not among those counted; on a map of capitals, "Staaten" counts
    capitals."""
    b = tpl["bemerkung"]
    line = b[0] if isinstance(b, list) else b
    objs = [o for o in tpl["objekte"] if o.get("Typ", 0) == 0]
    capitals = any(o.get("art") == "hauptstadt" for o in objs)
    wrong = []
    for m in COUNT.finditer(line):
        said = int(m.group(1)) if m.group(1).isdigit() else NUMBER_WORDS[m.group(1)]
        arts = ("hauptstadt",) if m.group(2) == "Staaten" and capitals else COUNTED[m.group(2)]
        rest = re.sub(r"\([^)]*\)", "", line[m.end():].split(". ")[0])
        n = sum(1 for o in objs if o.get("art") in arts and identitaet.clean(o["Cap"]) not in rest)
        if n != said:
            wrong.append(f"{m.group(0)}: {n} on the map")
    return wrong


class Cartography(unittest.TestCase):
    """What an atlas reader expects: a marker for every point, the name
    beside it and clear of every marker, an area's name inside the area, an
    inset and its frame lettered alike."""

    def card(self, rel):
        w, h = themen.png_size(image_path(rel))
        return (w, h) + themen.card_geometry(w, h, R["docs"][rel]["RandErw"])

    def test_every_point_has_its_marker_drawn(self):
        # the pixel at the spot of a town, a capital or a summit shows its
        # marker: the dark centre of a dot or a capital's sign, the brown of
        # a triangle
        seen = set()
        for rel, tpl, doc in map_docs():
            w, h, cw, ch, ox, oy = self.card(rel)
            _, _, px = read_pixels(image_path(rel))
            for o, src in zip(doc["objects"], tpl["objekte"]):
                art = src.get("art")
                if art not in themen.MARKER_ARTS:
                    continue
                u, v = round(o["Sx"] * cw - ox), round(o["Sy"] * ch - oy)
                r, g, b = px[3 * (v * w + u):3 * (v * w + u) + 3]
                if art in ("gipfel", "gebirge"):
                    self.assertTrue(r > g > b and r - b > 60, f"{rel}: no triangle at {o['Cap']}")
                else:
                    self.assertTrue(max(r, g, b) < 90, f"{rel}: no marker at {o['Cap']}")
                seen.add(art)
        self.assertEqual(seen, set(themen.MARKER_ARTS))

    def test_no_label_or_badge_covers_a_marker(self):
        # neither the label of the learning view nor the badge of the quiz
        # covers a marker, its own included; a leader line passes no marker
        for rel, tpl, doc in map_docs():
            w, h, cw, ch, ox, oy = self.card(rel)
            dpi = tpl["bild"]["karte"]["dpi"]
            marks = [(o, themen.marker_half(src.get("art"), dpi)) for o, src
                     in zip(doc["objects"], tpl["objekte"]) if src.get("art") in themen.MARKER_ARTS]
            for o in doc["objects"]:
                if o["Typ"] not in (0, 1) or not o["Cap"]:
                    continue
                boxes = [themen.label_box(o, cw, ch), themen.badge_box(o, cw, ch)]
                for m, half in marks:
                    x, y = m["Sx"] * cw, m["Sy"] * ch
                    guard = (x - half, y - half, x + half, y + half)
                    for box in boxes:
                        self.assertFalse(themen.boxes_overlap(box, guard),
                                         f"{rel}: {o['Cap']} covers the marker of {m['Cap']}")
                    if o["Sline"] and m is not o:
                        self.assertFalse(themen.segment_hits_box((o["Sx"] * cw, o["Sy"] * ch),
                                                                 (o["Kx"] * cw, o["Ky"] * ch), guard),
                                         f"{rel}: the leader of {o['Cap']} crosses {m['Cap']}")

    def test_a_points_name_stands_beside_it(self):
        # without a leader line a point's label touches the ring around its
        # marker; with one, the line is short enough to follow by eye
        for rel, tpl, doc in map_docs():
            w, h, cw, ch, ox, oy = self.card(rel)
            unit = cw / themen.CARD_UNITS
            for o, src in zip(doc["objects"], tpl["objekte"]):
                if src.get("art") not in themen.MARKER_ARTS + themen.LINE_ARTS:
                    continue
                sx, sy = o["Sx"] * cw, o["Sy"] * ch
                if o["Sline"]:
                    length = themen.length_of(sx, sy, o["Kx"] * cw, o["Ky"] * ch) / unit
                    self.assertLessEqual(length, themen.LEADER_LENGTHS[-1] + 1, f"{rel}: {o['Cap']}")
                    continue
                x0, y0, x1, y1 = themen.label_box(o, cw, ch)
                gap = max(x0 - sx, sx - x1, y0 - sy, sy - y1)
                self.assertLess(gap / unit, 25, f"{rel}: {o['Cap']} stands away from its spot")

    def test_area_names_lie_inside_their_area(self):
        # an area's name without a leader line lies inside its area, the
        # whole box, on a mask of the map (countries of DCW, German states
        # of the BKG, sea, lakes, land) or, for a landscape, a desert or a
        # zone, inside its outline of the reference table
        checked = 0
        ref = R.setdefault("ref", identitaet.Referenz(R["gmt_env"]))
        for rel, tpl, doc in map_docs():
            karte = tpl["bild"]["karte"]
            w, h, cw, ch, ox, oy = self.card(rel)
            objs = [(o, src) for o, src in zip(doc["objects"], tpl["objekte"])
                    if src.get("art") in themen.AREA_ARTS and o["Typ"] == 0 and not o["Sline"]]
            if not objs:
                continue
            codes = {src["in"] for _, src in objs if src["art"] == "staat"}
            states = laender.load() if any(src["art"] == "bundesland" for _, src in objs) else None
            folder = tempfile.mkdtemp(dir=R["gmt"])
            mask = with_gmt_env(themen.draw_mask, karte, folder, codes, states)
            for o, src in objs:
                x0, y0, x1, y1 = themen.label_box(o, cw, ch)
                box = (x0 - ox, y0 - oy, x1 - ox, y1 - oy)
                target = themen.area_target(src, mask[3])
                if target is not None:
                    self.assertTrue(themen.box_in_area(mask, box, target),
                                    f"{rel}: the name {o['Cap']!r} leaves its area")
                else:
                    self.assertTrue(self.box_in_outline(ref, karte, (w, h), box, src),
                                    f"{rel}: the name {o['Cap']!r} leaves its outline")
                checked += 1
        self.assertGreaterEqual(checked, 100)

    def box_in_outline(self, ref, karte, size, box, src):
        x0, y0, x1, y1 = box
        w, h = size
        dpi = karte["dpi"]
        pts = [(x0 + (x1 - x0) * i / 4, y0 + (y1 - y0) * j / 2) for i in range(5) for j in range(3)]
        text = "".join(f"{x / dpi} {(h - y) / dpi}\n" for x, y in pts)
        out = gmt(["mapproject", "-R" + karte["region"], "-J" + karte["projektion"], "-I", "-Di"], text)
        lonlat = [tuple(map(float, line.split()[:2])) for line in out.splitlines() if line.strip()]
        entry = ref.tables["gebiete"][identitaet.clean(src["Cap"])]
        if "breiten" in entry:
            return all(entry["breiten"][0] <= lat <= entry["breiten"][1] for _, lat in lonlat)
        return all(identitaet.inside([entry["umriss"]], lon, lat) for lon, lat in lonlat)

    def test_insets_and_their_frames_carry_the_same_letter(self):
        # the letter in the corner of an inset and the letter beside its
        # frame on the map are drawn alike, and differ from the other insets'
        seen = 0
        for rel, tpl, doc in map_docs():
            karte = tpl["bild"]["karte"]
            if not karte.get("ausschnitte"):
                continue
            folder = tempfile.mkdtemp(dir=R["gmt"])
            _, _, blocked = with_gmt_env(themen.draw_map, karte, os.path.join(folder, "k.png"), folder)
            letters = themen.letter_boxes(blocked, karte)
            self.assertEqual(len(letters), 2 * len(karte["ausschnitte"]), rel)
            w, h, px = read_pixels(image_path(rel))

            def glyph(box):
                x0, y0, x1, y1 = (round(v) for v in box)
                return tuple(tuple(int(sum(px[3 * (y * w + x):3 * (y * w + x) + 3]) < 300)
                                   for x in range(x0 + 6, x1 - 6)) for y in range(y0 + 6, y1 - 6))
            glyphs = [glyph(b) for b in letters]
            for n in range(0, len(glyphs), 2):
                inset, frame = glyphs[n], glyphs[n + 1]
                self.assertTrue(any(any(row) for row in inset), f"{rel}: no letter in inset {n // 2}")
                self.assertEqual(inset, frame, f"{rel}: inset {n // 2} and its frame differ")
                for m in range(0, n, 2):
                    self.assertNotEqual(inset, glyphs[m], f"{rel}: two insets share a letter")
                seen += 1
        self.assertGreaterEqual(seen, 6)


    def test_no_label_of_the_map_crosses_the_frame_of_an_inset(self):
        # the frame on the map shows which area an inset enlarges: a label or
        # a leader line across it would read as part of the inset
        seen = 0
        for rel, tpl, doc in map_docs():
            karte = tpl["bild"]["karte"]
            if not karte.get("ausschnitte"):
                continue
            w, h, cw, ch, ox, oy = self.card(rel)
            folder = tempfile.mkdtemp(dir=R["gmt"])
            project, _, _ = with_gmt_env(themen.draw_map, karte, os.path.join(folder, "k.png"), folder)
            edges = [edge for points in frame_outlines(karte, project)
                     for edge in zip(points, points[1:])]
            for o, src in zip(doc["objects"], tpl["objekte"]):
                if o["Typ"] not in (0, 1) or not o["Cap"] or src.get("ausschnitt"):
                    continue
                x0, y0, x1, y1 = themen.label_box(o, cw, ch)
                box = (x0 - ox, y0 - oy, x1 - ox, y1 - oy)
                spot = (o["Sx"] * cw - ox, o["Sy"] * ch - oy)
                end = (o["Kx"] * cw - ox, o["Ky"] * ch - oy)
                for p, q in edges:
                    self.assertFalse(themen.segment_hits_box(p, q, box),
                                     f"{rel}: {o['Cap']} lies on the frame of an inset")
                    if o["Sline"]:
                        self.assertFalse(themen.segments_cross(spot, end, p, q),
                                         f"{rel}: the leader of {o['Cap']} crosses a frame")
            seen += 1
        self.assertGreaterEqual(seen, 8)

    def test_a_frames_letter_stands_clear_of_the_other_frames(self):
        # the letter beside an inset's frame on the map lies in no other
        # frame, where a pupil would take it for that frame's
        seen = 0
        for rel, tpl, doc in map_docs():
            karte = tpl["bild"]["karte"]
            if len(karte.get("ausschnitte", [])) < 2:
                continue
            folder = tempfile.mkdtemp(dir=R["gmt"])
            project, _, blocked = with_gmt_env(themen.draw_map, karte,
                                               os.path.join(folder, "k.png"), folder)
            letters = themen.letter_boxes(blocked, karte)[1::2]
            frames = [(min(xs), min(ys), max(xs), max(ys))
                      for xs, ys in (zip(*points) for points in frame_outlines(karte, project))]
            for n, letter in enumerate(letters):
                for m, frame in enumerate(frames):
                    if m != n:
                        self.assertFalse(themen.boxes_overlap(letter, frame),
                                         f"{rel}: the letter of frame {n} lies in frame {m}")
                seen += 1
        self.assertGreaterEqual(seen, 8)


class Identity(unittest.TestCase):
    """Each label names the right place (identitaet.py): the spot against
    GeoNames, world-countries and the reference tables, and every single
    question about a capital against them too."""

    def test_every_feature_is_where_the_references_put_it(self):
        ref = R.setdefault("ref", identitaet.Referenz(R["gmt_env"]))
        failures = identitaet.check_tree(SRC, ref)
        self.assertEqual(failures, [])

    def test_capital_questions_are_checked(self):
        # the question sets about capitals are found and every line of them is checked
        ref = R.setdefault("ref", identitaet.Referenz(R["gmt_env"]))
        asked = 0
        for rel in themen.find_templates(SRC):
            tpl = template(rel[:-5] + ".tsr")
            text = tpl.get("fragentext", "")
            lines = text if isinstance(text, list) else text.split("\r\n")
            asked += sum("hauptstadt" in line.lower() for line in lines)
        self.assertGreaterEqual(asked, 26)
        wrong = {"fragentext": ["Wie heißt die Landeshauptstadt von Bayern?//Nürnberg",
                                "Wie heißt die Hauptstadt von Italien?//Mailand",
                                "Welches Land hat die Hauptstadt Bern?//Österreich"]}
        self.assertEqual(len(identitaet.check_questions("probe.json", wrong, ref)), 3)

    def test_the_largest_states_are_the_largest(self):
        # a map that asks "the N largest states" of a continent asks exactly
        # the N largest by area (world-countries)
        ref = R.setdefault("ref", identitaet.Referenz(R["gmt_env"]))
        claims = 0
        for rel in themen.find_templates(SRC):
            tpl = template(rel[:-5] + ".tsr")
            text = " ".join(tpl.get("bemerkung", [])) if isinstance(tpl.get("bemerkung"), list) \
                else tpl.get("bemerkung", "")
            m = re.search(r"(?:die|der) (\d+) flächengrößten Staaten (Afrikas|Europas|Asiens)", text)
            if not m:
                continue
            claims += 1
            region = {"Afrikas": "Africa", "Europas": "Europe", "Asiens": "Asia"}[m.group(2)]
            states = sorted((c for c in ref.countries.values()
                             if c["region"] == region and c.get("unMember")),
                            key=lambda c: -c["area"])
            # a map of states by their names, a map of capitals by the capitals' countries
            asked = {ref.country_code(identitaet.clean(o["Cap"])) for o in tpl["objekte"]
                     if o.get("art") == "staat"} | \
                {ref.place(identitaet.clean(o["Cap"]))[2] for o in tpl["objekte"]
                 if o.get("art") == "hauptstadt"}
            self.assertEqual(asked, {c["cca2"] for c in states[:int(m.group(1))]}, rel)
        self.assertGreaterEqual(claims, 5)


if __name__ == "__main__":
    unittest.main(verbosity=2)

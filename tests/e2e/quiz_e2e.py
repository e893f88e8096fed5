#!/usr/bin/env python3
"""Plays the sample quizzes in the real program under Xvfb, the way a pupil would.

The program runs with KAPITOLO_AUTOMATION pointing at a file in which it describes
what is on the screen (tiles, open targets, the finished dialog) after every change;
this driver reads it and moves the real mouse with xdotool.

    quiz_e2e.py PROGRAM_DIR ARTEFACT_DIR
"""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

PROGRAM_DIR = os.path.abspath(sys.argv[1])
ARTEFACTS = os.path.abspath(sys.argv[2])
KAPITOLO = os.path.join(PROGRAM_DIR, "kapitolo")
THEMEN = os.path.join(PROGRAM_DIR, "themen")
IMPORT = "/usr/bin/import"


def log(*args):
    print(*args, flush=True)


class Display:
    def __init__(self):
        for number in range(91, 120):
            if not os.path.exists(f"/tmp/.X11-unix/X{number}") and not os.path.exists(f"/tmp/.X{number}-lock"):
                break
        self.name = f":{number}"
        self.proc = subprocess.Popen(["Xvfb", self.name, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while not os.path.exists(f"/tmp/.X11-unix/X{number}"):
            if time.monotonic() > deadline or self.proc.poll() is not None:
                raise RuntimeError("Xvfb did not start")
            time.sleep(0.05)

    def env(self):
        e = dict(os.environ)
        e["DISPLAY"] = self.name
        e.pop("QT_QPA_PLATFORM", None)
        return e

    def stop(self):
        self.proc.terminate()
        self.proc.wait(10)


class Program:
    def __init__(self, display, home):
        self.display = display
        self.state_file = os.path.join(home, "state.json")
        env = display.env()
        env["HOME"] = home
        env["XDG_CONFIG_HOME"] = os.path.join(home, "config")
        env["XDG_RUNTIME_DIR"] = os.path.join(home, "runtime")
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        env["KAPITOLO_AUTOMATION"] = self.state_file
        # Results go to folders of this run: protocols saved automatically, best lists.
        self.protocols = os.path.join(home, "protokolle")
        self.best_lists = os.path.join(home, "bestenlisten")
        os.makedirs(self.protocols)
        os.makedirs(self.best_lists)
        config = os.path.join(env["XDG_CONFIG_HOME"], "Ostrabel")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "Kapitolo.conf"), "w", encoding="utf-8") as f:
            f.write("[General]\nOpt-AutoProtSpeichern=1\n"
                    f"Opt-ProtOrdner={self.protocols}/\nOpt-BestListOrdner={self.best_lists}/\n")
        self.env = env
        self.proc = subprocess.Popen([KAPITOLO, THEMEN], env=env, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT)

    def xdo(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True)

    def state(self):
        try:
            with open(self.state_file, encoding="utf-8") as f:
                return json.load(f)
        except (OSError, ValueError):
            return None

    def wait_for(self, predicate, what, timeout=30):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.proc.poll() is not None:
                raise RuntimeError(f"Kapitolo ended while waiting for {what}: " + self.proc.stdout.read().decode())
            s = self.state()
            if s is not None and predicate(s):
                return s
            time.sleep(0.05)
        raise RuntimeError(f"timed out waiting for {what}; last state: {json.dumps(self.state())[:2000]}")

    def screenshot(self, name):
        os.makedirs(ARTEFACTS, exist_ok=True)
        subprocess.run([IMPORT, "-window", "root", os.path.join(ARTEFACTS, name)], env=self.env, check=False)

    def click(self, x, y):
        self.xdo("mousemove", x, y)
        self.xdo("click", 1)

    def drag(self, x0, y0, x1, y1):
        self.xdo("mousemove", x0, y0)
        self.xdo("mousedown", 1)
        steps = 12
        for i in range(1, steps + 1):
            self.xdo("mousemove", round(x0 + (x1 - x0) * i / steps), round(y0 + (y1 - y0) * i / steps))
        self.xdo("mouseup", 1)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()


def choose_topic(program, title):
    s = program.wait_for(lambda s: s.get("menuItems"), "the topic menu")
    items = s["menuItems"]
    index = next(i for i, caption in enumerate(items) if title in caption)
    log(f"choosing {items[index]!r}")
    program.click(*s["quizMenu"])
    time.sleep(0.5)
    if index < 9:
        program.xdo("key", str(index + 1))
    else:
        raise RuntimeError("the driver chooses only the first nine topics")


def enter_name(program, name):
    s = program.wait_for(lambda s: s.get("dialog") == "TNameEingabeForm" or s.get("appMode") == 3, "the name entry")
    if s.get("appMode") == 3:
        return
    program.xdo("type", "--delay", "20", name)
    program.xdo("key", "Return")


def target_for(state, caption):
    for t in state["targets"]:
        if t["caption"] == caption:
            return t
    return None


def play_drag_quiz(program, wrong_once):
    """Drags every tile onto its target; with wrong_once the first drop goes astray."""
    made_wrong = not wrong_once
    moves = 0
    while True:
        s = program.wait_for(lambda s: s.get("finished") or (s.get("appMode") == 3 and s.get("idle")),
                             "the next question")
        if s.get("finished"):
            return s
        tiles = [t for t in s["tiles"] if t["visible"]]
        tile = min(tiles, key=lambda t: t["pair"])
        target = target_for(s, tile["caption"])
        if target is None:
            raise RuntimeError(f"no open target for tile {tile['caption']!r}: {s}")
        if not made_wrong:
            others = [t for t in s["targets"] if t["caption"] != tile["caption"]]
            if others:
                target = others[0]
                made_wrong = True
        # Hold the tile near the middle of its left edge: that point decides the target.
        x0, y0 = tile["x"] + 6, tile["y"] + tile["h"] // 2
        x1, y1 = target["x"] + target["w"] // 2, target["y"] + target["h"] // 2
        serial = s["serial"]
        program.drag(x0, y0, x1, y1)
        program.wait_for(lambda s: s["serial"] != serial and (s.get("idle") or s.get("finished")), "the evaluation")
        moves += 1
        if moves > 400:
            raise RuntimeError("too many moves")


def play_keyboard_quiz(program, wrong_once):
    """Plays with the keys alone: Tab to a tile, Space, the target's number, Enter."""
    made_wrong = not wrong_once
    moves = 0
    while True:
        s = program.wait_for(lambda s: s.get("finished") or (s.get("appMode") == 3 and s.get("idle")),
                             "the next question")
        if s.get("finished"):
            return s
        tabs = 0
        while not any(t["pair"] == s.get("focusedPair") and t["visible"] for t in s["tiles"]):
            serial = s["serial"]
            program.xdo("key", "Tab")
            s = program.wait_for(lambda s: s["serial"] != serial, "the focus to move")
            tabs += 1
            if tabs > 60:
                raise RuntimeError(f"Tab never reached a tile: {s}")
        tile = next(t for t in s["tiles"] if t["pair"] == s["focusedPair"])
        target = target_for(s, tile["caption"])
        if target is None:
            raise RuntimeError(f"no open target for tile {tile['caption']!r}: {s}")
        if not made_wrong:
            others = [t for t in s["targets"] if t["caption"] != tile["caption"]]
            if others:
                target = others[0]
                made_wrong = True
        serial = s["serial"]
        program.xdo("key", "--delay", "30", "space", *target["number"], "Return")
        # Picking up and aiming leave heldPair set; the first idle state without it is the outcome.
        program.wait_for(lambda s: s["serial"] != serial and (s.get("finished") or (
            s.get("idle") and s.get("heldPair", -1) < 0)), "the evaluation")
        moves += 1
        if moves > 400:
            raise RuntimeError("too many moves")


def play_question_quiz(program, wrong_once):
    made_wrong = not wrong_once
    while True:
        s = program.wait_for(lambda s: s.get("finished") or (s.get("appMode") == 3 and s.get("idle")),
                             "the next question")
        if s.get("finished"):
            return s
        tiles = [t for t in s["tiles"] if t["visible"]]
        right = [t for t in tiles if t["caption"] == s["answer"]]
        if not right:
            raise RuntimeError(f"the answer {s['answer']!r} is not among the tiles: {s}")
        choice = right[0]
        if not made_wrong:
            wrong = [t for t in tiles if t["caption"] != s["answer"]]
            choice = wrong[0]
            made_wrong = True
        serial = s["serial"]
        program.click(choice["x"] + choice["w"] // 2, choice["y"] + choice["h"] // 2)
        program.wait_for(lambda s: s["serial"] != serial and (s.get("idle") or s.get("finished")), "the evaluation")


def check(condition, message):
    if not condition:
        raise AssertionError(message)
    log("ok:", message)


def check_results(program, title, repeated):
    """The quiz left its protocol(s) and one entry in the document's best list."""
    protocols = sorted(os.listdir(program.protocols))
    check(len(protocols) == (2 if repeated else 1) and all(p.endswith(".rtf") for p in protocols),
          f"{title}: protocol files {protocols}")
    with open(os.path.join(program.protocols, protocols[0]), "rb") as f:
        rtf = f.read()
    # xdotool types ASCII reliably; the umlauts come with the titles ("Hauptst\'e4dte").
    expected_title = title.encode("cp1252").decode("latin-1")
    escaped = "".join(c if ord(c) < 128 else "\\'%02x" % ord(c) for c in expected_title).encode("ascii")
    check(rtf.startswith(b"{\\rtf1") and b"Quiz-Protokoll" in rtf, f"{title}: the protocol is RTF with its heading")
    name_line = [line for line in rtf.split(b"\\par") if b"Teilnehmername" in line]
    check(b"Anna Schmidt" in rtf, f"{title}: the protocol names the pupil ({name_line})")
    check(escaped in rtf, f"{title}: the protocol names the topic")
    shutil.copy(os.path.join(program.protocols, protocols[0]), os.path.join(ARTEFACTS, title.split()[0] + ".rtf"))
    lists = [f for f in os.listdir(program.best_lists) if f.endswith(".hsc")]
    check(len(lists) == 1, f"{title}: one best list {lists}")
    tool = os.path.join(PROGRAM_DIR, "kapitolo-tool")
    text = subprocess.run([tool, "bestlist", os.path.join(program.best_lists, lists[0])], capture_output=True,
                          check=True).stdout.decode("cp1252")
    rows = [r for r in text.split("\r\n") if r]
    check(len(rows) == 2 and "Anna Schmidt" in rows[1],
          f"{title}: the best list holds the result (a repetition never enters it): {rows}")


def run_case(display, title, kind, wrong_once, shot):
    home = tempfile.mkdtemp(prefix="kapitolo-e2e-")
    program = Program(display, home)
    try:
        choose_topic(program, title)
        enter_name(program, "Anna Schmidt")
        play = {"questions": play_question_quiz, "keys": play_keyboard_quiz}.get(kind, play_drag_quiz)
        s = play(program, wrong_once)
        program.screenshot(shot)
        f = s["finished"]
        log("finished:", json.dumps(f, ensure_ascii=False))
        if wrong_once:
            check(f["failed"] == "1", f"{title}: one failed attempt")
            check(f["repetitionEnabled"], f"{title}: the repetition is offered")
            # Repeat only the wrongly answered question and play it right.
            program.click(*s["repeatWrongOption"])
            serial = s["serial"]
            program.click(*s["repeatButton"])
            s = program.wait_for(lambda s: s["serial"] != serial and (s.get("dialog") == "TNameEingabeForm" or (
                s.get("appMode") == 3 and s.get("idle") and not s.get("finished"))), "the repetition")
            if s.get("dialog") == "TNameEingabeForm":
                program.xdo("key", "Return")  # the name entered before is offered again
            s = play(program, False)
            program.screenshot(shot.replace(".png", "-wiederholung.png"))
            f = s["finished"]
            log("repetition:", json.dumps(f, ensure_ascii=False))
            check(f["correct"].endswith("von  1") or f["correct"].endswith("von  2"),
                  f"{title}: the repetition asks only the wrong question(s): {f['correct']}")
        else:
            check(f["failed"] == "0", f"{title}: no failed attempt")
            check(f["totalPerformance"] == "100.0 %", f"{title}: 100.0 %")
            check(f["grade"] == 1, f"{title}: grade 1")
            correct, total = f["correct"].split("  von  ")
            check(correct == total, f"{title}: every answer correct ({f['correct']})")
        program.xdo("key", "Escape")
        program.wait_for(lambda s: s.get("appMode") == 2 and not s.get("finished"), "the learning card")
        program.screenshot(shot.replace(".png", "-danach.png"))
        check_results(program, title, repeated=wrong_once)
    finally:
        program.stop()
        out = program.proc.stdout.read().decode(errors="replace")
        if out.strip():
            log(out)
        shutil.rmtree(home, ignore_errors=True)


def main():
    display = Display()
    failures = 0
    cases = [
        ("Hauptstädte Europas", "drag", False, "karte.png"),
        ("Wasserkreislauf", "drag", True, "lueckentext.png"),
        ("Allgemeinwissen", "questions", True, "einzelfragen.png"),
        # The cloze once more without a mouse: the same protocol and best list.
        ("Wasserkreislauf", "keys", True, "lueckentext-tastatur.png"),
    ]
    try:
        for title, kind, wrong_once, shot in cases:
            try:
                run_case(display, title, kind, wrong_once, shot)
            except Exception as error:  # report every case, then fail
                failures += 1
                log(f"FAILED {title}: {error}")
    finally:
        display.stop()
    print(f"{len(cases) - failures} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

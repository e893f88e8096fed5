#!/usr/bin/env python3
"""A classroom network quiz in two real program processes under Xvfb.

A teacher opens a topic and initiates the exercise with F9; a pupil presses F8, plays
the quiz to the end and closes the finished dialog. The teacher's control display (read
through the automation description) then shows the pupil's row as finished, and the
network best list holds exactly one entry.

    network_e2e.py PROGRAM_DIR ARTEFACT_DIR
"""
import json
import os
import random
import shutil
import string
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import quiz_e2e as base  # noqa: E402  (shares the display, the driver and the quiz player)

PROGRAM_DIR = base.PROGRAM_DIR
ARTEFACTS = base.ARTEFACTS
KAPITOLO = base.KAPITOLO
TOOL = os.path.join(PROGRAM_DIR, "kapitolo-tool")
TOPIC = os.path.join(base.THEMEN, "bluete-aufbau.tsr")
log = base.log
check = base.check


class Program(base.Program):
    """A program instance with its own home, sharing the class's exchange folder."""

    def __init__(self, display, home, kom, channel, argument, extra_settings=""):  # pylint: disable=super-init-not-called
        self.display = display
        self.state_file = os.path.join(home, "state.json")
        env = display.env()
        env["HOME"] = home
        env["XDG_CONFIG_HOME"] = os.path.join(home, "config")
        env["XDG_RUNTIME_DIR"] = os.path.join(home, "runtime")
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700, exist_ok=True)
        env["KAPITOLO_AUTOMATION"] = self.state_file
        self.protocols = os.path.join(home, "protokolle")
        os.makedirs(self.protocols)
        config = os.path.join(env["XDG_CONFIG_HOME"], "Ostrabel")
        os.makedirs(config, exist_ok=True)
        with open(os.path.join(config, "Kapitolo.conf"), "w", encoding="utf-8") as f:
            f.write("[General]\nOpt-UebNameEingabe=0\nOpt-Sound=0\n"
                    f"Opt-ProtOrdner={self.protocols}/\nNetzKomOrdner={kom}/\nNetzKomKanal={channel}\n"
                    + extra_settings)
        self.env = env
        self.proc = subprocess.Popen([KAPITOLO, argument], env=env, stdout=subprocess.PIPE,
                                     stderr=subprocess.STDOUT)

    def stop_and_log(self):
        """Ends the program and writes what it printed to the log."""
        self.stop()
        out = self.proc.stdout.read().decode(errors="replace")
        if out.strip():
            log(out)

    def press(self, key):
        """Sends a key to this program's main window."""
        self.wait_for(lambda s: s.get("menuItems") is not None, "the main window")
        ids = []
        deadline = time.monotonic() + 10
        while not ids and time.monotonic() < deadline:
            found = subprocess.run(["xdotool", "search", "--all", "--onlyvisible", "--pid", str(self.proc.pid), "--name", "Kapitolo"],
                                   env=self.env, capture_output=True, text=True)
            ids = found.stdout.split()
            if not ids:
                time.sleep(0.1)
        if not ids:
            raise RuntimeError("the main window was not found")
        self.xdo("windowraise", ids[0])
        self.xdo("windowfocus", "--sync", ids[0])
        self.xdo("key", key)


class Display(base.Display):
    """Xvfb on a display of its own range: the quiz test may be starting one at this moment."""

    def __init__(self):  # pylint: disable=super-init-not-called
        for number in range(140, 180):
            if os.path.exists(f"/tmp/.X11-unix/X{number}") or os.path.exists(f"/tmp/.X{number}-lock"):
                continue
            self.name = f":{number}"
            self.proc = subprocess.Popen(["Xvfb", self.name, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            deadline = time.monotonic() + 20
            while time.monotonic() < deadline and self.proc.poll() is None:
                if os.path.exists(f"/tmp/.X11-unix/X{number}"):
                    return
                time.sleep(0.05)
            self.proc.kill()  # lost the race for this number: take the next
            self.proc.wait()
        raise RuntimeError("Xvfb did not start")


def network(state):
    return state.get("network") or {}


def main():
    display = Display()
    root = tempfile.mkdtemp(prefix="kapitolo-net-e2e-")
    kom = os.path.join(root, "kom")
    os.makedirs(kom)
    # A channel of this run alone: parallel runs on the machine use other ports.
    channel = "E" + "".join(random.choice(string.ascii_uppercase + string.digits) for _ in range(7))
    teacher = pupil = None
    try:
        teacher = Program(display, os.path.join(root, "lehrer"), kom, channel, TOPIC)
        os.makedirs(os.path.join(root, "schueler"))
        teacher.press("F9")
        teacher.wait_for(lambda s: s.get("dialog") == "TUebOptForm", "the network options dialog")
        teacher.xdo("key", "Return")  # "Übung starten"
        s = teacher.wait_for(lambda s: network(s).get("role") == 2 and network(s).get("controlDisplayVisible"),
                             "the initiation and the control display")
        check(os.path.exists(os.path.join(kom, channel + "-tsrnetzuebung.okx")), "the exercise is open (marker)")
        options = json.loads(subprocess.run([TOOL, "options", os.path.join(kom, channel + "-tsrnetzuebung.dat")],
                                            capture_output=True, check=True).stdout)
        check(options["identification"] == "tsrnetzuebung.dat" and options["RiFaRueckmeldung"] == 0,
              f"the option file reads back: {options}")

        pupil = Program(display, os.path.join(root, "schueler"), kom, channel, base.THEMEN)
        pupil.press("F8")
        pupil.wait_for(lambda s: s.get("appMode") == 3 and s.get("idle"), "the pupil's quiz")
        s = teacher.wait_for(lambda s: network(s).get("joined") == 1, "the pupil's row")
        log("teacher after TN-INIT:", json.dumps(network(s)["rows"], ensure_ascii=False))
        finished = base.play_drag_quiz(pupil, wrong_once=True)
        log("pupil finished:", json.dumps(finished["finished"], ensure_ascii=False))
        s = teacher.wait_for(lambda s: network(s).get("finished") == 1, "the finished row")
        teacher.screenshot("netz-kontrollanzeige.png")
        row = network(s)["rows"][0]
        log("control display row:", json.dumps(row, ensure_ascii=False))
        correct = finished["finished"]["correct"].split("  von  ")
        check(row["Status"] == "beendet", "the row says finished")
        check(row["Richtig"] == correct[0] and row["Fragen"] == correct[1],
              f"correct answers as on the pupil's screen ({finished['finished']['correct']})")
        check(row["Fehlversuche"] == "1" and row["Offen"] == "0", "one failed attempt, nothing open")
        check(row["Gesamtleistung"] == finished["finished"]["totalPerformance"],
              "the total performance as the pupil saw it")
        check(network(s)["discarded"] == 0, "no report was discarded")
        items = network(s)["items"]
        log("items tab:", json.dumps(items, ensure_ascii=False))
        check(len(items) == int(correct[1]), "every place answered is a row of the items tab")
        check(sum(int(i["Fehlversuche"]) for i in items) == 1 and items[0]["Fehlversuche"] == "1"
              and items[0]["Quote beim ersten Versuch (%)"] == "0,0",
              "the place of the wrong drop comes first, at 0 % at the first try")
        check(all(i["Gelöst"] == "1" for i in items), "every place solved once")

        pupil.xdo("key", "Escape")
        pupil.wait_for(lambda s: s.get("appMode") == 2 and not s.get("finished"), "the pupil's start page")
        best = os.path.join(kom, channel + "-tsrnetzuebung.hsc")
        deadline = time.monotonic() + 10
        while not os.path.exists(best) and time.monotonic() < deadline:
            time.sleep(0.05)
        text = subprocess.run([TOOL, "bestlist", best], capture_output=True, check=True).stdout.decode("cp1252")
        rows = [r for r in text.split("\r\n") if r]
        log("network best list:", rows)
        check(len(rows) == 2, "the network best list holds one entry")
        check(rows[1].split("\t")[3] == finished["finished"]["totalPerformance"],
              "with the pupil's total performance")
        return 0
    except Exception as error:  # report, then fail
        log(f"FAILED: {error}")
        if teacher:
            teacher.screenshot("netz-fehler.png")
        return 1
    finally:
        for program in (pupil, teacher):
            if program:
                program.stop_and_log()
        display.stop()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())

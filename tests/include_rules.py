#!/usr/bin/env python3
"""Checks that every #include in src/ points the way the layers allow; prints each one that does not.

  ports (platform/*.h)       the standard library and each other
  adapters (platform/system) the ports, each other and their libraries
  state/                     those two
  ui/ control/ pairing/ android/
                             those, state/ and each other one way only (no loop); never app/
  app/                       the whole core
  the Qt shell (platform/qt) and the command line (cli/): the core, never each other
Only the Qt shell includes Qt and only the command line terminal code; app/tavix_menu.h is for app/ and the two
front ends' start-up code.
"""
import pathlib
import re
import sys

SUBSYSTEMS = {"ui", "control", "pairing", "android"}
CORE = {"ports", "system", "state", "app"} | SUBSYSTEMS
ALLOWED = {
    "ports": {"ports"},
    "system": {"ports", "system"},
    "state": {"ports", "system", "state"},
    "app": CORE,
    "qt": CORE | {"qt"},
    "cli": CORE | {"cli"},
}
for name in SUBSYSTEMS:
    ALLOWED[name] = {"ports", "system", "state"} | SUBSYSTEMS
MENU_HEADER_USERS = {"platform/qt/main.cpp", "cli/command_line.cpp"}
TERMINAL_HEADERS = {"termios.h", "sys/ioctl.h", "curses.h", "term.h"}


def layer(path: str) -> str:
    parts = path.split("/")
    if parts[0] == "platform":
        if len(parts) == 2:
            return "ports"
        return {"system": "system", "qt": "qt"}[parts[1]]
    return parts[0]


def check(src: pathlib.Path) -> list:
    faults = []
    arrows = set()
    for file in sorted(src.rglob("*")):
        if file.suffix not in {".h", ".cpp"}:
            continue
        name = file.relative_to(src).as_posix()
        own = layer(name)
        for number, line in enumerate(file.read_text(encoding="utf-8").splitlines(), 1):
            found = re.match(r'\s*#\s*include\s*([<"])([^>"]+)[>"]', line)
            if not found:
                continue
            where = f"{name}:{number}: {found.group(2)}"
            if found.group(1) == "<":
                header = found.group(2)
                if re.match(r"Q[A-Za-z]*($|/)|Qt[A-Za-z]*/", header) and own != "qt":
                    faults.append(f"{where}: Qt outside the Qt shell")
                if header in TERMINAL_HEADERS and own != "cli":
                    faults.append(f"{where}: terminal code outside the command line")
                if own == "ports" and ("." in header or "/" in header):
                    faults.append(f"{where}: a port includes more than the standard library")
                continue
            target = found.group(2)
            if not (src / target).exists():
                faults.append(f"{where}: no such file in src/")
                continue
            theirs = layer(target)
            if theirs not in ALLOWED[own]:
                faults.append(f"{where}: {own} may not include {theirs}")
            if target == "app/tavix_menu.h" and own != "app" and name not in MENU_HEADER_USERS:
                faults.append(f"{where}: only app/ and the front ends' start-up code include the application")
            if own in SUBSYSTEMS and theirs in SUBSYSTEMS and own != theirs:
                arrows.add((own, theirs))
    # The subsystems may lean on each other, but never in a circle.
    for start in SUBSYSTEMS:
        seen, todo = set(), [start]
        while todo:
            for source, target in arrows:
                if source == todo[-1] and target not in seen:
                    seen.add(target)
                    todo.append(target)
                    break
            else:
                todo.pop()
        if start in seen:
            faults.append(f"{start}/ reaches itself through {sorted(t for s, t in arrows if s == start)}")
    return faults


if __name__ == "__main__":
    faults = check(pathlib.Path(sys.argv[1]))
    for fault in faults:
        print(fault)
    sys.exit(1 if faults else 0)

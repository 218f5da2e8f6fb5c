#!/usr/bin/python3
"""Makes a section-1 manual page from a program's own --help, so the page never drifts from it.

The help text is kept as the program prints it (no filling, so usage lines stay whole); its
unindented heading lines ("用法 (usage):") become subsections.

usage: make_manpage.py PROGRAM NAME SUMMARY VERSION OUTPUT
"""
import os
import re
import subprocess
import sys
import time


def roff(text):
    text = text.replace("\\", "\\e").replace("-", "\\-")
    if text.startswith((".", "'")):
        text = "\\&" + text
    return text


def main(program, name, summary, version, output):
    env = dict(os.environ, LC_ALL="C.UTF-8", QT_QPA_PLATFORM="offscreen")
    result = subprocess.run([program, "--help"], env=env, capture_output=True, timeout=60)
    if result.returncode != 0 or not result.stdout:
        sys.exit(f"{program} --help failed ({result.returncode})")
    help_text = result.stdout.decode("utf-8")
    # SOURCE_DATE_EPOCH, when set, makes the date reproducible.
    when = time.gmtime(int(os.environ.get("SOURCE_DATE_EPOCH", time.time())))
    page = [f'.TH {name.upper()} 1 "{time.strftime("%B %Y", when)}" "smsclient {version}" '
            '"User Commands"',
            ".SH NAME", f"{roff(name)} \\- {roff(summary)}",
            ".SH DESCRIPTION", ".nf"]
    for line in help_text.splitlines():
        if re.match(r"^[^ ].*[:：]$", line) and not line.startswith(name + " "):
            page += [".fi", f'.SS "{roff(line)}"', ".nf"]
        else:
            page.append(roff(line))
    page.append(".fi")
    with open(output, "w", encoding="utf-8") as out:
        out.write("\n".join(page) + "\n")


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    main(*sys.argv[1:])

#!/usr/bin/env python3
"""The client's translation file, client/app/translations/brevanta_en.ts.

The interface texts are the Chinese string literals of client/ (the model's
u"..." texts too, which lupdate does not read). This script plays lupdate's
part for them:

  scripts/i18n.py update            adds new texts (unfinished), drops vanished ones
  scripts/i18n.py merge FILE.tsv    takes translations from "source<TAB>English" lines
  scripts/i18n.py check             fails when a text has no finished translation
                                    or a translation loses a %1..%9 of its source

A literal on a line holding "i18n-skip" is not an interface text (a file
name, a word compared or stored) and stays out.
"""
import re
import sys
import xml.etree.ElementTree as ET
from pathlib import Path

TOP = Path(__file__).resolve().parent.parent
TS = TOP / "client/app/translations/brevanta_en.ts"
CONTEXT = "brevanta"
# Drawn in both languages by the picture generator itself.
EXCLUDE = [TOP / "client/app/pictures"]
CJK = re.compile(r"[\u3000-\u303f\u4e00-\u9fff\uff00-\uffef]")
ESCAPES = {"n": "\n", "t": "\t", "r": "\r", "\\": "\\", '"': '"', "'": "'", "0": "\0"}


def literals(text):
    """(line, value) of each string literal outside comments; adjacent ones joined."""
    out = []
    i, n, line = 0, len(text), 1
    last_end = None  # index just after the previous literal
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
            i += 1
        elif text.startswith("//", i):
            j = text.find("\n", i)
            i = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            line += text.count("\n", i, j)
            i = j
        elif c == "'":
            j = i + 1
            while j < n and text[j] != "'":
                j += 2 if text[j] == "\\" else 1
            i = j + 1
        elif c == '"':
            start_line = line
            j = i + 1
            value = []
            while j < n and text[j] != '"':
                if text[j] == "\\" and j + 1 < n:
                    value.append(ESCAPES.get(text[j + 1], text[j + 1]))
                    j += 2
                else:
                    value.append(text[j])
                    j += 1
            s = "".join(value)
            between = text[last_end:i] if last_end is not None else None
            if between is not None and re.fullmatch(r"\s*(u8|u|L|U)?", between) and out:
                out[-1] = (out[-1][0], out[-1][1] + s)
            else:
                out.append((start_line, s))
            i = j + 1
            last_end = i
        else:
            i += 1
    return out


def sources():
    found = {}
    for path in sorted((TOP / "client").rglob("*")):
        if path.suffix not in (".cpp", ".h") or any(e in path.parents for e in EXCLUDE):
            continue
        text = path.read_text(encoding="utf-8")
        lines = text.split("\n")
        for line, s in literals(text):
            if not CJK.search(s) or "i18n-skip" in lines[line - 1]:
                continue
            found.setdefault(s, f"{path.relative_to(TOP)}:{line}")
    return found


def load():
    if not TS.exists():
        return {}
    root = ET.parse(TS).getroot()
    out = {}
    for m in root.iter("message"):
        src = m.findtext("source") or ""
        t = m.find("translation")
        done = t is not None and t.get("type") not in ("unfinished", "vanished") and (t.text or "")
        out[src] = (t.text or "") if t is not None else "", bool(done)
    return out


def save(entries):
    root = ET.Element("TS", version="2.1", language="en_US", sourcelanguage="zh_CN")
    ctx = ET.SubElement(root, "context")
    ET.SubElement(ctx, "name").text = CONTEXT
    for src in sorted(entries):
        text, done = entries[src]
        m = ET.SubElement(ctx, "message")
        ET.SubElement(m, "source").text = src
        t = ET.SubElement(m, "translation")
        t.text = text
        if not done:
            t.set("type", "unfinished")
    ET.indent(root)
    TS.parent.mkdir(parents=True, exist_ok=True)
    body = ET.tostring(root, encoding="unicode")
    TS.write_text('<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n' + body + "\n",
                  encoding="utf-8")


def placeholders(s):
    return sorted(set(re.findall(r"%[1-9]", s)))


def main(argv):
    if len(argv) < 2 or argv[1] not in ("update", "merge", "check"):
        print(__doc__)
        return 2
    have = load()
    if argv[1] == "update":
        found = sources()
        entries = {s: have.get(s, ("", False)) for s in found}
        save(entries)
        missing = [s for s in entries if not entries[s][1]]
        print(f"{len(entries)} texts, {len(missing)} without translation, "
              f"{len(set(have) - set(found))} dropped")
        return 0
    if argv[1] == "merge":
        entries = dict(have)
        taken = 0
        for f in argv[2:]:
            for raw in Path(f).read_text(encoding="utf-8").splitlines():
                if "\t" not in raw:
                    continue
                src, text = raw.split("\t", 1)
                src = src.replace("\\n", "\n").replace("\\t", "\t")
                text = text.replace("\\n", "\n").replace("\\t", "\t")
                if src in entries and text:
                    entries[src] = (text, True)
                    taken += 1
        save(entries)
        print(f"{taken} translations taken")
        return 0
    found = sources()
    bad = []
    for s, where in sorted(found.items(), key=lambda kv: kv[1]):
        text, done = have.get(s, ("", False))
        if not done:
            bad.append(f"{where}: no translation: {s!r}")
        elif placeholders(s) != placeholders(text):
            bad.append(f"{where}: placeholders differ: {s!r} -> {text!r}")
        elif CJK.search(text):
            bad.append(f"{where}: translation holds Chinese: {text!r}")
    for line in bad:
        print(line)
    print(f"i18n check: {len(found)} texts, {len(bad)} problems")
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

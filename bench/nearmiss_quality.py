#!/usr/bin/env python3
"""Quality of the near-miss pass on a real machine list.

    nearmiss_quality.py --cli PATH [--per-kind N] [--seed S] [--out DIR] [--keep]

Reads the names and titles that `mame -listfull` prints (Debian's `mame` package; the list is made
here, never stored), and for each of the two lists builds a Zelvora directory: every entry listed,
about half of the others present under their own names, the rest missing. On up to N missing
entries per kind it plants a file damaged in that way, and on N more a hard negative: the entry
missing while a different real variant of it (unlisted) lies on disk. Then it runs
`zelvora-auditor-cli roms -m -f json` and prints, per kind, how many pairs were planted, found right
and proposed wrongly, with precision over every proposed pair and recall over every planted one.
"""

import argparse
import json
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import unicodedata

LIST_NAME = "- Supported Games Lookup For Naming.txt"
KINDS = ["case-and-separators", "forbidden-characters", "accents", "roman-numerals", "article",
         "download-copy", "double-extension", "dotted-name", "other-format", "typo"]
ROMAN = {2: "II", 3: "III", 4: "IV", 5: "V", 6: "VI", 7: "VII", 8: "VIII", 9: "IX", 10: "X",
         11: "XI", 12: "XII", 13: "XIII", 14: "XIV", 15: "XV", 16: "XVI", 17: "XVII", 18: "XVIII",
         19: "XIX", 20: "XX"}
ARABIC = {v: k for k, v in ROMAN.items() if len(v) >= 2}
FORBIDDEN = set(":/?*\"<>|&\\`'")


def listfull():
    mame = shutil.which("mame") or "/usr/games/mame"
    out = subprocess.run([mame, "-listfull"], check=True, capture_output=True, text=True).stdout
    entries = []
    for line in out.splitlines()[1:]:
        m = re.match(r'^(\S+)\s+"(.*)"\s*$', line)
        if m:
            entries.append((m.group(1), m.group(2)))
    return entries


def stem(entry):
    dot = entry.rfind(".")
    return entry if dot <= 0 else entry[:dot]


def expected_name(entry):
    return stem(entry.rsplit("/", 1)[-1]) + ".zip"


def tag_start(title):
    i = title.find(" (")
    return len(title) if i < 0 else i


def dmg_case(entry, rng):
    head = entry[:tag_start(entry)]
    if " " not in head:
        return None
    sep = rng.choice(["_", ".", "", "-"])
    new = head.replace(" ", sep)
    new = new.lower() if rng.random() < 0.5 else new.upper()
    return new + entry[len(head):]


def dmg_forbidden(entry, rng):
    if not any(c in FORBIDDEN for c in entry):
        return None
    repl = rng.choice([" - ", "_", "-", ";", ""])
    return re.sub(r"\s*[:?*\"<>|&\\`']+\s*", lambda m: repl if m.group(0).strip() != "'" else "", entry)


ASCII_OF = {"ß": "ss", "æ": "ae", "Æ": "AE", "ø": "o", "Ø": "O", "ł": "l", "Ł": "L", "œ": "oe"}
ACCENT_OF = {"e": "é", "a": "á", "o": "ö", "u": "ü", "i": "í", "n": "ñ"}


def dmg_accents(entry, rng):
    if any(ord(c) > 127 for c in entry):
        out = "".join(ASCII_OF.get(c, c) for c in entry)
        out = "".join(c for c in unicodedata.normalize("NFD", out) if unicodedata.category(c) != "Mn")
        return out if all(ord(c) < 128 for c in out) else None
    head = entry[:tag_start(entry)]
    spots = [i for i, c in enumerate(head) if c in ACCENT_OF]
    if not spots:
        return None
    i = rng.choice(spots)
    return entry[:i] + ACCENT_OF[entry[i]] + entry[i + 1:]


def dmg_roman(entry, rng):
    head = entry[:tag_start(entry)]
    words = head.split(" ")
    for i, w in enumerate(words):
        if w in ARABIC:
            words[i] = str(ARABIC[w])
            return " ".join(words) + entry[len(head):]
        if w.isdigit() and int(w) in ROMAN and len(ROMAN[int(w)]) >= 2:
            words[i] = ROMAN[int(w)]
            return " ".join(words) + entry[len(head):]
    return None


def dmg_article(entry, rng):
    m = re.match(r"^(The|A|An) (.+?)( \(.*)?$", entry)
    if not m:
        return None
    return f"{m.group(2)}, {m.group(1)}{m.group(3) or ''}"


def dmg_copy(entry, rng):
    return stem(entry) + rng.choice([" (1)", " (2)", " - Copy", " copy", "(3)"])


def dmg_typo(entry, rng):
    head = entry[:tag_start(entry)]
    words = head.split(" ")
    letters = sum(c.isalpha() for c in entry)
    if len([w for w in words if w]) < 2 or letters <= 8:
        return None
    spots = [i for i, w in enumerate(words) if len(w) >= 4 and w.isalpha() and w.isascii()
             and w.upper() not in ARABIC]
    if not spots:
        return None
    i = rng.choice(spots)
    w = words[i]
    p = rng.randrange(0, len(w) - 2)  # never the last letter
    edit = rng.choice(["drop", "double", "change", "swap"])
    if edit == "drop":
        w = w[:p] + w[p + 1:]
    elif edit == "double":
        w = w[:p] + w[p] + w[p:]
    elif edit == "change":
        w = w[:p] + rng.choice([c for c in "aeioustnrl" if c != w[p].lower()]) + w[p + 1:]
    else:
        if w[p] == w[p + 1]:
            return None
        w = w[:p] + w[p + 1] + w[p] + w[p + 2:]
    words[i] = w
    return " ".join(words) + entry[len(head):]


def plant(kind, entry, rng):
    """The damaged file name planted for a missing entry, or None when the kind does not apply."""
    if kind == "double-extension":
        return expected_name(entry) + ".zip"
    if kind == "other-format":
        return stem(entry) + rng.choice([".7z", ".rar"])
    if kind == "dotted-name":
        return entry + ".zip" if stem(entry) != entry else None
    if "." in entry[1:]:
        return None  # the extension rule already cut the entry: only dotted-name applies
    fn = {"case-and-separators": dmg_case, "forbidden-characters": dmg_forbidden,
          "accents": dmg_accents, "roman-numerals": dmg_roman, "article": dmg_article,
          "download-copy": dmg_copy, "typo": dmg_typo}[kind]
    damaged = fn(entry, rng)
    return None if damaged is None or damaged == entry else damaged + ".zip"


def variant_key(entry, titles, sequels=False):
    """Entries with the same key are variants of one game (or, with `sequels`, games of one series
    told apart by their number)."""
    if titles and sequels:
        return re.sub(r"\b([0-9]+|[IVX]{2,})\b", "#", entry[:tag_start(entry)]).lower()
    if titles:
        return entry[:tag_start(entry)].lower()
    return re.sub(r"[0-9]*[a-z]?$", "", entry.lower())[:5]


def valid_file_name(name):
    return "/" not in name and 0 < len(name.encode()) <= 250 and not name.startswith(".")


def run(cli, entries, titles, per_kind, rng, workdir):
    listed = [t if titles else n for n, t in entries]
    listed = list(dict.fromkeys(listed))
    rng.shuffle(listed)
    folded_expected = {expected_name(e).lower() for e in listed}
    tree = os.path.join(workdir, "titles" if titles else "names")
    os.makedirs(os.path.join(tree, "roms"))
    used = set()
    planted = {}  # expected name -> (kind, file)
    files = []
    for kind in KINDS:
        count = 0
        for e in listed:
            if count >= per_kind:
                break
            if e in used or "/" in e:
                continue
            f = plant(kind, e, rng)
            if f is None or not valid_file_name(f) or f.lower() in folded_expected:
                continue
            if expected_name(e) in planted or any(f == x for _, x in planted.values()):
                continue
            used.add(e)
            planted[expected_name(e)] = (kind, f)
            files.append(f)
            count += 1
    # Hard negatives: a missing entry, and an unlisted real variant of it on disk, its name often
    # damaged as well; for titles also the other numbers of a series ("II" and "III").
    negatives = 0
    unlisted = set()
    for sequels in ((False, True) if titles else (False,)):
        groups = {}
        for e in listed:
            if e not in used and "/" not in e:
                groups.setdefault(variant_key(e, titles, sequels), []).append(e)
        count = 0
        for key, members in groups.items():
            if count >= per_kind:
                break
            members = [m for m in members if m not in used]
            if len(members) < 2 or (sequels and variant_key(members[0], True) == variant_key(members[1], True)):
                continue
            missing, variant = members[0], members[1]
            if not valid_file_name(expected_name(variant)) or stem(variant) != variant:
                continue
            damaged = (dmg_case(variant, rng) if rng.random() < 0.5 else None) or variant
            if (damaged + ".zip").lower() in folded_expected - {expected_name(variant).lower()}:
                continue
            used.update((missing, variant))
            unlisted.add(variant)
            files.append(damaged + ".zip")
            count += 1
        negatives += count
    # Every other entry: half present under its own name, half missing.
    for e in listed:
        if e not in used and rng.random() < 0.5 and valid_file_name(expected_name(e)):
            files.append(expected_name(e))
            used.add(e)
    roms = os.path.join(tree, "roms")
    for f in files:
        open(os.path.join(roms, f), "wb").close()
    with open(os.path.join(tree, LIST_NAME), "wb") as out:
        out.write("".join(e + "\r\n" for e in listed if e not in unlisted).encode())

    proc = subprocess.run([cli, "roms", "-m", "-q", "-f", "json", "-d", tree], capture_output=True)
    if proc.returncode != 0:
        sys.exit(f"nearmiss_quality.py: the audit failed: {proc.stderr.decode(errors='replace')}")
    result = json.loads(proc.stdout)
    right = {k: 0 for k in KINDS}
    planted_per_kind = {k: 0 for k in KINDS}
    for kind, _ in planted.values():
        planted_per_kind[kind] += 1
    wrong = []
    for pair in result["nearMisses"]:
        want = planted.get(pair["expected"])
        if want and want[1] == pair["found"]:
            right[want[0]] += 1
        else:
            wrong.append(pair)
    proposed = len(result["nearMisses"])
    print(f"\n{'titles' if titles else 'names'}: {len(listed)} entries, {len(planted)} planted, "
          f"{negatives} hard negatives, {len(result['ambiguous'])} ambiguous")
    print(f"{'kind':<22} {'planted':>8} {'right':>6} {'recall':>7}")
    for kind in KINDS:
        n = planted_per_kind[kind]
        print(f"{kind:<22} {n:>8} {right[kind]:>6} {(right[kind] / n if n else float('nan')):>7.3f}")
    total_right = sum(right.values())
    precision = total_right / proposed if proposed else 1.0
    recall = total_right / len(planted) if planted else float("nan")
    print(f"{'all':<22} {len(planted):>8} {total_right:>6} {recall:>7.3f}   proposed {proposed}, "
          f"wrong {len(wrong)}, precision {precision:.4f}")
    for pair in wrong[:10]:
        print(f"  wrong: {pair['expected']!r} <- {pair['found']!r} ({pair['reason']})")
    return precision, recall


def main():
    parser = argparse.ArgumentParser(description="Quality of the near-miss pass on mame -listfull.")
    parser.add_argument("--cli", required=True, help="the zelvora-auditor-cli to run")
    parser.add_argument("--per-kind", type=int, default=300, help="planted files per kind (default 300)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--out", help="where to build the trees (default: a temporary folder)")
    parser.add_argument("--keep", action="store_true", help="keep the trees")
    args = parser.parse_args()
    entries = listfull()
    workdir = args.out or tempfile.mkdtemp(prefix="nearmiss-quality-")
    os.makedirs(workdir, exist_ok=True)
    try:
        verdicts = []
        for titles in (False, True):
            precision, recall = run(args.cli, entries, titles, args.per_kind, random.Random(args.seed), workdir)
            verdicts.append(precision >= 0.99 and recall >= 0.95)
        print("\nverdict:", "PASS" if all(verdicts) else "FAIL", "(goal: precision >= 0.99, recall >= 0.95)")
    finally:
        if not args.keep:
            shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    main()

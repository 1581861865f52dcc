#!/usr/bin/env python3
"""Quality of the near-miss pass on a real machine list.

    nearmiss_quality.py --cli PATH [--per-kind N] [--seed S] [--out DIR] [--keep] [--set-name-typos]

Reads the names and titles that `mame -listfull` prints (Debian's `mame` package; the list is made
here, never stored), and for each of the two lists builds a Zelvora directory: every entry listed,
about half of the others present under their own names, the rest missing. On up to N missing
entries per kind it plants a file damaged in that way, and on N more a hard negative: the entry
missing while a different real variant of it (unlisted) lies on disk. Then it runs
`zelvora-auditor-cli roms -m -f json` and prints, per kind, how many pairs were planted, found right
and proposed wrongly, with precision over every proposed pair and recall over every planted one, and
the planted typos' recall by edit, by place and at a word's end. Typos go in titles only, unless
--set-name-typos plants them in set names too.
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


QWERTY = ["qwertyuiop", "asdfghjkl", "zxcvbnm"]


def neighbour_keys(c):
    """The letters next to `c` on a QWERTY keyboard, in its row and the rows above and below."""
    for r, row in enumerate(QWERTY):
        if c in row:
            i = row.index(c)
            near = [row[j] for j in (i - 1, i + 1) if 0 <= j < len(row)]
            for other in (r - 1, r + 1):
                if 0 <= other < len(QWERTY):
                    near += [QWERTY[other][j] for j in (i - 1, i, i + 1) if 0 <= j < len(QWERTY[other])]
            return near
    return []


TYPO_EDITS = ["drop", "double", "swap", "neighbour-key"]
TYPO_PLACES = ["title word", "tag word", "one-word title"]


def dmg_typo(entry, rng, detail):
    """A typo as people make them: a letter dropped, doubled, swapped with its neighbour or changed to
    a neighbouring key, anywhere in a word of four letters or more that is not all capitals (tags
    included). `detail` gets its edit, place and whether it touched the last letter."""
    spots = []
    head_end = tag_start(entry)
    plain_words = len(re.findall(r"[A-Za-z0-9]+", entry[:head_end]))
    for m in re.finditer(r"[A-Za-z0-9]+", entry):
        w = m.group(0)
        if len(w) >= 4 and w.isalpha() and w.isascii() and w.upper() != w and w.upper() not in ARABIC:
            spots.append(m)
    if not spots:
        return None
    m = rng.choice(spots)
    w = m.group(0)
    edit = rng.choice(TYPO_EDITS)
    if edit == "swap":
        p = rng.randrange(0, len(w) - 1)
        if w[p].lower() == w[p + 1].lower():
            return None
        new = w[:p] + w[p + 1] + w[p] + w[p + 2:]
        last = p + 2 == len(w)
    else:
        p = rng.randrange(0, len(w))
        last = p == len(w) - 1
        if edit == "drop":
            new = w[:p] + w[p + 1:]
        elif edit == "double":
            new = w[:p] + w[p] + w[p:]
        else:
            near = neighbour_keys(w[p].lower())
            c = rng.choice(near)
            new = w[:p] + (c.upper() if w[p].isupper() else c) + w[p + 1:]
    if m.start() >= head_end:
        place = "tag word"
    else:
        place = "one-word title" if plain_words == 1 else "title word"
    detail.update(edit=edit, place=place, last=last)
    return entry[:m.start()] + new + entry[m.end():]


def plant(kind, entry, rng, detail, titles, set_name_typos):
    """The damaged file name planted for a missing entry, or None when the kind does not apply."""
    if kind == "typo" and not titles and not set_name_typos:
        return None  # a set name is a code, not words to misspell
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
          "download-copy": dmg_copy, "typo": lambda e, r: dmg_typo(e, r, detail)}[kind]
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


def run(cli, entries, titles, per_kind, rng, workdir, set_name_typos=False):
    listed = [t if titles else n for n, t in entries]
    listed = list(dict.fromkeys(listed))
    rng.shuffle(listed)
    folded_expected = {expected_name(e).lower() for e in listed}
    tree = os.path.join(workdir, "titles" if titles else "names")
    os.makedirs(os.path.join(tree, "roms"))
    used = set()
    planted = {}  # expected name -> (kind, file)
    typo_detail = {}  # expected name -> the typo's edit, place and end
    files = []
    for kind in KINDS:
        count = 0
        for e in listed:
            if count >= per_kind:
                break
            if e in used or "/" in e:
                continue
            detail = {}
            f = plant(kind, e, rng, detail, titles, set_name_typos)
            if f is None or not valid_file_name(f) or f.lower() in folded_expected:
                continue
            if expected_name(e) in planted or any(f == x for _, x in planted.values()):
                continue
            used.add(e)
            planted[expected_name(e)] = (kind, f)
            if detail:
                typo_detail[expected_name(e)] = detail
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
    found_right = set()
    for pair in result["nearMisses"]:
        want = planted.get(pair["expected"])
        if want and want[1] == pair["found"]:
            right[want[0]] += 1
            found_right.add(pair["expected"])
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
    typo_recall = report_typos(typo_detail, found_right, planted)
    return precision, recall, typo_recall


def report_typos(typo_detail, found_right, planted):
    """Recall of the planted typos by edit, by place and at a word's end; the typo recall."""
    if not typo_detail:
        return float("nan")
    print(f"typos by kind{'':<9} {'planted':>8} {'right':>6} {'recall':>7}")
    groups = [(f"  {edit}", lambda d, edit=edit: d["edit"] == edit) for edit in TYPO_EDITS]
    groups += [(f"  in a {place}", lambda d, place=place: d["place"] == place) for place in TYPO_PLACES]
    groups += [("  at a word's end", lambda d: d["last"]), ("  before a word's end", lambda d: not d["last"])]
    for label, chosen in groups:
        names = [e for e, d in typo_detail.items() if chosen(d)]
        n, r = len(names), sum(e in found_right for e in names)
        print(f"{label:<22} {n:>8} {r:>6} {(r / n if n else float('nan')):>7.3f}")
    missed = [planted[e][1] for e in typo_detail if e not in found_right]
    for f in missed[:8]:
        print(f"  missed: {f!r}")
    return sum(e in found_right for e in typo_detail) / len(typo_detail)


def main():
    parser = argparse.ArgumentParser(description="Quality of the near-miss pass on mame -listfull.")
    parser.add_argument("--cli", required=True, help="the zelvora-auditor-cli to run")
    parser.add_argument("--per-kind", type=int, default=300, help="planted files per kind (default 300)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--out", help="where to build the trees (default: a temporary folder)")
    parser.add_argument("--keep", action="store_true", help="keep the trees")
    parser.add_argument("--set-name-typos", action="store_true",
                        help="plant typos in set names too (not part of the goal: set names are codes)")
    args = parser.parse_args()
    entries = listfull()
    workdir = args.out or tempfile.mkdtemp(prefix="nearmiss-quality-")
    os.makedirs(workdir, exist_ok=True)
    try:
        verdicts = []
        for titles in (False, True):
            precision, recall, typos = run(args.cli, entries, titles, args.per_kind, random.Random(args.seed),
                                           workdir, args.set_name_typos)
            verdicts.append(precision >= 0.99 and recall >= 0.95 and not typos < 0.90)
        print("\nverdict:", "PASS" if all(verdicts) else "FAIL",
              "(goal: precision >= 0.99, recall >= 0.95, typo recall >= 0.90)")
    finally:
        if not args.keep:
            shutil.rmtree(workdir, ignore_errors=True)


if __name__ == "__main__":
    main()

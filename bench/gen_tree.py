#!/usr/bin/env python3
"""Generate a synthetic Zelvora directory for benchmarking the audits.

    gen_tree.py --games N --out DIR [--seed S] [--extra-unknown-files M] [--near-miss-load L]

Deterministic for a given (N, seed, M). The audits only look at names, except `--problems`, which
reads the first bytes of every valid archive: archives hold the 22 bytes of an empty zip archive (its
end-of-central-directory record), about 1% of them none and about 1% a 7z signature, so that check
sees what a real collection shows. Videos and the other files are empty. Writes
DIR/.bench-manifest.json last, holding the parameters and the counts a correct audit must report, so
a half-written tree is recognisable.
"""

import argparse
import json
import os
import random
import sys
import zlib

LIST_NAME = "- Supported Games Lookup For Naming.txt"
LIST_LIMIT = 2_097_152
MANIFEST_NAME = ".bench-manifest.json"
# Bumped when the files' contents change, so that run.sh regenerates an older tree.
CONTENT_VERSION = 1

EMPTY_ZIP = b"PK\x05\x06" + bytes(18)
SEVEN_ZIP = b"7z\xbc\xaf\x27\x1c" + bytes(26)

ROM_DIRS = [("roms", 0.55), ("roms16BitConsoles", 0.25), ("romsConsoles", 0.20)]
VIDEO_DIRS = [("videos", 0.40), ("videos2", 0.20), ("videos3", 0.15), ("videos4", 0.15),
              ("videosextra", 0.10)]

# Short words keep the list under the size limit at 120,000 games (about 15 bytes a line).
WORDS = """
ace air alien alpha arc armor astro atom axe bad bank bash beam bee big bio blade blast blaze
block bolt bomb boss box brave brick bug bull buster cab cat cave chase chess city claw cobra
combo comet crash crazy cross crush cyber dark dash dead demon dig dino disc dodge dog dojo
dragon drift drive duck dune dusk eagle echo edge elf ember fang fire flash flip fly force fox
frog fury galaxy gang gear ghost giant glide gold golf grand grid guard gun hawk hero hex hit
hook hyper ice iron jade jet jump jungle karate kick king kart knight lady laser lava legend
light lion lord lunar mach magic mania mask maze mech mega metal moon mouse neo net ninja nova
omega orbit panic pearl pilot pinball pirate pixel planet pod power prime pulse punch puzzle
quest race raid rally ranger rapid raven rebel red rex riot road robo rock rocket rogue royal
rush saber saga samurai scout sea shadow shark shock sky slam snake solar sonic space spark
speed spider spin star steel storm street strike sun super swift sword tank tempo thunder
tiger titan top tower track turbo twin ultra vector venom viper volt war wave wild wing wizard
wolf xeno zero zone
""".split()

# A few words that are not ASCII, so the case-insensitive ordering has more than ASCII to fold.
WORDS_NON_ASCII = ["Élan", "élite", "Über", "Señor", "Café", "Ørsted", "Ångström", "Niño", "Façade",
                   "Öko", "Ça", "Dæmon"]

SUFFIXES = ["2", "3", "4", "64", "II", "III", "3D", "DX", "EX", "Plus", "Jr", "X", "Pro", "'98", "2000"]


def strip_extension(name):
    """The name without its extension: the text after the last dot, unless that dot is the first
    character (the audits' own rule, so ver1.1 loses its ".1")."""
    dot = name.rfind(".")
    return name if dot <= 0 else name[:dot]


def styled(word, rng):
    r = rng.random()
    if r < 0.75:
        return word[:1].upper() + word[1:]
    if r < 0.90:
        return word.lower()
    return word.upper()


def candidate_name(rng):
    w1 = styled(rng.choice(WORDS), rng)
    w2 = styled(rng.choice(WORDS), rng)
    r = rng.random()
    if r < 0.40:
        return f"{w1} {w2}"
    if r < 0.62:
        return f"{w1} {w2} {rng.choice(SUFFIXES)}"
    if r < 0.72:
        return f"{w1}{w2.lower()}"
    if r < 0.80:
        return f"{w1} {rng.randint(2, 99)}"
    if r < 0.86:
        return f"{w1} {w2} ver{rng.randint(1, 3)}.{rng.randint(0, 9)}"
    if r < 0.89:
        return f"{rng.choice(WORDS_NON_ASCII)} {w2}"
    return f"{w1} {w2} {styled(rng.choice(WORDS), rng)}"


def unique_names(count, rng, used):
    """`count` names whose case-folded forms, with and without extension, are all distinct, so
    every generated name matches exactly one game."""
    names = []
    while len(names) < count:
        name = candidate_name(rng)
        keys = {name.lower(), strip_extension(name).lower()}
        if keys & used:
            continue
        used |= keys
        names.append(name)
    return names


def archive_extension(rng, upper="ZIP"):
    r = rng.random()
    if r < 0.85:
        return "." + upper.lower()
    if r < 0.97:
        return "." + upper
    return "." + upper[0] + upper[1:].lower()


def case_variant(name, rng):
    """Mostly the name as listed; sometimes in another letter case, which must still match."""
    r = rng.random()
    if r < 0.93:
        return name
    if r < 0.97:
        return name.lower()
    return name.upper()


def pick_folder(folders, rng):
    r = rng.random()
    acc = 0.0
    for name, share in folders:
        acc += share
        if r < acc:
            return name
    return folders[-1][0]


GROUPS = ["Arcade", "Classics", "Collection", "Disc 1", "Disc 2", "Extras", "Imports", "Homebrew",
          "Set A", "Set B", "USA", "Europe", "Japan"]


def layout(files_by_folder, rng):
    """Spread each top folder's files over nested subfolders of a few hundred files each.
    Returns (relative directory, file name) pairs."""
    placed = []
    for top in sorted(files_by_folder):
        files = files_by_folder[top]
        rng.shuffle(files)
        start = 0
        chunk_no = 0
        while start < len(files):
            size = rng.randint(200, 400)
            chunk = files[start:start + size]
            start += size
            depth = rng.choice([1, 1, 2, 2, 2, 3]) if chunk_no else 0
            parts = [top]
            if depth >= 2:
                parts.append(rng.choice(GROUPS))
            if depth >= 1:
                parts.append(f"Pack {chunk_no:03d}")
            if depth >= 3:
                parts.append(f"Part {rng.randint(1, 9)}")
            directory = "/".join(parts)
            placed.extend((directory, name) for name in chunk)
            chunk_no += 1
    return placed


def archive_content(name):
    """What an archive holds, from its name (not from the generator's random stream, which decides
    the names): mostly an empty zip archive, about 1% nothing, about 1% a 7z archive's signature."""
    share = zlib.crc32(name.encode("utf-8")) % 100
    if share == 0:
        return b""
    if share == 1:
        return SEVEN_ZIP
    return EMPTY_ZIP


def is_archive(name):
    return name.lower().endswith(".zip")


def create_files(root, placed):
    """Create the files with directory handles: one open per folder, not one path walk per file."""
    by_dir = {}
    for directory, name in placed:
        by_dir.setdefault(directory, []).append(name)
    flags = os.O_WRONLY | os.O_CREAT | os.O_EXCL | getattr(os, "O_CLOEXEC", 0)
    for directory in sorted(by_dir):
        path = os.path.join(root, directory)
        os.makedirs(path, exist_ok=True)
        dfd = os.open(path, os.O_RDONLY | os.O_DIRECTORY)
        try:
            for name in by_dir[directory]:
                fd = os.open(name, flags, 0o644, dir_fd=dfd)
                try:
                    content = archive_content(name) if is_archive(name) and directory.startswith("roms") else b""
                    if content:
                        os.write(fd, content)
                finally:
                    os.close(fd)
        finally:
            os.close(dfd)


def generate(games, out, seed, extra_unknown, near_miss_load=0):
    rng = random.Random(seed)
    used = set()
    unknown_roms = max(1, games * 3 // 100) if games else 0
    unknown_videos = max(1, games * 3 // 100) if games else 0
    names = unique_names(games + unknown_roms + unknown_videos, rng, used)
    listed, unknown_rom_names, unknown_video_names = (
        names[:games], names[games:games + unknown_roms], names[games + unknown_roms:])

    lines = []
    roms = {name: [] for name, _ in ROM_DIRS}
    videos = {name: [] for name, _ in VIDEO_DIRS}
    expected = {"roms": {"valid": 0, "missing": 0, "unknown": 0},
                "videos": {"valid": 0, "missing": 0, "extra": 0, "unknown": 0}}
    # What `roms --problems` finds in the valid archives.
    expected_problems = {"empty-file": 0, "not-a-zip": 0}

    for name in listed:
        line = name + ".zip" if rng.random() < 0.4 else name
        lines.append(line)
        base = strip_extension(line)
        if rng.random() < 0.90:
            archive = case_variant(base, rng) + archive_extension(rng)
            roms[pick_folder(ROM_DIRS, rng)].append(archive)
            expected["roms"]["valid"] += 1
            content = archive_content(archive)
            if content == b"":
                expected_problems["empty-file"] += 1
            elif content == SEVEN_ZIP:
                expected_problems["not-a-zip"] += 1
        else:
            expected["roms"]["missing"] += 1
        if rng.random() < 0.80:
            videos[pick_folder(VIDEO_DIRS, rng)].append(case_variant(base, rng) + archive_extension(rng, "XMV"))
            expected["videos"]["valid"] += 1
        else:
            expected["videos"]["missing"] += 1

    for name in unknown_rom_names:
        roms[pick_folder(ROM_DIRS, rng)].append(name + archive_extension(rng))
    for name in unknown_video_names:
        videos[pick_folder(VIDEO_DIRS, rng)].append(name + archive_extension(rng, "XMV"))
    # Names that never occur in the list: listed names hold no parenthesis.
    for i in range(extra_unknown):
        w1, w2 = styled(rng.choice(WORDS), rng), styled(rng.choice(WORDS), rng)
        roms[pick_folder(ROM_DIRS, rng)].append(f"{w1} {w2} (Unl {i})" + archive_extension(rng))
    # The near-miss pass's load: L listed names without archive and L unknown archives, none of them
    # a true pair (the codes differ in their digits; listed names hold no " M"/" U" codes otherwise).
    missing_load = []
    for i in range(near_miss_load):
        w1, w2 = styled(rng.choice(WORDS), rng), styled(rng.choice(WORDS), rng)
        missing_load.append(f"{w1} {w2} M{i}")
        w1, w2 = styled(rng.choice(WORDS), rng), styled(rng.choice(WORDS), rng)
        roms[pick_folder(ROM_DIRS, rng)].append(f"{w1} {w2} U{i}" + archive_extension(rng))
    lines.extend(missing_load)
    expected["roms"]["missing"] += near_miss_load
    expected["videos"]["missing"] += near_miss_load
    expected["roms"]["unknown"] = unknown_roms + extra_unknown + near_miss_load
    expected["videos"]["unknown"] = unknown_videos

    rom_files = sum(len(v) for v in roms.values())
    video_files = sum(len(v) for v in videos.values())

    # Files the audits must skip: artwork and notes beside the archives and videos.
    others = 0
    for folders in (roms, videos):
        for top in folders:
            count = len(folders[top]) // 100 + 1
            for i in range(count):
                stem = strip_extension(folders[top][i % len(folders[top])]) if folders[top] else f"note {i}"
                folders[top].append(stem + (".png" if i % 2 else ".txt"))
            others += count

    text = "".join(line + "\r\n" for line in lines).encode("utf-8")
    if len(text) > LIST_LIMIT:
        sys.exit(f"gen_tree.py: the supported roms list would be {len(text)} bytes, over the "
                 f"{LIST_LIMIT}-byte limit the audits accept; use fewer games")

    os.makedirs(out, exist_ok=True)
    if os.listdir(out):
        sys.exit(f"gen_tree.py: {out} is not empty; refusing to mix two trees")

    placed = layout(roms, rng) + layout(videos, rng)
    # A folder named like an archive: not counted itself, but the archives inside it are.
    decoy = "roms/Decoy Folder.zip"
    moved = [(d, n) for d, n in placed if d == "roms"][:5]
    placed = [(decoy, n) if (d, n) in moved else (d, n) for d, n in placed]
    create_files(out, placed)

    with open(os.path.join(out, LIST_NAME), "wb") as f:
        f.write(text)

    manifest = {
        "games": games, "seed": seed, "extra_unknown_files": extra_unknown, "near_miss_load": near_miss_load,
        "list_bytes": len(text), "rom_files": rom_files, "video_files": video_files,
        "other_files": others, "folders": len({d for d, _ in placed}),
        "expected": expected, "expected_rom_problems": expected_problems,
        "content_version": CONTENT_VERSION,
    }
    tmp = os.path.join(out, MANIFEST_NAME + ".tmp")
    with open(tmp, "w", encoding="utf-8") as f:
        json.dump(manifest, f, indent=1, sort_keys=True)
        f.write("\n")
    os.replace(tmp, os.path.join(out, MANIFEST_NAME))
    return manifest


def main():
    parser = argparse.ArgumentParser(description="Generate a synthetic Zelvora directory.")
    parser.add_argument("--games", type=int, required=True, help="number of supported games")
    parser.add_argument("--out", required=True, help="directory to create (must be empty or absent)")
    parser.add_argument("--seed", type=int, default=1, help="random seed (default 1)")
    parser.add_argument("--extra-unknown-files", type=int, default=0, metavar="M",
                        help="add M more unknown archives below the rom folders")
    parser.add_argument("--near-miss-load", type=int, default=0, metavar="L",
                        help="add L listed names without archive and L unknown archives, no pair among them")
    args = parser.parse_args()
    if args.games < 0 or args.extra_unknown_files < 0 or args.near_miss_load < 0:
        parser.error("counts must not be negative")
    manifest = generate(args.games, args.out, args.seed, args.extra_unknown_files, args.near_miss_load)
    print(f"gen_tree.py: {args.out}: {manifest['games']} games, {manifest['rom_files']} archives, "
          f"{manifest['video_files']} videos, {manifest['other_files']} other files in "
          f"{manifest['folders']} folders; list {manifest['list_bytes']} bytes")


if __name__ == "__main__":
    main()

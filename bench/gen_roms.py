#!/usr/bin/env python3
"""Generate a Zelvora directory of rom-like zip archives for the deep verify's benchmark.

    gen_roms.py --games N --out DIR [--seed S] [--mean-kb K]

Each listed game gets one archive of 1 to 4 deflate entries (a few stored), about K KiB of data in
all (default 256; sizes spread from a few KiB to a few MiB, about one archive in 200 holds an entry of
8 to 24 MiB that the verify must stream). The data compresses about 3:1, like rom dumps. Deterministic
for a given (N, S, K). Writes DIR/.verify-manifest.json last.
"""

import argparse
import json
import os
import random
import sys
import zipfile

LIST_NAME = "- Supported Games Lookup For Naming.txt"
MANIFEST_NAME = ".verify-manifest.json"
FOLDERS = ["roms", "roms16BitConsoles", "romsConsoles"]


def rom_pool(rng, size):
    """Bytes of six values: about 2.6 bits each, so deflate makes about a third of them."""
    return rng.randbytes(size).translate(bytes(b % 6 for b in range(256)))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--games", type=int, required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--mean-kb", type=int, default=256)
    args = parser.parse_args()
    rng = random.Random(args.seed)
    pool = rom_pool(rng, 32 << 20)
    os.makedirs(args.out, exist_ok=True)
    names = []
    total = 0
    stored = 0
    for i in range(args.games):
        name = f"game{i:06d}"
        names.append(name)
        folder = os.path.join(args.out, FOLDERS[i % 3], f"set{i // 300:04d}")
        os.makedirs(folder, exist_ok=True)
        with zipfile.ZipFile(os.path.join(folder, name + ".zip"), "w") as archive:
            for e in range(rng.randint(1, 4)):
                size = int(rng.lognormvariate(0, 1.0) * args.mean_kb * 1024 / 4)
                if rng.random() < 0.005 and e == 0:
                    size = rng.randint(8 << 20, 24 << 20)
                size = max(64, min(size, 24 << 20))
                start = rng.randrange(0, len(pool) - size)
                data = name.encode() + pool[start:start + size]
                method = zipfile.ZIP_STORED if rng.random() < 0.05 else zipfile.ZIP_DEFLATED
                archive.writestr(f"{name}.{e}.bin", data, compress_type=method)
                total += len(data)
        stored += os.path.getsize(os.path.join(folder, name + ".zip"))
    with open(os.path.join(args.out, LIST_NAME), "w", newline="") as f:
        f.write("".join(n + "\r\n" for n in names))
    with open(os.path.join(args.out, MANIFEST_NAME), "w") as f:
        json.dump({"games": args.games, "seed": args.seed, "mean_kb": args.mean_kb,
                   "uncompressed_bytes": total, "archive_bytes": stored}, f)
    print(f"{args.games} archives, {total / 1e6:.1f} MB of data in {stored / 1e6:.1f} MB", file=sys.stderr)


if __name__ == "__main__":
    main()

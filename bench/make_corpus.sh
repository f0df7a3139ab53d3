#!/usr/bin/env bash
# Makes the compression benchmark's corpus: about 300 MB, 40 % text, 40 % binaries and 20 %
# random bytes, taken from what a Debian system already holds so that every machine of the
# same release gets the same corpus. Big files are included on purpose: the library must keep
# its memory bounded however large a single file is.
#   bench/make_corpus.sh DIR [TOTAL_MB]
set -euo pipefail
out=${1:?usage: make_corpus.sh DIR [TOTAL_MB]}
total_mb=${2:-300}
text_budget=$((total_mb * 1024 * 1024 * 40 / 100))
binary_budget=$((total_mb * 1024 * 1024 * 40 / 100))
random_budget=$((total_mb * 1024 * 1024 * 20 / 100))

rm -rf "$out"
mkdir -p "$out/text" "$out/binary" "$out/random"

# copy_until DEST BUDGET: copies the files named on standard input (sorted, so the choice is
# stable) into DEST, keeping their relative paths, until BUDGET bytes have been copied.
copy_until() {
  local dest=$1 budget=$2 used=0 file size
  while IFS= read -r file; do
    [ -f "$file" ] && [ -r "$file" ] || continue
    size=$(stat -L -c %s "$file")
    ((size > 0)) || continue
    ((used + size <= budget)) || continue
    mkdir -p "$dest/$(dirname "${file#/}")"
    cp -L "$file" "$dest/${file#/}"
    used=$((used + size))
    ((used < budget - 4096)) || { cat >/dev/null; break; }
  done
  echo "$used"
}

# Text: one large log-like file made of many headers (a single file of tens of MB), then
# headers, Python sources and manuals' plain text as they are.
big_text="$out/text/all-headers.txt"
mapfile -t headers < <(find /usr/include -type f -name '*.h' | LC_ALL=C sort)
cat "${headers[@]:0:3000}" > "$big_text"
big_size=$(stat -c %s "$big_text")
if ((big_size > text_budget / 4)); then
  truncate -s $((text_budget / 4)) "$big_text"
  big_size=$((text_budget / 4))
fi
{ find /usr/include -type f \( -name '*.h' -o -name '*.hpp' \); \
  find /usr/lib/python3* -type f -name '*.py'; \
  find /usr/share/doc -type f \( -name '*.txt' -o -name 'README*' -o -name 'NEWS' \); } \
  | LC_ALL=C sort -u | copy_until "$out/text" $((text_budget - big_size)) >/dev/null

# Binaries: shared libraries and programs, among them a few large ones.
{ find /usr/lib/x86_64-linux-gnu -maxdepth 1 -type f -name '*.so*' -size +2M; \
  find /usr/bin /usr/lib/x86_64-linux-gnu -maxdepth 1 -type f; } \
  | LC_ALL=C sort -u | copy_until "$out/binary" "$binary_budget" >/dev/null

# Random bytes from a fixed seed: one big file and several smaller ones.
python3 - "$out/random" "$random_budget" <<'PY'
import random, sys, os
folder, budget = sys.argv[1], int(sys.argv[2])
rng = random.Random(20240611)
sizes = [budget // 2] + [budget // 20] * 9
sizes.append(budget - sum(sizes))
for i, size in enumerate(sizes):
    with open(os.path.join(folder, f"random{i:02}.bin"), "wb") as f:
        left = size
        while left > 0:
            n = min(left, 1 << 20)
            f.write(rng.randbytes(n))
            left -= n
PY

du -sh "$out"/*

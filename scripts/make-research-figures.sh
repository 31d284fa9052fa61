#!/usr/bin/env bash
# The figures of docs/research.md, all from tesora-cli: PSNR over rate for five Deltas with
# both syntheses, BLaC's best Delta beside haar, cdf53 and cdf97 with Bjøntegaard deltas
# against cdf97, the regret of "Calc Delta" and the effect of mirrored padding, on the
# samples and on three generated pictures (a gradient, a texture, a page of text).
# Usage: scripts/make-research-figures.sh [--small] [--cli PATH] [--out DIR] [--jobs N]
#   default: the full run into docs/research/, its tables also into docs/research.md
#   --small: one small generated picture and few points (what CI runs), into DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$root/build/cli/tesora-cli
out=
small=0
jobs=2
while [[ $# -gt 0 ]]; do
  case $1 in
    --small) small=1 ;;
    --cli) cli=$2; shift ;;
    --out) out=$2; shift ;;
    --jobs) jobs=$2; shift ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
  shift
done
[[ -x $cli ]] || { echo "no tesora-cli at $cli (build it first)" >&2; exit 1; }
cli=$(cd "$(dirname "$cli")" && pwd)/$(basename "$cli")
# The interpreter with numpy and PIL from Debian's packages, whatever python3 is on PATH.
python=python3
[[ -x /usr/bin/python3 ]] && python=/usr/bin/python3
if ! "$python" -c 'import numpy, PIL' 2>/dev/null; then
  echo "needs numpy and PIL (python3-numpy, python3-pil)" >&2
  exit 77  # skipped, as the test suite counts it
fi
if [[ -z $out ]]; then
  [[ $small == 1 ]] && { echo "--small needs --out DIR" >&2; exit 2; }
  out=$root/docs/research
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [[ $small == 1 ]]; then
  steps=3; deltas=0,1; rates=0.5,1,2,4; syntheses=(exact); best_rate=1
else
  steps=5; deltas=0,0.25,0.5,0.75,1; rates=0.125,0.25,0.5,1,2; syntheses=(specified exact); best_rate=1
fi
rule=norm

# The generated pictures: seeded, so every run draws the same ones.
"$python" - "$work" "$small" <<'EOF'
import sys
import numpy as np
from PIL import Image, ImageDraw, ImageFont

folder, small = sys.argv[1], sys.argv[2] == "1"
rng = np.random.default_rng(31)

def save(name, values):
    Image.fromarray(np.clip(values, 0, 255).astype(np.uint8), "L").convert("RGB").save(f"{folder}/{name}.bmp")

if small:
    y, x = np.mgrid[0:48, 0:64]
    save("small", 2 * x + y + 20 * np.sin(x / 3.0) * np.cos(y / 5.0))
    sys.exit()
y, x = np.mgrid[0:512, 0:512].astype(float)
# A smooth diagonal ramp with a soft round light: what natural shading looks like.
save("gradient", 0.22 * (x + y) + 60 * np.exp(-((x - 330) ** 2 + (y - 180) ** 2) / 2e4) + 20)
# Woven stripes at three angles with fine noise: energy in every band.
texture = sum(np.sin((x * np.cos(a) + y * np.sin(a)) * f) for a, f in ((0.3, 0.21), (1.4, 0.13), (2.4, 0.37)))
save("texture", 128 + 30 * texture + rng.normal(0, 12, x.shape))
# A page of text: sharp edges on a flat ground.
page = Image.new("L", (512, 512), 245)
draw = ImageDraw.Draw(page)
font = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf", 15)
words = ("wavelet scaling function level band coefficient quantiser rate distortion picture "
         "smoothing detail synthesis analysis entropy threshold").split()
for line in range(27):
    text = " ".join(words[int(k)] for k in rng.integers(0, len(words), 9))
    draw.text((24, 16 + 18 * line), text, fill=20, font=font)
page.convert("RGB").save(f"{folder}/text.bmp")
EOF

# Run beside the pictures, so that the tables name them without a machine's folders.
cp "$root"/samples/*.bmp "$work"
cd "$work"
if [[ $small == 1 ]]; then
  pictures=(small.bmp)
else
  pictures=(camera-512.bmp brick-512.bmp chelsea-451x300.bmp gradient.bmp texture.bmp text.bmp)
fi
common=(--steps "$steps" --rule "$rule" --jobs "$jobs")

# 1. Every Delta at every rate, once per synthesis.
for synthesis in "${syntheses[@]}"; do
  "$cli" sweep "${pictures[@]}" "${common[@]}" --deltas "$deltas" --bpp "$rates" --synthesis "$synthesis" \
    --csv "$out/deltas-$synthesis.csv" 2>/dev/null
done
# 2. The best Delta at one rate with each synthesis, beside Delta 0 and the proposal.
for synthesis in "${syntheses[@]}"; do
  "$cli" best-delta "${pictures[@]}" --steps "$steps" --rule "$rule" --bpp "$best_rate" \
    --synthesis "$synthesis" --json >"$out/best-delta-$synthesis.json"
done
# 3. BLaC at its best Delta (exact synthesis) beside the standard bases; BD against cdf97.
"$python" - "$out/best-delta-exact.json" >"$work/best" <<'EOF'
import json, sys
for run in json.load(open(sys.argv[1]))["runs"]:
    print(f'{run["picture"]}\t{round(run["best_delta"], 3)}')
EOF
first=1
while IFS=$'\t' read -r picture delta; do
  "$cli" sweep "$picture" "${common[@]}" --bases blac,haar,cdf53,cdf97 --deltas "$delta" --bpp "$rates" \
    --synthesis exact --csv - 2>/dev/null | { if [[ $first == 1 ]]; then cat; else tail -n +2; fi; }
  first=0
done <"$work/best" >"$out/bases.csv"
"$cli" bd "$out/bases.csv" --by basis --reference cdf97 --json >"$out/bd-bases.json"
"$cli" bd "$out/deltas-exact.csv" --by delta --reference 0 --json >"$out/bd-deltas-exact.json"
# 4. Mirrored against zero padding on the samples (the pictures narrower than their square).
if [[ $small == 0 ]]; then
  for padding in zero mirror; do
    "$cli" sweep "${pictures[@]:0:3}" "${common[@]}" --deltas 0,0.5 --bpp 0.5,1 --synthesis exact \
      --padding "$padding" --csv - 2>/dev/null | { [[ $padding == zero ]] && cat || tail -n +2; }
  done >"$out/padding.csv"
fi

# 5. The plots, from tables relabelled so that each synthesis or basis is a curve of its own.
"$python" - "$out" "$work" <<'EOF'
import csv, glob, os, sys
out, work = sys.argv[1], sys.argv[2]

def rows(path):
    with open(path, newline="") as f:
        return list(csv.DictReader(f))

def write(path, table, fields):
    with open(path, "w", newline="") as f:
        w = csv.DictWriter(f, fields, extrasaction="ignore", lineterminator="\n")
        w.writeheader()
        w.writerows(table)

name = lambda r: os.path.splitext(os.path.basename(r["picture"]))[0]
deltas = [r for p in sorted(glob.glob(f"{out}/deltas-*.csv")) for r in rows(p)]
for picture in dict.fromkeys(name(r) for r in deltas):
    mine = [dict(r, picture=r["synthesis"]) for r in deltas if name(r) == picture]
    write(f"{work}/plot-deltas-{picture}.csv", mine, ["picture", "delta", "entropy_bpp", "psnr_exact"])
bases = rows(f"{out}/bases.csv")
for picture in dict.fromkeys(name(r) for r in bases):
    mine = [dict(r, picture=r["basis"] + (f" (Delta {r['delta']})" if r["basis"] == "blac" else ""))
            for r in bases if name(r) == picture]
    write(f"{work}/plot-bases-{picture}.csv", mine, ["picture", "entropy_bpp", "psnr_exact"])
EOF
for table in "$work"/plot-*.csv; do
  base=$(basename "$table" .csv)
  title=${base#plot-}
  "$cli" plot "$table" -o "$out/${base#plot-}.png" --plot-x entropy_bpp --plot-y psnr_exact --plot-log x \
    --size 720x480 --labels en --plot-title "${title#*-}: psnr_exact over entropy_bpp" 2>/dev/null
done

# 6. The tables: into the output folder, and for the full run into docs/research.md.
"$python" "$root/scripts/research_tables.py" "$out" >"$out/tables.md"
if [[ $small == 0 ]]; then
  "$python" - "$root/docs/research.md" "$out/tables.md" <<'EOF'
import sys
doc, tables = sys.argv[1], open(sys.argv[2]).read()
text = open(doc).read()
start, end = "<!-- tables: scripts/make-research-figures.sh -->\n", "<!-- end of tables -->\n"
head, rest = text.split(start)
open(doc, "w").write(head + start + tables + end + rest.split(end, 1)[1])
EOF
fi
if [[ $small == 1 ]]; then
  # What CI holds the small run to: every curve compared, every figure finite, every plot drawn.
  "$python" - "$out" <<'EOF'
import json, math, sys
out = sys.argv[1]
curves = json.load(open(f"{out}/bd-bases.json"))["curves"]
assert [c["basis"] for c in curves] == ["blac", "haar", "cdf53"], curves
assert all(math.isfinite(c["bd_psnr"]) and math.isfinite(c["bd_rate"]) for c in curves), curves
best = json.load(open(f"{out}/best-delta-exact.json"))["runs"][0]
assert best["best_psnr"] >= best["delta0_psnr"] and best["regret_db"] >= 0, best
assert "nan" not in open(f"{out}/tables.md").read()
EOF
  for plot in deltas-small bases-small; do
    [[ -s $out/$plot.png ]] || { echo "no plot $plot.png" >&2; exit 1; }
  done
fi
echo "figures in $out"

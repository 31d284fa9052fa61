#!/usr/bin/env python3
"""The tables of docs/research.md, in Markdown, from what make-research-figures.sh wrote.

Usage: research_tables.py DIR   (DIR holds the sweeps' CSV tables and the JSON documents)
"""
import csv
import json
import os
import sys


def rows(path):
    if not os.path.exists(path):
        return []
    with open(path, newline="") as f:
        return list(csv.DictReader(f))


def name(path):
    return os.path.splitext(os.path.basename(path))[0]


def db(text):
    return f"{float(text):.2f}" if text not in ("", None) else "–"


def table(head, body):
    lines = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    lines += ["| " + " | ".join(str(c) for c in row) + " |" for row in body]
    return "\n".join(lines) + "\n"


def by_picture(table_rows):
    pictures = {}
    for r in table_rows:
        pictures.setdefault(name(r["picture"]), []).append(r)
    return pictures


def deltas_section(out):
    text = ["### PSNR (psnr_exact, dB) over rate for each Delta\n"]
    syntheses = [s for s in ("specified", "exact") if os.path.exists(f"{out}/deltas-{s}.csv")]
    tables = {s: by_picture(rows(f"{out}/deltas-{s}.csv")) for s in syntheses}
    first = tables[syntheses[0]]
    for picture, mine in first.items():
        rates = list(dict.fromkeys(r["bpp"] for r in mine))
        short = {"specified": "specified", "exact": "exact"}
        head = ["Delta"] + [f"{short[s]} {b} bpp" for s in syntheses for b in rates]
        head.append(f"floor ({short[syntheses[0]]})")
        body = []
        for delta in dict.fromkeys(r["delta"] for r in mine):
            cells = [delta]
            for s in syntheses:
                at = {r["bpp"]: r for r in tables[s][picture] if r["delta"] == delta}
                cells += [db(at[b]["psnr_exact"]) if b in at else "–" for b in rates]
            floor = [r for r in first[picture] if r["delta"] == delta][0]["floor_psnr_exact"]
            body.append(cells + [db(floor)])
        text.append(f"**{picture}**\n\n" + table(head, body))
    return "\n".join(text)


def best_section(out):
    body = []
    for synthesis in ("specified", "exact"):
        path = f"{out}/best-delta-{synthesis}.json"
        if not os.path.exists(path):
            continue
        for run in json.load(open(path))["runs"]:
            body.append([name(run["picture"]), synthesis, f'{run["best_delta"]:.3f}', db(run["best_psnr"]),
                         db(run["delta0_psnr"]), f'{run["proposal_delta"]:.2f}', db(run["proposal_psnr"]),
                         db(run["regret_db"])])
    rate = json.load(open(f"{out}/best-delta-exact.json"))["runs"][0]["bpp"]
    head = ["picture", "synthesis", "best Delta", "best PSNR", "Delta 0 PSNR", "Calc Delta", "its PSNR",
            "regret (dB)"]
    return f"### Best Delta at {rate:g} bpp and the regret of \"Calc Delta\"\n\n" + table(head, body)


def bases_section(out):
    bd = {(name(c["picture"]), c["basis"]): c for c in json.load(open(f"{out}/bd-bases.json"))["curves"]}
    body = []
    for picture, mine in by_picture(rows(f"{out}/bases.csv")).items():
        rates = list(dict.fromkeys(r["bpp"] for r in mine))
        for basis in dict.fromkeys(r["basis"] for r in mine):
            curve = [r for r in mine if r["basis"] == basis]
            label = f"blac (Delta {curve[0]['delta']})" if basis == "blac" else basis
            c = bd.get((picture, basis), {})
            body.append([picture, label] + [db(r["psnr_exact"]) for r in curve]
                        + [db(c.get("bd_psnr")), db(c.get("bd_rate"))])
    head = ["picture", "basis"] + [f"{b} bpp" for b in rates] + ["BD-PSNR (dB)", "BD-rate (%)"]
    return "### BLaC at its best Delta beside the standard bases (exact synthesis), BD against cdf97\n\n" + \
        table(head, body)


def delta_bd_section(out):
    curves = json.load(open(f"{out}/bd-deltas-exact.json"))["curves"]
    pictures = by_picture(curves)
    deltas = list(dict.fromkeys(c["delta"] for c in curves))
    body = [[p] + [db(next((c["bd_psnr"] for c in cs if c["delta"] == d), None)) for d in deltas]
            for p, cs in pictures.items()]
    return "### BD-PSNR (dB) of each Delta against Delta 0 (exact synthesis)\n\n" + \
        table(["picture"] + [f"Delta {d}" for d in deltas], body)


def padding_section(out):
    table_rows = rows(f"{out}/padding.csv")
    if not table_rows:
        return ""
    at = {(name(r["picture"]), r["delta"], r["bpp"], r["padding"]): r["psnr_exact"] for r in table_rows}
    body = []
    for picture, delta, rate in dict.fromkeys(k[:3] for k in at):
        zero, mirror = float(at[picture, delta, rate, "zero"]), float(at[picture, delta, rate, "mirror"])
        body.append([picture, delta, rate, db(zero), db(mirror), f"{mirror - zero:+.2f}"])
    return "### Mirrored against zero padding (exact synthesis)\n\n" + \
        table(["picture", "Delta", "bpp", "zero", "mirror", "difference (dB)"], body)


def main():
    out = sys.argv[1]
    sections = [deltas_section(out), best_section(out), bases_section(out), delta_bd_section(out),
                padding_section(out)]
    print("\n".join(s for s in sections if s))


if __name__ == "__main__":
    main()

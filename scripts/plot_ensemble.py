#!/usr/bin/python3
"""Plots the spread of ensemble outputs over time from an ensemble's
summary.csv: the median, the 25-75 % and the 5-95 % bands.

    /usr/bin/python3 scripts/plot_ensemble.py RESULTS_DIR PNG VARIABLE [VARIABLE ...] [--title TEXT]

Needs matplotlib (Debian: python3-matplotlib, which scripts/deps.sh installs).
"""
import argparse
import csv
import math
import os

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402

TITLES = {
    "NPPt": "Net primary production (gC m$^{-2}$ yr$^{-1}$)",
    "Cw": "Wood carbon (gC m$^{-2}$)",
    "Ch": "Humus carbon (gC m$^{-2}$)",
    "Clw": "Labile wood carbon (gC m$^{-2}$)",
    "Nnh4": "Soil ammonium (gN m$^{-2}$)",
}


def number(text):
    return float(text) if text.strip() else math.nan


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("results")
    ap.add_argument("png")
    ap.add_argument("variables", nargs="+")
    ap.add_argument("--title", default="Ensemble")
    args = ap.parse_args()

    rows = {}
    members = 0
    with open(os.path.join(args.results, "summary.csv"), newline="") as f:
        for row in csv.DictReader(f):
            rows.setdefault(row["variable"], []).append(row)
            members = max(members, int(row["n"]))

    fig, axes = plt.subplots(1, len(args.variables), figsize=(5.2 * len(args.variables), 3.8), squeeze=False)
    for ax, name in zip(axes[0], args.variables):
        series = rows[name]
        t = [number(r["time"]) for r in series]
        col = {k: [number(r[k]) for r in series] for k in ("q05", "q25", "q50", "q75", "q95")}
        ax.fill_between(t, col["q05"], col["q95"], color="#9ecae1", label="5-95 %")
        ax.fill_between(t, col["q25"], col["q75"], color="#4292c6", label="25-75 %")
        ax.plot(t, col["q50"], color="#08306b", linewidth=1.6, label="median")
        ax.set_title(TITLES.get(name, name), fontsize=10)
        ax.set_xlabel("year")
        ax.grid(alpha=0.3)
        ax.legend(loc="best", fontsize=8)
    fig.suptitle("%s: %d members" % (args.title, members), fontsize=11)
    fig.tight_layout()
    fig.savefig(args.png, dpi=110)


if __name__ == "__main__":
    main()

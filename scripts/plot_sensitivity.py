#!/usr/bin/python3
"""Plots the total-order (or another) index of one output over time, with
its confidence band, from the indices.csv of a sensitivity analysis.

    /usr/bin/python3 scripts/plot_sensitivity.py RESULTS_DIR OUTPUT PNG [--index ST] [--title TEXT]

Needs matplotlib (Debian: python3-matplotlib).
"""
import argparse
import csv
import math
import os
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def number(text):
    return float(text) if text.strip() else math.nan


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("results")
    ap.add_argument("output", help="the output variable's symbol, e.g. Cw")
    ap.add_argument("png")
    ap.add_argument("--index", default="ST")
    ap.add_argument("--title", default=None)
    args = ap.parse_args()

    series = {}
    with open(os.path.join(args.results, "indices.csv"), newline="") as f:
        for row in csv.DictReader(f):
            if row["output"] != args.output or row["index"] != args.index or not row["time"]:
                continue
            s = series.setdefault(row["factor"], ([], [], [], []))
            for column, value in zip(s, (row["time"], row["value"], row["lower"], row["upper"])):
                column.append(number(value))
    if not series:
        sys.exit(f"no {args.index} of {args.output} in {args.results}/indices.csv")

    def last(name):
        v = series[name][1][-1]
        return -math.inf if math.isnan(v) else v

    fig, ax = plt.subplots(figsize=(8, 4.5), dpi=100)
    colours = plt.get_cmap("tab10").colors
    for n, name in enumerate(sorted(series, key=last, reverse=True)):
        t, v, lo, hi = series[name]
        colour = colours[n % len(colours)]
        ax.fill_between(t, lo, hi, color=colour, alpha=0.2, linewidth=0)
        ax.plot(t, v, color=colour, linewidth=1.5, label=name)
    ax.set_xlabel("Year")
    ax.set_ylabel(f"{args.index} of {args.output}")
    ax.set_ylim(bottom=min(0, ax.get_ylim()[0]))
    ax.grid(True, alpha=0.3)
    ax.legend(title="factor (by last value)", loc="center left", bbox_to_anchor=(1.01, 0.5), frameon=False)
    ax.set_title(args.title or f"{args.index} of {args.output} over time, with 95 % intervals")
    fig.tight_layout()
    fig.savefig(args.png)


if __name__ == "__main__":
    main()

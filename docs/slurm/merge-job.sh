#!/bin/bash
# Joins the shards of array-job.sh into the files a single run writes. It
# checks that every shard is there once, complete and of the same experiment,
# and names any shard that is not.
#
#SBATCH --job-name=orvane-merge
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=1
#SBATCH --time=01:00:00
#SBATCH --output=%x-%j.log
set -euo pipefail

experiment=${1:?usage: sbatch docs/slurm/merge-job.sh EXPERIMENT.toml [RESULTS]}
name=$(basename "$experiment" .toml)
results=${2:-$name-results}

exec build/bin/orvane-ensemble merge "$results" "$name-shards"/*

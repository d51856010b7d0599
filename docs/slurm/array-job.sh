#!/bin/bash
# A job array: each task runs one shard of the ensemble into its own folder,
# on the cores of one node; merge-job.sh then joins the shards.
# Submit both from the project folder:
#
#   jid=$(sbatch --parsable docs/slurm/array-job.sh EXPERIMENT.toml)
#   sbatch --dependency=afterok:$jid docs/slurm/merge-job.sh EXPERIMENT.toml
#
# --array=1-100 makes 100 shards (at most 40 running at once); shard I of N
# is the task's place in that range, counted from 1, whatever numbers the
# range uses (1-100, 0-99, 10-1000:10 all give shards 1 to 100).
#
#SBATCH --job-name=orvane-shards
#SBATCH --array=1-100%40
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=16
#SBATCH --time=01:00:00
#SBATCH --output=%x-%A-%a.log
# The program is the batch shell itself (exec below), so the warning before
# the time limit reaches it: the shard keeps what finished, and the task
# run again (scontrol requeue, or the same array again) continues it.
#SBATCH --signal=B:TERM@120
set -euo pipefail

experiment=${1:?usage: sbatch docs/slurm/array-job.sh EXPERIMENT.toml}
shards=$(basename "$experiment" .toml)-shards
mkdir -p "$shards"

# --shard without I/N takes them from the array task.
exec build/bin/orvane-ensemble "$experiment" --shard --resume \
     --out "$shards/$SLURM_ARRAY_TASK_ID" --threads "$SLURM_CPUS_PER_TASK"

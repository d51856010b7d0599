#!/bin/bash
# One MPI job over several nodes: rank 0 hands out the members in chunks and
# writes the results; every rank runs members on a worker thread per core.
# Submit from the project folder:  sbatch docs/slurm/mpi-job.sh EXPERIMENT.toml
#
#SBATCH --job-name=orvane-ensemble
#SBATCH --nodes=4
#SBATCH --ntasks-per-node=1
#SBATCH --cpus-per-task=32
#SBATCH --time=04:00:00
#SBATCH --output=%x-%j.log
# Five minutes before the time limit every rank is told to stop: the members
# that finished are kept, and the same job submitted again continues them.
#SBATCH --signal=TERM@300
set -euo pipefail

experiment=${1:?usage: sbatch docs/slurm/mpi-job.sh EXPERIMENT.toml [RESULTS]}
results=${2:-$(basename "$experiment" .toml)-results}

# --resume continues the results folder when an earlier job was stopped, and
# starts it when there is none. Where srun cannot start MPI programs on the
# cluster, use: mpirun -np "$SLURM_NTASKS" build/bin/orvane-ensemble ...
srun build/bin/orvane-ensemble "$experiment" --out "$results" --resume \
     --threads "$SLURM_CPUS_PER_TASK"

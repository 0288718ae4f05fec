#!/bin/bash
# Submits a dla-cli ensemble in K parts (default 3) as one Slurm job array, and the merge as a
# job that waits for every part to succeed. Run it in the folder that is to hold the results;
# DLA_ARGS (the plan, with --seed) is passed on to the jobs in the environment.
set -euo pipefail

parts=${1:-3}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# --parsable prints "jobid" or "jobid;cluster".
array=$(sbatch --parsable --array=1-"$parts" "$here/dla-array.sbatch")
array=${array%%;*}
merge=$(sbatch --parsable --dependency=afterok:"$array" "$here/dla-merge.sbatch")
echo "parts: job array $array, merge: job ${merge%%;*}"

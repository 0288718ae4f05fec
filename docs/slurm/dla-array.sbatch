#!/bin/bash
# One part of a dla-cli ensemble per task of a job array: submit with --array=1-K (submit.sh
# does). DLA_ARGS holds the plan; every part of one ensemble must get the same plan.
#SBATCH --job-name=dla-part
#SBATCH --cpus-per-task=1
#SBATCH --time=04:00:00
#SBATCH --output=shard-%a.log
set -euo pipefail

: "${DLA_ARGS:=--size 100,200 --runs 30 --seed 7}"
part=$SLURM_ARRAY_TASK_ID
# The file takes its name only once the part is complete: a task that fails or is cancelled
# leaves nothing that the merge would take for a finished part.
# shellcheck disable=SC2086  # DLA_ARGS is a list of options
dla-cli $DLA_ARGS --threads "${SLURM_CPUS_PER_TASK:-1}" \
    --shard "$part/$SLURM_ARRAY_TASK_COUNT" --json > "shard-$part.json.partial"
mv "shard-$part.json.partial" "shard-$part.json"

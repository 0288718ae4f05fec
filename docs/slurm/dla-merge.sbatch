#!/bin/bash
# Joins the parts that dla-array.sbatch wrote into the summary of the whole plan: the table in
# summary.txt, the summary object in summary.json. Submitted by submit.sh to start once every
# part has succeeded.
#SBATCH --job-name=dla-merge
#SBATCH --time=00:10:00
#SBATCH --output=merge.log
set -euo pipefail

dla-cli merge --json shard-*.json > summary.json 2> summary.txt

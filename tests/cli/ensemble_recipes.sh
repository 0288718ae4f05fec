#!/bin/bash
# Runs the ensemble recipes of docs/ensembles.md (GNU parallel on this machine, GNU parallel
# "over ssh" with the local machine as its only host, and the Slurm scripts under a stand-in
# sbatch) and compares each merged summary, table and JSON object, with one process's.
# Arguments: the dla-cli program, the source folder.
set -euo pipefail
program=$(realpath "$1")
source=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$program" "$work/bin/dla-cli"
export PATH="$work/bin:$source/tests/cli/fake-slurm:$PATH"

cd "$work"
dla-cli --size 100,200 --runs 30 --seed 7 --json > whole.json 2> whole.txt
tail -n 1 whole.json > whole-summary.json

# The shell block that follows the marker "<!-- recipe: NAME -->" in the guide.
recipe() {
    sed -n "/<!-- recipe: $1 -->/,/^\`\`\`\$/p" "$source/docs/ensembles.md" | sed '1,2d;$d'
}

same_as_whole() {
    cmp whole-summary.json "$1/summary.json" && cmp whole.txt "$1/summary.txt" ||
        { echo "the merged summary of $1 differs from one process's" >&2; exit 1; }
}

mkdir local ssh slurm
(cd local && bash -euo pipefail -c "$(recipe local)")
same_as_whole local

(cd ssh && bash -euo pipefail -c "$(recipe ssh | sed 's/--sshlogin host1,host2/--sshlogin :/')")
same_as_whole ssh

for script in "$source"/docs/slurm/*; do bash -n "$script"; done
mkdir slurm/state
(cd slurm && FAKE_SLURM_STATE=$work/slurm/state \
    DLA_ARGS="--size 100,200 --runs 30 --seed 7" bash "$source/docs/slurm/submit.sh" 3)
same_as_whole slurm
[[ ! -e slurm/shard-1.json.partial && -e slurm/shard-3.json ]]
echo "every recipe merges to the single process's summary"

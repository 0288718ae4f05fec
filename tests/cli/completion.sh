#!/usr/bin/env bash
# The bash completion knows every option dla-cli's help lists, and completes what it should.
# Usage: completion.sh DLA_CLI COMPLETION_FILE
set -euo pipefail
program=$1
source "$2"
fail() { echo "completion: $*" >&2; exit 1; }

complete_words() {  # the words of a command line, the last one being completed
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _dla_cli
    echo "${COMPREPLY[*]:-}"
}

# The options the help lists, one a line: "  --name ..." or "  -q,--name ...".
listed() { "$program" "$@" | sed -n 's/^  \(-[a-z],\)\{0,1\}\(--[a-z-]*\).*/\2/p'; }
for option in $(listed --help); do
    [[ " $(complete_words dla-cli --) " == *" $option "* ]] || fail "no completion of $option"
done
for option in $(listed merge --help); do
    [[ " $(complete_words dla-cli merge --) " == *" $option "* ]] || fail "merge: no $option"
done
[[ $(complete_words dla-cli --wa) == --walk ]] || fail "--wa"
[[ $(complete_words dla-cli --walk l) == literal ]] || fail "--walk l"
[[ $(complete_words dla-cli me) == merge ]] || fail "me"
[[ -z $(complete_words dla-cli --runs 1) ]] || fail "a number is not a file"
echo "completion: every option of the help completes"

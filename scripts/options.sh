# SPDX-License-Identifier: MIT
# Sourced by the tools that run a program (trails.sh, record.sh, watch.sh, experiment.sh):
# takes their options off the front of the arguments, as given, into `options`, PROGRAM
# into `program` and what follows it into `rest`. `by_frames` says whether --frames gave
# the run's length, in which case the tool takes no SECONDS. A word before PROGRAM that
# starts with - and is none of the options: the tool's usage line.
usage() {
    grep -m1 '^#   scripts/' "$0" | sed 's/^# */usage: /' >&2
    exit 2
}
options=()
by_frames=false
while [ $# -ge 2 ] && [[ $1 =~ ^--(seed|step|frames|set|${more_options:-seed})$ ]]; do
    [ "$1" != --frames ] || by_frames=true
    options+=("$1" "$2")
    shift 2
done
if [ $# -lt 1 ] || [ "${1#-}" != "$1" ]; then
    usage
fi
program=$1
rest=("${@:2}")

# Moves SECONDS (or the default $1 where it is not given) from the front of `rest` into
# `length`, unless the run's length is in frames; then at most $2 arguments may be left.
take_seconds() {
    length=()
    if ! $by_frames; then
        length=("${rest[0]:-$1}")
        rest=("${rest[@]:1}")
    fi
    [ ${#rest[@]} -le "$2" ] || usage
}

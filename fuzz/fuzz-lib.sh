# Sourced by the two fuzzing commands.

# fuzz_work_folder: a work folder for one run, in `work`, removed when the
# script ends. The targets write their inputs to files, so it goes on tmpfs
# when there is one. Their own scratch folders go inside it too: libFuzzer's
# forked children end without running exit handlers, so they cannot clean
# up after themselves.
fuzz_work_folder() {
    if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then
        export TMPDIR=/dev/shm
    fi
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/tmp"
    export TMPDIR=$work/tmp
}

# fuzz_seed: the seed of one target's run, FUZZ_SEED when given (to replay a
# run), else a random one. Printed with the run, so that a failure found by
# chance can be run again with the same inputs.
fuzz_seed() {
    if [ -n "${FUZZ_SEED:-}" ]; then
        echo "$FUZZ_SEED"
    else
        # libFuzzer takes an unsigned 32-bit seed; 0 would mean "pick one".
        echo $(($(od -An -N4 -tu4 /dev/urandom) % 4294967295 + 1))
    fi
}

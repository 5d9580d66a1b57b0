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

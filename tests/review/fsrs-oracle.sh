#!/usr/bin/env bash
# The schedule against an independent implementation of FSRS-6: ts-fsrs
# from the npm registry, pinned by version and checksum, fetched once into
# the build folder. Usage: fsrs-oracle.sh <comparer> <work folder>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
compare=$1
work=$2
version=5.4.2
sha256=f91a53b58c7269db5528ad420208217384be610a4146a137b85dcaa07e3301cb
tarball=$work/ts-fsrs-$version.tgz

mkdir -p "$work"
if ! [ -f "$tarball" ] || ! echo "$sha256  $tarball" | sha256sum -c --status; then
    rm -f "$tarball"
    (cd "$work" && npm pack --silent "ts-fsrs@$version" >/dev/null)
fi
if ! echo "$sha256  $tarball" | sha256sum -c --status; then
    echo "ts-fsrs-$version.tgz does not have the expected checksum" >&2
    exit 1
fi
rm -rf "$work/ts-fsrs"
mkdir -p "$work/ts-fsrs"
tar -xzf "$tarball" -C "$work/ts-fsrs" --strip-components=1
node "$here/fsrs-oracle.js" "$work/ts-fsrs" "$work/fsrs-expected.txt"
"$compare" "$work/fsrs-expected.txt"

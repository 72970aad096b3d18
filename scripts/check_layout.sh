#!/usr/bin/env bash
# Fails when a source file includes a folder that is not below its own. The folders read
# bottom-up; engines (sites, channels) and the previous edition's clean-up are peers and never
# include each other. Tests and benchmarks may include anything. (The libraries are linked in
# the same order, so a call that goes up also fails to link: see src/CMakeLists.txt.)
# One pass: a single awk reads every file.
set -euo pipefail
cd "$(dirname "$0")/../src"

# Each folder and the folders it may include besides itself.
layers='
support:
osutils: support
core: support osutils
net: support osutils core
sites: support osutils core
channels: support osutils core net
legacy: support osutils core
manager: support osutils core net sites channels legacy
cli: support osutils core net sites channels legacy manager
gui: support osutils core net sites channels legacy manager
app: support osutils core net sites channels legacy manager gui
login: support osutils core net channels
'

find . -type f \( -name '*.h' -o -name '*.cpp' \) -exec awk -v layers="$layers" '
BEGIN {
    n = split(layers, rows, "\n")
    for (i = 1; i <= n; i++) {
        if (rows[i] !~ /:/) continue
        split(rows[i], parts, ":")
        known[parts[1]] = 1
        allowed[parts[1] SUBSEP parts[1]] = 1
        m = split(parts[2], below, " ")
        for (j = 1; j <= m; j++) allowed[parts[1] SUBSEP below[j]] = 1
    }
}
FNR == 1 {
    file = substr(FILENAME, 3)
    folder = file
    sub(/\/.*/, "", folder)
    if (!(folder in known)) {
        print "layout: " file " is in a folder the layout does not know: " folder > "/dev/stderr"
        status = 1
    }
}
/^#include "[^\/"]+\// && (folder in known) {
    target = $0
    sub(/^#include "/, "", target)
    sub(/\/.*/, "", target)
    if (!((folder SUBSEP target) in allowed)) {
        print "layout: " file ":" FNR " includes " target "/, which is not below " folder "/" > "/dev/stderr"
        status = 1
    }
}
END { exit status }
' {} +

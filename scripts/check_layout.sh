#!/usr/bin/env bash
# Fails when a source file includes a folder that is not below its own. The folders read
# bottom-up; engines (sites, channels) and the previous edition's clean-up are peers and never
# include each other; osutils, just above support, holds what differs between systems. Tests
# and benchmarks may include anything.
set -euo pipefail
cd "$(dirname "$0")/../src"

declare -A allowed=(
  [support]="support"
  [osutils]="support osutils"
  [core]="support osutils core"
  [net]="support osutils core net"
  [sites]="support osutils core sites"
  [channels]="support osutils core net channels"
  [legacy]="support osutils core legacy"
  [manager]="support osutils core net sites channels legacy manager"
  [cli]="support osutils core net sites channels legacy manager cli"
  [gui]="support osutils core net sites channels legacy manager gui"
  [app]="support osutils core net sites channels legacy manager gui app"
  [login]="support osutils core net channels login"
)

status=0
while IFS= read -r line; do
  file=${line%%:*}
  folder=${file%%/*}
  target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$line")
  if [ -z "${allowed[$folder]+set}" ]; then
    echo "layout: $file is in a folder the layout does not know: $folder" >&2
    status=1
  elif ! grep -qw -- "$target" <<<"${allowed[$folder]}"; then
    echo "layout: $file includes $target/, which is not below $folder/" >&2
    status=1
  fi
done < <(grep -rnE '^#include "[^/"]+/' --include='*.h' --include='*.cpp' . | sed 's#^\./##')
exit $status

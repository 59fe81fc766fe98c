#!/usr/bin/env bash
# Every option a program's --help lists is in its man page, and every option its man page's
# synopsis shows is one --help lists: the table the program parses with is the one place.
# Usage: help-matches-man.sh PROGRAM MAN_PAGE
set -euo pipefail
program=$1
page=$2
help=$("$program" --help | sed -n 's/^  \(-., \)\?\( *\)--\([a-z-]*\).*/\3/p' | sort -u)
# In roff a hyphen is \-: "\-\-heartbeat\-ms".
mentioned() { grep -o '\\-\\-\([a-z]\|\\-\)*' | sed 's/\\-/-/g; s/^--//' | sort -u; }
documented=$(mentioned <"$page")
synopsis=$(sed -n '/^\.SH SYNOPSIS/,/^\.SH/p' "$page" | mentioned)
missing=$(comm -23 <(echo "$help") <(echo "$documented"))
unknown=$(comm -13 <(echo "$help") <(echo "$synopsis"))
[ -z "$missing" ] || echo "$page: no word on --$(echo $missing | sed 's/ /, --/g'), which $(basename "$program") --help lists"
[ -z "$unknown" ] || echo "$page: the synopsis shows --$(echo $unknown | sed 's/ /, --/g'), which $(basename "$program") does not take"
[ -z "$missing$unknown" ]

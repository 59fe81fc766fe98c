#!/usr/bin/env bash
# Runs a fuzz target's replay program over its seed corpus (make-seeds.sh): a test of the
# test command. usage: replay-seeds.sh PROGRAM TARGET
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$(dirname "$0")/make-seeds.sh" "$work"
"$1" "$work/$2"/*

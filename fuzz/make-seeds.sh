#!/usr/bin/env bash
# Writes each fuzz target's starting corpus into DIR/<target>/: a few small Standard MIDI
# Files, packet runs with SysEx split across packets, and preference files.
set -euo pipefail
dir=${1:?usage: make-seeds.sh DIR}
mkdir -p "$dir/smf_read_fuzz" "$dir/sysex_assembly_fuzz" "$dir/preference_file_fuzz"
seed() { printf "$3" >"$dir/$1/$2"; }
seed smf_read_fuzz minimal 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60MTrk\x00\x00\x00\x04\x00\xff\x2f\x00'
seed smf_read_fuzz notes   'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x01\xe0MTrk\x00\x00\x00\x0b\x00\x90\x3c\x64\x60\x3c\x00\x00\xff\x2f\x00'
seed smf_read_fuzz sysex   'MThd\x00\x00\x00\x06\x00\x01\x00\x02\x01\xe0MTrk\x00\x00\x00\x0b\x00\xff\x51\x03\x07\xa1\x20\x00\xff\x2f\x00MTrk\x00\x00\x00\x0e\x00\xf0\x05\x43\x10\x7d\x01\xf7\x81\x00\xf7\x02\x01\x02'
seed smf_read_fuzz meta    'MThd\x00\x00\x00\x06\x00\x00\x00\x01\xe2\x50MTrk\x00\x00\x00\x0f\x00\xff\x03\x04VYR\x00\x00\xff\x7f\x03\x43\x7b\x02'
# [length][bytes] per packet.
seed sysex_assembly_fuzz heartbeat '\x09\xf0\x43\x7d\x60\x44\x54\x41\x30\xf7'
seed sysex_assembly_fuzz split     '\x04\xf0\x43\x7d\x60\x05\x44\x54\x41\x30\xf7'
seed sysex_assembly_fuzz junk      '\x06\x90\x3c\x40\xf8\xf0\x43\x04\x10\xfe\x3c\x00\x02\xf7\xf7'
seed preference_file_fuzz xml '<?xml version="1.0" encoding="UTF-8"?>\n<plist version="1.0">\n<dict>\n\t<key>Status</key>\n\t<integer>1</integer>\n</dict>\n</plist>\n'
seed preference_file_fuzz binary 'bplist00\xd1\x01\x02VStatus\x10\x01\x08\x0b\x12\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x14'
# Nested to the limit and one past it: the library follows nesting by recursion.
nested() {
    local arrays=$1 i text='<?xml version="1.0"?><plist version="1.0"><dict><key>x</key>'
    for ((i = 0; i < arrays; i++)); do text+='<array>'; done
    for ((i = 0; i < arrays; i++)); do text+='</array>'; done
    printf '%s</dict></plist>' "$text"
}
nested 63 >"$dir/preference_file_fuzz/deepest"
nested 64 >"$dir/preference_file_fuzz/too-deep"
seed preference_file_fuzz array '<?xml version="1.0"?><plist version="1.0"><array><integer>2</integer></array></plist>'

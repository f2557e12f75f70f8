#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# man_names_check.sh PAGE
# At every width a terminal may give it, the manual page breaks no name at a
# line's end: no file, option, key of the file or the program's own name is
# hyphenated ("gob-" "ack_btn"), so that what a person reads can be typed.
# groff renders it as man does, hyphenating with U+2010 in UTF-8.
set -u
page=$1
status=0
for width in $(seq 40 120); do
    found=$(groff -man -Tutf8 -P-cbou -rLL="$width"n -rLT="$width"n "$page" 2>/dev/null |
        sed 's/‐/-/g' |
        LC_ALL=C awk '
        prev ~ /[A-Za-z0-9_]-$/ {
            n = split(prev, words, " ")
            word = substr(words[n], 1, length(words[n]) - 1) $1
            sub(/[.,;:)]+$/, "", word)
            sub(/^[(]+/, "", word)
            # A path, an option, a key or a name with a dot in it, or the
            # program itself.
            if (word ~ /[_\/~]/ || word ~ /^-/ || word ~ /[A-Za-z]\.[A-Za-z]/ ||
                word ~ /^quorvane$/)
                print "\"" words[n] "\" \"" $1 "\""
        }
        { prev = $0 }')
    if [ -n "$found" ]; then
        echo "At $width columns a name is broken: $found"
        status=1
    fi
done
exit $status

#!/bin/sh
# SPDX-License-Identifier: GPL-2.0-or-later
# po_check.sh PO_FOLDER EXTRACTED_POT
# The template in the tree holds exactly the texts that the build extracted
# from the sources, and every catalogue translates all of them, with no
# error and nothing fuzzy.
set -u
po=$1
extracted=$2
status=0

# Each way round: a text added to the code but not to the template, and a
# text left in the template that the code no longer has.
if ! msgcmp --use-untranslated "$po/quorvane.pot" "$extracted"; then
    echo "po/quorvane.pot lacks texts of the sources: run cmake --build build --target update-pot"
    status=1
fi
if ! msgcmp --use-untranslated "$extracted" "$po/quorvane.pot"; then
    echo "po/quorvane.pot holds texts the sources no longer have: update it"
    status=1
fi

for catalogue in "$po"/*.po; do
    report=$(msgfmt --check --statistics -o /dev/null "$catalogue" 2>&1) || status=1
    echo "$(basename "$catalogue"): $report"
    case $report in
        *fuzzy* | *untranslated*) status=1 ;;
    esac
    msgcmp "$catalogue" "$po/quorvane.pot" || status=1
done
exit $status

#!/usr/bin/env bash
# The Japanese catalogue is whole: every text the code marks (Tr, TrF, N_,
# and TrIn's second argument)
# in every file that marks one has its translation in po/ja.po, none fuzzy,
# and msgfmt --check accepts the file. Skipped (77) without gettext.
# Usage: CatalogueTest.sh SOURCE_DIR
set -u
cd "$1" || exit 1
command -v xgettext >/dev/null && command -v msgcmp >/dev/null || {
  echo "gettext's tools are missing; scripts/setup.sh installs them"
  exit 77
}
failed=0
# Every file that marks a text is in po/POTFILES.
while read -r file; do
  grep -qx "$file" po/POTFILES || { echo "FAILED: $file marks texts but is not in po/POTFILES"; failed=1; }
done < <(grep -rlE '\b(Tr|TrF|N_)\("|\bTrIn\([^,()]*, *"' app tools framework link settings \
  --include='*.cpp' --include='*.h' | sort)
pot=$(mktemp)
trap 'rm -f "$pot"' EXIT
xgettext --from-code=UTF-8 -C --keyword=Tr --keyword=TrF --keyword=N_ --keyword=TrIn:2 -f po/POTFILES -o "$pot" || exit 1
sed -i "s/charset=CHARSET/charset=UTF-8/" "$pot"
# msgcmp counts an untranslated entry as missing.
msgcmp po/ja.po "$pot" || { echo "FAILED: po/ja.po lacks the texts above"; failed=1; }
stats=$(msgfmt --check --statistics -o /dev/null po/ja.po 2>&1) || failed=1
case $stats in
  *fuzzy* | *untranslated*) echo "FAILED: $stats"; failed=1 ;;
esac
[ "$failed" -eq 0 ] && echo "catalogue: $stats"
exit "$failed"

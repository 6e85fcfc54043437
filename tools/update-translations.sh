#!/usr/bin/env bash
# Brings translations/vantrel_*.ts up to date with the texts of the window:
# new texts come in unfinished, texts no longer used go. Run it after adding
# or changing a tr() text or a form's text, translate what Qt Linguist then
# shows as unfinished, and commit the .ts files. Running it again changes
# nothing.
#   tools/update-translations.sh              every language
#   tools/update-translations.sh xx           add the language xx (ISO 639-1)
# vantrelctl (src/ctl) is not translated: its output is for scripts.
set -euo pipefail
cd "$(dirname "$0")/.."

extra=()
lupdate=${LUPDATE:-}
if [ -z "$lupdate" ]; then
    for candidate in /usr/lib/qt5/bin/lupdate /usr/lib/qt6/bin/lupdate "$(command -v lupdate || true)"; do
        [ -n "$candidate" ] && [ -x "$candidate" ] && { lupdate=$candidate; break; }
    done
fi
[ -n "$lupdate" ] || { echo "update-translations: lupdate not found (apt install qttools5-dev-tools)" >&2; exit 1; }

if [ $# -gt 0 ]; then
    [[ "$1" =~ ^[a-z]{2,3}(_[A-Z]{2})?$ ]] || { echo "update-translations: not a language code: $1" >&2; exit 2; }
    files=("translations/vantrel_$1.ts")
    [ -e "${files[0]}" ] || extra=(-target-language "$1")
else
    files=(translations/vantrel_*.ts)
fi

# No source locations in the files: a line moving elsewhere changes nothing
# there, so merges of code do not conflict in the translations. (The port
# status texts have a tr() of their own, which lupdate takes for a class's.)
"$lupdate" -silent -no-obsolete -locations none "${extra[@]}" \
    src/app src/commands src/language src/link src/network src/pjlink src/sessions src/settings src/ui -ts "${files[@]}" \
    2> >(grep -v "lacks Q_OBJECT macro" >&2)

# What is left to translate, file by file (tst_translations names the same
# texts with where they are in the sources).
for file in "${files[@]}"; do
    count=$(grep -c 'type="unfinished"' "$file" || true)
    [ "$count" -eq 0 ] && continue
    echo "$file: $count to translate:"
    grep -B1 'type="unfinished"' "$file" | sed -n 's/^ *<source>\(.*\)<\/source>$/    \1/p'
done

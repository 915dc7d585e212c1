#!/usr/bin/env bash
# translations_test.sh LUPDATE TS_FOLDER LUPDATE_ARGUMENTS... (include folders, sources)
# Runs lupdate over the sources into copies of the committed .ts files and
# fails, naming each entry, when a copy holds an unfinished text (new in the
# sources, or never translated), a vanished or obsolete one (gone from the
# sources), or an empty translation. The committed files stay untouched.
set -euo pipefail
lupdate=$1 ts_folder=$2
shift 2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
shopt -s nullglob
files=("$ts_folder"/trevalon_*.ts)
[ ${#files[@]} -gt 0 ] || { echo "no trevalon_*.ts in $ts_folder"; exit 1; }
copies=()
for f in "${files[@]}"; do
  cp "$f" "$work/"
  copies+=("$work/$(basename "$f")")
done
# The same options as the README's update command, so a clean result here
# means that command changes nothing.
"$lupdate" -silent -locations none -no-ui-lines -extensions cpp,h "$@" -ts "${copies[@]}" \
  >"$work/lupdate.log" 2>&1 || { cat "$work/lupdate.log"; exit 1; }
status=0
for copy in "${copies[@]}"; do
  name=$(basename "$copy")
  if ! cmp -s "$copy" "$ts_folder/$name"; then
    echo "$name: lupdate changes it:"
    diff -u "$ts_folder/$name" "$copy" | head -40
    status=1
  fi
  python3 - "$copy" "$name" <<'PY' || status=1
import re, sys, xml.etree.ElementTree as ET
path, name = sys.argv[1], sys.argv[2]
faults = 0
count = 0

def text_of(element):
    # lupdate keeps control characters (the message boxes' CR) as <byte value="xd"/>.
    if element is None:
        return ''
    parts = [element.text or '']
    for child in element:
        if child.tag == 'byte':
            value = child.get('value')
            parts.append(chr(int(value[1:], 16) if value.startswith('x') else int(value)))
        else:
            parts.append(text_of(child))
        parts.append(child.tail or '')
    return ''.join(parts)

for context in ET.parse(path).getroot().iter('context'):
    where = context.findtext('name')
    for message in context.iter('message'):
        count += 1
        source = text_of(message.find('source'))
        translation = message.find('translation')
        kind = translation.get('type') if translation is not None else 'missing'
        text = text_of(translation)
        if message.get('numerus') == 'yes' and translation is not None:
            text = ''.join(f.text or '' for f in translation.iter('numerusform'))
        if kind in ('unfinished', 'vanished', 'obsolete', 'missing') or not text:
            print(f'{name}: {where}: "{source}" is {kind or "empty"}')
            faults += 1
            continue
        # What the program relies on: every placeholder, one accelerator where
        # the source has one, the same trailing mark ("...", ".", "?", "!",
        # ":") and the same spaces at either end (a text that is appended).
        problems = []
        if sorted(re.findall(r'%[1-9]', source)) != sorted(re.findall(r'%[1-9]', text)):
            problems.append('placeholders differ')
        if len(re.findall(r'&(?!&)', source)) != len(re.findall(r'&(?!&)', text)):
            problems.append('accelerators differ')
        if source.endswith('...') != text.endswith('...') or \
           (source[-1:] and source[-1:] in '.?!:' and source[-1:] != text[-1:]):
            problems.append('the ending differs')
        if source[:1].isspace() != text[:1].isspace() or source[-1:].isspace() != text[-1:].isspace():
            problems.append('spaces at an end differ')
        for problem in problems:
            print(f'{name}: {where}: "{source}": {problem}: "{text}"')
            faults += 1
if count == 0:
    print(f'{name}: holds no texts')
    faults += 1
print(f'{name}: {count} texts, {faults} not finished')
sys.exit(1 if faults else 0)
PY
done
exit $status

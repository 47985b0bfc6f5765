#!/usr/bin/env bash
# Converts a few sample documents end to end with mirelune-cli through the
# self-hosted service, which the CLI starts on loopback when no service is
# configured. The samples are made here from text, nothing binary is shipped.
set -euo pipefail

BUILD=${1:-build}
CLI="$BUILD/src/cli/mirelune-cli"
SAMPLES="$(cd "$BUILD" && pwd)/samples"
rm -rf "$SAMPLES"
mkdir -p "$SAMPLES/in" "$SAMPLES/out"

cat > "$SAMPLES/in/letter.txt" <<'TEXT'
Mirelune sample letter

Dear reader,

this letter was written as plain text, turned into a Word document and then
converted to PDF and back by the Mirelune conversion service running on this
machine.

Kind regards
TEXT
printf 'Item,Quantity,Price\nPaper,10,4.50\nInk,2,19.90\nStaples,1000,0.01\n' > "$SAMPLES/in/prices.csv"

echo "make run: making sample documents with LibreOffice"
soffice --headless --norestore "-env:UserInstallation=file://$SAMPLES/profile" \
  --convert-to docx --outdir "$SAMPLES/in" "$SAMPLES/in/letter.txt" >/dev/null 2>&1
soffice --headless --norestore "-env:UserInstallation=file://$SAMPLES/profile" \
  --convert-to xlsx --outdir "$SAMPLES/in" "$SAMPLES/in/prices.csv" >/dev/null 2>&1
rm -rf "$SAMPLES/profile"

echo "make run: Word and Excel to PDF"
"$CLI" -m to-pdf -o "$SAMPLES/out" "$SAMPLES/in/letter.docx" "$SAMPLES/in/prices.xlsx"
echo "make run: PDF to Word and to text"
"$CLI" -f docx -o "$SAMPLES/out/word" "$SAMPLES/out/letter.pdf"
"$CLI" -f txt -o "$SAMPLES/out/text" "$SAMPLES/out/letter.pdf"
echo "make run: merging the two PDFs"
"$CLI" -m merge -o "$SAMPLES/out/merged" "$SAMPLES/out/letter.pdf" "$SAMPLES/out/prices.pdf"

echo
echo "make run: the results are in $SAMPLES/out:"
find "$SAMPLES/out" -type f | sort | sed 's/^/  /'

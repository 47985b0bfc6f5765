#!/usr/bin/env python3
"""PDF to Word: the layout engine against the route before it, on one corpus.

Builds a corpus from what Debian packages put on this machine (PDF manuals
under /usr/share/doc, LibreOffice templates exported to PDF (letters, a CV, a
résumé and three slide decks), and a slide deck
with pictures, a table, two-column text and Hebrew and Arabic text set from
the right, made with LibreOffice here),
converts every PDF to docx through the new engine (bench_pdf_convert word) and
through the old route (pdftohtml into Writer, bench_pdf_convert word-html),
reopens each docx in LibreOffice as PDF and prints per document:

  pages   reopened pages / source pages
  recall  share of the source's words (a multiset) found in the reopened text
  order   share of the source's consecutive word pairs found there
  images  distinct images kept / distinct images in the source
  split   reopened words that are no source words, per 100 words
  look    Dice overlap of ink, pages rendered at 24 dpi grey and thresholded,
          mean over the first five pages
  secs    seconds of the conversion itself

Words are compared in Unicode's compatibility form (NFKC), as a reader
searching would: a ligature glyph and the letters it stands for are one word.

The source's words are pdftotext's, with one correction: where a line's
letters are spread apart (a listing set in flexible columns), pdftotext breaks
words into letters ("P r o c e s s e s"), which no reader sees. On such lines
(mostly single letters) the letters are joined again where their gap is below
twice the line's usual gap, and on the same page so are runs of three single
letters or more in shorter lines ("} e l s e {"); the words of every other
line are pdftotext's own.
--plain-source skips that correction, to compare with pdftotext's reading.

Usage: bench/pdf_to_word.py BUILD_DIR [WORK_DIR] [--only NAME[,NAME...]] [--plain-source]

--only keeps the documents whose names contain one of the given parts, to
iterate on a few; the corpus is still built (and kept in WORK_DIR).
"""
import base64
import collections
import glob
import gzip
import html
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import unicodedata
import zlib

LOOK_PAGES = 5
LOOK_DPI = 24
MAX_MANUALS = 5
MAX_MANUAL_PAGES = 60


def run(args, timeout=600, **kwargs):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=timeout, check=False,
                          **kwargs)


def page_count(pdf):
    out = run(["pdfinfo", pdf]).stdout.decode("utf-8", "replace")
    match = re.search(r"^Pages:\s+(\d+)", out, re.M)
    return int(match.group(1)) if match else 0


class Office:
    """LibreOffice conversions with a profile of the benchmark's own."""

    def __init__(self, work):
        self.profile = "file://" + os.path.join(work, "office-profile")

    def convert(self, inputs, target, outdir, infilter=None):
        os.makedirs(outdir, exist_ok=True)
        args = ["soffice", "-env:UserInstallation=" + self.profile, "--headless", "--norestore", "--nologo"]
        if infilter:
            args.append("--infilter=" + infilter)
        run(args + ["--convert-to", target, "--outdir", outdir] + list(inputs), timeout=1800)


# --- the corpus -------------------------------------------------------------

WORDS = ("orchard quince medlar pruning harvest ledger window river meadow lantern harbour granite "
         "compass saddle thistle beacon cellar furnace weaver mill barley hazel walnut cider").split()


def prose(seed, count):
    words = []
    state = seed
    for i in range(count):
        state = (state * 1103515245 + 12345) % (1 << 31)
        word = WORDS[state % len(WORDS)]
        words.append(word.capitalize() if i == 0 or words[-1].endswith(".") else word)
        if state % 11 == 0:
            words[-1] += "."
    return " ".join(words) + "."


def png(width, height, colour):
    raw = b"".join(b"\x00" + bytes(colour) * width for _ in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


FODT_HEAD = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
 xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
 xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0"
 xmlns:xlink="http://www.w3.org/1999/xlink" office:version="1.3" office:mimetype="{mime}">
"""


def two_columns_fodt(path):
    paragraphs = "".join('<text:p text:style-name="Body">%s</text:p>' % prose(i, 90) for i in range(14))
    open(path, "w").write(FODT_HEAD.format(mime="application/vnd.oasis.opendocument.text") + """
<office:automatic-styles>
 <style:style style:name="Body" style:family="paragraph"><style:paragraph-properties fo:text-align="justify" fo:margin-bottom="0.2cm"/>
  <style:text-properties fo:font-size="10pt" style:font-name="Liberation Serif"/></style:style>
 <style:style style:name="Title" style:family="paragraph"><style:paragraph-properties fo:text-align="center" fo:margin-bottom="0.4cm"/>
  <style:text-properties fo:font-size="20pt" fo:font-weight="bold"/></style:style>
 <style:style style:name="Cols" style:family="section"><style:section-properties>
  <style:columns fo:column-count="2" fo:column-gap="0.8cm"/></style:section-properties></style:style>
</office:automatic-styles>
<office:body><office:text>
<text:p text:style-name="Title">Notes from the orchard</text:p>
<text:section text:style-name="Cols" text:name="Columns">""" + paragraphs + """</text:section>
</office:text></office:body></office:document>""")


def table_fodt(path):
    rows = [["Fruit", "Count", "Price", "Orchard"]]
    for i in range(18):
        rows.append([WORDS[i % len(WORDS)].capitalize(), str(3 + i * 7), "%.2f" % (0.25 * (i + 1)), WORDS[(i * 5) % len(WORDS)]])
    cells = "".join("<table:table-row>" + "".join(
        '<table:table-cell table:style-name="Cell"><text:p>%s</text:p></table:table-cell>' % c for c in row) +
        "</table:table-row>" for row in rows)
    open(path, "w").write(FODT_HEAD.format(mime="application/vnd.oasis.opendocument.text") + """
<office:automatic-styles>
 <style:style style:name="Cell" style:family="table-cell"><style:table-cell-properties fo:border="0.5pt solid #000000" fo:padding="0.05cm"/></style:style>
 <style:style style:name="Head" style:family="paragraph"><style:text-properties fo:font-size="16pt" fo:font-weight="bold"/></style:style>
</office:automatic-styles>
<office:body><office:text>
<text:p text:style-name="Head">Harvest table</text:p><text:p>""" + prose(3, 60) + """</text:p>
<table:table table:name="Harvest"><table:table-column table:number-columns-repeated="4"/>""" + cells + """</table:table>
<text:p>""" + prose(5, 80) + """</text:p>
</office:text></office:body></office:document>""")


HEBREW = ("זהו משפט ארוך בעברית שנועד לבדוק את סדר המילים בפסקה של כמה שורות, כולל מספרים כמו 2024 ו-3.14 "
          "ומילים באנגלית כמו Mirelune PDF (בסוגריים) ועוד טקסט.")
ARABIC = ("هذه فقرة طويلة باللغة العربية لاختبار ترتيب الكلمات في فقرة من عدة أسطر، مع أرقام مثل 1234 "
          "وكلمات إنجليزية مثل Word Document (بين قوسين) ونص إضافي.")


def right_to_left_fodt(path):
    """Hebrew and Arabic set from the right, with numbers and Latin words inside, and a Latin paragraph."""
    rtl = 'style:writing-mode="rl-tb"'
    font = 'style:font-name="DejaVu Sans" fo:font-family="DejaVu Sans" style:font-family-complex="DejaVu Sans"'
    open(path, "w").write(FODT_HEAD.format(mime="application/vnd.oasis.opendocument.text") + """
<office:automatic-styles>
 <style:style style:name="Head" style:family="paragraph"><style:paragraph-properties %s fo:margin-bottom="0.3cm"/>
  <style:text-properties fo:font-size="18pt" fo:font-weight="bold" style:font-weight-complex="bold" style:font-size-complex="18pt" %s/></style:style>
 <style:style style:name="Right" style:family="paragraph"><style:paragraph-properties %s fo:text-align="justify" fo:margin-bottom="0.3cm"/>
  <style:text-properties %s/></style:style>
 <style:style style:name="Left" style:family="paragraph"><style:paragraph-properties fo:text-align="justify"/>
  <style:text-properties %s/></style:style>
</office:automatic-styles>
<office:body><office:text>
<text:p text:style-name="Head">כותרת מודגשת בעברית</text:p>
""" % (rtl, font, rtl, font, font) + "".join(
        '<text:p text:style-name="Right">%s</text:p>\n' % " ".join([text] * 3) for text in (HEBREW, ARABIC, HEBREW)) + """
<text:p text:style-name="Left">A Latin paragraph with the Hebrew word שלום in it and the number 42 at its end, long
enough to wrap onto a second line of the page.</text:p>
</office:text></office:body></office:document>""")


def slides_fodp(path):
    colours = [(200, 40, 40), (40, 120, 200), (40, 160, 80)]
    pages = []
    for i, colour in enumerate(colours):
        data = base64.b64encode(png(64, 48, colour)).decode()
        pages.append("""<draw:page draw:name="s%d" draw:master-page-name="Default">
 <draw:frame svg:x="1.5cm" svg:y="1cm" svg:width="25cm" svg:height="2.5cm"><draw:text-box><text:p text:style-name="T">Slide %d: %s</text:p></draw:text-box></draw:frame>
 <draw:frame svg:x="1.5cm" svg:y="4.5cm" svg:width="12cm" svg:height="10cm"><draw:text-box><text:p>%s</text:p></draw:text-box></draw:frame>
 <draw:frame svg:x="15cm" svg:y="5cm" svg:width="11cm" svg:height="8cm"><draw:image><office:binary-data>%s</office:binary-data></draw:image></draw:frame>
</draw:page>""" % (i, i + 1, WORDS[i].capitalize(), prose(10 + i, 40), data))
    open(path, "w").write(FODT_HEAD.format(mime="application/vnd.oasis.opendocument.presentation") + """
<office:styles/><office:automatic-styles>
 <style:page-layout style:name="PM"><style:page-layout-properties fo:page-width="28cm" fo:page-height="21cm" fo:margin-top="0cm" fo:margin-bottom="0cm" fo:margin-left="0cm" fo:margin-right="0cm"/></style:page-layout>
 <style:style style:name="T" style:family="paragraph"><style:text-properties fo:font-size="28pt" fo:font-weight="bold"/></style:style>
</office:automatic-styles>
<office:master-styles><style:master-page style:name="Default" style:page-layout-name="PM"/></office:master-styles>
<office:body><office:presentation>""" + "".join(pages) + "</office:presentation></office:body></office:document>")


def manuals(folder):
    found = []
    for path in sorted(glob.glob("/usr/share/doc/*/*.pdf") + glob.glob("/usr/share/doc/*/*.pdf.gz")):
        name = os.path.basename(path).replace(".gz", "")
        target = os.path.join(folder, os.path.basename(os.path.dirname(path)) + "-" + name)
        data = gzip.open(path).read() if path.endswith(".gz") else open(path, "rb").read()
        if not data.startswith(b"%PDF"):
            continue
        open(target, "wb").write(data)
        pages = page_count(target)
        if 0 < pages <= MAX_MANUAL_PAGES:
            found.append((pages, target))
        else:
            os.remove(target)
    found.sort()
    return [path for _, path in found[:MAX_MANUALS]]


def build_corpus(work, office):
    folder = os.path.join(work, "corpus")
    os.makedirs(folder, exist_ok=True)
    pdfs = manuals(folder)
    made = os.path.join(work, "made")
    os.makedirs(made, exist_ok=True)
    two_columns_fodt(os.path.join(made, "two-columns.fodt"))
    table_fodt(os.path.join(made, "table.fodt"))
    slides_fodp(os.path.join(made, "slides.fodp"))
    right_to_left_fodt(os.path.join(made, "right-to-left.fodt"))
    shared = "/usr/lib/libreoffice/share/template/common/"
    texts = sorted(glob.glob(shared + "officorr/*.ott"))[:2]
    texts += [t for t in (shared + "personal/CV.ott", shared + "personal/Resume1page.ott") if os.path.exists(t)]
    decks = sorted(glob.glob("/usr/lib/libreoffice/share/template/*/presnt/*.otp"))[:1]
    # A deck of coloured panels, icons and timelines with text on them, one
    # whose background has see-through pictures cut by clips, one with
    # see-through panels on black, and one with lines drawn as shadings.
    decks += [t for t in (shared + "presnt/" + n + ".otp" for n in ("Candy", "Metropolis", "Piano", "Portfolio"))
              if os.path.exists(t)]
    office.convert([os.path.join(made, n) for n in ("two-columns.fodt", "table.fodt", "right-to-left.fodt")] + texts,
                   "pdf", folder)
    office.convert([os.path.join(made, "slides.fodp")] + decks, "pdf", folder)
    templates = texts + decks
    for name in ["two-columns", "table", "right-to-left", "slides"] + [os.path.splitext(os.path.basename(t))[0] for t in templates]:
        path = os.path.join(folder, name + ".pdf")
        if os.path.exists(path):
            pdfs.append(path)
    return pdfs


# --- the figures --------------------------------------------------------------

def text_of(pdf):
    return run(["pdftotext", "-enc", "UTF-8", pdf, "-"]).stdout.decode("utf-8", "replace")


def line_words(line):
    return [(float(left), float(top), float(right), float(bottom), html.unescape(text)) for left, top, right, bottom, text
            in re.findall(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">(.*?)</word>', line)]


def single_letter(word):
    return len(word[4]) == 1 and word[4].isalpha()


def spread_lines(pdf):
    """Lines whose letters pdftotext reads one by one: (its text, the text with words joined).

    A line of seven words or more, most of them single letters, is judged by its
    own usual gap. Elsewhere on a page with such lines, a line holding three
    single letters in a row ("} e l s e {") joins words where one of two
    neighbours is a single letter and their gap is below twice the page's usual
    gap; two letters in a row (a formula's "n k") are left alone."""
    layout = run(["pdftotext", "-bbox-layout", "-enc", "UTF-8", pdf, "-"]).stdout.decode("utf-8", "replace")
    found = []
    for page in layout.split("<page ")[1:]:
        lines = [line_words(line) for line in re.findall(r"<line[^>]*>(.*?)</line>", page, re.S)]
        sizes = [max((w[3] - w[1] for w in words), default=0) for words in lines]
        usuals = {}
        for index, words in enumerate(lines):
            if len(words) < 7 or sum(map(single_letter, words)) < 0.6 * len(words):
                continue
            usual = sorted(b[0] - a[2] for a, b in zip(words, words[1:]))[(len(words) - 1) // 2]
            if 0.05 * sizes[index] <= usual <= 0.2 * sizes[index]:
                usuals[index] = usual
        if not usuals:
            continue
        page_usual = sorted(usuals.values())[len(usuals) // 2]
        for index, words in enumerate(lines):
            letters = "".join("1" if single_letter(w) else "0" for w in words)
            if index not in usuals and "111" not in letters:
                continue
            size = sizes[index]
            threshold = max(2 * usuals.get(index, page_usual), 0.15 * size)
            joined = [words[0][4]]
            for a, b in zip(words, words[1:]):
                single = len(a[4]) == 1 or len(b[4]) == 1 or index in usuals
                if single and b[0] - a[2] < threshold:
                    joined[-1] += b[4]
                else:
                    joined.append(b[4])
            found.append((" ".join(w[4] for w in words), " ".join(joined)))
    return found


def source_text_of(pdf, plain=False):
    text = text_of(pdf)
    if plain:
        return text
    # Each spread line is put right where pdftotext wrote it, in order.
    parts = []
    at = 0
    for spread, joined in spread_lines(pdf):
        found = text.find(spread, at)
        if found < 0:
            continue
        parts.append(text[at:found] + joined)
        at = found + len(spread)
    return "".join(parts) + text[at:]


def tokens(text):
    # Compatibility forms are the same word to a reader: a ligature glyph's
    # character ("\ufb01") against the letters the engine spells it with ("fi").
    return [t for t in re.split(r"[^\w]+", unicodedata.normalize("NFKC", text).lower()) if t]


def source_words(text):
    """The source's words, with words broken at a line end joined as a reader would."""
    lines = text.split("\n")
    flat = text.replace("-\n", "-")
    joined = []
    for i, line in enumerate(lines):
        stripped = line.rstrip()
        if i + 1 < len(lines) and re.search(r"[A-Za-z]-$", stripped) and re.match(r"\s*[a-z]", lines[i + 1]):
            head = re.search(r"(\w+)-$", stripped).group(1)
            tail = re.match(r"\s*(\w+)", lines[i + 1]).group(1)
            if (head + "-" + tail) in flat and (head + tail) not in flat:
                joined.append(stripped)
            else:
                joined.append(stripped[:-1] + "\x00")
        else:
            joined.append(line)
    return tokens("\n".join(joined).replace("\x00\n", "").replace("\x00", ""))


def distinct_images(pdf):
    out = run(["pdfimages", "-list", pdf]).stdout.decode("utf-8", "replace").splitlines()[2:]
    keys = set()
    for line in out:
        fields = line.split()
        if len(fields) > 11 and fields[2] == "image":
            keys.add((fields[3], fields[4]) if fields[10] == "0" else (fields[10], fields[11]))
    return len(keys)


def grey_pages(pdf, folder, first, last):
    # A kept work folder holds an earlier run's pages, perhaps named with other digits.
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder, exist_ok=True)
    run(["pdftoppm", "-r", str(LOOK_DPI), "-gray", "-f", str(first), "-l", str(last), pdf, os.path.join(folder, "p")])
    pages = []
    for path in sorted(glob.glob(os.path.join(folder, "p-*.pgm"))):
        data = open(path, "rb").read()
        header = re.match(rb"P5\s+(\d+)\s+(\d+)\s+(\d+)\s", data)
        width, height = int(header.group(1)), int(header.group(2))
        pixels = data[header.end():]
        pages.append((width, height, pixels))
    return pages


def dice(a, b):
    width, height = min(a[0], b[0]), min(a[1], b[1])
    ink_a = ink_b = both = 0
    for y in range(height):
        row_a = a[2][y * a[0]:y * a[0] + width]
        row_b = b[2][y * b[0]:y * b[0] + width]
        for pa, pb in zip(row_a, row_b):
            ia, ib = pa < 128, pb < 128
            ink_a += ia
            ink_b += ib
            both += ia and ib
    # Rows the other rendering lacks count as ink not matched.
    ink_a += sum(p < 128 for p in a[2][height * a[0]:])
    ink_b += sum(p < 128 for p in b[2][height * b[0]:])
    return 1.0 if ink_a + ink_b == 0 else 2.0 * both / (ink_a + ink_b)


def figures(source, reopened, work, tag, source_text, source_images):
    if not reopened or not os.path.exists(reopened):
        return None
    src_pages = page_count(source)
    out_pages = page_count(reopened)
    src = source_words(source_text)
    out = tokens(text_of(reopened))
    src_count = collections.Counter(src)
    out_count = collections.Counter(out)
    recall = sum(min(n, out_count[w]) for w, n in src_count.items()) / max(1, len(src))
    src_pairs = collections.Counter(zip(src, src[1:]))
    out_pairs = collections.Counter(zip(out, out[1:]))
    order = sum(min(n, out_pairs[p]) for p, n in src_pairs.items()) / max(1, sum(src_pairs.values()))
    known = set(src)
    split = 100.0 * sum(1 for w in out if w not in known) / max(1, len(out))
    images = distinct_images(reopened)
    last = min(LOOK_PAGES, src_pages)
    a = grey_pages(source, os.path.join(work, "look", tag, "src"), 1, last)
    b = grey_pages(reopened, os.path.join(work, "look", tag, "out"), 1, last)
    looks = [dice(a[i], b[i]) if i < len(b) else 0.0 for i in range(len(a))]
    look = sum(looks) / len(looks) if looks else 0.0
    return {"words": len(src), "pages": out_pages / max(1, src_pages), "recall": recall, "order": order,
            "images": (images, source_images), "split": split, "look": look}


def convert(tool, route, pdf, docx):
    started = time.monotonic()
    result = run([tool, route, pdf, docx], timeout=900)
    if result.returncode != 0:
        sys.stderr.write("%s %s failed: %s\n" % (route, os.path.basename(pdf), result.stderr.decode()[-300:]))
        return None, time.monotonic() - started
    return docx, float(result.stdout.decode().strip() or 0)


def arguments(argv):
    only = []
    plain = "--plain-source" in argv
    argv = [arg for arg in argv if arg != "--plain-source"]
    if "--only" in argv:
        at = argv.index("--only")
        if at + 1 >= len(argv):
            sys.exit(__doc__)
        only = [part for part in argv[at + 1].split(",") if part]
        argv = argv[:at] + argv[at + 2:]
    if len(argv) < 2:
        sys.exit(__doc__)
    return argv, only, plain


def main():
    argv, only, plain = arguments(sys.argv)
    tool = os.path.join(os.path.abspath(argv[1]), "bench", "service", "bench_pdf_convert")
    work = os.path.abspath(argv[2]) if len(argv) > 2 else tempfile.mkdtemp(prefix="pdf-to-word-")
    os.makedirs(work, exist_ok=True)
    office = Office(work)
    pdfs = build_corpus(work, office)
    if only:
        pdfs = [pdf for pdf in pdfs if any(part in os.path.basename(pdf) for part in only)]
    routes = {"new": "word", "old": "word-html"}
    made = {route: [] for route in routes}
    seconds = {}
    for pdf in pdfs:
        name = os.path.splitext(os.path.basename(pdf))[0]
        for route, kind in routes.items():
            folder = os.path.join(work, route)
            os.makedirs(folder, exist_ok=True)
            # An earlier run's result must not stand in for a failed conversion.
            for stale in (os.path.join(folder, name + ".docx"), os.path.join(folder, "reopened", name + ".pdf")):
                if os.path.exists(stale):
                    os.remove(stale)
            docx, secs = convert(tool, kind, pdf, os.path.join(folder, name + ".docx"))
            seconds[(route, name)] = secs
            if docx:
                made[route].append(docx)
    for route in routes:
        office.convert(made[route], "pdf", os.path.join(work, route, "reopened"))
    header = "%-34s %5s | %-5s %6s %6s %5s %7s %5s %5s | %-5s %6s %6s %5s %7s %5s" % (
        "document", "pages", "new", "recall", "order", "split", "images", "look", "secs",
        "old", "recall", "order", "split", "images", "look")
    print(header)
    print("-" * len(header))
    totals = {route: collections.defaultdict(list) for route in routes}
    for pdf in pdfs:
        name = os.path.splitext(os.path.basename(pdf))[0]
        text = source_text_of(pdf, plain)
        images = distinct_images(pdf)
        row = "%-34s %5d" % (name[:34], page_count(pdf))
        for route in routes:
            reopened = os.path.join(work, route, "reopened", name + ".pdf")
            f = figures(pdf, reopened, work, route + "-" + name, text, images)
            if f is None:
                row += " | %-5s" % "fail"
                continue
            # A document without text (a template of empty frames) says nothing about words.
            keys = ("pages", "recall", "order", "split", "look") if f["words"] else ("pages", "look")
            for key in keys:
                totals[route][key].append(f[key])
            totals[route]["images"].append(1.0 if f["images"][1] == 0 else min(1.0, f["images"][0] / f["images"][1]))
            words = ("%6.3f %6.3f %5.2f" % (f["recall"], f["order"], f["split"]) if f["words"]
                     else "%6s %6s %5s" % ("-", "-", "-"))
            row += " | %5.2f %s %7s %5.2f" % (f["pages"], words, "%d/%d" % f["images"], f["look"])
            if route == "new":
                row += " %5.2f" % seconds[(route, name)]
        print(row)
    print("-" * len(header))
    for route in routes:
        t = totals[route]
        if not t["look"]:
            continue
        mean = lambda key: sum(t[key]) / len(t[key])
        print("%s route, mean over %d documents: pages %.2f  recall %.3f  order %.3f  split %.2f  images kept %.2f  "
              "look %.2f (lowest %.2f)" % (route, len(t["look"]), mean("pages"), mean("recall"), mean("order"),
                                           mean("split"), mean("images"), mean("look"), min(t["look"])))
    print("work folder: " + work)


if __name__ == "__main__":
    main()

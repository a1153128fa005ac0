#!/usr/bin/env python3
"""Builds the benchmark corpora, deterministically (fixed seed).

  P  about 256 MB of prose in about 2,000 files: mostly code page 1252 with
     typographic quotes and dashes, about a tenth UTF-16LE with a byte-order mark
  S  20,000 small files of 2 to 8 KB in a tree six levels deep
  X  translation files: about 1,000 XLIFF, 200 XLZ and 200 TTX files
  M  one TMX memory of about 200 MB, and the same units as one XLIFF file
  D  office documents: about 200 DOCX, XLSX, PPTX, ODT, ODS and ODP files,
     and 50 MB of TMX in five memories

The rare word appears in about 1 % of the files of each corpus.
"""
import io
import os
import random
import sys
import zipfile

RARE = "quorrazyx"
SEED = 20261207

SYLLABLES = ["ka", "lo", "ren", "ti", "mar", "sel", "do", "vin", "tra", "pe", "los", "qua", "ber",
             "ni", "sto", "gal", "fe", "ur", "an", "mo", "ris", "tel", "va", "cho", "pri", "den"]
COMMON = ["the", "of", "and", "to", "in", "is", "that", "for", "it", "with", "as", "was", "on",
          "colour", "color", "colours", "translation", "file", "project", "term", "review"]
GERMAN = ["der", "die", "das", "und", "über", "Größe", "schön", "Straße", "für", "Übersetzung",
          "Farbe", "Datei", "Prüfung", "weiß", "größer", "Äpfel"]


def make_words(rng, count):
    words = set()
    while len(words) < count:
        words.add("".join(rng.choice(SYLLABLES) for _ in range(rng.randint(1, 4))))
    return sorted(words)


def make_sentences(rng, words, count, extra=COMMON):
    pool = []
    for _ in range(count):
        n = rng.randint(6, 22)
        chosen = [rng.choice(extra) if rng.random() < 0.35 else rng.choice(words) for _ in range(n)]
        chosen[0] = chosen[0].capitalize()
        s = " ".join(chosen)
        r = rng.random()
        if r < 0.12:
            s = s.replace(" ", " \u201c", 1) + "\u201d"
        elif r < 0.2:
            s = s.replace(" ", " \u2013 ", 1)
        elif r < 0.25:
            s = s + " \u2018quoted\u2019"
        pool.append(s + (". " if rng.random() < 0.85 else ".\r\n"))
    return pool


def text_of_size(rng, pool, size):
    parts, total = [], 0
    while total < size:
        chunk = rng.choices(pool, k=64)
        parts.extend(chunk)
        total += sum(len(c) for c in chunk)
    return "".join(parts)


def with_rare(rng, text):
    # One to three occurrences at sentence boundaries.
    for _ in range(rng.randint(1, 3)):
        at = text.find(". ", rng.randrange(len(text)))
        if at < 0:
            at = 0
        text = text[:at + 2] + "The " + RARE + " turns up here. " + text[at + 2:]
    return text


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def build_p(root, rng, pool):
    count = 2000
    rare = set(rng.sample(range(count), count // 100))
    for i in range(count):
        size = int(rng.lognormvariate(11.36, 0.8))  # median about 80 KB
        size = max(4096, min(size, 2_000_000))
        text = text_of_size(rng, pool, size)
        if i in rare:
            text = with_rare(rng, text)
        folder = os.path.join(root, "P", "set%02d" % (i % 20))
        if i % 10 == 3:
            write(os.path.join(folder, "doc%04d.txt" % i), b"\xff\xfe" + text.encode("utf-16-le"))
        else:
            write(os.path.join(folder, "doc%04d.txt" % i), text.encode("cp1252", "replace"))


def build_s(root, rng, pool):
    dirs = [""]
    level = [""]
    for depth in range(6):
        level = [os.path.join(d, "d%d_%d" % (depth, k)) for d in level for k in range(3)]
        dirs.extend(level)
    count = 20000
    rare = set(rng.sample(range(count), count // 100))
    for i in range(count):
        text = text_of_size(rng, pool, rng.randint(2048, 8192 - 200))
        if i in rare:
            text = with_rare(rng, text)
        data = text.encode("cp1252", "replace")[:8192]
        write(os.path.join(root, "S", rng.choice(dirs), "f%05d.txt" % i), data)


def xml_escape(s):
    return s.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def units(rng, pool, german, size, rare):
    parts, total, n = [], 0, 0
    while total < size:
        n += 1
        src = rng.choice(pool).strip()
        tgt = rng.choice(german).strip()
        if rare and n == 3:
            src = src + " " + RARE
        u = ('<trans-unit id="%d"><source>%s</source><target state="translated">%s</target>'
             "</trans-unit>\n" % (n, xml_escape(src), xml_escape(tgt)))
        parts.append(u)
        total += len(u)
    return "".join(parts)


def xliff_document(body):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<xliff version="1.2">'
            '<file original="doc.docx" source-language="en-US" target-language="de-DE" datatype="x-docx">'
            "<body>\n" + body + "</body></file></xliff>\n")


def build_x(root, rng, pool, german):
    n_xliff, n_xlz, n_ttx = 1000, 200, 200
    total = n_xliff + n_xlz + n_ttx
    rare = set(rng.sample(range(total), total // 100))
    k = 0
    for i in range(n_xliff):
        body = units(rng, pool, german, int(rng.uniform(50_000, 220_000)), k in rare)
        write(os.path.join(root, "X", "xliff", "f%04d.xlf" % i), xliff_document(body).encode("utf-8"))
        k += 1
    for i in range(n_xlz):
        body = units(rng, pool, german, int(rng.uniform(100_000, 300_000)), k in rare)
        buf = io.BytesIO()
        with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("skeleton.skl", "<skeleton/>")
            z.writestr("content.xlf", xliff_document(body))
        write(os.path.join(root, "X", "xlz", "p%04d.xlz" % i), buf.getvalue())
        k += 1
    for i in range(n_ttx):
        parts, size, n = [], int(rng.uniform(60_000, 200_000)), 0
        while size > 0:
            n += 1
            src = xml_escape(rng.choice(pool).strip() + (" " + RARE if k in rare and n == 2 else ""))
            tgt = xml_escape(rng.choice(german).strip())
            tu = ('<Tu MatchPercent="0"><Tuv Lang="EN-US">%s</Tuv><Tuv Lang="DE-DE">%s</Tuv></Tu>'
                  '<ut Type="start" Style="external">&lt;cf&gt;</ut>\n' % (src, tgt))
            parts.append(tu)
            size -= len(tu)
        doc = ('<TRADOStag Version="2.0"><FrontMatter><ToolSettings CreationTool="Bench"/></FrontMatter>'
               "<Body><Raw>\n" + "".join(parts) + "</Raw></Body></TRADOStag>\n")
        write(os.path.join(root, "X", "ttx", "t%04d.ttx" % i), b"\xff\xfe" + doc.encode("utf-16-le"))
        k += 1


def build_m(root, rng, pool, german):
    """One TMX memory of about 200 MB and an XLIFF file of the same units."""
    size = 200_000_000
    os.makedirs(os.path.join(root, "M", "tmx"), exist_ok=True)
    os.makedirs(os.path.join(root, "M", "xliff"), exist_ok=True)
    with open(os.path.join(root, "M", "tmx", "memory.tmx"), "wb") as tmx, \
            open(os.path.join(root, "M", "xliff", "memory.xlf"), "wb") as xlf:
        tmx.write(b'<?xml version="1.0" encoding="UTF-8"?>\n<tmx version="1.4"><header creationtool="bench" '
                  b'srclang="en-US" datatype="plaintext" segtype="sentence" o-tmf="x" adminlang="en"/><body>\n')
        xlf.write(xliff_document("").split("</body>")[0].encode("utf-8"))
        total, n = 0, 0
        while total < size:
            tus, units_ = [], []
            for _ in range(1000):
                n += 1
                src = xml_escape(rng.choice(pool).strip() + (" " + RARE if n % 100000 == 3 else ""))
                tgt = xml_escape(rng.choice(german).strip())
                tus.append('<tu tuid="%d"><tuv xml:lang="en-US"><seg>%s</seg></tuv><tuv xml:lang="de-DE"><seg>%s</seg>'
                           "</tuv></tu>\n" % (n, src, tgt))
                units_.append('<trans-unit id="%d"><source>%s</source><target>%s</target></trans-unit>\n'
                              % (n, src, tgt))
            block = "".join(tus).encode("utf-8")
            tmx.write(block)
            xlf.write("".join(units_).encode("utf-8"))
            total += len(block)
        tmx.write(b"</body></tmx>\n")
        xlf.write(b"</body></file></xliff>\n")


W_NS = 'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"'
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"


def rels(items):
    return ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<Relationships '
            'xmlns="http://schemas.openxmlformats.org/package/2006/relationships">' +
            "".join('<Relationship Id="rId%d" Type="%s%s" Target="%s"/>' % (i + 1, REL, t, target)
                    for i, (t, target) in enumerate(items)) + "</Relationships>")


def package(path, parts):
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts:
            z.writestr(zipfile.ZipInfo(name) if name != "mimetype" else name, data,
                       zipfile.ZIP_STORED if name == "mimetype" else zipfile.ZIP_DEFLATED)
    write(path, buf.getvalue())


def sentences(rng, pool, size, rare):
    out, total = [], 0
    while total < size:
        s = xml_escape(rng.choice(pool).strip())
        out.append(s)
        total += len(s)
    if rare:
        out[len(out) // 2] += " " + RARE
    return out


def docx(rng, pool, size, rare):
    body = []
    for i, s in enumerate(sentences(rng, pool, size, rare)):
        words = s.split(" ")
        cut = max(1, len(words) // 3)
        runs = ('<w:r><w:rPr><w:b/></w:rPr><w:t xml:space="preserve">%s </w:t></w:r>'
                '<w:r><w:t>%s</w:t></w:r>' % (" ".join(words[:cut]), " ".join(words[cut:])))
        style = '<w:pPr><w:pStyle w:val="Heading1"/></w:pPr>' if i % 25 == 0 else ""
        body.append("<w:p>%s%s</w:p>" % (style, runs))
    document = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<w:document %s><w:body>%s'
                '<w:sectPr/></w:body></w:document>' % (W_NS, "".join(body)))
    styles = ('<w:styles %s><w:style w:type="paragraph" w:styleId="Heading1"><w:name w:val="heading 1"/>'
              '<w:rPr><w:b/></w:rPr></w:style></w:styles>' % W_NS)
    return [("[Content_Types].xml", "<Types/>"), ("_rels/.rels", rels([("officeDocument", "word/document.xml")])),
            ("word/document.xml", document), ("word/_rels/document.xml.rels", rels([("styles", "styles.xml")])),
            ("word/styles.xml", styles), ("docProps/core.xml", "<cp:coreProperties/>")]


def xlsx(rng, pool, size, rare):
    strings = sentences(rng, pool, size // 2, rare)
    sst = ('<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="%d" uniqueCount="%d">%s</sst>'
           % (len(strings), len(strings), "".join("<si><t>%s</t></si>" % s for s in strings)))
    rows = []
    for r in range(len(strings) // 2):
        rows.append('<row r="%d"><c r="A%d" t="s"><v>%d</v></c><c r="B%d" t="s"><v>%d</v></c><c r="C%d"><v>%d</v></c></row>'
                    % (r + 1, r + 1, 2 * r, r + 1, 2 * r + 1, r + 1, rng.randint(0, 99999)))
    sheet = ('<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>%s</sheetData>'
             '</worksheet>' % "".join(rows))
    workbook = ('<workbook xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><sheets>'
                '<sheet name="Terms" sheetId="1" r:id="rId2"/></sheets></workbook>')
    return [("_rels/.rels", rels([("officeDocument", "xl/workbook.xml")])), ("xl/workbook.xml", workbook),
            ("xl/_rels/workbook.xml.rels", rels([("sharedStrings", "sharedStrings.xml"), ("worksheet", "worksheets/sheet1.xml")])),
            ("xl/sharedStrings.xml", sst), ("xl/worksheets/sheet1.xml", sheet)]


def pptx(rng, pool, size, rare):
    texts = sentences(rng, pool, size, rare)
    per = 8
    slides = [texts[i:i + per] for i in range(0, len(texts), per)]
    ns = ('xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
          'xmlns:p="http://schemas.openxmlformats.org/presentationml/2006/main" '
          'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"')
    parts = [("_rels/.rels", rels([("officeDocument", "ppt/presentation.xml")]))]
    ids = "".join('<p:sldId id="%d" r:id="rId%d"/>' % (256 + i, i + 1) for i in range(len(slides)))
    parts.append(("ppt/presentation.xml", "<p:presentation %s><p:sldIdLst>%s</p:sldIdLst></p:presentation>" % (ns, ids)))
    parts.append(("ppt/_rels/presentation.xml.rels", rels([("slide", "slides/slide%d.xml" % (i + 1)) for i in range(len(slides))])))
    for i, group in enumerate(slides):
        paras = "".join('<a:p><a:r><a:rPr lang="en-US"/><a:t>%s</a:t></a:r></a:p>' % t for t in group[1:])
        slide = ('<p:sld %s><p:cSld><p:spTree><p:sp><p:nvSpPr><p:cNvPr id="2" name="Title"/></p:nvSpPr><p:txBody>'
                 '<a:bodyPr/><a:p><a:r><a:t>%s</a:t></a:r></a:p></p:txBody></p:sp><p:sp><p:txBody><a:bodyPr/>%s'
                 '</p:txBody></p:sp></p:spTree></p:cSld></p:sld>' % (ns, group[0], paras))
        parts.append(("ppt/slides/slide%d.xml" % (i + 1), slide))
        parts.append(("ppt/slides/_rels/slide%d.xml.rels" % (i + 1), rels([("notesSlide", "../notesSlides/notesSlide%d.xml" % (i + 1))])))
        parts.append(("ppt/notesSlides/notesSlide%d.xml" % (i + 1),
                      "<p:notes %s><p:cSld><p:spTree><p:sp><p:txBody><a:p><a:r><a:t>Note %d</a:t></a:r></a:p>"
                      "</p:txBody></p:sp></p:spTree></p:cSld></p:notes>" % (ns, i)))
    return parts


ODF_NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
          'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
          'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
          'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
          'xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0" '
          'xmlns:presentation="urn:oasis:names:tc:opendocument:xmlns:presentation:1.0"')


def odf(kind, rng, pool, size, rare):
    texts = sentences(rng, pool, size, rare)
    if kind == "odt":
        body = "<office:text>%s</office:text>" % "".join(
            '<text:p text:style-name="P1">%s <text:span text:style-name="T1">%s</text:span></text:p>'
            % (t[: len(t) // 2], t[len(t) // 2:]) for t in texts)
    elif kind == "ods":
        rows = "".join('<table:table-row><table:table-cell office:value-type="string"><text:p>%s</text:p>'
                       '</table:table-cell><table:table-cell office:value-type="float" office:value="%d"><text:p>%d'
                       '</text:p></table:table-cell><table:table-cell table:number-columns-repeated="1020"/>'
                       '</table:table-row>' % (t, i, i) for i, t in enumerate(texts))
        body = ('<office:spreadsheet><table:table table:name="Terms">%s<table:table-row table:number-rows-repeated='
                '"1048000"><table:table-cell table:number-columns-repeated="1024"/></table:table-row></table:table>'
                '</office:spreadsheet>' % rows)
    else:
        pages = "".join('<draw:page draw:name="p%d"><draw:frame><draw:text-box>%s</draw:text-box></draw:frame>'
                        '<presentation:notes><draw:frame><draw:text-box><text:p>Note %d</text:p></draw:text-box>'
                        '</draw:frame></presentation:notes></draw:page>'
                        % (i, "".join("<text:p>%s</text:p>" % t for t in texts[i:i + 8]), i)
                        for i in range(0, len(texts), 8))
        body = "<office:presentation>%s</office:presentation>" % pages
    content = ('<?xml version="1.0" encoding="UTF-8"?>\n<office:document-content %s office:version="1.3">'
               '<office:automatic-styles><style:style style:name="P1" style:family="paragraph"/><style:style '
               'style:name="T1" style:family="text"/></office:automatic-styles><office:body>%s</office:body>'
               '</office:document-content>' % (ODF_NS, body))
    styles = ('<office:document-styles %s><office:styles/><office:master-styles/></office:document-styles>' % ODF_NS)
    return [("mimetype", "application/vnd.oasis.opendocument." + {"odt": "text", "ods": "spreadsheet", "odp": "presentation"}[kind]),
            ("content.xml", content), ("styles.xml", styles), ("META-INF/manifest.xml", "<manifest/>")]


def build_d(root, rng, pool, german):
    kinds = [("docx", 60), ("xlsx", 40), ("pptx", 40), ("odt", 20), ("ods", 20), ("odp", 20)]
    total = sum(n for _, n in kinds)
    rare = set(rng.sample(range(total), max(2, total // 100)))
    k = 0
    for kind, n in kinds:
        for i in range(n):
            size = int(rng.uniform(100_000, 600_000))
            if kind == "docx":
                parts = docx(rng, pool, size, k in rare)
            elif kind == "xlsx":
                parts = xlsx(rng, pool, size, k in rare)
            elif kind == "pptx":
                parts = pptx(rng, pool, size, k in rare)
            else:
                parts = odf(kind, rng, pool, size, k in rare)
            package(os.path.join(root, "D", kind, "d%03d.%s" % (i, kind)), parts)
            k += 1
    for i in range(5):
        tus, total_bytes, n = [], 0, 0
        while total_bytes < 10_000_000:
            n += 1
            src = xml_escape(rng.choice(pool).strip() + (" " + RARE if i == 2 and n == 7 else ""))
            tgt = xml_escape(rng.choice(german).strip())
            tu = ('<tu tuid="%d"><tuv xml:lang="en-US"><seg>%s</seg></tuv><tuv xml:lang="de-DE"><seg>%s</seg></tuv>'
                  "</tu>\n" % (n, src, tgt))
            tus.append(tu)
            total_bytes += len(tu)
        doc = ('<?xml version="1.0" encoding="UTF-8"?>\n<tmx version="1.4"><header srclang="en-US"/><body>\n' +
               "".join(tus) + "</body></tmx>\n")
        write(os.path.join(root, "D", "tmx", "m%d.tmx" % i), doc.encode("utf-8"))


def main():
    root = sys.argv[1]
    which = sys.argv[2] if len(sys.argv) > 2 else "PSX"
    rng = random.Random(SEED)
    words = make_words(rng, 3000)
    pool = make_sentences(rng, words, 20000)
    german = make_sentences(rng, words, 5000, GERMAN)
    if "P" in which:
        build_p(root, random.Random(SEED + 1), pool)
    if "S" in which:
        build_s(root, random.Random(SEED + 2), pool)
    if "X" in which:
        build_x(root, random.Random(SEED + 3), pool, german)
    if "D" in which:
        build_d(root, random.Random(SEED + 5), pool, german)
    if "M" in which:
        build_m(root, random.Random(SEED + 4), pool, german)


if __name__ == "__main__":
    main()

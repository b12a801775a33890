#!/usr/bin/python3
"""to_shared_strings.py IN.xlsx OUT.xlsx

Rewrites a workbook whose texts are inline strings (as openpyxl writes them)
the way Excel stores them: every text cell becomes an index into one
shared-strings table (xl/sharedStrings.xml, each distinct text once, in order
of first use), with its content type and relationship; relationship targets
become relative to the part that holds them, as Excel writes them. Other parts
are copied as they are. Streams the worksheets in chunks, so a million-row
sheet does not have to fit in memory at once.
"""
import posixpath
import re
import sys
import zipfile

MAIN_NS = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
SST_TYPE = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings"
SST_CONTENT = "application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"

# <c r="A2" t="inlineStr"><is><t>text</t></is></c>, the text already XML-escaped.
INLINE = re.compile(
    rb'<c ((?:(?!t=)[^>])*?)\s*t="inlineStr"((?:[^>/])*)><is><t(?: [^>]*)?>(.*?)</t></is></c>',
    re.S)
EMPTY_INLINE = re.compile(rb'<c ((?:(?!t=)[^>])*?)\s*t="inlineStr"((?:[^>/])*)><is><t\s*/></is></c>')
TARGET = re.compile(rb'Target="(/[^"]*)"')
CHUNK = 8 << 20


def main():
    source, target = sys.argv[1], sys.argv[2]
    strings = {}
    order = []

    def index_of(text):
        found = strings.get(text)
        if found is None:
            found = strings[text] = len(order)
            order.append(text)
        return found

    def replace(match):
        attributes = (match.group(1) + match.group(2)).strip()
        return b'<c %s t="s"><v>%d</v></c>' % (attributes, index_of(match.group(3)))

    def replace_empty(match):
        attributes = (match.group(1) + match.group(2)).strip()
        return b'<c %s t="s"><v>%d</v></c>' % (attributes, index_of(b""))

    uses = 0
    with zipfile.ZipFile(source) as zin, \
            zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as zout:
        for info in zin.infolist():
            name = info.filename
            if name.startswith("xl/worksheets/") and name.endswith(".xml"):
                with zin.open(info) as part, zout.open(name, "w", force_zip64=True) as out:
                    pending = b""
                    while True:
                        block = part.read(CHUNK)
                        data = pending + block
                        if block:
                            cut = data.rfind(b"</row>")
                            if cut < 0:
                                pending = data
                                continue
                            cut += len(b"</row>")
                            data, pending = data[:cut], data[cut:]
                        else:
                            pending = b""
                        data, n = INLINE.subn(replace, data)
                        uses += n
                        data, n = EMPTY_INLINE.subn(replace_empty, data)
                        uses += n
                        out.write(data)
                        if not block:
                            break
                continue
            data = zin.read(info)
            if name.endswith(".rels"):
                # Targets relative to the folder of the part the relationships
                # belong to: _rels/.rels -> package root, xl/_rels/x.rels -> xl/.
                folder = posixpath.dirname(posixpath.dirname(name))
                data = TARGET.sub(
                    lambda m: b'Target="%s"' % posixpath.relpath(
                        m.group(1).decode()[1:], folder or ".").encode(), data)
            if name == "xl/_rels/workbook.xml.rels":
                data = data.replace(
                    b"</Relationships>",
                    b'<Relationship Id="rIdSst1" Type="%s" Target="sharedStrings.xml"/>'
                    b"</Relationships>" % SST_TYPE.encode())
            if name == "[Content_Types].xml":
                data = data.replace(
                    b"</Types>",
                    b'<Override PartName="/xl/sharedStrings.xml" ContentType="%s"/></Types>'
                    % SST_CONTENT.encode())
            zout.writestr(info, data, compress_type=zipfile.ZIP_DEFLATED)
        with zout.open("xl/sharedStrings.xml", "w", force_zip64=True) as out:
            out.write(b'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n')
            out.write(b'<sst xmlns="%s" count="%d" uniqueCount="%d">'
                      % (MAIN_NS.encode(), uses, len(order)))
            buffered = []
            for text in order:
                if text[:1].isspace() or text[-1:].isspace():
                    buffered.append(b'<si><t xml:space="preserve">%s</t></si>' % text)
                else:
                    buffered.append(b"<si><t>%s</t></si>" % text)
                if len(buffered) >= 4096:
                    out.write(b"".join(buffered))
                    buffered.clear()
            out.write(b"".join(buffered))
            out.write(b"</sst>")
    print("%s: %d text cells, %d distinct texts" % (target, uses, len(order)))


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Writes outline.docx: the smallest Word package (content types, package relationships and the main
document part) holding a two-level list. Run once; the result is committed."""

import pathlib
import zipfile

HERE = pathlib.Path(__file__).resolve().parent
W = "http://schemas.openxmlformats.org/wordprocessingml/2006/main"

CONTENT_TYPES = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>"""

RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>"""


def paragraph(text, level=None):
    numbering = ""
    if level is not None:
        numbering = f'<w:pPr><w:numPr><w:ilvl w:val="{level}"/><w:numId w:val="1"/></w:numPr></w:pPr>'
    return f"<w:p>{numbering}<w:r><w:t>{text}</w:t></w:r></w:p>"


BODY = "".join([paragraph("Groceries"), paragraph("Milk", 0), paragraph("Oat", 1), paragraph("Bread", 0)])
DOCUMENT = f"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:document xmlns:w="{W}"><w:body>{BODY}</w:body></w:document>"""

with zipfile.ZipFile(HERE / "outline.docx", "w", zipfile.ZIP_DEFLATED) as package:
    package.writestr("[Content_Types].xml", CONTENT_TYPES)
    package.writestr("_rels/.rels", RELS)
    package.writestr("word/document.xml", DOCUMENT)

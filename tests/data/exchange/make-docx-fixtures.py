#!/usr/bin/env python3
"""Writes the .docx fixtures of this folder: Word documents in the shapes two kinds of writers give
them, made by hand so no outside file is copied. Run once; the results are committed.

word-list.docx     numbered list paragraphs (w:numPr/w:ilvl) with the parts a word processor adds
                   (styles, settings, fonts, theme, properties), revision marks, a field, a table
                   and a text box.
style-list.docx    list paragraphs by style ("ListBullet", "ListBullet2") without w:numPr, and a
                   document part that is not called document.xml.
"""

import pathlib
import zipfile

HERE = pathlib.Path(__file__).resolve().parent
W = "http://schemas.openxmlformats.org/wordprocessingml/2006/main"

CONTENT_TYPES = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" ContentType="application/xml"/><Override PartName="/{main}" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/><Override PartName="/word/numbering.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.numbering+xml"/><Override PartName="/word/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml"/><Override PartName="/word/settings.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml"/><Override PartName="/word/fontTable.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.fontTable+xml"/><Override PartName="/word/theme/theme1.xml" ContentType="application/vnd.openxmlformats-officedocument.theme+xml"/><Override PartName="/docProps/core.xml" ContentType="application/vnd.openxmlformats-package.core-properties+xml"/><Override PartName="/docProps/app.xml" ContentType="application/vnd.openxmlformats-officedocument.extended-properties+xml"/></Types>"""

PACKAGE_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties" Target="docProps/app.xml"/><Relationship Id="rId2" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="docProps/core.xml"/><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="{main}"/></Relationships>"""

DOCUMENT_RELS = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId4" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/fontTable" Target="fontTable.xml"/><Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/settings" Target="settings.xml"/><Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/numbering" Target="numbering.xml"/><Relationship Id="rId5" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/theme" Target="theme/theme1.xml"/><Relationship Id="rId6" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink" Target="https://example.org/trip" TargetMode="External"/></Relationships>"""

NAMESPACES = ('xmlns:wpc="http://schemas.microsoft.com/office/word/2010/wordprocessingCanvas" '
              'xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006" '
              'xmlns:o="urn:schemas-microsoft-com:office:office" '
              'xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" '
              'xmlns:v="urn:schemas-microsoft-com:vml" '
              'xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing" '
              'xmlns:w10="urn:schemas-microsoft-com:office:word" '
              f'xmlns:w="{W}" '
              'xmlns:w14="http://schemas.microsoft.com/office/word/2010/wordml" '
              'xmlns:wps="http://schemas.microsoft.com/office/word/2010/wordprocessingShape" '
              'xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" '
              'mc:Ignorable="w14 wp14"')


def item(level, runs, rsid="00A1B2C3"):
    return (f'<w:p w:rsidR="{rsid}" w:rsidRDefault="{rsid}" w:rsidP="{rsid}"><w:pPr><w:pStyle w:val="ListParagraph"/>'
            f'<w:numPr><w:ilvl w:val="{level}"/><w:numId w:val="1"/></w:numPr><w:rPr><w:lang w:val="en-GB"/></w:rPr></w:pPr>'
            f'{runs}</w:p>')


def r(text, props=""):
    space = ' xml:space="preserve"' if text != text.strip() else ""
    return f'<w:r><w:rPr>{props}<w:lang w:val="en-GB"/></w:rPr><w:t{space}>{text}</w:t></w:r>'


WORD_BODY = "".join([
    '<w:p w:rsidR="00A1B2C3" w:rsidRDefault="00A1B2C3"><w:pPr><w:pStyle w:val="Title"/></w:pPr>',
    '<w:bookmarkStart w:id="0" w:name="_GoBack"/>', r("Trip to "), '<w:proofErr w:type="spellStart"/>', r("Montréal"),
    '<w:proofErr w:type="spellEnd"/><w:bookmarkEnd w:id="0"/></w:p>',
    item(0, r("Day 1")),
    item(1, r("Old town ") + r("–") + r(" walk", "<w:i/>")),
    item(2, r("Café") + '<w:del w:id="1" w:author="A. Writer" w:date="2024-03-05T10:00:00Z"><w:r><w:delText> bar</w:delText></w:r></w:del>'
         + '<w:ins w:id="2" w:author="A. Writer" w:date="2024-03-05T10:00:00Z">' + r(" stop") + "</w:ins>"),
    item(1, '<w:hyperlink r:id="rId6" w:history="1">' + r("Map", '<w:rStyle w:val="Hyperlink"/>') + "</w:hyperlink>"
         + '<w:r><w:tab/></w:r><w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText xml:space="preserve"> PAGE </w:instrText></w:r>'
         + '<w:r><w:fldChar w:fldCharType="separate"/></w:r>' + r("1") + '<w:r><w:fldChar w:fldCharType="end"/></w:r>'),
    item(0, r("Day 2") + '<w:r><w:br/></w:r>' + r("rest day")),
    '<w:p><w:pPr><w:tabs><w:tab w:val="left" w:pos="1440"/></w:tabs></w:pPr>'
    '<w:r><mc:AlternateContent><mc:Choice Requires="wps"><w:drawing><wp:anchor><a:graphic><a:graphicData>'
    '<wps:wsp><wps:txbx><w:txbxContent><w:p>' + r("Note box") + '</w:p></w:txbxContent></wps:txbx></wps:wsp>'
    '</a:graphicData></a:graphic></wp:anchor></w:drawing></mc:Choice><mc:Fallback><w:pict><v:shape><v:textbox>'
    '<w:txbxContent><w:p>' + r("Note box") + '</w:p></w:txbxContent></v:textbox></v:shape></w:pict></mc:Fallback>'
    '</mc:AlternateContent></w:r>' + r("Budget") + '<w:r><w:tab/></w:r>' + r("€ 300") + '</w:p>',
    '<w:tbl><w:tblPr><w:tblStyle w:val="TableGrid"/><w:tblW w:w="0" w:type="auto"/></w:tblPr><w:tblGrid><w:gridCol w:w="4675"/><w:gridCol w:w="4675"/></w:tblGrid>'
    '<w:tr><w:tc><w:tcPr><w:tcW w:w="4675" w:type="dxa"/></w:tcPr><w:p>' + r("Train") + '</w:p></w:tc>'
    '<w:tc><w:tcPr><w:tcW w:w="4675" w:type="dxa"/></w:tcPr><w:p>' + r("9:15") + '</w:p></w:tc></w:tr></w:tbl>',
    '<w:p/>',
    '<w:sectPr w:rsidR="00A1B2C3"><w:pgSz w:w="12240" w:h="15840"/><w:pgMar w:top="1440" w:right="1440" w:bottom="1440" w:left="1440" w:header="720" w:footer="720" w:gutter="0"/><w:cols w:space="720"/></w:sectPr>',
])

NUMBERING = f"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:numbering xmlns:w="{W}"><w:abstractNum w:abstractNumId="0"><w:nsid w:val="1A2B3C4D"/><w:multiLevelType w:val="hybridMultilevel"/><w:lvl w:ilvl="0"><w:start w:val="1"/><w:numFmt w:val="bullet"/><w:lvlText w:val="\uf0b7"/><w:lvlJc w:val="left"/><w:pPr><w:ind w:left="720" w:hanging="360"/></w:pPr><w:rPr><w:rFonts w:ascii="Symbol" w:hAnsi="Symbol" w:hint="default"/></w:rPr></w:lvl><w:lvl w:ilvl="1"><w:start w:val="1"/><w:numFmt w:val="bullet"/><w:lvlText w:val="o"/><w:lvlJc w:val="left"/><w:pPr><w:ind w:left="1440" w:hanging="360"/></w:pPr></w:lvl><w:lvl w:ilvl="2"><w:start w:val="1"/><w:numFmt w:val="bullet"/><w:lvlText w:val="\uf0a7"/><w:lvlJc w:val="left"/><w:pPr><w:ind w:left="2160" w:hanging="360"/></w:pPr></w:lvl></w:abstractNum><w:num w:numId="1"><w:abstractNumId w:val="0"/></w:num></w:numbering>"""

STYLES = f"""<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:styles xmlns:w="{W}"><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:asciiTheme="minorHAnsi" w:hAnsiTheme="minorHAnsi"/><w:sz w:val="24"/></w:rPr></w:rPrDefault></w:docDefaults><w:style w:type="paragraph" w:default="1" w:styleId="Normal"><w:name w:val="Normal"/></w:style><w:style w:type="paragraph" w:styleId="ListParagraph"><w:name w:val="List Paragraph"/><w:basedOn w:val="Normal"/><w:pPr><w:ind w:left="720"/></w:pPr></w:style><w:style w:type="paragraph" w:styleId="ListBullet"><w:name w:val="List Bullet"/><w:basedOn w:val="Normal"/><w:pPr><w:numPr><w:numId w:val="1"/></w:numPr></w:pPr></w:style><w:style w:type="paragraph" w:styleId="ListBullet2"><w:name w:val="List Bullet 2"/><w:basedOn w:val="Normal"/><w:pPr><w:numPr><w:ilvl w:val="1"/><w:numId w:val="1"/></w:numPr></w:pPr></w:style></w:styles>"""

SETTINGS = f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<w:settings xmlns:w="{W}"><w:zoom w:percent="100"/><w:defaultTabStop w:val="720"/><w:characterSpacingControl w:val="doNotCompress"/><w:compat><w:compatSetting w:name="compatibilityMode" w:uri="http://schemas.microsoft.com/office/word" w:val="15"/></w:compat></w:settings>'
FONTS = f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<w:fonts xmlns:w="{W}"><w:font w:name="Symbol"><w:charset w:val="02"/></w:font><w:font w:name="Calibri"/></w:fonts>'
THEME = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<a:theme xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main" name="Office Theme"><a:themeElements><a:clrScheme name="Office"><a:dk1><a:sysClr val="windowText" lastClr="000000"/></a:dk1></a:clrScheme></a:themeElements></a:theme>'
CORE = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<cp:coreProperties xmlns:cp="http://schemas.openxmlformats.org/package/2006/metadata/core-properties" xmlns:dc="http://purl.org/dc/elements/1.1/" xmlns:dcterms="http://purl.org/dc/terms/" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"><dc:title>Trip</dc:title><dc:creator>A. Writer</dc:creator><dcterms:created xsi:type="dcterms:W3CDTF">2024-03-05T10:02:00Z</dcterms:created></cp:coreProperties>'
APP = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<Properties xmlns="http://schemas.openxmlformats.org/officeDocument/2006/extended-properties"><Template>Normal.dotm</Template><Pages>1</Pages><Words>12</Words></Properties>'


def document(body):
    return f'<?xml version="1.0" encoding="UTF-8" standalone="yes"?>\n<w:document {NAMESPACES}><w:body>{body}</w:body></w:document>'


def write(name, main, body, deflate=True):
    method = zipfile.ZIP_DEFLATED if deflate else zipfile.ZIP_STORED
    with zipfile.ZipFile(HERE / name, "w", method) as z:
        def add(part, text):
            info = zipfile.ZipInfo(part, date_time=(2024, 3, 5, 10, 4, 0))
            info.compress_type = method
            z.writestr(info, text.encode("utf-8"))
        add("[Content_Types].xml", CONTENT_TYPES.replace("{main}", main))
        add("_rels/.rels", PACKAGE_RELS.replace("{main}", main))
        add(main, document(body))
        add("word/_rels/" + main.split("/")[-1] + ".rels", DOCUMENT_RELS)
        add("word/numbering.xml", NUMBERING)
        add("word/styles.xml", STYLES)
        add("word/settings.xml", SETTINGS)
        add("word/fontTable.xml", FONTS)
        add("word/theme/theme1.xml", THEME)
        add("docProps/core.xml", CORE)
        add("docProps/app.xml", APP)


STYLE_BODY = "".join([
    '<w:p><w:pPr><w:pStyle w:val="Heading1"/></w:pPr>' + r("Reading") + "</w:p>",
    '<w:p><w:pPr><w:pStyle w:val="ListBullet"/></w:pPr>' + r("Novels") + "</w:p>",
    '<w:p><w:pPr><w:pStyle w:val="ListBullet2"/></w:pPr>' + r("The Trial") + "</w:p>",
    '<w:p><w:pPr><w:pStyle w:val="ListBullet2"/></w:pPr>' + r("Ulysses") + "</w:p>",
    '<w:p><w:pPr><w:pStyle w:val="ListBullet"/></w:pPr>' + r("Poems &amp; essays") + "</w:p>",
    '<w:p><w:pPr><w:pStyle w:val="Normal"/></w:pPr><w:r><w:tab/><w:t>Indented by a tab</w:t></w:r></w:p>',
    '<w:sectPr/>',
])

if __name__ == "__main__":
    write("word-list.docx", "word/document.xml", WORD_BODY)
    write("style-list.docx", "word/main.xml", STYLE_BODY, deflate=False)
    print("wrote word-list.docx and style-list.docx")

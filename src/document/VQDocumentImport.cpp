// Opening other files as new maps: plain text and Markdown (headings giving their depth) read as indented outlines, the text of RTF
// and Word files read the same way, and OPML outlines with their title.

#include "document/VQDocument.h"

#include "base/FilePaths.h"

#include <QByteArrayView>
#include <QStringDecoder>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "exchange/DocxTextReader.h"
#include "exchange/MarkdownOutline.h"
#include "exchange/OPMLImporter.h"
#include "exchange/PlainTextImporter.h"
#include "exchange/RtfTextReader.h"
#include "platform/Log.h"

namespace fs = std::filesystem;

namespace velquine {

namespace {

std::string readFileBytes(const std::string& url)
{
    std::ifstream in(toPath(url), std::ios::binary);
    if (!in)
        throw fs::filesystem_error("The file couldn't be opened", toPath(url),
                                   std::error_code(errno ? errno : ENOENT, std::generic_category()));
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw fs::filesystem_error("The file couldn't be read", toPath(url),
                                   std::make_error_code(std::errc::io_error));
    return bytes;
}

std::string utf8Text(const std::string& bytes, const std::string& url)
{
    QStringDecoder decoder(QStringConverter::Utf8);
    const QString text = decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (decoder.hasError())
        throw TextError("The file couldn't be opened because it isn't UTF-8 text: " + url);
    return text.toStdString();
}

// Runs as inside an editing session (the flag alone: no snapshot, no label, no event), so the graph
// operations of an import neither warn nor ask for an undo step.
class SessionFlag {
public:
    explicit SessionFlag(VQDocument& document) : document_(document), previous_(document.isInEditingSession)
    {
        document_.isInEditingSession = true;
    }
    ~SessionFlag() { document_.isInEditingSession = previous_; }
    SessionFlag(const SessionFlag&) = delete;
    SessionFlag& operator=(const SessionFlag&) = delete;

private:
    VQDocument& document_;
    bool previous_;
};

} // namespace

void VQDocument::readPlainText(const std::string& url)
{
    importOutlineText(utf8Text(readFileBytes(url), url));
}

void VQDocument::readMarkdown(const std::string& url)
{
    importOutlineText(markdownOutlineText(utf8Text(readFileBytes(url), url)));
}

void VQDocument::readRTFTextDocumentFormat(const std::string& url)
{
    const std::string bytes = readFileBytes(url);
    std::string text;
    try {
        text = RtfTextReader::plainText(bytes);
    } catch (const RtfReadError&) {
        throw VQ_TEXT_ERROR("readRTFTextDocumentFormat(from:)", "cant read attributed string");
    }
    importOutlineText(text);
}

void VQDocument::readDocx(const std::string& url)
{
    std::string text;
    try {
        text = DocxTextReader::plainText(readFileBytes(url));
    } catch (const DocxReadError& error) {
        throw DocxReadError(std::string(error.what()) + " " + url);
    }
    importOutlineText(text);
}

void VQDocument::readOPML(const std::string& url)
{
    OPMLImporter importer;
    importer.parseFile(url);

    const SessionFlag session(*this);

    if (!importer.documentTitle.empty())
        setProjectTitle(importer.documentTitle);
    insertNodes(importer.graph.allNodes(), Point{0.0, 0.0});
}

void VQDocument::importOutlineText(std::string_view text)
{
    const SessionFlag session(*this);

    insertNodes(PlainTextImporter::importNodes(text), Point{0.0, 0.0});
}

} // namespace velquine

// Reading other files into a document as new maps: plain text and Markdown (headings giving their depth)
// read as indented outlines, the text of RTF and Word files read the same way, and OPML outlines with their
// title.

#include "document/DocumentImport.h"

#include "document/DocumentInsertion.h"
#include "document/VQDocument.h"

#include "base/FilePaths.h"
#include "document/VQDocumentFiles.h"

#include <QByteArrayView>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

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
        throw VQDocumentFiles::unreadableFileError(errno ? errno : ENOENT);
    std::string bytes;
    std::error_code sizeError;
    const auto size = fs::file_size(toPath(url), sizeError);
    if (!sizeError && size > 0) {
        // Read whole when the size is known; whatever follows (a file still growing) is read on.
        bytes.resize(std::size_t(size));
        in.read(bytes.data(), std::streamsize(size));
        bytes.resize(std::size_t(in.gcount()));
    }
    if (!in.bad() && !in.eof())
        bytes.append(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad())
        throw VQDocumentFiles::unreadableFileError(EIO);
    return bytes;
}

// Whether the bytes may end inside a character: their last lead byte announces more bytes than follow it.
bool mayEndInsideCharacter(const std::string& bytes)
{
    for (std::size_t back = 1; back <= std::min<std::size_t>(4, bytes.size()); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((byte & 0xC0) == 0x80)
            continue;
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back;
    }
    return true;
}

std::string utf8Text(std::string bytes, const std::string& url)
{
    QStringDecoder decoder(QStringConverter::Utf8);
    const auto view = [&bytes](std::size_t at, std::size_t length) {
        return QByteArrayView(bytes.data() + at, static_cast<qsizetype>(length));
    };
    if (bytes.starts_with("\xEF\xBB\xBF") || mayEndInsideCharacter(bytes)) {
        const QString text = decoder(view(0, bytes.size()));
        if (decoder.hasError())
            throw TextError("The file couldn't be opened because it isn't UTF-8 text: " + url);
        return text.toStdString();
    }
    // Valid UTF-8 text decodes and encodes back to the same bytes: it is decoded a piece at a time only to
    // find out whether it is valid.
    constexpr std::size_t piece = std::size_t(1) << 20;
    std::vector<QChar> decoded(std::size_t(decoder.requiredSpace(qsizetype(piece))));
    for (std::size_t at = 0; at < bytes.size() && !decoder.hasError(); at += piece)
        decoder.appendToBuffer(decoded.data(), view(at, std::min(piece, bytes.size() - at)));
    if (decoder.hasError())
        throw TextError("The file couldn't be opened because it isn't UTF-8 text: " + url);
    return bytes;
}

// Runs as inside an editing session (the flag alone: no snapshot, no label, no event), so the graph
// operations of an import neither warn nor ask for an undo step.
class SessionFlag {
public:
    explicit SessionFlag(VQDocument& document) : document_(document), previous_(document.isInEditingSession())
    {
        document_.setSessionFlag(true);
    }
    ~SessionFlag() { document_.setSessionFlag(previous_); }
    SessionFlag(const SessionFlag&) = delete;
    SessionFlag& operator=(const SessionFlag&) = delete;

private:
    VQDocument& document_;
    bool previous_;
};

} // namespace

void DocumentImport::readPlainText(const std::string& url)
{
    importOutlineText(utf8Text(readFileBytes(url), url));
}

void DocumentImport::readMarkdown(const std::string& url)
{
    importOutlineText(markdownOutlineText(utf8Text(readFileBytes(url), url)));
}

void DocumentImport::readRTFTextDocumentFormat(const std::string& url)
{
    const std::string bytes = readFileBytes(url);
    std::string text;
    try {
        text = RtfTextReader::plainText(bytes);
    } catch (const RtfReadError& refused) {
        // The log keeps the line the reader's failure is known by; the user reads why.
        VQ_LOG("readRTFTextDocumentFormat(from:)", "cant read attributed string");
        throw TextError(refused.what());
    }
    importOutlineText(text);
}

void DocumentImport::readDocx(const std::string& url)
{
    std::string text;
    try {
        text = DocxTextReader::plainText(readFileBytes(url));
    } catch (const DocxReadError& error) {
        throw DocxReadError(std::string(error.what()) + " " + url);
    }
    importOutlineText(text);
}

void DocumentImport::readOPML(const std::string& url)
{
    OPMLImporter importer;
    std::vector<Node> nodes;
    importer.parseFile(url, &nodes);
    if (const std::optional<OPMLImporter::Damage>& damage = importer.damage) {
        if (nodes.empty())
            throw TextError(VQDocumentFiles::damagedOPMLMessage(damage->line, damage->column, damage->reason));
        document_.setReadWarning(VQDocumentFiles::partlyReadOPMLMessage(damage->line, damage->column, damage->reason));
    }

    if (nodes.size() > VQDocumentFiles::maximumNodeCount)
        throw TextError(VQDocumentFiles::tooManyNodesMessage(nodes.size()));
    const SessionFlag session(document_);

    if (!importer.documentTitle.empty())
        document_.setProjectTitle(importer.documentTitle);
    DocumentInsertion(document_).insertNodes(nodes, Point{0.0, 0.0});
}

void DocumentImport::importOutlineText(std::string_view text)
{
    std::vector<Node> nodes = PlainTextImporter::importNodes(text);
    if (nodes.size() > VQDocumentFiles::maximumNodeCount)
        throw TextError(VQDocumentFiles::tooManyNodesMessage(nodes.size()));
    const SessionFlag session(document_);

    DocumentInsertion(document_).insertNodes(nodes, Point{0.0, 0.0});
}

} // namespace velquine

// Files made to hurt, each of which must end within a second with a clear error, or load correctly in less than
// 2 GB: a document archive of 20,000 entries, one of folders 2,000 deep, a zip64 archive declaring 10 GB, an OPML
// outline of 200,000 attributes, pictures whose decoding would take gigabytes or tens of seconds, and documents
// of a quarter and of a million bare node rows opened until their window has painted, with the process's peak
// memory.

#include "document/DocumentFactory.h"
#include "document/VQDocument.h"
#include "editor/MindMapEditorWindowController.h"
#include "exchange/OPMLImporter.h"
#include "files/QXZipArchive.h"
#include "model/graph/Graph.h"
#include "platform/Image.h"
#include "platform/Log.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"
#include "sql/Connection.h"
#include "support/OpenedWindow.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>

using namespace velquine;

namespace {

constexpr const char* ownType = "io.kelvarn.velquine.mindmap";

// A document database with the schema, changed by the SQL, archived as a document with the entries that
// `more` writes before it.
std::string documentArchive(const QTemporaryDir& folder, const std::string& name, const std::string& sql,
                            const std::function<void(QXZipArchive&)>& more = {})
{
    const std::string database = folder.path().toStdString() + "/" + name + ".sqlite";
    {
        VQDocument empty;
        std::optional<std::string> error;
        const std::string saved = folder.path().toStdString() + "/" + name + ".empty";
        if (!empty.writeToURL(saved, ownType, &error))
            throw std::runtime_error(error.value_or("save failed"));
        QTemporaryDir extracted;
        if (!QXZipArchive::unzipFileAtPath(saved, extracted.path().toStdString()))
            throw std::runtime_error("unzip failed");
        std::ifstream in(extracted.path().toStdString() + "/database.sqlite", std::ios::binary);
        std::ofstream(database, std::ios::binary) << in.rdbuf();
    }
    if (!sql.empty())
        sql::Connection::open(database)->execute(sql);
    const std::string path = folder.path().toStdString() + "/" + name;
    QXZipArchive archive(path);
    if (!archive.open())
        throw std::runtime_error("cannot write " + path);
    if (more)
        more(archive);
    archive.writeFileAtPath(database, std::string("database.sqlite"), 0, std::nullopt, false);
    archive.close();
    return path;
}

// Opens the document as the editor does; the error, or nothing.
std::optional<std::string> openDocument(const std::string& path)
{
    VQDocument document;
    std::optional<std::string> error;
    document.readFromURL(path, ownType, &error);
    RunLoop::drain();
    return error;
}

void BM_OpenArchiveOfManyEntries(benchmark::State& state)
{
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir folder;
    const std::vector<std::uint8_t> none;
    const std::string path = documentArchive(folder, "many.radovudo", "", [&](QXZipArchive& archive) {
        for (long i = 0; i < state.range(0); ++i)
            archive.writeData(none, std::to_string(i), 0, std::nullopt, false);
    });
    for (auto _ : state)
        benchmark::DoNotOptimize(openDocument(path));
}

void BM_OpenArchiveOfDeepFolders(benchmark::State& state)
{
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir folder;
    const std::vector<std::uint8_t> none;
    const std::string path = documentArchive(folder, "deep.radovudo", "", [&](QXZipArchive& archive) {
        std::string deep;
        for (long i = 0; i < state.range(0); ++i) {
            deep += "a/";
            archive.writeData(none, deep, 0, std::nullopt, false);
        }
    });
    for (auto _ : state)
        if (openDocument(path))
            throw std::runtime_error("the document did not open");
}

// A stored entry whose central record declares 10 GB in its zip64 extra field.
void BM_RefuseZip64Bomb(benchmark::State& state)
{
    QStandardPaths::setTestModeEnabled(true);
    QTemporaryDir folder;
    const std::string path = documentArchive(folder, "bomb.radovudo", "");
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    const auto le = [&](std::size_t at, int count) {
        std::uint32_t value = 0;
        for (int i = count - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(bytes[at + std::size_t(i)]);
        return value;
    };
    const auto put = [&](std::size_t at, std::uint64_t value, int count) {
        for (int i = 0; i < count; ++i)
            bytes[at + std::size_t(i)] = static_cast<char>((value >> (8 * i)) & 0xff);
    };
    std::size_t end = bytes.size() - 22;
    while (le(end, 4) != 0x06054b50)
        --end;
    const std::size_t central = le(end + 16, 4);
    const std::size_t extraAt = central + 46 + le(central + 28, 2) + le(central + 30, 2);
    put(central + 24, 0xFFFFFFFFu, 4);
    put(central + 30, le(central + 30, 2) + 12, 2);
    put(end + 12, le(end + 12, 4) + 12, 4);
    bytes.insert(extraAt, std::string(12, '\0'));
    put(extraAt, 1, 2);
    put(extraAt + 2, 8, 2);
    put(extraAt + 4, 10ull << 30, 8);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    std::string message;
    for (auto _ : state)
        message = openDocument(path).value_or("");
    state.SetLabel(message);
}

void BM_ImportOPMLOfManyAttributes(benchmark::State& state)
{
    std::string text = "<opml><body><outline text=\"x\"";
    for (long i = 0; i < state.range(0); ++i)
        text += " a" + std::to_string(i) + "=\"\"";
    text += "/></body></opml>";
    for (auto _ : state) {
        OPMLImporter importer;
        try {
            importer.parseData(text);
        } catch (const TextError&) {
        }
        benchmark::DoNotOptimize(importer.graph.count());
    }
}

// The picture of each kind, made to cost: 0, an ICO file holding a PNG whose text chunk states 2 GB; 1, an SVG
// image embedding that ICO file; 2, a 25-million-pixel progressive JPEG of 2,000 scans; 3, an SVG image of 93,206
// text elements; 4, an SVG image of 200 fills of 16 million pixels.
QByteArray hostilePicture(long kind)
{
    const auto le = [](std::uint32_t value, int length) {
        QByteArray bytes;
        for (int i = 0; i < length; ++i)
            bytes += char((value >> (8 * i)) & 0xff);
        return bytes;
    };
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImage(8, 8, QImage::Format_RGB32).save(&buffer, "PNG");
    }
    png.chop(12);
    png += QByteArray("\x7f\xff\xff\xfftEXt", 8) + QByteArray(200, 'x') + QByteArray(4, '\0');
    const QByteArray icon = le(0, 2) + le(1, 2) + le(1, 2) + QByteArray("\x08\x08\0\0", 4) + le(1, 2) + le(32, 2)
        + le(std::uint32_t(png.size()), 4) + le(22, 4) + png;
    const QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" ";
    if (kind == 0)
        return icon;
    if (kind == 1)
        return svg + "width=\"8\" height=\"8\"><image width=\"8\" height=\"8\" xlink:href=\"data:image/x-icon;base64,"
            + icon.toBase64() + "\"/></svg>";
    if (kind == 2) {
        QImage grey(5000, 5000, QImage::Format_Grayscale8);
        grey.fill(128);
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(true);
        writer.write(grey);
        const qsizetype scan = jpeg.lastIndexOf("\xff\xda");
        const qsizetype end = jpeg.lastIndexOf("\xff\xd9");
        QByteArray crafted = jpeg.left(end);
        for (int i = 0; i < 2000; ++i)
            crafted += jpeg.mid(scan, end - scan);
        return crafted + "\xff\xd9";
    }
    QByteArray many = svg + (kind == 3 ? "width=\"400\" height=\"400\">" : "width=\"4000\" height=\"4000\">");
    for (int i = 0; i < (kind == 3 ? 93206 : 200); ++i)
        many += kind == 3 ? "<text x=\"" + QByteArray::number(i % 400) + "\" y=\"20\">ab</text>"
                          : "<rect width=\"4000\" height=\"4000\" fill-opacity=\"0.5\"/>";
    return many + "</svg>";
}

void BM_DecodeHostilePicture(benchmark::State& state)
{
    const QByteArray picture = hostilePicture(state.range(0));
    const Image::Data data(picture.begin(), picture.end());
    std::string refusal;
    for (auto _ : state)
        refusal = Image::decode(data).refusal;
    state.SetLabel(refusal.empty() ? "decoded" : refusal.substr(0, 60));
    state.counters["peak_MB"] = bench::peakMegabytes();
}

// Rows of the nodes table and nothing else: each node its own tree, without title, size or place.
void BM_OpenBareNodesUntilPainted(benchmark::State& state)
{
    QStandardPaths::setTestModeEnabled(true);
    const ScopedStandardUserDefaults settings;
    QTemporaryDir folder;
    const std::string path = documentArchive(
        folder, "bare.radovudo",
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < " + std::to_string(state.range(0))
            + ") INSERT INTO nodes (id) SELECT x FROM c");
    double openMs = 0, windowMs = 0, paintMs = 0, readMegabytes = 0, windowMegabytes = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        std::shared_ptr<VQDocument> document;
        try {
            document = DocumentFactory::makeDocumentForURL(path, ownType);
        } catch (const std::exception& error) {
            state.SetLabel(error.what());
            continue;
        }
        openMs += clock.nsecsElapsed() / 1e6;
        readMegabytes = bench::peakMegabytes();
        const bench::WindowTimes times = bench::showUntilPainted(state, document);
        windowMs += times.windowMs;
        paintMs += times.paintMs;
        windowMegabytes = times.windowPeakMegabytes;
    }
    const double n = double(state.iterations());
    state.counters["open_ms"] = openMs / n;
    state.counters["window_ms"] = windowMs / n;
    state.counters["paint_ms"] = paintMs / n;
    state.counters["read_peak_MB"] = readMegabytes;
    state.counters["window_peak_MB"] = windowMegabytes;
    state.counters["peak_MB"] = bench::peakMegabytes();
}

} // namespace

BENCHMARK(BM_OpenArchiveOfManyEntries)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenArchiveOfDeepFolders)->Arg(2000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefuseZip64Bomb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportOPMLOfManyAttributes)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeHostilePicture)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenBareNodesUntilPainted)->Arg(250000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

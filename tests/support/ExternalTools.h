#pragma once

// Exported files opened with the standard tools of their formats. RTF and Word files are read the way
// users open them: LibreOffice (headless) converts each file to plain text, and the text is split into
// outline lines, or to PDF, whose page poppler draws. LibreOffice writes a list item as four spaces per list
// level (one for the outermost list), a bullet, a blank and the item text.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <QUrl>

#include <QImage>
#include <QRectF>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

// A test that needs an outside tool skips where the tool is missing, except under CI (CI=true), where
// scripts/setup must have installed it and its absence fails the test.
#define VQ_REQUIRE_TOOL(available, description)                                                                    \
    do {                                                                                                          \
        if (!(available)) {                                                                                       \
            if (qgetenv("CI") == "true")                                                                          \
                FAIL() << description << " is required under CI";                                                 \
            GTEST_SKIP() << description << " is not installed";                                                   \
        }                                                                                                         \
    } while (false)

namespace velquine::testing {

// What the program prints on standard output for the arguments; a test failure when it cannot be run or
// does not end well.
inline std::string toolOutput(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString() << " failed: " << process.readAllStandardError().toStdString();
        return {};
    }
    return process.readAllStandardOutput().toStdString();
}

// The value of one "Name: value" line of pdfinfo's report, without the padding; empty when absent.
inline std::string pdfInfoField(const std::string& info, const std::string& name)
{
    const std::size_t at = info.find("\n" + name + ":") != std::string::npos ? info.find("\n" + name + ":") + 1
                                                                              : (info.rfind(name + ":", 0) == 0 ? 0 : std::string::npos);
    if (at == std::string::npos)
        return {};
    const std::size_t start = info.find_first_not_of(' ', at + name.size() + 1);
    const std::size_t end = info.find('\n', at);
    return start == std::string::npos ? std::string() : info.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// What LibreOffice makes of each file, in order, converted with the filter ("pdf", "txt:Text (encoded):UTF8")
// to files ending in extension; empty where a conversion failed (with a test failure naming it). Every run
// has a profile of its own, so parallel tests never share one.
inline std::vector<QByteArray> officeConversions(const std::vector<std::string>& paths, const QString& filter,
                                                 const QString& extension)
{
    std::vector<QByteArray> results(paths.size());
    const QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (office.isEmpty()) {
        ADD_FAILURE() << "LibreOffice (soffice) is not installed; scripts/setup installs it";
        return results;
    }
    QTemporaryDir work;
    QStringList arguments{QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(work.filePath("profile")).toString(),
                          QStringLiteral("--headless"), QStringLiteral("--convert-to"), filter,
                          QStringLiteral("--outdir"), work.filePath("out")};
    // Each file goes in under its position as name, so two files with one base name keep their results apart.
    QDir().mkpath(work.filePath("in"));
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const QString copy = work.filePath("in/" + QString::number(i) + "." + QFileInfo(QString::fromStdString(paths[i])).suffix());
        QFile::copy(QString::fromStdString(paths[i]), copy);
        arguments << copy;
    }
    QProcess process;
    // Headless: never on the test's display.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process.setProcessEnvironment(environment);
    process.start(office, arguments);
    if (!process.waitForFinished(120000))
        ADD_FAILURE() << "LibreOffice did not finish converting";
    for (std::size_t i = 0; i < paths.size(); ++i) {
        QFile file(QDir(work.filePath("out")).filePath(QString::number(i) + "." + extension));
        if (!file.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << "LibreOffice gave no " << extension.toStdString() << " for " << paths[i] << ": "
                          << process.readAllStandardError().toStdString();
            continue;
        }
        results[i] = file.readAll();
    }
    return results;
}

// The text LibreOffice reads from each file, in order; an empty text where a conversion failed.
inline std::vector<std::string> officeTexts(const std::vector<std::string>& paths)
{
    std::vector<std::string> texts;
    for (QByteArray& bytes : officeConversions(paths, QStringLiteral("txt:Text (encoded):UTF8"), QStringLiteral("txt"))) {
        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        texts.push_back(bytes.toStdString());
    }
    return texts;
}

// The outline of LibreOffice's text: one line per list item, two spaces per level before the item text;
// lines that are not list items are kept as they are.
inline std::string officeOutline(const std::string& text)
{
    std::string outline;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        start = end + 1;
        const std::size_t spaces = line.find_first_not_of(' ');
        const std::size_t blank = spaces == std::string::npos ? std::string::npos : line.find(' ', spaces);
        if (spaces != std::string::npos && spaces >= 4 && spaces % 4 == 0 && blank != std::string::npos)
            line = std::string((spaces / 4 - 1) * 2, ' ') + line.substr(blank + 1);
        outline += line + "\n";
    }
    return outline;
}

} // namespace velquine::testing

namespace velquine::testing {

// The contrast ratio of two colours, from 1 to 21, as the web's accessibility guidelines reckon it.
inline double contrastRatio(QRgb a, QRgb b)
{
    const auto luminance = [](QRgb c) {
        const auto linear = [](int value) {
            const double v = value / 255.0;
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) + 0.0722 * linear(qBlue(c));
    };
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// A word of a PDF page as poppler reads it: its text, its box in points and how well it stands out.
struct PdfWord {
    std::string text;
    QRectF box;
    double contrast = 1.0;
};

// The words of a PDF's first page, in reading order, each with how well it stands out from what is behind it
// where poppler draws the page (at 96 dots per inch, into picture, a PNG file): the contrast ratio between the
// most common colour of the word's box, its background, and the pixel of the box farthest from it, its text.
inline std::vector<PdfWord> pdfWords(const QString& pdf, const QString& picture)
{
    const QString boxes = QString::fromStdString(toolOutput(QStringLiteral("pdftotext"),
                                                            {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
                                                             QStringLiteral("-l"), QStringLiteral("1"), pdf, QStringLiteral("-")}));
    QString base = picture;
    base.chop(4); // pdftoppm adds ".png"
    toolOutput(QStringLiteral("pdftoppm"), {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                                           QStringLiteral("-r"), QStringLiteral("96"), QStringLiteral("-png"),
                                           QStringLiteral("-singlefile"), pdf, base});
    const QImage page = QImage(picture).convertToFormat(QImage::Format_RGB32);
    std::vector<PdfWord> words;
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([0-9.]+)\" yMin=\"([0-9.]+)\" xMax=\"([0-9.]+)\" yMax=\"([0-9.]+)\">([^<]*)</word>"));
    const double scale = 96.0 / 72.0;
    for (const QRegularExpressionMatch& match : word.globalMatch(boxes)) {
        const QRectF points(QPointF(match.captured(1).toDouble(), match.captured(2).toDouble()),
                            QPointF(match.captured(3).toDouble(), match.captured(4).toDouble()));
        const QRect box = QRect(QPoint(int(std::floor(points.left() * scale)), int(std::floor(points.top() * scale))),
                                QPoint(int(std::ceil(points.right() * scale)) - 1, int(std::ceil(points.bottom() * scale)) - 1))
                              .intersected(page.rect());
        std::map<QRgb, int> counts;
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x)
                ++counts[page.pixel(x, y) & 0xFFFFFF];
        if (counts.empty())
            continue;
        const QRgb background = std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                                    return a.second < b.second;
                                })->first;
        double farthest = 1.0;
        for (const auto& [colour, count] : counts)
            farthest = std::max(farthest, contrastRatio(colour, background));
        words.push_back({match.captured(5).toStdString(), points, farthest});
    }
    return words;
}

// How well each word of a PDF's first page stands out (see pdfWords()), by its text.
inline std::map<std::string, double> pdfWordContrasts(const QString& pdf, const QString& picture)
{
    std::map<std::string, double> contrasts;
    for (const PdfWord& word : pdfWords(pdf, picture))
        contrasts[word.text] = word.contrast;
    return contrasts;
}

} // namespace velquine::testing

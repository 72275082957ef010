#pragma once

// Exported files opened with the standard tools of their formats. RTF and Word files are read the way
// users open them: LibreOffice (headless) converts each file to plain text, and the text is split into
// outline lines. LibreOffice writes a list item as four spaces per list
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

#include <string>
#include <vector>

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

// The text LibreOffice reads from each file, in order; an empty text where a conversion failed (with a
// test failure naming it). Every run has a profile of its own, so parallel tests never share one.
inline std::vector<std::string> officeTexts(const std::vector<std::string>& paths)
{
    std::vector<std::string> texts(paths.size());
    const QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (office.isEmpty()) {
        ADD_FAILURE() << "LibreOffice (soffice) is not installed; scripts/setup installs it";
        return texts;
    }
    QTemporaryDir work;
    QStringList arguments{QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(work.filePath("profile")).toString(),
                          QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("txt:Text (encoded):UTF8"),
                          QStringLiteral("--outdir"), work.filePath("out")};
    // Each file goes in under its position as name, so two files with one base name keep their texts apart.
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
        QFile file(QDir(work.filePath("out")).filePath(QString::number(i) + ".txt"));
        if (!file.open(QIODevice::ReadOnly)) {
            ADD_FAILURE() << "LibreOffice gave no text for " << paths[i] << ": " << process.readAllStandardError().toStdString();
            continue;
        }
        QByteArray bytes = file.readAll();
        if (bytes.startsWith("\xEF\xBB\xBF"))
            bytes.remove(0, 3);
        texts[i] = bytes.toStdString();
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

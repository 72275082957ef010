#pragma once

// Helpers of the exchange tests: sample documents and running Debian's command-line tools as
// independent readers of our output.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>

#include "exchange/RichTextDocument.h"
#include "support/ExternalTools.h"

namespace velquine::testing {

struct ToolResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs a program found on the PATH; none when it is not installed.
inline std::optional<ToolResult> runTool(const QString& program, const QStringList& arguments, const QByteArray& input = {})
{
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty())
        return std::nullopt;
    QProcess process;
    process.start(path, arguments);
    if (!process.waitForStarted(30000))
        return std::nullopt;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    ToolResult result;
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
}

inline bool writeFile(const QString& path, const std::string& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
}

inline std::string readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

inline RichTextRun run(std::string text, RichTextAttributes attributes = {})
{
    return RichTextRun{std::move(text), std::move(attributes)};
}

inline RichTextParagraph listItem(int level, std::string title, RichTextAttributes attributes = {})
{
    RichTextParagraph paragraph;
    paragraph.listLevel = level;
    paragraph.headIndent = 20.0 * level;
    paragraph.firstLineHeadIndent = 20.0 * level;
    paragraph.runs.push_back(run(std::move(title), std::move(attributes)));
    return paragraph;
}

// A root with two children, the first of which has a child, styled the way node titles are.
inline RichTextDocument sampleOutline()
{
    RichTextAttributes big;
    big.fontFamily = "DejaVu Sans";
    big.fontSize = 32;
    big.foregroundColor = RichTextColor{255, 0, 0};
    RichTextAttributes marked;
    marked.fontFamily = "Liberation Serif";
    marked.fontSize = 14.5;
    marked.bold = true;
    marked.italic = true;
    marked.underline = true;
    marked.strikeThrough = true;
    marked.foregroundColor = RichTextColor{0, 128, 255};
    RichTextDocument document;
    document.paragraphs = {listItem(0, "Plan", big), listItem(1, "Tom & Jerry's {braces} \\ <tags>", marked),
                           listItem(2, "Café 日本 😀", big), listItem(1, "B", {})};
    return document;
}

} // namespace velquine::testing

#include "document/FileTypes.h"

#include <QString>

#include <fstream>

#include "document/VQDocumentFiles.h"
#include "platform/Resources.h"
#include "base/Utf8.h"

namespace velquine {

namespace {

std::vector<std::string> split(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(separator, start);
        parts.emplace_back(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        if (end == std::string_view::npos)
            return parts;
        start = end + 1;
    }
}

std::vector<std::string> words(std::string_view text)
{
    std::vector<std::string> result;
    for (std::string& word : split(text, ' '))
        if (!word.empty())
            result.push_back(std::move(word));
    return result;
}

std::string lowercased(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toLower().toStdString();
}

std::string leadingText(const std::string& path, std::size_t count)
{
    std::ifstream in(path, std::ios::binary);
    std::string bytes(count, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// A type name from the first bytes of a file; empty when they tell nothing.
std::string typeNameByContent(const std::string& path)
{
    const std::vector<FileType>& types = FileTypes::all();
    const auto named = [&types](std::string_view name) {
        for (const FileType& type : types)
            if (type.typeName == name)
                return type.typeName;
        return std::string();
    };
    if (VQDocumentFiles::hasSQLiteHeader(path) || VQDocumentFiles::hasZipSignature(path))
        return types.empty() ? std::string() : types.front().typeName;
    std::string head = leadingText(path, 4096);
    if (head.empty() || head.find('\0') != std::string::npos)
        return {};
    // A cut through a multi-byte character at the end of the sample is no fault of the file.
    while (!head.empty() && !isValidUtf8(head) && (static_cast<unsigned char>(head.back()) & 0x80))
        head.pop_back();
    if (!isValidUtf8(head))
        return {};
    if (head.starts_with("{\\rtf"))
        return named("public.rtf");
    if (head.find("<opml") != std::string::npos)
        return named("public.data.xml.opml");
    return named("public.text");
}

} // namespace

std::vector<FileType> FileTypes::parse(std::string_view text)
{
    std::vector<FileType> types;
    for (std::string line : split(text, '\n')) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line.front() == '#')
            continue;
        std::vector<std::string> fields = split(line, '|');
        if (fields.size() != 4 || fields[0].empty() || fields[1].empty())
            continue;
        std::vector<std::string> extensions = words(fields[3]);
        for (std::string& extension : extensions)
            extension = lowercased(extension);
        types.push_back({fields[0], fields[1], words(fields[2]), std::move(extensions)});
    }
    return types;
}

const std::vector<FileType>& FileTypes::all()
{
    static const std::vector<FileType> types = parse(resourceData("file_types", "tsv").value_or(std::string()));
    return types;
}

std::string FileTypes::typeNameForFile(const std::string& path)
{
    const std::string extension = lowercased(VQDocumentFiles::pathExtension(path));
    if (!extension.empty())
        for (const FileType& type : all())
            for (const std::string& known : type.extensions)
                if (known == extension)
                    return type.typeName;
    return typeNameByContent(path);
}

std::string FileTypes::desktopMimeTypes()
{
    std::string list;
    for (const FileType& type : all()) {
        list += type.mimeType + ";";
        for (const std::string& alias : type.mimeAliases)
            list += alias + ";";
    }
    return list;
}

} // namespace velquine

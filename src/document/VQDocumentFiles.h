#pragma once

// The file-level pieces of reading and writing documents: which reader a file goes to, what its first
// bytes say it is, and the scratch folders of saves and opens.

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/LockedFolder.h"
#include "platform/Log.h"

namespace velquine {

// The reader a file is handed to.
enum class DocumentReader {
    documentArchive, // the program's own documents
    plainText,       // plain text, read as an indented outline
    markdown,        // Markdown, read as an indented outline whose headings give their depth
    rtf,
    docx,
    opml,
    none, // any other type: nothing is read
};

class VQDocumentFiles {
public:
    // The message for a file that is neither a document archive nor a document database.
    static constexpr std::string_view notADocumentMessage = "The file is not a Velquine document.";
    // The message for an archive that cannot be extracted or a database the engine finds damaged.
    static constexpr std::string_view damagedDocumentMessage =
        "The document is damaged and can not be opened.";
    // The messages for a file opened as a document that yields no outline: one of a kind no reader takes,
    // a well-formed OPML file without an outline element, a text without a line of text.
    static constexpr std::string_view unknownKindMessage =
        "Velquine can't open files of this kind. It opens Velquine maps, and OPML, plain text, Markdown, RTF and "
        "Word outlines.";
    static constexpr std::string_view noOPMLOutlineMessage = "The file holds no outline: it has no outline element.";
    static constexpr std::string_view noTextOutlineMessage = "The file holds no outline: it has no line of text.";
    // The one entry of a document archive.
    static constexpr std::string_view databaseFileName = "database.sqlite";
    // An archive with more entries is not opened: a document holds one, an archive made by hand a few more.
    static constexpr std::uint64_t maximumArchiveEntries = 5000;
    // A map with more nodes is not opened, whether a document or an imported outline: its editor would take
    // gigabytes of memory.
    static constexpr std::uint64_t maximumNodeCount = 250000;
    // "The map has 1000000 nodes, more than the 250000 a map may hold."
    static std::string tooManyNodesMessage(std::uint64_t count);
    // An OPML file that stops being well-formed at the line and column (the XML reader's reason in brackets):
    // the message when no outline element comes before that point, and the warning when the outline before it
    // was read.
    static std::string damagedOPMLMessage(std::int64_t line, std::int64_t column, std::string_view reason);
    static std::string partlyReadOPMLMessage(std::int64_t line, std::int64_t column, std::string_view reason);
    // "1 picture was left out of the map: <reason> Saving the map keeps it without the picture." ("3 pictures
    // were …" for more than one, the reason the first one's).
    // The report of the pictures of a map that are not shown, each with its node's title and why; empty for none.
    static std::string picturesNotShownMessage(const std::vector<std::pair<std::string, std::string>>& notShown);
    static constexpr std::string_view notAPictureMessage = "It is no picture Velquine can read.";

    // Chooses by the type name (exact text) and the path's extension (a case-sensitive ends-with test),
    // row by row; within a row the type names come first:
    //   own documents  "io.kelvarn.velquine.mindmap" or an extension ending in "radovudo"
    //   plain text     "public.text", "public.txt"; "txt"
    //   Markdown       "public.markdown", "net.daringfireball.markdown", "org.commonmark.markdown";
    //                  "md", "markdown" (an outline whose headings give their depth)
    //   RTF            "public.rtf"; "rtf"
    //   Word           "org.openxmlformats.wordprocessingml.document"; "docx"
    //   OPML           "public.data.xml.opml"; "opml"
    static DocumentReader readerFor(std::string_view typeName, std::string_view path);
    // The text after the last dot of the path's last component; empty without one (or for a name that
    // only starts with a dot).
    static std::string pathExtension(std::string_view path);

    // True when the file begins with the 16 bytes "SQLite format 3" and a zero byte.
    static bool hasSQLiteHeader(const std::string& path);
    // Why the file cannot be opened for reading (an errno value such as EACCES), or 0 when it can.
    static int readingError(const std::string& path);
    // The error of a file that cannot be read, with the system's reason: "The file couldn't be read:
    // Permission denied."
    static TextError unreadableFileError(int errorNumber);
    // True when the file begins with a zip record signature ("PK" and 3,4 / 5,6 / 7,8).
    static bool hasZipSignature(const std::string& path);

    // ---- Disks and folders, in the user's words ----

    // A number of bytes as the desktop shows it, in units of 1024: "512 bytes", "128 KB", "100.1 MB", "2.5 GB".
    static std::string byteCountText(std::uint64_t bytes);
    // The bytes this process may still write on the disk of the folder; none when unknown.
    static std::optional<std::uint64_t> freeSpace(const std::string& folder);
    // What keeps the folder from taking a file: "There is not enough free space in “F”." for a full disk or
    // quota, "“F” is on a disk that can only be read.", "Velquine may not write in “F”.", else "“F” can not be
    // written to: " and the system's text.
    static std::string folderProblem(const std::string& folder, int errorNumber);
    // The system's error number beneath a failure of a folder or disk (a std::filesystem::filesystem_error, or
    // the database engine's error of a file it cannot open, write or find room for); 0 for any other failure,
    // such as one of the data written.
    static int systemErrorNumber(const std::exception& failure);
    // The user's cache folder, where documents are unpacked to be read and saves build their archive. Empty
    // when there is none.
    static std::string cacheFolder();

    // A new folder named by a fresh upper-case UUID in the user's cache folder. Throws
    // std::filesystem::filesystem_error when it cannot be made.
    static std::string makeTemporaryDirectory();
    // Removes the folder and everything in it; failures are ignored (used for scratch folders).
    static void removeFolder(const std::string& path) noexcept;

    // A scratch folder like makeTemporaryDirectory's, held for as long as this object lives: a lock on it
    // (LockedFolder) tells removeLeftovers, in this process and any other, that a save or an open is using it.
    // It is removed with everything in it at the end.
    class HeldScratchFolder {
    public:
        HeldScratchFolder();
        ~HeldScratchFolder();
        HeldScratchFolder(const HeldScratchFolder&) = delete;
        HeldScratchFolder& operator=(const HeldScratchFolder&) = delete;
        const std::string& path() const { return lock_->path(); }

    private:
        std::unique_ptr<LockedFolder> lock_;
    };
    // Removes what saves and opens killed midway left behind, unless a running save or open holds it: the
    // working copies in the data folder, and the scratch folders in the cache folder (named by an upper-case
    // UUID, holding nothing but a document's database: the cache folder is shared with other programs).
    // Failures are ignored.
    static void removeLeftovers() noexcept;
};

} // namespace velquine

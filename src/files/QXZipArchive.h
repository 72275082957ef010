#pragma once

// Zip archives of the document files: building an archive from a folder or a list of files, extracting one
// into a folder with safe entry names, and a few questions about an archive that need no extraction.
//
// Entries are written and read through minizip 1.x. That library cannot encrypt or decrypt usably, so every
// operation asked to use a password refuses: writers answer false before touching the archive file, readers
// refuse encrypted entries with an error. Extraction never creates anything outside its destination folder.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace velquine {

// The error domains: the archive's own failures, system calls (with errno as the code) and file
// operations. Their texts are what stored reports carry.
inline constexpr const char* kQXZipArchiveErrorDomain = "QXZipArchiveErrorDomain";
inline constexpr const char* kQXZipSystemErrorDomain = "NSPOSIXErrorDomain";
inline constexpr const char* kQXZipFileErrorDomain = "NSCocoaErrorDomain";

// Codes of the archive's own domain that callers tell apart: writing an extracted file failed; the entries
// declare, or an entry holds, more than an archive of its size can; the archive has more entries than the
// reader takes; the disk cannot take what the entries declare and keep its reserve free.
inline constexpr long kQXZipErrorFailedToWriteFile = -5;
inline constexpr long kQXZipErrorPayloadTooLarge = -8;
inline constexpr long kQXZipErrorTooManyEntries = -9;
inline constexpr long kQXZipErrorNotEnoughFreeSpace = -10;

// An error of the archive class: a domain, a code and a message (what()).
class QXZipArchiveError : public std::runtime_error {
public:
    QXZipArchiveError(std::string domain, long code, const std::string& message)
        : std::runtime_error(message), domain_(std::move(domain)), code_(code)
    {
    }
    const std::string& domain() const { return domain_; }
    long code() const { return code_; }
    std::string message() const { return what(); }

private:
    std::string domain_;
    long code_;
};

// What the central directory says about one entry.
struct QXZipEntryInfo {
    std::uint16_t versionMadeBy = 0;   // high byte: host system (0 MS-DOS, 3 Unix, 19 macOS)
    std::uint16_t versionNeeded = 0;
    std::uint16_t flag = 0;            // bit 0: encrypted; bit 11: name in UTF-8
    std::uint16_t compressionMethod = 0;
    std::uint32_t dosDate = 0;
    std::uint32_t crc = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
};

// What the end of the central directory says about the whole archive.
struct QXZipArchiveInfo {
    std::uint64_t numberOfEntries = 0;
    std::uint32_t commentSize = 0;
};

// Observer of an extraction. Every operation is optional: the defaults do nothing (and let every entry be
// unzipped). Called on the extracting thread before the extraction returns.
class QXZipArchiveDelegate {
public:
    virtual ~QXZipArchiveDelegate() = default;
    virtual void zipArchiveWillUnzipArchiveAtPath(const std::string& path, const QXZipArchiveInfo& zipInfo);
    virtual void zipArchiveProgressEvent(std::uint64_t loaded, std::uint64_t total);
    virtual bool zipArchiveShouldUnzipFileAtIndex(long fileIndex, long totalFiles, const std::string& archivePath,
                                                  const QXZipEntryInfo& fileInfo);
    virtual void zipArchiveWillUnzipFileAtIndex(long fileIndex, long totalFiles, const std::string& archivePath,
                                                const QXZipEntryInfo& fileInfo);
    // Answers whether the delegate takes this form; the unzipped-path form is called only when it does not.
    virtual bool wantsDidUnzipFileInfo() const { return false; }
    virtual void zipArchiveDidUnzipFileAtIndex(long fileIndex, long totalFiles, const std::string& archivePath,
                                               const QXZipEntryInfo& fileInfo);
    virtual void zipArchiveDidUnzipFileAtIndex(long fileIndex, long totalFiles, const std::string& archivePath,
                                               const std::string& unzippedFilePath);
    virtual void zipArchiveDidUnzipArchiveAtPath(const std::string& path, const QXZipArchiveInfo& zipInfo,
                                                 const std::string& unzippedPath);
};

class QXZipArchive {
public:
    // (entries handled so far, total entries)
    using ProgressHandler = std::function<void(unsigned long entryNumber, unsigned long total)>;
    // (entry name, entry information, entry number from 0, number of entries)
    using UnzipProgressHandler =
        std::function<void(const std::string& entry, const QXZipEntryInfo& info, long entryNumber, long total)>;
    // (archive path or none, succeeded, error or none)
    using CompletionHandler = std::function<void(const std::optional<std::string>& path, bool succeeded,
                                                 const std::optional<QXZipArchiveError>& error)>;
    using Password = std::optional<std::string>;
    using ErrorOut = std::optional<QXZipArchiveError>*;

    // ---- Building archives (all answer true only when every step succeeded) ----

    static bool createZipFileAtPath(const std::string& path, const std::string& directoryPath,
                                    bool keepParentDirectory, int compressionLevel, const Password& password,
                                    bool aes, const ProgressHandler& progressHandler);
    static bool createZipFileAtPath(const std::string& path, const std::string& directoryPath,
                                    bool keepParentDirectory, int compressionLevel, const Password& password,
                                    bool aes, const ProgressHandler& progressHandler, bool keepSymlinks);
    static bool createZipFileAtPath(const std::string& path, const std::string& directoryPath,
                                    bool keepParentDirectory, const Password& password,
                                    const ProgressHandler& progressHandler);
    static bool createZipFileAtPath(const std::string& path, const std::string& directoryPath,
                                    bool keepParentDirectory, const Password& password);
    static bool createZipFileAtPath(const std::string& path, const std::string& directoryPath, const Password& password);
    static bool createZipFileAtPath(const std::string& path, const std::string& directoryPath, bool keepParentDirectory);
    static bool createZipFileAtPath(const std::string& path, const std::string& directoryPath);
    // A text literal as the third argument would otherwise be taken for keepParentDirectory.
    static bool createZipFileAtPath(const std::string&, const std::string&, const char*) = delete;

    static bool createZipFileAtPath(const std::string& path, const std::vector<std::string>& paths,
                                    const Password& password, const ProgressHandler& progressHandler);
    static bool createZipFileAtPath(const std::string& path, const std::vector<std::string>& paths,
                                    const Password& password);
    static bool createZipFileAtPath(const std::string& path, const std::vector<std::string>& paths);
    static bool createZipFileAtPath(const std::string& path, const std::vector<std::string>& paths,
                                    const Password& password, bool keepSymlinks);

    // ---- Extracting archives ----

    // What an extraction leaves free on the destination's disk, whatever the archive declares.
    static constexpr std::uint64_t freeSpaceReserve = 100ull << 20;

    // The document reader's call: attributes kept, existing items overwritten, links kept inside the destination.
    static bool unzipFileAtPath(const std::string& path, const std::string& destination);
    static bool unzipFileAtPath(const std::string& path, const std::string& destination, QXZipArchiveDelegate* delegate);
    static bool unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
                                const Password& password, ErrorOut error);
    static bool unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
                                const Password& password, ErrorOut error, QXZipArchiveDelegate* delegate);
    static bool unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
                                const Password& password, const UnzipProgressHandler& progressHandler,
                                const CompletionHandler& completionHandler);
    static bool unzipFileAtPath(const std::string& path, const std::string& destination,
                                const UnzipProgressHandler& progressHandler, const CompletionHandler& completionHandler);
    static bool unzipFileAtPath(const std::string& path, const std::string& destination, bool preserveAttributes,
                                bool overwrite, const Password& password, ErrorOut error,
                                QXZipArchiveDelegate* delegate);
    static bool unzipFileAtPath(const std::string& path, const std::string& destination, bool preserveAttributes,
                                bool overwrite, const Password& password, ErrorOut error,
                                QXZipArchiveDelegate* delegate, const UnzipProgressHandler& progressHandler,
                                const CompletionHandler& completionHandler);
    static bool unzipFileAtPath(const std::string& path, const std::string& destination, bool preserveAttributes,
                                bool overwrite, int nestedZipLevel, const Password& password, ErrorOut error,
                                QXZipArchiveDelegate* delegate, const UnzipProgressHandler& progressHandler,
                                const CompletionHandler& completionHandler);
    // The full routine. symlinksValidWithin absent: link targets are not tested (nothing is ever created outside
    // the destination all the same). An archive whose entries declare more than 100 times its own size plus
    // 64 MB is refused before anything is written (kQXZipErrorPayloadTooLarge), and so is an entry that holds
    // more than it declares; one whose entries declare more than the destination's disk can take while keeping
    // freeSpaceReserve free is refused before anything is written too (kQXZipErrorNotEnoughFreeSpace: the disk
    // is too full now).
    static bool unzipFileAtPath(const std::string& path, const std::string& destination, bool preserveAttributes,
                                bool overwrite, const std::optional<std::string>& symlinksValidWithin,
                                int nestedZipLevel, const Password& password, ErrorOut error,
                                QXZipArchiveDelegate* delegate, const UnzipProgressHandler& progressHandler,
                                const CompletionHandler& completionHandler);

    // The extraction of one entry, as the document reader asks for it: the call of the first form above, with
    // every guard of the full routine, but only the entries whose name (as entryNamesAtPath gives it) is `name`
    // are made; nothing at all is made for the others.
    static bool unzipEntryAtPath(const std::string& path, const std::string& name, const std::string& destination,
                                 ErrorOut error);

    // ---- Inspection ----

    // The names the entries get when extracted (decoded, made safe, a folder's with its closing "/"), in the
    // archive's order, read from the central directory alone; nothing is extracted. None for an archive that
    // cannot be read (error -1 or -3) or that holds more than maximumEntries entries (kQXZipErrorTooManyEntries,
    // before any entry is read when the archive's end record tells).
    static std::optional<std::vector<std::string>> entryNamesAtPath(const std::string& path,
                                                                    std::uint64_t maximumEntries, ErrorOut error);

    static bool isFilePasswordProtectedAtPath(const std::string& path);
    static bool isPasswordValidForArchiveAtPath(const std::string& path, const std::string& password, ErrorOut error);
    static std::uint64_t payloadSizeForArchiveAtPath(const std::string& path, ErrorOut error);

    // ---- Names, paths, dates and bytes ----

    // The stored name as text: code page 437 for MS-DOS entries without the UTF-8 flag, else UTF-8, else Latin-1.
    static std::string filenameStringWithCString(const char* name, std::uint16_t versionMadeBy,
                                                 std::uint16_t generalPurposeFlag, std::size_t size);
    // Backslashes become slashes and dot segments are removed without ever climbing above the root:
    // "../../x" -> "x", "a/./b" -> "a/b", ".." -> "", "/abs" stays "/abs".
    static std::optional<std::string> sanitizedPath(const std::string& path);
    // True when the target, with links resolved, lies outside the folder.
    static bool escapesTargetDirectory(const std::string& target, const std::string& folder);
    // MS-DOS date-time (local time) <-> seconds since 1970.
    static double dateWithMSDOSFormat(std::uint32_t msdosDateTime);
    static std::uint32_t msdosDateTimeFromDate(double secondsSince1970);
    static std::string hexString(const std::vector<std::uint8_t>& bytes);
    static std::string base64RFC4648(const std::vector<std::uint8_t>& bytes);

    // ---- One archive being written ----

    // Refuses an empty path (std::invalid_argument). Nothing is opened.
    explicit QXZipArchive(std::string path);
    ~QXZipArchive();
    QXZipArchive(const QXZipArchive&) = delete;
    QXZipArchive& operator=(const QXZipArchive&) = delete;

    const std::string& path() const { return path_; }
    bool isOpen() const { return zip_ != nullptr; }

    // Creates (or replaces) the archive file. Throws std::logic_error when already open.
    bool open();
    // Adds entries to an existing archive. Throws std::logic_error when already open.
    bool openForAppending();

    // Each writer throws std::logic_error when the archive is not open (writeData answers false instead), and
    // answers true only when the entry was opened, every byte read and written, and the entry closed.
    bool writeFileAtPath(const std::string& path, const std::optional<std::string>& fileName, int compressionLevel,
                         const Password& password, bool aes);
    bool writeFileAtPath(const std::string& path, const std::optional<std::string>& fileName, const Password& password);
    bool writeFile(const std::string& path, const Password& password);
    bool writeFolderAtPath(const std::string& path, const std::string& folderName, const Password& password);
    bool writeData(const std::optional<std::vector<std::uint8_t>>& data, const std::string& filename,
                   int compressionLevel, const Password& password, bool aes);
    bool writeData(const std::optional<std::vector<std::uint8_t>>& data, const std::string& filename,
                   const Password& password);
    bool writeSymlinkFileAtPath(const std::string& path, const std::optional<std::string>& fileName,
                                int compressionLevel, const Password& password, bool aes);

    // Writes the central directory and releases the handle, whatever the library reports.
    // Throws std::logic_error when the archive is not open.
    bool close();

    // The entry record of minizip, filled from an item on disk or from a date. Kept here in the library's own
    // terms: [dosDate, internal attributes, external attributes].
    struct EntryRecord {
        std::uint32_t dosDate = 0;
        std::uint16_t internalAttributes = 0;
        std::uint32_t externalAttributes = 0;
    };
    // Date and external attributes ((0x8000 + permissions) << 16) of an item; the record stays as it was when
    // the item's attributes cannot be read.
    static void zipInfoSetAttributesOfItemAtPath(EntryRecord& record, const std::string& path);
    static void zipInfoSetDate(EntryRecord& record, double secondsSince1970);

private:
    bool openEntry(const std::string& name, const EntryRecord& record, int compressionLevel,
                   std::uint16_t versionMadeBy, std::uint16_t flagBase, bool zip64);
    void requireOpen() const;

    std::string path_;
    void* zip_ = nullptr;
};

} // namespace velquine

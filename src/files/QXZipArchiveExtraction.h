#pragma once

// One extraction of an archive into a folder: the walk over the entries (QXZipArchiveExtraction.cpp) and the
// placing of what it makes inside the destination (QXZipArchivePlacement.cpp). Not part of QXZipArchive's
// interface.

#include "files/QXZipArchive.h"

#include <unzip.h>

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace velquine::qxzip {

// Whether the real path is the root or lies inside it.
bool isInside(const std::string& real, const std::string& root);

// The path with every link resolved; none when it cannot be (no such item, a link loop).
std::optional<std::string> realPath(const std::string& path);

// The folder's path joined with a name ("/" joins without a second slash).
std::string joinPath(const std::string& folder, const std::string& name);

// One extraction: the state of the full unzip routine.
class Extraction {
public:
    Extraction(const std::string& archivePath, const std::string& destination, bool preserveAttributes, bool overwrite,
               const std::optional<std::string>& symlinksValidWithin, int nestedZipLevel,
               const QXZipArchive::Password& password, QXZipArchiveDelegate* delegate,
               const QXZipArchive::UnzipProgressHandler& progressHandler)
        : archivePath_(archivePath)
        , destination_(destination)
        , preserveAttributes_(preserveAttributes)
        , overwrite_(overwrite)
        , symlinksValidWithin_(symlinksValidWithin)
        , nestedZipLevel_(nestedZipLevel)
        , password_(password)
        , delegate_(delegate)
        , progressHandler_(progressHandler)
    {
    }

    ~Extraction();
    Extraction(const Extraction&) = delete;
    Extraction& operator=(const Extraction&) = delete;

    // Makes only the entries of that name (as qxzip::extractedName gives it) and passes over every other.
    void extractOnly(std::string name) { only_ = std::move(name); }

    // The answer; the error to report, if any.
    bool run(std::optional<QXZipArchiveError>& error);

private:
    // What the walk does after a step on an entry: go on with it, pass over it, or end.
    enum class Step { extract, skip, stop };
    struct DateRecord {
        std::string path;
        double date;
        // The archive path of the folder the item's path names as its parent.
        std::string parentKey;
    };

    enum class Placement { ok, failed, outOfSpace, escapes, noDestination };
    struct Folder {
        Placement placement = Placement::failed;
        std::string realPath;
        int number = 0;
    };
    // One entry of the archive, and where it goes once its folders are made.
    struct Entry {
        unz_file_info64 info{};
        QXZipEntryInfo entryInfo;
        std::string name;     // its path in the archive, made safe
        std::string fullPath; // as the delegate is told of it
        std::vector<std::string> components;
        bool isFolder = false;
        bool isLink = false;
        Folder folder;
        std::string itemPath;
        bool hasLeaf = false;
        bool itemExists = false;
        struct stat existing {};
    };

    Folder realDestination();
    // The error of an archive that declares more than it can hold or the disk can take.
    std::optional<QXZipArchiveError> refuseOversize(unzFile uf, std::uint64_t archiveSize);
    Folder makeFolders(const std::vector<std::string>& components, std::size_t count);
    // Removes every link made here that now leads outside; the error of the first one.
    std::optional<QXZipArchiveError> removeEscapingLinks();

    // The steps of the walk over the entries, one per kind of entry.
    bool start(int& result, std::optional<QXZipArchiveError>& error);
    // Ends the walk with the error, closing the current entry when asked.
    Step stop(QXZipArchiveError error, bool closeCurrent = true);
    Step openEntry(int result, Entry& entry);
    void recordDate(const Entry& entry);
    Step placeEntry(Entry& entry);
    int openItemFile(const Entry& entry, int& openError);
    Step writeFile(const Entry& entry);
    void failedWrite();
    void copyContents(const Entry& entry, int fd, int count);
    // Where the bytes of an entry stored without compression lie in the archive, when they can be copied from
    // there as they are: one piece exactly as long as the entry declares, inside the file.
    std::optional<std::uint64_t> storedDataOffset(const Entry& entry);
    // Copies those bytes in large pieces and checks them against the entry's checksum.
    void copyStored(const Entry& entry, int fd, std::uint64_t offset);
    // True when the entry was an archive of its own, extracted in its place.
    bool expandNestedArchive(const Entry& entry);
    void setFileAttributes(const Entry& entry);
    // None when reading failed (the walk has stopped); empty when the target is too long to make.
    std::optional<std::string> readLinkTarget();
    Step makeLink(const Entry& entry);
    // False when an existing item in the link's place could not be removed.
    bool replaceExisting(const std::string& linkPath);
    void placeLink(const Entry& entry, const std::string& linkPath, const std::string& target);
    // Closes the entry and moves to the next one; false when the walk ends here.
    bool closeEntry(const Entry& entry, int& result);
    void finish();
    void setFolderDates();

    const std::string archivePath_;
    const std::string destination_;
    const bool preserveAttributes_;
    const bool overwrite_;
    const std::optional<std::string> symlinksValidWithin_;
    const int nestedZipLevel_;
    const QXZipArchive::Password password_;
    QXZipArchiveDelegate* const delegate_;
    const QXZipArchive::UnzipProgressHandler& progressHandler_;
    std::optional<std::string> only_;

    // The real paths of the folders resolved so far, by their path in the archive. Emptied whenever a link
    // is made or removed, since a link can change what a path leads to.
    std::unordered_map<std::string, std::string> knownFolders_;
    std::optional<std::string> realDestination_;
    struct CreatedLink {
        std::string path;
        std::string name;
        std::string target;
    };
    std::vector<CreatedLink> createdLinks_;

    // The state of the walk.
    unzFile uf_ = nullptr;
    int archiveFd_ = -1; // the archive opened for reading stored entries directly
    std::vector<char> buffer_;
    std::optional<QXZipArchiveError> unzippingError_;
    bool success_ = true;
    bool cancelled_ = false;
    bool crcFailed_ = false;
    std::vector<DateRecord> directoryDates_;
    QXZipArchiveInfo archiveInfo_;
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
    long total_ = 0;
    long entryNumber_ = -1;
};

} // namespace velquine::qxzip

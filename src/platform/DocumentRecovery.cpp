#include "platform/DocumentRecovery.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUuid>

#include <filesystem>
#include <fstream>
#include <algorithm>
#include <map>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "base/FilePaths.h"
#include "platform/Log.h"
#include "platform/SafeSave.h"

namespace fs = std::filesystem;

namespace velquine {

namespace {

constexpr std::string_view descriptionExtension = ".json";
// The file in a program's folder whose lock tells that the program runs. (Not the folder itself: a safe write
// holds a shared lock on the folder it writes into.)
constexpr std::string_view lockFileName = ".lock";

int openLockFile(const std::string& folder)
{
    return ::open((folder + "/" + std::string(lockFileName)).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

// Whether the folder holds nothing but its lock file.
bool onlyLockFile(const std::string& folder)
{
    std::error_code error;
    for (const fs::directory_entry& item : fs::directory_iterator(toPath(folder), error))
        if (fromPath(item.path().filename()) != lockFileName)
            return false;
    return !error;
}

bool isUUIDName(const std::string& name)
{
    static const QRegularExpression pattern(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    return pattern.match(QString::fromStdString(name)).hasMatch();
}

std::string descriptionPath(const std::string& folder, const std::string& id)
{
    return folder + "/" + id + std::string(descriptionExtension);
}

std::string readSmallFile(const std::string& path)
{
    std::ifstream in(toPath(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str().substr(0, 1 << 20);
}

std::string describe(const DocumentRecovery::Entry& entry)
{
    QJsonObject object;
    if (entry.fileURL)
        object[QStringLiteral("file")] = QString::fromStdString(*entry.fileURL);
    object[QStringLiteral("type")] = QString::fromStdString(entry.fileType);
    object[QStringLiteral("untitled")] = entry.untitledNumber;
    if (entry.fileState) {
        object[QStringLiteral("modified")] = QString::number(entry.fileState->modified.toMSecsSinceEpoch());
        object[QStringLiteral("size")] = QString::number(entry.fileState->size);
    }
    return QJsonDocument(object).toJson().toStdString();
}

// The entry a description gives (an unreadable one gives an entry without anything known).
DocumentRecovery::Entry readDescription(const std::string& path)
{
    DocumentRecovery::Entry entry;
    const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(readSmallFile(path))).object();
    if (object.contains(QStringLiteral("file")))
        entry.fileURL = object.value(QStringLiteral("file")).toString().toStdString();
    entry.fileType = object.value(QStringLiteral("type")).toString().toStdString();
    entry.untitledNumber = std::max(0, object.value(QStringLiteral("untitled")).toInt());
    if (object.contains(QStringLiteral("modified")))
        entry.fileState = Document::FileState{
            QDateTime::fromMSecsSinceEpoch(object.value(QStringLiteral("modified")).toString().toLongLong()),
            object.value(QStringLiteral("size")).toString().toLongLong()};
    return entry;
}

bool moveFile(const fs::path& from, const fs::path& to)
{
    std::error_code error;
    fs::rename(from, to, error);
    if (error)
        VQ_LOG("recovery", "cannot move " + fromPath(from) + ": " + error.message());
    return !error;
}

} // namespace

DocumentRecovery::DocumentRecovery(std::string folder) : folder_(std::move(folder))
{
    std::error_code error;
    fs::create_directories(toPath(folder_), error);
    // Made under a hidden name and locked before it gets its own: no other program takes over a folder in use.
    const std::string id = newId();
    const std::string hidden = folder_ + "/." + id;
    ownFolder_ = folder_ + "/" + id;
    if (!fs::create_directory(toPath(hidden), error)) {
        VQ_LOG("recovery", "no folder for copies of unsaved changes in " + folder_ + ": " + error.message());
        return;
    }
    lock_ = openLockFile(hidden);
    if (lock_ >= 0)
        ::flock(lock_, LOCK_EX);
    fs::rename(toPath(hidden), toPath(ownFolder_), error);
}

DocumentRecovery::~DocumentRecovery()
{
    ::unlink((ownFolder_ + "/" + std::string(lockFileName)).c_str());
    ::rmdir(ownFolder_.c_str()); // only when empty
    if (lock_ >= 0)
        ::close(lock_);
}

std::string DocumentRecovery::unreadableFolder() const
{
    return folder_ + "/Unreadable";
}

std::string DocumentRecovery::newId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
}

std::unique_ptr<DocumentRecovery::PendingCopy> DocumentRecovery::takeCopy(Document& document, Entry& entry,
                                                                          std::string* error)
{
    const std::string extension = document.defaultSaveExtension();
    entry.contentPath = ownFolder_ + "/" + entry.id + "." + (extension.empty() ? "copy" : extension);
    std::optional<std::string> reason;
    std::unique_ptr<DocumentWrite> content =
        document.makeWrite(entry.contentPath, document.defaultSaveType(), WriteContent::asItStands, &reason);
    if (!content) {
        if (error)
            *error = reason.value_or("The copy could not be written.");
        return nullptr;
    }
    return std::make_unique<PendingCopy>(std::move(content), ownFolder_, descriptionPath(ownFolder_, entry.id),
                                         describe(entry));
}

DocumentRecovery::PendingCopy::PendingCopy(std::unique_ptr<DocumentWrite> content, std::string folder,
                                           std::string descriptionPath, std::string description)
    : content_(std::move(content)), folder_(std::move(folder)), descriptionPath_(std::move(descriptionPath)),
      description_(std::move(description))
{
}

bool DocumentRecovery::PendingCopy::run(std::string* error)
{
    std::error_code made;
    fs::create_directories(toPath(folder_), made);
    // The description first: a program ended between the two leaves the new description beside the content
    // before it (or a description alone, which the next start drops), never a content without its description,
    // which would come back as an untitled document instead of the file it belongs to.
    if (!replaceFileContents(descriptionPath_, description_, error))
        return false;
    std::optional<std::string> reason;
    std::string detail;
    written_ = content_->run(&reason, &detail);
    if (!written_ && error)
        *error = reason.value_or("The copy could not be written.");
    return written_;
}

void DocumentRecovery::PendingCopy::finish()
{
    content_->finish(written_);
}

bool DocumentRecovery::write(Document& document, Entry& entry, std::string* error)
{
    const std::unique_ptr<PendingCopy> copy = takeCopy(document, entry, error);
    if (!copy)
        return false;
    const bool written = copy->run(error);
    copy->finish();
    return written;
}

void DocumentRecovery::remove(const Entry& entry)
{
    std::error_code ignored;
    if (!entry.contentPath.empty())
        fs::remove(toPath(entry.contentPath), ignored);
    fs::remove(toPath(descriptionPath(ownFolder_, entry.id)), ignored);
}

// One copy in the folder of a program no longer running.
struct DocumentRecovery::Found {
    std::string id;
    std::string folder;
    std::string content;
    std::optional<std::string> description;
    fs::file_time_type written;
};

DocumentRecovery::TakenOver DocumentRecovery::takeOver(std::size_t limit)
{
    TakenOver taken;
    try {
        std::vector<Found> found;
        std::vector<std::string> folders;
        findCopies(found, folders);
        // The most recent first; those beyond the limit wait.
        const auto mostRecent = [](const Found& a, const Found& b) { return a.written > b.written; };
        const std::size_t count = std::min(limit, found.size());
        std::partial_sort(found.begin(), found.begin() + std::ptrdiff_t(count), found.end(), mostRecent);
        for (std::size_t i = 0; i < count; ++i)
            takeOver(found[i], taken.entries);
        taken.left = found.size() - count;
        // A folder its copies all left goes.
        for (const std::string& folder : folders) {
            if (onlyLockFile(folder)) {
                ::unlink((folder + "/" + std::string(lockFileName)).c_str());
                ::rmdir(folder.c_str());
            }
        }
    } catch (const std::exception& failure) {
        VQ_LOG("recovery", std::string("the copies of unsaved changes could not all be taken over: ") + failure.what());
    }
    return taken;
}

void DocumentRecovery::findCopies(std::vector<Found>& found, std::vector<std::string>& folders)
{
    std::error_code error;
    for (const fs::directory_entry& other : fs::directory_iterator(toPath(folder_), error)) {
        const std::string name = fromPath(other.path().filename());
        const std::string path = fromPath(other.path());
        if (!isUUIDName(name) || path == ownFolder_ || other.is_symlink(error) || !other.is_directory(error))
            continue;
        struct Lock {
            int descriptor;
            ~Lock()
            {
                if (descriptor >= 0)
                    ::close(descriptor);
            }
        } lock{openLockFile(path)};
        if (lock.descriptor < 0 || ::flock(lock.descriptor, LOCK_EX | LOCK_NB) != 0) // a running program's
            continue;
        folders.push_back(path);
        // Content and description of each id.
        std::map<std::string, Found> byId;
        for (const fs::directory_entry& file : fs::directory_iterator(other.path(), error)) {
            const std::string fileName = fromPath(file.path().filename());
            if (fileName.starts_with('.')) {
                if (fileName.ends_with(".saving")) // a write killed midway
                    fs::remove_all(file.path(), error);
                continue;
            }
            const std::string id = fileName.substr(0, fileName.find('.'));
            if (!isUUIDName(id) || !file.is_regular_file(error) || file.is_symlink(error))
                continue;
            Found& copy = byId[id];
            if (fileName.ends_with(descriptionExtension)) {
                copy.description = fileName;
            } else {
                copy.content = fileName;
                copy.written = file.last_write_time(error);
            }
        }
        for (auto& [id, copy] : byId) {
            if (copy.content.empty()) { // a description without its copy holds nothing to recover
                fs::remove(toPath(path + "/" + *copy.description), error);
                continue;
            }
            copy.id = id;
            copy.folder = path;
            found.push_back(std::move(copy));
        }
    }
}

void DocumentRecovery::takeOver(Found& copy, std::vector<Entry>& entries)
{
    std::error_code error;
    Entry entry;
    if (copy.description)
        entry = readDescription(copy.folder + "/" + *copy.description);
    entry.id = copy.id;
    entry.contentPath = ownFolder_ + "/" + copy.content;
    if (!moveFile(toPath(copy.folder + "/" + copy.content), toPath(entry.contentPath)))
        return;
    if (copy.description)
        moveFile(toPath(copy.folder + "/" + *copy.description), toPath(descriptionPath(ownFolder_, copy.id)));
    entries.push_back(std::move(entry));
}

std::string DocumentRecovery::putAside(const Entry& entry)
{
    const fs::path aside = toPath(unreadableFolder());
    std::error_code error;
    fs::create_directories(aside, error);
    const fs::path content = aside / toPath(entry.contentPath).filename();
    moveFile(toPath(entry.contentPath), content);
    const std::string description = descriptionPath(ownFolder_, entry.id);
    if (fs::exists(toPath(description), error))
        moveFile(toPath(description), aside / toPath(description).filename());
    return fromPath(content);
}

} // namespace velquine

// Documents made to hurt: databases whose schema runs code, damaged headers, write-ahead-log files; each
// must fail fast with a clear error (or open correctly) and leave nothing behind.

#include "DocumentFilesTestSupport.h"

#include "document/VQDocument.h"
#include "document/DocumentClipboard.h"
#include "document/VQDocumentFiles.h"
#include "files/Database.h"
#include "files/ProjectWriter.h"
#include "files/QXZipArchive.h"
#include "platform/Pasteboard.h"
#include "sql/Connection.h"
#include "support/PicturesRead.h"

#include <QBuffer>
#include <QImage>

#include <chrono>
#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velquine;
using namespace velquine::testing;

namespace {

constexpr const char* ownType = "io.kelvarn.velquine.mindmap";

// The error of opening the file as a document; nothing when it opened.
std::optional<std::string> openError(const std::string& path)
{
    VQDocument document;
    std::optional<std::string> error;
    document.readFromURL(path, ownType, &error);
    return error;
}

// A bare document database of the rich project, changed by the SQL.
std::string craftedDatabase(const Folder& folder, const std::string& name, const std::string& sql)
{
    const std::string path = folder / name;
    writeProjectDatabase(richProject(), path);
    if (!sql.empty())
        sql::Connection::open(path)->execute(sql);
    return path;
}

// A document archive of the rich project's database with more entries written by `more` before it.
std::string archiveWithDatabase(const Folder& folder, const std::string& name,
                                const std::function<void(QXZipArchive&)>& more)
{
    const std::string database = folder / (name + ".sqlite");
    writeProjectDatabase(richProject(), database);
    const std::string path = folder / name;
    QXZipArchive archive(path);
    EXPECT_TRUE(archive.open());
    more(archive);
    EXPECT_TRUE(archive.writeFileAtPath(database, std::string("database.sqlite"), 0, std::nullopt, false));
    EXPECT_TRUE(archive.close());
    return path;
}

std::vector<std::uint8_t> noBytes;

} // namespace

TEST(HostileDocuments, ADocumentOpensFromItsDatabaseWhateverElseItsArchiveHolds)
{
    Folder folder;
    const std::string link = folder / "link";
    std::filesystem::create_symlink("/etc", link);
    const std::string path = archiveWithDatabase(folder, "crowded.radovudo", [&](QXZipArchive& archive) {
        // Folders two thousand deep, and a link that leads out of wherever it is extracted.
        std::string deep;
        for (int i = 0; i < 2000; ++i) {
            deep += "a/";
            archive.writeData(noBytes, deep, 0, std::nullopt, false);
        }
        archive.writeSymlinkFileAtPath(link, std::string("escape"), 0, std::nullopt, false);
    });
    VQDocument document;
    std::optional<std::string> error;
    ASSERT_TRUE(document.readFromURL(path, ownType, &error)) << error.value_or("");
    EXPECT_EQ(document.project().graph.count(), richProject().graph.count());
}

TEST(HostileDocuments, AnArchiveOfThousandsOfEntriesIsRefusedBeforeAnythingIsExtracted)
{
    Folder folder;
    const std::string path = archiveWithDatabase(folder, "many.radovudo", [](QXZipArchive& archive) {
        for (std::uint64_t i = 0; i < VQDocumentFiles::maximumArchiveEntries; ++i)
            archive.writeData(noBytes, std::to_string(i), 0, std::nullopt, false);
    });
    const std::uint64_t entries = VQDocumentFiles::maximumArchiveEntries + 1;
    EXPECT_EQ(openError(path), std::string(VQDocumentFiles::damagedDocumentMessage) + " The archive holds "
                                   + std::to_string(entries) + " entries; no more than "
                                   + std::to_string(VQDocumentFiles::maximumArchiveEntries) + " are read.");
}

TEST(HostileDocuments, AMapOfMoreNodesThanAMapMayHoldIsRefusedBeforeItIsRead)
{
    Folder folder;
    const std::uint64_t count = VQDocumentFiles::maximumNodeCount + 1;
    const std::string message = VQDocumentFiles::tooManyNodesMessage(count);
    EXPECT_EQ(message, "The map has 250001 nodes, more than the 250000 a map may hold.");
    // Bare node rows, each its own tree.
    const std::string path = craftedDatabase(
        folder, "crowded.radovudo",
        "DELETE FROM nodes; WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < "
            + std::to_string(count)
            + ") INSERT INTO nodes (id) SELECT x + 1000 FROM c");
    EXPECT_EQ(openError(path), message);

    // An outline of as many lines.
    std::string lines;
    for (std::uint64_t i = 0; i < count; ++i)
        lines += "x\n";
    writeBytes(folder / "outline.txt", lines);
    VQDocument document;
    std::optional<std::string> error;
    EXPECT_FALSE(document.readFromURL(folder / "outline.txt", "public.text", &error));
    EXPECT_EQ(error, message);
    EXPECT_TRUE(document.project().graph.isEmpty());

    // Nor does a map grow past it by a paste.
    Pasteboard board;
    board.setString(lines, Pasteboard::stringType);
    DocumentClipboard(document).pasteFromPasteBoard({0, 0}, false, board);
    EXPECT_TRUE(document.project().graph.isEmpty());
}

TEST(HostileDocuments, SchemaCodeUnderOurTableNamesIsRefusedBeforeItRuns)
{
    Folder folder;
    const std::string recursive = craftedDatabase(
        folder, "recursive.radovudo",
        "DROP TABLE nodes; CREATE VIEW nodes AS WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) "
        "SELECT x AS id, NULL AS parentID, 0.0 AS createdTS, 0.0 AS modifiedTS FROM c;");
    const std::string huge = craftedDatabase(
        folder, "huge.radovudo",
        "DROP TABLE node_titles; CREATE VIEW node_titles AS SELECT id, id AS nodeID, "
        "printf('%.*c', 1000000000, 'x') AS title FROM nodes;");
    const std::string trigger = craftedDatabase(
        folder, "trigger.radovudo", "CREATE TRIGGER t AFTER INSERT ON selected_nodes BEGIN DELETE FROM nodes; END;");
    const std::string mixedCase = craftedDatabase(
        folder, "case.radovudo", "DROP TABLE grid; CREATE VIEW GRID AS SELECT 1 AS style_json;");

    const auto started = std::chrono::steady_clock::now();
    for (const auto& [path, name] : {std::pair{recursive, "nodes"}, std::pair{huge, "node_titles"},
                                     std::pair{trigger, "selected_nodes"}, std::pair{mixedCase, "GRID"}}) {
        const std::optional<std::string> error = openError(path);
        ASSERT_TRUE(error) << path;
        EXPECT_EQ(*error, DatabaseError::foreignSchema(name).what());
    }
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_EQ(DatabaseError::foreignSchema("nodes").what(),
              std::string("The document can not be opened: its database makes \u201cnodes\u201d a view, a trigger "
                          "or a virtual table, which this program does not run."));
}

TEST(HostileDocuments, EveryReadSharesOneBudgetOfEngineSteps)
{
    Folder folder;
    const std::string path = craftedDatabase(folder, "sound.radovudo", "");
    Database database = Database::openForReading(path);
    // Ordinary reads fit the budget; a runaway statement is stopped and the budget reports it.
    EXPECT_NO_THROW(database.openConnection().execute("SELECT count(*) FROM nodes"));
    EXPECT_FALSE(database.workBudgetExceeded());
    EXPECT_THROW(database.openConnection().execute(
                     "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT max(x) FROM c"),
                 sql::Result);
    EXPECT_TRUE(database.workBudgetExceeded());
    // Nothing can be written, attached or run from outside.
    EXPECT_THROW(database.openConnection().execute("DELETE FROM nodes"), sql::Result);
    EXPECT_THROW(database.openConnection().execute("ATTACH ':memory:' AS other"), sql::Result);
}

TEST(HostileDocuments, DamagedHeadersGiveTheDamagedMessage)
{
    Folder folder;
    const std::string damaged = std::string(VQDocumentFiles::damagedDocumentMessage);
    // A read format of a newer engine, and a schema format number no engine knows.
    for (const auto& [offset, value] : {std::pair{19, 3}, std::pair{47, 9}}) {
        const std::string path = craftedDatabase(folder, "header" + std::to_string(offset) + ".radovudo", "");
        std::string bytes = fileBytes(path);
        bytes[static_cast<std::size_t>(offset)] = static_cast<char>(value);
        writeBytes(path, bytes);
        EXPECT_EQ(openError(path), std::optional<std::string>(damaged)) << offset;
    }
}

TEST(HostileDocuments, AWriteAheadLogDatabaseOpensFromAPrivateCopy)
{
    Folder folder;
    const std::string path = craftedDatabase(folder, "wal.radovudo", "PRAGMA journal_mode = WAL;");
    const std::string before = fileBytes(path);
    ASSERT_EQ(before[18], 2);
    VQDocument document;
    std::optional<std::string> error;
    ASSERT_TRUE(document.readFromURL(path, ownType, &error)) << error.value_or("");
    EXPECT_EQ(document.project().graph.count(), richProject().graph.count());
    EXPECT_EQ(folderNames(folder.path()), std::vector<std::string>{"wal.radovudo"});
    EXPECT_EQ(fileBytes(path), before);
}

TEST(HostileDocuments, LeftoversOfKilledSavesGoBeforeTheNextSave)
{
    namespace fs = std::filesystem;
    const auto makeOld = [](const std::string& folder) {
        fs::create_directories(folder);
        writeBytes(folder + "/database.sqlite", "left over");
        fs::last_write_time(folder, fs::file_time_type::clock::now() - std::chrono::hours(2));
    };
    const std::string caches = cacheFolder();
    const std::string dead = caches + "/0A1B2C3D-0000-4000-8000-000000000001";
    const std::string deadWorking = Database::workingDirectory(dead + "/database.sqlite");
    makeOld(deadWorking);
    makeOld(dead);
    const VQDocumentFiles::HeldScratchFolder held;
    const Database heldDatabase(held.path() + "/database.sqlite"); // a save writing its working copy
    const std::string heldWorking = Database::workingDirectory(held.path() + "/database.sqlite");
    makeOld(held.path());
    const std::string foreign = caches + "/not-a-scratch-folder";
    makeOld(foreign);

    Folder folder;
    const std::string uuid = "5F0E8A2C-1D3B-4C5D-9E6F-708192A3B4C5";
    const std::vector<std::string> kept{".Map.radovudo.not-a-uuid.saving", ".Other.radovudo." + uuid + ".saving",
                                        "Map.radovudo." + uuid + ".saving"};
    for (const std::string& name : kept)
        writeBytes(folder / name, "x");
    writeBytes(folder / (".Map.radovudo." + uuid + ".saving"), "partial archive");

    VQDocument document;
    document.projectForLoading() = richProject();
    std::optional<std::string> error;
    ASSERT_TRUE(document.writeToURL(folder / "Map.radovudo", ownType, &error)) << error.value_or("");

    EXPECT_FALSE(fs::exists(dead));
    EXPECT_FALSE(fs::exists(deadWorking));
    EXPECT_TRUE(fs::exists(held.path()));
    EXPECT_TRUE(fs::exists(heldWorking));
    EXPECT_TRUE(fs::exists(foreign));
    std::vector<std::string> expected = kept;
    expected.push_back("Map.radovudo");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folderNames(folder.path()), expected);
    fs::remove_all(foreign);
    VQDocumentFiles::removeFolder(heldWorking);
}

// Just killed (no minute has passed): the copies go unless a running program holds them, and a folder of
// another program that only shares the form of the name stays. No working path names the cache folder.
TEST(HostileDocuments, CopiesLeftByKilledSavesAndOpensGoAtOnceUnlessHeld)
{
    namespace fs = std::filesystem;
    const std::string caches = cacheFolder();
    const auto leave = [](const std::string& folder, const std::string& name) {
        fs::create_directories(folder);
        writeBytes(folder + "/" + name, "left over");
    };
    const std::string killedOpen = caches + "/0A1B2C3D-0000-4000-8000-000000000011";
    const std::string killedSave = Database::workingDirectory(caches + "/0A1B2C3D-0000-4000-8000-000000000012/"
                                                              "database.sqlite");
    leave(killedOpen, "database.sqlite");
    leave(killedSave, "database.sqlite");
    const std::string foreign = caches + "/0A1B2C3D-0000-4000-8000-000000000013";
    leave(foreign, "notes.txt");
    const VQDocumentFiles::HeldScratchFolder held;
    const Database heldDatabase(held.path() + "/database.sqlite");
    leave(held.path(), "database.sqlite");

    VQDocumentFiles::removeLeftovers();
    EXPECT_FALSE(fs::exists(killedOpen));
    EXPECT_FALSE(fs::exists(killedSave));
    EXPECT_TRUE(fs::exists(foreign));
    EXPECT_TRUE(fs::exists(held.path() + "/database.sqlite"));
    EXPECT_TRUE(fs::exists(Database::workingPath(held.path() + "/database.sqlite")));
    EXPECT_EQ(killedSave.find(caches), std::string::npos) << killedSave;
    fs::remove_all(foreign);
}

// A node image that is an SVG naming a pipe (which a read would wait on for ever) opens and saves at once, and
// draws none of what it names.
TEST(HostileDocuments, AnSvgNodeImageNamingAPipeOpensAndSavesAtOnce)
{
    Folder folder;
    const std::string pipe = folder / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                            "width=\"30\" height=\"30\"><image width=\"30\" height=\"30\" xlink:href=\"" + pipe
        + "\"/></svg>";
    const std::string path = craftedDatabase(folder, "piped.radovudo", "UPDATE node_images SET image = X'"
                                                  + QByteArray::fromStdString(svg).toHex().toStdString() + "'");
    const sql::OptBinding images = sql::Connection::open(path)->scalar("SELECT count(*) FROM node_images");
    ASSERT_TRUE(images && std::get<std::int64_t>(*images) > 0) << "the map holds images";
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(20);
        VQDocument document;
        std::optional<std::string> error;
        const bool opened = document.readFromURL(path, ownType, &error);
        const bool saved = opened && document.writeToURL(folder / "saved.radovudo", ownType, &error);
        ::_exit(saved ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
}

namespace {

// Opens the map with its pictures' bytes replaced by the picture: the map opens without any picture shown, its
// warning names the pictures and the reason, and a save keeps every picture's bytes as they came.
void expectOpensWithoutPicturesAndSays(const QByteArray& picture, const std::string& reason)
{
    Folder folder;
    const std::string path = craftedDatabase(folder, "costly.radovudo", "UPDATE node_images SET image = X'"
                                                 + picture.toHex().toStdString() + "'");
    const sql::OptBinding images = sql::Connection::open(path)->scalar("SELECT count(*) FROM node_images");
    ASSERT_TRUE(images && std::get<std::int64_t>(*images) > 0) << "the map holds images";
    VQDocument document;
    std::optional<std::string> error;
    ASSERT_TRUE(document.readFromURL(path, ownType, &error)) << error.value_or("");
    ASSERT_TRUE(picturesRead(document));
    for (const Node& node : document.project().graph.storedNodes())
        EXPECT_FALSE(node.image()) << node.uid;
    const std::string warning = document.readWarning();
    const std::string count = std::to_string(std::get<std::int64_t>(*images));
    EXPECT_TRUE(warning.starts_with(count == "1" ? "The picture of " : count + " pictures are not shown.")) << warning;
    EXPECT_NE(warning.find(reason), std::string::npos) << warning;
    EXPECT_NE(warning.find(" in the map as "), std::string::npos) << warning;

    const std::string saved = folder / "saved.radovudo";
    ASSERT_TRUE(document.writeToURL(saved, ownType, &error)) << error.value_or("");
    VQDocument reopened;
    ASSERT_TRUE(reopened.readFromURL(saved, ownType, &error)) << error.value_or("");
    int kept = 0;
    for (const Node& node : reopened.project().graph.storedNodes())
        if (const Bytes* bytes = node.keptPictureBytes())
            kept += QByteArray(reinterpret_cast<const char*>(bytes->data()), qsizetype(bytes->size())) == picture;
    EXPECT_EQ(kept, std::get<std::int64_t>(*images));
}

} // namespace

// A node image that is an SVG whose one entity, named 15,000 times, expands to 60 million characters: the map
// opens at once without the picture, and says so.
TEST(HostileDocuments, AMapWhosePictureCostsTooMuchOpensWithoutItAndSaysSo)
{
    QByteArray svg = "<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY e \"" + QByteArray(4000, 'a')
        + "\">]><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"40\"><text>";
    for (int i = 0; i < 15000; ++i)
        svg += "&e;";
    expectOpensWithoutPicturesAndSays(svg + "</text></svg>", "with its entities expanded, runs to 60,0");
}

// Node images that are SVG images embedding an ICO file whose PNG states a 2 GB chunk (each would take 900 MB
// and seconds to read): the map opens at once without them, and says why.
TEST(HostileDocuments, AMapWhosePictureHoldsADamagedPictureOpensWithoutItAndSaysSo)
{
    QImage small(8, 8, QImage::Format_RGB32);
    small.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    small.save(&buffer, "PNG");
    png.chop(12); // the end chunk, in place of which comes a text chunk stating 2 GB
    png += QByteArray("\x7f\xff\xff\xfftEXt", 8) + QByteArray(200, 'x') + QByteArray(4, '\0');
    const auto le = [](std::uint32_t value, int length) {
        QByteArray bytes;
        for (int i = 0; i < length; ++i)
            bytes += char((value >> (8 * i)) & 0xff);
        return bytes;
    };
    const QByteArray icon = le(0, 2) + le(1, 2) + le(1, 2) + QByteArray("\x08\x08\0\0", 4) + le(1, 2) + le(32, 2)
        + le(std::uint32_t(png.size()), 4) + le(22, 4) + png;
    const QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                           "width=\"8\" height=\"8\"><image width=\"8\" height=\"8\" xlink:href=\"data:image/x-icon;base64,"
        + icon.toBase64() + "\"/></svg>";
    expectOpensWithoutPicturesAndSays(svg, "its \u201ctEXt\u201d chunk states 2,147,483,647 bytes, more than the file holds.");
}

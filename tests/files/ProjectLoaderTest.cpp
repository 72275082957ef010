// A whole project written and read back, the project-level tables as written, the version rule, and
// the fallbacks and problems of each loader.

#include "DocumentDbTestSupport.h"
#include "support/RichProject.h"

#include "files/ProjectLoader.h"
#include "files/ProjectWriter.h"
#include "model/graph/NodeUID.h"
#include "platform/Clock.h"

#include <QImage>

#include <fstream>

using namespace documentdbtest;
using velquine::testing::richProject;

namespace {

struct Opened {
    Folder folder;
    std::string path;
    Database database;
};

// The project saved as a file and that file opened read-only, as the opener does.
std::unique_ptr<Opened> saveAndOpen(const VQProject& project)
{
    auto opened = std::make_unique<Opened>();
    opened->path = opened->folder / "database.sqlite";
    writeProjectDatabase(project, opened->path);
    opened->database.connection = sql::Connection::open(opened->path, true);
    return opened;
}

void expectSameGraph(const Graph& loaded, const Graph& original)
{
    ASSERT_EQ(loaded.count(), original.count());
    for (const auto& [uid, node] : original.nodeBin()) {
        const std::optional<Node> back = loaded.node(uid);
        ASSERT_TRUE(back) << uid;
        EXPECT_FALSE(back->differs(node)) << uid;
        EXPECT_EQ(back->modifiedTimestamp, node.modifiedTimestamp) << uid;
    }
}

} // namespace

TEST(ProjectRoundTrip, EveryKindOfContentReadsBackFieldByField)
{
    const VQProject project = richProject();
    auto opened = saveAndOpen(project);
    VQProject loaded;
    const ProjectLoadingProblems problems = loadProjectFrom(loaded, opened->database);
    EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems.front().message);
    readPictures(loaded.graph);

    EXPECT_EQ(loaded.dataSchemaVersion(), 2);
    EXPECT_EQ(loaded.title, project.title);
    EXPECT_EQ(loaded.author, project.author);
    EXPECT_EQ(loaded.notes, project.notes);
    EXPECT_EQ(loaded.projectStyle, project.projectStyle);
    EXPECT_EQ(loaded.grid.type, GridType::circles);
    EXPECT_EQ(loaded.grid.size, (Size{12.0, 30.0}));
    EXPECT_EQ(loaded.baseLayoutOptions, project.baseLayoutOptions);
    EXPECT_EQ(loaded.selectedNodeUIDs, (std::vector<std::int64_t>{7004, 7002, 7004}));
    expectSameGraph(loaded.graph, project.graph);
    ASSERT_TRUE(loaded.graph.node(7002)->image());
    EXPECT_EQ(*loaded.graph.node(7002)->image(), *project.graph.node(7002)->image());
}

TEST(ProjectRoundTrip, AnEmptyProjectReadsBackAsANewOne)
{
    const VQProject project;
    auto opened = saveAndOpen(project);
    VQProject loaded;
    loaded.title = "to be replaced";
    EXPECT_TRUE(loadProjectFrom(loaded, opened->database).empty());
    EXPECT_EQ(loaded.title, "");
    EXPECT_EQ(loaded.projectStyle, ProjectStyle::omaha());
    EXPECT_EQ(loaded.grid.type, GridType::noGrid);
    EXPECT_EQ(loaded.grid.size, (Size{24, 24}));
    EXPECT_EQ(loaded.baseLayoutOptions, LayoutOptions());
    EXPECT_TRUE(loaded.graph.isEmpty());
    EXPECT_TRUE(loaded.selectedNodeUIDs.empty());
}

TEST(ProjectWriting, ProjectLevelRowsAsWritten)
{
    VQProject project = richProject();
    project.graph = Graph();
    project.selectedNodeUIDs = {7, 7, 99};
    Folder folder;
    Database database = freshDatabase(folder);
    {
        ScopedClock clock(1700000000.9);
        writeProjectTo(project, database);
    }
    EXPECT_EQ(rows(database, "SELECT version, last_update FROM metainfo"),
              std::vector<std::string>{"2|1700000000"});
    EXPECT_EQ(rows(database, "SELECT title, author, notes FROM project"),
              std::vector<std::string>{"'" + project.title + "'|'M. O'Brien'|'first line\nsecond \"line\"'"});
    EXPECT_EQ(rows(database, "SELECT style_json FROM project_style"),
              std::vector<std::string>{"'" + project.projectStyle.jsonValue() + "'"});
    EXPECT_EQ(rows(database, "SELECT style_json FROM grid"),
              std::vector<std::string>{"'{\"type\":{\"circles\":{}},\"size\":[12,30]}'"});
    EXPECT_EQ(rows(database, "SELECT layout_type, layout_direction, branch_type, is_manual"
                             " FROM project_base_layout_options"),
              std::vector<std::string>{"'vertical'|'ascending'|'line'|1"});
    EXPECT_EQ(rows(database, "SELECT nodeID FROM selected_nodes ORDER BY rowid"),
              (std::vector<std::string>{"7", "7", "99"}));
    for (const char* table : {"nodes", "node_positions", "node_sizes", "node_titles", "node_urls", "node_notes",
                              "node_shapes", "node_styles", "node_images", "node_folds", "node_layout_options",
                              "node_children_order"})
        EXPECT_EQ(rows(database, std::string("SELECT count(*) FROM ") + table), std::vector<std::string>{"0"})
            << table;
}

TEST(ProjectWriting, SavingTwiceGivesTheSameTables)
{
    const VQProject project = richProject();
    Folder folder;
    Database first = freshDatabase(folder, "first.sqlite");
    Database second = freshDatabase(folder, "second.sqlite");
    writeProjectTo(project, first);
    writeProjectTo(project, second);
    for (const char* table : {"project", "project_style", "grid", "project_base_layout_options", "nodes",
                              "node_positions", "node_sizes", "node_titles", "node_urls", "node_notes",
                              "node_shapes", "node_styles", "node_images", "node_folds", "node_layout_options",
                              "node_children_order", "selected_nodes"}) {
        const std::string query = std::string("SELECT * FROM ") + table + " ORDER BY 1";
        EXPECT_EQ(rows(first, query), rows(second, query)) << table;
    }
    EXPECT_EQ(rows(first, "SELECT version FROM metainfo"), rows(second, "SELECT version FROM metainfo"));
}

TEST(ProjectWriting, AllRowsOrNone)
{
    Folder folder;
    Database database = freshDatabase(folder);
    exec(database, "DROP TABLE node_children_order");
    EXPECT_THROW(writeProjectTo(richProject(), database), sql::Result);
    for (const char* table : {"metainfo", "project", "project_style", "grid", "nodes", "node_folds"})
        EXPECT_EQ(rows(database, std::string("SELECT count(*) FROM ") + table), std::vector<std::string>{"0"})
            << table;

    Database closed;
    const VQProject project;
    using Writer = void (*)(const VQProject&, Database&);
    for (Writer writer : {Writer(writeMetainfoTo), Writer(writeProjectInfoTo), Writer(writeProjectStyleTo),
                          Writer(writeGridTo), Writer(writeBaseLayoutOptionsTo), Writer(writeNodeGraphTo),
                          Writer(writeSelectedNodesTo), Writer(writeProjectTo)}) {
        try {
            writer(project, closed);
            ADD_FAILURE() << "no error";
        } catch (const DatabaseError& error) {
            EXPECT_STREQ(error.what(), "Database connection is not open.");
        }
    }
}

TEST(ProjectVersion, NewerDocumentsAreCatastrophic)
{
    EXPECT_EQ(newerVersionMessage(3, 2), "The document format version is v3.0. This app only supports documents "
                                         "up to version v2.0. Please update Velquine to the newest version!");
    Folder folder;
    Database database = freshDatabase(folder);
    const VQProject project;

    exec(database, "INSERT INTO metainfo (version, last_update) VALUES (2, 0)");
    EXPECT_TRUE(loadVersionFrom(project, database).empty());

    exec(database, "UPDATE metainfo SET version = 3");
    const ProjectLoadingProblems newer = loadVersionFrom(project, database);
    EXPECT_EQ(newer, ProjectLoadingProblems{ProjectLoadingProblem::absoluteWorldEndingCatastrophicProblem(
                         newerVersionMessage(3, 2))});

    // A version that cannot be read counts as one newer than supported.
    // (The column's integer affinity turns '2' and 2.0 into the integer 2; these stay what they are.)
    for (const char* unreadable : {"NULL", "'two'", "2.5", "x'02'"}) {
        exec(database, std::string("UPDATE metainfo SET version = ") + unreadable);
        EXPECT_EQ(loadVersionFrom(project, database), newer) << unreadable;
    }

    // Older versions are taken as they are.
    for (const char* older : {"1", "0", "-5"}) {
        exec(database, std::string("UPDATE metainfo SET version = ") + older);
        EXPECT_TRUE(loadVersionFrom(project, database).empty()) << older;
    }
    exec(database, "DELETE FROM metainfo");
    EXPECT_TRUE(loadVersionFrom(project, database).empty());
    exec(database, "DROP TABLE metainfo");
    EXPECT_EQ(grades(loadVersionFrom(project, database)), "minorProblem");
}

TEST(ProjectVersion, TheOtherLoadersStillReadANewerDocument)
{
    VQProject project = richProject();
    auto opened = saveAndOpen(project);
    Database writable;
    writable.connection = sql::Connection::open(opened->path, false);
    exec(writable, "UPDATE metainfo SET version = 3");
    VQProject loaded;
    const ProjectLoadingProblems problems = loadProjectFrom(loaded, opened->database);
    EXPECT_EQ(grades(problems), "absoluteWorldEndingCatastrophicProblem");
    ASSERT_TRUE(firstCatastrophicProblem(problems));
    EXPECT_EQ(firstCatastrophicProblem(problems)->message, newerVersionMessage(3, 2));
    EXPECT_EQ(loaded.title, project.title);
    EXPECT_EQ(loaded.graph.count(), 5u);
}

TEST(ProjectLoaders, ProjectInfoFallbacks)
{
    Folder folder;
    Database database = freshDatabase(folder);
    VQProject project;
    project.title = "kept";
    project.author = "kept";
    EXPECT_TRUE(loadProjectInfoFrom(project, database).empty());
    EXPECT_EQ(project.title, "kept");

    exec(database, "INSERT INTO project (title, author, notes) VALUES ('T', NULL, x'4142')");
    EXPECT_TRUE(loadProjectInfoFrom(project, database).empty());
    EXPECT_EQ(project.title, "T");
    EXPECT_EQ(project.author, "");
    EXPECT_EQ(project.notes, "");

    exec(database, "DROP TABLE project");
    project.title = "kept again";
    EXPECT_EQ(grades(loadProjectInfoFrom(project, database)), "minorProblem");
    EXPECT_EQ(project.title, "kept again");
}

TEST(ProjectLoaders, ProjectStyleFallbacks)
{
    Folder folder;
    Database database = freshDatabase(folder);
    VQProject project;
    project.projectStyle = ProjectStyle::sunset();
    EXPECT_TRUE(loadProjectStyleFrom(project, database).empty());
    EXPECT_EQ(project.projectStyle.name, ProjectStyle::sunset().name);

    exec(database, "INSERT INTO project_style (style_json) VALUES ('{\"name\": ')");
    const ProjectLoadingProblems problems = loadProjectStyleFrom(project, database);
    EXPECT_EQ(grades(problems), "minorProblem");
    EXPECT_NE(problems[0].message.find("ProjectLoader.cpp:"), std::string::npos);
    EXPECT_EQ(project.projectStyle, ProjectStyle::omaha());

    exec(database, "UPDATE project_style SET style_json = NULL");
    project.projectStyle = ProjectStyle::sunset();
    EXPECT_EQ(grades(loadProjectStyleFrom(project, database)), "minorProblem");
    EXPECT_EQ(project.projectStyle, ProjectStyle::omaha());
}

TEST(ProjectLoaders, GridFallbacks)
{
    Folder folder;
    Database database = freshDatabase(folder);
    VQProject project;
    project.grid.type = GridType::dots;
    EXPECT_TRUE(loadGridFrom(project, database).empty());
    EXPECT_EQ(project.grid.type, GridType::dots);

    exec(database, "INSERT INTO grid (style_json) VALUES ('not json')");
    const ProjectLoadingProblems problems = loadGridFrom(project, database);
    ASSERT_EQ(grades(problems), "minorProblem");
    EXPECT_EQ(problems[0].message.rfind("Could not load from table ", 0), 0u) << problems[0].message;
    EXPECT_NE(problems[0].message.find("\"grid\""), std::string::npos) << problems[0].message;
    EXPECT_EQ(project.grid.type, GridType::noGrid);
    EXPECT_EQ(project.grid.size, (Size{24, 24}));

    exec(database, "UPDATE grid SET style_json = '{\"type\":{\"quad\":{}},\"size\":[32,32]}'");
    EXPECT_TRUE(loadGridFrom(project, database).empty());
    EXPECT_EQ(project.grid.type, GridType::quad);
    EXPECT_EQ(project.grid.size, (Size{32, 32}));
}

TEST(ProjectLoaders, BaseLayoutOptionFallbacks)
{
    using L = LayoutOptions;
    Folder folder;
    Database database = freshDatabase(folder);
    VQProject project;
    project.baseLayoutOptions = L{L::LayoutType::vertical, L::LayoutDirection::descending, L::BranchType::line, true};
    EXPECT_TRUE(loadBaseLayoutOptionsFrom(project, database).empty());
    EXPECT_EQ(project.baseLayoutOptions.layoutType, L::LayoutType::vertical);

    exec(database, "INSERT INTO project_base_layout_options (layout_type, layout_direction, branch_type, is_manual)"
                   " VALUES ('Vertical', '', 'line', 1)");
    EXPECT_TRUE(loadBaseLayoutOptionsFrom(project, database).empty());
    EXPECT_EQ(project.baseLayoutOptions,
              (L{L::LayoutType::horizontal, L::LayoutDirection::ascending, L::BranchType::line, true}));

    exec(database, "UPDATE project_base_layout_options SET layout_type = 'vertical', is_manual = NULL");
    EXPECT_EQ(grades(loadBaseLayoutOptionsFrom(project, database)), "minorProblem");
    EXPECT_EQ(project.baseLayoutOptions, L());
}

TEST(ProjectLoaders, SelectionKeepsRepeatsAndUnknownNodes)
{
    Folder folder;
    Database database = freshDatabase(folder);
    exec(database, "INSERT INTO selected_nodes (nodeID) VALUES (7); INSERT INTO selected_nodes (nodeID) VALUES (7);"
                   "INSERT INTO selected_nodes (nodeID) VALUES (NULL); INSERT INTO selected_nodes (nodeID) VALUES (99);");
    VQProject project;
    EXPECT_EQ(grades(loadSelectedNodesFrom(project, database)), "minorProblem");
    EXPECT_EQ(project.selectedNodeUIDs, (std::vector<std::int64_t>{7, 7, 99}));
    // Appended to, not replaced.
    EXPECT_EQ(grades(loadSelectedNodesFrom(project, database)), "minorProblem");
    EXPECT_EQ(project.selectedNodeUIDs.size(), 6u);

    exec(database, "DROP TABLE selected_nodes");
    EXPECT_EQ(grades(loadSelectedNodesFrom(project, database)), "minorProblem");
    EXPECT_TRUE(project.selectedNodeUIDs.empty());
}

TEST(ProjectLoaders, MissingTablesFallBackTableByTable)
{
    const VQProject project = richProject();
    auto opened = saveAndOpen(project);
    Database writable;
    writable.connection = sql::Connection::open(opened->path, false);
    exec(writable, "DROP TABLE metainfo; DROP TABLE grid; DROP TABLE node_titles; DROP TABLE selected_nodes");
    VQProject loaded;
    const ProjectLoadingProblems problems = loadProjectFrom(loaded, opened->database);
    EXPECT_EQ(grades(problems), "minorProblem,minorProblem,minorProblem,minorProblem");
    EXPECT_EQ(problems[1].message.rfind("Could not load from table ", 0), 0u);
    EXPECT_EQ(loaded.title, project.title);
    EXPECT_EQ(loaded.grid.type, GridType::noGrid);
    EXPECT_EQ(loaded.graph.count(), 5u);
    EXPECT_EQ(loaded.graph.node(7002)->title, "");
    EXPECT_EQ(loaded.graph.node(7002)->url, project.graph.node(7002)->url);
    EXPECT_TRUE(loaded.selectedNodeUIDs.empty());
}

TEST(ProjectLoaders, WithoutAConnectionEveryLoaderResetsItsPart)
{
    Database closed;
    VQProject project = richProject();
    project.title = "";
    project.author = "";
    project.notes = "";
    const ProjectLoadingProblems problems = loadProjectFrom(project, closed);
    ASSERT_EQ(problems.size(), 7u);
    for (const ProjectLoadingProblem& problem : problems)
        EXPECT_EQ(problem, ProjectLoadingProblem::majorProblem("Database is not opened"));
    EXPECT_EQ(project.title, "");
    EXPECT_TRUE(project.graph.isEmpty());
    EXPECT_TRUE(project.selectedNodeUIDs.empty());
    EXPECT_EQ(project.projectStyle, ProjectStyle::omaha());
    EXPECT_EQ(project.grid.type, GridType::noGrid);
    EXPECT_EQ(project.grid.size, (Size{24, 24}));
    EXPECT_EQ(project.baseLayoutOptions, LayoutOptions());

    // Texts are left as they were.
    VQProject titled;
    titled.title = "mine";
    loadProjectInfoFrom(titled, closed);
    EXPECT_EQ(titled.title, "mine");
}

TEST(ProjectLoaders, AFileThatIsNoDatabase)
{
    Folder folder;
    const std::string path = folder / "database.sqlite";
    {
        std::ofstream out(path, std::ios::binary);
        out << std::string(4096, 'x');
    }
    Database database;
    database.connection = sql::Connection::open(path, true);
    VQProject project;
    const ProjectLoadingProblems problems = loadProjectFrom(project, database);
    // Every table read fails on its own; nothing throws.
    EXPECT_EQ(problems.size(), 18u);
    for (const ProjectLoadingProblem& problem : problems)
        EXPECT_EQ(problem.grade, ProjectLoadingProblem::Grade::minorProblem);
    EXPECT_TRUE(project.graph.isEmpty());
}

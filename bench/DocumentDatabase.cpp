// Writing and loading projects of 1,000, 10,000 and 50,000 nodes, and beside them the raw SQLite
// insert of the same rows: one prepared statement per table, one transaction, values computed from
// the project the same way.

#include "files/ChildrenOrder.h"
#include "files/Database.h"
#include "files/NodeGraphLoader.h"
#include "files/NodeGraphWriter.h"
#include "files/ProjectLoader.h"
#include "files/ProjectWriter.h"
#include "platform/Clock.h"
#include "model/graph/Graph.h"
#include "model/style/ProjectStyle.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QStandardPaths>
#include <QTemporaryDir>

#include <stdexcept>
#include <string>

using namespace velquine;

namespace {

// A tree with five children per node, three level styles, a title and position for every node, a
// note on every third and layout options of their own on every hundredth.
Graph makeGraph(int count)
{
    NodeStyle styles[3];
    styles[0].font = Font::systemFont(20.0);
    styles[1].fillColor = Color::black();
    styles[2].borderWidth = StrokeThickness::thin;
    Graph graph;
    for (int i = 1; i <= count; ++i) {
        std::optional<std::int64_t> parent;
        if (i > 1)
            parent = (i - 2) / 5 + 1;
        Node node(i, parent, styles[i == 1 ? 0 : (i <= 6 ? 1 : 2)]);
        node.title = "Node number " + std::to_string(i);
        if (i % 3 == 0)
            node.note = "Some words about node " + std::to_string(i) + ".\nAnd a second line.";
        node.center = {i * 1.5, i * -0.75};
        node.size = {120.0 + i % 7, 40.0};
        node.shape = i % 2 ? NodeShape::roundedRect : NodeShape::underline;
        if (i % 100 == 0)
            node.layoutOptions = LayoutOptions{};
        for (int c = 0; c < 5; ++c) {
            const std::int64_t child = static_cast<std::int64_t>(i - 1) * 5 + 2 + c;
            if (child <= count)
                node.childrenUIDs.push_back(child);
        }
        graph.setNode(node, i);
    }
    return graph;
}

struct Workspace {
    Workspace()
    {
        QStandardPaths::setTestModeEnabled(true);
        if (!folder.isValid())
            throw std::runtime_error("no temporary folder");
    }
    std::string target(int run) const { return folder.path().toStdString() + "/" + std::to_string(run) + ".sqlite"; }
    QTemporaryDir folder;
};

const VQProject& projectOf(int count)
{
    static std::map<int, VQProject> projects;
    auto found = projects.find(count);
    if (found == projects.end()) {
        VQProject project;
        project.title = "A map of " + std::to_string(count) + " nodes";
        project.author = "Bench";
        project.grid.type = GridType::dots;
        project.graph = makeGraph(count);
        project.selectedNodeUIDs = {1, 2, 3};
        found = projects.emplace(count, std::move(project)).first;
    }
    return found->second;
}

void check(int code, sqlite3* db)
{
    if (code != SQLITE_OK && code != SQLITE_DONE)
        throw std::runtime_error(sqlite3_errmsg(db));
}

// The same rows through the raw interface.
void writeRaw(const VQProject& project, sqlite3* db)
{
    const Graph& graph = project.graph;
    check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db);
    auto prepare = [db](const char* sql) {
        sqlite3_stmt* statement = nullptr;
        check(sqlite3_prepare_v2(db, sql, -1, &statement, nullptr), db);
        return statement;
    };
    auto text = [](sqlite3_stmt* s, int i, const std::string& value) {
        sqlite3_bind_text64(s, i, value.data(), value.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    };
    auto step = [db](sqlite3_stmt* s) {
        check(sqlite3_step(s), db);
        sqlite3_reset(s);
    };
    auto oneRow = [&](const char* sql, auto bind) {
        sqlite3_stmt* s = prepare(sql);
        bind(s);
        step(s);
        sqlite3_finalize(s);
    };
    oneRow("INSERT INTO metainfo (version, last_update) VALUES (?, ?)", [&](sqlite3_stmt* s) {
        sqlite3_bind_int64(s, 1, project.dataSchemaVersion());
        sqlite3_bind_int64(s, 2, static_cast<std::int64_t>(Clock::now()));
    });
    oneRow("INSERT INTO project (title, author, notes) VALUES (?, ?, ?)", [&](sqlite3_stmt* s) {
        text(s, 1, project.title);
        text(s, 2, project.author);
        text(s, 3, project.notes);
    });
    oneRow("INSERT INTO project_style (style_json) VALUES (?)",
           [&](sqlite3_stmt* s) { text(s, 1, project.projectStyle.jsonValue()); });
    oneRow("INSERT INTO grid (style_json) VALUES (?)", [&](sqlite3_stmt* s) { text(s, 1, project.grid.jsonValue()); });
    oneRow("INSERT INTO project_base_layout_options (layout_type, layout_direction, branch_type, is_manual)"
           " VALUES (?, ?, ?, ?)",
           [&](sqlite3_stmt* s) {
               text(s, 1, stringValue(project.baseLayoutOptions.layoutType));
               text(s, 2, stringValue(project.baseLayoutOptions.layoutDirection));
               text(s, 3, stringValue(project.baseLayoutOptions.branchType));
               sqlite3_bind_int64(s, 4, project.baseLayoutOptions.isManual ? 1 : 0);
           });
    auto eachNode = [&](const char* sql, auto bind) {
        sqlite3_stmt* s = prepare(sql);
        for (const auto& [uid, node] : graph.nodeBin()) {
            if (bind(s, node))
                step(s);
        }
        sqlite3_finalize(s);
    };
    eachNode("INSERT INTO nodes (id, parentID, createdTS, modifiedTS) VALUES (?, ?, ?, ?)", [](sqlite3_stmt* s, const Node& n) {
        sqlite3_bind_int64(s, 1, n.uid);
        if (n.parentUID)
            sqlite3_bind_int64(s, 2, *n.parentUID);
        else
            sqlite3_bind_null(s, 2);
        sqlite3_bind_double(s, 3, n.createdTimestamp);
        sqlite3_bind_double(s, 4, n.modifiedTimestamp);
        return true;
    });
    eachNode("INSERT INTO node_positions (id, nodeID, x, y) VALUES (?, ?, ?, ?)", [](sqlite3_stmt* s, const Node& n) {
        sqlite3_bind_int64(s, 1, n.uid);
        sqlite3_bind_int64(s, 2, n.uid);
        sqlite3_bind_double(s, 3, n.center.x);
        sqlite3_bind_double(s, 4, n.center.y);
        return true;
    });
    eachNode("INSERT INTO node_sizes (id, nodeID, autoSize, width, height) VALUES (?, ?, ?, ?, ?)",
             [](sqlite3_stmt* s, const Node& n) {
                 sqlite3_bind_int64(s, 1, n.uid);
                 sqlite3_bind_int64(s, 2, n.uid);
                 sqlite3_bind_int64(s, 3, n.autoSize ? 1 : 0);
                 sqlite3_bind_double(s, 4, n.size.width);
                 sqlite3_bind_double(s, 5, n.size.height);
                 return true;
             });
    for (const char* sql : {"INSERT INTO node_titles (id, nodeID, title) VALUES (?, ?, ?)",
                            "INSERT INTO node_urls (id, nodeID, url) VALUES (?, ?, ?)",
                            "INSERT INTO node_notes (id, nodeID, note) VALUES (?, ?, ?)"}) {
        const int which = sql[17] == 't' ? 0 : sql[17] == 'u' ? 1 : 2;
        eachNode(sql, [&](sqlite3_stmt* s, const Node& n) {
            sqlite3_bind_int64(s, 1, n.uid);
            sqlite3_bind_int64(s, 2, n.uid);
            text(s, 3, which == 0 ? n.title : which == 1 ? n.url : n.note);
            return true;
        });
    }
    eachNode("INSERT INTO node_shapes (id, nodeID, shape, children_inherit_shape) VALUES (?, ?, ?, ?)",
             [&](sqlite3_stmt* s, const Node& n) {
                 sqlite3_bind_int64(s, 1, n.uid);
                 sqlite3_bind_int64(s, 2, n.uid);
                 text(s, 3, stringValue(n.shape));
                 sqlite3_bind_int64(s, 4, n.childrenShouldInheritShape ? 1 : 0);
                 return true;
             });
    const NodeStyle* lastStyle = nullptr;
    std::string lastJson;
    eachNode("INSERT INTO node_styles (id, nodeID, style_json) VALUES (?, ?, ?)", [&](sqlite3_stmt* s, const Node& n) {
        if (!lastStyle || !(*lastStyle == n.style)) {
            lastJson = n.style.jsonValue();
            lastStyle = &n.style;
        }
        sqlite3_bind_int64(s, 1, n.uid);
        sqlite3_bind_int64(s, 2, n.uid);
        text(s, 3, lastJson);
        return true;
    });
    eachNode("INSERT INTO node_images (id, nodeID, image) VALUES (?, ?, ?)", [](sqlite3_stmt* s, const Node& n) {
        if (!n.image())
            return false;
        const auto tiff = n.image()->tiffData();
        if (!tiff)
            return false;
        sqlite3_bind_int64(s, 1, n.uid);
        sqlite3_bind_int64(s, 2, n.uid);
        sqlite3_bind_blob64(s, 3, tiff->data(), tiff->size(), SQLITE_TRANSIENT);
        return true;
    });
    eachNode("INSERT INTO node_folds (id, nodeID, is_folded) VALUES (?, ?, ?)", [](sqlite3_stmt* s, const Node& n) {
        sqlite3_bind_int64(s, 1, n.uid);
        sqlite3_bind_int64(s, 2, n.uid);
        sqlite3_bind_int64(s, 3, n.isFolded ? 1 : 0);
        return true;
    });
    eachNode("INSERT INTO node_layout_options (id, nodeID, layout_type, layout_direction, branch_type, is_manual)"
             " VALUES (?, ?, ?, ?, ?, ?)",
             [&](sqlite3_stmt* s, const Node& n) {
                 if (!n.layoutOptions)
                     return false;
                 sqlite3_bind_int64(s, 1, n.uid);
                 sqlite3_bind_int64(s, 2, n.uid);
                 text(s, 3, stringValue(n.layoutOptions->layoutType));
                 text(s, 4, stringValue(n.layoutOptions->layoutDirection));
                 text(s, 5, stringValue(n.layoutOptions->branchType));
                 sqlite3_bind_int64(s, 6, n.layoutOptions->isManual ? 1 : 0);
                 return true;
             });
    eachNode("INSERT INTO node_children_order (id, nodeID, sorted_children_json) VALUES (?, ?, ?)",
             [&](sqlite3_stmt* s, const Node& n) {
                 sqlite3_bind_int64(s, 1, n.uid);
                 sqlite3_bind_int64(s, 2, n.uid);
                 text(s, 3, childrenOrderJson(n.childrenUIDs));
                 return true;
             });
    sqlite3_stmt* selected = prepare("INSERT INTO selected_nodes (nodeID) VALUES (?)");
    for (std::int64_t uid : project.selectedNodeUIDs) {
        sqlite3_bind_int64(selected, 1, uid);
        step(selected);
    }
    sqlite3_finalize(selected);
    check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db);
}

void BM_WriteProject(benchmark::State& state)
{
    Workspace workspace;
    const VQProject& project = projectOf(static_cast<int>(state.range(0)));
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Database database(workspace.target(run++));
        state.ResumeTiming();
        writeProjectTo(project, database);
    }
}
BENCHMARK(BM_WriteProject)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

void BM_WriteProjectRaw(benchmark::State& state)
{
    Workspace workspace;
    const VQProject& project = projectOf(static_cast<int>(state.range(0)));
    int run = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Database database(workspace.target(run++));
        state.ResumeTiming();
        writeRaw(project, database.connection->handle());
    }
}
BENCHMARK(BM_WriteProjectRaw)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

// The whole save of the database file: working copy with its schema, the rows, the move into place.
void BM_WriteProjectDatabaseFile(benchmark::State& state)
{
    Workspace workspace;
    const VQProject& project = projectOf(static_cast<int>(state.range(0)));
    for (auto _ : state)
        writeProjectDatabase(project, workspace.target(0));
}
BENCHMARK(BM_WriteProjectDatabaseFile)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

void BM_LoadProject(benchmark::State& state)
{
    Workspace workspace;
    const VQProject& project = projectOf(static_cast<int>(state.range(0)));
    writeProjectDatabase(project, workspace.target(0));
    Database database;
    database.connection = sql::Connection::open(workspace.target(0), true);
    for (auto _ : state) {
        VQProject loaded;
        ProjectLoadingProblems problems = loadProjectFrom(loaded, database);
        if (!problems.empty() || loaded.graph.count() != project.graph.count())
            state.SkipWithError("the project did not load back");
        benchmark::DoNotOptimize(loaded);
    }
}
BENCHMARK(BM_LoadProject)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

} // namespace

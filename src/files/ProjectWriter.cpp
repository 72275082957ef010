#include "files/ProjectWriter.h"

#include "files/DocumentTables.h"
#include "files/NodeGraphWriter.h"
#include "files/RowWriter.h"
#include "platform/Clock.h"

#include <cmath>
#include <limits>

namespace velquine {

namespace db = documentdb;
using sql::set;

namespace {

// One row into a table, inside its own savepoint.
void writeRow(Database& database, const sql::Table& table, const char* savepoint,
              const std::function<std::vector<sql::Setter>()>& values)
{
    sql::Connection& connection = database.openConnection();
    connection.savepoint(savepoint, [&] { connection.run(table.insert(values())); });
}

// Whole seconds, cut toward zero; times beyond the 64-bit range keep its ends.
std::int64_t wholeSeconds(double seconds)
{
    if (std::isnan(seconds))
        return 0;
    if (seconds >= 9223372036854775807.0)
        return std::numeric_limits<std::int64_t>::max();
    if (seconds <= -9223372036854775808.0)
        return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(seconds);
}

} // namespace

void writeMetainfoTo(const VQProject& project, Database& database)
{
    writeRow(database, db::metainfo, "writeMetainfo", [&] {
        return std::vector<sql::Setter>{set(db::version, project.dataSchemaVersion()),
                                        set(db::lastUpdate, wholeSeconds(Clock::now()))};
    });
}

void writeProjectInfoTo(const VQProject& project, Database& database)
{
    writeRow(database, db::project, "writeProjectInfo", [&] {
        return std::vector<sql::Setter>{set(db::title, project.title), set(db::author, project.author),
                                        set(db::notes, project.notes)};
    });
}

void writeProjectStyleTo(const VQProject& project, Database& database)
{
    database.openConnection();
    const std::string json = project.projectStyle.jsonValue();
    writeRow(database, db::projectStyle, "writeProjectStyle",
             [&] { return std::vector<sql::Setter>{set(db::styleJson, json)}; });
}

void writeGridTo(const VQProject& project, Database& database)
{
    database.openConnection();
    const std::string json = project.grid.jsonValue();
    writeRow(database, db::grid, "writeGrid", [&] { return std::vector<sql::Setter>{set(db::styleJson, json)}; });
}

void writeBaseLayoutOptionsTo(const VQProject& project, Database& database)
{
    const LayoutOptions& options = project.baseLayoutOptions;
    writeRow(database, db::projectBaseLayoutOptions, "writeBaseLayoutOptions", [&] {
        return std::vector<sql::Setter>{set(db::layoutType, stringValue(options.layoutType)),
                                        set(db::layoutDirection, stringValue(options.layoutDirection)),
                                        set(db::branchType, stringValue(options.branchType)),
                                        set(db::isManual, options.isManual)};
    });
}

void writeNodeGraphTo(const VQProject& project, Database& database)
{
    writeNodeGraphTo(project.graph, database);
}

void writeSelectedNodesTo(const VQProject& project, Database& database)
{
    sql::Connection& connection = database.openConnection();
    connection.savepoint("writeSelectedNodes", [&] {
        RowWriter writer(connection, db::selectedNodes);
        for (std::int64_t uid : project.selectedNodeUIDs)
            writer.insert({set(db::nodeID, uid)});
    });
}

void writeProjectTo(const VQProject& project, Database& database)
{
    sql::Connection& connection = database.openConnection();
    connection.transaction([&] {
        writeMetainfoTo(project, database);
        writeProjectInfoTo(project, database);
        writeProjectStyleTo(project, database);
        writeGridTo(project, database);
        writeBaseLayoutOptionsTo(project, database);
        writeNodeGraphTo(project, database);
        writeSelectedNodesTo(project, database);
    });
}

void writeProjectDatabase(const VQProject& project, const std::string& path)
{
    Database database(path);
    writeProjectTo(project, database);
    database.closeAndMove(path);
}

} // namespace velquine

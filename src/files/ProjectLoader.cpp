#include "files/ProjectLoader.h"

#include "files/DocumentTables.h"
#include "files/NodeGraphLoader.h"
#include "files/RowDefaults.h"
#include "files/TableReading.h"

namespace velquine {

namespace db = documentdb;

namespace {

ProjectLoadingProblems notOpened()
{
    return {ProjectLoadingProblem::majorProblem(databaseNotOpenedMessage)};
}

} // namespace

std::string newerVersionMessage(std::int64_t version, std::int64_t supported)
{
    return "The document format version is v" + std::to_string(version)
        + ".0. This app only supports documents up to version v" + std::to_string(supported)
        + ".0. Please update Velquine to the newest version!";
}

ProjectLoadingProblems loadVersionFrom(const VQProject& project, const Database& database)
{
    if (!database.connection)
        return notOpened();
    ProjectLoadingProblems problems;
    const std::int64_t supported = project.dataSchemaVersion();
    std::int64_t version = -1;
    try {
        sql::RowIterator rows = selectAll(*database.connection, db::metainfo, 1);
        if (std::optional<sql::Row> row = rows.failableNext()) {
            std::optional<std::int64_t> stored = (*row)[db::optionalVersion];
            // A version that cannot be read may be anything: it is taken as a newer one.
            version = stored ? *stored : supported + 1;
        }
    } catch (...) {
        problems.push_back(VQ_MINOR_PROBLEM(errorText(std::current_exception())));
    }
    if (version > supported)
        problems.push_back(
            ProjectLoadingProblem::absoluteWorldEndingCatastrophicProblem(newerVersionMessage(version, supported)));
    return problems;
}

ProjectLoadingProblems loadProjectInfoFrom(VQProject& project, const Database& database)
{
    if (!database.connection)
        return notOpened();
    ProjectLoadingProblems problems;
    try {
        sql::RowIterator rows = selectAll(*database.connection, db::project, 1);
        if (std::optional<sql::Row> row = rows.failableNext()) {
            project.title = get(*row, db::optionalTitle, std::string());
            project.author = get(*row, db::optionalAuthor, std::string());
            project.notes = get(*row, db::optionalNotes, std::string());
        }
    } catch (...) {
        problems.push_back(VQ_MINOR_PROBLEM(errorText(std::current_exception())));
    }
    return problems;
}

ProjectLoadingProblems loadProjectStyleFrom(VQProject& project, const Database& database)
{
    if (!database.connection) {
        project.projectStyle = ProjectStyle::omaha();
        return notOpened();
    }
    ProjectLoadingProblems problems;
    try {
        sql::RowIterator rows = selectAll(*database.connection, db::projectStyle, 1);
        if (std::optional<sql::Row> row = rows.failableNext())
            project.projectStyle = ProjectStyle::fromJsonString(row->get(db::styleJson));
    } catch (...) {
        project.projectStyle = ProjectStyle::omaha();
        problems.push_back(VQ_MINOR_PROBLEM(errorText(std::current_exception())));
    }
    return problems;
}

ProjectLoadingProblems loadGridFrom(VQProject& project, const Database& database)
{
    if (!database.connection) {
        project.grid = Grid();
        return notOpened();
    }
    ProjectLoadingProblems problems;
    const sql::Table query = db::grid.limit(1);
    try {
        sql::RowIterator rows = database.connection->prepare(query.select(sql::star));
        if (std::optional<sql::Row> row = rows.failableNext())
            project.grid = Grid::fromJsonString(row->get(db::styleJson));
    } catch (...) {
        project.grid = Grid();
        problems.push_back(ProjectLoadingProblem::minorProblem(
            "Could not load from table " + query.expression().description() + ": "
            + errorText(std::current_exception())));
    }
    return problems;
}

ProjectLoadingProblems loadBaseLayoutOptionsFrom(VQProject& project, const Database& database)
{
    if (!database.connection) {
        project.baseLayoutOptions = LayoutOptions();
        return notOpened();
    }
    ProjectLoadingProblems problems;
    try {
        sql::RowIterator rows = selectAll(*database.connection, db::projectBaseLayoutOptions, 1);
        if (std::optional<sql::Row> row = rows.failableNext()) {
            LayoutOptions& options = project.baseLayoutOptions;
            options.layoutType = layoutTypeFromString(row->get(db::layoutType));
            options.layoutDirection = layoutDirectionFromString(row->get(db::layoutDirection));
            options.branchType = branchTypeFromString(row->get(db::branchType));
            options.isManual = row->get(db::isManual);
        }
    } catch (...) {
        project.baseLayoutOptions = LayoutOptions();
        problems.push_back(VQ_MINOR_PROBLEM(errorText(std::current_exception())));
    }
    return problems;
}

ProjectLoadingProblems loadNodeGraphFrom(VQProject& project, const Database& database)
{
    return loadNodeGraphFrom(project.graph, project.projectStyle, database);
}

ProjectLoadingProblems loadSelectedNodesFrom(VQProject& project, const Database& database)
{
    if (!database.connection) {
        project.selectedNodeUIDs.clear();
        return notOpened();
    }
    ProjectLoadingProblems problems;
    const bool queried = readRows(*database.connection, db::selectedNodes, problems, [&](const sql::Row& row) {
        project.selectedNodeUIDs.push_back(row.get(db::nodeID));
    });
    if (!queried)
        project.selectedNodeUIDs.clear();
    return problems;
}

ProjectLoadingProblems loadProjectFrom(VQProject& project, const Database& database)
{
    ProjectLoadingProblems problems;
    auto add = [&problems](ProjectLoadingProblems more) {
        problems.insert(problems.end(), std::make_move_iterator(more.begin()), std::make_move_iterator(more.end()));
    };
    add(loadVersionFrom(project, database));
    add(loadProjectInfoFrom(project, database));
    add(loadProjectStyleFrom(project, database));
    add(loadGridFrom(project, database));
    add(loadBaseLayoutOptionsFrom(project, database));
    add(loadNodeGraphFrom(project, database));
    add(loadSelectedNodesFrom(project, database));
    return problems;
}

} // namespace velquine

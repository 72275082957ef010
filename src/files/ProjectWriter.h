#pragma once

// Writes a project into the tables of a document database. The seven writers each fill their own
// tables; writeProjectTo runs all seven, in their order, inside one transaction, and
// writeProjectDatabase makes the whole file of a save.
//
// Every writer throws DatabaseError::databaseNotOpen when the database has no connection (and writes
// nothing), what making a JSON text throws, and the sql::Result of a failing insert. Each writer's
// rows go in inside one savepoint, so a writer that fails leaves none of its rows behind.

#include "files/Database.h"
#include "model/project/VQProject.h"

#include <string>

namespace velquine {

// metainfo: the project's data schema version and the time of writing in whole seconds since 1970.
void writeMetainfoTo(const VQProject& project, Database& database);
// project: title, author, notes.
void writeProjectInfoTo(const VQProject& project, Database& database);
// project_style: the project style as its JSON text.
void writeProjectStyleTo(const VQProject& project, Database& database);
// grid: the grid as its JSON text.
void writeGridTo(const VQProject& project, Database& database);
// project_base_layout_options: the three option words and isManual.
void writeBaseLayoutOptionsTo(const VQProject& project, Database& database);
// The twelve node tables (see NodeGraphWriter.h).
void writeNodeGraphTo(const VQProject& project, Database& database);
// selected_nodes: one row per selected identifier, in selection order, repeats and unknown nodes kept.
void writeSelectedNodesTo(const VQProject& project, Database& database);

// The seven writers in the order above, inside one transaction: all rows or none.
void writeProjectTo(const VQProject& project, Database& database);

// A complete database file at `path`: a fresh working copy, the whole project written into it, then
// moved into place. Passes on every error of the working store and the writers; the file at `path`
// is only replaced once everything was written.
void writeProjectDatabase(const VQProject& project, const std::string& path);

} // namespace velquine

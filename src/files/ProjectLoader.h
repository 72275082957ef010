#pragma once

// Reads a project back from the tables of a document database.
//
// Seven loaders, always all seven and in this order: version, project info, project style, grid,
// base layout options, node graph, selected nodes. Each reads its table and writes its part of the
// project, and returns the problems it met instead of throwing: a table that cannot be read, or a
// value that cannot, falls back to a default and loading goes on. Without a connection every loader
// resets its part and reports the one major problem "Database is not opened". Only a document newer
// than the project's data schema version is catastrophic.

#include "files/Database.h"
#include "files/ProjectLoadingProblem.h"
#include "model/project/VQProject.h"
#include "platform/Image.h"

namespace velquine {

// metainfo: a stored version above the project's dataSchemaVersion (a NULL or unreadable one counts
// as one above) gives the catastrophic problem. A missing table or row is accepted. Writes nothing.
ProjectLoadingProblems loadVersionFrom(const VQProject& project, const Database& database);
// project: title, author and notes, each "" when NULL or unreadable; no row leaves them.
ProjectLoadingProblems loadProjectInfoFrom(VQProject& project, const Database& database);
// project_style: a text that is no style gives the "Omaha" preset and a minor problem; no row leaves
// the style.
ProjectLoadingProblems loadProjectStyleFrom(VQProject& project, const Database& database);
// grid: a text that is no grid gives no grid of 24 by 24 and a minor problem "Could not load from
// table ..."; no row leaves the grid.
ProjectLoadingProblems loadGridFrom(VQProject& project, const Database& database);
// project_base_layout_options: unknown words give the first case; an unreadable value resets all four
// options to horizontal, balanced, rounded, not manual, with a minor problem; no row leaves them.
ProjectLoadingProblems loadBaseLayoutOptionsFrom(VQProject& project, const Database& database);
// The node tables (see NodeGraphLoader.h), with the project's style for the font repair; the images are kept
// unread.
ProjectLoadingProblems loadNodeGraphFrom(VQProject& project, const Database& database);
// selected_nodes: appended in row order, repeats and unknown nodes kept; an unreadable row is a minor
// problem and skipped.
ProjectLoadingProblems loadSelectedNodesFrom(VQProject& project, const Database& database);

// The seven loaders in their order, their problems concatenated.
ProjectLoadingProblems loadProjectFrom(VQProject& project, const Database& database);

// "The document format version is v3.0. This app only supports documents up to version v2.0. Please
// update Velquine to the newest version!"
std::string newerVersionMessage(std::int64_t version, std::int64_t supported);

} // namespace velquine

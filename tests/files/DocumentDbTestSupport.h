#pragma once

// Helpers for the document database tests: throw-away folders, fresh databases made from the real
// schema, plain SQL to build damaged files, and reading rows back as text.

#include "files/Database.h"
#include "files/ProjectLoadingProblem.h"
#include "model/graph/Graph.h"
#include "sql/Connection.h"
#include "sql/Statement.h"
#include "support/TempFiles.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace documentdbtest {

using namespace velquine;

using velquine::testing::Folder;

// A fresh database with the document schema, for a target file in the folder.
inline Database freshDatabase(const Folder& folder, const std::string& name = "database.sqlite")
{
    return Database(folder / name);
}

// Runs SQL text (one or more statements) on the database's connection.
inline void exec(Database& database, const std::string& sql)
{
    database.openConnection().execute(sql);
}

// Every row of a query, each as its values in SQLite's text form ("NULL" for NULL) joined by "|".
inline std::vector<std::string> rows(Database& database, const std::string& sql)
{
    std::vector<std::string> result;
    auto statement = database.openConnection().prepare(sql);
    while (auto row = statement->failableNext()) {
        std::string line;
        for (std::size_t i = 0; i < row->size(); ++i) {
            if (i > 0)
                line += "|";
            const auto& value = (*row)[i];
            if (!value) {
                line += "NULL";
            } else if (const auto* integer = std::get_if<std::int64_t>(&*value)) {
                line += std::to_string(*integer);
            } else if (const auto* real = std::get_if<double>(&*value)) {
                std::string text = std::to_string(*real);
                line += "R" + text.substr(0, text.find_last_not_of('0') + 1);
            } else if (const auto* text = std::get_if<std::string>(&*value)) {
                line += "'" + *text + "'";
            } else {
                line += "<blob>";
            }
        }
        result.push_back(line);
    }
    return result;
}

inline std::string grades(const ProjectLoadingProblems& problems)
{
    std::string text;
    for (const auto& problem : problems) {
        if (!text.empty())
            text += ",";
        text += gradeName(problem.grade);
    }
    return text;
}

// The pictures a load kept as their bytes, read as the document has them read (by the picture reader).
inline void readPictures(velquine::Graph& graph)
{
    std::vector<velquine::Node> read;
    for (const velquine::Node& node : graph.storedNodes())
        if (const velquine::Bytes* bytes = node.keptPictureBytes()) {
            read.push_back(node);
            read.back().setImage(velquine::Image::fromData(*bytes));
        }
    for (const velquine::Node& node : read)
        graph.setNode(node, node.uid);
}

} // namespace documentdbtest

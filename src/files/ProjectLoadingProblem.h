#pragma once

// One thing that went wrong while a document was read back, graded by how much it matters. Loading
// collects these instead of stopping; only the catastrophic grade ends an open.

#include <string>
#include <vector>

namespace velquine {

struct ProjectLoadingProblem {
    // From lowest to highest.
    enum class Grade { minorProblem, majorProblem, absoluteWorldEndingCatastrophicProblem };

    Grade grade = Grade::minorProblem;
    std::string message;

    // A table, row or value that could not be read.
    static ProjectLoadingProblem minorProblem(std::string message) { return {Grade::minorProblem, std::move(message)}; }
    // The database has no open connection.
    static ProjectLoadingProblem majorProblem(std::string message) { return {Grade::majorProblem, std::move(message)}; }
    // The document is newer than the program.
    static ProjectLoadingProblem absoluteWorldEndingCatastrophicProblem(std::string message)
    {
        return {Grade::absoluteWorldEndingCatastrophicProblem, std::move(message)};
    }

    friend bool operator==(const ProjectLoadingProblem&, const ProjectLoadingProblem&) = default;
};

using ProjectLoadingProblems = std::vector<ProjectLoadingProblem>;

// "minorProblem", "majorProblem", "absoluteWorldEndingCatastrophicProblem"
const char* gradeName(ProjectLoadingProblem::Grade grade);

// The message of the first catastrophic problem, or nothing.
const ProjectLoadingProblem* firstCatastrophicProblem(const ProjectLoadingProblems& problems);

// The message every loader uses for a caught error: the place in the loading code, " => " and the
// error's text.
std::string problemMessage(const char* file, long line, const std::string& error);

} // namespace velquine

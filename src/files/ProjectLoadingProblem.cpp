#include "files/ProjectLoadingProblem.h"

namespace velquine {

const char* gradeName(ProjectLoadingProblem::Grade grade)
{
    switch (grade) {
    case ProjectLoadingProblem::Grade::minorProblem:
        return "minorProblem";
    case ProjectLoadingProblem::Grade::majorProblem:
        return "majorProblem";
    case ProjectLoadingProblem::Grade::absoluteWorldEndingCatastrophicProblem:
        return "absoluteWorldEndingCatastrophicProblem";
    }
    return "minorProblem";
}

const ProjectLoadingProblem* firstCatastrophicProblem(const ProjectLoadingProblems& problems)
{
    for (const ProjectLoadingProblem& problem : problems) {
        if (problem.grade == ProjectLoadingProblem::Grade::absoluteWorldEndingCatastrophicProblem)
            return &problem;
    }
    return nullptr;
}

std::string problemMessage(const char* file, long line, const std::string& error)
{
    return std::string(file) + ":" + std::to_string(line) + " => " + error;
}

} // namespace velquine

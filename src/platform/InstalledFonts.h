#pragma once

// Every installed font face, read once from fontconfig: the names a Font may carry (full names and the
// PostScript name) and the family, style, weight and slant behind them.

#include <QString>

#include <string>
#include <vector>

namespace velquine {

struct InstalledFace {
    std::vector<std::string> fullNames; // the first is the face's own name
    std::string postScriptName;
    QString family;
    QString style;
    int weight = 80; // fontconfig's scale: 80 regular, 200 bold
    int slant = 0;   // 0 roman, 100 italic, 110 oblique
    int width = 100; // 100 normal
};

// The faces in fontconfig's order. Thread-safe.
const std::vector<InstalledFace>& installedFaceList();

} // namespace velquine

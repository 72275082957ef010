#pragma once

// The two tables of HTML character escaping: the characters the escapers replace, and the named
// character references the unescaper understands. Both are built once, on first use, and shared.

#include <set>
#include <string>
#include <unordered_map>

namespace velquine {

class HTMLStringMappings {
public:
    // The seventeen ASCII characters written as numeric references: ! " $ % & ' + , < = > @ [ ] ` { }
    static const std::set<char32_t>& escapedCharacters();
    // Fast membership test of the same set.
    static bool isEscaped(char32_t scalar);

    // Entity name (without "&" and ";", case-sensitive) to its replacement text in UTF-8: the 2,125
    // named character references of HTML5.
    static const std::unordered_map<std::string, std::string>& namedEntities();
};

} // namespace velquine

#include "exchange/HTMLStringMappings.h"

#include "exchange/HTMLEntityTable.h"

#include <array>

namespace velquine {

namespace {

constexpr std::array<char, 17> escapedASCII{'!', '"', '$', '%', '&', '\'', '+', ',', '<', '=', '>', '@', '[', ']', '`', '{', '}'};

constexpr std::array<bool, 128> makeEscapedLookup()
{
    std::array<bool, 128> lookup{};
    for (char c : escapedASCII)
        lookup[static_cast<unsigned char>(c)] = true;
    return lookup;
}

constexpr std::array<bool, 128> escapedLookup = makeEscapedLookup();

} // namespace

const std::set<char32_t>& HTMLStringMappings::escapedCharacters()
{
    static const std::set<char32_t> characters(escapedASCII.begin(), escapedASCII.end());
    return characters;
}

bool HTMLStringMappings::isEscaped(char32_t scalar)
{
    return scalar < 128 && escapedLookup[scalar];
}

const std::unordered_map<std::string, std::string>& HTMLStringMappings::namedEntities()
{
    static const std::unordered_map<std::string, std::string> entities = [] {
        std::unordered_map<std::string, std::string> map;
        const auto table = htmlEntityTable();
        map.reserve(table.size());
        for (const HTMLEntity& entity : table)
            map.emplace(entity.name, entity.value);
        return map;
    }();
    return entities;
}

} // namespace velquine

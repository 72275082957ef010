#pragma once

// Reads an OPML document into a graph: every outline element becomes a node (identifiers 0, 1, 2... in
// document order), nested outlines become its children, the "text" attribute its title and every other
// attribute a line of its note: the attribute name capitalised with "_" as a blank, ": " and the value
// as written. The head's title becomes documentTitle.
//
// Element names are compared without case, attribute names exactly. A document that is not well-formed
// stops the reading where the damage starts and keeps the nodes made so far; damage then tells where that
// was. Nothing is ever loaded from
// outside the document, and a document type that declares entities is refused (TextError naming the
// file), as is a document with a document type or entity references that yields no outline at all, and a
// document with an element of more than maximumAttributes attributes (before anything is read).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/graph/Graph.h"

namespace velquine {

class OPMLImporter {
public:
    OPMLImporter() = default;

    // The most attributes an element may have; outlines carry a handful.
    static constexpr std::size_t maximumAttributes = 1000;

    // Reads the file. Throws TextError, a log line ending in "can not open url: " and the path, when the
    // file cannot be read, and TextError for the entity tricks above. Given a list, the nodes are appended to
    // it in document order instead of going into the graph (no graph is built for a large import).
    void parseFile(const std::string& path, std::vector<Node>* nodes = nullptr);
    // Reads a document held in memory (pasted OPML).
    void parseData(std::string_view data, std::vector<Node>* nodes = nullptr);

    // Each word's first letter upper case and its other letters lower case; words are runs of letters
    // and digits: "xmlUrl" gives "Xmlurl", "_note" gives "_Note", "don't" gives "Don'T".
    static std::string capitalized(std::string_view text);

    // Where a document that is not well-formed broke off (counted from 1), and the XML reader's words for
    // it.
    struct Damage {
        std::int64_t line = 0;
        std::int64_t column = 0;
        std::string reason;
    };

    std::int64_t nodeID = 0;
    std::vector<std::int64_t> parentStack;
    Graph graph;
    std::string documentTitle;
    std::optional<Damage> damage;

private:
    struct Reading;
};

} // namespace velquine

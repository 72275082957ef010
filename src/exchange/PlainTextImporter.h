#pragma once

// Turns an indented text outline into new node trees: plain text and Markdown files, the text of RTF
// and Word files, and pasted text. A line's depth comes from its leading tabs or spaces; one bullet
// character at its start is dropped; blank lines are ignored. The nodes come back unplaced, each tree
// in pre-order with consecutive fresh identifiers, the trees in text order.
//
// Parsing and node making run without recursion, so no indentation, however deep, can exhaust the
// stack.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "model/graph/Node.h"
#include "model/style/NodeStyle.h"

namespace velquine {

class PlainTextImporter {
public:
    // The nodes of the outline; an empty text gives none, a text of blanks and line breaks alone one
    // node with an empty title. Each node draws a fresh identifier (nextNodeUID, whose error it passes
    // on).
    static std::vector<Node> importNodes(std::string_view text);

    // The line without the first of the bullets "•", "-", "*", "‣", "◦", "⁃", "∙" when that is its
    // first character after leading white space; the white space and whatever follows the bullet stay.
    static std::string stripBullet(std::string_view line);

    // The number of leading tabs of a line that starts with a tab, else the number of leading spaces of
    // a line that starts with a space, else 1 for a line that starts with "-", else 0.
    static std::size_t indentLevel(std::string_view line);

    // The style every imported node gets (also used for OPML imports): the default node style, with the
    // 32-point system font and centred text.
    static NodeStyle importStyle();

private:
    // One parsed line: its title and the indices of its children in the parsed list.
    struct PlainTextAstNode {
        std::string title;
        std::vector<std::size_t> children;
    };

    // The lines in pre-order, which is their text order.
    static std::vector<PlainTextAstNode> parseNodes(const std::vector<std::string_view>& lines);
    static std::vector<Node> makeNodes(const std::vector<PlainTextAstNode>& parsed);
};

} // namespace velquine

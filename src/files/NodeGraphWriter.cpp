#include "files/NodeGraphWriter.h"

#include "files/ChildrenOrder.h"
#include "files/DocumentTables.h"
#include "files/RowWriter.h"

#include <functional>

namespace velquine {

namespace db = documentdb;
using sql::set;

namespace {

// Appends the assignments, moving them (a braced list would copy each one).
template <class... S> void put(std::vector<sql::Setter>& values, S&&... setters)
{
    (values.push_back(std::forward<S>(setters)), ...);
}

// One pass over the nodes for one table: `row` gives the row of a node, or nothing when the node
// has none in this table.
void writeTable(sql::Connection& connection, const sql::Table& table, const Graph& graph,
                const std::function<bool(const Node&, std::vector<sql::Setter>&)>& row)
{
    RowWriter writer(connection, table);
    std::vector<sql::Setter> values;
    for (const Node& node : graph.storedNodes()) {
        values.clear();
        if (row(node, values))
            writer.insert(std::move(values));
    }
}

// A picture shown is written as TIFF data; one kept unread as the bytes it came as.
std::optional<Image::Data> pictureData(const Node& node)
{
    if (node.image())
        return node.image()->tiffData();
    if (const Bytes* kept = node.keptPictureBytes())
        return *kept;
    return std::nullopt;
}

} // namespace

void writeNodeGraphTo(const Graph& graph, Database& database)
{
    sql::Connection& connection = database.openConnection();
    connection.savepoint("writeNodeGraph", [&] {
        writeTable(connection, db::nodes, graph, [](const Node& node, std::vector<sql::Setter>& values) {
            put(values, set(db::id, node.uid), set(db::parentID, node.parentUID),
                      set(db::createdTS, node.createdTimestamp), set(db::modifiedTS, node.modifiedTimestamp));
            return true;
        });
        writeTable(connection, db::nodePositions, graph, [](const Node& node, std::vector<sql::Setter>& values) {
            put(values, set(db::id, node.uid), set(db::nodeID, node.uid), set(db::x, node.center.x),
                      set(db::y, node.center.y));
            return true;
        });
        writeTable(connection, db::nodeSizes, graph, [](const Node& node, std::vector<sql::Setter>& values) {
            put(values, set(db::id, node.uid), set(db::nodeID, node.uid), set(db::autoSize, node.autoSize),
                      set(db::width, node.size.width), set(db::height, node.size.height));
            return true;
        });
        writeTable(connection, db::nodeTitles, graph, [](const Node& node, std::vector<sql::Setter>& values) {
            put(values, set(db::id, node.uid), set(db::nodeID, node.uid), set(db::title, node.title));
            return true;
        });
        writeTable(connection, db::nodeUrls, graph, [](const Node& node, std::vector<sql::Setter>& values) {
            put(values, set(db::id, node.uid), set(db::nodeID, node.uid), set(db::url, node.url));
            return true;
        });
        writeTable(connection, db::nodeNotes, graph, [](const Node& node, std::vector<sql::Setter>& values) {
            put(values, set(db::id, node.uid), set(db::nodeID, node.uid), set(db::note, node.note));
            return true;
        });
        writeTable(connection, db::nodeShapes, graph, [](const Node& node, std::vector<sql::Setter>& values) {
            put(values, set(db::id, node.uid), set(db::nodeID, node.uid), set(db::shape, stringValue(node.shape)),
                      set(db::childrenInheritShape, node.childrenShouldInheritShape));
            return true;
        });
        // Neighbouring nodes mostly share their style: the text of the last one is reused while the
        // style stays equal.
        const NodeStyle* lastStyle = nullptr;
        std::string lastStyleJson;
        writeTable(connection, db::nodeStyles, graph, [&](const Node& node, std::vector<sql::Setter>& values) {
            if (!lastStyle || !(*lastStyle == node.style)) {
                lastStyleJson = node.style.jsonValue();
                lastStyle = &node.style;
            }
            put(values, set(db::id, node.uid), set(db::nodeID, node.uid), set(db::styleJson, lastStyleJson));
            return true;
        });
        writeTable(connection, db::nodeImages, graph, [](const Node& node, std::vector<sql::Setter>& values) {
            std::optional<Image::Data> data = pictureData(node);
            if (!data)
                return false;
            put(values, set(db::id, node.uid), set(db::nodeID, node.uid),
                      set(db::image, std::optional<db::Data>(std::move(*data))));
            return true;
        });
        writeTable(connection, db::nodeFolds, graph, [](const Node& node, std::vector<sql::Setter>& values) {
            put(values, set(db::id, node.uid), set(db::nodeID, node.uid), set(db::isFolded, node.isFolded));
            return true;
        });
        writeTable(connection, db::nodeLayoutOptions, graph, [](const Node& node, std::vector<sql::Setter>& values) {
            if (!node.layoutOptions)
                return false;
            const LayoutOptions& options = *node.layoutOptions;
            put(values, set(db::id, node.uid),
                      set(db::nodeID, node.uid),
                      set(db::layoutType, stringValue(options.layoutType)),
                      set(db::layoutDirection, stringValue(options.layoutDirection)),
                      set(db::branchType, stringValue(options.branchType)),
                      set(db::isManual, options.isManual));
            return true;
        });
        writeTable(connection, db::nodeChildrenOrder, graph, [](const Node& node, std::vector<sql::Setter>& values) {
            put(values, set(db::id, node.uid), set(db::nodeID, node.uid),
                      set(db::sortedChildrenJson, childrenOrderJson(node.childrenUIDs)));
            return true;
        });
    });
}

} // namespace velquine

#pragma once

// The tables and columns of a document database, as the writers fill them and the loaders read them.
// Columns that may hold NULL, or that the loaders read with a fallback, come as optional columns too.

#include "sql/Expression.h"
#include "sql/Query.h"
#include "sql/Value.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velquine::documentdb {

using sql::Expression;
using Int = std::int64_t;
template <class V> using Opt = std::optional<V>;
using Data = std::vector<std::uint8_t>;

// ---- tables ----

inline const sql::Table metainfo{"metainfo"};
inline const sql::Table project{"project"};
inline const sql::Table projectStyle{"project_style"};
inline const sql::Table grid{"grid"};
inline const sql::Table projectBaseLayoutOptions{"project_base_layout_options"};
inline const sql::Table nodes{"nodes"};
inline const sql::Table nodePositions{"node_positions"};
inline const sql::Table nodeSizes{"node_sizes"};
inline const sql::Table nodeTitles{"node_titles"};
inline const sql::Table nodeUrls{"node_urls"};
inline const sql::Table nodeNotes{"node_notes"};
inline const sql::Table nodeShapes{"node_shapes"};
inline const sql::Table nodeStyles{"node_styles"};
inline const sql::Table nodeImages{"node_images"};
inline const sql::Table nodeFolds{"node_folds"};
inline const sql::Table nodeLayoutOptions{"node_layout_options"};
inline const sql::Table nodeChildrenOrder{"node_children_order"};
inline const sql::Table selectedNodes{"selected_nodes"};

// The names of every table above.
inline constexpr std::string_view tableNames[] = {
    "metainfo",    "project",     "project_style", "grid",       "project_base_layout_options",
    "nodes",       "node_positions", "node_sizes", "node_titles", "node_urls",
    "node_notes",  "node_shapes", "node_styles",   "node_images", "node_folds",
    "node_layout_options", "node_children_order", "selected_nodes"};

// ---- columns ----

inline const Expression<Int> version{"version"};
inline const Expression<Opt<Int>> optionalVersion{"version"};
inline const Expression<Int> lastUpdate{"last_update"};

inline const Expression<std::string> title{"title"};
inline const Expression<Opt<std::string>> optionalTitle{"title"};
inline const Expression<std::string> author{"author"};
inline const Expression<Opt<std::string>> optionalAuthor{"author"};
inline const Expression<std::string> notes{"notes"};
inline const Expression<Opt<std::string>> optionalNotes{"notes"};

inline const Expression<std::string> styleJson{"style_json"};

inline const Expression<std::string> layoutType{"layout_type"};
inline const Expression<std::string> layoutDirection{"layout_direction"};
inline const Expression<std::string> branchType{"branch_type"};
inline const Expression<bool> isManual{"is_manual"};

inline const Expression<Int> id{"id"};
inline const Expression<Int> nodeID{"nodeID"};
inline const Expression<Opt<Int>> parentID{"parentID"};
inline const Expression<double> createdTS{"createdTS"};
inline const Expression<double> modifiedTS{"modifiedTS"};

inline const Expression<double> x{"x"};
inline const Expression<double> y{"y"};

inline const Expression<bool> autoSize{"autoSize"};
inline const Expression<Opt<bool>> optionalAutoSize{"autoSize"};
inline const Expression<double> width{"width"};
inline const Expression<Opt<double>> optionalWidth{"width"};
inline const Expression<double> height{"height"};
inline const Expression<Opt<double>> optionalHeight{"height"};

inline const Expression<std::string> url{"url"};
inline const Expression<Opt<std::string>> optionalUrl{"url"};
inline const Expression<std::string> note{"note"};
inline const Expression<Opt<std::string>> optionalNote{"note"};

inline const Expression<std::string> shape{"shape"};
inline const Expression<Opt<std::string>> optionalShape{"shape"};
inline const Expression<bool> childrenInheritShape{"children_inherit_shape"};
inline const Expression<Opt<bool>> optionalChildrenInheritShape{"children_inherit_shape"};

inline const Expression<Opt<Data>> image{"image"};

inline const Expression<bool> isFolded{"is_folded"};

inline const Expression<Opt<std::string>> optionalLayoutType{"layout_type"};
inline const Expression<Opt<std::string>> optionalLayoutDirection{"layout_direction"};
inline const Expression<Opt<std::string>> optionalBranchType{"branch_type"};
inline const Expression<Opt<bool>> optionalIsManual{"is_manual"};

inline const Expression<std::string> sortedChildrenJson{"sorted_children_json"};

} // namespace velquine::documentdb

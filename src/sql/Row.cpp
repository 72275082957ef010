#include "sql/Row.h"

#include <algorithm>

namespace velquine::sql {

int Row::position(const std::string& columnTemplate) const
{
    static const ColumnNameMap empty;
    const ColumnNameMap& map = columnNames ? *columnNames : empty;
    if (auto exact = map.find(columnTemplate); exact != map.end())
        return exact->second;
    const std::string suffix = "." + columnTemplate;
    std::vector<std::string> matches;
    int found = -1;
    for (const auto& [key, index] : map) {
        if (key.size() >= suffix.size() && key.compare(key.size() - suffix.size(), suffix.size(), suffix) == 0) {
            matches.push_back(key);
            found = index;
        }
    }
    if (matches.size() == 1)
        return found;
    if (matches.empty()) {
        std::vector<std::string> keys;
        keys.reserve(map.size());
        for (const auto& entry : map)
            keys.push_back(entry.first);
        std::sort(keys.begin(), keys.end());
        throw QueryError::noSuchColumn(columnTemplate, std::move(keys));
    }
    std::sort(matches.begin(), matches.end());
    throw QueryError::ambiguousColumn(columnTemplate, std::move(matches));
}

std::optional<Row> RowIterator::failableNext()
{
    auto values = statement_->failableNext();
    if (!values)
        return std::nullopt;
    return Row(columnNames_, std::move(*values));
}

std::optional<Row> RowIterator::next() noexcept
{
    try {
        return failableNext();
    } catch (...) {
        logRowError();
    }
    return std::nullopt;
}

bool RowIterator::failableAdvance(std::optional<Row>& current)
{
    std::vector<OptBinding> buffer;
    if (current)
        buffer = std::move(current->values);
    bool more = false;
    try {
        more = statement_->nextInto(buffer);
    } catch (...) {
        current.reset();
        throw;
    }
    if (!more) {
        current.reset();
        return false;
    }
    if (current)
        current->values = std::move(buffer);
    else
        current.emplace(columnNames_, std::move(buffer));
    return true;
}

void RowIterator::advance(std::optional<Row>& current) noexcept
{
    try {
        if (failableAdvance(current))
            return;
    } catch (...) {
        logRowError();
    }
    current.reset();
}

} // namespace velquine::sql

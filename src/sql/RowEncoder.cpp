#include "sql/RowEncoder.h"

namespace velquine::sql {

void RowEncoder::encodeNil(std::string_view key)
{
    append(key, std::nullopt);
}

void RowEncoder::append(std::string_view key, OptBinding binding)
{
    setters_.push_back(Setter{column(key), parameter(std::move(binding))});
}

namespace detail {

namespace {

bool sameColumns(const std::vector<Setter>& a, const std::vector<Setter>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].column.templ != b[i].column.templ || a[i].column.bindings != b[i].column.bindings)
            return false;
    }
    return true;
}

bool allSameColumns(const std::vector<std::vector<Setter>>& rows)
{
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (!sameColumns(rows.front(), rows[i]))
            return false;
    }
    return true;
}

std::string columnList(const std::vector<Setter>& row)
{
    std::string text = "(";
    for (std::size_t i = 0; i < row.size(); ++i) {
        if (i > 0)
            text += ", ";
        text += sqlWithInlinedBindings(row[i].column);
    }
    return text + ")";
}

std::vector<std::vector<Setter>> encodeAll(std::size_t count,
                                           const std::function<std::vector<Setter>(std::size_t, bool)>& encodeRow,
                                           bool forcing)
{
    std::vector<std::vector<Setter>> rows;
    rows.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        rows.push_back(encodeRow(i, forcing));
    return rows;
}

} // namespace

std::vector<std::vector<Setter>>
rowsWithSameColumns(std::size_t count, const std::function<std::vector<Setter>(std::size_t, bool)>& encodeRow)
{
    std::vector<std::vector<Setter>> rows = encodeAll(count, encodeRow, false);
    if (allSameColumns(rows))
        return rows;
    rows = encodeAll(count, encodeRow, true);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        if (!sameColumns(rows.front(), rows[i]))
            throw EncodingError::invalidValue(
                i + 1, "the rows of a multi-row insert name different columns: row 1 names "
                                    + columnList(rows.front()) + ", row " + std::to_string(i + 1) + " names "
                                    + columnList(rows[i]));
    }
    return rows;
}

} // namespace detail

} // namespace velquine::sql

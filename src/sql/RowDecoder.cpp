#include "sql/RowDecoder.h"

namespace velquine::sql {

bool RowDecoder::contains(std::string_view key) const
{
    if (!row_->columnNames)
        return false;
    auto it = row_->columnNames->find(quote(key));
    if (it == row_->columnNames->end() || it->second < 0)
        return false;
    const auto index = static_cast<std::size_t>(it->second);
    return index < row_->values.size() && row_->values[index].has_value();
}

const OptBinding* RowDecoder::lookup(const std::string& name) const
{
    const int index = row_->position(name);
    if (index < 0 || static_cast<std::size_t>(index) >= row_->values.size())
        return nullptr;
    return &row_->values[static_cast<std::size_t>(index)];
}

} // namespace velquine::sql

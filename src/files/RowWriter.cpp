#include "files/RowWriter.h"

#include <iterator>

namespace velquine {

void RowWriter::insert(std::vector<sql::Setter>&& values)
{
    if (!rendered_) {
        statement_ = table_.insert(values);
        rendered_ = true;
    } else {
        statement_.bindings.clear();
        // In the order the rendered text holds them: the column list, then the value list.
        for (sql::Setter& setter : values)
            statement_.bindings.insert(statement_.bindings.end(), std::make_move_iterator(setter.column.bindings.begin()),
                                       std::make_move_iterator(setter.column.bindings.end()));
        for (sql::Setter& setter : values)
            statement_.bindings.insert(statement_.bindings.end(), std::make_move_iterator(setter.value.bindings.begin()),
                                       std::make_move_iterator(setter.value.bindings.end()));
    }
    connection_.run(statement_);
}

} // namespace velquine

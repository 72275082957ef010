#include "files/RowWriter.h"

namespace velquine {

void RowWriter::insert(const std::vector<sql::Setter>& values)
{
    if (!rendered_) {
        statement_ = table_.insert(values);
        rendered_ = true;
    } else {
        statement_.bindings.clear();
        // In the order the rendered text holds them: the column list, then the value list.
        for (const sql::Setter& setter : values)
            statement_.bindings.insert(statement_.bindings.end(), setter.column.bindings.begin(),
                                       setter.column.bindings.end());
        for (const sql::Setter& setter : values)
            statement_.bindings.insert(statement_.bindings.end(), setter.value.bindings.begin(),
                                       setter.value.bindings.end());
    }
    connection_.run(statement_);
}

} // namespace velquine

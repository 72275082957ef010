#include "sql/Value.h"

namespace velquine::sql {

std::string& intDeclaredDatatype()
{
    static std::string name = "INTEGER";
    return name;
}

std::string& boolDeclaredDatatype()
{
    static std::string name = "INTEGER";
    return name;
}

} // namespace velquine::sql

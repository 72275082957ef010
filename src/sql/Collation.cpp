#include "sql/Collation.h"

namespace velquine::sql {

std::string Collation::description() const
{
    switch (kind_) {
    case Kind::binary:
        return "BINARY";
    case Kind::nocase:
        return "NOCASE";
    case Kind::rtrim:
        return "RTRIM";
    case Kind::custom:
        break;
    }
    return quote(name_);
}

} // namespace velquine::sql

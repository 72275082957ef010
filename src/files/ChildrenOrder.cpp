#include "files/ChildrenOrder.h"

#include "platform/Json.h"
#include "platform/KeyedValue.h"
#include "platform/Log.h"

#include <cmath>

namespace velquine {

std::string childrenOrderJson(const std::vector<std::int64_t>& childrenUIDs)
{
    std::string json = "[";
    for (std::size_t i = 0; i < childrenUIDs.size(); ++i) {
        if (i > 0)
            json += ',';
        json += std::to_string(childrenUIDs[i]);
    }
    json += ']';
    return json;
}

std::vector<std::int64_t> childrenOrderFromJson(std::string_view json)
{
    const KeyedValue value = Json::read(json);
    if (!value.isArray())
        throw VQ_TEXT_ERROR("childrenOrderFromJson(_:)", "children order is not an array");
    std::vector<std::int64_t> uids;
    uids.reserve(value.asArray().size());
    for (const KeyedValue& item : value.asArray()) {
        if (item.kind() == KeyedValue::Kind::int64) {
            uids.push_back(item.asInt64());
            continue;
        }
        // A whole number written with a fraction or exponent still names an identifier.
        if (item.isReal()) {
            const double number = item.asDouble();
            if (std::isfinite(number) && std::trunc(number) == number && number >= -9223372036854775808.0
                && number < 9223372036854775808.0) {
                uids.push_back(static_cast<std::int64_t>(number));
                continue;
            }
        }
        throw VQ_TEXT_ERROR("childrenOrderFromJson(_:)", "children order holds something other than an identifier");
    }
    return uids;
}

} // namespace velquine

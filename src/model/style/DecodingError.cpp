#include "model/style/DecodingError.h"

#include "platform/KeyedValue.h"

namespace velquine {

DecodingError DecodingError::typeMismatch(std::string_view expected, const KeyedValue& found)
{
    return DecodingError(Kind::typeMismatch, "Expected to decode " + std::string(expected) + " but found "
                                                 + KeyedValue::kindName(found.kind()) + " instead.");
}

DecodingError DecodingError::valueNotFound(std::string_view expected)
{
    return DecodingError(Kind::valueNotFound,
                         "Expected " + std::string(expected) + " value but found null instead.");
}

DecodingError DecodingError::keyNotFound(std::string_view key)
{
    return DecodingError(Kind::keyNotFound, "No value associated with key \"" + std::string(key) + "\".");
}

DecodingError DecodingError::dataCorrupted(const std::string& debugDescription)
{
    return DecodingError(Kind::dataCorrupted, debugDescription);
}

} // namespace velquine

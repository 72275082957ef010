#include "sql/DateFunctions.h"

namespace velquine::sql {

namespace {

// name(?, ..., ?): the leading texts, then the modifiers, each bound as text.
template <class R>
Expression<R> call(const char* name, std::initializer_list<const std::string*> leading,
                   const std::vector<std::string>& modifiers)
{
    std::string templ = name;
    templ += '(';
    std::vector<OptBinding> bindings;
    bindings.reserve(leading.size() + modifiers.size());
    for (const std::string* text : leading) {
        if (!bindings.empty())
            templ += ", ";
        templ += '?';
        bindings.emplace_back(Binding(*text));
    }
    for (const std::string& modifier : modifiers) {
        templ += ", ?";
        bindings.emplace_back(Binding(modifier));
    }
    templ += ')';
    return Expression<R>(std::move(templ), std::move(bindings));
}

} // namespace

Expression<std::optional<std::string>> DateFunctions::date(const std::string& timeString,
                                                           const std::vector<std::string>& modifiers)
{
    return call<std::optional<std::string>>("date", {&timeString}, modifiers);
}

Expression<std::optional<std::string>> DateFunctions::time(const std::string& timeString,
                                                           const std::vector<std::string>& modifiers)
{
    return call<std::optional<std::string>>("time", {&timeString}, modifiers);
}

Expression<std::optional<std::string>> DateFunctions::datetime(const std::string& timeString,
                                                               const std::vector<std::string>& modifiers)
{
    return call<std::optional<std::string>>("datetime", {&timeString}, modifiers);
}

Expression<std::optional<double>> DateFunctions::julianday(const std::string& timeString,
                                                           const std::vector<std::string>& modifiers)
{
    return call<std::optional<double>>("julianday", {&timeString}, modifiers);
}

Expression<std::optional<std::string>> DateFunctions::strftime(const std::string& format, const std::string& timeString,
                                                               const std::vector<std::string>& modifiers)
{
    return call<std::optional<std::string>>("strftime", {&format, &timeString}, modifiers);
}

Expression<std::optional<std::string>> date(Date value)
{
    return DateFunctions::date(dateFormatter().format(value));
}

Expression<std::optional<std::string>> time(Date value)
{
    return DateFunctions::time(dateFormatter().format(value));
}

Expression<std::optional<std::string>> datetime(Date value)
{
    return DateFunctions::datetime(dateFormatter().format(value));
}

Expression<std::optional<double>> julianday(Date value)
{
    return DateFunctions::julianday(dateFormatter().format(value));
}

} // namespace velquine::sql

#include "platform/UserDefaults.h"

#include <QByteArray>
#include <QSettings>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <charconv>
#include <cmath>
#include <limits>

namespace velquine {

// ---------------------------------------------------------------------------------------------------------
// Stores of set values

class UserDefaults::Store {
public:
    virtual ~Store() = default;
    virtual std::optional<Value> get(const std::string& key) const = 0;
    virtual void put(const std::string& key, const Value& value) = 0;
    virtual void erase(const std::string& key) = 0;
    virtual bool sync() = 0;
};

namespace {

class MemoryStore final : public UserDefaults::Store {
public:
    std::optional<UserDefaults::Value> get(const std::string& key) const override
    {
        auto it = values_.find(key);
        if (it == values_.end())
            return std::nullopt;
        return it->second;
    }
    void put(const std::string& key, const UserDefaults::Value& value) override { values_[key] = value; }
    void erase(const std::string& key) override { values_.erase(key); }
    bool sync() override { return true; }

private:
    UserDefaults::Dictionary values_;
};

QString qtText(const std::string& s)
{
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string utf8(const QString& s)
{
    const QByteArray b = s.toUtf8();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// QSettings keeps what it was given until it is read from the file again; from the file, numbers and
// Booleans come back as texts and bytes as a QByteArray.
class SettingsStore final : public UserDefaults::Store {
public:
    explicit SettingsStore(const std::string& path) : settings_(qtText(path), QSettings::IniFormat) {}

    std::optional<UserDefaults::Value> get(const std::string& key) const override
    {
        const QVariant v = settings_.value(qtText(key));
        if (!v.isValid())
            return std::nullopt;
        switch (v.metaType().id()) {
        case QMetaType::Bool:
            return UserDefaults::Value(v.toBool());
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
            return UserDefaults::Value(static_cast<std::int64_t>(v.toLongLong()));
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            return UserDefaults::Value(static_cast<std::int64_t>(v.toULongLong()));
        case QMetaType::Double:
        case QMetaType::Float:
            return UserDefaults::Value(v.toDouble());
        case QMetaType::QByteArray: {
            const QByteArray b = v.toByteArray();
            return UserDefaults::Value(Bytes(b.begin(), b.end()));
        }
        case QMetaType::QStringList: // a hand-edited line with commas
            return UserDefaults::Value(utf8(v.toStringList().join(QStringLiteral(", "))));
        default:
            return UserDefaults::Value(utf8(v.toString()));
        }
    }

    void put(const std::string& key, const UserDefaults::Value& value) override
    {
        QVariant v;
        if (const bool* b = std::get_if<bool>(&value))
            v = *b;
        else if (const std::int64_t* i = std::get_if<std::int64_t>(&value))
            v = static_cast<qlonglong>(*i);
        else if (const double* d = std::get_if<double>(&value))
            v = qtText(*UserDefaults::toString(*d)); // shortest text that reads back exactly
        else if (const std::string* s = std::get_if<std::string>(&value))
            v = qtText(*s);
        else {
            const Bytes& bytes = std::get<Bytes>(value);
            v = QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
        }
        settings_.setValue(qtText(key), v);
    }

    void erase(const std::string& key) override { settings_.remove(qtText(key)); }

    bool sync() override
    {
        settings_.sync();
        return settings_.status() == QSettings::NoError;
    }

private:
    mutable QSettings settings_;
};

// ---------------------------------------------------------------------------------------------------------
// Conversions of texts, as the settings of the platform read them

std::size_t skipSpaces(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r'))
        ++i;
    return i;
}

// True when the text begins (after blanks, a sign and zeros) with Y, y, T, t or a digit 1 to 9.
bool textBool(std::string_view s)
{
    std::size_t i = skipSpaces(s);
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    while (i < s.size() && s[i] == '0')
        ++i;
    if (i >= s.size())
        return false;
    const char c = s[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

// The integer the text begins with, clamped to the 64-bit range; 0 when it begins with none.
std::int64_t textInteger(std::string_view s)
{
    std::size_t i = skipSpaces(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    // Accumulate as a negative number, whose range is one larger.
    std::int64_t value = 0;
    constexpr std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    bool overflow = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        const int digit = s[i] - '0';
        if (value < (lowest + digit) / 10) {
            overflow = true;
            continue;
        }
        value = value * 10 - digit;
    }
    if (overflow)
        return negative ? lowest : std::numeric_limits<std::int64_t>::max();
    if (negative)
        return value;
    return value == lowest ? std::numeric_limits<std::int64_t>::max() : -value;
}

// The decimal number the text begins with; 0 when it begins with none.
double textDouble(std::string_view s)
{
    std::size_t i = skipSpaces(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    double value = 0.0;
    const char* first = s.data() + i;
    const char* last = s.data() + s.size();
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large in magnitude (or too small): infinity or zero, as the platform reads it.
        std::size_t e = i;
        while (e < s.size() && s[e] != 'e' && s[e] != 'E')
            ++e;
        const bool tiny = e < s.size() && e + 1 < s.size() && s[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (result.ec != std::errc()) {
        return 0.0;
    }
    return negative ? -value : value;
}

std::string shortestText(double d)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, d);
    return std::string(buffer, result.ptr);
}

std::mutex standardMutex;
std::unique_ptr<UserDefaults>& standardSlot()
{
    static std::unique_ptr<UserDefaults>* slot = new std::unique_ptr<UserDefaults>; // never destroyed at exit
    return *slot;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------
// UserDefaults

UserDefaults::UserDefaults(std::unique_ptr<Store> store) : store_(std::move(store)) {}

std::uint64_t UserDefaults::nextRevision()
{
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

UserDefaults::~UserDefaults()
{
    store_->sync();
}

std::unique_ptr<UserDefaults> UserDefaults::inMemory()
{
    return std::unique_ptr<UserDefaults>(new UserDefaults(std::make_unique<MemoryStore>()));
}

std::unique_ptr<UserDefaults> UserDefaults::settingsFile(const std::string& path)
{
    return std::unique_ptr<UserDefaults>(new UserDefaults(std::make_unique<SettingsStore>(path)));
}

std::string UserDefaults::standardSettingsPath()
{
    return utf8(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                + QStringLiteral("/Velquine/Velquine.ini"));
}

UserDefaults& UserDefaults::standard()
{
    std::lock_guard lock(standardMutex);
    std::unique_ptr<UserDefaults>& slot = standardSlot();
    if (!slot)
        slot = settingsFile(standardSettingsPath());
    return *slot;
}

std::unique_ptr<UserDefaults> UserDefaults::replaceStandard(std::unique_ptr<UserDefaults> replacement)
{
    std::lock_guard lock(standardMutex);
    std::unique_ptr<UserDefaults> previous = std::move(standardSlot());
    standardSlot() = std::move(replacement);
    return previous;
}

void UserDefaults::registerDefaults(const Dictionary& defaults)
{
    std::lock_guard lock(mutex_);
    for (const auto& [key, value] : defaults)
        registered_[key] = value;
    revision_.store(nextRevision(), std::memory_order_release);
}

std::optional<UserDefaults::Value> UserDefaults::objectForKey(const std::string& key) const
{
    std::lock_guard lock(mutex_);
    if (std::optional<Value> v = store_->get(key))
        return v;
    auto it = registered_.find(key);
    if (it == registered_.end())
        return std::nullopt;
    return it->second;
}

bool UserDefaults::boolForKey(const std::string& key) const
{
    const std::optional<Value> v = objectForKey(key);
    return v && toBool(*v);
}

std::int64_t UserDefaults::integerForKey(const std::string& key) const
{
    const std::optional<Value> v = objectForKey(key);
    return v ? toInteger(*v) : 0;
}

double UserDefaults::doubleForKey(const std::string& key) const
{
    const std::optional<Value> v = objectForKey(key);
    return v ? toDouble(*v) : 0.0;
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const
{
    const std::optional<Value> v = objectForKey(key);
    if (!v)
        return std::nullopt;
    return toString(*v);
}

std::optional<Bytes> UserDefaults::dataForKey(const std::string& key) const
{
    const std::optional<Value> v = objectForKey(key);
    if (!v)
        return std::nullopt;
    if (const Bytes* b = std::get_if<Bytes>(&*v))
        return *b;
    return std::nullopt;
}

void UserDefaults::set(const std::string& key, Value value)
{
    std::lock_guard lock(mutex_);
    store_->put(key, value);
    revision_.store(nextRevision(), std::memory_order_release);
    store_->sync();
}

void UserDefaults::remove(const std::string& key)
{
    std::lock_guard lock(mutex_);
    store_->erase(key);
    revision_.store(nextRevision(), std::memory_order_release);
    store_->sync();
}

bool UserDefaults::synchronize()
{
    std::lock_guard lock(mutex_);
    return store_->sync();
}

bool UserDefaults::toBool(const Value& value)
{
    if (const bool* b = std::get_if<bool>(&value))
        return *b;
    if (const std::int64_t* i = std::get_if<std::int64_t>(&value))
        return *i != 0;
    if (const double* d = std::get_if<double>(&value))
        return *d != 0.0 && !std::isnan(*d);
    if (const std::string* s = std::get_if<std::string>(&value))
        return textBool(*s);
    return false;
}

std::int64_t UserDefaults::toInteger(const Value& value)
{
    if (const bool* b = std::get_if<bool>(&value))
        return *b ? 1 : 0;
    if (const std::int64_t* i = std::get_if<std::int64_t>(&value))
        return *i;
    if (const double* d = std::get_if<double>(&value)) {
        if (std::isnan(*d))
            return 0;
        // Toward zero, clamped: 2^63 itself is out of range.
        if (*d >= 9223372036854775808.0)
            return std::numeric_limits<std::int64_t>::max();
        if (*d <= -9223372036854775808.0)
            return std::numeric_limits<std::int64_t>::min();
        return static_cast<std::int64_t>(*d);
    }
    if (const std::string* s = std::get_if<std::string>(&value))
        return textInteger(*s);
    return 0;
}

double UserDefaults::toDouble(const Value& value)
{
    if (const bool* b = std::get_if<bool>(&value))
        return *b ? 1.0 : 0.0;
    if (const std::int64_t* i = std::get_if<std::int64_t>(&value))
        return static_cast<double>(*i);
    if (const double* d = std::get_if<double>(&value))
        return *d;
    if (const std::string* s = std::get_if<std::string>(&value))
        return textDouble(*s);
    return 0.0;
}

std::optional<std::string> UserDefaults::toString(const Value& value)
{
    if (const bool* b = std::get_if<bool>(&value))
        return std::string(*b ? "1" : "0");
    if (const std::int64_t* i = std::get_if<std::int64_t>(&value))
        return std::to_string(*i);
    if (const double* d = std::get_if<double>(&value))
        return shortestText(*d);
    if (const std::string* s = std::get_if<std::string>(&value))
        return *s;
    return std::nullopt;
}

} // namespace velquine

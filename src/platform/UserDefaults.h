#pragma once

// The program's settings.
//
// A lookup finds the value the user (or the program on the user's behalf) set, else the factory value of
// the registration domain, else nothing. Factory values are registered at every start and live only in
// memory; only values given to set() are written to the user's settings file (an INI file kept by
// QSettings in the user's configuration folder). Tests use an in-memory store, usually through
// ScopedStandardUserDefaults.
//
// The typed lookups convert as the settings of a desktop program do: a missing key reads as false, 0, 0.0
// or nothing; numbers and Booleans read as one another; a text reads as the number or Boolean it begins
// with. Values read back from the settings file after a restart come back as texts, and read the same
// through the typed lookups.

#include <atomic>
#include <concepts>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace velquine {

// A run of raw bytes.
using Bytes = std::vector<std::uint8_t>;

class UserDefaults {
public:
    using Value = std::variant<bool, std::int64_t, double, std::string, Bytes>;
    using Dictionary = std::map<std::string, Value>;

    // A private store in memory.
    static std::unique_ptr<UserDefaults> inMemory();
    // Settings kept in the INI file at path (made when the first value is set).
    static std::unique_ptr<UserDefaults> settingsFile(const std::string& path);
    // The file of the standard settings: "Velquine/Velquine.ini" in the user's configuration folder.
    static std::string standardSettingsPath();

    // The process-wide settings, made on first use over standardSettingsPath().
    static UserDefaults& standard();
    // Puts replacement in the place of the standard settings and returns what was there (null when the
    // standard settings were never made). A null replacement makes standard() create the file-backed one
    // again on next use.
    static std::unique_ptr<UserDefaults> replaceStandard(std::unique_ptr<UserDefaults> replacement);

    ~UserDefaults();
    UserDefaults(const UserDefaults&) = delete;
    UserDefaults& operator=(const UserDefaults&) = delete;

    // Adds factory values; a key registered again takes the newer value. Never written to the file.
    void registerDefaults(const Dictionary& defaults);

    // The set value, else the registered one.
    std::optional<Value> objectForKey(const std::string& key) const;
    bool boolForKey(const std::string& key) const;
    std::int64_t integerForKey(const std::string& key) const;
    double doubleForKey(const std::string& key) const;
    // A text, or a number's text; nothing for a missing key or bytes.
    std::optional<std::string> stringForKey(const std::string& key) const;
    // Bytes only.
    std::optional<Bytes> dataForKey(const std::string& key) const;

    void set(const std::string& key, Value value);
    void set(const std::string& key, bool value) { set(key, Value(value)); }
    template <std::integral T>
        requires(!std::same_as<T, bool>)
    void set(const std::string& key, T value)
    {
        set(key, Value(static_cast<std::int64_t>(value)));
    }
    void set(const std::string& key, double value) { set(key, Value(value)); }
    void set(const std::string& key, const char* value) { set(key, Value(std::string(value))); }
    void set(const std::string& key, std::string value) { set(key, Value(std::move(value))); }
    void set(const std::string& key, Bytes value) { set(key, Value(std::move(value))); }

    // Removes the set value, so that the registered one (if any) shows again.
    void remove(const std::string& key);

    // Writes pending changes to the file now (set and remove already do); false when the file cannot be
    // written. Always true for the in-memory store.
    bool synchronize();

    // Changes whenever a value is set, removed or registered, and differs between any two settings objects: what
    // a reader read stays true while this stays the same.
    std::uint64_t revision() const { return revision_.load(std::memory_order_acquire); }

    // The conversions of the typed lookups, for values obtained elsewhere.
    static bool toBool(const Value& value);
    static std::int64_t toInteger(const Value& value);
    static double toDouble(const Value& value);
    static std::optional<std::string> toString(const Value& value);

    class Store; // where set values live

private:
    explicit UserDefaults(std::unique_ptr<Store> store);

    static std::uint64_t nextRevision();

    mutable std::mutex mutex_;
    std::atomic<std::uint64_t> revision_{nextRevision()};
    Dictionary registered_;
    std::unique_ptr<Store> store_;
};

// Replaces the standard settings with a fresh in-memory store for its lifetime (tests).
class ScopedStandardUserDefaults {
public:
    ScopedStandardUserDefaults() : ScopedStandardUserDefaults(UserDefaults::inMemory()) {}
    explicit ScopedStandardUserDefaults(std::unique_ptr<UserDefaults> replacement)
        : previous_(UserDefaults::replaceStandard(std::move(replacement)))
    {
    }
    ~ScopedStandardUserDefaults() { UserDefaults::replaceStandard(std::move(previous_)); }
    ScopedStandardUserDefaults(const ScopedStandardUserDefaults&) = delete;
    ScopedStandardUserDefaults& operator=(const ScopedStandardUserDefaults&) = delete;

    UserDefaults& defaults() const { return UserDefaults::standard(); }

private:
    std::unique_ptr<UserDefaults> previous_;
};

} // namespace velquine

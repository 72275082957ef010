#pragma once

// The visual style of one node: outline, fill, branch, title text and image position.
//
// A plain value, copied whole. Equality compares all fourteen fields, the colours and the font exactly.
// The keyed form has fourteen keys named after the fields; the JSON text is that form, compact, with the
// colour and font archives as Base64 text.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "model/style/ImagePosition.h"
#include "model/style/StrokeStyle.h"
#include "model/style/StrokeThickness.h"
#include "platform/AttributedString.h"
#include "platform/Color.h"
#include "platform/Font.h"
#include "platform/KeyedValue.h"

namespace velquine {

struct NodeStyle {
    // A set of bits over an unsigned 64-bit raw value. Only fontSize has a meaning; every other bit is kept
    // as read, compared and written back unchanged.
    class UserOverride {
    public:
        constexpr UserOverride() = default;
        constexpr explicit UserOverride(std::uint64_t rawValue) : rawValue_(rawValue) { }
        // The union of the members.
        constexpr UserOverride(std::initializer_list<UserOverride> members)
        {
            for (UserOverride m : members)
                rawValue_ |= m.rawValue_;
        }

        // The node's font size was set by hand; applying a style keeps it.
        static const UserOverride fontSize;

        constexpr std::uint64_t rawValue() const { return rawValue_; }
        constexpr bool isEmpty() const { return rawValue_ == 0; }

        // ("union" is a keyword, hence unionWith.)
        constexpr UserOverride unionWith(UserOverride other) const { return UserOverride(rawValue_ | other.rawValue_); }
        constexpr UserOverride intersection(UserOverride other) const { return UserOverride(rawValue_ & other.rawValue_); }
        constexpr UserOverride symmetricDifference(UserOverride other) const
        {
            return UserOverride(rawValue_ ^ other.rawValue_);
        }
        constexpr UserOverride subtracting(UserOverride other) const { return UserOverride(rawValue_ & ~other.rawValue_); }

        constexpr void formUnion(UserOverride other) { rawValue_ |= other.rawValue_; }
        constexpr void formIntersection(UserOverride other) { rawValue_ &= other.rawValue_; }
        constexpr void formSymmetricDifference(UserOverride other) { rawValue_ ^= other.rawValue_; }
        constexpr void subtract(UserOverride other) { rawValue_ &= ~other.rawValue_; }

        // Every bit of the member is in the set.
        constexpr bool contains(UserOverride member) const { return (rawValue_ & member.rawValue_) == member.rawValue_; }
        constexpr bool isSubset(UserOverride of) const { return (rawValue_ & of.rawValue_) == rawValue_; }
        constexpr bool isSuperset(UserOverride of) const { return of.isSubset(*this); }
        constexpr bool isDisjoint(UserOverride with) const { return (rawValue_ & with.rawValue_) == 0; }

        // inserted is true when any bit of the member was missing; memberAfterInsert is then the member, else
        // the bits of it that were present.
        struct InsertResult;
        constexpr InsertResult insert(UserOverride newMember);
        // The bits of the member that were present, or nothing when there were none.
        constexpr std::optional<UserOverride> remove(UserOverride member)
        {
            const UserOverride present = intersection(member);
            subtract(member);
            if (present.isEmpty())
                return std::nullopt;
            return present;
        }
        constexpr std::optional<UserOverride> update(UserOverride with)
        {
            const UserOverride present = intersection(with);
            formUnion(with);
            if (present.isEmpty())
                return std::nullopt;
            return present;
        }

        friend constexpr bool operator==(UserOverride, UserOverride) = default;

    private:
        std::uint64_t rawValue_ = 0;
    };

    // Fields in declaration order; the keys of the keyed form are their names.
    StrokeThickness borderWidth = StrokeThickness::medium;
    Color borderColor = Color::black();
    Color fillColor = Color::white();
    StrokeStyle borderStyle = StrokeStyle::solid;
    Color branchColor = Color::black();
    StrokeStyle branchStyle = StrokeStyle::solid;
    StrokeThickness branchWidth = StrokeThickness::medium;
    Color textColor = Color::black();
    // Title alignment as the stored raw value of TextAlignment; values outside the enumeration are kept as
    // they are (and drawn centred).
    std::int64_t textAlignment = static_cast<std::int64_t>(TextAlignment::center);
    Font font = Font::systemFont(32.0);
    UserOverride userOverrides;
    bool isUnderlined = false;
    bool isStrikeThrough = false;
    ImagePosition imagePosition = ImagePosition::trailing;

    // The default style.
    NodeStyle() = default;

    // All fourteen fields equal; colours and the font compared exactly.
    friend bool operator==(const NodeStyle&, const NodeStyle&) = default;

    // The fourteen keys of the keyed form, in declaration order.
    static const std::array<std::string_view, 14>& codingKeys();
    // The same keys in the order they are written and read.
    static const std::array<std::string_view, 14>& writeOrder();

    // The keyed form, members in write order. Throws what archiving a colour or the font throws.
    KeyedValue encode() const;
    // A style from its keyed form. Throws DecodingError for a missing, null or mistyped member or an
    // out-of-range raw value, TextError for a colour archive without an object, and what the archive reader
    // throws for an unreadable colour. An unreadable or missing font is replaced by the 12-point system font,
    // with a log line.
    static NodeStyle decode(const KeyedValue& from);

    // The keyed form as compact JSON text.
    std::string jsonValue() const;
    // A style from JSON text. Throws TextError for text that is not UTF-8, JsonError for text that is not JSON,
    // and what decode throws.
    static NodeStyle fromJsonString(std::string_view jsonString);
    // The point size the JSON's font archive stores, also one no font can have (0); none when there is no
    // readable font. A stored size of 0 decodes as the 12-point system font, so the loader asks for this.
    static std::optional<double> storedFontPointSize(std::string_view jsonString);
};

struct NodeStyle::UserOverride::InsertResult {
    bool inserted;
    UserOverride memberAfterInsert;
};

constexpr NodeStyle::UserOverride::InsertResult NodeStyle::UserOverride::insert(UserOverride newMember)
{
    const UserOverride old = intersection(newMember);
    const bool shouldInsert = old != newMember;
    if (shouldInsert)
        formUnion(newMember);
    return {shouldInsert, shouldInsert ? newMember : old};
}

inline constexpr NodeStyle::UserOverride NodeStyle::UserOverride::fontSize = NodeStyle::UserOverride(std::uint64_t{1});

} // namespace velquine

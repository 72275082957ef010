#include "sql/DateFormatter.h"
#include "sql/Operators.h"
#include "sql/UUID.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using namespace velquine::sql;
using namespace std::chrono;

namespace {

Date utc(int y, unsigned mo, unsigned d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return time_point_cast<Date::duration>(sys_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi} + seconds{s}
                                           + milliseconds{ms});
}

} // namespace

TEST(SqlDate, StoredAsUtcTextWhateverTheLocalZone)
{
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz ? oldTz : "";
    setenv("TZ", "America/New_York", 1);
    tzset();
    EXPECT_EQ(toBinding(utc(2021, 1, 1)), Binding(std::string("2021-01-01T00:00:00.000")));
    if (oldTz)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    EXPECT_EQ(ValueTraits<Date>::datatypeValue(utc(1999, 12, 31, 23, 59, 58, 7)), "1999-12-31T23:59:58.007");
    EXPECT_EQ(ValueTraits<Date>::datatypeValue(utc(1969, 7, 20, 20, 17, 40, 999) + microseconds(999)),
              "1969-07-20T20:17:40.999");
    EXPECT_EQ(ValueTraits<Date>::declaredDatatype(), "TEXT");
    EXPECT_EQ(value(utc(2000, 1, 1)).bindings, std::vector<OptBinding>{Binding(std::string("2000-01-01T00:00:00.000"))});
}

TEST(SqlDate, ParsesOnlyItsOwnForm)
{
    EXPECT_EQ(valueFromBinding<Date>(Binding(std::string("2021-01-01T00:00:00.000"))), utc(2021, 1, 1));
    EXPECT_EQ(ValueTraits<Date>::fromDatatypeValue("2024-02-29T12:34:56.789"), utc(2024, 2, 29, 12, 34, 56, 789));
    for (const char* bad : {"", "2021-01-01", "2021-01-01T00:00:00", "2021-01-01 00:00:00.000", "2021-13-01T00:00:00.000",
                            "2023-02-29T00:00:00.000", "2021-01-01T24:00:00.000", "2021-01-01T00:00:00.000Z",
                            "2021-01-01T00:00:00.0000", "20x1-01-01T00:00:00.000"}) {
        EXPECT_THROW(ValueTraits<Date>::fromDatatypeValue(bad), ValueConversionError) << bad;
        EXPECT_EQ(dateFormatter().parse(bad), std::nullopt) << bad;
    }
    // A stored integer is not a date at all: absent, not an error.
    EXPECT_EQ(valueFromBinding<Date>(Binding(std::int64_t{5})), std::nullopt);
}

TEST(SqlDate, FormatterIsReplaceable)
{
    struct Seconds : DateFormatter {
        std::string format(Date d) const override
        {
            return std::to_string(duration_cast<seconds>(d.time_since_epoch()).count());
        }
        std::optional<Date> parse(std::string_view text) const override
        {
            return Date(seconds(std::stoll(std::string(text))));
        }
    };
    setDateFormatter(std::make_shared<Seconds>());
    EXPECT_EQ(ValueTraits<Date>::datatypeValue(utc(1970, 1, 1, 0, 1)), "60");
    EXPECT_EQ(ValueTraits<Date>::fromDatatypeValue("120"), utc(1970, 1, 1, 0, 2));
    setDateFormatter(nullptr);
    EXPECT_EQ(ValueTraits<Date>::datatypeValue(utc(1970, 1, 1, 0, 1)), "1970-01-01T00:01:00.000");
}

TEST(SqlUUID, CanonicalUpperCaseText)
{
    const UUID u({0x12, 0x3e, 0x45, 0x67, 0xe8, 0x9b, 0x12, 0xd3, 0xa4, 0x56, 0x42, 0x66, 0x14, 0x17, 0x40, 0x00});
    EXPECT_EQ(u.uuidString(), "123E4567-E89B-12D3-A456-426614174000");
    EXPECT_EQ(toBinding(u), Binding(std::string("123E4567-E89B-12D3-A456-426614174000")));
    EXPECT_EQ(UUID::fromString("123e4567-e89b-12d3-a456-426614174000"), u);
    EXPECT_EQ(valueFromBinding<UUID>(Binding(std::string("123E4567-E89B-12D3-A456-426614174000"))), u);
    EXPECT_EQ(UUID().uuidString(), "00000000-0000-0000-0000-000000000000");
    for (const char* bad : {"", "123E4567E89B12D3A456426614174000", "123E4567-E89B-12D3-A456-42661417400",
                            "123E4567-E89B-12D3-A456-4266141740000", "123E4567-E89B-12D3-A456_426614174000",
                            "G23E4567-E89B-12D3-A456-426614174000"}) {
        EXPECT_EQ(UUID::fromString(bad), std::nullopt) << bad;
        EXPECT_THROW(ValueTraits<UUID>::fromDatatypeValue(bad), ValueConversionError) << bad;
    }
    EXPECT_EQ(ValueTraits<UUID>::declaredDatatype(), "TEXT");
}

TEST(SqlData, ByteBuffersAreBlobs)
{
    using Data = std::vector<std::uint8_t>;
    EXPECT_EQ(ValueTraits<Data>::declaredDatatype(), "BLOB");
    EXPECT_EQ(toBinding(Data{}), Binding(Blob{}));
    EXPECT_EQ(toBinding(Data{1, 2}), Binding(Blob{1, 2}));
    EXPECT_EQ(valueFromBinding<Data>(Binding(Blob{7})), Data{7});
    EXPECT_EQ(valueFromBinding<Data>(Binding(std::string("x"))), std::nullopt);
    // Typed expressions over the new value types compare like any other.
    const Expression<std::optional<Data>> image("image");
    EXPECT_EQ((image == std::nullopt).templ, "(\"image\" IS ?)");
    const Expression<Date> created("created");
    EXPECT_EQ((created < utc(2000, 1, 1)).bindings, std::vector<OptBinding>{Binding(std::string("2000-01-01T00:00:00.000"))});
}

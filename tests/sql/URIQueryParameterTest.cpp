#include "sql/Connection.h"
#include "sql/Statement.h"
#include "sql/URIQueryParameter.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace velquine::sql;
using P = URIQueryParameter;

TEST(URIQueryParameterTest, ItemsOfEveryCase)
{
    EXPECT_EQ(P::mode(P::FileMode::readWriteCreate).description(), "mode=rwc");
    EXPECT_EQ(P::mode(P::FileMode::readOnly).description(), "mode=ro");
    EXPECT_EQ(P::mode(P::FileMode::readWrite).description(), "mode=rw");
    EXPECT_EQ(P::mode(P::FileMode::memory).description(), "mode=memory");
    EXPECT_EQ(P::cache(P::CacheMode::private_).description(), "cache=private");
    EXPECT_EQ(P::cache(P::CacheMode::shared).description(), "cache=shared");
    EXPECT_EQ(P::powersafeOverwrite(true).description(), "psow=1");
    EXPECT_EQ(P::immutable(false).description(), "immutable=0");
    EXPECT_EQ(P::nolock(true).description(), "nolock=1");
    EXPECT_EQ(P::vfs("unix-dotfile").description(), "vfs=unix-dotfile");
    // Text payloads are unchanged in the item; encoding happens when the URI is assembled.
    EXPECT_EQ(P::modeOf("a b&c").queryItem(), (URLQueryItem{"modeof", "a b&c"}));
}

TEST(URIQueryParameterTest, RawValues)
{
    EXPECT_EQ(fileModeFromRawValue("rw"), P::FileMode::readWrite);
    EXPECT_EQ(fileModeFromRawValue("memory"), P::FileMode::memory);
    EXPECT_FALSE(fileModeFromRawValue("RW"));
    EXPECT_EQ(cacheModeFromRawValue("private"), P::CacheMode::private_);
    EXPECT_FALSE(cacheModeFromRawValue("Shared"));
}

TEST(LocationTest, FileNames)
{
    EXPECT_EQ(Connection::Location::inMemory().description(), ":memory:");
    EXPECT_EQ(Connection::Location::temporary().description(), "");
    // Without parameters the text is handed on unchanged, no scheme added.
    EXPECT_EQ(Connection::Location::uri("test.db").description(), "test.db");
    EXPECT_EQ(Connection::Location::uri("test.db", {P::mode(P::FileMode::readWriteCreate)}).description(),
              "file:test.db?mode=rwc");
    EXPECT_EQ(Connection::Location::uri("/data/x.db", {P::mode(P::FileMode::readOnly), P::immutable(true)})
                  .description(),
              "file:/data/x.db?mode=ro&immutable=1");
    // The text's own query items come first.
    EXPECT_EQ(Connection::Location::uri("file:test.db?cache=shared", {P::mode(P::FileMode::readOnly)}).description(),
              "file:test.db?cache=shared&mode=ro");
    EXPECT_EQ(Connection::Location::uri("file:test.db?a=1#frag", {P::nolock(true)}).description(),
              "file:test.db?a=1&nolock=1#frag");
}

TEST(LocationTest, ParametersAreNeverDroppedAndCannotInjectItems)
{
    // A path that no URL parser would take as it is still keeps its parameters.
    EXPECT_EQ(Connection::Location::uri("my file?#%.db", {P::mode(P::FileMode::readOnly)}).description(),
              "file:my%20file%3F%23%25.db?mode=ro");
    // A value cannot end its item and add another.
    EXPECT_EQ(Connection::Location::uri("x.db", {P::vfs("unix&mode=ro"), P::modeOf("a=b#c+d e%")}).description(),
              "file:x.db?vfs=unix%26mode%3Dro&modeof=a%3Db%23c%2Bd%20e%25");
    // A path beginning with "//" does not turn into an authority.
    EXPECT_EQ(Connection::Location::uri("//tmp/x.db", {P::nolock(true)}).description(), "file:////tmp/x.db?nolock=1");
}

TEST(LocationTest, TheEngineHonoursTheParameters)
{
    TempDir dir;
    std::string path = dir.file("odd name?#%.db");
    {
        auto db = Connection::open(path);
        db->execute("CREATE TABLE t (a)");
    }
    ASSERT_TRUE(std::filesystem::exists(path));
    // Opened read-write by flags, read-only by the URI parameter.
    auto db = Connection::open(Connection::Location::uri(path, {P::mode(P::FileMode::readOnly)}));
    EXPECT_TRUE(db->readonly());
    EXPECT_EQ(db->description(), path);
    EXPECT_THROW(db->execute("INSERT INTO t VALUES (1)"), Result);

    // An injected vfs value would name no file-system layer: it must be taken as one whole name.
    EXPECT_THROW(Connection::open(Connection::Location::uri(path, {P::vfs("unix&mode=ro")})), Result);
}

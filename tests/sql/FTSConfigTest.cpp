#include "sql/FTSConfig.h"

#include "SchemaTestSupport.h"

#include <gtest/gtest.h>

using namespace velquine::sql;
using schematest::rows;

namespace {

const Expression<std::string> title("title");
const Expression<std::string> body("body");
const Expression<std::int64_t> id("id");

std::string text(const Module& module)
{
    return sqlWithInlinedBindings(toExpression(module));
}

std::string statement(const Module& module)
{
    return create(VirtualTable("docs"), module);
}

} // namespace

TEST(FTSConfigTest, Tokenizers)
{
    EXPECT_EQ(Tokenizer::simple().description(), "simple");
    EXPECT_EQ(Tokenizer::porter().description(), "porter");
    EXPECT_EQ(&Tokenizer::porter(), &Tokenizer::porter());
    EXPECT_EQ(Tokenizer::unicode61().description(), "unicode61");
    EXPECT_TRUE(Tokenizer::unicode61().arguments.empty());
    EXPECT_EQ(Tokenizer::unicode61(true, {U'-', U'_'}, {U'"', U'\u00e9'}).arguments,
              (std::vector<std::string>{"\"remove_diacritics=1\"", "\"tokenchars=-_\"", "\"separators=\"\"\xC3\xA9\""}));
    EXPECT_EQ(Tokenizer::unicode61(false).description(), "unicode61 \"remove_diacritics=0\"");
    EXPECT_EQ(Tokenizer::trigram(true).description(), "trigram case_sensitive 1");
    EXPECT_EQ(Tokenizer::trigram(false).description(), "trigram case_sensitive 0");
    EXPECT_EQ(Tokenizer::custom("my\"tok").description(), "\"VelquineTokenizer\" \"my\"\"tok\"");
}

TEST(FTSConfigTest, FTS4Options)
{
    EXPECT_EQ(text(fts4(FTS4Config())), "fts4()");
    EXPECT_EQ(text(fts4(title, body)), "fts4(\"title\", \"body\")");
    EXPECT_EQ(text(fts4({title}, Tokenizer::unicode61(true))), "fts4(\"title\", tokenize=unicode61 \"remove_diacritics=1\")");

    FTS4Config config;
    config.order(FTS4Config::Order::desc)
        .matchInfo(FTS4Config::MatchInfo::fts3)
        .uncompress("unzip")
        .compress("zip")
        .languageId("lid")
        .column(title)
        .column(body, {FTSConfig::ColumnOption::unindexed})
        .tokenizer(Tokenizer::porter())
        .prefix({3})
        .prefix({2, 3})
        .externalContent(Table("src", "main").alias("s"));
    EXPECT_EQ(text(fts4(config)),
              "fts4(\"title\", \"body\", tokenize=porter, prefix=\"2,3,3\", content=\"main\".\"s\", notindexed=\"body\", "
              "languageid=\"lid\", compress=\"zip\", uncompress=\"unzip\", matchinfo=\"fts3\", order=\"desc\")");
    EXPECT_EQ(config.prefixes, (std::vector<std::int64_t>{3, 2, 3})); // stored as added
    EXPECT_EQ(config.options().size(), 11u);
    EXPECT_EQ(text(fts4(config)), text(fts4(config))); // reading changes nothing
    config.contentless();
    EXPECT_NE(text(fts4(config)).find("content=\"\", notindexed"), std::string::npos);
    config.tokenizer(std::nullopt);
    EXPECT_EQ(text(fts4(config)).find("tokenize"), std::string::npos);

    EXPECT_EQ(fts4OrderFromRawValue("ASC"), std::nullopt);
    EXPECT_EQ(fts4OrderFromRawValue("asc"), FTS4Config::Order::asc);
    EXPECT_EQ(matchInfoFromRawValue("fts3"), FTS4Config::MatchInfo::fts3);
    EXPECT_EQ(matchInfoFromRawValue("fts4"), std::nullopt);
}

TEST(FTSConfigTest, FTS5AndRTreeOptions)
{
    FTS5Config config;
    config.detail(FTS5Config::Detail::column)
        .columnSize(0)
        .contentRowId(id)
        .column(title)
        .column(body, {FTSConfig::ColumnOption::unindexed})
        .externalContent(Table("src"))
        .tokenizer(Tokenizer::trigram());
    // FTS5 reads the tokenizer with its arguments as one string.
    EXPECT_EQ(text(fts5(config)), "fts5(\"title\", \"body\" UNINDEXED, tokenize='trigram case_sensitive 0', "
                                  "content=\"src\", content_rowid=\"id\", columnsize=0, detail=\"column\")");
    EXPECT_EQ(fts5(config).arguments[5].templ, "columnsize=?"); // the size is a bound value
    config.tokenizer(Tokenizer::unicode61(true, {U'-', U'\''}, {U'.'}));
    EXPECT_EQ(sqlWithInlinedBindings(fts5(config).arguments[2]),
              "tokenize='unicode61 remove_diacritics ''1'' tokenchars ''''''-'' separators ''.'''");
    config.tokenizer(Tokenizer::porter());
    EXPECT_EQ(sqlWithInlinedBindings(fts5(config).arguments[2]), "tokenize='porter'");
    EXPECT_EQ(text(fts5(FTS5Config().column(title))), "fts5(\"title\")");
    EXPECT_EQ(detailFromRawValue("none"), FTS5Config::Detail::none);
    EXPECT_EQ(detailFromRawValue("Full"), std::nullopt);

    const Expression<double> minX("minX"), maxX("maxX"), minY("minY"), maxY("maxY");
    EXPECT_EQ(text(rtree(id, std::pair{minX, maxX}, std::pair{minY, maxY})),
              "rtree(\"id\", \"minX\", \"maxX\", \"minY\", \"maxY\")");
    EXPECT_EQ(rtree(id).arguments.size(), 1u);
    EXPECT_EQ(statement(rtree(id)), "CREATE VIRTUAL TABLE \"docs\" USING rtree(\"id\")");
}

TEST(FTSConfigTest, MatchConditions)
{
    const VirtualTable docs("docs");
    const Expression<bool> byText = match(docs, "it's");
    EXPECT_EQ(byText.templ, "(\"docs\" MATCH ?)");
    ASSERT_EQ(byText.bindings.size(), 1u);
    EXPECT_EQ(byText.bindings[0], OptBinding(std::string("it's")));
    EXPECT_EQ(match(VirtualTable("docs", "main").alias("d"), title).templ, "(\"main\".\"d\" MATCH \"title\")");
    const Expression<std::optional<bool>> optional = match(docs, Expression<std::optional<std::string>>("q"));
    EXPECT_EQ(optional.templ, "(\"docs\" MATCH \"q\")");

    const VirtualTable filtered = filter(filter(docs, "a"), body);
    EXPECT_EQ(sqlWithInlinedBindings(filtered.expression()),
              "SELECT * FROM \"docs\" WHERE ((\"docs\" MATCH 'a') AND (\"docs\" MATCH \"body\"))");
}

// Every module runs on the engine, and the tables answer queries.
TEST(FTSConfigTest, ModulesRunOnTheEngine)
{
    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE src (id INTEGER PRIMARY KEY, title TEXT, body TEXT)");
    db->execute("INSERT INTO src VALUES (1, 'Crème brûlée', 'dessert'), (2, 'running shoes', 'sport')");

    FTS4Config four;
    four.column(title).column(body, {FTSConfig::ColumnOption::unindexed}).tokenizer(Tokenizer::unicode61(true))
        .prefix({2}).externalContent(Table("src")).order(FTS4Config::Order::desc).matchInfo(FTS4Config::MatchInfo::fts3);
    db->execute(create(VirtualTable("four"), fts4(four)));
    db->execute("INSERT INTO four (four) VALUES ('rebuild')");
    EXPECT_EQ(rows(*db, "SELECT rowid FROM four WHERE four MATCH 'creme'"), std::vector<std::string>{"1"});
    EXPECT_EQ(rows(*db, "SELECT rowid FROM four WHERE four MATCH 'de*'"), std::vector<std::string>{});

    db->execute(create(VirtualTable("porter"), fts4({title}, Tokenizer::porter())));
    db->execute("INSERT INTO porter VALUES ('running shoes')");
    EXPECT_EQ(rows(*db, "SELECT title FROM porter WHERE porter MATCH 'run'"), std::vector<std::string>{"running shoes"});

    FTS5Config five;
    five.column(title).column(body, {FTSConfig::ColumnOption::unindexed}).externalContent(Table("src"))
        .contentRowId(id).columnSize(0).detail(FTS5Config::Detail::full).tokenizer(Tokenizer::trigram());
    db->execute(create(VirtualTable("five"), fts5(five)));
    db->execute("INSERT INTO five (five) VALUES ('rebuild')");
    EXPECT_EQ(rows(*db, "SELECT rowid, body FROM five WHERE five MATCH 'nni'"), std::vector<std::string>{"2|sport"});

    db->execute(create(VirtualTable("bare"), fts5(FTS5Config().column(title).contentless())));
    db->execute(create(VirtualTable("uni"), fts5(FTS5Config().column(title).prefix({2, 3})
                                                   .tokenizer(Tokenizer::unicode61(true, {U'-'}, {U'.'})))));
    db->execute("INSERT INTO uni VALUES ('Crème e-mail.address')");
    EXPECT_EQ(rows(*db, "SELECT count(*) FROM uni WHERE uni MATCH '\"e-mail\"'"), std::vector<std::string>{"1"});
    EXPECT_EQ(rows(*db, "SELECT count(*) FROM uni WHERE uni MATCH 'creme'"), std::vector<std::string>{"1"});
    EXPECT_EQ(rows(*db, "SELECT count(*) FROM uni WHERE uni MATCH 'address'"), std::vector<std::string>{"1"});
    EXPECT_EQ(rows(*db, "SELECT count(*) FROM uni WHERE uni MATCH 'mail'"), std::vector<std::string>{"0"});

    // Queries built with the match filter, run through the connection.
    const VirtualTable porter("porter");
    auto found = db->prepare(filter(porter, "shoe").select(title));
    auto row = found.failableNext();
    ASSERT_TRUE(row);
    EXPECT_EQ(row->get(title), "running shoes");

    const Expression<double> minX("minX"), maxX("maxX"), minY("minY"), maxY("maxY");
    db->execute(create(VirtualTable("boxes"), rtree(id, std::pair{minX, maxX}, std::pair{minY, maxY}), true));
    db->execute("INSERT INTO boxes VALUES (1, 0, 10, 0, 10), (2, 20, 30, 20, 30)");
    EXPECT_EQ(rows(*db, "SELECT id FROM boxes WHERE minX <= 5 AND maxX >= 5"), std::vector<std::string>{"1"});
}

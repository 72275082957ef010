#include "platform/Pasteboard.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <string>
#include <vector>

using namespace velquine;

namespace {

const std::string styleType = "io.kelvarn.velquine.pb.node_style";
const std::string shapeType = "io.kelvarn.velquine.pb.node_shape";
const std::string nodesType = "io.kelvarn.velquine.pb.nodes.plist";
const std::string sourceType = "io.kelvarn.velquine.sourceDocument";
const std::string opmlType = "org.opml.opml";

Bytes bytes(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

using Types = std::vector<std::string>;

// A pasteboard that takes nothing, like one whose owner refuses the data.
class RefusingPasteboard : public Pasteboard {
public:
    bool setData(const Bytes&, const std::string&) override { return false; }
};

} // namespace

TEST(Pasteboard, DeclaredTypesKeepTheirOrderAndHaveNoDataUntilSet)
{
    Pasteboard pb;
    EXPECT_TRUE(pb.types().empty());
    pb.declareTypes({styleType, shapeType, styleType, ""});
    EXPECT_EQ(pb.types(), (Types{styleType, shapeType}));
    EXPECT_FALSE(pb.data(styleType).has_value());
    EXPECT_FALSE(pb.string(shapeType).has_value());

    // Filling the second type first does not reorder them.
    EXPECT_TRUE(pb.setData(bytes("shape"), shapeType));
    EXPECT_TRUE(pb.setData(bytes("style"), styleType));
    EXPECT_EQ(pb.types(), (Types{styleType, shapeType}));
    EXPECT_EQ(pb.data(styleType), bytes("style"));
    EXPECT_EQ(pb.data(shapeType), bytes("shape"));

    // Setting again replaces in place.
    EXPECT_TRUE(pb.setData(bytes("style 2"), styleType));
    EXPECT_EQ(pb.types(), (Types{styleType, shapeType}));
    EXPECT_EQ(pb.data(styleType), bytes("style 2"));
}

TEST(Pasteboard, DeclaringReplacesEverythingAndClearingEmpties)
{
    Pasteboard pb;
    pb.clearContents();
    pb.setData(bytes("plist"), nodesType);
    pb.setString("uuid", sourceType);
    pb.setString("a\n\tb", Pasteboard::stringType);
    pb.setString("<opml/>", opmlType);
    EXPECT_EQ(pb.types(), (Types{nodesType, sourceType, Pasteboard::stringType, opmlType}));

    pb.declareTypes({styleType, shapeType});
    EXPECT_EQ(pb.types(), (Types{styleType, shapeType}));
    EXPECT_FALSE(pb.data(nodesType).has_value());
    EXPECT_FALSE(pb.string(Pasteboard::stringType).has_value());

    pb.clearContents();
    EXPECT_TRUE(pb.types().empty());
    EXPECT_FALSE(pb.data(styleType).has_value());
}

TEST(Pasteboard, StringsAreUtf8AndInvalidBytesReadAsNoString)
{
    Pasteboard pb;
    EXPECT_TRUE(pb.setString("Grüße ✓ 𝄞", Pasteboard::stringType));
    EXPECT_EQ(pb.string(Pasteboard::stringType), "Grüße ✓ 𝄞");
    EXPECT_EQ(pb.data(Pasteboard::stringType), bytes("Grüße ✓ 𝄞"));

    EXPECT_TRUE(pb.setString("", opmlType));
    EXPECT_EQ(pb.string(opmlType), "");

    for (const Bytes& bad : {Bytes{0xFF}, Bytes{'a', 0xC3}, Bytes{0xC0, 0x80}, Bytes{0xED, 0xA0, 0x80},
                             Bytes{0xF4, 0x90, 0x80, 0x80}}) {
        pb.setData(bad, Pasteboard::rtfType);
        EXPECT_EQ(pb.data(Pasteboard::rtfType), bad);
        EXPECT_FALSE(pb.string(Pasteboard::rtfType).has_value());
    }
    EXPECT_FALSE(pb.setData(bytes("x"), "")); // a type needs a name
    EXPECT_EQ(pb.types(), (Types{Pasteboard::stringType, opmlType, Pasteboard::rtfType}));
}

TEST(Pasteboard, AvailableTypeFollowsTheOrderAskedFor)
{
    Pasteboard pb;
    pb.declareTypes({Pasteboard::stringType, Pasteboard::rtfType, nodesType});
    EXPECT_EQ(pb.availableType({nodesType, Pasteboard::stringType}), nodesType);
    EXPECT_EQ(pb.availableType({Pasteboard::pngType, Pasteboard::rtfType, Pasteboard::stringType}), Pasteboard::rtfType);
    EXPECT_FALSE(pb.availableType({Pasteboard::pngType, Pasteboard::tiffType}).has_value());
    EXPECT_FALSE(pb.availableType({}).has_value());
}

TEST(Pasteboard, NamedPasteboardsAreSeparateAndLastForTheProcess)
{
    Pasteboard& dup = Pasteboard::withName("io.kelvarn.velquine.nodeDuplicatorBoard");
    Pasteboard& other = Pasteboard::withName("another board");
    EXPECT_EQ(&dup, &Pasteboard::withName("io.kelvarn.velquine.nodeDuplicatorBoard"));
    EXPECT_NE(&dup, &other);
    EXPECT_NE(&dup, &Pasteboard::general());

    Pasteboard::general().clearContents();
    dup.clearContents();
    dup.setData(bytes("nodes"), nodesType);
    EXPECT_EQ(Pasteboard::withName("io.kelvarn.velquine.nodeDuplicatorBoard").data(nodesType), bytes("nodes"));
    EXPECT_FALSE(other.data(nodesType).has_value());
    EXPECT_FALSE(Pasteboard::general().data(nodesType).has_value());
    dup.clearContents();
}

TEST(Pasteboard, ATestDoubleCanRefuseWrites)
{
    RefusingPasteboard refusing;
    Pasteboard& pb = refusing;
    pb.clearContents();
    EXPECT_FALSE(pb.setData(bytes("plist"), nodesType));
    EXPECT_FALSE(pb.setString("text", Pasteboard::stringType)); // strings go through setData
    EXPECT_TRUE(pb.types().empty());
}

TEST(Pasteboard, TheGeneralPasteboardIsOfferedOnTheSystemClipboard)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    Pasteboard& general = Pasteboard::general();
    general.declareTypes({nodesType, sourceType, Pasteboard::stringType, opmlType});
    general.setData(bytes("bplist00..."), nodesType);
    general.setString("Grüße\n\tchild", Pasteboard::stringType);
    general.setString("<opml/>", opmlType);

    const QMimeData* mime = clipboard->mimeData();
    ASSERT_NE(mime, nullptr);
    // Types with data, in order, under their MIME names; the marker was declared but never set.
    EXPECT_EQ(mime->formats(),
              (QStringList{QString::fromStdString(nodesType), "text/plain", QString::fromStdString(opmlType)}));
    EXPECT_EQ(clipboard->text(), QString::fromUtf8("Grüße\n\tchild"));
    EXPECT_EQ(mime->data(QString::fromStdString(nodesType)), QByteArray("bplist00..."));

    // Read back through the pasteboard, the declared type is still listed.
    EXPECT_EQ(general.types(), (Types{nodesType, sourceType, Pasteboard::stringType, opmlType}));
    EXPECT_FALSE(general.data(sourceType).has_value());
    EXPECT_EQ(general.string(Pasteboard::stringType), "Grüße\n\tchild");

    general.clearContents();
    EXPECT_TRUE(clipboard->mimeData()->formats().isEmpty());
    EXPECT_TRUE(general.types().empty());
}

TEST(Pasteboard, TheGeneralPasteboardReadsWhatAnotherProgramPutThere)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    Pasteboard& general = Pasteboard::general();
    general.setString("ours", Pasteboard::stringType);

    auto* foreign = new QMimeData;
    foreign->setData("text/rtf", QByteArray("{\\rtf1 x}"));
    foreign->setData("org.opml.opml", QByteArray("<opml version=\"2.0\"/>"));
    foreign->setText(QString::fromUtf8("from elsewhere ✓"));
    clipboard->setMimeData(foreign);

    EXPECT_EQ(general.types(), (Types{Pasteboard::rtfType, opmlType, Pasteboard::stringType}));
    EXPECT_EQ(general.string(Pasteboard::stringType), "from elsewhere ✓");
    EXPECT_EQ(general.data(Pasteboard::rtfType), bytes("{\\rtf1 x}"));
    EXPECT_EQ(general.string(opmlType), "<opml version=\"2.0\"/>");
    EXPECT_FALSE(general.data(nodesType).has_value());
    EXPECT_EQ(general.availableType({nodesType, opmlType, Pasteboard::stringType}), opmlType);

    // Writing takes the clipboard over: nothing of the other program's content or of ours before is left.
    EXPECT_TRUE(general.setData(bytes("style"), styleType));
    EXPECT_EQ(general.types(), (Types{styleType}));
    EXPECT_EQ(clipboard->mimeData()->formats(), QStringList{QString::fromStdString(styleType)});
    general.clearContents();
}

TEST(Pasteboard, AnImageFromAnotherProgramReadsAsPng)
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(Qt::red);
    auto* foreign = new QMimeData;
    foreign->setImageData(image);
    QGuiApplication::clipboard()->setMimeData(foreign);

    Pasteboard& general = Pasteboard::general();
    ASSERT_EQ(general.availableType({Pasteboard::pngType, Pasteboard::tiffType}), Pasteboard::pngType);
    const std::optional<Bytes> png = general.data(Pasteboard::pngType);
    ASSERT_TRUE(png.has_value());
    QImage back;
    ASSERT_TRUE(back.loadFromData(reinterpret_cast<const uchar*>(png->data()), static_cast<int>(png->size()), "PNG"));
    EXPECT_EQ(back.size(), QSize(3, 2));
    EXPECT_EQ(back.pixelColor(1, 1), QColor(Qt::red));
    general.clearContents();
}

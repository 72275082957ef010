#include "platform/FontManager.h"
#include "platform/UrlOpener.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace velquine;

TEST(FontManager, FamiliesAreListedOnceInByteOrderWithTheirFaces)
{
    const std::vector<std::string> families = FontManager::availableFontFamilies();
    EXPECT_TRUE(std::is_sorted(families.begin(), families.end()));
    EXPECT_EQ(std::adjacent_find(families.begin(), families.end()), families.end());
    EXPECT_TRUE(std::binary_search(families.begin(), families.end(), std::string("DejaVu Sans")));

    std::map<std::string, FontMember> faces;
    for (const FontMember& member : FontManager::availableMembers("DejaVu Sans"))
        faces[member.faceName] = member;
    ASSERT_TRUE(faces.contains("Book") && faces.contains("Bold") && faces.contains("Oblique") &&
                faces.contains("Bold Oblique"));
    EXPECT_EQ(faces["Book"].fontName, "DejaVu Sans");
    EXPECT_EQ(faces["Book"].traits, 0u);
    EXPECT_EQ(faces["Bold"].traits, FontTrait::bold);
    EXPECT_EQ(faces["Oblique"].traits, FontTrait::italic);
    EXPECT_EQ(faces["Bold Oblique"].traits, FontTrait::bold | FontTrait::italic);
    EXPECT_TRUE(FontManager::availableMembers("No Such Family").empty());
}

TEST(FontManager, TraitConversionsWalkTheFamilysFacesAndKeepTheSize)
{
    const Font book = Font::systemFont(15);
    const Font bold = FontManager::convert(book, FontTrait::bold);
    EXPECT_EQ(bold, Font("DejaVu Sans Bold", 15));
    EXPECT_EQ(FontManager::traits(bold), FontTrait::bold);
    const Font boldItalic = FontManager::convert(bold, FontTrait::italic);
    EXPECT_EQ(boldItalic.fontName(), "DejaVu Sans Bold Oblique");
    EXPECT_EQ(FontManager::faceName(boldItalic), "Bold Oblique");
    EXPECT_EQ(FontManager::convert(boldItalic, FontTrait::unbold).fontName(), "DejaVu Sans Oblique");
    EXPECT_EQ(FontManager::convert(boldItalic, FontTrait::unbold | FontTrait::unitalic), book);
    EXPECT_EQ(FontManager::convert(book, FontTrait::unbold), book); // already so
    EXPECT_EQ(FontManager::convert(book, 31.0), Font::systemFont(31));

    // Another family keeps the traits; an unknown one changes nothing.
    EXPECT_EQ(FontManager::convert(bold, std::string_view("DejaVu Serif")).fontName(), "DejaVu Serif Bold");
    EXPECT_EQ(FontManager::convert(bold, std::string_view("No Such Family")), bold);
    EXPECT_EQ(FontManager::font("DejaVu Serif", 9), Font("DejaVu Serif", 9));
    EXPECT_FALSE(FontManager::font("No Such Family", 9));

    // A font that names no installed face is read as the system font.
    const Font unknown("Not A Face", 12);
    EXPECT_EQ(FontManager::familyName(unknown), "DejaVu Sans");
    EXPECT_EQ(FontManager::convert(unknown, FontTrait::bold).fontName(), "DejaVu Sans Bold");
}

TEST(UrlOpener, TheSeamReceivesEveryUrlWhileCapturing)
{
    UrlOpenerCapture capture;
    EXPECT_TRUE(UrlOpener::open(QUrl("mailto:support@example.org?subject=Hi")));
    ASSERT_EQ(capture.urls().size(), 1u);
    EXPECT_EQ(capture.urls()[0].scheme(), "mailto");
}

#include "platform/DocumentRecovery.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>

using namespace velquine;

namespace {

// Writes its content and notes whether the description was already in place at that moment.
struct ContentWrite : DocumentWrite {
    std::string path;
    std::string descriptionPath;
    bool descriptionThere = false;
    bool run(std::optional<std::string>*, std::string*) override
    {
        descriptionThere = std::filesystem::exists(descriptionPath);
        std::ofstream(path) << "content";
        return true;
    }
};

} // namespace

// A program killed between the two writes of a copy must not leave a content without its description: the
// next start would show it as an untitled document, not as the file it belongs to.
TEST(DocumentRecovery, ACopysDescriptionIsInPlaceBeforeItsContent)
{
    QTemporaryDir folder;
    const std::string own = folder.path().toStdString();
    auto write = std::make_unique<ContentWrite>();
    write->path = own + "/copy.radovudo";
    write->descriptionPath = own + "/copy.json";
    const ContentWrite& content = *write;
    DocumentRecovery::PendingCopy copy(std::move(write), own, own + "/copy.json", "{\"file\": \"/maps/Map.radovudo\"}");
    std::string error;
    ASSERT_TRUE(copy.run(&error)) << error;
    EXPECT_TRUE(content.descriptionThere);
    copy.finish();
}

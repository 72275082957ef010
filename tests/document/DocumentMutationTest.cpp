// Seeded mutations of a saved document, as a bare database and as an archive: every open either fails
// with a message or loads, within a bounded time, and leaves nothing beside the file. The run is capped
// for CI; VELQUINE_MUTATIONS=<count> runs a longer one.

#include "DocumentFilesTestSupport.h"

#include "document/VQDocument.h"
#include "files/ProjectWriter.h"

#include <chrono>
#include <cstdlib>
#include <random>

using namespace velquine;
using namespace velquine::testing;

namespace {

// Flips, overwrites, cuts or repeats a few ranges of the bytes.
std::string mutated(std::string bytes, std::mt19937& random)
{
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int edit = 0; edit < edits && !bytes.empty(); ++edit) {
        const std::size_t at = random() % bytes.size();
        switch (random() % 5) {
        case 0:
            bytes[at] = static_cast<char>(bytes[at] ^ (1 << (random() % 8)));
            break;
        case 1:
            bytes[at] = static_cast<char>(random() % 256);
            break;
        case 2:
            bytes[at] = static_cast<char>(random() % 2 ? 0xff : 0x00);
            break;
        case 3:
            bytes.resize(at + 1);
            break;
        default:
            bytes.insert(at, bytes.substr(at, random() % 512));
            break;
        }
    }
    return bytes;
}

} // namespace

TEST(DocumentMutations, EveryMutatedDocumentFailsWithAMessageOrLoads)
{
    const char* requested = std::getenv("VELQUINE_MUTATIONS");
    const int count = requested ? std::atoi(requested) : 6000;
    const auto budget = requested ? std::chrono::hours(24) : std::chrono::seconds(100);

    Folder folder;
    writeProjectDatabase(richProject(), folder / "original.sqlite");
    const std::string database = fileBytes(folder / "original.sqlite");
    VQDocument saved;
    saved.projectForLoading() = richProject();
    std::optional<std::string> error;
    ASSERT_TRUE(saved.writeToURL(folder / "original.radovudo", "io.kelvarn.velquine.mindmap", &error));
    const std::string archive = fileBytes(folder / "original.radovudo");

    Folder trials;
    std::mt19937 random(24);
    const auto started = std::chrono::steady_clock::now();
    int opened = 0;
    int refused = 0;
    for (int i = 0; i < count && std::chrono::steady_clock::now() - started < budget; ++i) {
        const std::string path = trials / "mutant.radovudo";
        writeBytes(path, mutated(i % 3 == 2 ? archive : database, random));
        VQDocument document;
        std::optional<std::string> failure;
        const auto begun = std::chrono::steady_clock::now();
        if (document.readFromURL(path, "io.kelvarn.velquine.mindmap", &failure))
            ++opened;
        else
            ++refused;
        EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(10)) << "mutation " << i;
        EXPECT_EQ(failure.has_value(), document.readFailed()) << "mutation " << i;
        if (failure) {
            EXPECT_FALSE(failure->empty()) << "mutation " << i;
        }
        ASSERT_EQ(folderNames(trials.path()), std::vector<std::string>{"mutant.radovudo"}) << "mutation " << i;
    }
    EXPECT_GT(opened, 0);
    EXPECT_GT(refused, 0);
}

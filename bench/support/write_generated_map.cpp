// Writes a generated map (support/GeneratedMaps.h) to a file, for the scripts that time the real program:
//   write_generated_map NODES PATH
#include "document/VQDocument.h"
#include "platform/Heap.h"
#include "support/GeneratedMaps.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3 || std::atoi(argv[1]) < 1) {
        std::fprintf(stderr, "usage: %s NODES PATH\n", argv[0]);
        return 2;
    }
    velquine::keepLargeBlocksInHeap();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    velquine::VQDocument document;
    document.projectForLoading() = velquine::generatedWideTree(std::atoi(argv[1]));
    std::optional<std::string> error;
    if (!document.writeToURL(argv[2], std::string(velquine::VQDocument::documentType), &error)) {
        std::fprintf(stderr, "%s\n", error.value_or("the map could not be written").c_str());
        return 1;
    }
    return 0;
}

#include "app/Application.h"
#include "platform/Heap.h"

#include <csignal>

int main(int argc, char** argv)
{
    // A write past the file size limit fails (EFBIG), and the save that made it says "File too large", instead
    // of the signal ending the program with every unsaved map.
    std::signal(SIGXFSZ, SIG_IGN);
    velquine::keepLargeBlocksInHeap();
    return velquine::runApplication(argc, argv);
}

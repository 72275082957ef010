#include "app/Application.h"
#include "platform/Heap.h"

int main(int argc, char** argv)
{
    velquine::keepLargeBlocksInHeap();
    return velquine::runApplication(argc, argv);
}

#include "app/Application.h"

int main(int argc, char** argv)
{
    return velquine::runApplication(argc, argv);
}

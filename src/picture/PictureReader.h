#pragma once

// The picture reader: a process of the program's own that decodes pictures for it, so that a decoder that runs
// for ever, takes gigabytes or crashes on a crafted file costs that process alone.
//
// It is handed bytes through its standard input (PictureMessages) and answers each request on its standard
// output with the picture fitted into the box asked for, or the reason it refused it, until its input ends. It
// opens nothing of its own: once Qt's image plugins and the font database are loaded it gives up, where the
// system offers that, every right to the file system but reading fonts, and every network and signal right
// (Landlock); and before each picture the operating system is told to end it once the picture has taken its
// processor time (RLIMIT_CPU: SIGXCPU) and to refuse it memory past its bound (RLIMIT_AS). The program that
// started it tells those ends apart by how it ended.

#include <cstdint>
#include <string>

namespace velquine {

class PictureReader {
public:
    // The name of the reader's program, installed beside the editor's.
    static constexpr const char* programName = "velquine-picture-reader";
    // Its arguments: each bound's option, followed by the number.
    static constexpr const char* processorOption = "--processor-seconds";
    static constexpr const char* memoryOption = "--memory-megabytes";

    // What the reader may take for one picture. Its memory is counted beyond what it holds once Qt is loaded.
    struct Bounds {
        int processorSeconds = 3;
        int memoryMegabytes = 400;
    };

    // Reads requests on standard input and answers them on standard output until the input ends; the process's
    // exit code. allocationFailed (reset to false as it answers) tells whether an allocation failed since it was
    // last asked: the reader's program counts the failures of its allocator, which runs out where the bound does.
    static int run(int argc, char** argv, bool (*allocationFailed)());
    // Written to standard output in place of a reply when memory runs out where nothing can go on.
    static void answerOutOfMemory();

    // The sentences a refusal for a bound gives.
    static std::string tookTooLong(int processorSeconds);
    static std::string neededTooMuch(int memoryMegabytes);
};

} // namespace velquine

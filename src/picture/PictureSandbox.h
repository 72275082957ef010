#pragma once

// The bounds the picture reader puts on itself before it reads a picture (PictureReader).

#include <cstdint>
#include <string>
#include <vector>

namespace velquine {

class PictureSandbox {
public:
    // Gives up every right to the file system but reading beneath the folders (and then files are only read),
    // and every network and signal right the kernel's Landlock can take away. False where the kernel does not
    // offer Landlock, and under the sanitizers; what it offers is taken whatever its version.
    static bool restrictTo(const std::vector<std::string>& readableFolders);
    // The Landlock version the kernel offers, 0 for none.
    static int landlockVersion();
    // The folders the font database reads fonts and its caches from.
    static std::vector<std::string> fontFolders();

    // The process may map at most this much more memory than it has mapped now; false when the limit cannot be
    // set. Not under the sanitizers, whose shadow memory is mapped whole at the start.
    static bool limitMemory(std::int64_t megabytesMore);
    // The process is ended (SIGXCPU) once it has taken the seconds of processor time from now on (three times
    // as many under the sanitizers).
    static void limitProcessorTime(int seconds);
    // Whether this is a build with the sanitizers, whose code runs a few times slower, and how many times: the
    // bounds of time are that many times as long.
    static bool underSanitizer();
    static int slowdown();
    // No core file for an end by a signal, and SIGXCPU ending the process as it does by default.
    static void endQuietly();
};

} // namespace velquine

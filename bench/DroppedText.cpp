// Text dropped on the canvas becomes a picture no larger than a node's image: the time and the memory a
// large dropped text file takes, up to the largest one read (1 MB). The peak memory is the process's own:
// run one case per process (--benchmark_filter) to read it for that case.
#include <benchmark/benchmark.h>

#include <string>

#include "layout/TextUtilities.h"
#include "support/OpenedWindow.h"

using namespace velquine;

namespace {

constexpr double fontSize = 64;
constexpr double imageBox = 1024;

// Lines of about 62 characters up to the size in bytes: 12,000 lines make some 745 KB.
std::string textOfLines(std::size_t bytes, std::size_t lineLength)
{
    std::string text;
    for (int line = 0; text.size() < bytes; ++line) {
        std::string one = "Line " + std::to_string(line) + " of a text file dropped on the canvas, and more";
        one.resize(lineLength - 1, '.');
        text += one + "\n";
    }
    text.resize(bytes);
    return text;
}

void run(benchmark::State& state, const std::string& text)
{
    for (auto _ : state) {
        const Image image = textImage(text, fontSize, imageBox, imageBox);
        benchmark::DoNotOptimize(image.bitmap().constBits());
        state.counters["pixels_wide"] = image.pixelsWide();
        state.counters["pixels_high"] = image.pixelsHigh();
    }
    state.counters["peak_MB"] = bench::peakMegabytes();
}

void BM_DroppedText12000Lines(benchmark::State& state) { run(state, textOfLines(745 * 1024, 62)); }
BENCHMARK(BM_DroppedText12000Lines)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DroppedTextOneMegabyteOfLines(benchmark::State& state) { run(state, textOfLines(1024 * 1024, 62)); }
BENCHMARK(BM_DroppedTextOneMegabyteOfLines)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DroppedTextOneMegabyteLine(benchmark::State& state) { run(state, std::string(1024 * 1024, 'x')); }
BENCHMARK(BM_DroppedTextOneMegabyteLine)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

// Writing and reading back an outline of N list paragraphs as RTF and as a Word document; the cost
// should grow linearly with N.
#include <benchmark/benchmark.h>

#include "exchange/DocxTextReader.h"
#include "exchange/DocxWriter.h"
#include "exchange/RtfTextReader.h"
#include "exchange/RtfWriter.h"

#include <string>

namespace {

velquine::RichTextDocument outline(std::size_t count)
{
    velquine::RichTextDocument document;
    velquine::RichTextAttributes attributes;
    attributes.fontFamily = "DejaVu Sans";
    attributes.fontSize = 32;
    attributes.foregroundColor = velquine::RichTextColor{20, 40, 60};
    document.paragraphs.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        velquine::RichTextParagraph paragraph;
        const int level = static_cast<int>(i % 5);
        paragraph.listLevel = level;
        paragraph.headIndent = paragraph.firstLineHeadIndent = 20.0 * level;
        paragraph.runs.push_back({"Node " + std::to_string(i) + " — Café {braces} & more", attributes});
        document.paragraphs.push_back(std::move(paragraph));
    }
    return document;
}

void writeRtf(benchmark::State& state)
{
    const auto document = outline(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(velquine::RtfWriter::write(document));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(writeRtf)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void readRtf(benchmark::State& state)
{
    const std::string rtf = velquine::RtfWriter::write(outline(static_cast<std::size_t>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(velquine::RtfTextReader::plainText(rtf));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rtf.size()));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(readRtf)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void writeDocx(benchmark::State& state)
{
    const auto document = outline(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(velquine::DocxWriter::write(document));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(writeDocx)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

void readDocx(benchmark::State& state)
{
    const std::string docx = velquine::DocxWriter::write(outline(static_cast<std::size_t>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(velquine::DocxTextReader::plainText(docx));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(readDocx)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

} // namespace

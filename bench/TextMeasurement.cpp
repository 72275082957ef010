// Measuring node titles: the line walk that sizing runs for every new, retitled or restyled node.
#include <benchmark/benchmark.h>

#include "platform/TextMeasurement.h"

#include <QFont>

using namespace velquine;

namespace {

AttributedString title(const std::string& s)
{
    TextAttributes a;
    a.font = Font::systemFont(16);
    a.foregroundColor = Color::black();
    a.paragraphStyle = ParagraphStyle{};
    return AttributedString(s, a);
}

void shortTitle(benchmark::State& state)
{
    const AttributedString t = title("Child #3");
    for (auto _ : state)
        benchmark::DoNotOptimize(TextMeasurement::lines(t, 300));
}
BENCHMARK(shortTitle);

void wrappedTitle(benchmark::State& state)
{
    const AttributedString t = title("A longer node title that wraps over several lines\nand has a second paragraph");
    for (auto _ : state)
        benchmark::DoNotOptimize(TextMeasurement::lines(t, 300));
}
BENCHMARK(wrappedTitle);

void fontConversion(benchmark::State& state)
{
    const Font font("DejaVu Sans Bold", 20);
    for (auto _ : state)
        benchmark::DoNotOptimize(font.toQFont());
}
BENCHMARK(fontConversion);

} // namespace

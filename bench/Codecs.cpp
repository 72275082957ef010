// Throughput of the keyed-value codecs on a pasteboard-sized list of nodes.
#include "platform/Json.h"
#include "platform/PropertyList.h"

#include <benchmark/benchmark.h>

using namespace velquine;

namespace {

KeyedValue nodes(int count)
{
    KeyedValue::Array list;
    for (int i = 0; i < count; ++i) {
        list.push_back(KeyedValue::object({
            {"UID", std::int64_t{i}},
            {"parentUID", i == 0 ? KeyedValue() : KeyedValue(std::int64_t{i / 4})},
            {"title", "Node number " + std::to_string(i) + " / with a longer title"},
            {"url", ""},
            {"note", "A note of a few words \xE2\x80\x94 with text beyond ASCII."},
            {"center", KeyedValue::array({120.5 * i, -48.25 * i})},
            {"size", KeyedValue::array({98.0, 38.0})},
            {"style", KeyedValue::object({{"borderWidth", 2},
                                          {"borderColor", Bytes(180, static_cast<std::uint8_t>(i))},
                                          {"font", Bytes(220, 0x3F)},
                                          {"userOverrides", 0u},
                                          {"isUnderlined", false}})},
            {"children", KeyedValue::array({4 * i + 1, 4 * i + 2, 4 * i + 3, 4 * i + 4})},
            {"shape", KeyedValue::object({{"roundedRect", KeyedValue::object()}})},
            {"createdTimestamp", 1700000000.25 + i},
        }));
    }
    return KeyedValue(std::move(list));
}

void propertyListWrite(benchmark::State& state)
{
    const auto value = nodes(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(PropertyList::write(value));
}
BENCHMARK(propertyListWrite)->Arg(1000);

void propertyListRead(benchmark::State& state)
{
    const auto data = PropertyList::write(nodes(static_cast<int>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(PropertyList::read(data));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(propertyListRead)->Arg(1000);

void jsonWrite(benchmark::State& state)
{
    const auto value = nodes(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(Json::write(value));
}
BENCHMARK(jsonWrite)->Arg(1000);

void jsonRead(benchmark::State& state)
{
    const auto text = Json::write(nodes(static_cast<int>(state.range(0))));
    for (auto _ : state)
        benchmark::DoNotOptimize(Json::read(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(jsonRead)->Arg(1000);

} // namespace

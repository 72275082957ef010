#include "platform/TextsMeasuredAhead.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "platform/LaidOutText.h"
#include "platform/SystemInformation.h"

namespace velquine {

namespace {

// Fewer texts than this per worker are laid out sooner by the caller than by a thread that has to load its
// own font engines first.
constexpr std::size_t textsPerWorker = 1000;
constexpr std::size_t maximumWorkers = 7;
constexpr std::uint32_t noItem = UINT32_MAX;

enum State : std::uint8_t { waiting, begun, done };

} // namespace

struct TextsMeasuredAhead::Shared {
    struct Item {
        std::string text;
        std::uint32_t font;
        // The next item of the same text in another font.
        std::uint32_t nextOfSameText = noItem;
    };

    double width = 0;
    std::vector<Font> fonts;
    // Laid out by the workers in this order.
    std::vector<Item> items;
    std::unique_ptr<std::atomic<std::uint8_t>[]> states;
    std::vector<std::vector<TextLine>> results;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stopping{false};
    std::vector<std::thread> workers;

    // Read by the caller's thread only. Texts tend to be asked in the order they were added: the one after
    // the last found is tried first, and the texts are indexed only once a text is asked out of order.
    std::size_t nextAsked = 0;
    bool indexed = false;
    // The first item of each text; the others of that text in other fonts follow nextOfSameText. Keys view
    // items' texts.
    std::unordered_map<std::string_view, std::uint32_t> firstOfText;

    std::uint32_t fontIndex(const Font& font)
    {
        // Texts come in runs of one font: the last one used is tried first.
        for (std::size_t k = fonts.size(); k-- > 0;) {
            if (fonts[k] == font)
                return std::uint32_t(k);
        }
        fonts.push_back(font);
        return std::uint32_t(fonts.size() - 1);
    }

    // The first item of the text in the font.
    std::uint32_t lookUp(std::string_view text, const Font& font)
    {
        std::uint32_t i = noItem;
        if (nextAsked < items.size() && items[nextAsked].text == text && fonts[items[nextAsked].font] == font) {
            i = std::uint32_t(nextAsked);
        } else {
            index();
            const auto found = firstOfText.find(text);
            for (i = found == firstOfText.end() ? noItem : found->second; i != noItem; i = items[i].nextOfSameText) {
                if (fonts[items[i].font] == font)
                    break;
            }
        }
        if (i != noItem)
            nextAsked = i + 1;
        return i;
    }

    void index()
    {
        if (indexed)
            return;
        indexed = true;
        firstOfText.reserve(items.size());
        std::vector<std::uint32_t> lastOfText;
        for (std::uint32_t i = 0; i < items.size(); ++i) {
            const auto [first, added] = firstOfText.try_emplace(items[i].text, i);
            if (added)
                continue;
            std::uint32_t last = first->second;
            bool known = items[last].font == items[i].font;
            while (!known && items[last].nextOfSameText != noItem) {
                last = items[last].nextOfSameText;
                known = items[last].font == items[i].font;
            }
            if (!known)
                items[last].nextOfSameText = i;
        }
    }

    // Lays the item out unless another thread has begun it; false when one has.
    bool layOut(std::uint32_t i)
    {
        std::uint8_t expected = waiting;
        if (!states[i].compare_exchange_strong(expected, begun, std::memory_order_acquire))
            return false;
        try {
            TextAttributes attributes;
            attributes.font = fonts[items[i].font];
            results[i] = LaidOutText(AttributedString(items[i].text, attributes), width, nullptr, false).lines();
        } catch (...) {
            // Left to the caller, who meets the failure where it would have met it anyway.
            states[i].store(waiting, std::memory_order_release);
            states[i].notify_all();
            return true;
        }
        states[i].store(done, std::memory_order_release);
        states[i].notify_all();
        return true;
    }

    void work()
    {
        while (!stopping.load(std::memory_order_relaxed)) {
            const std::size_t k = next.fetch_add(1, std::memory_order_relaxed);
            if (k >= items.size())
                return;
            layOut(std::uint32_t(k));
        }
    }

    std::optional<std::vector<TextLine>> lines(std::uint32_t i)
    {
        for (;;) {
            const std::uint8_t state = states[i].load(std::memory_order_acquire);
            if (state == done)
                return results[i];
            if (state == begun)
                states[i].wait(begun, std::memory_order_acquire);
            else if (layOut(i) && states[i].load(std::memory_order_acquire) != done)
                return std::nullopt;
        }
    }
};

TextsMeasuredAhead::TextsMeasuredAhead(double width) : shared_(std::make_shared<Shared>())
{
    shared_->width = width;
}

TextsMeasuredAhead::~TextsMeasuredAhead()
{
    shared_->stopping.store(true, std::memory_order_relaxed);
    for (std::thread& worker : shared_->workers)
        worker.join();
}

void TextsMeasuredAhead::add(std::string text, const Font& font)
{
    if (started_)
        return;
    shared_->items.push_back({std::move(text), shared_->fontIndex(font)});
}

void TextsMeasuredAhead::start()
{
    if (started_)
        return;
    started_ = true;
    Shared& shared = *shared_;
    const std::size_t workers = workersFor(shared.items.size());
    if (workers == 0)
        return;
    shared.states = std::make_unique<std::atomic<std::uint8_t>[]>(shared.items.size());
    shared.results.resize(shared.items.size());
    for (std::size_t w = 0; w < workers; ++w)
        shared.workers.emplace_back([&shared] {
            pthread_setname_np(pthread_self(), "text-measuring");
            shared.work();
        });
}

std::optional<std::vector<TextLine>> TextsMeasuredAhead::answer(const AttributedString& text, double width) const
{
    if (shared_->workers.empty() || width != shared_->width)
        return std::nullopt;
    const auto& runs = text.runs();
    if (runs.size() != 1 || runs.front().location != 0 || runs.front().length != text.length())
        return std::nullopt;
    Shared& shared = *shared_;
    const std::uint32_t i = shared.lookUp(text.string(), runs.front().attributes.effectiveFont());
    if (i == noItem)
        return std::nullopt;
    return shared.lines(i);
}

std::vector<TextLine> TextsMeasuredAhead::lines(const AttributedString& text, double width) const
{
    if (std::optional<std::vector<TextLine>> ahead = answer(text, width))
        return std::move(*ahead);
    return TextMeasurement::lines(text, width);
}

std::size_t TextsMeasuredAhead::workersFor(std::size_t textCount)
{
    const auto cores = std::size_t(usableCoreCount());
    if (cores < 2)
        return 0;
    return std::min({cores - 1, textCount / textsPerWorker, maximumWorkers});
}

} // namespace velquine

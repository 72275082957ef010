#pragma once

// The sublayers of a layer in drawing order: by zPosition, ties by place in the list. A canvas holds many
// thousands of sublayers and changes a few at a time, so the order is kept up to date at a cost near what
// changed: a sublayer added last with the greatest depth goes at the end, and sublayers that joined elsewhere
// in the order or changed depth wait in a short list that the next read merges in, in one pass (a few among
// very many: each looked up, the entries between them moved in blocks). Only a
// sublayer put anywhere but last in the list makes the next read sort afresh.
// What it buys, measured against sorting afresh after every change: 3.2x a drag step on a map of 50,000 nodes
// (bench_CanvasDrag, BM_EditorDragStep).
//
// Each sublayer carries its own part of the bookkeeping (Layer::OrderSlot): a stamp that grows with its place
// in the list, and the depth it is filed under.
//
// It also keeps, once asked to, each sublayer's run key (LayerRenderer::strokeRunColor): plain strokes of one
// colour next to one another in the order are drawn as one run, and a paint that visits only some of them (the
// part of a crowded layer near its area) must still draw together just those the whole order puts in one run.
// A stroke of another colour lying outside the area splits a run there as it does in a paint of the whole; lines
// drawn as one run by one paint and as two by another round once per blend and differ where both cover a pixel.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace velquine {

class Layer;

class SublayerOrder {
public:
    // Files the sublayers that wait, so that before() holds for all, without listing the order.
    void file(const std::vector<std::shared_ptr<Layer>>& sublayers);
    // The order of the sublayers (the superlayer's list, in order of place), brought up to date.
    const std::vector<Layer*>& read(const std::vector<std::shared_ptr<Layer>>& sublayers);
    // After the sublayer was put last in the list.
    void appended(Layer& sublayer);
    // After the sublayer was put anywhere else in the list: the next read sorts afresh.
    void inserted(Layer& sublayer);
    void depthChanged(Layer& sublayer);
    // Whether a sublayer's depth changing to z, before it does, moves it in the order as last read only past
    // sublayers alike accepts (every one filed between where it was and z); false when that is not known.
    bool movesOnlyPast(const Layer& sublayer, double z, const std::function<bool(const Layer&)>& alike) const;
    // While the sublayers are still alive, as they leave.
    void removed(Layer& sublayer);
    void removed(const std::vector<Layer*>& sublayers);
    // Whether the stamps of the sublayers grow with their places in the list (until a sublayer is put anywhere
    // but last, and the next read).
    bool stampsFollowPlaces() const { return valid_; }
    // Whether a is drawn before b, for two sublayers of one layer whose order was read since they last changed.
    static bool before(const Layer& a, const Layer& b);

    // Keeps the sublayers' run keys from now on (worked out now for all, then as sublayers come and their keys
    // may change), and files the sublayers that wait.
    void keepRunKeys(const std::vector<std::shared_ptr<Layer>>& sublayers);
    // After something the sublayer's run key reads changed (kept keys only).
    void runKeyMayChange(Layer& sublayer);
    // Of sublayers listed in drawing order, each but the first marked in joins when it is drawn in one run with
    // the one listed before it: both plain strokes of one colour, with only such strokes between them in the
    // whole order. The keys are kept and no sublayer waits (keepRunKeys()).
    void markRuns(const std::vector<Layer*>& listed, std::vector<std::uint8_t>& joins) const;

private:
    struct Entry {
        double z;
        std::uint64_t stamp;
        Layer* layer;
    };
    // The sublayer's run key: its stroke's colour, opaque (so never 0), or 0 for none.
    static std::uint32_t runKeyOf(const Layer& sublayer);
    // Where the sublayer's entry lies in entries_.
    std::size_t placeOf(const Layer& sublayer) const;
    static bool less(const Entry& a, const Entry& b) { return a.z < b.z || (a.z == b.z && a.stamp < b.stamp); }
    void rebuild(const std::vector<std::shared_ptr<Layer>>& sublayers);
    // Takes out the stale entries of the waiting sublayers and merges their current ones in; false when an
    // entry was not where its sublayer says (the order must then be sorted afresh).
    bool mergeWaiting();
    // The same for a few entries among very many, in place.
    bool replaceFew(const std::vector<Entry>& stale, const std::vector<Entry>& fresh);

    // The filed sublayers by (depth, stamp); a waiting sublayer may still have its old entry here.
    std::vector<Entry> entries_;
    std::vector<Entry> scratch_;
    // Sublayers whose entry is missing or stale.
    std::vector<Layer*> waiting_;
    // The entries' layers, while orderCurrent_.
    std::vector<Layer*> order_;
    std::uint64_t nextStamp_ = 0;
    bool valid_ = false;
    bool orderCurrent_ = false;
    bool keepsRunKeys_ = false;
};

} // namespace velquine

#pragma once

// Every size at which the engine changes how it works, in one place. Each was measured on a 2-core
// machine with bench/; bench/README.md ("Thresholds") gives the figures behind them.

#include <QtGlobal>
#include <cstddef>

namespace zelvora::tuning {

// Sorting: below this many names the keys are sorted directly, without spreading them into buckets.
inline constexpr qsizetype kSortBucketsFrom = 4096;
// Sorting: from this many names, the keys are folded and the buckets sorted on two cores.
inline constexpr qsizetype kSortOnTwoCoresFrom = 50'000;
// Sorting: a bucket smaller than this is left to the comparison sort rather than split a byte further.
inline constexpr std::ptrdiff_t kRadixFrom = 48;
// Laying names out in sorted order: from this many names, two cores copy half each.
inline constexpr std::size_t kReorderOnTwoCoresFrom = 100'000;
// The sort's sizes together, so that the tuning benchmark can try others; the engine uses these.
struct SortSizes
{
    qsizetype bucketsFrom = kSortBucketsFrom;
    qsizetype twoCoresFrom = kSortOnTwoCoresFrom;
    std::ptrdiff_t radixFrom = kRadixFrom;
    std::size_t reorderOnTwoCoresFrom = kReorderOnTwoCoresFrom;
};

// JSON output: lists this long are encoded on two cores, runs of this many names at a time on each.
inline constexpr qsizetype kJsonOnTwoCoresFrom = 100'000;
inline constexpr qsizetype kJsonRun = 32'768;

} // namespace zelvora::tuning

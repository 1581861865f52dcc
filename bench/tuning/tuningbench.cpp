// The sizes in audit/tuning.h, tried: for each, the engine's sort (or its layout step) timed on
// names shaped like a real collection's, with the size set below and above the list's length, at
// lengths around the chosen value. The crossing of the two columns is where the size belongs.
//
//   zelvora-tuning-bench [--reps K]    prints one table per size (median milliseconds of K runs)

#include "audit/names/nameblock.h"
#include "audit/names/namesort.h"
#include "audit/tuning.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace zelvora;

// Short mixed-case names with digits, a few dots and some letters outside ASCII, unsorted.
NameBlock collection(std::size_t count, unsigned seed)
{
    static const char *const words[] = {"alpha", "Bravo",   "cosmic", "Dragon", "galaxia", "Hyper",  "kung",
                                        "Mega",  "pinball", "Race",   "star",   "Tetrix",  "zaxxon", "\xc3\x89lan",
                                        "turbo", "Quest",   "blade",  "Fu",     "neo",     "geo"};
    std::mt19937 random(seed);
    NameBlock names;
    for (std::size_t i = 0; i < count; ++i) {
        std::string name = words[random() % std::size(words)];
        if (random() % 2)
            name += words[random() % std::size(words)];
        name += std::to_string(random() % 100000);
        if (random() % 10 == 0)
            name += " ver1.1";
        name += random() % 5 == 0 ? ".ZIP" : ".zip";
        names.append(name);
    }
    return names;
}

template <typename Work> double medianMs(int reps, Work &&work)
{
    std::vector<double> times;
    for (int r = 0; r < reps; ++r) {
        QElapsedTimer clock;
        clock.start();
        work();
        times.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

constexpr qsizetype kNever = std::numeric_limits<qsizetype>::max();

void table(const char *title, const char *below, const char *above, const std::vector<std::size_t> &counts,
           const std::function<double(std::size_t, bool)> &time)
{
    std::printf("\n%s\n%10s %14s %14s\n", title, "names", below, above);
    for (const std::size_t count : counts)
        std::printf("%10zu %14.3f %14.3f\n", count, time(count, false), time(count, true));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const qsizetype at = arguments.indexOf(QStringLiteral("--reps"));
    const int reps = at >= 0 && at + 1 < arguments.size() ? std::max(1, arguments[at + 1].toInt()) : 9;

    std::printf("zelvora-tuning-bench: median ms of %d runs; engine defaults: buckets from %lld, two cores from "
                "%lld, radix from %td, layout on two cores from %zu\n",
                reps, qlonglong(tuning::kSortBucketsFrom), qlonglong(tuning::kSortOnTwoCoresFrom), tuning::kRadixFrom,
                tuning::kReorderOnTwoCoresFrom);

    // One core, so the bucket step is measured alone.
    table("sort: keys sorted directly, or spread into buckets first (one core)", "direct", "buckets",
          {1024, 2048, 4096, 8192, 16384}, [&](std::size_t count, bool buckets) {
              const NameBlock names = collection(count, 1);
              tuning::SortSizes sizes;
              sizes.bucketsFrom = buckets ? 0 : kNever;
              sizes.twoCoresFrom = kNever;
              return medianMs(reps, [&] { sortedPositions(names, sizes); });
          });

    table("sort: one core, or folding and bucket sorting on two", "one core", "two cores",
          {12'500, 25'000, 50'000, 100'000, 200'000}, [&](std::size_t count, bool two) {
              const NameBlock names = collection(count, 2);
              tuning::SortSizes sizes;
              sizes.twoCoresFrom = two ? 0 : kNever;
              return medianMs(reps, [&] { sortedPositions(names, sizes); });
          });

    std::printf("\nsort: smallest run split a byte further rather than compared (120,000 names, one core)\n%10s %14s\n",
                "radix from", "ms");
    const NameBlock many = collection(120'000, 3);
    for (const std::ptrdiff_t radixFrom : {8, 16, 32, 48, 64, 128, 256}) {
        tuning::SortSizes sizes;
        sizes.radixFrom = radixFrom;
        sizes.twoCoresFrom = kNever;
        std::printf("%10td %14.3f\n", radixFrom, medianMs(reps, [&] { sortedPositions(many, sizes); }));
    }

    table("layout in sorted order: one core, or two", "one core", "two cores",
          {25'000, 50'000, 100'000, 200'000, 400'000}, [&](std::size_t count, bool two) {
              const NameBlock names = collection(count, 4);
              const std::vector<qint32> positions = sortedPositions(names);
              return medianMs(reps, [&] { names.reordered(positions, two ? 0 : std::size_t(-1)); });
          });
    return 0;
}

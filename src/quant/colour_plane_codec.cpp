#include "quant/colour_plane_codec.h"

#include "common/limits.h"
#include "common/worker_team.h"
#include "quant/bit_allocator.h"
#include "quant/coefficient_set.h"
#include "quant/context_quantizer.h"
#include "quant/plane_mask.h"
#include "quant/plane_size_header.h"
#include "wavelet/coder_streams.h"
#include "wavelet/filters.h"
#include "wavelet/integer_codes.h"
#include "wavelet/wavelet.h"
#include "wavelet/wavelet_transform.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <functional>
#include <future>
#include <limits>
#include <memory>
#include <new>
#include <span>
#include <thread>
#include <utility>

namespace nubo {

namespace {

// A plane stream whose first band precision would be one of these (above the largest) holds one code per band:
// of the range coder, or of the arithmetic coder (older streams). Streams of the first layout, one arithmetic
// code per plane, never hold either.
constexpr std::int32_t kArithmeticBandCodesMark = kColourPrecisions;
constexpr std::int32_t kRangeBandCodesMark = kColourPrecisions + 1;

// Bits a plane stream spends besides its subband headers and band codes: width and height (about 20 bits each
// for ordinary sizes), the layout mark (11) and the padding to a byte (at most 7). Reserved before the
// allocation together with kReservedHeaderBits per subband; the exact header bits are settled after it.
constexpr int kReservedPlaneBits = 24;
constexpr int kReservedHeaderBits = 12;

// Levels past this have the gains of this one to float precision; computing them needs signals of 2^(level + 4).
constexpr int kGainLevels = 8;

// Energy of the signal that a unit coefficient at level `level` (low-pass or high-pass) synthesises to.
double oneDimensionalGain(const Wavelet& wavelet, int level, bool highPass)
{
    const int n = 16 << level;
    const int pad = wavelet.padLength;
    std::vector<float> signal(static_cast<std::size_t>(n), 0.0f);
    const int lowCount = n >> level;
    signal[static_cast<std::size_t>(highPass ? lowCount + lowCount / 2 : lowCount / 2)] = 1.0f;
    std::vector<float> in(static_cast<std::size_t>(n + 2 * pad));
    std::vector<float> out(static_cast<std::size_t>(n + 2 * pad));
    for (int j = level; j >= 1; --j) {
        const int length = n >> (j - 1);
        std::fill(in.begin(), in.end(), 0.0f);
        std::copy(signal.begin(), signal.begin() + length, in.begin() + pad);
        wavelet.synthesisStep(in.data(), out.data(), length, wavelet.symmetric);
        std::copy(out.begin() + pad, out.begin() + pad + length, signal.begin());
    }
    double energy = 0.0;
    for (const float v : signal)
        energy += static_cast<double>(v) * static_cast<double>(v);
    return energy;
}

// One plane's transform and the quantisers and tabulated sets of its subbands. The quantisers take their working
// arrays from `buffers`, shared by the three planes (declared first, so it outlives them).
struct PlaneWork {
    std::shared_ptr<ContextBufferPool> buffers;
    std::unique_ptr<WaveletTransform> transform;
    std::vector<std::unique_ptr<ContextQuantizer>> quantizers;
    std::vector<CoefficientSet> sets;
    StringSink diagnostics;
};

// Makes plane c's transform, its diagnostics to the sink: from a plane handed over, or as a copy of one made.
using TransformMaker = std::function<std::unique_ptr<WaveletTransform>(int, DiagnosticSink&)>;

// The plane's transform (masked) and its bands' quantisers and sets, not yet priced.
void preparePlane(PlaneWork& work, std::unique_ptr<WaveletTransform> made, const RegionSet* mask, float rateCeiling,
                  float pricingSlope, float planeWeight, const std::vector<float>& gains)
{
    work.transform = std::move(made);
    WaveletTransform& transform = *work.transform;
    if (!transform.valid())
        return;
    const int n = transform.subbandCount();
    if (mask != nullptr) {
        for (int b = 0; b < n; ++b)
            clearSubbandUnderMask(transform.subbandData(b), transform.subbandWidth(b), transform.subbandHeight(b),
                                  transform.width(), transform.height(), *mask);
    }
    work.sets.reserve(static_cast<std::size_t>(n));
    for (int b = 0; b < n; ++b) {
        work.quantizers.push_back(std::make_unique<ContextQuantizer>(
            transform.subbandWidth(b), transform.subbandHeight(b), ContextQuantizer::orientationOfBand(b),
            kColourPrecisions));
        ContextQuantizer& quantizer = *work.quantizers.back();
        quantizer.setRateCeiling(rateCeiling);
        if (static_cast<std::size_t>(b) < gains.size())
            quantizer.setPricingSlope(pricingSlope, planeWeight * gains[static_cast<std::size_t>(b)]);
        quantizer.setBufferPool(work.buffers.get());
        work.sets.emplace_back(transform.subbandData(b), transform.subbandSize(b), quantizer);
    }
}

// Runs independent tasks side by side: inside a task of the stream coder's team, on that team's idle threads
// (so the record's work spreads over the cores without adding threads); otherwise on as many threads as there
// are cores, the calling one included. Each task writes only its own results, so the order never shows.
void runSideBySide(const std::vector<std::function<void()>>& tasks)
{
    if (teamSize() > 1) {
        runTeamTasks(tasks);
        return;
    }
    std::atomic<std::size_t> next{0};
    const auto runTheRest = [&tasks, &next] {
        for (std::size_t k = next.fetch_add(1); k < tasks.size(); k = next.fetch_add(1))
            tasks[k]();
    };
    const std::size_t cores = std::max(std::thread::hardware_concurrency(), 1u);
    std::vector<std::future<void>> helpers;
    for (std::size_t i = 1; i < std::min(cores, tasks.size()); ++i)
        helpers.push_back(std::async(std::launch::async | std::launch::deferred, runTheRest));
    runTheRest();
    for (std::future<void>& helper : helpers)
        helper.get();
}

// Prices the bands of the three planes, the largest first: every band when starting, afterwards those whose
// pricing paused, each as far as its pricing slope now lets it go. A band's pricing touches only its own
// quantiser and set, so the tables are the same whatever thread prices which band; taking bands rather than
// planes keeps the cores busy although the planes' bands differ in cost (the luma plane's the most).
void priceBands(PlaneWork (&work)[3], bool starting)
{
    std::vector<CoefficientSet*> bands;
    for (PlaneWork& plane : work)
        for (std::size_t b = 0; b < plane.sets.size(); ++b)
            if (starting || plane.quantizers[b]->pricingPaused())
                bands.push_back(&plane.sets[b]);
    std::stable_sort(bands.begin(), bands.end(),
                     [](const CoefficientSet* a, const CoefficientSet* b) { return a->count() > b->count(); });
    std::vector<std::function<void()>> tasks;
    tasks.reserve(bands.size());
    for (CoefficientSet* set : bands) {
        if (starting)
            tasks.emplace_back([set] { set->beginRateDistortion(kColourPrecisions, kColourMinimumStep); });
        else
            tasks.emplace_back([set] { set->extendRateDistortion(kColourMinimumStep); });
    }
    runSideBySide(tasks);
}

// The three planes transformed, their bands tabulated as far as `pricingSlope` asks (0: every pass). A plane
// whose transform failed has no sets. The quantisers keep their working arrays until finishPricing.
void tabulatePlanes(PlaneWork (&work)[3], const TransformMaker& makeTransform, const RegionSet* mask,
                    float rateCeiling, float pricingSlope, const std::array<float, 3>& planeWeights,
                    const std::vector<float>& gains)
{
    const auto buffers = std::make_shared<ContextBufferPool>();
    for (PlaneWork& plane : work)
        plane.buffers = buffers;
    std::vector<std::function<void()>> prepare;
    for (int c = 0; c < 3; ++c)
        prepare.emplace_back([&, c] {
            preparePlane(work[c], makeTransform(c, work[c].diagnostics), mask, rateCeiling, pricingSlope,
                         planeWeights[static_cast<std::size_t>(c)], gains);
        });
    runSideBySide(prepare);
    priceBands(work, true);
}

void finishPricing(PlaneWork (&work)[3])
{
    for (PlaneWork& plane : work)
        for (CoefficientSet& set : plane.sets)
            set.finishRateDistortion();
}

std::string writePlane(const PlaneWork& work, const int* precisions)
{
    std::string bytes;
    EncoderStream stream(bytes);
    writeGamma(stream.bits, static_cast<std::uint32_t>(work.transform->width()));
    writeGamma(stream.bits, static_cast<std::uint32_t>(work.transform->height()));
    writeNonnegative(stream.bits, kRangeBandCodesMark);
    const std::size_t n = work.quantizers.size();
    for (std::size_t b = 0; b < n; ++b)
        work.quantizers[b]->writeHeader(stream, precisions[b]);
    for (std::size_t b = 0; b < n; ++b)
        work.quantizers[b]->encode(stream, precisions[b]);
    stream.bits.padToByte();
    return bytes;
}

int gammaLength(std::uint32_t v)
{
    int k = 0;
    while ((v >> (k + 1)) != 0)
        ++k;
    return 2 * k + 1;
}

std::string allocationReport(const PlaneWork (&work)[3], const std::array<const char*, 3>& names,
                             const std::vector<int>& precisions, const std::vector<float>& weights, int budget,
                             int target)
{
    std::string text = formatText("Target rate = %d bytes (budget %d, three planes allocated together)\n", target,
                                  budget);
    text += "Plane Band  Passes   Weight        Rate   bpc      Distortion   per coeff\n";
    std::size_t k = 0;
    float totalRate = 0.0f;
    float totalWeighted = 0.0f;
    for (int c = 0; c < 3; ++c) {
        float planeRate = 0.0f;
        for (std::size_t b = 0; b < work[c].sets.size(); ++b, ++k) {
            const CoefficientSet& set = work[c].sets[b];
            const int p = precisions[k];
            const float rate = set.rate(p);
            const float distortion = set.distortion(p);
            const float count = static_cast<float>(std::max(set.count(), 1));
            text += formatText("%-5s %4zu  %6d  %7.4f   %9.2f %5.2f   %13.2f   %9.2f\n", names[static_cast<std::size_t>(c)],
                               b, p, static_cast<double>(weights[k]), static_cast<double>(rate),
                               static_cast<double>(rate / count), static_cast<double>(distortion),
                               static_cast<double>(distortion / count));
            planeRate += rate;
            totalWeighted += distortion * weights[k];
        }
        text += formatText("%-5s total rate = %g bytes\n", names[static_cast<std::size_t>(c)],
                           static_cast<double>(planeRate) * 0.125);
        totalRate += planeRate;
    }
    text += formatText("\ntotal rate = %g bytes\nweighted distortion = %g\n", static_cast<double>(totalRate) * 0.125,
                       static_cast<double>(totalWeighted));
    return text;
}

// The three planes' tabulated subbands in allocation order, with their distortion weights.
void gatherSets(const PlaneWork (&work)[3], const std::array<float, 3>& planeWeights, const std::vector<float>& gains,
                std::vector<CoefficientSet>& sets, std::vector<float>& weights)
{
    const std::size_t n = work[0].sets.size();
    sets.reserve(3 * n);
    weights.reserve(3 * n);
    for (std::size_t c = 0; c < 3; ++c) {
        for (std::size_t b = 0; b < n; ++b) {
            sets.push_back(work[c].sets[b]);
            weights.push_back(planeWeights[c] * gains[b]);
        }
    }
}

// What an allocation looked at besides the precisions it chose: every slope whose choice fitted the target (the
// others' choices ran over it, and more precisions priced only add rate: they would run over it all the
// same, so nothing needs pricing for them).
struct AllocationTrace {
    std::vector<float> slopes;
};

// The allocation for `budgetBytes`: the passes are aimed at the budget less a reserve for the plane and subband
// headers, then whatever the exact headers leave of that reserve is spent too. `target` is the aim.
std::vector<int> choosePrecisions(const PlaneWork (&work)[3], std::span<const CoefficientSet> sets,
                                  std::span<const float> weights, int sizeBits, int budgetBytes, int& target,
                                  DiagnosticSink& report, AllocationTrace* trace = nullptr)
{
    const int n = static_cast<int>(work[0].sets.size());
    const int reservedBits = 3 * (kReservedPlaneBits + sizeBits) + 3 * n * kReservedHeaderBits;
    target = budgetBytes - (reservedBits + 7) / 8;
    BitAllocator allocator;
    allocator.allocateToBudget(sets, target, true, weights, report);

    // The headers are known exactly now: what the reserve held back beyond them goes to the passes too.
    std::vector<int> precisions = allocator.precisions();
    int headerBits = 3 * (kReservedPlaneBits + sizeBits);
    float rate = 0.0f;
    for (int c = 0; c < 3; ++c) {
        for (int b = 0; b < n; ++b) {
            const std::size_t k = static_cast<std::size_t>(c * n + b);
            headerBits += work[c].quantizers[static_cast<std::size_t>(b)]->headerBits(precisions[k]);
            rate += sets[k].rate(precisions[k]);
        }
    }
    // A band raised from precision 0 adds its exponent to the header: keep room for a few.
    const float spare = static_cast<float>(budgetBytes) * 8.0f - static_cast<float>(headerBits) - rate
                      - static_cast<float>(4 * kReservedHeaderBits);
    if (trace != nullptr) {
        // As the allocator compares.
        const auto targetBits = static_cast<float>(std::int64_t{target} * 8);
        trace->slopes.clear();
        for (std::size_t k = 0; k < allocator.slopesTried().size(); ++k)
            if (!(allocator.ratesTried()[k] > targetBits))
                trace->slopes.push_back(allocator.slopesTried()[k]);
    }
    if (target > 0 && spare > 0.0f) {
        allocator.spendRemainder(sets, spare, weights);
        precisions = allocator.precisions();
    }
    return precisions;
}

// The first slope bands are priced for, and how much lower the next round goes while the allocation finds the
// budget beyond what is priced (nextPricingStep); after kPricingRounds rounds every band is priced in full.
constexpr float kFirstPricingSlope = 65536.0f;
constexpr float kPricingSlopeStep = 0.25f;
// The bounds of a step aimed by the rates of the rounds before (nextPricingStep).
constexpr double kSmallestPricingStep = 1.0 / 8.0;
constexpr double kLargestPricingStep = 0.8;
// A band short of the lowest slope an allocation chose at is priced for this much lower, as the allocation on
// its deeper table may choose at a slope a little lower. A wider margin prices passes no allocation reaches
// (0.5 took about 8 % longer to encode a 2-megapixel picture at ratio 20, in one more round less).
constexpr float kPricingSlopeMargin = 0.85f;
// But at most this much lower than it was priced for in one round: an allocation on tables cut short by
// pricing can fit the budget at a slope far below the one it settles at once they are deeper, and every pass
// priced is coded.
constexpr float kSettlingStep = 0.5f;
constexpr int kPricingRounds = 48;

// The factor that lowers the pricing slope after a round whose allocation stopped at slope 0 with `rate` bits
// below `budget`, priced to `slope`: the rate is taken to grow in proportion to the logarithm of the slope, as
// at high rates, along the line through this round and the one before (priced to `lastSlope`, `lastRate`
// bits), so the next round aims where the budget lies. Without an earlier round, or against such growth,
// kPricingSlopeStep. Aiming short costs a round of the allocator; aiming beyond prices passes none will code.
float nextPricingStep(float lastSlope, double lastRate, float slope, double rate, double budget)
{
    if (!(lastSlope > slope) || !(rate > lastRate) || !(budget > rate))
        return kPricingSlopeStep;
    const double perHalving = (rate - lastRate) / std::log2(static_cast<double>(lastSlope) / slope);
    const double step = std::exp2(-(budget - rate) / perHalving);
    return static_cast<float>(std::clamp(step, kSmallestPricingStep, kLargestPricingStep));
}

// Whether an allocation on tables some of whose bands paused their pricing chose what it would have chosen on
// the whole tables, band by band. A choice at a slope above 0 is settled where the band covers that slope.
// At slope 0 only whether the total rate lies below the budget matters (the allocation stops there, so the
// table must be whole): a paused band's whole choice there is the priced one or a later precision of a rate
// at least the last priced one's, so the whole total is at least this one. A spending of the remainder takes
// only passes priced already.
bool bandSettled(const ContextQuantizer& quantizer, const AllocationTrace& trace)
{
    if (!quantizer.pricingPaused())
        return true;
    return std::all_of(trace.slopes.begin(), trace.slopes.end(),
                       [&quantizer](float slope) { return !(slope > 0.0f) || quantizer.coversSlope(slope); });
}

// Whether the allocation stopped at slope 0: its total rate there lay below the budget. (One that chose at no
// slope, for a budget below zero, never looked at the tables.)
bool stoppedAtZero(const AllocationTrace& trace)
{
    return !trace.slopes.empty()
        && std::none_of(trace.slopes.begin(), trace.slopes.end(), [](float slope) { return slope > 0.0f; });
}

// The allocation for `budgetBytes` (choosePrecisions) on tables priced only as far as it needs: the bands are
// priced for ever lower slopes, each band as far as the last allocation shows it must go, until every band is
// settled (bandSettled); the report is the settled allocation's. `sets` and `weights` are left gathered from
// the final tables.
std::vector<int> settleAllocation(PlaneWork (&work)[3], const std::array<float, 3>& planeWeights,
                                  const std::vector<float>& gains, int sizeBits, int budgetBytes, int& target,
                                  std::vector<CoefficientSet>& sets, std::vector<float>& weights,
                                  DiagnosticSink& report)
{
    // The rounds that stopped at slope 0 lower every band's pricing slope alike: this round's, and the rate
    // its allocation reached with the one before.
    float roundSlope = kFirstPricingSlope;
    float lastRoundSlope = 0.0f;
    double lastRoundRate = 0.0;
    for (int round = 1;; ++round) {
        sets.clear();
        weights.clear();
        gatherSets(work, planeWeights, gains, sets, weights);
        std::vector<ContextQuantizer*> quantizers;
        for (PlaneWork& plane : work)
            for (auto& quantizer : plane.quantizers)
                quantizers.push_back(quantizer.get());
        const bool paused = std::any_of(quantizers.begin(), quantizers.end(),
                                        [](const ContextQuantizer* q) { return q->pricingPaused(); });
        if (!paused)
            return choosePrecisions(work, sets, weights, sizeBits, budgetBytes, target, report);
        StringSink roundReport;
        AllocationTrace trace;
        const std::vector<int> precisions
            = choosePrecisions(work, sets, weights, sizeBits, budgetBytes, target, roundReport, &trace);
        const bool atZero = stoppedAtZero(trace);
        bool settled = !atZero;
        float step = kPricingSlopeStep;
        if (atZero) {
            double rate = 0.0;
            for (std::size_t k = 0; k < sets.size(); ++k)
                rate += static_cast<double>(sets[k].rate(precisions[k]));
            step = nextPricingStep(lastRoundSlope, lastRoundRate, roundSlope, rate, 8.0 * target);
            lastRoundSlope = roundSlope;
            lastRoundRate = rate;
            roundSlope *= step;
        }
        float lowest = std::numeric_limits<float>::infinity();
        for (const float s : trace.slopes)
            if (s > 0.0f)
                lowest = std::min(lowest, s);
        for (std::size_t k = 0; k < sets.size(); ++k) {
            ContextQuantizer& quantizer = *quantizers[k];
            if (!atZero && bandSettled(quantizer, trace)) {
                // Settled bands seldom resume: their memory is better spent on the others.
                quantizer.dropNeighbourCounts();
                continue;
            }
            settled = false;
            if (!quantizer.pricingPaused())
                continue;
            // Lower for a band that does not cover every slope the allocation chose at (all of them when it
            // stopped at 0, whose slope says nothing of where the budget lies).
            float slope = quantizer.pricingSlope();
            if (atZero)
                slope *= step;
            else if (!quantizer.coversSlope(lowest))
                slope = std::max(std::min(slope, lowest), slope * kSettlingStep) * kPricingSlopeMargin;
            if (round + 1 >= kPricingRounds)
                slope = 0.0f;
            quantizer.setPricingSlope(slope, weights[k]);
        }
        if (settled) {
            report.write(roundReport.text());
            return precisions;
        }
        priceBands(work, false);
    }
}

bool codesNothing(const std::vector<int>& precisions)
{
    return std::all_of(precisions.begin(), precisions.end(), [](int p) { return p == 0; });
}

// A picture that its planes' means rebuild with at most this squared error per sample (half a level, RMS) is not
// starved: rounding to whole levels hides the rest.
constexpr double kUnseenErrorPerSample = 0.25;

// For planes that `budgetBytes` codes at precision 0 throughout: the smallest budget at which the allocation
// codes a pass, or 0 when no pass would lower the distortion visibly (flat planes, which the means code). The
// planes' transforms (`coded`, masked already) are tabulated again without the rate ceiling, which priced every
// pass beyond the small budget as out of reach. Such budgets belong to small pictures, so this costs little.
int workableBudget(const PlaneWork (&coded)[3], const std::array<float, 3>& planeWeights, int budgetBytes,
                   int stages, const RegionSet* mask, int sizeBits)
{
    const Wavelet wavelet(cdf97());
    const std::vector<float> gains = subbandEnergyGains(wavelet, stages);
    PlaneWork work[3];
    tabulatePlanes(
        work, [&](int c, DiagnosticSink&) { return std::make_unique<WaveletTransform>(*coded[c].transform); }, mask,
        std::numeric_limits<float>::infinity(), 0.0f, planeWeights, gains);
    finishPricing(work);
    for (const PlaneWork& w : work) {
        if (!w.transform->valid())
            return 0;
    }
    std::vector<CoefficientSet> sets;
    std::vector<float> weights;
    gatherSets(work, planeWeights, gains, sets, weights);
    const bool useful = std::any_of(sets.begin(), sets.end(), [](const CoefficientSet& set) {
        for (int j = 1; j < set.precisionCount(); ++j)
            if (std::isfinite(set.rate(j)) && set.rate(j) > 0.0f && set.distortion(j) < set.distortion(0))
                return true;
        return false;
    });
    // The weighted distortion is the squared error of the rebuilt picture's samples.
    double meanOnlyError = 0.0;
    for (std::size_t k = 0; k < sets.size(); ++k)
        meanOnlyError += static_cast<double>(weights[k]) * static_cast<double>(sets[k].distortion(0));
    const double samples = 3.0 * coded[0].transform->width() * coded[0].transform->height();
    if (!useful || meanOnlyError < kUnseenErrorPerSample * samples)
        return 0;
    const auto codes = [&](int budget) {
        int target = 0;
        return !codesNothing(choosePrecisions(work, sets, weights, sizeBits, budget, target, discardSink()));
    };
    // Doubling brackets the answer, bisection finds it.
    int low = std::max(budgetBytes, 0);
    int high = std::max(2 * low, 1);
    while (!codes(high)) {
        if (high > std::numeric_limits<int>::max() / 2)
            return std::numeric_limits<int>::max();
        low = high;
        high *= 2;
    }
    while (high - low > 1) {
        const int middle = low + (high - low) / 2;
        (codes(middle) ? high : low) = middle;
    }
    return high;
}

} // namespace

std::vector<float> subbandEnergyGains(const Wavelet& wavelet, int stages)
{
    if (stages < 1)
        return {};
    std::vector<double> low(static_cast<std::size_t>(stages) + 1, 1.0);
    std::vector<double> high(static_cast<std::size_t>(stages) + 1, 1.0);
    for (int k = 1; k <= stages; ++k) {
        const int level = std::min(k, kGainLevels);
        low[static_cast<std::size_t>(k)] = oneDimensionalGain(wavelet, level, false);
        high[static_cast<std::size_t>(k)] = oneDimensionalGain(wavelet, level, true);
    }
    std::vector<float> gains;
    gains.reserve(static_cast<std::size_t>(3 * stages + 1));
    const std::size_t s = static_cast<std::size_t>(stages);
    gains.push_back(static_cast<float>(low[s] * low[s]));
    for (int j = 0; j < stages; ++j) {
        const std::size_t k = static_cast<std::size_t>(stages - j);
        gains.push_back(static_cast<float>(high[k] * low[k]));
        gains.push_back(static_cast<float>(low[k] * high[k]));
        gains.push_back(static_cast<float>(high[k] * high[k]));
    }
    return gains;
}

ColourPlanesEncoding encodeColourPlanes(const FloatImage (&planes)[3], const std::array<float, 3>& planeWeights,
                                        const std::array<const char*, 3>& planeNames, int budgetBytes, int stages,
                                        const RegionSet* mask, DiagnosticSink& diagnostics)
{
    FloatImage copies[3] = {planes[0], planes[1], planes[2]};
    return encodeColourPlanes(std::move(copies), planeWeights, planeNames, budgetBytes, stages, mask, diagnostics);
}

ColourPlanesEncoding encodeColourPlanes(FloatImage (&&planes)[3], const std::array<float, 3>& planeWeights,
                                        const std::array<const char*, 3>& planeNames, int budgetBytes, int stages,
                                        const RegionSet* mask, DiagnosticSink& diagnostics)
{
    ColourPlanesEncoding result;
    StringSink report;
    if (stages < kMinStages || stages > kMaxStages) {
        printError(diagnostics, "Cannot code a plane in %d wavelet stages", stages);
        result.status = failure(formatText("Cannot code a plane in %d wavelet stages", stages));
        return result;
    }
    for (const FloatImage& plane : planes) {
        if (!imageSizeAllowed(plane.width, plane.height) || plane.width != planes[0].width
            || plane.height != planes[0].height
            || plane.data.size() != static_cast<std::size_t>(plane.width) * static_cast<std::size_t>(plane.height)) {
            printError(diagnostics, "Cannot code a plane of size %d by %d", plane.width, plane.height);
            result.status = failure(formatText("Cannot code a plane of size %d by %d", plane.width, plane.height));
            return result;
        }
    }

    const Wavelet wavelet(cdf97());
    const std::vector<float> gains = subbandEnergyGains(wavelet, stages);
    const int n = 3 * stages + 1;
    const float ceiling = static_cast<float>(std::max(budgetBytes, 0)) * 8.0f;

    // Each plane's memory becomes its transform's bands.
    const int width = planes[0].width;
    const int height = planes[0].height;
    PlaneWork work[3];
    tabulatePlanes(
        work,
        [&](int c, DiagnosticSink& sink) {
            return std::make_unique<WaveletTransform>(wavelet, std::move(planes[c]), stages, -1, sink);
        },
        mask, ceiling, kFirstPricingSlope, planeWeights, gains);
    for (const PlaneWork& w : work) {
        const std::string text = w.diagnostics.text();
        if (!text.empty())
            report.write(text);
    }
    for (const PlaneWork& w : work) {
        if (!w.transform->valid() || static_cast<int>(w.sets.size()) != n) {
            printError(report, "Cannot transform a plane of size %d by %d", width, height);
            diagnostics.write(report.text());
            result.status = failure(formatText("Cannot transform a plane of size %d by %d", width, height));
            return result;
        }
    }

    const int sizeBits
        = gammaLength(static_cast<std::uint32_t>(width)) + gammaLength(static_cast<std::uint32_t>(height));
    std::vector<CoefficientSet> sets;
    std::vector<float> weights;
    int target = 0;
    const std::vector<int> precisions
        = settleAllocation(work, planeWeights, gains, sizeBits, budgetBytes, target, sets, weights, report);
    finishPricing(work);

    report.write(allocationReport(work, planeNames, precisions, weights, budgetBytes, target));

    {
        std::vector<std::function<void()>> write;
        for (int c = 0; c < 3; ++c) {
            write.emplace_back([&, c] {
                result.streams[c] = writePlane(work[c], precisions.data() + static_cast<std::size_t>(c * n));
            });
        }
        runSideBySide(write);
    }
    result.codedBits = 0.0f;
    for (std::size_t k = 0; k < sets.size(); ++k)
        result.codedBits += sets[k].rate(precisions[k]);
    result.status = Status();
    result.budgetBytes = budgetBytes;
    result.targetBytes = target;
    result.precisions = precisions;
    if (codesNothing(precisions))
        result.workableBudgetBytes = workableBudget(work, planeWeights, budgetBytes, stages, mask, sizeBits);
    result.starved = result.workableBudgetBytes > 0;
    diagnostics.write(report.text());
    return result;
}

namespace {

// The bands' quantisers of a plane being decoded, each with its precision, and the plane they decode into.
struct PlaneDecoding {
    // Declared before the quantisers, which give their working arrays back to it as they go.
    ContextBufferPool buffers;
    std::vector<std::unique_ptr<ContextQuantizer>> quantizers;
    std::vector<int> precisions;
    std::vector<SubbandRect> layout;
    std::vector<float> samples;
    int width = 0;
    int height = 0;

    // Once the headers are read, so that a damaged size is refused (by headers running past the stream) before
    // it makes the decoder allocate much.
    Status allocateSamples()
    {
        try {
            samples.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        } catch (const std::bad_alloc&) {
            return failure(formatText("cannot hold a plane of size %d by %d", width, height));
        }
        return {};
    }

    float* origin(std::size_t b)
    {
        const SubbandRect& rect = layout[b];
        return samples.data() + static_cast<std::size_t>(rect.y) * static_cast<std::size_t>(width)
             + static_cast<std::size_t>(rect.x);
    }
    // Each band is decoded in place in the plane, which starts as zeros (+0), as the high-pass bands do.
    void prepare(std::size_t b)
    {
        const SubbandRect& rect = layout[b];
        quantizers[b]->prepareDecodeRows(origin(b), rect.width, rect.height, width, true);
    }
};

// The first layout: the bands' passes one after another in the plane's one arithmetic code.
Status decodePlaneCode(DecoderStream& stream, PlaneDecoding& plane)
{
    for (std::size_t b = 0; b < plane.quantizers.size(); ++b) {
        if (b > 0) {
            plane.precisions[b] = readNonnegative(stream.bits);
            if (stream.bits.failed())
                return failure(formatText("subband %zu header: ", b) + stream.bits.failure());
        }
        if (!plane.quantizers[b]->readHeaderAfterPrecision(stream, plane.precisions[b], false))
            return failure(formatText("subband %zu header: ", b) + stream.bits.failure());
    }
    if (stream.bits.pastEnd())
        return failure("truncated stream: it ends inside the subband headers");
    NUBO_RETURN_IF_ERROR(plane.allocateSamples());
    for (std::size_t b = 0; b < plane.quantizers.size(); ++b) {
        plane.prepare(b);
        if (!plane.quantizers[b]->decodeFromPlaneCode(stream, plane.precisions[b]))
            return failure(formatText("subband %zu: ", b) + stream.bits.failure());
        plane.quantizers[b].reset();
    }
    if (stream.bits.pastEnd())
        return failure("truncated stream: it ends before its last symbol");
    return {};
}

// One code per band, after all the headers, in band order: the bands decode side by side, the longest codes
// first.
Status decodeBandCodes(DecoderStream& stream, const std::uint8_t* bytes, std::size_t length, PlaneDecoding& plane,
                       ContextQuantizer::BandCoder coder)
{
    const std::size_t n = plane.quantizers.size();
    for (std::size_t b = 0; b < n; ++b) {
        if (!plane.quantizers[b]->readHeader(stream, plane.precisions[b]))
            return failure(formatText("subband %zu header: ", b) + stream.bits.failure());
    }
    if (stream.bits.pastEnd())
        return failure("truncated stream: it ends inside the subband headers");
    // Each code length is below 2^31, so their sum cannot overflow.
    std::vector<std::int64_t> starts(n, 0);
    std::int64_t end = stream.bits.bitsRead();
    for (std::size_t b = 0; b < n; ++b) {
        starts[b] = end;
        end += plane.quantizers[b]->headerCodeBits();
    }
    const auto streamBits = static_cast<std::int64_t>(length) * 8;
    if (end > streamBits)
        return failure("truncated stream: it ends before its last symbol");
    if (streamBits - end >= 8)
        return failure(formatText("corrupt stream: %lld bytes follow the band codes",
                                  static_cast<long long>((streamBits - end) / 8)));
    NUBO_RETURN_IF_ERROR(plane.allocateSamples());

    std::vector<std::size_t> order(n);
    for (std::size_t b = 0; b < n; ++b)
        order[b] = b;
    std::stable_sort(order.begin(), order.end(), [&plane](std::size_t a, std::size_t b) {
        return plane.quantizers[a]->headerCodeBits() > plane.quantizers[b]->headerCodeBits();
    });
    std::vector<std::string> refusals(n);
    std::vector<std::function<void()>> tasks;
    tasks.reserve(n);
    for (const std::size_t b : order) {
        tasks.emplace_back([&, b] {
            plane.prepare(b);
            const auto start = static_cast<std::size_t>(starts[b]);
            BitInput input(bytes + start / 8, length - start / 8);
            input.skipBits(static_cast<std::int64_t>(start % 8));
            if (!plane.quantizers[b]->decodeBandCode(input, plane.precisions[b], coder))
                refusals[b] = formatText("subband %zu: ", b) + input.failure();
            plane.quantizers[b].reset();
        });
    }
    runSideBySide(tasks);
    for (const std::string& refusal : refusals)
        if (!refusal.empty())
            return failure(refusal);
    return {};
}

} // namespace

Status decodeColourPlane(const std::uint8_t* bytes, std::size_t length, int stages, FloatImage& plane)
{
    if (stages < kMinStages || stages > kMaxStages)
        return failure(formatText("unsupported number of wavelet stages: %d", stages));
    if (bytes == nullptr)
        length = 0;
    DecoderStream stream(bytes, length);
    const StatusOr<PlaneSize> size = readPlaneSize(stream);
    if (!size)
        return size.status();
    const auto [width, height] = *size;

    const Wavelet wavelet(cdf97());
    const int n = 3 * stages + 1;
    PlaneDecoding decoding;
    decoding.layout = subbandLayout(width, height, stages);
    if (decoding.layout.size() != static_cast<std::size_t>(n))
        return failure(formatText("cannot hold a plane of size %d by %d", width, height));
    decoding.width = width;
    decoding.height = height;
    decoding.precisions.assign(static_cast<std::size_t>(n), 0);
    decoding.quantizers.reserve(static_cast<std::size_t>(n));
    for (int b = 0; b < n; ++b) {
        const SubbandRect& rect = decoding.layout[static_cast<std::size_t>(b)];
        decoding.quantizers.push_back(std::make_unique<ContextQuantizer>(
            rect.width, rect.height, ContextQuantizer::orientationOfBand(b), kColourPrecisions));
        decoding.quantizers.back()->setBufferPool(&decoding.buffers);
    }
    // The first layout's first number is band 0's precision, never the mark.
    const std::int32_t first = readNonnegative(stream.bits);
    if (stream.bits.failed())
        return failure("subband 0 header: " + stream.bits.failure());
    decoding.precisions[0] = first;
    using BandCoder = ContextQuantizer::BandCoder;
    if (first == kRangeBandCodesMark)
        NUBO_RETURN_IF_ERROR(decodeBandCodes(stream, bytes, length, decoding, BandCoder::Range));
    else if (first == kArithmeticBandCodesMark)
        NUBO_RETURN_IF_ERROR(decodeBandCodes(stream, bytes, length, decoding, BandCoder::Arithmetic));
    else
        NUBO_RETURN_IF_ERROR(decodePlaneCode(stream, decoding));

    // High-pass bands without passes kept the +0 the plane started with: the inverse transform passes them over.
    std::uint32_t zeroBands = 0;
    for (int b = 1; b < n; ++b)
        if (decoding.precisions[static_cast<std::size_t>(b)] == 0)
            zeroBands |= std::uint32_t{1} << b;
    wavelet.invert2d(decoding.samples.data(), decoding.samples.data(), width, height, stages, -1, zeroBands);
    plane.data = std::move(decoding.samples);
    plane.width = width;
    plane.height = height;
    return {};
}

} // namespace nubo

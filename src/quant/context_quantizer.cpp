#include "quant/context_quantizer.h"

#include "common/check.h"
#include "wavelet/coder_streams.h"
#include "wavelet/integer_codes.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace nubo {

namespace {

constexpr std::uint8_t kSignificant = 1;
constexpr std::uint8_t kNegative = 2;
constexpr std::uint8_t kVisited = 8;   // coded by the significance pass of the current layer
constexpr std::uint8_t kNeighbour = 16; // some neighbour is significant

// Model windows: how many symbols a model learns from before it forgets the oldest (AdaptiveBit), so it follows
// the band's changing statistics from layer to layer. Measured on photos at equal bytes: windows 8 times longer,
// or 4 times shorter, lose 0.03 dB on average.
constexpr std::int32_t kSignificanceWindow = 128;
constexpr std::int32_t kSignWindow = 64;
constexpr std::int32_t kRefinementWindow = 64;
constexpr std::int32_t kRunWindow = 256;
// The count limits of older streams' counting models (BinaryModel): when a model's total reaches its limit the
// counts halve.
constexpr std::int32_t kSignificanceTotal = 1024;
constexpr std::int32_t kSignTotal = 512;
constexpr std::int32_t kRefinementTotal = 512;
constexpr std::int32_t kRunTotal = 2048;

// Mean codes are in units of 1/16, as the low-pass ranges of the plane coder.
constexpr float kMeanScale = 16.0f;
constexpr std::int32_t kMeanCodeLimit = std::int32_t{1} << 30;

std::int32_t meanCodeOf(float mean)
{
    const double v = static_cast<double>(kMeanScale * mean) + 0.5;
    if (!(v == v))
        return 0;
    if (v >= kMeanCodeLimit)
        return kMeanCodeLimit;
    if (v <= -kMeanCodeLimit)
        return -kMeanCodeLimit;
    return static_cast<std::int32_t>(v);
}

int gammaBits(std::uint32_t v)
{
    int k = 0;
    while ((v >> (k + 1)) != 0)
        ++k;
    return 2 * k + 1;
}

int integerBits(std::int32_t v)
{
    return 1 + (v >= 0 ? gammaBits(static_cast<std::uint32_t>(v) + 1) : gammaBits(static_cast<std::uint32_t>(-v)));
}

// Significance contexts from the counts of significant horizontal (0 ... 2), vertical (0 ... 2) and diagonal
// (0 ... 4) neighbours, per orientation: the table of JPEG 2000's significance coding.
int contextFromCounts(ContextQuantizer::Orientation orientation, int h, int v, int d)
{
    using O = ContextQuantizer::Orientation;
    if (orientation == O::HighAlongRows) {
        const int swap = h;
        h = v;
        v = swap;
    }
    if (orientation == O::HighBoth) {
        const int hv = h + v;
        if (d >= 3)
            return 8;
        if (d == 2)
            return hv >= 1 ? 7 : 6;
        if (d == 1)
            return hv >= 2 ? 5 : (hv == 1 ? 4 : 3);
        return hv >= 2 ? 2 : (hv == 1 ? 1 : 0);
    }
    if (h == 2)
        return 8;
    if (h == 1)
        return v >= 1 ? 7 : (d >= 1 ? 6 : 5);
    if (v == 2)
        return 4;
    if (v == 1)
        return 3;
    if (d >= 2)
        return 2;
    return d == 1 ? 1 : 0;
}

// A cell's significant neighbours counted in one byte, h * 15 + v * 5 + d, the index of the tables below.
constexpr std::uint8_t kHorizontalStep = 15;
constexpr std::uint8_t kVerticalStep = 5;
constexpr std::uint8_t kDiagonalStep = 1;

struct ContextTables {
    std::uint8_t significance[4][3 * 3 * 5];
};

const ContextTables& contextTables()
{
    static const ContextTables tables = [] {
        ContextTables t{};
        for (int o = 0; o < 4; ++o)
            for (int h = 0; h < 3; ++h)
                for (int v = 0; v < 3; ++v)
                    for (int d = 0; d < 5; ++d)
                        t.significance[o][h * 15 + v * 5 + d] = static_cast<std::uint8_t>(
                            contextFromCounts(static_cast<ContextQuantizer::Orientation>(o), h, v, d));
        return t;
    }();
    return tables;
}

// Sign context and flip from the horizontal and vertical neighbours' sign sums, each clamped to -1 ... +1.
struct SignContext {
    int context;
    int flip;
};

constexpr SignContext kSignContexts[9] = {
    {4, 1}, {3, 1}, {2, 1}, // horizontal -1; vertical -1, 0, +1
    {1, 1}, {0, 0}, {1, 0}, // horizontal 0
    {2, 0}, {3, 0}, {4, 0}, // horizontal +1
};

// A neighbour's share of a sign sum, by its significant and negative bits: 0, +1, 0 (never set alone), -1. Looked
// up, as are the clamped sums: signs are as good as random, so branches on them would be mispredicted.
constexpr int kSignShare[4] = {0, 1, 0, -1};
constexpr int kClampedSum[5] = {-1, -1, 0, 1, 1};

int signContribution(std::uint8_t a, std::uint8_t b)
{
    return kClampedSum[kSignShare[a & (kSignificant | kNegative)] + kSignShare[b & (kSignificant | kNegative)] + 2];
}

// What a sign places (in thresholds) and a refinement moves (in half thresholds), by the bit coded: exact
// factors, so that a lookup gives the very values the branches gave.
constexpr double kPlacedBySign[2] = {1.5, -1.5};
constexpr double kMovedByRefinement[2] = {-1.0, 1.0};

// Pricing codes every decision into the band's own range code, through a copy of its encoder that the inlined
// passes keep in registers, and sums the change of squared error beside it (as a member it would be stored and
// reloaded around every flag byte written).
template <class Models>
struct PriceIo {
    static constexpr bool kDecoding = false;
    static constexpr bool kPricing = true;
    BinaryRangeEncoder arith;
    Models& models;
    double change = 0.0;

    [[gnu::always_inline]] int bit(AdaptiveBit& model, int value)
    {
        arith.encode(model.one(), value);
        model.update(value);
        return value;
    }
    [[gnu::always_inline]] int plainBit(AdaptiveBit& model, int value)
    {
        arith.encode(model.one(), value);
        return value;
    }
    static constexpr bool stopped() { return false; }
    // n zeros in a row, with the model held in registers.
    void zeros(AdaptiveBit& model, int n)
    {
        AdaptiveBit m = model;
        for (int k = 0; k < n; ++k) {
            arith.encode(m.one(), 0);
            m.update(0);
        }
        model = m;
    }
};

// Decoding a range code. A damaged code decodes to some symbols all the same; the band's end tells.
template <class Models>
struct RangeDecodeIo {
    static constexpr bool kDecoding = true;
    static constexpr bool kPricing = false;
    BinaryRangeDecoder arith;
    Models& models;

    [[gnu::always_inline]] int bit(AdaptiveBit& model, int)
    {
        const int value = arith.decode(model.one());
        model.update(value);
        return value;
    }
    [[gnu::always_inline]] int plainBit(AdaptiveBit& model, int) { return arith.decode(model.one()); }
    static constexpr bool stopped() { return false; }
};

// Decoding an arithmetic code of older streams reads through a copy of its decoder (see
// ArithDecoder::resumeFrom), held here in a local of the decoding call so its interval can stay in registers.
// The first bad symbol marks the input failed, and the passes stop at the next stripe: the band is lost then
// anyway, and no symbol has to test the input's mark.
template <class Models>
struct ArithDecodeIo {
    static constexpr bool kDecoding = true;
    static constexpr bool kPricing = false;
    ArithDecoder arith;
    Models& models;
    bool bad = false;

    [[gnu::always_inline]] int bit(BinaryModel& model, int)
    {
        const int value = arith.decodeBinary(model);
        if (value < 0) [[unlikely]] {
            bad = true;
            return 0;
        }
        model.update(value);
        return value;
    }
    [[gnu::always_inline]] int plainBit(BinaryModel& model, int)
    {
        const int value = arith.decodeBinary(model);
        if (value < 0) [[unlikely]] {
            bad = true;
            return 0;
        }
        return value;
    }
    bool stopped() const { return bad; }
};

double squared(float e) { return static_cast<double>(e) * static_cast<double>(e); }

} // namespace

struct ContextQuantizer::BandCode {
    std::string bytes;
    BinaryRangeEncoder encoder{bytes};
    // Per priced precision; precision 0 has no code.
    std::vector<BinaryRangeEncoder::Ending> ends{BinaryRangeEncoder::Ending{}};

    std::int64_t length(std::size_t precision) const { return precision == 0 ? 0 : ends[precision].bits(); }
};

namespace {

// The window of each model of a ModelSet, in its order, and the count limit of each counting one.
constexpr std::int32_t modelWindow(std::size_t model)
{
    return model < 9 ? kSignificanceWindow : model < 14 ? kSignWindow : model < 17 ? kRefinementWindow
                                                                       : model == 17 ? kRunWindow : kSignWindow;
}

constexpr std::int32_t countLimit(std::size_t model)
{
    return model < 9 ? kSignificanceTotal : model < 14 ? kSignTotal : model < 17 ? kRefinementTotal
                                                                      : model == 17 ? kRunTotal : kSignTotal;
}

template <class Model, std::size_t... I>
std::array<Model, sizeof...(I)> freshModels(std::index_sequence<I...>)
{
    if constexpr (std::is_same_v<Model, BinaryModel>)
        return {Model(countLimit(I))...};
    else
        return {Model(modelWindow(I))...};
}

} // namespace

template <class Model>
ContextQuantizer::ModelSet<Model>::ModelSet() : all(freshModels<Model>(std::make_index_sequence<19>()))
{
    reset();
}

template <class Model>
void ContextQuantizer::ModelSet<Model>::reset()
{
    for (Model& model : all)
        model.reset();
}

ContextQuantizer::Orientation ContextQuantizer::orientationOfBand(int band)
{
    if (band <= 0)
        return Orientation::LowPass;
    switch ((band - 1) % 3) {
    case 0: return Orientation::HighAlongRows;
    case 1: return Orientation::HighAlongColumns;
    default: return Orientation::HighBoth;
    }
}

ContextQuantizer::ContextQuantizer(int width, int height, Orientation orientation, int precisionCount)
    : Quantizer(nullptr),
      width_(width > 0 ? width : 0),
      height_(height > 0 ? height : 0),
      stride_(width_ + 2),
      orientation_(orientation),
      precisionCount_(precisionCount < 1 ? 1 : (precisionCount > kMaxPrecisions ? kMaxPrecisions : precisionCount)),
      rateCeiling_(std::numeric_limits<float>::infinity()),
      passRates_(static_cast<std::size_t>(precisionCount_), 0.0f),
      passChanges_(static_cast<std::size_t>(precisionCount_), 0.0f)
{
}

ContextQuantizer::~ContextQuantizer() { giveBuffers(); }

void ContextQuantizer::takeBuffers()
{
    if (pool_ == nullptr || borrowing_)
        return;
    ContextBuffers buffers = pool_->take();
    flags_.swap(buffers.flags);
    neighbourCounts_.swap(buffers.neighbourCounts);
    stripeActive_.swap(buffers.stripeActive);
    orderCells_.swap(buffers.orderCells);
    order_.swap(buffers.order);
    orderResiduals_.swap(buffers.orderResiduals);
    borrowing_ = true;
}

void ContextQuantizer::giveBuffers()
{
    if (!borrowing_)
        return;
    ContextBuffers buffers;
    buffers.flags.swap(flags_);
    buffers.neighbourCounts.swap(neighbourCounts_);
    buffers.stripeActive.swap(stripeActive_);
    buffers.orderCells.swap(orderCells_);
    buffers.order.swap(order_);
    buffers.orderResiduals.swap(orderResiduals_);
    pool_->give(std::move(buffers));
    borrowing_ = false;
}

void ContextQuantizer::endPricing()
{
    if (!borrowing_)
        return;
    giveBuffers();
    // The passes not priced yet cannot be without the working arrays.
    exhausted_ = true;
    paused_ = false;
}

float ContextQuantizer::layerThreshold(int layer) const { return std::ldexp(1.0f, exponent_ - layer); }

void ContextQuantizer::resetState()
{
    // One padding cell around the band and three more rows below it, so a stripe's neighbours always exist.
    flags_.assign(cellCount(), 0);
    neighbourCounts_.assign(cellCount(), 0);
    countsDropped_ = false;
    stripeActive_.assign(static_cast<std::size_t>(height_ / 4 + 2), 0);
    contextTable_ = contextTables().significance[static_cast<int>(orientation_)];
    order_.clear();
    orderCells_.clear();
    orderResiduals_.clear();
    // Every cell may turn significant: room for all at once rather than growing by copies.
    const std::size_t cells = static_cast<std::size_t>(count_ > 0 ? count_ : 0);
    orderCells_.reserve(cells);
    if (source_ != nullptr)
        orderResiduals_.reserve(cells);
    else
        order_.reserve(cells);
    refinable_ = 0;
    refined_ = 0;
    passesCoded_ = 0;
    models_.reset();
    countingModels_.reset();
}

void ContextQuantizer::analyze(const float* data, std::int32_t count)
{
    source_ = data;
    target_ = nullptr;
    rowLength_ = static_cast<std::size_t>(width_);
    if (count != width_ * height_)
        count = 0;
    computeStatistics(data, count);
    const bool lowPass = orientation_ == Orientation::LowPass;
    meanCode_ = lowPass ? meanCodeOf(mean_) : 0;
    base_ = lowPass ? static_cast<float>(meanCode_) / kMeanScale : 0.0f;
    takeBuffers();
    resetState();

    float largest = 0.0f;
    double distortion = 0.0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count_); ++i) {
        const float r = residualAt(i);
        const float a = std::fabs(r);
        if (a > largest)
            largest = a;
        distortion += squared(r);
    }
    baseDistortion_ = static_cast<float>(distortion);
    exponent_ = kNoExponent;
    if (largest > 0.0f && std::isfinite(largest)) {
        // The smallest e with 2^(e + 1) >= largest, so every coefficient lies within 2 T of layer 0.
        int e2 = 0;
        const float fraction = std::frexp(largest, &e2);
        int e = fraction == 0.5f ? e2 - 2 : e2 - 1;
        if (e < kMinExponent)
            e = kMinExponent;
        if (e > kMaxExponent)
            e = kMaxExponent;
        exponent_ = e;
    }
    findSignificanceLayers();
    code_ = std::make_unique<BandCode>();
    exhausted_ = false;
    paused_ = false;
}

namespace {

constexpr std::uint8_t kNeverSignificant = 255;

// The first layer l >= 0 whose threshold 2^(exponent - l) the magnitude of r exceeds, as the passes compare:
// with |r| in [2^k, 2^(k + 1)), |r| > 2^m holds for m < k, and for m = k unless |r| is 2^k itself.
std::uint8_t significanceLayer(float r, int exponent)
{
    const float a = std::fabs(r);
    if (!(a > 0.0f))
        return kNeverSignificant; // zero or NaN: never above a threshold
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(a);
    const int biased = static_cast<int>(bits >> 23);
    if (biased == 255)
        return 0; // infinite: above every threshold
    int k = 0;
    bool power = false;
    if (biased == 0) {
        k = std::ilogb(a);
        power = a == std::ldexp(1.0f, k);
    } else {
        k = biased - 127;
        power = (bits & 0x7fffffu) == 0;
    }
    const int layer = power ? exponent - k + 1 : exponent - k;
    if (layer < 0)
        return 0;
    return layer >= kNeverSignificant ? kNeverSignificant : static_cast<std::uint8_t>(layer);
}

} // namespace

void ContextQuantizer::findSignificanceLayers()
{
    significanceLayers_.assign(cellCount(), kNeverSignificant);
    if (empty() || source_ == nullptr || count_ != width_ * height_)
        return;
    for (int y = 0; y < height_; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
        std::uint8_t* layers = significanceLayers_.data() + cellOf(0, y);
        for (int x = 0; x < width_; ++x)
            layers[x] = significanceLayer(residualAt(row + static_cast<std::size_t>(x)), exponent_);
    }
}

[[gnu::always_inline]] inline int ContextQuantizer::significanceContext(std::size_t cell) const
{
    return contextTable_[neighbourCounts_[cell]];
}

[[gnu::always_inline]] inline void ContextQuantizer::markSignificant(std::size_t cell, int row, bool negative)
{
    std::uint8_t* f = flags_.data() + cell;
    const std::ptrdiff_t s = stride_;
    f[0] = static_cast<std::uint8_t>(f[0] | kSignificant | (negative ? kNegative : 0));
    const std::ptrdiff_t around[8] = {-s - 1, -s, -s + 1, -1, 1, s - 1, s, s + 1};
    for (const std::ptrdiff_t o : around)
        f[o] = static_cast<std::uint8_t>(f[o] | kNeighbour);
    // This cell is a horizontal neighbour of the cells left and right of it, a vertical one of those above and
    // below, a diagonal one of the corners.
    constexpr std::uint8_t weights[8] = {kDiagonalStep, kVerticalStep, kDiagonalStep, kHorizontalStep,
                                         kHorizontalStep, kDiagonalStep, kVerticalStep, kDiagonalStep};
    std::uint8_t* counts = neighbourCounts_.data() + cell;
    for (int k = 0; k < 8; ++k)
        counts[around[k]] = static_cast<std::uint8_t>(counts[around[k]] + weights[k]);
    // The neighbours span rows row - 1 ... row + 1, which lie in at most two stripes: the first and last row's.
    const int first = row > 0 ? row - 1 : 0;
    const int last = row + 1 < height_ ? row + 1 : height_ - 1;
    stripeActive_[static_cast<std::size_t>(first / 4)] = 1;
    stripeActive_[static_cast<std::size_t>(last / 4)] = 1;
}

template <class Io>
[[gnu::always_inline]] inline void ContextQuantizer::codeSign(Io& io, std::size_t cell, std::size_t index, int row,
                                                            float t)
{
    const std::uint8_t* f = flags_.data() + cell;
    const std::ptrdiff_t s = stride_;
    const int hc = signContribution(f[-1], f[1]);
    const int vc = signContribution(f[-s], f[s]);
    const SignContext sc = kSignContexts[(hc + 1) * 3 + (vc + 1)];
    int negative = 0;
    if constexpr (!Io::kDecoding)
        negative = residualAt(index) < 0.0f ? 1 : 0;
    negative = io.bit(io.models.sign(sc.context), negative ^ sc.flip) ^ sc.flip;
    const double placed = kPlacedBySign[negative] * static_cast<double>(t);
    if constexpr (Io::kDecoding) {
        // Until now the sample held the value it started from, base_: it is written without being read, so no
        // miss on the band's memory holds the decoder up.
        target_[index] = static_cast<float>(static_cast<double>(base_) + placed);
    } else {
        // From here on the residual lives in the order of significance, where the refinement passes walk it.
        const float before = residualAt(index);
        const float r = static_cast<float>(static_cast<double>(before) - placed);
        if constexpr (Io::kPricing)
            io.change += squared(r) - squared(before);
        orderResiduals_.push_back(r);
    }
    markSignificant(cell, row, negative != 0);
    if constexpr (Io::kDecoding)
        order_.push_back(static_cast<std::int32_t>(index));
    orderCells_.push_back(static_cast<std::uint32_t>(cell));
}

template <class Io>
[[gnu::always_inline]] inline bool ContextQuantizer::codeSignificance(Io& io, std::size_t cell, std::size_t index,
                                                                      int row, int layer, float t, int context)
{
    int significant = 0;
    if constexpr (!Io::kDecoding)
        significant = significanceLayers_[cell] <= layer ? 1 : 0;
    if (!io.bit(io.models.significance(context), significant))
        return false;
    codeSign(io, cell, index, row, t);
    return true;
}

// Columns of a stripe looked at sixteen at a time: bit i of each answer stands for column x0 + i, `top` is the
// cell of (x0, y0) in a cell array of row length `stride`, and only the first `columns` (at most 16) count.
constexpr int kBlockColumns = 16;

inline unsigned firstColumns(int columns)
{
    return columns >= kBlockColumns ? 0xffffu : (1u << columns) - 1;
}

// Columns with a cell among their `rows` whose flags under `mask` equal `want`.
inline unsigned columnsWith(const std::uint8_t* top, std::size_t stride, int rows, int columns, std::uint8_t mask,
                            std::uint8_t want)
{
    unsigned bits = 0;
#if defined(__SSE2__)
    const __m128i m = _mm_set1_epi8(static_cast<char>(mask));
    const __m128i w = _mm_set1_epi8(static_cast<char>(want));
    __m128i any = _mm_setzero_si128();
    for (int k = 0; k < rows; ++k) {
        const __m128i f = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + static_cast<std::size_t>(k) * stride));
        any = _mm_or_si128(any, _mm_cmpeq_epi8(_mm_and_si128(f, m), w));
    }
    bits = static_cast<unsigned>(_mm_movemask_epi8(any));
#else
    for (int i = 0; i < columns; ++i)
        for (int k = 0; k < rows; ++k)
            if ((top[static_cast<std::size_t>(k) * stride + static_cast<std::size_t>(i)] & mask) == want)
                bits |= 1u << i;
#endif
    return bits & firstColumns(columns);
}

// Columns of four rows none of whose cells has a flag of `mask`.
inline unsigned columnsWithout(const std::uint8_t* top, std::size_t stride, int columns, std::uint8_t mask)
{
    unsigned bits = 0;
#if defined(__SSE2__)
    __m128i any = _mm_setzero_si128();
    for (int k = 0; k < 4; ++k)
        any = _mm_or_si128(any, _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + static_cast<std::size_t>(k) * stride)));
    const __m128i hit = _mm_and_si128(any, _mm_set1_epi8(static_cast<char>(mask)));
    bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(hit, _mm_setzero_si128())));
#else
    for (int i = 0; i < columns; ++i) {
        std::uint8_t any = 0;
        for (int k = 0; k < 4; ++k)
            any = static_cast<std::uint8_t>(any | top[static_cast<std::size_t>(k) * stride + static_cast<std::size_t>(i)]);
        if ((any & mask) == 0)
            bits |= 1u << i;
    }
#endif
    return bits & firstColumns(columns);
}

// Columns of four rows whose significance layers all lie beyond `layer`.
inline unsigned columnsBeyond(const std::uint8_t* top, std::size_t stride, int columns, int layer)
{
    unsigned bits = 0;
#if defined(__SSE2__)
    __m128i least = _mm_loadu_si128(reinterpret_cast<const __m128i*>(top));
    for (int k = 1; k < 4; ++k)
        least = _mm_min_epu8(least, _mm_loadu_si128(reinterpret_cast<const __m128i*>(top + static_cast<std::size_t>(k) * stride)));
    const __m128i next = _mm_set1_epi8(static_cast<char>(layer + 1));
    bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(least, next), least)));
#else
    for (int i = 0; i < columns; ++i) {
        int least = 255;
        for (int k = 0; k < 4; ++k)
            least = std::min<int>(least, top[static_cast<std::size_t>(k) * stride + static_cast<std::size_t>(i)]);
        if (least > layer)
            bits |= 1u << i;
    }
#endif
    return bits & firstColumns(columns);
}

// The cells of a stripe column (rows `from` ... rows - 1 of 4) whose flags match `want` under `mask`, as bits.
inline unsigned columnCells(const std::uint8_t* top, std::size_t stride, int from, int rows, std::uint8_t mask,
                            std::uint8_t want)
{
#if defined(__SSE2__)
    // The four flags side by side in one word, compared at once.
    const std::uint32_t word = static_cast<std::uint32_t>(top[0]) | static_cast<std::uint32_t>(top[stride]) << 8
                             | static_cast<std::uint32_t>(top[2 * stride]) << 16
                             | static_cast<std::uint32_t>(top[3 * stride]) << 24;
    const __m128i flags = _mm_cvtsi32_si128(static_cast<int>(word));
    const __m128i hits = _mm_cmpeq_epi8(_mm_and_si128(flags, _mm_set1_epi8(static_cast<char>(mask))),
                                        _mm_set1_epi8(static_cast<char>(want)));
    const unsigned cells = static_cast<unsigned>(_mm_movemask_epi8(hits)) & 0xfu;
#else
    unsigned cells = 0;
    for (int k = 0; k < 4; ++k)
        cells |= static_cast<unsigned>((top[static_cast<std::size_t>(k) * stride] & mask) == want) << k;
#endif
    const unsigned inRange = ((1u << rows) - 1) & ~((1u << from) - 1);
    return cells & inRange;
}

// Clears the visited mark of the first `columns` (at most 16) cells of `rows` rows from `top`, and of no other.
inline void clearVisited(std::uint8_t* top, std::size_t stride, int rows, int columns)
{
#if defined(__SSE2__)
    // Lanes at or beyond `columns` keep every bit: the sixteen bytes may reach into the next row's cells.
    const __m128i lanes = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i inBlock = _mm_cmplt_epi8(lanes, _mm_set1_epi8(static_cast<char>(columns)));
    const __m128i keep = _mm_andnot_si128(_mm_and_si128(inBlock, _mm_set1_epi8(static_cast<char>(kVisited))),
                                          _mm_set1_epi8(static_cast<char>(0xff)));
    for (int k = 0; k < rows; ++k) {
        auto* row = reinterpret_cast<__m128i*>(top + static_cast<std::size_t>(k) * stride);
        _mm_storeu_si128(row, _mm_and_si128(_mm_loadu_si128(row), keep));
    }
#else
    for (int k = 0; k < rows; ++k)
        for (int i = 0; i < columns; ++i) {
            std::uint8_t& f = top[static_cast<std::size_t>(k) * stride + static_cast<std::size_t>(i)];
            f = static_cast<std::uint8_t>(f & ~kVisited);
        }
#endif
}

template <class Io>
void ContextQuantizer::significancePass(Io& io, int layer, float t)
{
    const std::size_t s = static_cast<std::size_t>(stride_);
    constexpr std::uint8_t looked = kSignificant | kNeighbour;
    for (int y0 = 0; y0 < height_ && !io.stopped(); y0 += 4) {
        if (!stripeActive_[static_cast<std::size_t>(y0 / 4)])
            continue;
        const int rows = height_ - y0 < 4 ? height_ - y0 : 4;
        for (int x0 = 0; x0 < width_; x0 += kBlockColumns) {
            // Only columns with a cell to code are visited. Coding a column can give cells of the next one a
            // significant neighbour, so that column is looked at again then.
            const int columns = std::min(kBlockColumns, width_ - x0);
            unsigned block = columnsWith(flags_.data() + cellOf(x0, y0), s, rows, columns, looked, kNeighbour);
            while (block != 0) {
                const int i = std::countr_zero(block);
                block &= block - 1;
                const int x = x0 + i;
                // The cells to code (not significant, some neighbour significant) are taken in order from a mask
                // rather than tested one by one; a cell that turns significant can make those below it
                // eligible, so the mask is taken again after it.
                const std::size_t top = cellOf(x, y0);
                unsigned todo = columnCells(flags_.data() + top, s, 0, rows, looked, kNeighbour);
                bool turned = false;
                while (todo != 0) {
                    const int k = std::countr_zero(todo);
                    const std::size_t cell = top + static_cast<std::size_t>(k) * s;
                    std::uint8_t& f = flags_[cell];
                    f = static_cast<std::uint8_t>(f | kVisited);
                    const std::size_t index = static_cast<std::size_t>(y0 + k) * rowLength_
                                            + static_cast<std::size_t>(x);
                    if (codeSignificance(io, cell, index, y0 + k, layer, t, significanceContext(cell))) {
                        turned = true;
                        todo = columnCells(flags_.data() + top, s, k + 1, rows, looked, kNeighbour);
                    } else {
                        todo &= todo - 1;
                    }
                }
                if (turned && i + 1 < columns)
                    block |= 1u << (i + 1);
            }
        }
    }
}

template <class Io>
void ContextQuantizer::refinementPass(Io& io, float t)
{
    const double half = 0.5 * static_cast<double>(t);
    // Every refinement pass refines all the cells significant before its layer, so the cells refined before are
    // the first refined_ in the order: they take context 2 without a look at their flags.
    for (std::size_t j = 0; j < refinable_; ++j) {
        const int context = j < refined_ ? 2 : ((flags_[orderCells_[j]] & kNeighbour) ? 1 : 0);
        int up = 0;
        if constexpr (!Io::kDecoding)
            up = orderResiduals_[j] > 0.0f ? 1 : 0;
        up = io.bit(io.models.refinement(context), up);
        const double moved = kMovedByRefinement[up] * half;
        if constexpr (Io::kDecoding) {
            const std::size_t index = static_cast<std::size_t>(order_[j]);
            target_[index] = static_cast<float>(static_cast<double>(target_[index]) + moved);
        } else {
            float& r = orderResiduals_[j];
            const float before = r;
            r = static_cast<float>(static_cast<double>(r) - moved);
            if constexpr (Io::kPricing)
                io.change += squared(r) - squared(before);
        }
    }
    refined_ = refinable_;
}

template <class Io>
void ContextQuantizer::cleanupPass(Io& io, int layer, float t)
{
    const std::size_t s = static_cast<std::size_t>(stride_);
    const std::size_t w = rowLength_;
    constexpr std::uint8_t busy = kSignificant | kNeighbour | kVisited;
    // Run symbols come one after another over idle stretches: their model is held in a local, which stays in
    // registers (the member would be stored and loaded again around every flag byte written).
    auto run = io.models.run();
    for (int y0 = 0; y0 < height_ && !io.stopped(); y0 += 4) {
        const int rows = height_ - y0 < 4 ? height_ - y0 : 4;
        for (int x0 = 0; x0 < width_; x0 += kBlockColumns) {
            // Per block of columns: which are coded by a run symbol (no cell busy) and, when encoding, which of
            // those have no cell above the threshold, so their run symbol is 0 without a look at their cells.
            // A cell turning significant can make the next column busy, so that column is then tested again.
            const int columns = std::min(kBlockColumns, width_ - x0);
            unsigned idle = 0;
            unsigned quiet = 0;
            const std::size_t first = cellOf(x0, y0);
            if (rows == 4) {
                idle = columnsWithout(flags_.data() + first, s, columns, busy);
                if constexpr (!Io::kDecoding)
                    quiet = columnsBeyond(significanceLayers_.data() + first, s, columns, layer);
            }
            // Only columns with a cell neither significant nor visited by this layer's significance pass have
            // anything to code (idle columns among them); the others are passed over. Their visited marks are
            // cleared for the whole block at its end: until then only the block's own columns read them.
            unsigned open = columnsWith(flags_.data() + first, s, rows, columns, kVisited | kSignificant, 0);
            bool touched = false; // the column before turned a cell significant
            int next = 0;         // the column after the last one coded
            while (open != 0) {
                const int i = std::countr_zero(open);
                open &= open - 1;
                if (i != next)
                    touched = false;
                next = i + 1;
                const int x = x0 + i;
                const std::size_t top = cellOf(x, y0);
                const std::size_t topIndex = static_cast<std::size_t>(y0) * w + static_cast<std::size_t>(x);
                const unsigned bit = 1u << i;
                int k = 0;
                if (rows == 4) {
                    const bool runColumn = touched
                        ? ((flags_[top] | flags_[top + s] | flags_[top + 2 * s] | flags_[top + 3 * s]) & busy) == 0
                        : (idle & bit) != 0;
                    if (runColumn) {
                        if ((quiet & bit) != 0) {
                            if constexpr (Io::kPricing) {
                                // The quiet idle columns that follow code a 0 run symbol each as well: they are
                                // priced together.
                                const unsigned quietIdle = (quiet & idle) >> i;
                                const int n = std::countr_one(quietIdle | 1u);
                                io.zeros(run, n);
                                open &= ~(((1u << n) - 1u) << i);
                                next = i + n;
                            } else {
                                io.bit(run, 0);
                            }
                            touched = false;
                            continue;
                        }
                        int firstCell = 4;
                        if constexpr (!Io::kDecoding) {
                            for (int j = 0; j < 4; ++j) {
                                if (significanceLayers_[top + static_cast<std::size_t>(j) * s] <= layer) {
                                    firstCell = j;
                                    break;
                                }
                            }
                        }
                        if (!io.bit(run, firstCell < 4 ? 1 : 0)) {
                            touched = false;
                            continue;
                        }
                        const int high = io.plainBit(io.models.uniform(), firstCell >> 1);
                        const int low = io.plainBit(io.models.uniform(), firstCell & 1);
                        firstCell = high * 2 + low;
                        codeSign(io, top + static_cast<std::size_t>(firstCell) * s,
                                 topIndex + static_cast<std::size_t>(firstCell) * w, y0 + firstCell, t);
                        k = firstCell + 1;
                    }
                }
                touched = k > 0;
                if (k >= rows)
                    continue;
                // The cells left to code (neither visited by this layer's significance pass nor significant) do
                // not change while the column is coded, so they come from one mask.
                for (unsigned todo = columnCells(flags_.data() + top, s, k, rows, kVisited | kSignificant, 0);
                     todo != 0; todo &= todo - 1) {
                    const int j = std::countr_zero(todo);
                    const std::size_t cell = top + static_cast<std::size_t>(j) * s;
                    if (codeSignificance(io, cell, topIndex + static_cast<std::size_t>(j) * w, y0 + j, layer, t,
                                         significanceContext(cell)))
                        touched = true;
                }
            }
            clearVisited(flags_.data() + first, s, rows, columns);
        }
    }
    io.models.run() = run;
}

template <class Io>
void ContextQuantizer::codePass(Io& io, int pass)
{
    const int layer = pass / kPassesPerLayer;
    const float t = layerThreshold(layer);
    switch (pass % kPassesPerLayer) {
    case 0:
        refinable_ = orderCells_.size();
        significancePass(io, layer, t);
        break;
    case 1: refinementPass(io, t); break;
    default: cleanupPass(io, layer, t); break;
    }
    ++passesCoded_;
}

void ContextQuantizer::rateDistortion(int precision, float minimumStep, float& rate, float& distortion)
{
    constexpr float infinity = std::numeric_limits<float>::infinity();
    float r = 0.0f;
    float d = baseDistortion_;
    for (int q = 0; q < precision; ++q) {
        if (q >= precisionCount_ - 1 || q >= kMaxLayers * kPassesPerLayer) {
            r = d = infinity;
            break;
        }
        while (passesCoded_ <= q && !exhausted_) {
            const int pass = passesCoded_;
            if (empty() || layerThreshold(pass / kPassesPerLayer) <= minimumStep || r > rateCeiling_) {
                exhausted_ = true;
                break;
            }
            paused_ = pricingSlope_ > 0.0f && coveredBefore(pass, pricingSlope_);
            if (paused_)
                break;
            if (countsDropped_)
                rebuildNeighbourCounts();
            PriceIo<decltype(models_)> io{code_->encoder, models_};
            codePass(io, pass);
            code_->encoder = io.arith;
            code_->ends.push_back(code_->encoder.ending());
            const auto priced = static_cast<std::size_t>(passesCoded_);
            float passRate = static_cast<float>(codeRate(passesCoded_) - codeRate(passesCoded_ - 1));
            if (code_->length(priced) > kMaxCodeBits) {
                passRate = infinity; // beyond what a header can give: every later pass too
                exhausted_ = true;
            }
            passRates_[static_cast<std::size_t>(pass)] = passRate;
            passChanges_[static_cast<std::size_t>(pass)] = static_cast<float>(io.change);
        }
        if (passesCoded_ <= q) {
            r = d = infinity;
            break;
        }
        r += passRates_[static_cast<std::size_t>(q)];
        d += passChanges_[static_cast<std::size_t>(q)];
    }
    rate = r;
    distortion = d;
}

void ContextQuantizer::dropNeighbourCounts()
{
    if (!paused_ || countsDropped_)
        return;
    std::vector<std::uint8_t>().swap(neighbourCounts_);
    countsDropped_ = true;
}

void ContextQuantizer::rebuildNeighbourCounts()
{
    // The sums markSignificant kept, added again for every significant cell (in any order: no sum exceeds 44).
    neighbourCounts_.assign(cellCount(), 0);
    const std::ptrdiff_t s = stride_;
    const std::ptrdiff_t around[8] = {-s - 1, -s, -s + 1, -1, 1, s - 1, s, s + 1};
    constexpr std::uint8_t weights[8] = {kDiagonalStep, kVerticalStep, kDiagonalStep, kHorizontalStep,
                                         kHorizontalStep, kDiagonalStep, kVerticalStep, kDiagonalStep};
    for (const std::uint32_t cell : orderCells_) {
        std::uint8_t* counts = neighbourCounts_.data() + cell;
        for (int k = 0; k < 8; ++k)
            counts[around[k]] = static_cast<std::uint8_t>(counts[around[k]] + weights[k]);
    }
    countsDropped_ = false;
}

bool ContextQuantizer::coveredBefore(int pass, float slope) const
{
    if (!(slope > 0.0f) || !(weight_ > 0.0f) || !std::isfinite(weight_))
        return false;
    // At a layer's end: the whole layer's slope, as its passes' slopes often rise from one to the next.
    if (pass >= kPassesPerLayer && pass % kPassesPerLayer == 0) {
        float rate = 0.0f;
        float lowered = 0.0f;
        for (int j = pass - kPassesPerLayer; j < pass; ++j) {
            rate += passRates_[static_cast<std::size_t>(j)];
            lowered -= passChanges_[static_cast<std::size_t>(j)];
        }
        if (rate > 0.0f && weight_ * lowered < slope * rate)
            return true;
    }
    // After any two passes in a row that each lowered it by less: one of a layer's passes does better than the
    // others, rarely the third after two that did not.
    if (pass >= 2) {
        bool below = true;
        for (int j = pass - 2; j < pass; ++j) {
            const float rate = passRates_[static_cast<std::size_t>(j)];
            const float lowered = -passChanges_[static_cast<std::size_t>(j)];
            below = below && rate > 0.0f && weight_ * lowered < slope * rate;
        }
        if (below)
            return true;
    }
    // The precisions 0 ... pass, summed as rateDistortion sums them, and the best cost among them as the
    // allocator computes it.
    float r = 0.0f;
    float d = baseDistortion_;
    float best = std::numeric_limits<float>::infinity();
    double sums = std::fabs(static_cast<double>(d));
    for (int j = 0; j <= pass; ++j) {
        const float cost = slope * r + d * weight_;
        if (cost < best)
            best = cost;
        if (j == pass)
            break;
        r += passRates_[static_cast<std::size_t>(j)];
        d += passChanges_[static_cast<std::size_t>(j)];
        sums += std::fabs(static_cast<double>(d)) + std::fabs(static_cast<double>(passChanges_[static_cast<std::size_t>(j)]));
    }
    // Every later precision has a rate of at least r. Its distortion, the squared error of residuals that never
    // again exceed twice this layer's threshold, is a sum that is never negative, computed with at most a
    // rounding error of 2^-24 of every partial sum and term: the priced ones (at most 2^-20 of `sums`, with
    // room), the later ones (below 2^-8 of count * threshold^2 for at most 120 more terms, each of at most 12
    // count * threshold^2). The cost of a later precision is at least slope * r less twice its weighted bound.
    const double t = static_cast<double>(layerThreshold(pass / kPassesPerLayer));
    const double bound = 0x1p-20 * sums + 0x1p-8 * static_cast<double>(count_) * t * t;
    const double floor = static_cast<double>(slope * r) - 2.0 * static_cast<double>(weight_) * bound;
    return std::isfinite(floor) && floor >= static_cast<double>(best);
}

bool ContextQuantizer::coversSlope(float slope) const { return !paused_ || coveredBefore(passesCoded_, slope); }

std::int64_t ContextQuantizer::codeBits(int precision) const
{
    if (empty() || precision <= 0 || code_ == nullptr)
        return 0;
    NUBO_CHECK(static_cast<std::size_t>(precision) < code_->ends.size(), "the band's code holds only priced precisions");
    return code_->length(static_cast<std::size_t>(precision));
}

std::int64_t ContextQuantizer::codeRate(int precision) const
{
    const std::int64_t bits = codeBits(precision);
    return precision <= 0 ? 0 : bits + gammaBits(static_cast<std::uint32_t>(std::min(bits, kMaxCodeBits)) + 1);
}

void ContextQuantizer::encode(EncoderStream& stream, int precision)
{
    if (codeBits(precision) == 0)
        return;
    const BinaryRangeEncoder::Ending& end = code_->ends[static_cast<std::size_t>(precision)];
    stream.bits.putBytes(code_->bytes, end.bytes);
    BinaryRangeEncoder::writeEnding(stream.bits, end);
}

void ContextQuantizer::writeHeader(EncoderStream& stream, int precision)
{
    if (empty())
        precision = 0;
    writeNonnegative(stream.bits, precision);
    if (orientation_ == Orientation::LowPass)
        writeInteger(stream.bits, meanCode_);
    if (precision >= 1) {
        writeInteger(stream.bits, exponent_);
        writeNonnegative(stream.bits, static_cast<std::int32_t>(codeBits(precision)));
    }
}

int ContextQuantizer::headerBits(int precision) const
{
    if (empty())
        precision = 0;
    int bits = gammaBits(static_cast<std::uint32_t>(precision) + 1);
    if (orientation_ == Orientation::LowPass)
        bits += integerBits(meanCode_);
    if (precision >= 1)
        bits += integerBits(exponent_);
    return bits;
}

bool ContextQuantizer::readHeader(DecoderStream& stream, int& precision)
{
    precision = readNonnegative(stream.bits);
    if (stream.bits.failed())
        return false;
    return readHeaderAfterPrecision(stream, precision, true);
}

bool ContextQuantizer::readHeaderAfterPrecision(DecoderStream& stream, int precision, bool bandCodes)
{
    if (precision < 0 || precision >= precisionCount_) {
        stream.bits.fail("corrupt stream: precision " + std::to_string(precision) + " above the largest, "
                         + std::to_string(precisionCount_ - 1));
        return false;
    }
    meanCode_ = 0;
    if (orientation_ == Orientation::LowPass) {
        meanCode_ = readInteger(stream.bits);
        if (meanCode_ >= kMeanCodeLimit || meanCode_ <= -kMeanCodeLimit) {
            stream.bits.fail("corrupt stream: low-pass mean out of range");
            return false;
        }
    }
    base_ = static_cast<float>(meanCode_) / kMeanScale;
    exponent_ = kNoExponent;
    headerCodeBits_ = 0;
    if (precision >= 1) {
        const std::int32_t e = readInteger(stream.bits);
        if (e < kMinExponent || e > kMaxExponent) {
            stream.bits.fail("corrupt stream: threshold exponent " + std::to_string(e) + " out of range");
            return false;
        }
        exponent_ = e;
        if (bandCodes)
            headerCodeBits_ = readNonnegative(stream.bits);
    }
    return !stream.bits.failed();
}

void ContextQuantizer::prepareDecode(float* data, std::int32_t count)
{
    if (count != width_ * height_)
        count = 0;
    prepareDecodeRows(data, count == 0 ? 0 : width_, count == 0 ? 0 : height_, width_);
}

void ContextQuantizer::prepareDecodeRows(float* origin, int width, int height, std::ptrdiff_t rowLength, bool zeroed)
{
    target_ = origin;
    source_ = nullptr;
    const bool fits = width == width_ && height == height_ && rowLength >= width_ && origin != nullptr;
    count_ = fits ? width_ * height_ : 0;
    rowLength_ = fits ? static_cast<std::size_t>(rowLength) : static_cast<std::size_t>(width_);
    const bool startsAtZero = std::bit_cast<std::uint32_t>(base_) == 0u;
    for (int y = 0; y < (fits && !(zeroed && startsAtZero) ? height_ : 0); ++y)
        std::fill_n(origin + static_cast<std::size_t>(y) * rowLength_, width_, base_);
    // The working arrays are set up by decode, and only for a band with passes to decode.
}

bool ContextQuantizer::startDecoding(BitInput& input, int precision)
{
    if (precision < 0 || precision >= precisionCount_) {
        input.fail("corrupt stream: precision " + std::to_string(precision) + " out of range");
        return false;
    }
    if (precision > 0 && (empty() || count_ != width_ * height_)) {
        input.fail("corrupt stream: a band without threshold has layers");
        return false;
    }
    if (precision > 0) {
        takeBuffers();
        resetState();
    }
    return true;
}

bool ContextQuantizer::decode(DecoderStream& stream, int precision)
{
    if (precision == 0)
        return startDecoding(stream.bits, precision);
    BitInput own = stream.bits;
    if (!decodeBandCode(own, precision)) {
        stream.bits.fail(own.failure());
        return false;
    }
    stream.bits.skipBits(headerCodeBits_);
    return true;
}

bool ContextQuantizer::decodeBandCode(BitInput& input, int precision, BandCoder coder)
{
    if (!startDecoding(input, precision))
        return false;
    if (precision == 0)
        return true;
    return coder == BandCoder::Range ? decodeRangeCode(input, precision) : decodeArithmeticCode(input, precision);
}

bool ContextQuantizer::decodeRangeCode(BitInput& input, int precision)
{
    // The code's bits, byte-aligned for the decoder, which reads zeros past them. Read a piece at a time, so
    // that a length beyond the input costs no more memory than the input has.
    std::string code;
    BitOutput collected(code);
    for (std::int64_t left = headerCodeBits_; left > 0 && !input.pastEnd();) {
        const int n = static_cast<int>(std::min<std::int64_t>(left, 24));
        collected.putBits(input.getBits(n), n);
        left -= n;
    }
    collected.padToByte();
    if (input.pastEnd()) {
        input.fail("truncated stream: it ends inside a band's code");
        return false;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(code.data());
    RangeDecodeIo<decltype(models_)> io{BinaryRangeDecoder(bytes, code.size()), models_};
    for (int q = 0; q < precision; ++q)
        codePass(io, q);
    if (!io.arith.consistent()) {
        input.fail("corrupt stream: a band's code that no encoder writes");
        return false;
    }
    return true;
}

bool ContextQuantizer::decodeArithmeticCode(BitInput& input, int precision)
{
    const std::int64_t start = input.bitsRead();
    ArithDecodeIo<decltype(countingModels_)> io{ArithDecoder(input), countingModels_};
    for (int q = 0; q < precision && !io.stopped(); ++q)
        codePass(io, q);
    if (input.failed())
        return false;
    const std::int64_t bits = input.bitsRead() - start - ArithEncoder::kDecoderLookahead;
    if (bits != headerCodeBits_) {
        input.fail("corrupt stream: the band's code ends after " + std::to_string(bits) + " bits, not the "
                   + std::to_string(headerCodeBits_) + " its header gives");
        return false;
    }
    return true;
}

bool ContextQuantizer::decodeFromPlaneCode(DecoderStream& stream, int precision)
{
    if (!startDecoding(stream.bits, precision))
        return false;
    if (precision == 0)
        return true;
    ArithDecoder& shared = stream.arithDecoder();
    ArithDecodeIo<decltype(countingModels_)> io{shared, countingModels_};
    bool whole = true;
    for (int q = 0; whole && q < precision; ++q) {
        codePass(io, q);
        if (stream.bits.pastEnd())
            stream.bits.fail("truncated stream: it ends before its last symbol");
        whole = !stream.bits.failed();
    }
    shared.resumeFrom(io.arith);
    return whole;
}

} // namespace nubo

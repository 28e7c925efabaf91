#include "roi/predictive_region_coder.h"

#include "common/limits.h"
#include "roi/predictive_range_coder.h"
#include "roi/stream_fields.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <istream>
#include <memory>
#include <ostream>

namespace nubo {

namespace {

// ---- Colour transform -------------------------------------------------------------------------------------------

// YCoCg-R (Malvar and Sullivan): Y in 0 ... 255, Co and Cg in -255 ... 255, exactly invertible with shifts.
struct Ycocg {
    int y;
    int co;
    int cg;
};

inline Ycocg forwardColour(int red, int green, int blue)
{
    const int co = red - blue;
    const int t = blue + (co >> 1);
    const int cg = green - t;
    return {t + (cg >> 1), co, cg};
}

// Writes blue, green, red. Out-of-range values (only a damaged code gives them) wrap to a byte.
inline void inverseColour(int y, int co, int cg, std::uint8_t* bgr)
{
    const int t = y - (cg >> 1);
    const int green = cg + t;
    const int blue = t - (co >> 1);
    const int red = blue + co;
    bgr[0] = static_cast<std::uint8_t>(blue);
    bgr[1] = static_cast<std::uint8_t>(green);
    bgr[2] = static_cast<std::uint8_t>(red);
}

// ---- Planes -----------------------------------------------------------------------------------------------------

// Luma takes 256 values, the chroma differences 511; errors are reduced modulo a power of two that covers them,
// so every error takes at most 9 bits and reconstruction is a mask.
struct PlaneRange {
    int low;
    int high;
    int modulus; // power of two, at least high - low + 1
    int middle;  // what a pixel with no neighbours is predicted to be
};

constexpr PlaneRange kPlaneRanges[3] = {{0, 255, 256, 128}, {-255, 255, 512, 0}, {-255, 255, 512, 0}};

// The error e (already reduced) folded to a non-negative number: 0, -1, 1, -2, 2 ... become 0, 1, 2, 3, 4 ...
inline int foldError(int e) { return static_cast<int>((static_cast<unsigned>(e) << 1) ^ static_cast<unsigned>(e >> 31)); }
inline int unfoldError(int v) { return (v >> 1) ^ -(v & 1); } // -((v + 1) >> 1) = ~(v >> 1) for odd v

inline int reduceError(int e, int modulus) { return ((e + modulus / 2) & (modulus - 1)) - modulus / 2; }
inline int wrapValue(int v, const PlaneRange& range)
{
    return ((v - range.low) & (range.modulus - 1)) + range.low;
}

// ---- Tokens -----------------------------------------------------------------------------------------------------

// A folded error v is coded as a token and raw bits: v below 16 is its own token; above, the token holds the
// position of v's leading bit and the two bits after it, and the bits below those follow at equal probability.
constexpr int kDirectTokens = 16;
constexpr int kTokenCount = kDirectTokens + 5 * 4; // leading bit 4 ... 8 (v up to 511)

struct Token {
    int token;
    int extraBits;
    std::uint32_t extra;
};

// Looked up rather than computed: whether v is below 16 is as good as random on photos, and a branch on it would
// be mispredicted.
struct TokenTable {
    std::array<std::uint8_t, 512> token{};
    std::array<std::uint8_t, 512> extraBits{};
    std::array<std::uint16_t, kTokenCount> base{};  // the smallest value of each token
    std::array<std::uint8_t, kTokenCount> bitsOf{}; // the raw bits each token takes
    constexpr TokenTable()
    {
        for (int v = 0; v < 512; ++v) {
            int t = v;
            int bits = 0;
            if (v >= kDirectTokens) {
                const int lead = std::bit_width(static_cast<unsigned>(v)) - 1; // 4 ... 8
                bits = lead - 2;
                t = kDirectTokens + (lead - 4) * 4 + ((v >> bits) & 3);
            }
            token[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(t);
            extraBits[static_cast<std::size_t>(v)] = static_cast<std::uint8_t>(bits);
            if (bits == 0 || (v & ((1 << bits) - 1)) == 0) {
                base[static_cast<std::size_t>(t)] = static_cast<std::uint16_t>(v);
                bitsOf[static_cast<std::size_t>(t)] = static_cast<std::uint8_t>(bits);
            }
        }
    }
};
constexpr TokenTable kTokens;

inline Token tokenOf(int v)
{
    const auto at = static_cast<std::size_t>(v);
    const int extraBits = kTokens.extraBits[at];
    return {kTokens.token[at], extraBits, static_cast<std::uint32_t>(v) & ((1u << extraBits) - 1)};
}

inline int extraBitsOf(int token) { return kTokens.bitsOf[static_cast<std::size_t>(token)]; }

inline int valueOf(int token, std::uint32_t extra)
{
    return kTokens.base[static_cast<std::size_t>(token)] | static_cast<int>(extra);
}

// ---- Contexts ---------------------------------------------------------------------------------------------------

// The error energy (gradients plus recent error magnitudes) picks one of kEnergyLevels coding contexts.
constexpr int kEnergyLevels = 16;
constexpr int kEnergyThresholds[kEnergyLevels - 1] = {2, 4, 6, 9, 13, 18, 24, 32, 42, 56, 74, 98, 130, 180, 260};
constexpr int kEnergyCap = 1024;

struct EnergyTable {
    std::array<std::uint8_t, kEnergyCap + 1> level{};
    constexpr EnergyTable()
    {
        int q = 0;
        for (int d = 0; d <= kEnergyCap; ++d) {
            while (q < kEnergyLevels - 1 && d >= kEnergyThresholds[q])
                ++q;
            level[static_cast<std::size_t>(d)] = static_cast<std::uint8_t>(q);
        }
    }
};
constexpr EnergyTable kEnergy;

inline int energyLevel(int energy) { return kEnergy.level[static_cast<std::size_t>(std::min(energy, kEnergyCap))]; }

// Bias cancellation as in CALIC: per context of 8 texture bits and 4 energy bands, the mean of the errors seen
// there (a running sum and count, both halved when the count reaches kBiasReset) is added to the prediction. The
// mean is sum x 2^16 / count rounded down, through a table of reciprocals, so that no division is needed.
constexpr int kBiasContexts = 256 * 4;
constexpr int kBiasReset = 64;

struct ReciprocalTable {
    std::array<std::int32_t, kBiasReset + 1> value{};
    constexpr ReciprocalTable()
    {
        for (int n = 1; n <= kBiasReset; ++n)
            value[static_cast<std::size_t>(n)] = (1 << 16) / n;
    }
};
constexpr ReciprocalTable kReciprocal;

struct BiasCell {
    std::int16_t sum = 0;
    std::int16_t count = 1;
    int correction() const { return (sum * kReciprocal.value[static_cast<std::size_t>(count)]) >> 16; }
    void learn(int e)
    {
        // Halved without a branch: the reset comes once in 32 samples of a context, at no predictable time.
        const int halve = static_cast<int>(count + 1 == kBiasReset);
        const int s = (sum + e) >> halve;
        const int n = (count + 1) >> halve;
        sum = static_cast<std::int16_t>(s);
        count = static_cast<std::int16_t>(n);
    }
};

struct PlaneModel {
    std::array<BiasCell, kBiasContexts> bias;
    std::array<FrequencyModel<kTokenCount>, kEnergyLevels> tokens;
};

// ---- Prediction -------------------------------------------------------------------------------------------------

// CALIC's gradient-adjusted prediction from the causal neighbours W, WW, N, NW, NE, NN, NNE, in eighths, rounded to
// an integer:
//   dh = |W - WW| + |N - NW| + |N - NE|,  dv = |W - NW| + |N - NN| + |NE - NNE|,  diff = dv - dh;
//   the blend t = (W + N) / 2 + (NE - NW) / 4 moves toward W (a horizontal edge, diff > 0) or N (diff < 0): all the
//   way beyond 80, half way beyond 32, a quarter beyond 8.
// The terms that involve only the rows above are gathered for a whole row before it is coded (RowTerms), so that
// the step of each pixel adds only those of W and WW.

// The eight texture samples of a pixel, each compared with its prediction: N, W, NW, NE, NN, WW, 2N - NN, 2W - WW
// give bits 0 to 7. All fit 16 bits (the planes span -255 ... 255, the doubled differences three times that).
constexpr int kTextureLanes = 8;

#if defined(__SSE2__)
// The lanes of the rows above come from the row terms; W, WW and 2W - WW go into lanes 1, 5 and 7.
inline int textureOf(const std::int16_t* lanes, int w, int ww, int p)
{
    __m128i samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lanes));
    samples = _mm_insert_epi16(samples, w, 1);
    samples = _mm_insert_epi16(samples, ww, 5);
    samples = _mm_insert_epi16(samples, 2 * w - ww, 7);
    const __m128i below = _mm_cmpgt_epi16(_mm_set1_epi16(static_cast<std::int16_t>(p)), samples);
    return _mm_movemask_epi8(_mm_packs_epi16(below, below)) & 0xFF;
}
#else
inline int textureOf(const std::int16_t* lanes, int w, int ww, int p)
{
    return (lanes[0] < p) | ((w < p) << 1) | ((lanes[2] < p) << 2) | ((lanes[3] < p) << 3) | ((lanes[4] < p) << 4)
        | ((ww < p) << 5) | ((lanes[6] < p) << 6) | ((2 * w - ww < p) << 7);
}
#endif

// Moves the blend in eighths toward the target by the share the gradient difference calls for: CALIC's
// (t8 + target) / 2 and (3 t8 + target) / 4 rounded down are t8 + (2 (target - t8)) / 4 and t8 + (target - t8) / 4,
// so one table of weights 4, 2, 1, 0 (by |diff| above 80, 32, 8, or not) stands for the three comparisons and
// their branches, which photos would mispredict.
struct BlendWeights {
    std::array<std::uint8_t, 82> weight{};
    constexpr BlendWeights()
    {
        for (int a = 0; a <= 81; ++a)
            weight[static_cast<std::size_t>(a)] = static_cast<std::uint8_t>(a > 80 ? 4 : a > 32 ? 2 : a > 8 ? 1 : 0);
    }
};
constexpr BlendWeights kBlend;

inline int blendedPrediction(int t8, int target8, int diff)
{
    const int weight = kBlend.weight[static_cast<std::size_t>(std::min(std::abs(diff), 81))];
    const int p8 = t8 + (((target8 - t8) * weight) >> 2);
    return (p8 + 4) >> 3;
}

// ---- Row coding -------------------------------------------------------------------------------------------------

// |v| spelt out with shifts: SSE2 has no vector abs of 32-bit lanes, and this form vectorises there.
inline int magnitude(int v)
{
    const int sign = v >> 31;
    return (v ^ sign) - sign;
}

// The terms of the rows above (N the row above, NN the one above it, errorsAbove the error magnitudes of N) for
// every column of a row: see PlaneRows.
void gatherRowTerms(const int* __restrict n, const int* __restrict nn, const int* __restrict errorsAbove,
                    int* __restrict sum, int* __restrict diff, int* __restrict blend, std::int16_t* __restrict lane,
                    int width)
{
    for (int x = 0; x < width; ++x) {
        const int horizontal = magnitude(n[x] - n[x - 1]) + magnitude(n[x] - n[x + 1]);
        const int vertical = magnitude(n[x] - nn[x]) + magnitude(n[x + 1] - nn[x + 1]);
        sum[x] = horizontal + vertical + errorsAbove[x];
        diff[x] = vertical - horizontal;
        blend[x] = 4 * n[x] + 2 * (n[x + 1] - n[x - 1]);
    }
    int x = 0;
#if defined(__SSE2__)
    // Eight columns at a time: the five samples as rows of eight, zero rows for W, WW and 2W - WW, transposed.
    const auto load = [](const int* at) {
        return _mm_packs_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)),
                               _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 4)));
    };
    const __m128i zero = _mm_setzero_si128();
    for (; x + 8 <= width; x += 8, lane += 8 * kTextureLanes) {
        const __m128i north = load(n + x);
        const __m128i northNorth = load(nn + x);
        const __m128i t0 = _mm_unpacklo_epi16(north, zero);
        const __m128i t1 = _mm_unpackhi_epi16(north, zero);
        const __m128i nw = load(n + x - 1);
        const __m128i ne = load(n + x + 1);
        const __m128i t2 = _mm_unpacklo_epi16(nw, ne);
        const __m128i t3 = _mm_unpackhi_epi16(nw, ne);
        const __m128i t4 = _mm_unpacklo_epi16(northNorth, zero);
        const __m128i t5 = _mm_unpackhi_epi16(northNorth, zero);
        const __m128i doubled = _mm_sub_epi16(_mm_add_epi16(north, north), northNorth);
        const __m128i t6 = _mm_unpacklo_epi16(doubled, zero);
        const __m128i t7 = _mm_unpackhi_epi16(doubled, zero);
        const __m128i u0 = _mm_unpacklo_epi32(t0, t2);
        const __m128i u1 = _mm_unpackhi_epi32(t0, t2);
        const __m128i u2 = _mm_unpacklo_epi32(t1, t3);
        const __m128i u3 = _mm_unpackhi_epi32(t1, t3);
        const __m128i u4 = _mm_unpacklo_epi32(t4, t6);
        const __m128i u5 = _mm_unpackhi_epi32(t4, t6);
        const __m128i u6 = _mm_unpacklo_epi32(t5, t7);
        const __m128i u7 = _mm_unpackhi_epi32(t5, t7);
        __m128i* out = reinterpret_cast<__m128i*>(lane);
        _mm_storeu_si128(out + 0, _mm_unpacklo_epi64(u0, u4));
        _mm_storeu_si128(out + 1, _mm_unpackhi_epi64(u0, u4));
        _mm_storeu_si128(out + 2, _mm_unpacklo_epi64(u1, u5));
        _mm_storeu_si128(out + 3, _mm_unpackhi_epi64(u1, u5));
        _mm_storeu_si128(out + 4, _mm_unpacklo_epi64(u2, u6));
        _mm_storeu_si128(out + 5, _mm_unpackhi_epi64(u2, u6));
        _mm_storeu_si128(out + 6, _mm_unpacklo_epi64(u3, u7));
        _mm_storeu_si128(out + 7, _mm_unpackhi_epi64(u3, u7));
    }
#endif
    for (; x < width; ++x, lane += kTextureLanes) {
        lane[0] = static_cast<std::int16_t>(n[x]);
        lane[2] = static_cast<std::int16_t>(n[x - 1]);
        lane[3] = static_cast<std::int16_t>(n[x + 1]);
        lane[4] = static_cast<std::int16_t>(nn[x]);
        lane[6] = static_cast<std::int16_t>(2 * n[x] - nn[x]);
    }
}

// For the encoder, which knows the whole row beforehand: the prediction, texture bits and the energy's share of
// the neighbours of every column, in one loop without dependences from one column to the next. The same
// arithmetic as blendedPrediction and textureOf (the weight 0, 1, 2 or 4 as a sum of selected differences).
void predictColumns(const int* __restrict cur, const int* __restrict n, const int* __restrict nn,
                    const int* __restrict sumAbove, const int* __restrict diffAbove, const int* __restrict blendAbove,
                    int* __restrict predicted, int* __restrict texture, int* __restrict energy, int width)
{
    for (int x = 0; x < width; ++x) {
        const int w = cur[x - 1];
        const int ww = cur[x - 2];
        const int north = n[x];
        const int northNorth = nn[x];
        const int nearW = magnitude(w - ww);
        const int nearNW = magnitude(w - n[x - 1]);
        const int diff = nearNW - nearW + diffAbove[x];
        energy[x] = nearW + nearNW + sumAbove[x];
        const int t8 = 4 * w + blendAbove[x];
        const int toward = 8 * (diff > 0 ? w : north) - t8;
        const int a = magnitude(diff);
        const int moved = (a > 8 ? toward : 0) + (a > 32 ? toward : 0) + (a > 80 ? 2 * toward : 0);
        const int p = (t8 + (moved >> 2) + 4) >> 3;
        predicted[x] = p;
        texture[x] = (north < p) | ((w < p) << 1) | ((n[x - 1] < p) << 2) | ((n[x + 1] < p) << 3)
            | ((northNorth < p) << 4) | ((ww < p) << 5) | ((2 * north - northNorth < p) << 6) | ((2 * w - ww < p) << 7);
    }
}

// Three rows of a plane (two above the current one), with two columns of padding on either side, and the terms
// of the rows above for every column of the current row.
constexpr int kPad = 2;

class PlaneRows {
public:
    explicit PlaneRows(int width)
        : width_(width), storage_(3 * static_cast<std::size_t>(width + 2 * kPad), 0),
          errors_(2 * static_cast<std::size_t>(width + 2 * kPad), 0), gradientSum_(static_cast<std::size_t>(width)),
          gradientDiff_(static_cast<std::size_t>(width)), blend_(static_cast<std::size_t>(width)),
          lanes_(static_cast<std::size_t>(width) * kTextureLanes, 0), predicted_(static_cast<std::size_t>(width)),
          texture_(static_cast<std::size_t>(width)), energy_(static_cast<std::size_t>(width))
    {
        for (int i = 0; i < 3; ++i)
            rows_[i] = storage_.data() + static_cast<std::size_t>(i) * (width + 2 * kPad) + kPad;
        for (int i = 0; i < 2; ++i)
            errorRows_[i] = errors_.data() + static_cast<std::size_t>(i) * (width + 2 * kPad) + kPad;
    }

    int* current() { return rows_[0]; }
    const int* above() const { return rows_[1]; }
    int* currentErrors() { return errorRows_[0]; }

    // Of the rows above, per column: |N - NW| + |N - NE| + |N - NN| + |NE - NNE| plus the error magnitude above
    // (the energy's share), (|N - NN| + |NE - NNE|) - (|N - NW| + |N - NE|) (the gradient difference's share),
    // 4 N + 2 (NE - NW) (the blend's share, in eighths) and the texture lanes.
    const int* gradientSum() const { return gradientSum_.data(); }
    const int* gradientDiff() const { return gradientDiff_.data(); }
    const int* blend() const { return blend_.data(); }
    const std::int16_t* lanes(int x) const { return lanes_.data() + static_cast<std::size_t>(x) * kTextureLanes; }

    // Before a row below the first: the neighbours left of column 0 repeat the pixel above it, and the terms of
    // the rows above are gathered (a loop without dependences from one column to the next).
    void startRow()
    {
        rows_[0][-1] = rows_[0][-2] = rows_[1][0];
        errorRows_[0][-1] = errorRows_[1][0];
        gatherRowTerms(rows_[1], rows_[2], errorRows_[1], gradientSum_.data(), gradientDiff_.data(), blend_.data(),
                       lanes_.data(), width_);
    }

    // After startRow, once the current row holds its samples (the encoder): the prediction, texture bits and
    // neighbours' energy of every column.
    void predictRow()
    {
        predictColumns(rows_[0], rows_[1], rows_[2], gradientSum_.data(), gradientDiff_.data(), blend_.data(),
                   predicted_.data(), texture_.data(), energy_.data(), width_);
    }
    const int* predicted() const { return predicted_.data(); }
    const int* texture() const { return texture_.data(); }
    const int* energy() const { return energy_.data(); }

    void startFirstRow(int middle)
    {
        rows_[0][-1] = rows_[0][-2] = middle;
        errorRows_[0][-1] = 0;
    }

    // After a row: it becomes the row above, its right padding repeating its last pixel. After the first row
    // the row two above is the same row.
    void finishRow(bool first)
    {
        int* done = rows_[0];
        done[width_] = done[width_ + 1] = done[width_ - 1];
        errorRows_[0][width_] = errorRows_[0][width_ - 1];
        if (first) {
            std::copy(done - kPad, done + width_ + kPad, rows_[2] - kPad);
            std::swap(rows_[0], rows_[1]);
        } else {
            int* oldest = rows_[2];
            rows_[2] = rows_[1];
            rows_[1] = rows_[0];
            rows_[0] = oldest;
        }
        std::swap(errorRows_[0], errorRows_[1]);
    }

private:
    int width_;
    std::vector<int> storage_;
    std::vector<int> errors_;
    std::vector<int> gradientSum_;
    std::vector<int> gradientDiff_;
    std::vector<int> blend_;
    std::vector<std::int16_t> lanes_;
    std::vector<int> predicted_;
    std::vector<int> texture_;
    std::vector<int> energy_;
    int* rows_[3];
    int* errorRows_[2];
};

// The shared model of encoder and decoder: one step codes (or decodes) the sample of plane c at column x.
class PredictiveModel {
public:
    explicit PredictiveModel(int width) : rows_{PlaneRows(width), PlaneRows(width), PlaneRows(width)}
    {
        planes_ = std::make_unique<PlaneModel[]>(3);
    }

    PlaneRows& rows(int c) { return rows_[c]; }

    // Codes plane c's sample at column x of the current row. For the encoder `value` is the sample; the decoder
    // passes the coder, and the sample decoded is returned. `crossEnergy` adds what the planes already coded at
    // this pixel say about it.
    template <bool FirstRow, class Coder>
    [[gnu::always_inline]] int step(Coder& coder, int c, int x, int value, int crossEnergy)
    {
        PlaneRows& rows = rows_[c];
        const PlaneRange& range = kPlaneRanges[c];
        int* cur = rows.current();
        int* errors = rows.currentErrors();
        const int w = cur[x - 1];
        const int errorW = errors[x - 1];
        int predictedValue;
        int texture;
        int energy;
        if constexpr (FirstRow) {
            const int ww = cur[x - 2];
            predictedValue = w;
            texture = (w < ww) ? 1 : 0;
            energy = 2 * std::abs(w - ww) + 2 * errorW + crossEnergy;
        } else if constexpr (Coder::kEncodes) {
            predictedValue = rows.predicted()[x];
            texture = rows.texture()[x];
            energy = rows.energy()[x] + 2 * errorW + crossEnergy;
        } else {
            const int ww = cur[x - 2];
            const int n = rows.above()[x];
            const int nearW = std::abs(w - ww);
            const int nearNW = std::abs(w - rows.above()[x - 1]);
            const int diff = nearNW - nearW + rows.gradientDiff()[x];
            energy = nearW + nearNW + rows.gradientSum()[x] + 2 * errorW + crossEnergy;
            predictedValue = blendedPrediction(4 * w + rows.blend()[x], 8 * (diff > 0 ? w : n), diff);
            texture = textureOf(rows.lanes(x), w, ww, predictedValue);
        }
        const int level = energyLevel(energy);
        PlaneModel& model = planes_[c];
        BiasCell& bias = model.bias[static_cast<std::size_t>(texture | ((level >> 2) << 8))];
        const int predicted = std::clamp(predictedValue + bias.correction(), range.low, range.high);
        FrequencyModel<kTokenCount>& tokens = model.tokens[static_cast<std::size_t>(level)];

        int e;
        if constexpr (Coder::kEncodes) {
            e = reduceError(value - predicted, range.modulus);
            const Token token = tokenOf(foldError(e));
            coder.range[c == 0 ? 0 : 1].encode(tokens, token.token);
            coder.bits.put(token.extra, token.extraBits); // nothing for a direct token
        } else {
            const int token = coder.range[c == 0 ? 0 : 1].decode(tokens);
            const std::uint32_t extra = coder.bits.get(extraBitsOf(token));
            e = unfoldError(valueOf(token, extra));
            value = wrapValue(predicted + e, range);
        }
        bias.learn(e);
        if constexpr (!Coder::kEncodes)
            cur[x] = value; // the encoder's rows hold their samples before they are coded
        errors[x] = std::abs(e);
        return value;
    }

private:
    PlaneRows rows_[3];
    std::unique_ptr<PlaneModel[]> planes_;
};

// The energy a plane passes on to the planes coded after it at the same pixel.
inline int crossEnergyOf(int errorMagnitude) { return errorMagnitude; }

// The code: the byte count L of the luma tokens' range code (7 bits a byte, least significant first, the top bit
// set on every byte but the last), those L bytes, the range code of the chroma tokens, then the raw bits stored
// back to front. Two range codes give the decoder two chains of work that do not wait for each other.
struct EncodingCoder {
    static constexpr bool kEncodes = true;
    EncodingCoder() : range{RangeEncoder(luma), RangeEncoder(chroma)} {}
    std::vector<std::uint8_t> luma;
    std::vector<std::uint8_t> chroma;
    RangeEncoder range[2];
    RawBitWriter bits;
};

constexpr int kMaxCountBytes = 5;

struct DecodingCoder {
    static constexpr bool kEncodes = false;
    DecodingCoder(const std::uint8_t* code, std::size_t length, std::size_t countBytes, std::size_t lumaBytes)
        : range{RangeDecoder(code + countBytes, lumaBytes),
                RangeDecoder(code + countBytes + lumaBytes, length - countBytes - lumaBytes)},
          bits(code, length), countBytes_(countBytes)
    {
    }
    std::size_t bytesRead() const
    {
        return countBytes_ + range[0].bytesRead() + range[1].bytesRead() + bits.bytesUsed();
    }
    RangeDecoder range[2];
    RawBitReader bits;

private:
    std::size_t countBytes_;
};

// Reads the luma code's byte count; false when it is malformed or larger than the code.
bool readLumaCount(const std::uint8_t* code, std::size_t length, std::size_t& countBytes, std::size_t& lumaBytes)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < length && i < kMaxCountBytes; ++i) {
        value |= std::uint64_t{code[i] & 0x7Fu} << (7 * i);
        if ((code[i] & 0x80u) == 0) {
            countBytes = i + 1;
            if (value > length - countBytes)
                return false;
            lumaBytes = static_cast<std::size_t>(value);
            return true;
        }
    }
    return false;
}

// Rows are coded in buffer order, pixels left to right, and at each pixel luma, then Co, then Cg.
// Kept out of line: its three inlined steps are all the registers the loop has.
template <bool FirstRow>
[[gnu::noinline]] void encodeRow(PredictiveModel& model, EncodingCoder& coder, const std::uint8_t* bgr, int width)
{
    int* y = model.rows(0).current();
    int* co = model.rows(1).current();
    int* cg = model.rows(2).current();
    for (int x = 0; x < width; ++x, bgr += 3) {
        const Ycocg colour = forwardColour(bgr[2], bgr[1], bgr[0]);
        y[x] = colour.y;
        co[x] = colour.co;
        cg[x] = colour.cg;
    }
    for (int c = 0; c < 3; ++c) {
        if constexpr (FirstRow) {
            model.rows(c).startFirstRow(kPlaneRanges[c].middle);
        } else {
            model.rows(c).startRow();
            model.rows(c).predictRow();
        }
    }
    int* e0 = model.rows(0).currentErrors();
    int* e1 = model.rows(1).currentErrors();
    for (int x = 0; x < width; ++x) {
        model.step<FirstRow>(coder, 0, x, y[x], 0);
        model.step<FirstRow>(coder, 1, x, co[x], crossEnergyOf(e0[x]));
        model.step<FirstRow>(coder, 2, x, cg[x], crossEnergyOf(e0[x] + e1[x]));
    }
    for (int c = 0; c < 3; ++c)
        model.rows(c).finishRow(FirstRow);
}

template <bool FirstRow>
[[gnu::noinline]] void decodeRow(PredictiveModel& model, DecodingCoder& coder, std::uint8_t* bgr, int width)
{
    for (int c = 0; c < 3; ++c) {
        if constexpr (FirstRow)
            model.rows(c).startFirstRow(kPlaneRanges[c].middle);
        else
            model.rows(c).startRow();
    }
    int* e0 = model.rows(0).currentErrors();
    int* e1 = model.rows(1).currentErrors();
    for (int x = 0; x < width; ++x, bgr += 3) {
        const int y = model.step<FirstRow>(coder, 0, x, 0, 0);
        const int co = model.step<FirstRow>(coder, 1, x, 0, crossEnergyOf(e0[x]));
        const int cg = model.step<FirstRow>(coder, 2, x, 0, crossEnergyOf(e0[x] + e1[x]));
        inverseColour(y, co, cg, bgr);
    }
    for (int c = 0; c < 3; ++c)
        model.rows(c).finishRow(FirstRow);
}

std::string sizeText(std::int64_t width, std::int64_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

} // namespace

std::int64_t minPredictiveCodeBytes(std::int64_t width, std::int64_t height)
{
    // The likeliest token keeps at most 2^15 - 35 of 2^15, so every sample costs more than 1/700 bit; a flat
    // region costs about one byte per 3500 samples. The code holds at least the luma count and two range codes
    // of 4 bytes.
    return width * height * 3 / 8192 + 9;
}

std::int64_t maxPredictiveCodeBytes(std::int64_t width, std::int64_t height)
{
    // A token costs at most 15 bits (its scaled frequency is at least 1 in 2^15), its raw bits at most 6, and
    // each coded piece at most one byte of rounding on top; the coder ends with 4 bytes.
    return width * height * 3 * 6 + 4;
}

std::vector<std::uint8_t> encodePredictiveCode(const RasterImage& region)
{
    const int width = region.width();
    const int height = region.height();
    EncodingCoder coder;
    coder.luma.reserve(static_cast<std::size_t>(region.size()) / 6 + 64);
    coder.chroma.reserve(static_cast<std::size_t>(region.size()) / 4 + 64);
    PredictiveModel model(width);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* bgr = region.data() + stride * static_cast<std::size_t>(row);
        if (row == 0)
            encodeRow<true>(model, coder, bgr, width);
        else
            encodeRow<false>(model, coder, bgr, width);
    }
    coder.range[0].finish();
    coder.range[1].finish();
    std::vector<std::uint8_t> code;
    code.reserve(kMaxCountBytes + coder.luma.size() + coder.chroma.size() + region.size() / 8);
    for (std::size_t count = coder.luma.size();; count >>= 7) {
        const auto low = static_cast<std::uint8_t>(count & 0x7Fu);
        if (count < 0x80u) {
            code.push_back(low);
            break;
        }
        code.push_back(static_cast<std::uint8_t>(low | 0x80u));
    }
    code.insert(code.end(), coder.luma.begin(), coder.luma.end());
    code.insert(code.end(), coder.chroma.begin(), coder.chroma.end());
    coder.bits.appendTo(code);
    return code;
}

Status decodePredictiveCode(const std::uint8_t* code, std::size_t length, int width, int height, RasterImage& region)
{
    if (!imageSizeAllowed(width, height))
        return failure("region size " + sizeText(width, height) + " is outside the picture limits");
    RasterImage decoded;
    if (!decoded.allocate(width, height))
        return failure("cannot hold a region of " + sizeText(width, height) + " pixels");
    std::size_t countBytes = 0;
    std::size_t lumaBytes = 0;
    if (!readLumaCount(code, length, countBytes, lumaBytes))
        return failure("the code does not begin with the length of its luma part");
    DecodingCoder coder(code, length, countBytes, lumaBytes);
    PredictiveModel model(width);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    for (int row = 0; row < height; ++row) {
        std::uint8_t* bgr = decoded.data() + stride * static_cast<std::size_t>(row);
        if (row == 0)
            decodeRow<true>(model, coder, bgr, width);
        else
            decodeRow<false>(model, coder, bgr, width);
        // A code shorter than its region runs dry long before the end: stop reading zeros at once.
        if (coder.bytesRead() > length)
            return failure("the code ends before the region of " + sizeText(width, height) + " pixels does");
    }
    // The decoder takes exactly the bytes the encoder wrote.
    if (coder.range[0].bytesRead() != lumaBytes || coder.bytesRead() != length)
        return failure("the code does not match a region of " + sizeText(width, height) + " pixels");
    region = std::move(decoded);
    return {};
}

Status encodePredictiveRegion(const RasterImage& region, std::ostream& out)
{
    if (!region.isValid())
        return failure("cannot code an empty region losslessly");
    const std::vector<std::uint8_t> code = encodePredictiveCode(region);
    writeField(out, static_cast<std::int64_t>(code.size()));
    writeField(out, region.width());
    writeField(out, region.height());
    out.write(reinterpret_cast<const char*>(code.data()), static_cast<std::streamsize>(code.size()));
    if (!out)
        return failure("cannot write the predictive lossless payload");
    return {};
}

Status decodePredictiveRegion(RasterImage& region, std::istream& in)
{
    std::int64_t codeBytes = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
    if (!readField(in, codeBytes) || !readField(in, width) || !readField(in, height))
        return failure("damaged predictive payload: a code byte count, width or height with its \";\" is "
                       "missing");
    if (!imageSizeAllowed(width, height))
        return failure("damaged predictive payload: region size " + sizeText(width, height)
                + " is outside the picture limits");
    if (codeBytes < minPredictiveCodeBytes(width, height) || codeBytes > maxPredictiveCodeBytes(width, height))
        return failure("damaged predictive payload: " + std::to_string(codeBytes)
                + " code bytes cannot hold a region of " + sizeText(width, height) + " pixels");
    std::string code;
    if (!readBytes(in, codeBytes, code))
        return failure("truncated predictive payload: the stream ends inside the code bytes");
    return decodePredictiveCode(reinterpret_cast<const std::uint8_t*>(code.data()), code.size(),
                                static_cast<int>(width), static_cast<int>(height), region)
        .withContext("damaged predictive payload");
}

} // namespace nubo

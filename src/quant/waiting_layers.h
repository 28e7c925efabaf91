#pragma once

#include "wavelet/pricing_model.h"

#include <cstdint>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define NUBO_WAITING_AVX2 1
#else
#define NUBO_WAITING_AVX2 0
#endif

namespace nubo {

// What a joint pricing walk over up to kLanes layers of a high-pass band keeps per layer, one array per field so
// that the layers a waiting coefficient passes through can be priced side by side: each layer's rate and
// distortion change sums, and the counts and total of its waiting model (context 0, which only waiting and
// just-significant coefficients use).
struct WaitingLayers {
    static constexpr int kLanes = 16;

    alignas(32) float thresholds[kLanes] = {}; // each layer's T
    alignas(32) float rates[kLanes] = {};
    alignas(32) float changes[kLanes] = {};
    alignas(32) std::int32_t counts[3][kLanes] = {};
    alignas(32) std::int32_t totals[kLanes] = {};

    void load(int lane, const PricingModel& m)
    {
        for (int s = 0; s < 3; ++s)
            counts[s][lane] = m.counts[s];
        totals[lane] = m.total;
    }
    void store(int lane, PricingModel& m) const
    {
        for (int s = 0; s < 3; ++s)
            m.counts[s] = counts[s][lane];
        m.total = totals[lane];
    }

    // PricingModel::halve on one lane's model.
    void halve(int lane)
    {
        std::int32_t sum = 0;
        for (auto& symbolCounts : counts) {
            std::int32_t& c = symbolCounts[lane];
            if (c != 0)
                c = c > 1 ? c / 2 : 1;
            sum += c;
        }
        totals[lane] = sum;
    }

    // The cost of `symbol` (0..2) in one lane's model from the cost table (every total below its end), then the
    // model's update: what LayeredSymbolCoder::priceAndUpdateIn<true> does on a PricingModel.
    float priceAndUpdate(const float* costs, std::int32_t maxTotal, int lane, int symbol)
    {
        const auto t = static_cast<std::uint32_t>(totals[lane]);
        const float bits = costs[t * (t + 1) / 2 + static_cast<std::uint32_t>(counts[symbol][lane])];
        ++counts[symbol][lane];
        if (++totals[lane] >= maxTotal)
            halve(lane);
        return bits;
    }
};

// How many of the first `lanes` layers a waiting coefficient of this magnitude waits through: the leading ones
// whose threshold it does not pass (|r| > T exactly when r > T or r < -T, and neither holds for NaN).
[[gnu::always_inline]] inline int leadingWaitsScalar(const WaitingLayers& w, int lanes, float magnitude)
{
    int k = 0;
    while (k < lanes && !(magnitude > w.thresholds[k]))
        ++k;
    return k;
}

// A waiting coefficient with error e priced in layers 0..lanes-1, each taking symbol 0 of its waiting model: the
// change sum moves by -e then +e (each step rounded to float), the rate sum by the symbol's cost, and the model is
// updated. One layer after another, each on its own values only.
[[gnu::always_inline]] inline void priceWaitingScalar(WaitingLayers& w, int lanes, double e, const float* costs,
                                                       std::int32_t maxTotal)
{
    for (int k = 0; k < lanes; ++k) {
        const auto less = static_cast<float>(static_cast<double>(w.changes[k]) - e);
        w.changes[k] = static_cast<float>(static_cast<double>(less) + e);
        w.rates[k] += w.priceAndUpdate(costs, maxTotal, k, 1);
    }
}

#if NUBO_WAITING_AVX2
// leadingWaitsScalar by comparing with sixteen thresholds at once (ordered compares: false for NaN, as `>`).
__attribute__((target("avx2"))) inline int leadingWaitsAvx2(const WaitingLayers& w, int lanes, float magnitude)
{
    static_assert(WaitingLayers::kLanes == 16, "two compares cover the lanes");
    const __m256 m = _mm256_set1_ps(magnitude);
    const auto low = static_cast<unsigned>(
        _mm256_movemask_ps(_mm256_cmp_ps(m, _mm256_load_ps(w.thresholds), _CMP_GT_OQ)));
    const auto high = static_cast<unsigned>(
        _mm256_movemask_ps(_mm256_cmp_ps(m, _mm256_load_ps(w.thresholds + 8), _CMP_GT_OQ)));
    return __builtin_ctz(low | (high << 8) | (1u << lanes));
}

// priceWaitingScalar with eight layers to an instruction: every lane does the same IEEE operations in the same
// order on its own layer's values (double subtract and add each rounded to float, a float add of the cost), and
// lanes at or beyond `lanes` are left exactly as they were.
__attribute__((target("avx2"))) inline void priceWaitingAvx2(WaitingLayers& w, int lanes, double e, const float* costs, std::int32_t maxTotal)
{
    const __m256i iota = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i one = _mm256_set1_epi32(1);
    const __m256i limit = _mm256_set1_epi32(maxTotal - 1);
    const __m256d error = _mm256_set1_pd(e);
    for (int base = 0; base < lanes; base += 8) {
        const __m256i active = _mm256_cmpgt_epi32(_mm256_set1_epi32(lanes - base), iota);
        const __m256 activeFloats = _mm256_castsi256_ps(active);

        for (int half = 0; half < 8; half += 4) {
            float* change = w.changes + base + half;
            const __m128 old = _mm_load_ps(change);
            const __m128 less = _mm256_cvtpd_ps(_mm256_sub_pd(_mm256_cvtps_pd(old), error));
            const __m128 back = _mm256_cvtpd_ps(_mm256_add_pd(_mm256_cvtps_pd(less), error));
            const __m128 mask =
                half == 0 ? _mm256_castps256_ps128(activeFloats) : _mm256_extractf128_ps(activeFloats, 1);
            _mm_store_ps(change, _mm_blendv_ps(old, back, mask));
        }

        auto* countPtr = reinterpret_cast<__m256i*>(w.counts[1] + base);
        auto* totalPtr = reinterpret_cast<__m256i*>(w.totals + base);
        const __m256i count = _mm256_load_si256(countPtr);
        const __m256i total = _mm256_load_si256(totalPtr);
        const __m256i index =
            _mm256_add_epi32(_mm256_srli_epi32(_mm256_mullo_epi32(total, _mm256_add_epi32(total, one)), 1), count);
        const __m256 bits = _mm256_mask_i32gather_ps(_mm256_setzero_ps(), costs, index, activeFloats, 4);
        const __m256 rate = _mm256_load_ps(w.rates + base);
        _mm256_store_ps(w.rates + base, _mm256_blendv_ps(rate, _mm256_add_ps(rate, bits), activeFloats));

        // Active lanes gain one (active is all ones, -1, there).
        const __m256i newTotal = _mm256_sub_epi32(total, active);
        _mm256_store_si256(countPtr, _mm256_sub_epi32(count, active));
        _mm256_store_si256(totalPtr, newTotal);
        auto full = static_cast<unsigned>(
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_and_si256(active, _mm256_cmpgt_epi32(newTotal, limit)))));
        while (full != 0) {
            w.halve(base + __builtin_ctz(full));
            full &= full - 1;
        }
    }
}
#endif

} // namespace nubo

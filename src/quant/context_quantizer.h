#pragma once

#include "quant/binary_model.h"
#include "quant/context_buffers.h"
#include "quant/quantizer.h"
#include "wavelet/arith_coder.h"
#include "wavelet/binary_range_coder.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace nubo {

// Embedded dead-zone quantiser of one subband of the colour wavelet coder, with neighbour contexts. Thresholds
// are powers of two: layer l has T = 2^(e - l), e fixed by the band's largest magnitude so every coefficient is
// at most 2 T at layer 0. A coefficient turns significant when |x| > T (placed at +-1.5 T) and is refined by
// +-T / 2 at each later layer. Each layer is coded in three passes over the band, in stripes of four rows
// scanned column by column:
//   1. significance of the insignificant coefficients that have a significant neighbour;
//   2. refinement of the coefficients significant before the layer, in the order they became significant;
//   3. significance of all others, four coefficients of a stripe column without significant neighbours coded
//      by one run symbol (and, when one turns significant, the position of the first in two plain bits).
// Significance is coded with one of 9 contexts chosen from the significant horizontal, vertical and diagonal
// neighbours as the band's orientation suggests, the sign with one of 5 contexts from the neighbours' signs,
// refinement with 3 contexts. Models are binary, adaptive, shared by all layers of the band.
//
// Precision p is the number of passes coded (layer p / 3, pass p % 3 when p is not a multiple of 3), so the
// allocation can stop a band after any pass. Each band is its own code, of a binary range coder with AdaptiveBit
// models: pricing codes the passes once, and the code of precision p is the bytes written by the end of pass p
// with an ending that closes the code there (BinaryRangeEncoder::Ending); its length in bits goes in the band's
// header. Older streams hold other codes, which decode still: one code per band of the 16-bit arithmetic coder
// with counting models (BandCoder::Arithmetic), or before that one such code per plane, its bands' passes one
// after another (decodeFromPlaneCode). The low-pass band codes its coefficients less their mean (in units of
// 1/16, stored in its header); the high-pass bands are coded as they are.
class ContextQuantizer final : public Quantizer {
public:
    // Layers are bounded by the exponent range: 2^(e - l) stays a normal float for |e| <= 60 and l < 48.
    static constexpr int kMaxLayers = 40;
    static constexpr int kPassesPerLayer = 3;
    static constexpr int kMaxPrecisions = kMaxLayers * kPassesPerLayer + 1;
    // Exponents a header may carry.
    static constexpr int kMinExponent = -60;
    static constexpr int kMaxExponent = 60;

    // Which neighbours predict significance: the low-pass band and bands high-pass along columns follow their
    // rows (horizontal neighbours first), bands high-pass along rows their columns, the diagonal bands the
    // diagonals.
    enum class Orientation { LowPass, HighAlongRows, HighAlongColumns, HighBoth };

    // The coder of a band's code: the range coder, or the arithmetic coder of older streams.
    enum class BandCoder { Range, Arithmetic };

    // The orientation of band b of a transform (0 low-pass, then high/low, low/high, high/high per level).
    static Orientation orientationOfBand(int band);

    // A width x height band; precisionCount precisions 0 ... precisionCount - 1 are tabulated (at most
    // kMaxPrecisions). Squared error is the distortion; no metric object is needed.
    ContextQuantizer(int width, int height, Orientation orientation, int precisionCount);

    ~ContextQuantizer() override;

    // Precisions whose rate before their last pass already exceeds this many bits are priced +infinity without
    // being computed (they cannot fit a budget of that size).
    void setRateCeiling(float bits) { rateCeiling_ = bits; }
    // Pricing pauses before a pass once the precisions priced settle every allocation at slopes of at least
    // `slope` (coversSlope) for a band whose distortion the allocation weighs by `weight`; a later
    // rateDistortion with a lower slope goes on from there. A slope of 0 (the default) never pauses.
    void setPricingSlope(float slope, float weight)
    {
        pricingSlope_ = slope;
        weight_ = weight;
    }
    float pricingSlope() const { return pricingSlope_; }
    // Pricing paused by the slope with passes left that could be priced: the precisions beyond the last priced
    // one read as +infinity for now.
    bool pricingPaused() const { return paused_; }
    // Whether the choice of an allocation at `slope` among this band's precisions (least slope * rate + weight
    // * distortion, ties to the lower) is taken to be the same with the precisions not priced yet as without
    // them: true unless paused. When paused it is true if their rates are at least the last priced one's and
    // their distortions above a bound of the rounding of the sums, so none can cost less than the best priced
    // one; or if the last layer priced, or the last two passes each, lowered the distortion by less than
    // `slope` per bit, as the deeper passes then do too on the tables of such bands (each pass is coded as it
    // is priced, so pricing far beyond the choice costs as much as coding).
    bool coversSlope(float slope) const;
    // For a paused band unlikely to resume: frees its neighbour sums, which the significant cells determine;
    // they are summed again should pricing resume.
    void dropNeighbourCounts();
    // Working arrays come from `pool` (which must outlive the quantiser) when the band is analysed, coded or
    // prepared for decoding, and go back to it after pricing, after coding and on destruction.
    void setBufferPool(ContextBufferPool* pool) { pool_ = pool; }

    void analyze(const float* data, std::int32_t count) override;
    void prepareDecode(float* data, std::int32_t count) override;
    // As prepareDecode, for a band lying in a larger plane: width x height samples from `origin`, rows
    // `rowLength` samples apart (at least the width). A band of another size than this quantiser's decodes no
    // layers. `zeroed` says the samples hold +0 already, so a band starting from +0 leaves them as they are.
    void prepareDecodeRows(float* origin, int width, int height, std::ptrdiff_t rowLength, bool zeroed = false);
    // The rate of a precision is the bits of its code and of the code's length in the header.
    void rateDistortion(int precision, float minimumStep, float& rate, float& distortion) override;
    // Appends the band's code of `precision`, a priced precision, to the stream's bits.
    void encode(EncoderStream& stream, int precision) override;
    // Decodes the band's code of `precision` from where the stream's bits stand, after readHeader and
    // prepareDecode, and moves them past it.
    bool decode(DecoderStream& stream, int precision) override;
    void endPricing() override;
    // The header: the precision, the low-pass band's mean code, and from precision 1 the threshold exponent and
    // the code's length in bits.
    void writeHeader(EncoderStream& stream, int precision) override;
    bool readHeader(DecoderStream& stream, int& precision) override;

    // Bits of the band's code at a priced precision (0 at precision 0).
    std::int64_t codeBits(int precision) const;
    // Header bits writeHeader spends at `precision`, the code's length aside (the rate counts it).
    int headerBits(int precision) const;

    // Decoding side. The header without its precision, read already: `bandCodes` for this layout, false for
    // the first layout's (no code length).
    bool readHeaderAfterPrecision(DecoderStream& stream, int precision, bool bandCodes);
    // The code length the header gave.
    std::int64_t headerCodeBits() const { return headerCodeBits_; }
    // decode from an input of its own standing at the band's code of `coder`, which may go on with any bits, and
    // moves it past the code: false, with the reason kept by the input, for a code that runs past the input or
    // that no encoder writes (a range code ending outside its range; an arithmetic code the models cannot
    // produce, or that does not end where the header says). Bands decode side by side this way, each with its
    // own input.
    bool decodeBandCode(BitInput& input, int precision, BandCoder coder = BandCoder::Range);
    // decode for the first layout: the passes from the plane's one arithmetic code, where it stands.
    bool decodeFromPlaneCode(DecoderStream& stream, int precision);

    int exponent() const { return exponent_; }
    std::int32_t meanCode() const { return meanCode_; }
    bool empty() const { return exponent_ == kNoExponent; }
    int precisionCount() const { return precisionCount_; }
    float passRate(int pass) const { return passRates_[static_cast<std::size_t>(pass)]; }
    float passDistortionChange(int pass) const { return passChanges_[static_cast<std::size_t>(pass)]; }

private:
    static constexpr int kNoExponent = kMinExponent - 1; // a band of zeros: nothing to code above precision 0
    // The longest code a header's length can give (writeNonnegative takes values below 2^31 - 1).
    static constexpr std::int64_t kMaxCodeBits = (std::int64_t{1} << 31) - 2;

    // The band's code as pricing writes it, and where each priced precision's code ends.
    struct BandCode;

    // All binary: significance 0 ... 8, sign 9 ... 13, refinement 14 ... 16, run 17, and a never adapted one for
    // plain bits, 18. Of the range coder (AdaptiveBit) or of the arithmetic coder (BinaryModel).
    template <class Model>
    struct ModelSet {
        std::array<Model, 19> all;
        ModelSet();
        void reset();
        Model& significance(int context) { return all[static_cast<std::size_t>(context)]; }
        Model& sign(int context) { return all[static_cast<std::size_t>(9 + context)]; }
        Model& refinement(int context) { return all[static_cast<std::size_t>(14 + context)]; }
        Model& run() { return all[17]; }
        Model& uniform() { return all[18]; }
    };

    template <class Io>
    void codePass(Io& io, int pass);
    template <class Io>
    void significancePass(Io& io, int layer, float t);
    template <class Io>
    void refinementPass(Io& io, float t);
    template <class Io>
    void cleanupPass(Io& io, int layer, float t);
    template <class Io>
    bool codeSignificance(Io& io, std::size_t cell, std::size_t index, int row, int layer, float t, int context);
    template <class Io>
    void codeSign(Io& io, std::size_t cell, std::size_t index, int row, float t);

    void resetState();
    // rateDistortion's rate of a priced precision: its code bits and their length field.
    std::int64_t codeRate(int precision) const;
    bool startDecoding(BitInput& input, int precision);
    bool decodeRangeCode(BitInput& input, int precision);
    bool decodeArithmeticCode(BitInput& input, int precision);
    // Encoding side: what is left to code of coefficient `index` while it is not significant.
    float residualAt(std::size_t index) const { return source_[index] - base_; }
    // coversSlope for the precisions 0 ... pass priced.
    bool coveredBefore(int pass, float slope) const;
    void takeBuffers();
    void giveBuffers();
    void rebuildNeighbourCounts();
    void findSignificanceLayers();
    float layerThreshold(int layer) const;
    int significanceContext(std::size_t cell) const;
    // `row` is the cell's row in the band.
    void markSignificant(std::size_t cell, int row, bool negative);
    // Cells of the padded band, with sixteen bytes more so a block of columns is read whole at any column.
    std::size_t cellCount() const
    {
        return static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height_ + 5) + 16;
    }
    std::size_t cellOf(int x, int y) const
    {
        return static_cast<std::size_t>(y + 1) * static_cast<std::size_t>(stride_) + static_cast<std::size_t>(x + 1);
    }

    int width_;
    int height_;
    int stride_;
    Orientation orientation_;
    int precisionCount_;
    float rateCeiling_;

    std::int32_t meanCode_ = 0;
    float base_ = 0.0f;
    int exponent_ = kNoExponent;

    // Per cell of the band padded by one on each side (and three extra rows below, for the last stripe).
    std::vector<std::uint8_t> flags_;
    // Encoding side, per cell as flags_: the first layer whose threshold the cell's residual exceeds while it is
    // not significant (kNeverSignificant for none), so the passes test a byte instead of a magnitude.
    std::vector<std::uint8_t> significanceLayers_;
    // Per cell as flags_: its significant neighbours, h * 15 + v * 5 + d (horizontal, vertical, diagonal), kept up
    // as cells turn significant so a significance context is one lookup.
    std::vector<std::uint8_t> neighbourCounts_;
    // Per stripe of four rows: whether any of its cells has a significant neighbour. The significance pass visits
    // only such stripes; the others have nothing for it.
    std::vector<std::uint8_t> stripeActive_;
    const std::uint8_t* contextTable_ = nullptr; // significance contexts of this orientation
    // The cells in the order they turned significant; on the decoding side their samples (row * rowLength_ +
    // column), on the encoding side their residuals.
    std::vector<std::uint32_t> orderCells_;
    std::vector<std::int32_t> order_;
    std::vector<float> orderResiduals_;
    std::size_t refinable_ = 0;        // significant before the current layer: the first refinable_ in that order
    std::size_t refined_ = 0;          // refined by an earlier layer: the first refined_ in that order
    int passesCoded_ = 0;
    ModelSet<AdaptiveBit> models_;
    ModelSet<BinaryModel> countingModels_; // decoding older streams

    std::vector<float> passRates_;
    std::vector<float> passChanges_;
    std::unique_ptr<BandCode> code_; // encoding side
    std::int64_t headerCodeBits_ = 0; // decoding side

    const float* source_ = nullptr;
    float* target_ = nullptr;      // decoding side
    std::size_t rowLength_ = 0;    // samples from one row of the band to the next in source_ or target_
    bool exhausted_ = false;       // a pass was priced +infinity: every later one is too
    bool paused_ = false;          // pricing stopped before pass passesCoded_ by the pricing slope
    bool countsDropped_ = false;   // neighbourCounts_ freed while paused (dropNeighbourCounts)
    float pricingSlope_ = 0.0f;
    float weight_ = 1.0f;
    ContextBufferPool* pool_ = nullptr;
    bool borrowing_ = false;       // the working arrays came from pool_
};

} // namespace nubo

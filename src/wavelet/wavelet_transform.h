#pragma once

#include "common/diagnostics.h"
#include "wavelet/float_image.h"
#include "wavelet/wavelet.h"

#include <cstddef>
#include <vector>

namespace nubo {

// One transformed plane split into its 3 * steps + 1 subbands, stored band after band, coarsest first:
// band 0 is the low-pass residue (W_S x H_S); for level k = S - j, bands 3j + 1, 3j + 2, 3j + 3 are the
// high/low, low/high and high/high bands of step k, of sizes (W_{k-1} - W_k) x H_k, W_k x (H_{k-1} - H_k) and
// (W_{k-1} - W_k) x (H_{k-1} - H_k), where W_0 = width and W_k = (W_{k-1} + 1) / 2 (likewise H). Each band is
// row-major with its own width as row length. A band may hold no coefficients (a side of 1 at some level).
//
// Where one subband sits in the transformed plane.
struct SubbandRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// The 3 * steps + 1 subbands of a width x height plane in the order and places WaveletTransform keeps them; empty
// for steps outside kMinStages ... kMaxStages or a size outside the picture limits. A decoder that pastes each
// decoded band into the plane and inverts it in place needs no second plane.
std::vector<SubbandRect> subbandLayout(int width, int height, int steps);

// The Wavelet is referenced, not owned, and must outlive the transform.
class WaveletTransform {
public:
    // Transforms the source plane (left unchanged); `symmetric` is the extension flag (-1: the wavelet's own).
    // Transform diagnostics go to `diagnostics`.
    WaveletTransform(const Wavelet& wavelet, const FloatImage& source, int steps, int symmetric,
                     DiagnosticSink& diagnostics = standardOutputSink());
    // As above, transforming in the source's own memory and freeing it (the source is left empty): a caller done
    // with its plane holds one plane less while the bands are filled.
    WaveletTransform(const Wavelet& wavelet, FloatImage&& source, int steps, int symmetric,
                     DiagnosticSink& diagnostics = standardOutputSink());
    // All coefficients 0, for a decoder to fill band by band.
    WaveletTransform(const Wavelet& wavelet, int width, int height, int steps, int symmetric);

    // False when construction was refused: steps outside kMinStages ... kMaxStages, a size outside the picture
    // limits, or a source whose data does not hold width x height samples. A refused transform has no bands.
    bool valid() const { return !subbands_.empty(); }

    // Rebuilds the plane from the coefficients (which stay unchanged) into `target`, resized to width x height.
    // Returns false, leaving `target` untouched, for a refused transform.
    bool invert(FloatImage& target) const;

    int width() const { return width_; }
    int height() const { return height_; }
    int steps() const { return steps_; }
    int symmetric() const { return symmetric_; }
    const Wavelet& wavelet() const { return *wavelet_; }

    int subbandCount() const { return static_cast<int>(subbands_.size()); }
    float* subbandData(int band) { return data_.data() + subbands_[static_cast<std::size_t>(band)].offset; }
    const float* subbandData(int band) const
    {
        return data_.data() + subbands_[static_cast<std::size_t>(band)].offset;
    }
    int subbandSize(int band) const { return subbands_[static_cast<std::size_t>(band)].width * subbandHeight(band); }
    int subbandWidth(int band) const { return subbands_[static_cast<std::size_t>(band)].width; }
    int subbandHeight(int band) const { return subbands_[static_cast<std::size_t>(band)].height; }

    // All width x height coefficients, band after band.
    float* data() { return data_.data(); }
    const float* data() const { return data_.data(); }

private:
    struct Subband {
        int x = 0; // where the band sits in the transformed plane
        int y = 0;
        int width = 0;
        int height = 0;
        std::size_t offset = 0; // where it starts in data_
    };

    bool buildBandTable(int width, int height, int steps);
    bool layOutBands(int width, int height, int steps);
    std::size_t bandSamples() const;
    void splitIntoBands(const float* plane);
    void splitIntoBandsInPlace(std::vector<float>& plane);
    void gatherIntoPlane(float* plane) const;

    const Wavelet* wavelet_;
    int width_ = 0;
    int height_ = 0;
    int steps_ = 0;
    int symmetric_ = -1;
    std::vector<Subband> subbands_;
    std::vector<float> data_;
};

} // namespace nubo

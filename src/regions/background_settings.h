#pragma once

#include "regions/region.h"

namespace nubo {

inline constexpr int kMinRatio = 1;
inline constexpr int kMaxRatio = 500;

// The background's compression ratio, its coder kind and two flags about the background.
class BackgroundSettings {
public:
    int ratio() const { return ratio_; }

    // Accepts 1 to 500 and clears ratioUnset; any other value changes nothing.
    void setRatio(int ratio)
    {
        if (ratio < kMinRatio || ratio > kMaxRatio)
            return;
        ratio_ = ratio;
        ratioUnset_ = false;
    }

    // The wavelet kind the background is coded with: "Wavelet" (the default) or "Wavelet (colour)". Any other
    // kind changes nothing.
    CoderKind coderKind() const { return coderKind_; }
    void setCoderKind(CoderKind kind)
    {
        if (kind == CoderKind::Wavelet || kind == CoderKind::WaveletColour)
            coderKind_ = kind;
    }

    // True when the picture holds its background (a loaded picture, or a decode that reached the background).
    bool backgroundPresent() const { return backgroundPresent_; }
    void setBackgroundPresent(bool present) { backgroundPresent_ = present; }

    // True until the user first sets a background ratio.
    bool ratioUnset() const { return ratioUnset_; }

private:
    int ratio_ = 1;
    CoderKind coderKind_ = CoderKind::Wavelet;
    bool backgroundPresent_ = true;
    bool ratioUnset_ = true;
};

} // namespace nubo

#pragma once

#include "image/raster_image.h"
#include "regions/background_settings.h"
#include "regions/region_set.h"

#include <functional>
#include <memory>
#include <string>

namespace nubo {

// How region labels are drawn.
enum class DescriptionMode : int { Hidden = 0, Short = 1, Full = 2 };

inline constexpr int kDefaultWaveletStages = 5;

// Everything one open picture holds apart from the windows that show it: the picture, its regions, the background
// settings, the wavelet stages, the label settings and the .roi stream of the last "Test ROI".
class DocumentData {
public:
    RegionSet& regions() { return regions_; }
    const RegionSet& regions() const { return regions_; }
    BackgroundSettings& background() { return background_; }
    const BackgroundSettings& background() const { return background_; }
    RasterImage& image() { return image_; }
    const RasterImage& image() const { return image_; }

    // The in-memory stream of the last "Test ROI", or none.
    const std::string* lastEncoding() const { return lastEncoding_.get(); }
    void replaceLastEncoding(std::string stream) { lastEncoding_ = std::make_unique<std::string>(std::move(stream)); }

    int waveletStages() const { return waveletStages_; }
    void setWaveletStages(int stages) { waveletStages_ = stages; }

    // The lossless kind that codes "Wavelet" regions too small for the wavelet coder: "Arithmetic" unless the user
    // asks for "Lossless (predictive)".
    CoderKind smallRegionKind() const { return smallRegionKind_; }
    void setSmallRegionKind(CoderKind kind) { smallRegionKind_ = kind; }

    DescriptionMode descriptionMode() const { return descriptionMode_; }
    void setDescriptionMode(DescriptionMode mode) { descriptionMode_ = mode; }

    bool opaqueLabels() const { return opaqueLabels_; }
    void toggleOpaqueLabels() { opaqueLabels_ = !opaqueLabels_; }

    // Switches labels from Hidden to Short and asks the views to refresh; in any other mode nothing happens.
    void showDescriptions()
    {
        if (descriptionMode_ != DescriptionMode::Hidden)
            return;
        descriptionMode_ = DescriptionMode::Short;
        if (refreshViews_)
            refreshViews_();
    }

    // What showDescriptions runs to refresh the views; the desktop document supplies it.
    void setRefreshViews(std::function<void()> refresh) { refreshViews_ = std::move(refresh); }

private:
    RegionSet regions_;
    BackgroundSettings background_;
    std::unique_ptr<std::string> lastEncoding_;
    int waveletStages_ = kDefaultWaveletStages;
    CoderKind smallRegionKind_ = CoderKind::Arithmetic;
    RasterImage image_;
    DescriptionMode descriptionMode_ = DescriptionMode::Hidden;
    bool opaqueLabels_ = false;
    std::function<void()> refreshViews_;
};

} // namespace nubo

#include "cli/report_fields.h"

#include "regions/region.h"

namespace nubo::cli {

const char* kindName(std::int64_t kind)
{
    if (kind == static_cast<std::int64_t>(CoderKind::Wavelet))
        return "wavelet";
    if (kind == static_cast<std::int64_t>(CoderKind::Arithmetic))
        return "arithmetic";
    if (kind == static_cast<std::int64_t>(CoderKind::WaveletColour))
        return "colour";
    if (kind == static_cast<std::int64_t>(CoderKind::Predictive))
        return "lossless";
    return "unknown";
}

} // namespace nubo::cli

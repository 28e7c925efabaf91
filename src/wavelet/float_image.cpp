#include "wavelet/float_image.h"

#include <new>
#include <stdexcept>

namespace nubo {

bool FloatImage::allocate(int w, int h, DiagnosticSink& diagnostics)
{
    data.clear();
    width = 0;
    height = 0;
    if (w >= 0 && h >= 0) {
        try {
            data.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0.0f);
            width = w;
            height = h;
            return true;
        } catch (const std::bad_alloc&) {
            data = std::vector<float>();
        } catch (const std::length_error&) {
            data = std::vector<float>();
        }
    }
    printError(diagnostics, "Can't allocate memory for image of size %d by %d\n", w, h);
    return false;
}

} // namespace nubo

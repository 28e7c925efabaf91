#pragma once

#include "common/diagnostics.h"
#include "wavelet/filters.h"

#include <cstdint>

namespace nubo {

// A filter set prepared for the transform. Holds references to the set's filters, which must outlive it.
//
// Extension mode ("flag"): -1 = the set's own `symmetric` flag, 1 (any nonzero) = symmetric extension,
// 0 = periodic extension.
//
// Every filter output is accumulated one tap at a time in increasing coefficient order, each step
// acc = (float)((double)acc + (double)coefficient * (double)sample); synthesis output cells take their low-band
// contributions before their high-band ones, each in increasing input position. Coded bytes depend on it.
class Wavelet {
public:
    explicit Wavelet(const FilterSet& set);

    const Filter& analysisLow;
    const Filter& analysisHigh;
    const Filter& synthesisLow;
    const Filter& synthesisHigh;
    const int symmetric;
    // The longest filter's tap count; every padded working buffer has this many extra cells on each side.
    const int padLength;

    // One-dimensional steps on padded buffers of n + 2 * padLength cells, the signal in cells padLength ...
    // padLength + n - 1. analysisStep extends `input` in place, then writes the (n + 1) / 2 low-pass outputs
    // followed by the n / 2 high-pass outputs to the signal cells of `output`. synthesisStep reads that layout
    // from `input` and writes the reconstructed signal to the signal cells of `output` (its pad cells are set to
    // 0). A signal of length 1 extends as a constant, so it comes back from the pair of steps unchanged to float
    // rounding. `symmetric` nonzero selects symmetric extension. Both allocate working space per call; the
    // two-dimensional operations reuse one per thread.
    void analysisStep(float* input, float* output, int n, int symmetricMode) const;
    void synthesisStep(const float* input, float* output, int n, int symmetricMode) const;

    // Fill the pad cells of a padded buffer holding a signal of length n. Kinds: 1 mirrors about the edge
    // sample, 2 repeats it; sign -1 makes the extension antisymmetric. A signal of length 0 gets zero pads, one of
    // length 1 with kind 1 at both ends a constant pad; no cell outside the buffer is ever read or written. A
    // negative length leaves the buffer alone.
    void symmetricExtension(float* buffer, int n, int leftKind, int rightKind, int sign) const;
    void periodicExtension(float* buffer, int n) const;

    // Two-dimensional transforms of a width x height plane over `steps` steps (rows then columns each step, later
    // steps on the top-left low-pass block; the inverse runs columns then rows, coarsest level first). The source
    // is copied to the destination first and left unchanged; source and destination may be the same array.
    // transform2d writes, at each step whose block is 2 or fewer samples wide or high with symmetric extension,
    // two warnings and an error line to `diagnostics` and carries on. Sizes below 1 or steps below 1 leave the
    // destination as a copy of the source and return false. Inside a task of runTasks the row and column passes are
    // shared with the team's idle threads; the coefficients are the same either way.
    bool transform2d(const float* source, float* destination, int width, int height, int steps, int flag,
                     DiagnosticSink& diagnostics = standardOutputSink()) const;
    // `zeroBands` may name bands known to hold only +0, bit b for band b in the order of the transform's band
    // table (0 the low-pass band, then per level from the coarsest: high along rows, high along columns, high
    // both ways). Their contributions (products of +0, which leave every sum as it is) are not computed, so the
    // result is the same to the bit; a named band that holds anything else is a caller's error.
    bool invert2d(const float* source, float* destination, int width, int height, int steps, int flag,
                  std::uint32_t zeroBands = 0) const;

    // The extension mode a flag stands for: true for symmetric.
    bool resolvesToSymmetric(int flag) const { return (flag < 0 ? symmetric : flag) != 0; }

private:
    class Workspace;

    // The calling thread's workspace, grown for signals of `longest` samples.
    Workspace& workspaceFor(int longest) const;

    void analyse(float* padded, int n, bool symmetricMode, float* out, Workspace& work) const;
    // lowZero / highZero: that half of `in` holds only +0 and contributes nothing.
    void synthesise(const float* in, int n, bool symmetricMode, float* out, Workspace& work, bool lowZero = false,
                    bool highZero = false) const;
};

} // namespace nubo

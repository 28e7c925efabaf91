#pragma once

namespace nubo {

// The wavelet stages a user may choose for encoding, in the desktop's "Coder settings" and nubo-cli's --stages.
// Decoding accepts a wider range (kMinStages ... kMaxStages in common/limits.h), since a stream may come from
// elsewhere.
inline constexpr int kMinChosenStages = 2;
inline constexpr int kMaxChosenStages = 5;

} // namespace nubo

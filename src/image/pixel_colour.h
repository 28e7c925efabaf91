#pragma once

namespace nubo {

// One pixel as three 32-bit float channels, in the order R, G, B.
struct PixelColour {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;

    bool operator==(const PixelColour&) const = default;

    PixelColour& operator+=(const PixelColour& other)
    {
        r += other.r;
        g += other.g;
        b += other.b;
        return *this;
    }

    // Division by a count multiplies by the reciprocal formed in double, each product stored back as float.
    void divideBy(int n)
    {
        const double reciprocal = 1.0 / n;
        r = static_cast<float>(static_cast<double>(r) * reciprocal);
        g = static_cast<float>(static_cast<double>(g) * reciprocal);
        b = static_cast<float>(static_cast<double>(b) * reciprocal);
    }
};

} // namespace nubo

#pragma once

#include <cmath>

namespace nubo {

// Measures the error left in one coefficient; the quantiser sums it over a subband as its distortion.
class ErrorMetric {
public:
    virtual ~ErrorMetric() = default;
    virtual double error(float e) const = 0;
};

// |e|^p in double precision. The codec uses p = 2 (squared error), where the product of the two doubles is exact
// and equals pow(|e|, 2.0); the quantiser's hot loops call squaredError directly for that case.
class PowerErrorMetric final : public ErrorMetric {
public:
    explicit PowerErrorMetric(float exponent) : exponent_(exponent) {}

    double error(float e) const override
    {
        if (isSquare())
            return squaredError(e);
        return std::pow(std::fabs(static_cast<double>(e)), static_cast<double>(exponent_));
    }

    float exponent() const { return exponent_; }
    bool isSquare() const { return exponent_ == 2.0f; }

    static double squaredError(float e) { return static_cast<double>(e) * static_cast<double>(e); }

private:
    float exponent_;
};

} // namespace nubo

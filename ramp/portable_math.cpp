#include "ramp/portable_math.h"

#include <bit>
#include <cmath>
#include <cstdint>

namespace velkor {
namespace {

// pi/2 in three 33-bit pieces, each followed by the rounded remainder. A
// multiple n * piece is exact for |n| < 2^20.
constexpr double kPio2_1 = 0x1.921fb544p+0;
constexpr double kPio2_1t = 0x1.0b4611a626331p-34;
constexpr double kPio2_2 = 0x1.0b4611a6p-34;
constexpr double kPio2_2t = 0x1.3198a2e037073p-69;
constexpr double kPio2_3 = 0x1.3198a2ep-69;
constexpr double kPio2_3t = 0x1.b839a252049c1p-104;
constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kPio4 = 0x1.921fb54442d18p-1;
// Adding and subtracting 1.5 * 2^52 rounds to the nearest integer.
constexpr double kRoundToInteger = 0x1.8p52;
// Above this the multiples of pi/2 are no longer exact; such arguments are
// first brought below it by an exact remainder of 2 pi (as rounded).
constexpr double kLargestReduced = 0x1p30;
constexpr double kTwoPi = 0x1.921fb54442d18p+2;

// Taylor coefficients (-1)^k / (2k+1)! and (-1)^(k+1) / (2k+2)!, correctly
// rounded. Up to x^17 and x^18 the truncation error on |x| <= pi/4 stays
// below 2^-62 of the result.
constexpr double kS1 = -0x1.5555555555555p-3;
constexpr double kS2 = 0x1.1111111111111p-7;
constexpr double kS3 = -0x1.a01a01a01a01ap-13;
constexpr double kS4 = 0x1.71de3a556c734p-19;
constexpr double kS5 = -0x1.ae64567f544e4p-26;
constexpr double kS6 = 0x1.6124613a86d09p-33;
constexpr double kS7 = -0x1.ae7f3e733b81fp-41;
constexpr double kS8 = 0x1.952c77030ad4ap-49;
constexpr double kC1 = 0x1.5555555555555p-5;
constexpr double kC2 = -0x1.6c16c16c16c17p-10;
constexpr double kC3 = 0x1.a01a01a01a01ap-16;
constexpr double kC4 = -0x1.27e4fb7789f5cp-22;
constexpr double kC5 = 0x1.1eed8eff8d898p-29;
constexpr double kC6 = -0x1.93974a8c07c9dp-37;
constexpr double kC7 = 0x1.ae7f3e733b81fp-45;
constexpr double kC8 = -0x1.6827863b97d97p-53;

int exponent_of(double x)
{
    return static_cast<int>(std::bit_cast<std::uint64_t>(x) >> 52 & 0x7FF);
}

double abs_of(double x)
{
    return std::bit_cast<double>(std::bit_cast<std::uint64_t>(x) & ~(1ull << 63));
}

// sin(x + y) for |x| <= pi/4, y a tail far below x's last bit.
double kernel_sin(double x, double y)
{
    const double z = x * x;
    const double v = z * x;
    const double r = kS2 + z * (kS3 + z * (kS4 + z * (kS5 + z * (kS6 + z * (kS7 + z * kS8)))));
    return x - ((z * (0.5 * y - v * r) - y) - v * kS1);
}

// cos(x + y) for |x| <= pi/4. 1 - x^2/2 is formed with its rounding error kept.
double kernel_cos(double x, double y)
{
    const double z = x * x;
    const double r =
        z * (kC1 + z * (kC2 + z * (kC3 + z * (kC4 + z * (kC5 + z * (kC6 + z * (kC7 + z * kC8)))))));
    const double hz = 0.5 * z;
    const double w = 1.0 - hz;
    return w + (((1.0 - w) - hz) + (z * r - x * y));
}

struct Reduced {
    int quadrant;  // n mod 4
    double head;   // x - n * pi/2 = head + tail, |head| <= about pi/4
    double tail;
};

// Subtracts the nearest multiple of pi/2, with more of pi/2's bits when the
// subtraction cancels many leading bits (x close to a multiple).
Reduced reduce(double x)
{
    if (abs_of(x) > kLargestReduced)
        x = std::fmod(x, kTwoPi);  // exact, so the same on every system
    const double n = (x * kTwoOverPi + kRoundToInteger) - kRoundToInteger;
    double r = x - n * kPio2_1;
    double w = n * kPio2_1t;
    double head = r - w;
    const int exponent = exponent_of(x);
    if (exponent - exponent_of(head) > 16) {
        double t = r;
        w = n * kPio2_2;
        r = t - w;
        w = n * kPio2_2t - ((t - r) - w);
        head = r - w;
        if (exponent - exponent_of(head) > 49) {
            t = r;
            w = n * kPio2_3;
            r = t - w;
            w = n * kPio2_3t - ((t - r) - w);
            head = r - w;
        }
    }
    const double tail = (r - head) - w;
    const auto quadrant = static_cast<int>(static_cast<std::int64_t>(n) & 3);
    return {quadrant, head, tail};
}

}  // namespace

double portable_sin(double x)
{
    if (x != x || abs_of(x) == std::bit_cast<double>(0x7FF0000000000000ull))
        return x - x;  // NaN for NaN and the infinities
    if (abs_of(x) <= kPio4) return kernel_sin(x, 0.0);
    const Reduced r = reduce(x);
    switch (r.quadrant) {
    case 0:
        return kernel_sin(r.head, r.tail);
    case 1:
        return kernel_cos(r.head, r.tail);
    case 2:
        return -kernel_sin(r.head, r.tail);
    default:
        return -kernel_cos(r.head, r.tail);
    }
}

double portable_cos(double x)
{
    if (x != x || abs_of(x) == std::bit_cast<double>(0x7FF0000000000000ull)) return x - x;
    if (abs_of(x) <= kPio4) return kernel_cos(x, 0.0);
    const Reduced r = reduce(x);
    switch (r.quadrant) {
    case 0:
        return kernel_cos(r.head, r.tail);
    case 1:
        return -kernel_sin(r.head, r.tail);
    case 2:
        return -kernel_cos(r.head, r.tail);
    default:
        return kernel_sin(r.head, r.tail);
    }
}

}  // namespace velkor

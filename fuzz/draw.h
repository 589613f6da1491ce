// The fuzzer's source of choices: a small generator of its own (splitmix64),
// so that a seed names the same sequence on every build and standard library,
// and the shapes of value a host can send, in range and out of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

namespace velkor_fuzz {

class Draw {
public:
    explicit Draw(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // 0 .. n - 1 (n > 0).
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    // lo .. hi, both included.
    int between(int lo, int hi) { return lo + below(hi - lo + 1); }
    bool percent(int p) { return below(100) < p; }
    // [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    double between(double lo, double hi) { return lo + (hi - lo) * unit(); }

    template <class T, std::size_t N>
    const T& one_of(const T (&items)[N])
    {
        return items[static_cast<std::size_t>(below(static_cast<int>(N)))];
    }

    // A float64 no control would give: a small whole number of either sign
    // (zeros of both signs included), an infinity, the smallest magnitudes,
    // huge ones, or a NaN of some sign and payload.
    double odd_double()
    {
        constexpr double inf = std::numeric_limits<double>::infinity();
        const double whole[] = {0.0, -0.0, 1.0, -1.0, -2.0, -3.0, 3.0, -5.0};
        const double fixed[] = {inf,   -inf,   5e-324, -5e-324, 2.2250738585072014e-308,
                                1e300, -1e300, 0.5,    -0.5};
        const int kind = below(100);
        if (kind < 40) return one_of(whole);
        if (kind < 75) return one_of(fixed);
        // A NaN, quiet or signalling, either sign, with a payload of its own.
        std::uint64_t bits = 0x7FF0000000000000ull | (next() & 0x800FFFFFFFFFFFFFull);
        if ((bits & 0x000FFFFFFFFFFFFFull) == 0) bits |= 1;
        double nan;
        std::memcpy(&nan, &bits, sizeof nan);
        return nan;
    }

    // A float32 of the same kinds, for float pixels.
    float odd_float()
    {
        constexpr float inf = std::numeric_limits<float>::infinity();
        const float fixed[] = {0.0f, -0.0f, inf, -inf, 1e-45f, -1e-45f, 3e38f, -3e38f, 1.0f, -1.0f};
        if (percent(60)) return one_of(fixed);
        std::uint32_t bits = 0x7F800000u | (static_cast<std::uint32_t>(next()) & 0x807FFFFFu);
        if ((bits & 0x007FFFFFu) == 0) bits |= 1;
        float nan;
        std::memcpy(&nan, &bits, sizeof nan);
        return nan;
    }

private:
    std::uint64_t state_;
};

}  // namespace velkor_fuzz

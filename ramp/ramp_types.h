// Plain float64 geometry and colour of the ramp. Every operation is written out
// in the order the pixels depend on; the build forbids contraction, so the
// results are the same bits on every platform.
#pragma once

#include <cmath>

namespace velkor {

// A position or direction in pixels of the buffers being rendered: x to the
// right, y downwards (row index). No pixel-aspect correction.
struct Vector2 {
    double x;
    double y;

    Vector2& operator-=(const Vector2& other)
    {
        x = x - other.x;
        y = y - other.y;
        return *this;
    }

    double dot(const Vector2& other) const { return x * other.x + y * other.y; }
    double length() const { return std::sqrt(x * x + y * y); }

    // Divides by the length only when it is positive, so a zero vector stays
    // zero. Returns the length.
    double normalize()
    {
        const double len = length();
        if (len > 0.0) {
            x = x / len;
            y = y / len;
        }
        return len;
    }
};

inline Vector2 operator-(Vector2 a, const Vector2& b) { return a -= b; }

// Four float64 channels in the host's pixel order; ramp colours hold 0..1.
struct Color4 {
    double alpha;
    double red;
    double green;
    double blue;
};

inline Color4 operator+(const Color4& a, const Color4& b)
{
    return {a.alpha + b.alpha, a.red + b.red, a.green + b.green, a.blue + b.blue};
}

inline Color4 operator-(const Color4& a, const Color4& b)
{
    return {a.alpha - b.alpha, a.red - b.red, a.green - b.green, a.blue - b.blue};
}

inline Color4 operator*(const Color4& c, double s)
{
    return {c.alpha * s, c.red * s, c.green * s, c.blue * s};
}

}  // namespace velkor

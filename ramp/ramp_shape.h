// The ramp shapes, in one place. A shape is the "Shape" popup's choice and the
// way it measures how far along the ramp a pixel lies, from the pixel's offset
// (dx, dy) to the ramp's origin and the ramp's unit axis. The evaluator, the
// fast kernels (baseline and AVX2) and the enabling rules all ask this file;
// none of them names a shape.
//
// A new shape is a struct below, added to KnownShapes in choice order; its
// measure is one of the Measure forms, or a new form with its formula in
// distance(). The AVX2 loops know the forms below; for any other they do
// nothing and the baseline loops draw the whole run.
#pragma once

#include <cmath>
#include <cstddef>
#include <tuple>
#include <type_traits>
#include <utility>

#include "host/host_interface.h"
#include "params/param_table.h"
#include "ramp/ramp_types.h"

namespace velkor {

// How a shape turns an offset from the origin into a distance along the ramp.
enum class Measure {
    none,                 // 0 everywhere: the distance of a shape the effect does not know
    projection,           // dx * axis.x + dy * axis.y, negative behind the origin
    mirrored_projection,  // the projection's magnitude: the ramp runs both ways
    radius,               // sqrt(dx * dx + dy * dy), whatever the axis
};

struct LinearShape {
    static constexpr A_long choice = kShapeLinear;
    static constexpr Measure measure = Measure::projection;
};

struct Linear2Shape {
    static constexpr A_long choice = kShapeLinear2;
    static constexpr Measure measure = Measure::mirrored_projection;
};

struct RadialShape {
    static constexpr A_long choice = kShapeRadial;
    static constexpr Measure measure = Measure::radius;
};

// Any "Shape" value outside the popup's choices (a damaged project, a host that
// passes what it likes): t is 0 at every pixel.
struct UnknownShape {
    static constexpr A_long choice = 0;
    static constexpr Measure measure = Measure::none;
};

// The popup's choices in order: the first is choice 1.
using KnownShapes = std::tuple<LinearShape, Linear2Shape, RadialShape>;

inline constexpr A_long kShapeCount = static_cast<A_long>(std::tuple_size_v<KnownShapes>);

// A value of the popup that names no shape; the tests draw with it.
inline constexpr A_long kUnknownShape = kShapeCount + 1;

template <std::size_t I = 0>
constexpr bool shapes_in_choice_order()
{
    if constexpr (I == std::tuple_size_v<KnownShapes>) {
        return true;
    } else {
        return std::tuple_element_t<I, KnownShapes>::choice == static_cast<A_long>(I) + 1 &&
               shapes_in_choice_order<I + 1>();
    }
}
static_assert(shapes_in_choice_order(), "KnownShapes lists the popup's choices in order, from 1");

// Whether a measure reads the axis, and so the ramp's direction: a circle has none.
constexpr bool uses_axis(Measure measure)
{
    return measure == Measure::projection || measure == Measure::mirrored_projection;
}

// Calls fn(Shape{}) with the shape of popup value `shape` (UnknownShape for a
// value outside the choices) and returns what it returns.
template <std::size_t I = 0, class Fn>
decltype(auto) with_shape(A_long shape, Fn&& fn)
{
    if constexpr (I == std::tuple_size_v<KnownShapes>) {
        return fn(UnknownShape{});
    } else {
        using Shape = std::tuple_element_t<I, KnownShapes>;
        if (shape == Shape::choice) return fn(Shape{});
        return with_shape<I + 1>(shape, std::forward<Fn>(fn));
    }
}

// Whether popup value `shape` is one of the choices.
inline bool is_known_shape(A_long shape)
{
    return with_shape(shape, [](auto s) { return !std::is_same_v<decltype(s), UnknownShape>; });
}

// The measure of popup value `shape`.
inline Measure measure_of(A_long shape)
{
    return with_shape(shape, [](auto s) { return decltype(s)::measure; });
}

// The distance along the ramp of the pixel at offset (dx, dy) from the origin,
// before it is divided by the ramp's length. Every operation in the order the
// pixels depend on (the fast loops repeat it exactly).
template <class Shape>
inline double distance(double dx, double dy, const Vector2& axis)
{
    if constexpr (Shape::measure == Measure::projection) {
        return dx * axis.x + dy * axis.y;
    } else if constexpr (Shape::measure == Measure::mirrored_projection) {
        const double s = dx * axis.x + dy * axis.y;
        return s < 0.0 ? -s : s;
    } else if constexpr (Shape::measure == Measure::radius) {
        return std::sqrt(dx * dx + dy * dy);
    } else {
        return 0.0;
    }
}

// t from a distance: divided by the ramp's length and clamped to 0..1. Written
// as !(t >= 0) so that a NaN (from a malformed settings record) clamps to 0
// like a negative t instead of travelling on.
inline double ramp_fraction(double s, double ramp_length)
{
    double t = s / ramp_length;
    t = !(t >= 0.0) ? 0.0 : t;
    t = t > 1.0 ? 1.0 : t;
    return t;
}

}  // namespace velkor

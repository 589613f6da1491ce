// Sine and cosine computed from additions, subtractions and multiplications
// in a fixed order (and, for huge arguments, an exact remainder), so that
// every build of the module gives the same bits: the C libraries do not
// (mingw-w64's sin and cos use the x87 unit, whose reduction by a 66-bit pi leaves only about 12 correct bits in the
// residue cos(pi/2), and differ from glibc in the last bit of about one result
// in four hundred elsewhere).
//
// Accurate to within one unit in the last place for |x| below about 1.6e6
// radians (any angle the Direction control can hold); beyond that the
// reduction loses accuracy but stays deterministic.
#pragma once

namespace velkor {

double portable_sin(double x);
double portable_cos(double x);

}  // namespace velkor

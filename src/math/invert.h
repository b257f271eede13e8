// The two inversion paths behind kzMatrix4x4_p::makeInvertOf. Source and
// result may be the same matrix.
#pragma once

#include "kzLib/math.h"

// Inverse of a matrix whose last column is (0, 0, 0, 1) by cofactors of the
// 3x3 block; a singular block yields infinities and still reports true.
bool invert_4x3(const kzMatrix4x4_p& source, kzMatrix4x4_p& result);

// Gauss-Jordan inverse with full pivoting; false when source is singular, with
// a partly reduced matrix left in result.
bool invert_4x4(const kzMatrix4x4_p& source, kzMatrix4x4_p& result);

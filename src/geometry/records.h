// Conversions between the plain records at the interface and the math classes
// (same layouts, copied field by field).
#pragma once

#include <cstring>

#include "kzLib/math.h"
#include "kzLib/types.h"

inline kzVec3f_p toVector(const kzVec3f& v) { return {v.x, v.y, v.z}; }

inline kzVec3f toRecord(const kzVec3f_p& v) { return {v.x, v.y, v.z}; }

inline kzMatrix4x4 toRecord(const kzMatrix4x4_p& matrix) {
    kzMatrix4x4 record;
    std::memcpy(record.m, matrix.m, sizeof record.m);
    return record;
}

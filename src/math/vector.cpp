#include "kzLib/math.h"

kzVec2f_p::kzVec2f_p(const kzVec3f_p& v) : x(v.x), y(v.y) {}

kzVec2f_p::kzVec2f_p(const kzVec4f_p& v) : x(v.x), y(v.y) {}

kzVec4f_p::kzVec4f_p(const kzVec3f_p& v) : x(v.x), y(v.y), z(v.z), w(0.0f) {}

kzVec4f_p::kzVec4f_p(const kzVec2f_p& v) : x(v.x), y(v.y), z(0.0f), w(0.0f) {}

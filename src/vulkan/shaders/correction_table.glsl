// One texel of the correction table (R32G32B32A32_UINT), per output pixel:
// where the scene is read, the factor m that scales the scene colour and the
// black level k added to it, all per RGB component.
//
//   word 0: bits 0-21 lookup u, bits 22-31 low ten bits of m.r
//   word 1: bits 0-21 lookup v, bits 22-31 low ten bits of m.g
//   word 2: bits 0-12 m.b, 13-25 k.r, 26-28 high three bits of m.r, 29-31 of m.g
//   word 3: bits 0-12 k.g, 13-25 k.b, bit 26 set where the mesh covers the pixel
//
// Lookups are fixed point with 2^21 steps per unit over [-0.5, 1.5): beyond
// that range every filter tap reads the border whatever the scene's size, so
// clamping there changes nothing. A step is under a thousandth of a texel of
// a 1920-wide scene.
//
// Factors are 13-bit floats: the top of an fp32 value below 2 with an eight-
// bit mantissa and exponents from 2^-31 up; 0 stands for anything smaller.
// Rounding moves a factor by at most 2^-9 of itself, and an output gamma g
// turns that into at most 2^-9 / g of the output value: half an 8-bit level
// for any g of 1 or more.
// A flushed factor is below 2^-31, which even a gamma of 2.4 lifts to no more
// than 2^-12.9 of full scale. A pixel the mesh does not cover stays all zero,
// so it decodes to m = k = 0 and draws black.

const float TABLE_LOOKUP_STEPS = 2097152.0;  // 2^21 per unit
const uint TABLE_LOOKUP_MAX = 4194303u;      // 22 bits
const uint TABLE_FACTOR_BASE = 96u << 8;     // exponent 2^-31, as the top 16 bits of an fp32
const uint TABLE_FACTOR_MAX = 8191u;         // 13 bits
const uint TABLE_COVERED = 1u << 26;

uint tableLookupBits(float t)
{
    return uint(clamp((t + 0.5) * TABLE_LOOKUP_STEPS + 0.5, 0.0, float(TABLE_LOOKUP_MAX)));
}

float tableLookupValue(uint bits)
{
    return float(bits) / TABLE_LOOKUP_STEPS - 0.5;
}

uint tableFactorBits(float f)
{
    uint rounded = (floatBitsToUint(clamp(f, 0.0, 1.99)) + 0x4000u) >> 15;
    return rounded <= TABLE_FACTOR_BASE ? 0u : min(rounded - TABLE_FACTOR_BASE, TABLE_FACTOR_MAX);
}

float tableFactorValue(uint bits)
{
    return bits == 0u ? 0.0 : uintBitsToFloat((bits + TABLE_FACTOR_BASE) << 15);
}

uvec4 encodeTableTexel(vec2 lookup, vec3 m, vec3 k)
{
    uvec3 mb = uvec3(tableFactorBits(m.r), tableFactorBits(m.g), tableFactorBits(m.b));
    uvec3 kb = uvec3(tableFactorBits(k.r), tableFactorBits(k.g), tableFactorBits(k.b));
    return uvec4(tableLookupBits(lookup.x) | (mb.r << 22),
                 tableLookupBits(lookup.y) | (mb.g << 22),
                 mb.b | (kb.r << 13) | ((mb.r >> 10) << 26) | ((mb.g >> 10) << 29),
                 kb.g | (kb.b << 13) | TABLE_COVERED);
}

vec2 tableLookup(uvec4 texel)
{
    return vec2(tableLookupValue(texel.x & TABLE_LOOKUP_MAX), tableLookupValue(texel.y & TABLE_LOOKUP_MAX));
}

vec3 tableMaskFactor(uvec4 texel)
{
    uint r = (texel.x >> 22) | (bitfieldExtract(texel.z, 26, 3) << 10);
    uint g = (texel.y >> 22) | (texel.z >> 29 << 10);
    return vec3(tableFactorValue(r), tableFactorValue(g), tableFactorValue(texel.z & TABLE_FACTOR_MAX));
}

vec3 tableBlackLevel(uvec4 texel)
{
    return vec3(tableFactorValue(bitfieldExtract(texel.z, 13, 13)), tableFactorValue(texel.w & TABLE_FACTOR_MAX),
                tableFactorValue(bitfieldExtract(texel.w, 13, 13)));
}

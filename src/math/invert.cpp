#include "math/invert.h"

#include <cmath>
#include <utility>

bool invert_4x3(const kzMatrix4x4_p& source, kzMatrix4x4_p& result) {
    const kzMatrix4x4_p s = source;  // result may be source
    const float* m = s.m;
    float* r = result.m;

    // The 3x3 block's inverse by cofactors (expanded along its first column).
    r[0] = m[5] * m[10] - m[6] * m[9];
    r[1] = m[2] * m[9] - m[1] * m[10];
    r[2] = m[1] * m[6] - m[2] * m[5];
    r[4] = m[6] * m[8] - m[4] * m[10];
    r[5] = m[0] * m[10] - m[2] * m[8];
    r[6] = m[2] * m[4] - m[0] * m[6];
    r[8] = m[4] * m[9] - m[5] * m[8];
    r[9] = m[1] * m[8] - m[0] * m[9];
    r[10] = m[0] * m[5] - m[1] * m[4];
    const float det = m[0] * r[0] + m[4] * r[1] + m[8] * r[2];
    const float inverseDet = 1.0f / det;
    for (int i : {0, 1, 2, 4, 5, 6, 8, 9, 10}) r[i] *= inverseDet;

    r[3] = 0.0f;
    r[7] = 0.0f;
    r[11] = 0.0f;
    r[15] = 1.0f;

    const double lastMinusOne = static_cast<double>(m[15]) - 1.0;
    if (lastMinusOne * lastMinusOne <= 1.0e-6) {
        const float t0 = m[12], t1 = m[13], t2 = m[14];
        for (int j = 0; j < 3; ++j) r[12 + j] = -(t0 * r[j] + t1 * r[4 + j] + t2 * r[8 + j]);
        return true;
    }

    // Projective last column: correct the affine inverse by the rank-one
    // update that accounts for (m3, m7, m11, m15).
    r[12] = 0.0f;
    r[13] = 0.0f;
    r[14] = 0.0f;
    const float p[3] = {m[3], m[7], m[11]};
    const float t[3] = {m[12], m[13], m[14]};
    float a[3];
    for (int i = 0; i < 3; ++i) a[i] = r[4 * i] * p[0] + r[4 * i + 1] * p[1] + r[4 * i + 2] * p[2];
    const float k = 1.0f / (m[15] - (a[0] * t[0] + a[1] * t[1] + a[2] * t[2]));
    const float tk[3] = {t[0] * k, t[1] * k, t[2] * k};
    const kzMatrix4x4_p correction(a[0] * tk[0] + 1.0f, a[0] * tk[1], a[0] * tk[2], -a[0] * k,
                                   a[1] * tk[0], a[1] * tk[1] + 1.0f, a[1] * tk[2], -a[1] * k,
                                   a[2] * tk[0], a[2] * tk[1], a[2] * tk[2] + 1.0f, -a[2] * k,
                                   -tk[0], -tk[1], -tk[2], k);
    result.preMult(correction);
    return true;
}

bool invert_4x4(const kzMatrix4x4_p& source, kzMatrix4x4_p& result) {
    kzMatrix4x4_p work = source;  // result may be source
    auto at = [&work](int row, int column) -> float& { return work.m[4 * row + column]; };

    int pivotRow[4] = {0, 0, 0, 0};
    int pivotColumn[4] = {0, 0, 0, 0};
    int timesPivot[4] = {0, 0, 0, 0};

    for (int step = 0; step < 4; ++step) {
        double largest = 0.0;
        int row = 0, column = 0;
        for (int j = 0; j < 4; ++j) {
            if (timesPivot[j] == 1) continue;
            for (int k = 0; k < 4; ++k) {
                if (timesPivot[k] != 0) continue;
                const double magnitude = std::fabs(static_cast<double>(at(j, k)));
                if (magnitude >= largest) {
                    largest = magnitude;
                    row = j;
                    column = k;
                }
            }
        }
        // Only a not-a-number element can leave the search on a used column.
        if (++timesPivot[column] > 1) {
            result = work;
            return false;
        }

        if (row != column)
            for (int l = 0; l < 4; ++l) std::swap(at(row, l), at(column, l));
        pivotRow[step] = row;
        pivotColumn[step] = column;

        if (at(column, column) == 0.0f) {
            result = work;
            return false;
        }
        const double inversePivot = 1.0 / static_cast<double>(at(column, column));
        at(column, column) = 1.0f;
        for (int l = 0; l < 4; ++l) at(column, l) = static_cast<float>(at(column, l) * inversePivot);

        for (int other = 0; other < 4; ++other) {
            if (other == column) continue;
            const float factor = at(other, column);
            at(other, column) = 0.0f;
            for (int l = 0; l < 4; ++l) at(other, l) -= at(column, l) * factor;
        }
    }

    for (int step = 3; step >= 0; --step) {
        if (pivotRow[step] == pivotColumn[step]) continue;
        for (int k = 0; k < 4; ++k) std::swap(at(k, pivotRow[step]), at(k, pivotColumn[step]));
    }
    result = work;
    return true;
}

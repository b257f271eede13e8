#include "math/decompose.h"

#include <cmath>
#include <utility>

namespace decomp {

namespace {

// sqrt(1/2) in single precision, used everywhere the routines need it.
constexpr float kSqrtHalf = 0.70710677f;

// Stops a Newton iteration that fails to converge (not-a-number input stops
// on its own); well-conditioned matrices need fewer than ten steps.
constexpr int kMaxPolarIterations = 100;

enum { X = 0, Y = 1, Z = 2, W = 3 };

void setIdentity(HMatrix M) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) M[i][j] = i == j ? 1.0 : 0.0;
}

void pad(HMatrix M) {
    for (int i = 0; i < 3; ++i) M[i][3] = M[3][i] = 0.0;
    M[3][3] = 1.0;
}

void transpose3(HMatrix M, HMatrix T) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) T[i][j] = M[j][i];
}

float& component(kzQuaternion_p& q, int i) {
    switch (i) {
        case X: return q.x;
        case Y: return q.y;
        case Z: return q.z;
        default: return q.w;
    }
}

}  // namespace

const kzQuaternion_p qxtoz{0.0f, kSqrtHalf, 0.0f, kSqrtHalf};
const kzQuaternion_p qytoz{kSqrtHalf, 0.0f, 0.0f, kSqrtHalf};
const kzQuaternion_p qppmm{0.5f, 0.5f, -0.5f, -0.5f};
const kzQuaternion_p qpppp{0.5f, 0.5f, 0.5f, 0.5f};
const kzQuaternion_p qmpmm{-0.5f, 0.5f, -0.5f, -0.5f};
const kzQuaternion_p qpppm{0.5f, 0.5f, 0.5f, -0.5f};
const kzQuaternion_p q0001{0.0f, 0.0f, 0.0f, 1.0f};
const kzQuaternion_p q1000{1.0f, 0.0f, 0.0f, 0.0f};

kzQuaternion_p Qt_(double x, double y, double z, double w) {
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z),
            static_cast<float>(w)};
}

kzQuaternion_p Qt_Mul(kzQuaternion_p a, kzQuaternion_p b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y,
            a.w * b.y + a.y * b.w + a.z * b.x - a.x * b.z,
            a.w * b.z + a.z * b.w + a.x * b.y - a.y * b.x,
            a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

kzQuaternion_p Qt_Conj(kzQuaternion_p q) { return {-q.x, -q.y, -q.z, q.w}; }

kzQuaternion_p Qt_Scale(kzQuaternion_p q, double w) {
    return Qt_(q.x * w, q.y * w, q.z * w, q.w * w);
}

void mat_mult(HMatrix A, HMatrix B, HMatrix AB) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            AB[i][j] = A[i][0] * B[0][j] + A[i][1] * B[1][j] + A[i][2] * B[2][j];
}

double vdot(const double* va, const double* vb) {
    return va[0] * vb[0] + va[1] * vb[1] + va[2] * vb[2];
}

void vcross(const double* va, const double* vb, double* v) {
    const double x = va[1] * vb[2] - va[2] * vb[1];
    const double y = va[2] * vb[0] - va[0] * vb[2];
    const double z = va[0] * vb[1] - va[1] * vb[0];
    v[0] = x;
    v[1] = y;
    v[2] = z;
}

void adjoint_transpose(HMatrix M, HMatrix MadjT) {
    vcross(M[1], M[2], MadjT[0]);
    vcross(M[2], M[0], MadjT[1]);
    vcross(M[0], M[1], MadjT[2]);
}

double mat_norm(HMatrix M, bool tpose) {
    double max = 0.0;
    for (int i = 0; i < 3; ++i) {
        const double sum = tpose ? std::fabs(M[0][i]) + std::fabs(M[1][i]) + std::fabs(M[2][i])
                                 : std::fabs(M[i][0]) + std::fabs(M[i][1]) + std::fabs(M[i][2]);
        if (max < sum) max = sum;
    }
    return max;
}

double norm_inf(HMatrix M) { return mat_norm(M, false); }

double norm_one(HMatrix M) { return mat_norm(M, true); }

int find_max_col(HMatrix M) {
    double max = 0.0;
    int col = -1;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            const double magnitude = std::fabs(M[i][j]);
            if (magnitude > max) {
                max = magnitude;
                col = j;
            }
        }
    return col;
}

void make_reflector(const double* v, double* u) {
    double s = std::sqrt(vdot(v, v));
    const double v0 = v[0], v1 = v[1], v2 = v[2];
    u[0] = v0;
    u[1] = v1;
    u[2] = v2 + (v2 < 0.0 ? -s : s);
    s = std::sqrt(2.0 / vdot(u, u));
    u[0] *= s;
    u[1] *= s;
    u[2] *= s;
}

void reflect_cols(HMatrix M, const double* u) {
    for (int i = 0; i < 3; ++i) {
        const double s = u[0] * M[0][i] + u[1] * M[1][i] + u[2] * M[2][i];
        for (int j = 0; j < 3; ++j) M[j][i] -= u[j] * s;
    }
}

void reflect_rows(HMatrix M, const double* u) {
    for (int i = 0; i < 3; ++i) {
        const double s = vdot(u, M[i]);
        for (int j = 0; j < 3; ++j) M[i][j] -= u[j] * s;
    }
}

// Q may be M itself (polarDecomp passes its working matrix for both).
void do_rank1(HMatrix M, HMatrix Q) {
    setIdentity(Q);
    const int col = find_max_col(M);
    if (col < 0) return;  // rank 0
    double v1[3] = {M[0][col], M[1][col], M[2][col]};
    make_reflector(v1, v1);
    reflect_cols(M, v1);
    double v2[3] = {M[2][0], M[2][1], M[2][2]};
    make_reflector(v2, v2);
    reflect_rows(M, v2);
    if (M[2][2] < 0.0) Q[2][2] = -1.0;
    reflect_cols(Q, v1);
    reflect_rows(Q, v2);
}

// Q may be M itself (polarDecomp passes its working matrix for both).
void do_rank2(HMatrix M, HMatrix MadjT, HMatrix Q) {
    const int col = find_max_col(MadjT);
    if (col < 0) {
        do_rank1(M, Q);
        return;
    }
    double v1[3] = {MadjT[0][col], MadjT[1][col], MadjT[2][col]};
    make_reflector(v1, v1);
    reflect_cols(M, v1);
    double v2[3];
    vcross(M[0], M[1], v2);
    make_reflector(v2, v2);
    reflect_rows(M, v2);
    const double w = M[0][0], x = M[0][1], y = M[1][0], z = M[1][1];
    double c, s, d;
    if (w * z > x * y) {
        c = z + w;
        s = y - x;
        d = std::sqrt(c * c + s * s);
        c /= d;
        s /= d;
        Q[0][0] = Q[1][1] = c;
        Q[1][0] = s;
        Q[0][1] = -s;
    } else {
        c = z - w;
        s = y + x;
        d = std::sqrt(c * c + s * s);
        c /= d;
        s /= d;
        Q[1][1] = c;
        Q[0][0] = -c;
        Q[0][1] = Q[1][0] = s;
    }
    Q[0][2] = Q[2][0] = Q[1][2] = Q[2][1] = 0.0;
    Q[2][2] = 1.0;
    reflect_cols(Q, v1);
    reflect_rows(Q, v2);
}

double polarDecomp(HMatrix M, HMatrix Q, HMatrix S) {
    HMatrix Mk, MadjTk, Ek;
    transpose3(M, Mk);
    double M_one = norm_one(Mk), M_inf = norm_inf(Mk);
    double det = 0.0, E_one = 0.0;
    int iterations = 0;
    do {
        adjoint_transpose(Mk, MadjTk);
        det = vdot(Mk[0], MadjTk[0]);
        if (det == 0.0) {
            do_rank2(Mk, MadjTk, Mk);
            break;
        }
        const double MadjT_one = norm_one(MadjTk), MadjT_inf = norm_inf(MadjTk);
        const double gamma =
            std::sqrt(std::sqrt((MadjT_one * MadjT_inf) / (M_one * M_inf)) / std::fabs(det));
        const double g1 = gamma * 0.5;
        const double g2 = 0.5 / (gamma * det);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) {
                Ek[i][j] = Mk[i][j];
                Mk[i][j] = g1 * Mk[i][j] + g2 * MadjTk[i][j];
                Ek[i][j] -= Mk[i][j];
            }
        E_one = norm_one(Ek);
        M_one = norm_one(Mk);
        M_inf = norm_inf(Mk);
    } while (E_one > M_one * 1.0e-6 && ++iterations < kMaxPolarIterations);

    transpose3(Mk, Q);
    pad(Q);
    mat_mult(Mk, M, S);
    pad(S);
    for (int i = 0; i < 3; ++i)
        for (int j = i; j < 3; ++j) S[i][j] = S[j][i] = 0.5 * (S[i][j] + S[j][i]);
    return det;
}

kzQuaternion_p spectDecomp(HMatrix S, HMatrix U) {
    static const int next[3] = {Y, Z, X};
    double Diag[3] = {S[X][X], S[Y][Y], S[Z][Z]};
    double OffD[3] = {S[Y][Z], S[Z][X], S[X][Y]};  // indexed by the omitted row and column
    setIdentity(U);
    for (int sweep = 20; sweep > 0; --sweep) {
        const double sm = std::fabs(OffD[X]) + std::fabs(OffD[Y]) + std::fabs(OffD[Z]);
        if (sm == 0.0) break;
        for (int i = Z; i >= X; --i) {
            const int p = next[i], q = next[p];
            const double fabsOffDi = std::fabs(OffD[i]);
            const double g = 100.0 * fabsOffDi;
            if (!(fabsOffDi > 0.0)) continue;
            const double h = Diag[q] - Diag[p];
            const double fabsh = std::fabs(h);
            double t;
            if (fabsh + g == fabsh) {
                t = OffD[i] / h;
            } else {
                const double theta = 0.5 * h / OffD[i];
                t = 1.0 / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
                if (theta < 0.0) t = -t;
            }
            const double c = 1.0 / std::sqrt(t * t + 1.0);
            const double s = t * c;
            const double tau = s / (c + 1.0);
            const double ta = t * OffD[i];
            OffD[i] = 0.0;
            Diag[p] -= ta;
            Diag[q] += ta;
            const double OffDq = OffD[q];
            OffD[q] -= s * (OffD[p] + tau * OffD[q]);
            OffD[p] += s * (OffDq - tau * OffD[p]);
            for (int j = Z; j >= X; --j) {
                const double a = U[j][p], b = U[j][q];
                U[j][p] -= s * (b + tau * a);
                U[j][q] += s * (a - tau * b);
            }
        }
    }
    return Qt_(Diag[X], Diag[Y], Diag[Z], 1.0);
}

kzQuaternion_p quatFromMatrix(HMatrix mat) {
    kzQuaternion_p qu;
    const double tr = mat[X][X] + mat[Y][Y] + mat[Z][Z];
    if (tr >= 0.0) {
        double s = std::sqrt(tr + mat[W][W]);
        qu.w = static_cast<float>(s * 0.5);
        s = 0.5 / s;
        qu.x = static_cast<float>((mat[Z][Y] - mat[Y][Z]) * s);
        qu.y = static_cast<float>((mat[X][Z] - mat[Z][X]) * s);
        qu.z = static_cast<float>((mat[Y][X] - mat[X][Y]) * s);
    } else {
        int h = X;
        if (mat[Y][Y] > mat[X][X]) h = Y;
        if (mat[Z][Z] > mat[h][h]) h = Z;
        const int i = h, j = (h + 1) % 3, k = (h + 2) % 3;
        double s = std::sqrt((mat[i][i] - (mat[j][j] + mat[k][k])) + mat[W][W]);
        component(qu, i) = static_cast<float>(s * 0.5);
        s = 0.5 / s;
        component(qu, j) = static_cast<float>((mat[i][j] + mat[j][i]) * s);
        component(qu, k) = static_cast<float>((mat[k][i] + mat[i][k]) * s);
        qu.w = static_cast<float>((mat[k][j] - mat[j][k]) * s);
    }
    if (mat[W][W] != 1.0) qu = Qt_Scale(qu, 1.0 / std::sqrt(mat[W][W]));
    return qu;
}

kzQuaternion_p snuggle(kzQuaternion_p q, kzQuaternion_p* k) {
    float ka[4] = {k->x, k->y, k->z, 0.0f};
    const auto swap = [&ka](int i, int j) { std::swap(ka[i], ka[j]); };
    // cycle(true): (k.y, k.z, k.x); cycle(false): (k.z, k.x, k.y).
    const auto cycle = [&ka](bool forward) {
        if (forward) {
            const float first = ka[0];
            ka[0] = ka[1];
            ka[1] = ka[2];
            ka[2] = first;
        } else {
            const float last = ka[2];
            ka[2] = ka[1];
            ka[1] = ka[0];
            ka[0] = last;
        }
    };

    int turn = -1;
    if (ka[X] == ka[Y])
        turn = ka[X] == ka[Z] ? W : Z;
    else if (ka[X] == ka[Z])
        turn = Y;
    else if (ka[Y] == ka[Z])
        turn = X;

    kzQuaternion_p p;
    if (turn >= 0) {
        // Two or three equal factors: any rotation about the shared axes is
        // equivalent, so pick the one that brings q closest to the identity.
        kzQuaternion_p qtoz;
        switch (turn) {
            case X:
                q = Qt_Mul(q, qtoz = qxtoz);
                swap(X, Z);
                break;
            case Y:
                q = Qt_Mul(q, qtoz = qytoz);
                swap(Y, Z);
                break;
            case Z:
                qtoz = q0001;
                break;
            default:
                return Qt_Conj(q);
        }
        q = Qt_Conj(q);
        double mag[3] = {
            static_cast<double>(q.z) * q.z + static_cast<double>(q.w) * q.w - 0.5,
            static_cast<double>(q.x) * q.z - static_cast<double>(q.y) * q.w,
            static_cast<double>(q.y) * q.z + static_cast<double>(q.x) * q.w};
        bool neg[3];
        for (int i = 0; i < 3; ++i) {
            neg[i] = mag[i] < 0.0;
            if (neg[i]) mag[i] = -mag[i];
        }
        int win;
        if (mag[0] > mag[1])
            win = mag[0] > mag[2] ? 0 : 2;
        else
            win = mag[1] > mag[2] ? 1 : 2;
        switch (win) {
            case 0:
                p = neg[0] ? q1000 : q0001;
                break;
            case 1:
                p = neg[1] ? qppmm : qpppp;
                cycle(false);
                break;
            default:
                p = neg[2] ? qmpmm : qpppm;
                cycle(true);
                break;
        }
        const kzQuaternion_p qp = Qt_Mul(q, p);
        const double t = std::sqrt(mag[win] + 0.5);
        p = Qt_Mul(p, Qt_(0.0, 0.0, -qp.z / t, qp.w / t));
        p = Qt_Mul(qtoz, Qt_Conj(p));
    } else {
        // All factors distinct: p is one of the 24 rotations that permute the
        // axes, the one nearest to q's conjugate.
        float qa[4] = {q.x, q.y, q.z, q.w};
        float pa[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        bool neg[4];
        bool parity = false;
        for (int i = 0; i < 4; ++i) {
            neg[i] = qa[i] < 0.0f;
            if (neg[i]) qa[i] = -qa[i];
            parity ^= neg[i];
        }
        const auto withSign = [&neg](int i, float value) { return neg[i] ? -value : value; };

        int lo = qa[0] > qa[1] ? 0 : 1;
        int hi = qa[2] > qa[3] ? 2 : 3;
        if (qa[lo] > qa[hi]) {
            if (qa[lo ^ 1] > qa[hi]) {
                hi = lo;
                lo ^= 1;
            } else {
                std::swap(hi, lo);
            }
        } else if (qa[hi ^ 1] > qa[lo]) {
            lo = hi ^ 1;
        }
        const double all = (qa[0] + qa[1] + qa[2] + qa[3]) * 0.5;
        const double two = (qa[hi] + qa[lo]) * static_cast<double>(kSqrtHalf);
        const double big = qa[hi];
        if (all > two) {
            if (all > big) {
                for (int i = 0; i < 4; ++i) pa[i] = withSign(i, 0.5f);
                cycle(parity);
            } else {
                pa[hi] = withSign(hi, 1.0f);
            }
        } else if (two > big) {
            pa[hi] = withSign(hi, kSqrtHalf);
            pa[lo] = withSign(lo, kSqrtHalf);
            if (lo > hi) std::swap(hi, lo);
            if (hi == W) {
                static const int nextAxis[3] = {1, 2, 0};
                hi = nextAxis[lo];
                lo = 3 - hi - lo;
            }
            swap(hi, lo);
        } else {
            pa[hi] = withSign(hi, 1.0f);
        }
        p = kzQuaternion_p(-pa[0], -pa[1], -pa[2], pa[3]);
    }
    k->x = ka[X];
    k->y = ka[Y];
    k->z = ka[Z];
    return p;
}

void decompAffine(HMatrix A, _affineParts* parts) {
    HMatrix Q, S, U;
    parts->t = Qt_(A[X][W], A[Y][W], A[Z][W], 0.0);
    const double det = polarDecomp(A, Q, S);
    if (det < 0.0) {
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) Q[i][j] = -Q[i][j];
        parts->f = -1.0;
    } else {
        parts->f = 1.0;
    }
    parts->q = quatFromMatrix(Q);
    parts->k = spectDecomp(S, U);
    parts->u = quatFromMatrix(U);
    const kzQuaternion_p p = snuggle(parts->u, &parts->k);
    parts->u = Qt_Mul(parts->u, p);
}

}  // namespace decomp

void kzMatrix4x4_p::decompose(kzVec3f_p& translation, kzQuaternion_p& rotation, kzVec3f_p& scale,
                              kzQuaternion_p& scaleOrientation) const {
    decomp::HMatrix A;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) A[i][j] = m[4 * j + i];
    decomp::_affineParts parts;
    decomp::decompAffine(A, &parts);
    translation = kzVec3f_p(parts.t.x, parts.t.y, parts.t.z);
    rotation = parts.q;
    scaleOrientation = parts.u;
    scale = kzVec3f_p(static_cast<float>(parts.f * parts.k.x), static_cast<float>(parts.f * parts.k.y),
                      static_cast<float>(parts.f * parts.k.z));
}

// Polar decomposition of an affine matrix into translation, rotation, stretch
// and stretch orientation (Shoemake and Duff's routines, working in double).
// Matrices are [row][column] for column vectors: translation in column 3.
// Quaternions and four-vectors use kzQuaternion_p's (x, y, z, w) layout.
#pragma once

#include "kzLib/math.h"

namespace decomp {

using HMatrix = double[4][4];

struct _affineParts {
    kzQuaternion_p t;  // translation (x, y, z) and w = 0
    kzQuaternion_p q;  // essential rotation
    kzQuaternion_p u;  // stretch rotation
    kzQuaternion_p k;  // stretch factors (x, y, z) and w = 1
    double f;          // sign of the determinant
};

extern const kzQuaternion_p qxtoz, qytoz, qppmm, qpppp, qmpmm, qpppm, q0001, q1000;

// Splits A into its parts.
void decompAffine(HMatrix A, _affineParts* parts);
// M = Q S with Q orthogonal and S symmetric positive semi-definite; returns det(M).
double polarDecomp(HMatrix M, HMatrix Q, HMatrix S);
// S = U K U^T by Jacobi rotations; returns K as (k0, k1, k2, 1).
kzQuaternion_p spectDecomp(HMatrix S, HMatrix U);
// The correction p that makes q x p the equivalent stretch rotation closest to the identity; permutes k to match.
kzQuaternion_p snuggle(kzQuaternion_p q, kzQuaternion_p* k);
// Rotation of a matrix's 3x3 block (scaled by 1/sqrt(m[3][3]) when that is not 1).
kzQuaternion_p quatFromMatrix(HMatrix mat);

kzQuaternion_p Qt_(double x, double y, double z, double w);
kzQuaternion_p Qt_Mul(kzQuaternion_p a, kzQuaternion_p b);
kzQuaternion_p Qt_Conj(kzQuaternion_p q);
kzQuaternion_p Qt_Scale(kzQuaternion_p q, double w);

// 3x3 helpers on the double matrices.
void mat_mult(HMatrix A, HMatrix B, HMatrix AB);
double mat_norm(HMatrix M, bool tpose);
double norm_inf(HMatrix M);  // largest absolute row sum
double norm_one(HMatrix M);  // largest absolute column sum
int find_max_col(HMatrix M);  // column of the largest magnitude; -1 for a zero matrix
void vcross(const double* va, const double* vb, double* v);
double vdot(const double* va, const double* vb);
void adjoint_transpose(HMatrix M, HMatrix MadjT);
void make_reflector(const double* v, double* u);
void reflect_cols(HMatrix M, const double* u);
void reflect_rows(HMatrix M, const double* u);
void do_rank1(HMatrix M, HMatrix Q);
void do_rank2(HMatrix M, HMatrix MadjT, HMatrix Q);

}  // namespace decomp

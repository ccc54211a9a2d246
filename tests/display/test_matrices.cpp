#include "display/datatypes.h"
#include "display/matrices.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

namespace {

Matrix4 Identity()
{
    Matrix4 m;
    MatrixIdentity(m);
    return m;
}

// A well-conditioned matrix with no zero elements.
Matrix4 Sample()
{
    return {2, 0.5, -1, 0.25, 1, 3, 0.75, -0.5, -2, 1.5, 4, 1, 3, -1, 2, 1};
}

void ExpectNear(const Matrix4& a, const Matrix4& b, double eps)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a[i], b[i], eps) << "element " << i;
}

TEST(Matrices, DegToRadIsRoundedToFloat)
{
    EXPECT_EQ(static_cast<double>(DegToRad(180)), 3.1415927410125732);
    EXPECT_EQ(DegToRad(0), 0.0f);
    EXPECT_EQ(DegToRad(-90), -DegToRad(90));
    EXPECT_EQ(DegToRad(90), static_cast<float>(M_PI / 2));
}

TEST(Matrices, PerspectiveOfTheDisplayPanel)
{
    Matrix4 m;
    m.fill(7);
    MatrixPerspective(m, 45, 465.0 / 348.0, 1, 10000);
    EXPECT_EQ(m[0], 1.806766278937284);
    EXPECT_EQ(m[5], 2.414213562373095);
    EXPECT_EQ(m[10], -1.0002000200020003);
    EXPECT_EQ(m[11], -1.0);
    EXPECT_EQ(m[14], -2.000200020002);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13, 15})
        EXPECT_EQ(m[i], 0.0) << "element " << i;
}

TEST(Matrices, FrustumOffCentreAndDegenerate)
{
    Matrix4 m;
    MatrixFrustum(m, -1, 3, -2, 2, 1, 11);
    EXPECT_EQ(m[0], 0.5);
    EXPECT_EQ(m[5], 0.5);
    EXPECT_EQ(m[8], 0.5);
    EXPECT_EQ(m[9], 0.0);
    EXPECT_EQ(m[10], -1.2);
    EXPECT_EQ(m[14], -2.2);
    EXPECT_EQ(m[15], 0.0);

    MatrixFrustum(m, 1, 1, 0, 0, 5, 5); // no fault, only non-finite values
    EXPECT_FALSE(std::isfinite(m[0]));
    EXPECT_FALSE(std::isfinite(m[5]));
    EXPECT_FALSE(std::isfinite(m[10]));
}

TEST(Matrices, RotateSpecialAngles)
{
    Matrix4 m;
    MatrixRotate(m, 0, 0, 0);
    EXPECT_EQ(m, Identity());

    // B = 0: the Y terms drop out.
    MatrixRotate(m, 30, 0, 60);
    const double sA = static_cast<float>(std::sin(static_cast<double>(DegToRad(30))));
    const double cA = static_cast<float>(std::cos(static_cast<double>(DegToRad(30))));
    const double sC = static_cast<float>(std::sin(static_cast<double>(DegToRad(60))));
    const double cC = static_cast<float>(std::cos(static_cast<double>(DegToRad(60))));
    EXPECT_EQ(m[8], 0.0);
    EXPECT_EQ(m[0], cC);
    EXPECT_EQ(m[4], sC);
    EXPECT_EQ(m[9], sA);
    EXPECT_EQ(m[10], cA);
    EXPECT_EQ(m[1], -cA * sC);
    EXPECT_EQ(m[5], cA * cC);
    for (int i : {3, 7, 11, 12, 13, 14})
        EXPECT_EQ(m[i], 0.0);
    EXPECT_EQ(m[15], 1.0);

    // Any rotation is orthonormal (to float accuracy).
    MatrixRotate(m, 17, -43, 250);
    Matrix4 t, p;
    MatrixTranspose(t, m);
    MatrixMultiply(p, t, m);
    ExpectNear(p, Identity(), 1e-6);
}

TEST(Matrices, TranslateMovesThePointToTheOrigin)
{
    Matrix4 m;
    MatrixTranslate(m, 1.5f, -2, 3);
    // (x, y, z, 1) -> (x - X, y - Y, z - Z, 1)
    const double p[4] = {4, 5, 6, 1};
    double q[4];
    for (int r = 0; r < 4; ++r)
        q[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r] * p[3];
    EXPECT_EQ(q[0], 2.5);
    EXPECT_EQ(q[1], 7.0);
    EXPECT_EQ(q[2], 3.0);
    EXPECT_EQ(q[3], 1.0);
}

TEST(Matrices, MultiplyOrderAndAliasing)
{
    Matrix4 rot, tr, rt, tr_r;
    MatrixRotate(rot, 0, 0, 90);
    MatrixTranslate(tr, 1, 0, 0);
    MatrixMultiply(rt, rot, tr);
    MatrixMultiply(tr_r, tr, rot);
    EXPECT_NE(rt, tr_r);
    // rotation x translation: the translation is rotated too
    EXPECT_NEAR(rt[12], 0.0, 1e-7);
    EXPECT_NEAR(rt[13], 1.0, 1e-7);
    EXPECT_EQ(tr_r[12], -1.0);

    const Matrix4 a = Sample();
    Matrix4 b;
    MatrixRotate(b, 10, 20, 30);
    Matrix4 separate;
    MatrixMultiply(separate, a, b);
    Matrix4 r1 = a;
    MatrixMultiply(r1, r1, b);
    EXPECT_EQ(r1, separate);
    Matrix4 r2 = b;
    MatrixMultiply(r2, a, r2);
    EXPECT_EQ(r2, separate);
    Matrix4 sq;
    MatrixMultiply(sq, a, a);
    Matrix4 r3 = a;
    MatrixMultiply(r3, r3, r3);
    EXPECT_EQ(r3, sq);
}

TEST(Matrices, TransposeAndInverseMayWriteOverTheirSource)
{
    const Matrix4 a = Sample();
    Matrix4 t;
    MatrixTranspose(t, a);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(t[4 * i + j], a[4 * j + i]);
    Matrix4 same = a;
    MatrixTranspose(same, same);
    EXPECT_EQ(same, t);

    Matrix4 inv;
    MatrixInverse(inv, a);
    Matrix4 inPlace = a;
    MatrixInverse(inPlace, inPlace);
    EXPECT_EQ(inPlace, inv);
}

TEST(Matrices, InverseUndoesTheMatrix)
{
    const Matrix4 a = Sample();
    Matrix4 inv, p;
    MatrixInverse(inv, a);
    MatrixMultiply(p, inv, a);
    ExpectNear(p, Identity(), 1e-12);
    MatrixMultiply(p, a, inv);
    ExpectNear(p, Identity(), 1e-12);

    // Exact for a translation and a diagonal scale.
    Matrix4 tr;
    MatrixTranslate(tr, 2, -3, 4);
    MatrixInverse(inv, tr);
    Matrix4 back;
    MatrixTranslate(back, -2, 3, -4);
    EXPECT_EQ(inv, back);

    Matrix4 s = Identity();
    s[0] = 2;
    s[5] = 4;
    s[10] = 0.5;
    MatrixInverse(inv, s);
    EXPECT_EQ(inv[0], 0.5);
    EXPECT_EQ(inv[5], 0.25);
    EXPECT_EQ(inv[10], 2.0);
    EXPECT_EQ(inv[15], 1.0);
}

TEST(Matrices, InverseOfASingularMatrixIsNotFinite)
{
    Matrix4 singular = Sample();
    for (int r = 0; r < 4; ++r)
        singular[4 + r] = 2 * singular[r]; // column 1 = 2 x column 0
    Matrix4 inv;
    MatrixInverse(inv, singular);
    bool anyNonFinite = false;
    for (double v : inv)
        anyNonFinite = anyNonFinite || !std::isfinite(v);
    EXPECT_TRUE(anyNonFinite);

    Matrix4 zero;
    MatrixZero(zero);
    MatrixInverse(inv, zero);
    for (double v : inv)
        EXPECT_TRUE(std::isnan(v));
}

TEST(Matrices, CrossProduct)
{
    Vector3 x, y, r;
    Vector3Set(x, 1, 0, 0);
    Vector3Set(y, 0, 1, 0);
    Vector3Cross(x, y, r);
    EXPECT_EQ(r.x, 0.0f);
    EXPECT_EQ(r.y, 0.0f);
    EXPECT_EQ(r.z, 1.0f);
    Vector3Cross(y, x, r);
    EXPECT_EQ(r.z, -1.0f);

    Vector3 a, b;
    Vector3Set(a, 2, -3, 5);
    Vector3Set(b, -4, 6, -10); // parallel
    Vector3Cross(a, b, r);
    EXPECT_EQ(r.x, 0.0f);
    EXPECT_EQ(r.y, 0.0f);
    EXPECT_EQ(r.z, 0.0f);

    Vector3Set(b, 1, 2, 3);
    Vector3Cross(a, b, r);
    EXPECT_EQ(r.x, -19.0f);
    EXPECT_EQ(r.y, -1.0f);
    EXPECT_EQ(r.z, 7.0f);
    Vector3Cross(a, b, a); // result over the first input
    EXPECT_EQ(a.x, -19.0f);
    EXPECT_EQ(a.y, -1.0f);
    EXPECT_EQ(a.z, 7.0f);

    // Products are formed wider than float and rounded once.
    const float e = 1.0f + std::ldexp(1.0f, -23);
    Vector3Set(a, 0, e, 1);
    Vector3Set(b, 0, 1.0f + std::ldexp(1.0f, -22), e);
    Vector3Cross(a, b, r);
    EXPECT_EQ(r.x, std::ldexp(1.0f, -46)); // float products would cancel to 0
}

TEST(Matrices, RotateVectorIgnoresTheTranslation)
{
    Matrix4 m;
    MatrixRotate(m, 0, 0, 90);
    m[12] = 100;
    m[13] = 200;
    m[14] = 300;
    m[15] = 5;
    Vector3 zero, r;
    MatrixRotateVector(m, zero, r);
    EXPECT_EQ(r.x, 0.0f);
    EXPECT_EQ(r.y, 0.0f);
    EXPECT_EQ(r.z, 0.0f);

    Vector3 v;
    Vector3Set(v, 1, 2, 3);
    MatrixRotateVector(m, v, r);
    EXPECT_NEAR(r.x, 2.0f, 1e-6);
    EXPECT_NEAR(r.y, -1.0f, 1e-6);
    EXPECT_EQ(r.z, 3.0f);

    // Result over the input, and each component rounded from a double sum.
    Matrix4 g;
    MatrixIdentity(g);
    g[0] = 0.1;
    g[4] = 0.2;
    g[8] = 0.3;
    Vector3Set(v, 1, 1, 1);
    MatrixRotateVector(g, v, v);
    EXPECT_EQ(v.x, static_cast<float>(0.1 + 0.2 + 0.3));
    EXPECT_EQ(v.y, 1.0f);
    EXPECT_EQ(v.z, 1.0f);
}

} // namespace

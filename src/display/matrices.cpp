#include "display/matrices.h"

#include "display/datatypes.h"

#include <cmath>

void MatrixZero(Matrix4& M)
{
    M.fill(0.0);
}

void MatrixIdentity(Matrix4& M)
{
    MatrixZero(M);
    M[0] = M[5] = M[10] = M[15] = 1.0;
}

void MatrixTranslate(Matrix4& M, float X, float Y, float Z)
{
    MatrixIdentity(M);
    M[12] = -static_cast<double>(X);
    M[13] = -static_cast<double>(Y);
    M[14] = -static_cast<double>(Z);
}

void MatrixRotate(Matrix4& M, float A, float B, float C)
{
    MatrixIdentity(M);
    const float a = DegToRad(A), b = DegToRad(B), c = DegToRad(C);
    const double sA = static_cast<float>(std::sin(static_cast<double>(a)));
    const double sB = static_cast<float>(std::sin(static_cast<double>(b)));
    const double sC = static_cast<float>(std::sin(static_cast<double>(c)));
    const double cA = static_cast<float>(std::cos(static_cast<double>(a)));
    const double cB = static_cast<float>(std::cos(static_cast<double>(b)));
    const double cC = static_cast<float>(std::cos(static_cast<double>(c)));
    M[0] = cB * cC + sA * sB * sC;
    M[1] = -cA * sC;
    M[2] = sA * cB * sC - sB * cC;
    M[4] = cB * sC - sA * sB * cC;
    M[5] = cA * cC;
    M[6] = -sB * sC - sA * cB * cC;
    M[8] = cA * sB;
    M[9] = sA;
    M[10] = cA * cB;
}

void MatrixMultiply(Matrix4& R, const Matrix4& A, const Matrix4& B)
{
    const Matrix4 a = A, b = B;
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            R[4 * c + r] = a[r] * b[4 * c] + a[4 + r] * b[4 * c + 1] + a[8 + r] * b[4 * c + 2] +
                           a[12 + r] * b[4 * c + 3];
}

void MatrixTranspose(Matrix4& Dest, const Matrix4& Src)
{
    const Matrix4 s = Src;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            Dest[4 * i + j] = s[4 * j + i];
}

namespace {

// Cofactors of the elements of columns ca and cb, from the 2 x 2 determinants of the other two columns.
void CofactorsOfColumns(const Matrix4& m, int ca, int cb, Matrix4& cof)
{
    const int oa = (ca == 0) ? 2 : 0; // the two other columns, in order
    const int ob = oa + 1;
    // d[r1][r2]: determinant of rows r1, r2 of the other columns
    double d[4][4] = {};
    for (int r1 = 0; r1 < 4; ++r1)
        for (int r2 = r1 + 1; r2 < 4; ++r2) {
            const double p = m[4 * oa + r1] * m[4 * ob + r2];
            const double q = m[4 * oa + r2] * m[4 * ob + r1];
            d[r1][r2] = p - q;
            d[r2][r1] = q - p;
        }
    for (int c : {ca, cb}) {
        const int k = (c == ca) ? cb : ca; // the remaining column of the minor
        for (int r = 0; r < 4; ++r) {
            int rows[3], n = 0;
            for (int i = 0; i < 4; ++i)
                if (i != r)
                    rows[n++] = i;
            // 3 x 3 minor: columns (k, oa, ob) in ascending order of column index, expanded along column k.
            double minor = m[4 * k + rows[0]] * d[rows[1]][rows[2]] - m[4 * k + rows[1]] * d[rows[0]][rows[2]] +
                           m[4 * k + rows[2]] * d[rows[0]][rows[1]];
            // Column k sits before or after column c in the minor; that and (r + c) give the sign.
            int pos = 0; // position of column k among the three columns of the minor
            for (int col : {k, oa, ob})
                if (col < k)
                    ++pos;
            const int sign = ((r + c + pos) % 2 == 0) ? 1 : -1;
            cof[4 * c + r] = sign * minor;
        }
    }
}

} // namespace

void MatrixInverse(Matrix4& Dest, const Matrix4& Src)
{
    const Matrix4 m = Src;
    Matrix4 cof;
    CofactorsOfColumns(m, 0, 1, cof);
    CofactorsOfColumns(m, 2, 3, cof);
    const double det = m[0] * cof[0] + m[1] * cof[1] + m[2] * cof[2] + m[3] * cof[3];
    for (double& v : cof)
        v = v / det;
    MatrixTranspose(Dest, cof);
}

void MatrixFrustum(Matrix4& M, double Left, double Right, double Bottom, double Top, double Near, double Far)
{
    MatrixZero(M);
    M[0] = 2.0 * Near / (Right - Left);
    M[5] = 2.0 * Near / (Top - Bottom);
    M[8] = (Right + Left) / (Right - Left);
    M[9] = (Top + Bottom) / (Top - Bottom);
    M[10] = -(Far + Near) / (Far - Near);
    M[11] = -1.0;
    M[14] = -(2.0 * Far * Near) / (Far - Near);
}

void MatrixPerspective(Matrix4& M, double FovY, double Aspect, double ZNear, double ZFar)
{
    const double ymax = std::tan(FovY * M_PI / 360.0) * ZNear;
    const double ymin = -ymax;
    const double xmin = ymin * Aspect;
    const double xmax = ymax * Aspect;
    MatrixFrustum(M, xmin, xmax, ymin, ymax, ZNear, ZFar);
}

void Vector3Set(Vector3& V, float X, float Y, float Z)
{
    V.x = X;
    V.y = Y;
    V.z = Z;
}

void Vector3Cross(const Vector3& A, const Vector3& B, Vector3& R)
{
    const Vector3 a = A, b = B;
    const double x = static_cast<double>(a.y) * b.z - static_cast<double>(b.y) * a.z;
    const double y = static_cast<double>(a.z) * b.x - static_cast<double>(a.x) * b.z;
    const double z = static_cast<double>(a.x) * b.y - static_cast<double>(b.x) * a.y;
    Vector3Set(R, static_cast<float>(x), static_cast<float>(y), static_cast<float>(z));
}

void MatrixRotateVector(const Matrix4& M, const Vector3& V, Vector3& R)
{
    const Vector3 v = V;
    const double x = M[0] * v.x + M[4] * v.y + M[8] * v.z;
    const double y = M[1] * v.x + M[5] * v.y + M[9] * v.z;
    const double z = M[2] * v.x + M[6] * v.y + M[10] * v.z;
    R.x = static_cast<float>(x);
    R.y = static_cast<float>(y);
    R.z = static_cast<float>(z);
}

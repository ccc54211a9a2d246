// Vectors and 4 x 4 matrices of the 3D display. Matrices are column-major doubles as OpenGL takes them
// (element 4 * c + r is row r, column c; 12..14 hold the translation); vector components are floats.
// Every operation writes into an out parameter and copies its inputs first, so the out parameter may alias one.
#pragma once

#include <array>

struct Vector3 {
    float x = 0, y = 0, z = 0;
};

using Matrix4 = std::array<double, 16>;

void MatrixZero(Matrix4& M);
void MatrixIdentity(Matrix4& M);
// Identity with the negated translation: moves the point (X, Y, Z) to the origin.
void MatrixTranslate(Matrix4& M, float X, float Y, float Z);
// Rotation from three angles in degrees (sines and cosines taken as floats).
void MatrixRotate(Matrix4& M, float A, float B, float C);
// R := A x B (B acts first on a column vector).
void MatrixMultiply(Matrix4& R, const Matrix4& A, const Matrix4& B);
void MatrixTranspose(Matrix4& Dest, const Matrix4& Src);
// Adjugate inverse; a singular matrix gives infinities or NaN.
void MatrixInverse(Matrix4& Dest, const Matrix4& Src);
// The matrices of glFrustum and gluPerspective.
void MatrixFrustum(Matrix4& M, double Left, double Right, double Bottom, double Top, double Near, double Far);
void MatrixPerspective(Matrix4& M, double FovY, double Aspect, double ZNear, double ZFar);

void Vector3Set(Vector3& V, float X, float Y, float Z);
// R := A x B, each component rounded to float.
void Vector3Cross(const Vector3& A, const Vector3& B, Vector3& R);
// R := upper-left 3 x 3 block of M times V; the translation is not applied.
void MatrixRotateVector(const Matrix4& M, const Vector3& V, Vector3& R);

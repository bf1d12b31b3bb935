// The arithmetic of 4x4 matrices as Matrix3D keeps them: 16 numbers, column by column
// (m[col * 4 + row]), the translation in m[12..14].
#pragma once

#include <array>

namespace flashsaver::avm2::m3d {

using Mat = std::array<double, 16>;
struct Vec {
  double x = 0, y = 0, z = 0, w = 0;
};

enum class Orientation { kEulerAngles, kAxisAngle, kQuaternion };

Mat Identity();
// a · b: b applies first, then a.
Mat Multiply(const Mat& a, const Mat& b);
Mat Transpose(const Mat& m);
double Determinant(const Mat& m);
// False (m unchanged) when m is singular.
bool Invert(Mat& m);
Mat Translation(double x, double y, double z);
Mat Scale(double x, double y, double z);
// A rotation by `degrees` about `axis` (any length) through `pivot`.
Mat Rotation(double degrees, Vec axis, Vec pivot);
// m applied to (x, y, z, 1); w is the projective term. `delta` leaves out the translation.
Vec Apply(const Mat& m, const Vec& v, bool delta);
// Translation, rotation (in the style) and scale; recompose's inverse.
std::array<Vec, 3> Decompose(const Mat& m, Orientation style);
// False when a scale component is zero.
bool Recompose(Mat& out, const std::array<Vec, 3>& parts, Orientation style);
// From a towards b by t, through translations, rotations (as quaternions) and scales.
Mat Interpolate(const Mat& a, const Mat& b, double t);
// Turns m (keeping its position and scale) so its local `at` axis faces pos, `up` upwards.
Mat PointAt(const Mat& m, const Vec& pos, const Vec& at, const Vec& up);

}  // namespace flashsaver::avm2::m3d

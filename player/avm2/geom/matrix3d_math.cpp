#include "player/avm2/geom/matrix3d_math.h"

#include <cmath>
#include <numbers>

namespace flashsaver::avm2::m3d {
namespace {

double& At(Mat& m, int row, int col) { return m[static_cast<size_t>(col * 4 + row)]; }
double At(const Mat& m, int row, int col) { return m[static_cast<size_t>(col * 4 + row)]; }

double Length(const Vec& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
Vec Normalized(const Vec& v) {
  double l = Length(v);
  return l > 0 ? Vec{v.x / l, v.y / l, v.z / l, 0} : v;
}
Vec Cross(const Vec& a, const Vec& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 0};
}

// A unit quaternion (x, y, z, w) from a pure rotation matrix.
Vec ToQuaternion(const Mat& r) {
  double tr = At(r, 0, 0) + At(r, 1, 1) + At(r, 2, 2);
  Vec q;
  if (tr > 0) {
    double s = std::sqrt(tr + 1.0) * 2;
    q = {(At(r, 2, 1) - At(r, 1, 2)) / s, (At(r, 0, 2) - At(r, 2, 0)) / s,
         (At(r, 1, 0) - At(r, 0, 1)) / s, 0.25 * s};
  } else if (At(r, 0, 0) > At(r, 1, 1) && At(r, 0, 0) > At(r, 2, 2)) {
    double s = std::sqrt(1.0 + At(r, 0, 0) - At(r, 1, 1) - At(r, 2, 2)) * 2;
    q = {0.25 * s, (At(r, 0, 1) + At(r, 1, 0)) / s, (At(r, 0, 2) + At(r, 2, 0)) / s,
         (At(r, 2, 1) - At(r, 1, 2)) / s};
  } else if (At(r, 1, 1) > At(r, 2, 2)) {
    double s = std::sqrt(1.0 + At(r, 1, 1) - At(r, 0, 0) - At(r, 2, 2)) * 2;
    q = {(At(r, 0, 1) + At(r, 1, 0)) / s, 0.25 * s, (At(r, 1, 2) + At(r, 2, 1)) / s,
         (At(r, 0, 2) - At(r, 2, 0)) / s};
  } else {
    double s = std::sqrt(1.0 + At(r, 2, 2) - At(r, 0, 0) - At(r, 1, 1)) * 2;
    q = {(At(r, 0, 2) + At(r, 2, 0)) / s, (At(r, 1, 2) + At(r, 2, 1)) / s, 0.25 * s,
         (At(r, 1, 0) - At(r, 0, 1)) / s};
  }
  return q;
}

Mat FromQuaternion(Vec q) {
  double n = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
  if (n > 0) q = {q.x / n, q.y / n, q.z / n, q.w / n};
  double x = q.x, y = q.y, z = q.z, w = q.w;
  Mat r = Identity();
  At(r, 0, 0) = 1 - 2 * (y * y + z * z);
  At(r, 0, 1) = 2 * (x * y - z * w);
  At(r, 0, 2) = 2 * (x * z + y * w);
  At(r, 1, 0) = 2 * (x * y + z * w);
  At(r, 1, 1) = 1 - 2 * (x * x + z * z);
  At(r, 1, 2) = 2 * (y * z - x * w);
  At(r, 2, 0) = 2 * (x * z - y * w);
  At(r, 2, 1) = 2 * (y * z + x * w);
  At(r, 2, 2) = 1 - 2 * (x * x + y * y);
  return r;
}

// Rotation about x, then y, then z (the order eulerAngles uses).
Mat FromEuler(const Vec& e) {
  double cx = std::cos(e.x), sx = std::sin(e.x), cy = std::cos(e.y), sy = std::sin(e.y),
         cz = std::cos(e.z), sz = std::sin(e.z);
  Mat r = Identity();
  At(r, 0, 0) = cy * cz;
  At(r, 1, 0) = cy * sz;
  At(r, 2, 0) = -sy;
  At(r, 0, 1) = sx * sy * cz - cx * sz;
  At(r, 1, 1) = sx * sy * sz + cx * cz;
  At(r, 2, 1) = sx * cy;
  At(r, 0, 2) = cx * sy * cz + sx * sz;
  At(r, 1, 2) = cx * sy * sz - sx * cz;
  At(r, 2, 2) = cx * cy;
  return r;
}

}  // namespace

Mat Identity() { return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; }

Mat Multiply(const Mat& a, const Mat& b) {
  Mat r{};
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 4; ++col) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += At(a, row, k) * At(b, k, col);
      At(r, row, col) = s;
    }
  return r;
}

Mat Transpose(const Mat& m) {
  Mat r{};
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 4; ++col) At(r, row, col) = At(m, col, row);
  return r;
}

namespace {
// The cofactor expansion: inverse = adjugate / det.
Mat Adjugate(const Mat& m, double& det) {
  const double* a = m.data();
  Mat inv{};
  inv[0] = a[5] * a[10] * a[15] - a[5] * a[11] * a[14] - a[9] * a[6] * a[15] + a[9] * a[7] * a[14] +
           a[13] * a[6] * a[11] - a[13] * a[7] * a[10];
  inv[4] = -a[4] * a[10] * a[15] + a[4] * a[11] * a[14] + a[8] * a[6] * a[15] -
           a[8] * a[7] * a[14] - a[12] * a[6] * a[11] + a[12] * a[7] * a[10];
  inv[8] = a[4] * a[9] * a[15] - a[4] * a[11] * a[13] - a[8] * a[5] * a[15] + a[8] * a[7] * a[13] +
           a[12] * a[5] * a[11] - a[12] * a[7] * a[9];
  inv[12] = -a[4] * a[9] * a[14] + a[4] * a[10] * a[13] + a[8] * a[5] * a[14] -
            a[8] * a[6] * a[13] - a[12] * a[5] * a[10] + a[12] * a[6] * a[9];
  inv[1] = -a[1] * a[10] * a[15] + a[1] * a[11] * a[14] + a[9] * a[2] * a[15] -
           a[9] * a[3] * a[14] - a[13] * a[2] * a[11] + a[13] * a[3] * a[10];
  inv[5] = a[0] * a[10] * a[15] - a[0] * a[11] * a[14] - a[8] * a[2] * a[15] + a[8] * a[3] * a[14] +
           a[12] * a[2] * a[11] - a[12] * a[3] * a[10];
  inv[9] = -a[0] * a[9] * a[15] + a[0] * a[11] * a[13] + a[8] * a[1] * a[15] - a[8] * a[3] * a[13] -
           a[12] * a[1] * a[11] + a[12] * a[3] * a[9];
  inv[13] = a[0] * a[9] * a[14] - a[0] * a[10] * a[13] - a[8] * a[1] * a[14] + a[8] * a[2] * a[13] +
            a[12] * a[1] * a[10] - a[12] * a[2] * a[9];
  inv[2] = a[1] * a[6] * a[15] - a[1] * a[7] * a[14] - a[5] * a[2] * a[15] + a[5] * a[3] * a[14] +
           a[13] * a[2] * a[7] - a[13] * a[3] * a[6];
  inv[6] = -a[0] * a[6] * a[15] + a[0] * a[7] * a[14] + a[4] * a[2] * a[15] - a[4] * a[3] * a[14] -
           a[12] * a[2] * a[7] + a[12] * a[3] * a[6];
  inv[10] = a[0] * a[5] * a[15] - a[0] * a[7] * a[13] - a[4] * a[1] * a[15] + a[4] * a[3] * a[13] +
            a[12] * a[1] * a[7] - a[12] * a[3] * a[5];
  inv[14] = -a[0] * a[5] * a[14] + a[0] * a[6] * a[13] + a[4] * a[1] * a[14] - a[4] * a[2] * a[13] -
            a[12] * a[1] * a[6] + a[12] * a[2] * a[5];
  inv[3] = -a[1] * a[6] * a[11] + a[1] * a[7] * a[10] + a[5] * a[2] * a[11] - a[5] * a[3] * a[10] -
           a[9] * a[2] * a[7] + a[9] * a[3] * a[6];
  inv[7] = a[0] * a[6] * a[11] - a[0] * a[7] * a[10] - a[4] * a[2] * a[11] + a[4] * a[3] * a[10] +
           a[8] * a[2] * a[7] - a[8] * a[3] * a[6];
  inv[11] = -a[0] * a[5] * a[11] + a[0] * a[7] * a[9] + a[4] * a[1] * a[11] - a[4] * a[3] * a[9] -
            a[8] * a[1] * a[7] + a[8] * a[3] * a[5];
  inv[15] = a[0] * a[5] * a[10] - a[0] * a[6] * a[9] - a[4] * a[1] * a[10] + a[4] * a[2] * a[9] +
            a[8] * a[1] * a[6] - a[8] * a[2] * a[5];
  det = a[0] * inv[0] + a[1] * inv[4] + a[2] * inv[8] + a[3] * inv[12];
  return inv;
}
}  // namespace

double Determinant(const Mat& m) {
  double det = 0;
  Adjugate(m, det);
  return det;
}

bool Invert(Mat& m) {
  double det = 0;
  Mat adj = Adjugate(m, det);
  if (det == 0 || !std::isfinite(det)) return false;
  for (size_t i = 0; i < 16; ++i) m[i] = adj[i] / det;
  return true;
}

Mat Translation(double x, double y, double z) {
  Mat r = Identity();
  r[12] = x;
  r[13] = y;
  r[14] = z;
  return r;
}

Mat Scale(double x, double y, double z) {
  Mat r = Identity();
  r[0] = x;
  r[5] = y;
  r[10] = z;
  return r;
}

Mat Rotation(double degrees, Vec axis, Vec pivot) {
  Vec u = Normalized(axis);
  double rad = degrees * std::numbers::pi / 180;
  double c = std::cos(rad), s = std::sin(rad), t = 1 - c;
  Mat r = Identity();
  At(r, 0, 0) = t * u.x * u.x + c;
  At(r, 0, 1) = t * u.x * u.y - s * u.z;
  At(r, 0, 2) = t * u.x * u.z + s * u.y;
  At(r, 1, 0) = t * u.x * u.y + s * u.z;
  At(r, 1, 1) = t * u.y * u.y + c;
  At(r, 1, 2) = t * u.y * u.z - s * u.x;
  At(r, 2, 0) = t * u.x * u.z - s * u.y;
  At(r, 2, 1) = t * u.y * u.z + s * u.x;
  At(r, 2, 2) = t * u.z * u.z + c;
  if (pivot.x == 0 && pivot.y == 0 && pivot.z == 0) return r;
  return Multiply(Translation(pivot.x, pivot.y, pivot.z),
                  Multiply(r, Translation(-pivot.x, -pivot.y, -pivot.z)));
}

Vec Apply(const Mat& m, const Vec& v, bool delta) {
  double w = delta ? 0 : 1;
  return {At(m, 0, 0) * v.x + At(m, 0, 1) * v.y + At(m, 0, 2) * v.z + At(m, 0, 3) * w,
          At(m, 1, 0) * v.x + At(m, 1, 1) * v.y + At(m, 1, 2) * v.z + At(m, 1, 3) * w,
          At(m, 2, 0) * v.x + At(m, 2, 1) * v.y + At(m, 2, 2) * v.z + At(m, 2, 3) * w,
          At(m, 3, 0) * v.x + At(m, 3, 1) * v.y + At(m, 3, 2) * v.z + At(m, 3, 3) * w};
}

std::array<Vec, 3> Decompose(const Mat& m, Orientation style) {
  Vec translation{m[12], m[13], m[14], 0};
  Vec cols[3];
  for (int c = 0; c < 3; ++c) cols[c] = {At(m, 0, c), At(m, 1, c), At(m, 2, c), 0};
  Vec scale{Length(cols[0]), Length(cols[1]), Length(cols[2]), 0};
  // A mirrored matrix keeps its rotation proper by flipping one axis's scale.
  if (Determinant(m) < 0) scale.x = -scale.x;
  Mat r = Identity();
  double s[3] = {scale.x, scale.y, scale.z};
  const Vec* cv = cols;
  for (int c = 0; c < 3; ++c) {
    double k = s[c] != 0 ? 1 / s[c] : 0;
    At(r, 0, c) = cv[c].x * k;
    At(r, 1, c) = cv[c].y * k;
    At(r, 2, c) = cv[c].z * k;
  }
  Vec rotation;
  switch (style) {
    case Orientation::kEulerAngles: {
      rotation.y = std::asin(std::fmax(-1.0, std::fmin(1.0, -At(r, 2, 0))));
      if (std::cos(rotation.y) != 0 && std::fabs(At(r, 2, 0)) < 1) {
        rotation.x = std::atan2(At(r, 2, 1), At(r, 2, 2));
        rotation.z = std::atan2(At(r, 1, 0), At(r, 0, 0));
      } else {
        rotation.x = std::atan2(-At(r, 1, 2), At(r, 1, 1));
        rotation.z = 0;
      }
      break;
    }
    case Orientation::kQuaternion:
      rotation = ToQuaternion(r);
      break;
    case Orientation::kAxisAngle: {
      Vec q = ToQuaternion(r);
      double angle = 2 * std::acos(std::fmax(-1.0, std::fmin(1.0, q.w)));
      double sn = std::sqrt(1 - q.w * q.w);
      if (sn > 1e-12)
        rotation = {q.x / sn, q.y / sn, q.z / sn, angle};
      else
        rotation = {0, 0, 0, angle};
      break;
    }
  }
  return {translation, rotation, scale};
}

bool Recompose(Mat& out, const std::array<Vec, 3>& parts, Orientation style) {
  const Vec& t = parts[0];
  const Vec& rot = parts[1];
  const Vec& s = parts[2];
  if (s.x == 0 || s.y == 0 || s.z == 0) return false;
  Mat r;
  switch (style) {
    case Orientation::kEulerAngles:
      r = FromEuler(rot);
      break;
    case Orientation::kQuaternion:
      r = FromQuaternion(rot);
      break;
    case Orientation::kAxisAngle: {
      double half = rot.w / 2, sn = std::sin(half);
      Vec axis = Normalized(rot);
      r = FromQuaternion({axis.x * sn, axis.y * sn, axis.z * sn, std::cos(half)});
      break;
    }
  }
  out = Multiply(Translation(t.x, t.y, t.z), Multiply(r, Scale(s.x, s.y, s.z)));
  return true;
}

Mat Interpolate(const Mat& a, const Mat& b, double t) {
  auto pa = Decompose(a, Orientation::kQuaternion);
  auto pb = Decompose(b, Orientation::kQuaternion);
  auto lerp = [t](const Vec& x, const Vec& y) {
    return Vec{x.x + (y.x - x.x) * t, x.y + (y.y - x.y) * t, x.z + (y.z - x.z) * t,
               x.w + (y.w - x.w) * t};
  };
  Vec qa = pa[1], qb = pb[1];
  double dot = qa.x * qb.x + qa.y * qb.y + qa.z * qb.z + qa.w * qb.w;
  if (dot < 0) {
    qb = {-qb.x, -qb.y, -qb.z, -qb.w};
    dot = -dot;
  }
  Vec q;
  if (dot > 0.9995) {
    q = lerp(qa, qb);
  } else {
    double theta = std::acos(dot), sn = std::sin(theta);
    double wa = std::sin((1 - t) * theta) / sn, wb = std::sin(t * theta) / sn;
    q = {qa.x * wa + qb.x * wb, qa.y * wa + qb.y * wb, qa.z * wa + qb.z * wb,
         qa.w * wa + qb.w * wb};
  }
  Mat out = a;
  Recompose(out, {lerp(pa[0], pb[0]), q, lerp(pa[2], pb[2])}, Orientation::kQuaternion);
  return out;
}

Mat PointAt(const Mat& m, const Vec& pos, const Vec& at, const Vec& up) {
  auto parts = Decompose(m, Orientation::kEulerAngles);
  Vec dir = Normalized({pos.x - m[12], pos.y - m[13], pos.z - m[14], 0});
  if (Length(dir) == 0) return m;
  // World axes for the local frame: `at` maps onto dir, `up` as near to up as dir allows.
  Vec right = Normalized(Cross(up, dir));
  if (Length(right) == 0) return m;
  Vec up2 = Cross(dir, right);
  // The local frame of (at, up): the same construction in the object's own space.
  Vec lat = Normalized(at);
  Vec lright = Normalized(Cross(up, lat));
  if (Length(lright) == 0) return m;
  Vec lup = Cross(lat, lright);
  Mat world = Identity(), local = Identity();
  const Vec w[3] = {right, up2, dir}, l[3] = {lright, lup, lat};
  for (int c = 0; c < 3; ++c) {
    At(world, 0, c) = w[c].x;
    At(world, 1, c) = w[c].y;
    At(world, 2, c) = w[c].z;
    At(local, 0, c) = l[c].x;
    At(local, 1, c) = l[c].y;
    At(local, 2, c) = l[c].z;
  }
  Mat rot = Multiply(world, Transpose(local));
  const Vec& s = parts[2];
  return Multiply(Translation(m[12], m[13], m[14]), Multiply(rot, Scale(s.x, s.y, s.z)));
}

}  // namespace flashsaver::avm2::m3d

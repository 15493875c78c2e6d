// Vectors, matrices, quaternions and transforms: products, inverses,
// projections, rotations and their conversions, look-at, composite order.
// Expected values are worked by hand or computed here in double precision
// from the textbook definitions (row/column indices, Rodrigues' formula,
// Gaussian elimination), never from the library's own index formulas.
#include "math/Mat3.h"
#include "math/Mat4.h"
#include "math/Quat.h"
#include "math/Transform.h"
#include "math/Vec2.h"
#include "math/Vec3.h"
#include "math/Vec4.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

// The constants are constant-initialised, so other translation units'
// static objects can use them whatever the initialisation order.
static_assert(Mat4::IDENTITY.m[15] == 1.0f && Mat4::IDENTITY.m[12] == 0.0f, "Mat4::IDENTITY");
static_assert(Mat3::IDENTITY.m[8] == 1.0f && Mat3::IDENTITY.m[1] == 0.0f, "Mat3::IDENTITY");
static_assert(Vec3::UNIT_Z.z == 1.0f && Vec4::UNIT_W.w == 1.0f, "unit vectors");
static_assert(Quat::ZERO.w == 0.0f, "Quat::ZERO");

namespace {

const double kPi = 3.141592653589793;
const float kNaN = std::numeric_limits<float>::quiet_NaN();

// Built during dynamic initialisation from the constants.
const Mat4 gStartupMatrix = Mat4::IDENTITY * 3.0f;
const Transform gStartupTransform;

// ---- Double-precision reference arithmetic, indexed [row][column]. ----

struct D3 {
    double a[3][3];
};
struct D4 {
    double a[4][4];
};

D3 Ref(const Mat3& m) {
    D3 r;
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) r.a[row][col] = m.m[col * 3 + row];
    return r;
}

D4 Ref(const Mat4& m) {
    D4 r;
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) r.a[row][col] = m.m[col * 4 + row];
    return r;
}

D3 Mul(const D3& x, const D3& y) {
    D3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            r.a[i][j] = 0.0;
            for (int k = 0; k < 3; ++k) r.a[i][j] += x.a[i][k] * y.a[k][j];
        }
    return r;
}

D4 Mul(const D4& x, const D4& y) {
    D4 r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            r.a[i][j] = 0.0;
            for (int k = 0; k < 4; ++k) r.a[i][j] += x.a[i][k] * y.a[k][j];
        }
    return r;
}

// Rodrigues: rotation by angle about the normalised axis.
D3 RefRotation(double angle, double x, double y, double z) {
    double len = std::sqrt(x * x + y * y + z * z);
    x /= len;
    y /= len;
    z /= len;
    double c = std::cos(angle), s = std::sin(angle), t = 1.0 - c;
    double k[3] = {x, y, z};
    double cross[3][3] = {{0, -z, y}, {z, 0, -x}, {-y, x, 0}};
    D3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.a[i][j] = (i == j ? c : 0.0) + s * cross[i][j] + t * k[i] * k[j];
    return r;
}

double RefDet4(D4 m) {
    double det = 1.0;
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int row = col + 1; row < 4; ++row)
            if (std::fabs(m.a[row][col]) > std::fabs(m.a[pivot][col])) pivot = row;
        if (m.a[pivot][col] == 0.0) return 0.0;
        if (pivot != col) {
            for (int k = 0; k < 4; ++k) std::swap(m.a[pivot][k], m.a[col][k]);
            det = -det;
        }
        det *= m.a[col][col];
        for (int row = col + 1; row < 4; ++row) {
            double f = m.a[row][col] / m.a[col][col];
            for (int k = col; k < 4; ++k) m.a[row][k] -= f * m.a[col][k];
        }
    }
    return det;
}

template <int N, typename D>
void ExpectNear(const float* m, const D& ref, double tol, int line) {
    for (int row = 0; row < N; ++row)
        for (int col = 0; col < N; ++col)
            EXPECT_NEAR(m[col * N + row], ref.a[row][col], tol)
                << "row " << row << " column " << col << " (from line " << line << ")";
}
#define EXPECT_MAT3_NEAR(mat, ref, tol) ExpectNear<3>((mat).m, (ref), (tol), __LINE__)
#define EXPECT_MAT4_NEAR(mat, ref, tol) ExpectNear<4>((mat).m, (ref), (tol), __LINE__)

template <int N, typename D>
void ExpectIdentity(const D& d, double tol, int line) {
    for (int row = 0; row < N; ++row)
        for (int col = 0; col < N; ++col)
            EXPECT_NEAR(d.a[row][col], row == col ? 1.0 : 0.0, tol)
                << "row " << row << " column " << col << " (from line " << line << ")";
}

void ExpectVec3Near(const Vec3& v, double x, double y, double z, double tol, int line) {
    EXPECT_NEAR(v.x, x, tol) << "from line " << line;
    EXPECT_NEAR(v.y, y, tol) << "from line " << line;
    EXPECT_NEAR(v.z, z, tol) << "from line " << line;
}
#define EXPECT_VEC3_NEAR(v, x, y, z, tol) ExpectVec3Near((v), (x), (y), (z), (tol), __LINE__)

void ExpectQuatNear(const Quat& q, double x, double y, double z, double w, double tol, int line) {
    EXPECT_NEAR(q.x, x, tol) << "from line " << line;
    EXPECT_NEAR(q.y, y, tol) << "from line " << line;
    EXPECT_NEAR(q.z, z, tol) << "from line " << line;
    EXPECT_NEAR(q.w, w, tol) << "from line " << line;
}
#define EXPECT_QUAT_NEAR(q, x, y, z, w, tol) ExpectQuatNear((q), (x), (y), (z), (w), (tol), __LINE__)

// Equal up to sign: q and -q are the same rotation.
void ExpectSameRotation(const Quat& a, const Quat& b, double tol, int line) {
    double sign = (a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w) < 0.0 ? -1.0 : 1.0;
    ExpectQuatNear(a, sign * b.x, sign * b.y, sign * b.z, sign * b.w, tol, line);
}

// Matrix whose element m[i] is i + 1: non-symmetric, every element distinct.
Mat3 Counting3() {
    Mat3 m;
    for (int i = 0; i < 9; ++i) m.m[i] = float(i + 1);
    return m;
}
Mat4 Counting4() {
    Mat4 m;
    for (int i = 0; i < 16; ++i) m.m[i] = float(i + 1);
    return m;
}

// Diagonally dominant, hence well conditioned.
Mat3 RandomWellConditioned3(std::mt19937& rng) {
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    Mat3 m;
    for (int i = 0; i < 9; ++i) m.m[i] = u(rng);
    for (int i = 0; i < 3; ++i) m.m[4 * i] += (i & 1) ? -3.5f : 3.5f;
    return m;
}
Mat4 RandomWellConditioned4(std::mt19937& rng) {
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    Mat4 m;
    for (int i = 0; i < 16; ++i) m.m[i] = u(rng);
    for (int i = 0; i < 4; ++i) m.m[5 * i] += (i & 1) ? -4.5f : 4.5f;
    return m;
}

Quat RandomUnitQuat(std::mt19937& rng) {
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    Quat q(u(rng), u(rng), u(rng), u(rng));
    return q.Normalize();
}

}  // namespace

// ---------------------------------------------------------------------------

TEST(MathConstants, NamedConstantsHoldTheirValues) {
    EXPECT_EQ(Vec2::ZERO, Vec2(0, 0));
    EXPECT_EQ(Vec2::ONE, Vec2(1, 1));
    EXPECT_EQ(Vec2::UNIT_X, Vec2(1, 0));
    EXPECT_EQ(Vec2::UNIT_Y, Vec2(0, 1));
    EXPECT_EQ(Vec3::ZERO, Vec3(0, 0, 0));
    EXPECT_EQ(Vec3::ONE, Vec3(1, 1, 1));
    EXPECT_EQ(Vec3::UNIT_X, Vec3(1, 0, 0));
    EXPECT_EQ(Vec3::UNIT_Y, Vec3(0, 1, 0));
    EXPECT_EQ(Vec3::UNIT_Z, Vec3(0, 0, 1));
    EXPECT_EQ(Vec4::ZERO, Vec4(0, 0, 0, 0));
    EXPECT_EQ(Vec4::ONE, Vec4(1, 1, 1, 1));
    EXPECT_EQ(Vec4::UNIT_X, Vec4(1, 0, 0, 0));
    EXPECT_EQ(Vec4::UNIT_Y, Vec4(0, 1, 0, 0));
    EXPECT_EQ(Vec4::UNIT_Z, Vec4(0, 0, 1, 0));
    EXPECT_EQ(Vec4::UNIT_W, Vec4(0, 0, 0, 1));
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 4; ++col) {
            EXPECT_EQ(Mat4::IDENTITY.m[4 * col + row], row == col ? 1.0f : 0.0f);
            if (row < 3 && col < 3) {
                EXPECT_EQ(Mat3::IDENTITY.m[3 * col + row], row == col ? 1.0f : 0.0f);
            }
        }
}

TEST(MathConstants, QuatZeroIsNotTheIdentityRotation) {
    EXPECT_EQ(Quat::ZERO, Quat(0, 0, 0, 0));
    EXPECT_NE(Quat::ZERO, Quat::IDENTITY);
    EXPECT_EQ(Quat(), Quat(0, 0, 0, 1));
    // A node made from Quat::ZERO still ends up with an identity matrix.
    Mat3 r(2, 2, 2, 2, 2, 2, 2, 2, 2);
    r.LoadFromQuaternion(Quat::ZERO);
    EXPECT_EQ(r, Mat3::IDENTITY);
}

TEST(MathConstants, DefaultsAndStartupObjects) {
    EXPECT_EQ(Vec3(), Vec3::ZERO);
    EXPECT_EQ(Vec4(), Vec4::ZERO);
    EXPECT_EQ(Mat3(), Mat3::IDENTITY);
    EXPECT_EQ(Mat4(), Mat4::IDENTITY);
    EXPECT_EQ(gStartupMatrix.m[0], 3.0f);
    EXPECT_EQ(gStartupMatrix.m[15], 3.0f);
    EXPECT_EQ(gStartupMatrix.m[4], 0.0f);
    EXPECT_EQ(gStartupTransform.scale, Vec3::ONE);
    EXPECT_EQ(gStartupTransform.rotation, Quat::IDENTITY);
    EXPECT_EQ(gStartupTransform.CalculateComposite(), Mat4::IDENTITY);
}

// ---------------------------------------------------------------------------

TEST(VectorArithmetic, SumsScalingDotAndLength) {
    Vec3 a(1, 2, 3), b(4, 5, 6);
    EXPECT_EQ(a + b, Vec3(5, 7, 9));
    EXPECT_EQ(b - a, Vec3(3, 3, 3));
    EXPECT_EQ(-a, Vec3(-1, -2, -3));
    EXPECT_EQ(a * 2.0f, Vec3(2, 4, 6));
    EXPECT_EQ(2.0f * a, Vec3(2, 4, 6));
    EXPECT_EQ(Vec3(2, 4, 6) / 2.0f, a);
    EXPECT_FLOAT_EQ(a.Dot(b), 32.0f);
    EXPECT_FLOAT_EQ(Vec3(2, 3, 6).Length(), 7.0f);
    EXPECT_FLOAT_EQ(Vec2(3, 4).Length(), 5.0f);
    EXPECT_FLOAT_EQ(Vec4(1, 2, 2, 4).Length(), 5.0f);
    EXPECT_FLOAT_EQ(Vec2(1, 2).Dot(Vec2(3, -4)), -5.0f);
    EXPECT_EQ(Vec4(1, 2, 3, 4) + Vec4(4, 3, 2, 1), Vec4(5, 5, 5, 5));
    Vec3 c = a;
    c += b;
    c -= Vec3(1, 1, 1);
    c *= 0.5f;
    EXPECT_EQ(c, Vec3(2, 3, 4));
    EXPECT_EQ(c[0], 2.0f);
    EXPECT_EQ(c[2], 4.0f);
}

TEST(VectorArithmetic, CrossProductIsRightHanded) {
    EXPECT_EQ(Vec3::UNIT_X.Cross(Vec3::UNIT_Y), Vec3::UNIT_Z);
    EXPECT_EQ(Vec3::UNIT_Y.Cross(Vec3::UNIT_Z), Vec3::UNIT_X);
    EXPECT_EQ(Vec3::UNIT_Z.Cross(Vec3::UNIT_X), Vec3::UNIT_Y);
    EXPECT_EQ(Vec3(1, 2, 3).Cross(Vec3(4, 5, 6)), Vec3(-3, 6, -3));
    EXPECT_EQ(Cross(Vec3(4, 5, 6), Vec3(1, 2, 3)), Vec3(3, -6, 3));
}

TEST(VectorArithmetic, EqualityHasNoTolerance) {
    float justAboveOne = std::nextafter(1.0f, 2.0f);
    EXPECT_FALSE(Vec3(1, 2, 3) == Vec3(justAboveOne, 2, 3));
    EXPECT_FALSE(Vec2(1, 2) == Vec2(1, std::nextafter(2.0f, 0.0f)));
    EXPECT_FALSE(Vec4(0, 0, 0, 1) == Vec4(0, 0, 0, justAboveOne));
    Vec3 nan(kNaN, 0, 0);
    EXPECT_FALSE(nan == nan);
    EXPECT_TRUE(nan != nan);
    Mat4 a;
    Mat4 b;
    b.m[7] = 1e-30f;
    EXPECT_FALSE(a == b);
    a.m[3] = kNaN;
    EXPECT_FALSE(a == a);
    Mat3 c;
    c.m[8] = kNaN;
    EXPECT_FALSE(c == c);
    EXPECT_TRUE(Mat3::IDENTITY == Mat3());
}

TEST(VectorNormalize, ZeroVectorStaysZero) {
    Vec3 v3 = Vec3::ZERO;
    v3.Normalize(1e-12f);
    EXPECT_EQ(v3, Vec3::ZERO);
    Vec2 v2 = Vec2::ZERO;
    v2.Normalize(1e-12f);
    EXPECT_EQ(v2, Vec2::ZERO);
    Vec4 v4 = Vec4::ZERO;
    v4.Normalize();
    EXPECT_EQ(v4, Vec4::ZERO);
    Quat q = Quat::ZERO;
    q.Normalize();
    EXPECT_EQ(q, Quat::ZERO);
}

TEST(VectorNormalize, ScalesByOneOverLengthPlusEpsilon) {
    EXPECT_VEC3_NEAR(Vec3(3, 4, 0).Normalize(1e-12f), 0.6, 0.8, 0.0, 1e-7);
    EXPECT_VEC3_NEAR(Vec3(0, 0, -7).Normalized(), 0.0, 0.0, -1.0, 1e-7);
    // With eps = 1 the divisor is |v| + 1 = 6.
    Vec2 v(3, 4);
    v.Normalize(1.0f);
    EXPECT_FLOAT_EQ(v.x, 0.5f);
    EXPECT_FLOAT_EQ(v.y, 4.0f / 6.0f);
    Vec3 w(0, 3, 4);
    w.Normalize(5.0f);
    EXPECT_VEC3_NEAR(w, 0.0, 0.3, 0.4, 1e-7);
}

TEST(VectorNormalize, OrthonormalizeGivesAUnitPerpendicularPair) {
    Vec2 pair[2] = {Vec2(3, 0), Vec2(2, 5)};
    Vec2::Orthonormalize(pair);
    EXPECT_NEAR(pair[0].x, 1.0, 1e-7);
    EXPECT_NEAR(pair[0].y, 0.0, 1e-7);
    EXPECT_NEAR(pair[1].x, 0.0, 1e-7);
    EXPECT_NEAR(pair[1].y, 1.0, 1e-7);
    Vec2 diag[2] = {Vec2(2, 2), Vec2(1, 0)};
    Vec2::Orthonormalize(diag);
    double h = std::sqrt(0.5);
    EXPECT_NEAR(diag[0].x, h, 1e-7);
    EXPECT_NEAR(diag[0].y, h, 1e-7);
    EXPECT_NEAR(diag[1].x, h, 1e-7);
    EXPECT_NEAR(diag[1].y, -h, 1e-7);
}

TEST(VectorAngle, AnglesInRadians) {
    EXPECT_NEAR(Vec3::UNIT_X.Angle(Vec3::UNIT_Y), kPi / 2, 1e-6);
    EXPECT_NEAR(Vec3(2, 0, 0).Angle(Vec3(1, 1, 0)), kPi / 4, 1e-6);
    EXPECT_NEAR(Vec3(1, 0, 0).Angle(Vec3(-1, 0, 0)), kPi, 1e-6);
}

TEST(VectorAngle, ParallelAndOppositeVectorsNeverGiveNaN) {
    // Rounding can put the cosine just past +-1; the angle must stay 0 or pi.
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-10.0f, 10.0f);
    for (int i = 0; i < 2000; ++i) {
        Vec3 a(u(rng), u(rng), u(rng));
        float k = std::fabs(u(rng)) + 0.1f;
        float same = a.Angle(a * k);
        float opposite = a.Angle(a * -k);
        ASSERT_FALSE(std::isnan(same)) << i;
        ASSERT_FALSE(std::isnan(opposite)) << i;
        EXPECT_NEAR(same, 0.0, 1e-3);
        EXPECT_NEAR(opposite, kPi, 1e-3);
    }
}

// ---------------------------------------------------------------------------

TEST(MatrixProducts, Mat4ProductAppliesTheRightFactorFirst) {
    Mat4 t, s;
    t.LoadTranslate(1, 2, 3);
    s.LoadScale(2, 3, 4);
    // Scale first, then translate: the translation column stays (1, 2, 3).
    Mat4 ts;
    Mat4::MatrixMultiplication(ts, t, s);
    EXPECT_EQ(ts, Mat4(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 1, 2, 3, 1));
    // Translate first, then scale: the translation is scaled too.
    EXPECT_EQ(s * t, Mat4(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 2, 6, 12, 1));
    Mat4 viaPointer;
    Mat4::MatrixMultiplication(&viaPointer, t, s);
    EXPECT_EQ(viaPointer, ts);
}

TEST(MatrixProducts, Mat3ProductAgainstAHandWorkedShear) {
    Mat3 a = Counting3();  // rows (1 4 7) (2 5 8) (3 6 9)
    Mat3 shear;            // identity plus 1 at row 0, column 1
    shear.m[3] = 1.0f;
    // a x shear adds column 0 to column 1; shear x a adds row 1 to row 0.
    EXPECT_EQ(a * shear, Mat3(1, 2, 3, 5, 7, 9, 7, 8, 9));
    Mat3 out;
    Mat3::MatrixMultiplication(out, shear, a);
    EXPECT_EQ(out, Mat3(3, 2, 3, 9, 5, 6, 15, 8, 9));
}

TEST(MatrixProducts, ProductsMatchTheDefinitionAndAllowAliasing) {
    std::mt19937 rng(3);
    for (int i = 0; i < 10; ++i) {
        Mat4 a = RandomWellConditioned4(rng), b = RandomWellConditioned4(rng);
        D4 expected = Mul(Ref(a), Ref(b));
        EXPECT_MAT4_NEAR(a * b, expected, 1e-5);
        Mat4 inPlaceLeft = a;
        Mat4::MatrixMultiplication(inPlaceLeft, inPlaceLeft, b);
        EXPECT_MAT4_NEAR(inPlaceLeft, expected, 1e-5);
        Mat4 inPlaceRight = b;
        Mat4::MatrixMultiplication(inPlaceRight, a, inPlaceRight);
        EXPECT_MAT4_NEAR(inPlaceRight, expected, 1e-5);
        Mat4 accumulated = a;
        accumulated *= b;
        EXPECT_MAT4_NEAR(accumulated, expected, 1e-5);

        Mat3 c = RandomWellConditioned3(rng), d = RandomWellConditioned3(rng);
        D3 expected3 = Mul(Ref(c), Ref(d));
        EXPECT_MAT3_NEAR(c * d, expected3, 1e-5);
        Mat3 alias = d;
        Mat3::MatrixMultiplication(&alias, c, alias);
        EXPECT_MAT3_NEAR(alias, expected3, 1e-5);
    }
}

TEST(MatrixProducts, Mat3MemberTimesVectorIsTheColumnProduct) {
    EXPECT_EQ(Counting3() * Vec3(1, 2, 3), Vec3(30, 36, 42));
    Mat3 r;
    r.LoadRotate(float(kPi / 2), 0, 0, 1);
    EXPECT_VEC3_NEAR(r * Vec3::UNIT_X, 0, 1, 0, 1e-7);
}

TEST(MatrixProducts, VectorTimesMat3IsTheRowProduct) {
    EXPECT_EQ(Vec3(1, 2, 3) * Counting3(), Vec3(14, 32, 50));
    Mat3 r;
    r.LoadRotate(float(kPi / 2), 0, 0, 1);
    EXPECT_VEC3_NEAR(Vec3::UNIT_X * r, 0, -1, 0, 1e-7);
}

TEST(MatrixProducts, PointTimesMat4AppliesTheColumnMajorMatrix) {
    EXPECT_EQ(Vec3(1, 2, 3) * Counting4(), Vec3(51, 58, 65));
    Mat4 t;
    t.LoadTranslate(1, 2, 3);
    EXPECT_EQ(Vec3(1, 1, 1) * t, Vec3(2, 3, 4));
}

TEST(MatrixProducts, Vec4TimesMat4IsTheColumnProduct) {
    EXPECT_EQ(Vec4(1, 2, 3, 4) * Counting4(), Vec4(90, 100, 110, 120));
    Mat4 t;
    t.LoadTranslate(5, 6, 7);
    // Directions (w = 0) are not translated.
    EXPECT_EQ(Vec4(1, 0, 0, 0) * t, Vec4(1, 0, 0, 0));
    EXPECT_EQ(Vec4(1, 0, 0, 1) * t, Vec4(6, 6, 7, 1));
}

TEST(MatrixProducts, Mat4MemberProductsReadTheStorageByRows) {
    Mat4 a = Counting4();
    EXPECT_EQ(a * Vec3(1, 2, 3), Vec3(18, 46, 74));
    EXPECT_EQ(a * Vec4(1, 2, 3, 4), Vec4(30, 70, 110, 150));
    // So the member product with a translation matrix puts the translation
    // into w instead of moving the point.
    Mat4 t;
    t.LoadTranslate(5, 6, 7);
    EXPECT_EQ(t * Vec4(1, 1, 1, 1), Vec4(1, 1, 1, 19));
}

TEST(MatrixProducts, MemberVec4ProductEvaluatesAHermiteBasis) {
    // A cubic Hermite basis in storage order, used row-wise with the member
    // product: r = H x (P0, P1, T0, T1), then u^3 r.x + u^2 r.y + u r.z + r.w.
    Mat4 h(2, -2, 1, 1, -3, 3, -2, -1, 0, 0, 1, 0, 1, 0, 0, 0);
    float p0 = 1.0f, p1 = 3.0f, t0 = 0.5f, t1 = -1.0f;
    Vec4 r = h * Vec4(p0, p1, t0, t1);
    for (float u : {0.0f, 0.25f, 0.5f, 1.0f}) {
        double expected = (2 * u * u * u - 3 * u * u + 1) * p0 + (-2 * u * u * u + 3 * u * u) * p1 +
                          (u * u * u - 2 * u * u + u) * t0 + (u * u * u - u * u) * t1;
        EXPECT_NEAR(u * u * u * r.x + u * u * r.y + u * r.z + r.w, expected, 1e-6) << u;
    }
}

// ---------------------------------------------------------------------------

TEST(MatrixElementwise, Mat4OperationsActOnEveryElement) {
    Mat4 a = Counting4(), b;
    for (int i = 0; i < 16; ++i) b.m[i] = float(16 - i);
    Mat4 out;
    Mat4::MatrixAddition(out, a, b);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(out.m[i], 17.0f) << i;
    Mat4::MatrixSubtraction(&out, a, b);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(out.m[i], float(2 * i - 15)) << i;
    Mat4::ScalarAddition(out, 0.5f, a);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(out.m[i], float(i) + 1.5f) << i;
    Mat4::ScalarMultiplication(out, 3.0f, a);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(out.m[i], float(3 * (i + 1))) << i;
    Mat4 diff = 20.0f - a, quot = 12.0f / a, neg = -a;
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(diff.m[i], float(19 - i)) << i;
        EXPECT_EQ(quot.m[i], 12.0f / float(i + 1)) << i;
        EXPECT_EQ(neg.m[i], -float(i + 1)) << i;
    }
    EXPECT_EQ(a + b, Mat4(17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17, 17));
}

TEST(MatrixElementwise, Mat3OperationsActOnEveryElement) {
    Mat3 a = Counting3(), b;
    for (int i = 0; i < 9; ++i) b.m[i] = float(10 * i);
    Mat3 out;
    Mat3::MatrixAddition(out, a, b);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(out.m[i], float(11 * i + 1)) << i;
    Mat3::MatrixSubtraction(out, b, a);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(out.m[i], float(9 * i - 1)) << i;
    Mat3::ScalarAddition(&out, -1.0f, a);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(out.m[i], float(i)) << i;
    Mat3::ScalarMultiplication(out, -2.0f, a);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(out.m[i], float(-2 * (i + 1))) << i;
    Mat3 diff = 1.0f - a, quot = 1.0f / a, neg = -a;
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(diff.m[i], float(-i)) << i;
        EXPECT_EQ(quot.m[i], 1.0f / float(i + 1)) << i;
        EXPECT_EQ(neg.m[i], -float(i + 1)) << i;
    }
}

TEST(MatrixMechanics, TransposeSwapsRowsAndColumns) {
    Mat4 t = Counting4();
    t.LoadTranspose();
    EXPECT_EQ(t, Mat4(1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 4, 8, 12, 16));
    Mat4 u;
    u.LoadTranspose(t);
    EXPECT_EQ(u, Counting4());
    Mat3 a = Counting3();
    a.LoadTranspose();
    EXPECT_EQ(a, Mat3(1, 4, 7, 2, 5, 8, 3, 6, 9));
    Mat3 b = Counting3();
    b.LoadTranspose(b);  // the argument may be the matrix itself
    EXPECT_EQ(b, a);
    Mat3 c;
    c.LoadTranspose(a);
    EXPECT_EQ(c, Counting3());
}

TEST(MatrixMechanics, SubMat3DropsOneRowAndOneColumn) {
    Mat4 a = Counting4();  // rows (1 5 9 13) (2 6 10 14) (3 7 11 15) (4 8 12 16)
    EXPECT_EQ(a.SubMat3(0, 0), Mat3(6, 7, 8, 10, 11, 12, 14, 15, 16));
    EXPECT_EQ(a.SubMat3(1, 2), Mat3(1, 3, 4, 5, 7, 8, 13, 15, 16));
    EXPECT_EQ(a.SubMat3(3, 3), Mat3(1, 2, 3, 5, 6, 7, 9, 10, 11));
    EXPECT_EQ(a.SubMat3(2, 0), Mat3(5, 6, 8, 9, 10, 12, 13, 14, 16));
}

TEST(MatrixMechanics, RotationBlockTranslationAndScale) {
    Mat4 a = Counting4();
    EXPECT_EQ(a.GetRotation(), Mat3(1, 2, 3, 5, 6, 7, 9, 10, 11));
    a.SetRotation(Mat3(-1, -2, -3, -4, -5, -6, -7, -8, -9));
    EXPECT_EQ(a, Mat4(-1, -2, -3, 4, -4, -5, -6, 8, -7, -8, -9, 12, 13, 14, 15, 16));
    Mat4 t = Counting4();
    t.LoadTranslate(7, 8, 9);
    EXPECT_EQ(t, Mat4(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 7, 8, 9, 1));
    EXPECT_EQ(t.GetTranslation(), Vec3(7, 8, 9));
    Mat4 s = Counting4();
    s.LoadScale(2, 3, 4);
    EXPECT_EQ(Vec3(1, 1, 1) * s, Vec3(2, 3, 4));
    EXPECT_EQ(s.m[15], 1.0f);
    Mat3 s3 = Counting3();
    s3.LoadScale(2, 3, 4);
    EXPECT_EQ(s3 * Vec3(1, 1, 1), Vec3(2, 3, 4));
    EXPECT_EQ(s3.m[1], 0.0f);
}

TEST(MatrixDeterminant, Mat3ByHand) {
    // Rows (2 1 0) (0 3 1) (1 0 4): 2*12 - 1*(0 - 1) = 25.
    EXPECT_FLOAT_EQ(Mat3(2, 0, 1, 1, 3, 0, 0, 1, 4).Det(), 25.0f);
    EXPECT_FLOAT_EQ(Counting3().Det(), 0.0f);
    // Swapping two columns flips the sign.
    EXPECT_FLOAT_EQ(Mat3(1, 3, 0, 2, 0, 1, 0, 1, 4).Det(), -25.0f);
}

TEST(MatrixDeterminant, Mat4AgainstElimination) {
    // Upper triangular, rows (2 7 1 8) (0 3 2 8) (0 0 4 5) (0 0 0 5).
    Mat4 upper(2, 0, 0, 0, 7, 3, 0, 0, 1, 2, 4, 0, 8, 8, 5, 5);
    EXPECT_FLOAT_EQ(upper.Det(), 120.0f);
    Mat4 lower = upper;
    lower.LoadTranspose();
    EXPECT_FLOAT_EQ(lower.Det(), 120.0f);
    std::mt19937 rng(5);
    for (int i = 0; i < 10; ++i) {
        Mat4 m = RandomWellConditioned4(rng);
        EXPECT_NEAR(m.Det(), RefDet4(Ref(m)), 1e-3) << i;
    }
}

// ---------------------------------------------------------------------------

TEST(MatrixInverse, Mat3TimesInverseIsTheIdentity) {
    std::mt19937 rng(7);
    for (int i = 0; i < 20; ++i) {
        Mat3 m = RandomWellConditioned3(rng);
        Mat3 inv = m;
        inv.LoadInverse();
        ExpectIdentity<3>(Mul(Ref(inv), Ref(m)), 1e-5, __LINE__);
        ExpectIdentity<3>(Mul(Ref(m), Ref(inv)), 1e-5, __LINE__);
    }
}

TEST(MatrixInverse, Mat4TimesInverseIsTheIdentity) {
    std::mt19937 rng(8);
    for (int i = 0; i < 20; ++i) {
        Mat4 m = RandomWellConditioned4(rng);
        Mat4 inv = m;
        inv.LoadInverse();
        ExpectIdentity<4>(Mul(Ref(inv), Ref(m)), 1e-5, __LINE__);
        ExpectIdentity<4>(Mul(Ref(m), Ref(inv)), 1e-5, __LINE__);
    }
    // A rigid transform inverts to the reverse motion.
    Mat4 r, t, rt;
    r.LoadRotate(0.7f, 1, 2, 3);
    t.LoadTranslate(4, -5, 6);
    Mat4::MatrixMultiplication(rt, t, r);
    rt.LoadInverse();
    Vec3 p = Vec3(4, -5, 6) * rt;
    EXPECT_VEC3_NEAR(p, 0, 0, 0, 1e-5);
}

TEST(MatrixInverse, Mat3ThresholdIsHalfAThousandth) {
    Mat3 tiny;
    tiny.LoadScale(0.0004999f, 1, 1);
    tiny.LoadInverse();
    EXPECT_EQ(tiny, Mat3::IDENTITY);
    Mat3 small;
    small.LoadScale(0.0005001f, 1, 1);
    small.LoadInverse();
    EXPECT_NEAR(small.m[0], 1.0 / 0.0005001, 1e-1);
    EXPECT_EQ(small.m[4], 1.0f);

    // The same with a rotation mixed in, and with a negative determinant.
    Mat3 r;
    r.LoadRotate(0.9f, 1, -2, 0.5f);
    for (float sign : {1.0f, -1.0f}) {
        Mat3 d, under, over;
        d.LoadScale(sign * 0.00049f, 1, 1);
        Mat3::MatrixMultiplication(under, r, d);
        d.LoadScale(sign * 0.00051f, 1, 1);
        Mat3::MatrixMultiplication(over, r, d);
        Mat3 overInv = over;
        under.LoadInverse();
        overInv.LoadInverse();
        EXPECT_EQ(under, Mat3::IDENTITY) << sign;
        ExpectIdentity<3>(Mul(Ref(overInv), Ref(over)), 1e-3, __LINE__);
        EXPECT_GT(std::fabs(overInv.m[0]) + std::fabs(overInv.m[3]) + std::fabs(overInv.m[6]), 100.0f);
    }
}

TEST(MatrixInverse, Mat4ThresholdIsHalfAThousandth) {
    Mat4 tiny;
    tiny.LoadScale(1, 0.0004999f, 1);
    tiny.m[12] = 3.0f;
    tiny.LoadInverse();
    EXPECT_EQ(tiny, Mat4::IDENTITY);
    Mat4 small;
    small.LoadScale(1, 0.0005001f, 1);
    small.m[12] = 3.0f;
    small.LoadInverse();
    EXPECT_NEAR(small.m[5], 1.0 / 0.0005001, 1e-1);
    EXPECT_NEAR(small.m[12], -3.0, 1e-6);

    Mat4 r, t, rt;
    r.LoadRotate(-1.3f, 0.3f, 1, 2);
    t.LoadTranslate(1, 2, 3);
    Mat4::MatrixMultiplication(rt, t, r);
    for (float sign : {1.0f, -1.0f}) {
        Mat4 d, under, over;
        d.LoadScale(1, 1, sign * 0.00049f);
        Mat4::MatrixMultiplication(under, rt, d);
        d.LoadScale(1, 1, sign * 0.00051f);
        Mat4::MatrixMultiplication(over, rt, d);
        Mat4 overInv = over;
        under.LoadInverse();
        overInv.LoadInverse();
        EXPECT_EQ(under, Mat4::IDENTITY) << sign;
        ExpectIdentity<4>(Mul(Ref(overInv), Ref(over)), 1e-3, __LINE__);
    }
}

TEST(MatrixInverse, SingularMatricesBecomeTheIdentity) {
    Mat3 z3(0, 0, 0, 0, 0, 0, 0, 0, 0);
    z3.LoadInverse();
    EXPECT_EQ(z3, Mat3::IDENTITY);
    Mat3 c3 = Counting3();
    c3.LoadInverse();
    EXPECT_EQ(c3, Mat3::IDENTITY);
    Mat4 c4 = Counting4();
    c4.LoadInverse();
    EXPECT_EQ(c4, Mat4::IDENTITY);
}

TEST(MatrixInverse, NormalMatrixOfAScaledRotation) {
    // Inverse transpose of the upper 3x3, the way world normal matrices are
    // made: R * diag(2, 4, 5) turns into R * diag(1/2, 1/4, 1/5).
    Mat4 r, s, world;
    r.LoadRotate(1.1f, 1, 1, 0);
    s.LoadScale(2, 4, 5);
    Mat4::MatrixMultiplication(world, r, s);
    Mat3 normal = world.GetRotation();
    normal.LoadInverse();
    normal.LoadTranspose();
    D3 expected = Mul(RefRotation(1.1, 1, 1, 0), Ref(Mat3(0.5f, 0, 0, 0, 0.25f, 0, 0, 0, 0.2f)));
    EXPECT_MAT3_NEAR(normal, expected, 1e-6);
}

// ---------------------------------------------------------------------------

TEST(Projections, PerspectiveAgainstHandValues) {
    Mat4 p(7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7);
    p.LoadPerspective(90, 1, 1, 10);
    // f = 1 / tan(45 deg) = 1; (1 + 10) / (1 - 10); 2 * 1 * 10 / (1 - 10).
    EXPECT_EQ(p.m[0], 1.0f);
    EXPECT_EQ(p.m[5], 1.0f);
    EXPECT_FLOAT_EQ(p.m[10], -11.0f / 9.0f);
    EXPECT_EQ(p.m[11], -1.0f);
    EXPECT_FLOAT_EQ(p.m[14], -20.0f / 9.0f);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13, 15}) EXPECT_EQ(p.m[i], 0.0f) << i;
    // The near and far planes land on -1 and +1 after the divide by w.
    Vec4 nearPoint = Vec4(0, 0, -1, 1) * p;
    Vec4 farPoint = Vec4(0, 0, -10, 1) * p;
    EXPECT_NEAR(nearPoint.z / nearPoint.w, -1.0, 1e-6);
    EXPECT_NEAR(farPoint.z / farPoint.w, 1.0, 1e-6);

    // 60 degrees: f = 1 / tan(30 deg) = sqrt(3); aspect 2 halves m[0].
    p.LoadPerspective(60, 2, 0.5f, 100);
    EXPECT_FLOAT_EQ(p.m[5], 1.7320508f);
    EXPECT_FLOAT_EQ(p.m[0], 0.8660254f);
}

TEST(Projections, FrustumMapsTheNearAndFarCorners) {
    Mat4 p(7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7);
    p.LoadFrustum(-1, 3, -2, 2, 2, 10);
    EXPECT_FLOAT_EQ(p.m[0], 1.0f);    // 2*2 / 4
    EXPECT_FLOAT_EQ(p.m[5], 1.0f);    // 2*2 / 4
    EXPECT_FLOAT_EQ(p.m[8], 0.5f);    // 2 / 4
    EXPECT_FLOAT_EQ(p.m[9], 0.0f);    // 0 / 4
    EXPECT_FLOAT_EQ(p.m[10], -1.5f);  // -12 / 8
    EXPECT_EQ(p.m[11], -1.0f);
    EXPECT_FLOAT_EQ(p.m[14], -5.0f);  // -2*2*10 / 8
    for (int i : {1, 2, 3, 4, 6, 7, 12, 13, 15}) EXPECT_EQ(p.m[i], 0.0f) << i;
    Vec4 nearCorner = Vec4(3, 2, -2, 1) * p;
    EXPECT_EQ(nearCorner, Vec4(2, 2, -2, 2));
    Vec4 farCorner = Vec4(-5, -10, -10, 1) * p;
    EXPECT_NEAR(farCorner.x / farCorner.w, -1.0, 1e-6);
    EXPECT_NEAR(farCorner.y / farCorner.w, -1.0, 1e-6);
    EXPECT_NEAR(farCorner.z / farCorner.w, 1.0, 1e-6);
}

TEST(Projections, OrthoMapsTheBoxOntoTheUnitCube) {
    Mat4 p(7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7);
    p.LoadOrtho(0, 4, -1, 1, 1, 3);
    EXPECT_FLOAT_EQ(p.m[0], 0.5f);
    EXPECT_FLOAT_EQ(p.m[5], 1.0f);
    EXPECT_FLOAT_EQ(p.m[10], -1.0f);
    EXPECT_FLOAT_EQ(p.m[12], -1.0f);
    EXPECT_FLOAT_EQ(p.m[13], 0.0f);
    EXPECT_FLOAT_EQ(p.m[14], -2.0f);
    EXPECT_EQ(p.m[15], 1.0f);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 11}) EXPECT_EQ(p.m[i], 0.0f) << i;
    EXPECT_EQ(Vec3(4, 1, -3) * p, Vec3(1, 1, 1));
    EXPECT_EQ(Vec3(0, -1, -1) * p, Vec3(-1, -1, -1));
}

TEST(Projections, Ortho2DIsOrthoWithUnitDepth) {
    Mat4 p, q;
    p.LoadOrtho2D(0, 1, 0, 1);
    q.LoadOrtho(0, 1, 0, 1, -1, 1);
    EXPECT_EQ(p, q);
    EXPECT_EQ(p.m[10], -1.0f);
    EXPECT_EQ(p.m[14], 0.0f);
    EXPECT_TRUE(std::signbit(p.m[14]));  // -(1 + -1) / 2
    EXPECT_EQ(Vec3(0, 0, 0) * p, Vec3(-1, -1, 0));
    EXPECT_EQ(Vec3(1, 1, 0) * p, Vec3(1, 1, 0));
}

// ---------------------------------------------------------------------------

TEST(Rotations, PositiveAngleTurnsCounterClockwise) {
    float quarter = float(kPi / 2);
    Mat3 rz, rx, ry;
    rz.LoadRotate(quarter, 0, 0, 1);
    rx.LoadRotate(quarter, 1, 0, 0);
    ry.LoadRotate(quarter, 0, 1, 0);
    EXPECT_VEC3_NEAR(rz * Vec3::UNIT_X, 0, 1, 0, 1e-7);
    EXPECT_VEC3_NEAR(rz * Vec3::UNIT_Y, -1, 0, 0, 1e-7);
    EXPECT_VEC3_NEAR(rx * Vec3::UNIT_Y, 0, 0, 1, 1e-7);
    EXPECT_VEC3_NEAR(ry * Vec3::UNIT_Z, 1, 0, 0, 1e-7);
    Mat4 r4;
    r4.LoadRotate(quarter, 0, 0, 5);
    EXPECT_VEC3_NEAR(Vec3::UNIT_X * r4, 0, 1, 0, 1e-7);
}

TEST(Rotations, MatrixAngleAxisAndQuaternionFormsAgree) {
    struct Case {
        double angle, x, y, z;
    };
    const Case cases[] = {{0.3, 0, 0, 1},  {1.2, 1, 2, 3},     {-2.0, 0.5, -1, 0.25},
                          {3.0, -4, 0, 1}, {kPi, 1, 1, 1},     {4.5, 0, 3, 0},
                          {0.0, 1, 0, 0},  {-kPi / 2, 2, 2, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.angle);
        D3 expected = RefRotation(c.angle, c.x, c.y, c.z);
        float angle = float(c.angle), x = float(c.x), y = float(c.y), z = float(c.z);
        Vec3 unit = Vec3(x, y, z).Normalized();

        Mat3 rotate, angleAxis, fromQuat;
        rotate.LoadRotate(angle, x, y, z);
        angleAxis.LoadFromAngleAxis(angle, unit);
        Quat q;
        q.LoadFromAngleAxis(angle, Vec3(x, y, z));
        fromQuat.LoadFromQuaternion(q);
        EXPECT_MAT3_NEAR(rotate, expected, 1e-6);
        EXPECT_MAT3_NEAR(angleAxis, expected, 1e-6);
        EXPECT_MAT3_NEAR(fromQuat, expected, 1e-6);
        EXPECT_NEAR(q.Length(), 1.0, 1e-6);

        Mat4 rotate4, fromQuat4;
        rotate4.LoadRotate(angle, x, y, z);
        fromQuat4.LoadFromQuaternion(q);
        D4 expected4;
        for (int row = 0; row < 4; ++row)
            for (int col = 0; col < 4; ++col)
                expected4.a[row][col] =
                    (row < 3 && col < 3) ? expected.a[row][col] : (row == col ? 1.0 : 0.0);
        EXPECT_MAT4_NEAR(rotate4, expected4, 1e-6);
        EXPECT_MAT4_NEAR(fromQuat4, expected4, 1e-6);
    }
}

TEST(Rotations, FromAngleAxisDoesNotNormaliseTheAxis) {
    float quarter = float(kPi / 2);
    Mat3 raw, normalised;
    raw.LoadFromAngleAxis(quarter, Vec3(0, 0, 2));
    normalised.LoadRotate(quarter, 0, 0, 2);
    // t * z^2 + c with t = 1, c = 0: 4 for the raw axis, 1 once normalised.
    EXPECT_NEAR(raw.m[8], 4.0, 1e-6);
    EXPECT_NEAR(normalised.m[8], 1.0, 1e-6);
    // The quaternion form normalises whatever the axis length.
    Quat q;
    q.LoadFromAngleAxis(quarter, Vec3(0, 0, 2));
    EXPECT_QUAT_NEAR(q, 0, 0, std::sin(kPi / 4), std::cos(kPi / 4), 1e-7);
}

TEST(Rotations, EulerTurnsAboutXThenZThenY) {
    float q = float(kPi / 2);
    Mat3 e;
    e.LoadFromEuler(q, q, q);
    // +Z: about X to -Y, about Z to +X, about Y to -Z.
    EXPECT_VEC3_NEAR(e * Vec3::UNIT_Z, 0, 0, -1, 1e-6);
    for (double a : {0.2, -1.0}) {
        for (double b : {0.7, 2.5}) {
            double c = a - b;
            D3 expected = Mul(Mul(RefRotation(a, 0, 1, 0), RefRotation(b, 0, 0, 1)),
                              RefRotation(c, 1, 0, 0));
            e.LoadFromEuler(float(a), float(b), float(c));
            EXPECT_MAT3_NEAR(e, expected, 1e-6);
        }
    }
}

// ---------------------------------------------------------------------------

TEST(QuatAlgebra, ProductComposesRotations) {
    std::mt19937 rng(13);
    for (int i = 0; i < 10; ++i) {
        Quat a = RandomUnitQuat(rng), b = RandomUnitQuat(rng);
        Mat3 ra, rb, rab;
        ra.LoadFromQuaternion(a);
        rb.LoadFromQuaternion(b);
        rab.LoadFromQuaternion(a * b);
        EXPECT_MAT3_NEAR(rab, Mul(Ref(ra), Ref(rb)), 1e-5);
    }
    // i * j = k, j * i = -k.
    Quat i(1, 0, 0, 0), j(0, 1, 0, 0);
    EXPECT_EQ(i * j, Quat(0, 0, 1, 0));
    EXPECT_EQ(j * i, Quat(0, 0, -1, 0));
    EXPECT_EQ(i * i, Quat(0, 0, 0, -1));
}

TEST(QuatAlgebra, ConjugateAndInverse) {
    Quat q(1, -2, 3, 4);
    EXPECT_EQ(q.Conjugate(), Quat(-1, 2, -3, 4));
    EXPECT_EQ(q * q.Conjugate(), Quat(0, 0, 0, 30));
    EXPECT_QUAT_NEAR(q * q.Inverse(), 0, 0, 0, 1, 1e-7);
    EXPECT_QUAT_NEAR(q.Inverse() * q, 0, 0, 0, 1, 1e-7);
}

TEST(QuatAlgebra, EulerXYZComposesSingleAxisTurns) {
    Quat q;
    // One angle at a time: X by -a, Y by -b, Z by +c.
    q.LoadFromEulerXYZ(0.6f, 0, 0);
    EXPECT_QUAT_NEAR(q, -std::sin(0.3), 0, 0, std::cos(0.3), 1e-7);
    q.LoadFromEulerXYZ(0, 0.6f, 0);
    EXPECT_QUAT_NEAR(q, 0, -std::sin(0.3), 0, std::cos(0.3), 1e-7);
    q.LoadFromEulerXYZ(0, 0, 0.6f);
    EXPECT_QUAT_NEAR(q, 0, 0, std::sin(0.3), std::cos(0.3), 1e-7);
    // Together: Y(-b) * Z(c) * X(-a), X applied first.
    float a = 0.4f, b = -1.1f, c = 2.0f;
    Quat qx, qy, qz;
    qx.LoadFromAngleAxis(-a, Vec3::UNIT_X);
    qy.LoadFromAngleAxis(-b, Vec3::UNIT_Y);
    qz.LoadFromAngleAxis(c, Vec3::UNIT_Z);
    Quat expected = qy * qz * qx;
    q.LoadFromEulerXYZ(a, b, c);
    EXPECT_QUAT_NEAR(q, expected.x, expected.y, expected.z, expected.w, 1e-6);
}

TEST(QuatFromMatrix, IdentityAndHalfTurnsAboutTheAxes) {
    Quat q(5, 5, 5, 5);
    q.LoadFromRotationMatrix(Mat3::IDENTITY);
    EXPECT_EQ(q, Quat(0, 0, 0, 1));
    q.LoadFromRotationMatrix(Mat3(1, 0, 0, 0, -1, 0, 0, 0, -1));
    EXPECT_EQ(q, Quat(1, 0, 0, 0));
    q.LoadFromRotationMatrix(Mat3(-1, 0, 0, 0, 1, 0, 0, 0, -1));
    EXPECT_EQ(q, Quat(0, 1, 0, 0));
    q.LoadFromRotationMatrix(Mat3(-1, 0, 0, 0, -1, 0, 0, 0, 1));
    EXPECT_EQ(q, Quat(0, 0, 1, 0));
}

TEST(QuatFromMatrix, RoundTripsThroughTheMatrix) {
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    const double angles[] = {0.1, 1.0, 2.0, 2.5, 3.0, kPi - 0.1, kPi - 0.01, kPi - 0.001,
                             kPi - 1e-5, kPi};
    for (double angle : angles) {
        for (int i = 0; i < 5; ++i) {
            SCOPED_TRACE(testing::Message() << "angle " << angle << " case " << i);
            Vec3 axis(u(rng), u(rng), u(rng));
            Mat3 m;
            m.LoadRotate(float(angle), axis.x, axis.y, axis.z);
            Quat q;
            q.LoadFromRotationMatrix(m);
            EXPECT_NEAR(q.Length(), 1.0, 1e-5);
            Mat3 back;
            back.LoadFromQuaternion(q);
            EXPECT_MAT3_NEAR(back, Ref(m), 1e-5);
            Quat direct;
            direct.LoadFromAngleAxis(float(angle), axis);
            ExpectSameRotation(q, direct, 1e-5, __LINE__);
        }
    }
}

TEST(QuatFromMatrix, HalfTurnAboutADiagonalAxisStaysFinite) {
    // The first two diagonal elements tie and the third is the smallest.
    float h = float(std::sqrt(0.5));
    Mat3 exact(0, 1, 0, 1, 0, 0, 0, 0, -1);
    Mat3 fromQuat, fromRotate;
    fromQuat.LoadFromQuaternion(Quat(h, h, 0, 0));
    fromRotate.LoadRotate(float(kPi), 1, 1, 0);
    for (const Mat3* m : {&exact, &fromQuat, &fromRotate}) {
        Quat q;
        q.LoadFromRotationMatrix(*m);
        ExpectSameRotation(q, Quat(h, h, 0, 0), 1e-5, __LINE__);
    }
}

TEST(QuatLogExp, IdentityAndZero) {
    EXPECT_EQ(Quat(0, 0, 0, 1).Log(), Quat(0, 0, 0, 0));
    EXPECT_EQ(Quat(0, 0, 0, 0).Exp(), Quat(0, 0, 0, 1));
    EXPECT_EQ(Quat::IDENTITY.Log().Exp(), Quat::IDENTITY);
}

TEST(QuatLogExp, LogOfAUnitQuaternionIsHalfTheAngleAboutTheAxis) {
    Quat q;
    q.LoadFromAngleAxis(1.6f, Vec3(0, 3, 4));
    Quat l = q.Log();
    EXPECT_QUAT_NEAR(l, 0, 0.8 * 0.6, 0.8 * 0.8, 0, 1e-6);
    Quat back = l.Exp();
    EXPECT_QUAT_NEAR(back, q.x, q.y, q.z, q.w, 1e-6);
}

TEST(QuatLogExp, ExpTakesTheLengthOfAllFourComponents) {
    // theta = |(0.3, 0, 0, 0.4)| = 0.5: w = cos 0.5, x = 0.3 sin 0.5 / 0.5.
    Quat e = Quat(0.3f, 0, 0, 0.4f).Exp();
    EXPECT_QUAT_NEAR(e, 0.2876553, 0, 0, 0.8775826, 1e-6);
}

TEST(QuatLogExp, TinyAnglesLeaveTheVectorPart) {
    EXPECT_EQ(Quat(1e-8f, 0, 0, 1).Log(), Quat(1e-8f, 0, 0, 0));
    EXPECT_EQ(Quat(1e-8f, 0, -2e-8f, 0).Exp(), Quat(1e-8f, 0, -2e-8f, 1));
    // w just above 1 (rounding in an unnormalised product): no NaN comes out.
    Quat l = Quat(1e-4f, 0, 0, std::nextafter(1.0f, 2.0f)).Log();
    EXPECT_EQ(l, Quat(1e-4f, 0, 0, 0));
}

TEST(QuatLogExp, SlerpThroughLogAndExpGoesHalfway) {
    // q0 * exp(s * log(q0^-1 * q1)), as the keyframe interpolator builds it.
    Quat q0, q1, mid;
    q0.LoadFromAngleAxis(0.2f, Vec3::UNIT_Z);
    q1.LoadFromAngleAxis(1.0f, Vec3::UNIT_Z);
    // Keys of equal length other than 1 still interpolate the rotation.
    q0 = q0 * 2.0f;
    q1 = q1 * 2.0f;
    Quat r = q0 * ((q0.Inverse() * q1).Log() * 0.5f).Exp();
    mid.LoadFromAngleAxis(0.6f, Vec3::UNIT_Z);
    EXPECT_QUAT_NEAR(r, 0, 0, 2 * mid.z, 2 * mid.w, 1e-6);
}

// ---------------------------------------------------------------------------

TEST(LookAt, ViewMatrixMapsTheEyeToTheOriginAndTheCentreOntoMinusZ) {
    struct Case {
        Vec3 eye, centre, up;
    };
    const Case cases[] = {{Vec3(0, 0, 5), Vec3(0, 0, 0), Vec3(0, 1, 0)},
                          {Vec3(1, 2, 3), Vec3(-4, 0, 7), Vec3(0, 1, 0)},
                          {Vec3(-3, 8, 1), Vec3(2, -1, -6), Vec3(0.3f, 1, 0.2f)},
                          {Vec3(0, 0, 0), Vec3(10, 0, 0), Vec3(0, 0, 3)}};
    for (const Case& c : cases) {
        Mat4 view;
        view.LoadLookAt(c.eye, c.centre, c.up);
        EXPECT_VEC3_NEAR(c.eye * view, 0, 0, 0, 1e-5);
        double distance = (c.centre - c.eye).Length();
        EXPECT_VEC3_NEAR(c.centre * view, 0, 0, -distance, 1e-5);
        EXPECT_EQ(view.m[3], 0.0f);
        EXPECT_EQ(view.m[7], 0.0f);
        EXPECT_EQ(view.m[11], 0.0f);
        EXPECT_EQ(view.m[15], 1.0f);
    }
    // Looking down -Z from +Z with +Y up is a pure translation.
    Mat4 view;
    view.LoadLookAt(Vec3(0, 0, 5), Vec3::ZERO, Vec3::UNIT_Y);
    EXPECT_VEC3_NEAR(Vec3(1, 1, 0) * view, 1, 1, -5, 1e-6);
}

TEST(LookAt, UpNotPerpendicularShortensTheSideVector) {
    // Forward -Z, up 45 degrees off it: |s| = sin 45.
    Mat4 view;
    view.LoadLookAt(Vec3::ZERO, Vec3(0, 0, -1), Vec3(0, 1, 1));
    double h = std::sqrt(0.5);
    double side = std::sqrt(double(view.m[0]) * view.m[0] + double(view.m[4]) * view.m[4] +
                            double(view.m[8]) * view.m[8]);
    double up = std::sqrt(double(view.m[1]) * view.m[1] + double(view.m[5]) * view.m[5] +
                          double(view.m[9]) * view.m[9]);
    double back = std::sqrt(double(view.m[2]) * view.m[2] + double(view.m[6]) * view.m[6] +
                            double(view.m[10]) * view.m[10]);
    EXPECT_NEAR(side, h, 1e-6);
    EXPECT_NEAR(up, h, 1e-6);
    EXPECT_NEAR(back, 1.0, 1e-6);
    EXPECT_NEAR(view.m[0], h, 1e-6);
    EXPECT_NEAR(view.m[5], h, 1e-6);
}

TEST(LookAt, Mat3LookAtIsTheTransposedViewRotation) {
    Vec3 eye(1, -2, 4), target(3, 5, -1), up(0, 1, 0);
    Mat4 view;
    view.LoadLookAt(eye, target, up);
    Mat3 orientation;
    orientation.LoadLookAt(eye, target, up);
    Mat3 viewRotation = view.GetRotation();
    viewRotation.LoadTranspose();
    EXPECT_EQ(orientation, viewRotation);
    // Its -Z axis points at the target.
    Vec3 forward = orientation * Vec3(0, 0, -1);
    Vec3 toTarget = (target - eye).Normalized();
    EXPECT_VEC3_NEAR(forward, toTarget.x, toTarget.y, toTarget.z, 1e-6);
}

TEST(TransformRotation, LookAtKeepsQuaternionAndMatrixInStep) {
    // Targets level with the eye, so +Y is perpendicular to the view and the
    // orientation is a true rotation: ahead, aside, straight behind (a half
    // turn) and just off straight behind.
    const Vec3 targets[] = {Vec3(1, 2, -9), Vec3(4, 2, -3), Vec3(-5, 2, 3), Vec3(1, 2, 13),
                            Vec3(1.01f, 2, 13), Vec3(0.999f, 2, 13)};
    for (const Vec3& target : targets) {
        SCOPED_TRACE(testing::Message() << target.x << " " << target.z);
        Transform t;
        t.translation = Vec3(1, 2, 3);
        t.LoadLookAt(target, Vec3::UNIT_Y);
        Mat3 orientation;
        orientation.LoadLookAt(t.translation, target, Vec3::UNIT_Y);
        EXPECT_EQ(t.rotationMatrix, orientation);
        Mat3 fromRotation;
        fromRotation.LoadFromQuaternion(t.rotation);
        EXPECT_MAT3_NEAR(fromRotation, Ref(t.rotationMatrix), 1e-5);
        Vec3 forward = t.rotationMatrix * Vec3(0, 0, -1);
        Vec3 toTarget = (target - t.translation).Normalized();
        EXPECT_VEC3_NEAR(forward, toTarget.x, toTarget.y, toTarget.z, 1e-6);
    }
    // A tilted view: the matrix is a shortened rotation; the quaternion is
    // still the one made from it, and finite.
    Transform tilted;
    tilted.translation = Vec3(1, 2, 3);
    tilted.LoadLookAt(Vec3(1, 7, -2), Vec3::UNIT_Y);
    Quat expected;
    expected.LoadFromRotationMatrix(tilted.rotationMatrix);
    EXPECT_EQ(tilted.rotation, expected);
    EXPECT_TRUE(std::isfinite(expected.x + expected.y + expected.z + expected.w));
    EXPECT_NEAR(Vec3(tilted.rotationMatrix.m[0], tilted.rotationMatrix.m[1],
                     tilted.rotationMatrix.m[2]).Length(),
                std::sqrt(0.5), 1e-6);
}

TEST(TransformRotation, SettersKeepBothFormsInStep) {
    Transform t;
    Quat q;
    q.LoadFromAngleAxis(2.0f, Vec3(1, -1, 2));
    t.SetRotation(q);
    EXPECT_EQ(t.rotation, q);
    EXPECT_MAT3_NEAR(t.rotationMatrix, RefRotation(2.0, 1, -1, 2), 1e-6);
    Mat3 r;
    r.LoadRotate(-0.5f, 0, 1, 1);
    t.SetRotationMatrix(r);
    EXPECT_EQ(t.rotationMatrix, r);
    Quat expected;
    expected.LoadFromAngleAxis(-0.5f, Vec3(0, 1, 1));
    ExpectSameRotation(t.rotation, expected, 1e-6, __LINE__);
}

TEST(TransformComposite, AppliesMatrixThenScaleThenRotationThenTranslation) {
    Transform t;
    t.translation = Vec3(10, 0, 0);
    Quat q;
    q.LoadFromAngleAxis(float(kPi / 2), Vec3::UNIT_Z);
    t.SetRotation(q);
    t.scale = Vec3(2, 1, 1);
    t.matrix.LoadTranslate(1, 0, 0);
    Mat4 c;
    t.CalculateComposite(&c);
    // Origin: M -> (1,0,0), S -> (2,0,0), R -> (0,2,0), T -> (10,2,0).
    EXPECT_VEC3_NEAR(Vec3(0, 0, 0) * c, 10, 2, 0, 1e-6);
    // (0,1,0): M -> (1,1,0), S -> (2,1,0), R -> (-1,2,0), T -> (9,2,0).
    EXPECT_VEC3_NEAR(Vec3(0, 1, 0) * c, 9, 2, 0, 1e-6);
    EXPECT_EQ(c.m[3], 0.0f);
    EXPECT_EQ(c.m[15], 1.0f);
}

TEST(TransformComposite, EqualsTheChainedProductAndReadsOnlyTheMatrixRotation) {
    std::mt19937 rng(19);
    std::uniform_real_distribution<float> u(-2.0f, 2.0f);
    for (int i = 0; i < 10; ++i) {
        Transform t;
        t.translation = Vec3(u(rng), u(rng), u(rng));
        t.rotationMatrix.LoadRotate(u(rng), u(rng), u(rng), u(rng));
        t.rotation = Quat::ZERO;  // not consulted by the composite
        t.scale = Vec3(u(rng), u(rng), u(rng));
        for (int k = 0; k < 16; ++k) t.matrix.m[k] = u(rng);
        D4 tr = Ref(Mat4().LoadTranslate(t.translation.x, t.translation.y, t.translation.z));
        D4 rot = Ref(Mat4());
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 3; ++col) rot.a[row][col] = t.rotationMatrix.m[3 * col + row];
        D4 sc = Ref(Mat4().LoadScale(t.scale.x, t.scale.y, t.scale.z));
        D4 expected = Mul(Mul(Mul(tr, rot), sc), Ref(t.matrix));
        Mat4 out = t.CalculateComposite();
        EXPECT_MAT4_NEAR(out, expected, 1e-5);
        // Writing the result over the general matrix itself.
        t.CalculateComposite(&t.matrix);
        EXPECT_EQ(t.matrix, out);
    }
}

TEST(TransformComposite, AssignmentCopiesEveryField) {
    Transform a;
    a.translation = Vec3(1, 2, 3);
    a.SetRotation(Quat(0, 0, 1, 0));
    a.scale = Vec3(4, 5, 6);
    a.matrix.LoadTranslate(7, 8, 9);
    Transform b;
    b = a;
    EXPECT_EQ(b.translation, a.translation);
    EXPECT_EQ(b.rotation, a.rotation);
    EXPECT_EQ(b.rotationMatrix, a.rotationMatrix);
    EXPECT_EQ(b.scale, a.scale);
    EXPECT_EQ(b.matrix, a.matrix);
    b.LoadIdentity();
    EXPECT_EQ(b.CalculateComposite(), Mat4::IDENTITY);
    EXPECT_EQ(a.CalculateComposite().GetTranslation(), Vec3(7 * -4 + 1, 8 * -5 + 2, 9 * 6 + 3));
}

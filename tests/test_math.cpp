// Vectors, matrices, quaternions and transforms against values worked by hand and
// double-precision references from textbook definitions, never the library's own.
#include "math/Mat3.h"
#include "math/Mat4.h"
#include "math/Quat.h"
#include "math/Transform.h"
#include "math/Vec3.h"
#include "math/Vec4.h"
#include "support/SceneTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

// Other translation units' statics are built from these, whatever the order.
static_assert(Mat4::IDENTITY.m[15] == 1.0f && Quat::IDENTITY.w == 1.0f, "constant-initialised");

using namespace testsupport;

namespace {

const double kPi = 3.141592653589793;
// m[i] = i + 1: not symmetric, every element distinct.
const Mat3 kCount3(1, 2, 3, 4, 5, 6, 7, 8, 9);  // rows (1 4 7) (2 5 8) (3 6 9)
const Mat4 kCount4(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);

template <int N>
void ExpectClose(const RefMat<N>& got, const RefMat<N>& want, double tol) {
    for (int row = 0; row < N; ++row)
        for (int col = 0; col < N; ++col)
            EXPECT_NEAR(got.a[row][col], want.a[row][col], tol) << "row " << row << " column " << col;
}
void ExpectClose(const Mat3& got, const RefMat3& want, double tol) { ExpectClose(Ref(got), want, tol); }
void ExpectClose(const Mat4& got, const RefMat4& want, double tol) { ExpectClose(Ref(got), want, tol); }
void ExpectClose(const Quat& q, double x, double y, double z, double w, double tol) {
    EXPECT_NEAR(q.x, x, tol);
    EXPECT_NEAR(q.y, y, tol);
    EXPECT_NEAR(q.z, z, tol);
    EXPECT_NEAR(q.w, w, tol);
}
void ExpectClose(const Vec3& v, double x, double y, double z, double tol) {
    ExpectClose(Quat(v.x, v.y, v.z, 0), x, y, z, 0, tol);
}
#define EXPECT_CLOSE(...) do { SCOPED_TRACE("EXPECT_CLOSE"); ExpectClose(__VA_ARGS__); } while (0)

// q and -q are the same rotation.
void ExpectSameRotation(const Quat& a, const Quat& b, double tol) {
    double s = a.Dot(b) < 0.0f ? -1.0 : 1.0;
    EXPECT_CLOSE(a, s * b.x, s * b.y, s * b.z, s * b.w, tol);
}

// Diagonally dominant, hence well conditioned.
template <typename M>
M Random(std::mt19937& rng) {
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    const int n = sizeof(M::m) == 9 * sizeof(float) ? 3 : 4;
    M m;
    for (float& e : m.m) e = u(rng);
    for (int i = 0; i < n; ++i) m.m[i * (n + 1)] += (i & 1) ? -n - 0.5f : n + 0.5f;
    return m;
}

Vec4 W0(const Vec3& v) { return Vec4(v.x, v.y, v.z, 0); }

}  // namespace

TEST(VectorOps, CrossIsRightHandedAndEqualityHasNoTolerance) {
    EXPECT_EQ(Vec3(1, 2, 3).Cross(Vec3(4, 5, 6)), Vec3(-3, 6, -3));
    EXPECT_NE(Vec3(1, 2, 3), Vec3(std::nextafter(1.0f, 2.0f), 2, 3));
    Mat4 a, b;
    b.m[7] = 1e-30f;
    EXPECT_NE(a, b);
    a.m[3] = std::nanf("");
    EXPECT_FALSE(a == a);
}

TEST(VectorNormalize, ZeroStaysZeroAndEpsilonJoinsTheLength) {
    Vec3 zero = Vec3::ZERO;
    EXPECT_EQ(zero.Normalize(1e-12f), Vec3::ZERO);
    // v / (|v| + eps): with eps = 1 the divisor of (3, 4, 0) is 6.
    Vec3 v(3, 4, 0);
    v.Normalize(1.0f);
    EXPECT_FLOAT_EQ(v.x, 0.5f);
    EXPECT_FLOAT_EQ(v.y, 4.0f / 6.0f);
}

TEST(VectorAngle, RadiansAndNoNaNForParallelVectors) {
    EXPECT_NEAR(Vec3(2, 0, 0).Angle(Vec3(1, 1, 0)), kPi / 4, 1e-6);
    // Rounding can put the cosine just past +-1; the angle must stay 0 or pi.
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-10.0f, 10.0f);
    for (int i = 0; i < 2000; ++i) {
        Vec3 a(u(rng), u(rng), u(rng));
        float k = std::fabs(u(rng)) + 0.1f;
        ASSERT_NEAR(a.Angle(a * k), 0.0, 1e-3) << i;
        ASSERT_NEAR(a.Angle(a * -k), kPi, 1e-3) << i;
    }
}

TEST(MatrixProducts, EachArrangementAgainstHandWorkedValues) {
    const Vec3 v(1, 2, 3);
    const Vec4 v4(1, 2, 3, 4);
    struct Row { const char* op; Vec4 got, want; };
    const Row rows[] = {{"Mat3 * Vec3", W0(kCount3 * v), Vec4(30, 36, 42, 0)},
                        {"Vec3 * Mat3", W0(v * kCount3), Vec4(14, 32, 50, 0)},
                        {"Vec3 * Mat4", W0(v * kCount4), Vec4(51, 58, 65, 0)},
                        {"Vec4 * Mat4", v4 * kCount4, Vec4(90, 100, 110, 120)},
                        {"Mat4 * Vec3", W0(kCount4 * v), Vec4(18, 46, 74, 0)},
                        {"Mat4 * Vec4", kCount4 * v4, Vec4(30, 70, 110, 150)}};
    for (const Row& r : rows) EXPECT_EQ(r.got, r.want) << r.op;
    // kCount3 x shear adds column 0 to column 1.
    Mat3 shear;
    shear.m[3] = 1.0f;
    EXPECT_EQ(kCount3 * shear, Mat3(1, 2, 3, 5, 7, 9, 7, 8, 9));
    // The right factor acts first: scaling then translating keeps the translation.
    Mat4 t, s;
    EXPECT_EQ(t.LoadTranslate(1, 2, 3) * s.LoadScale(2, 3, 4),
              Mat4(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 1, 2, 3, 1));
}

TEST(MatrixProducts, MatchTheDefinitionWhenOutIsAnOperand) {
    std::mt19937 rng(3);
    Mat4 a = Random<Mat4>(rng), b = Random<Mat4>(rng), left = a, right = b;
    Mat3 c = Random<Mat3>(rng), d = Random<Mat3>(rng), left3 = c, right3 = d;
    left *= b;
    Mat4::MatrixMultiplication(right, a, right);
    left3 *= d;
    Mat3::MatrixMultiplication(&right3, c, right3);
    EXPECT_CLOSE(left, RefMul(Ref(a), Ref(b)), 1e-5);
    EXPECT_CLOSE(right, RefMul(Ref(a), Ref(b)), 1e-5);
    EXPECT_CLOSE(left3, RefMul(Ref(c), Ref(d)), 1e-5);
    EXPECT_CLOSE(right3, RefMul(Ref(c), Ref(d)), 1e-5);
}

TEST(MatrixMechanics, TransposeRotationBlockAndLoadsOverEveryElement) {
    Mat3 t3 = kCount3;
    EXPECT_EQ(t3.LoadTranspose(t3), Mat3(1, 4, 7, 2, 5, 8, 3, 6, 9));  // may be itself
    Mat4 a = kCount4;
    a.SetRotation(Mat3(-1, -2, -3, -4, -5, -6, -7, -8, -9));
    EXPECT_EQ(a, Mat4(-1, -2, -3, 4, -4, -5, -6, 8, -7, -8, -9, 12, 13, 14, 15, 16));
    EXPECT_EQ(kCount4.GetRotation(), Mat3(1, 2, 3, 5, 6, 7, 9, 10, 11));
    EXPECT_EQ(a.LoadTranslate(7, 8, 9), Mat4(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 7, 8, 9, 1));
    EXPECT_EQ(t3.LoadScale(2, 3, 4), Mat3(2, 0, 0, 0, 3, 0, 0, 0, 4));
}

TEST(MatrixInverse, InverseTimesMatrixIsTheIdentity) {
    std::mt19937 rng(7);
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        Mat3 m3 = Random<Mat3>(rng), inv3 = m3;
        Mat4 m4 = Random<Mat4>(rng), inv4 = m4;
        inv3.LoadInverse();
        inv4.LoadInverse();
        EXPECT_CLOSE(RefMul(Ref(inv3), Ref(m3)), Ref(Mat3()), 1e-5);
        EXPECT_CLOSE(RefMul(Ref(inv4), Ref(m4)), Ref(Mat4()), 1e-5);
    }
}

TEST(MatrixInverse, DeterminantThresholdIsHalfAThousandth) {
    // One axis scaled to a determinant just under or over 0.0005, either sign,
    // mixed with a rotation (and a translation for Mat4).
    Mat3 r3, s3;
    Mat4 r4, s4, t4;
    r3.LoadRotate(0.9f, 1, -2, 0.5f);
    r4 = t4.LoadTranslate(1, 2, 3) * r4.LoadRotate(-1.3f, 0.3f, 1, 2);
    for (float k : {0.0004999f, -0.0004999f, 0.0005001f, -0.0005001f}) {
        SCOPED_TRACE(k);
        Mat3 m3 = r3 * s3.LoadScale(k, 1, 1), inv3 = m3;
        Mat4 m4 = r4 * s4.LoadScale(1, 1, k), inv4 = m4;
        inv3.LoadInverse();
        inv4.LoadInverse();
        if (std::fabs(k) < 0.0005f) {
            EXPECT_EQ(inv3, Mat3::IDENTITY);
            EXPECT_EQ(inv4, Mat4::IDENTITY);
        } else {
            EXPECT_CLOSE(RefMul(Ref(inv3), Ref(m3)), Ref(Mat3()), 1e-3);
            EXPECT_CLOSE(RefMul(Ref(inv4), Ref(m4)), Ref(Mat4()), 1e-3);
        }
    }
}

TEST(Projections, HandWorkedElements) {
    Mat4 p = kCount4;  // every element must be written
    // f = 1 / tan(45 deg) = 1; (1 + 10) / (1 - 10); 2 * 1 * 10 / (1 - 10).
    EXPECT_CLOSE(p.LoadPerspective(90, 1, 1, 10),
                 Ref(Mat4(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -11 / 9.f, -1, 0, 0, -20 / 9.f, 0)), 1e-6);
    // f = 1 / tan(30 deg) = sqrt 3, over the aspect 2 in m[0].
    const float r3 = std::sqrt(3.0f);
    EXPECT_CLOSE(p.LoadPerspective(60, 2, 0.5f, 100),
                 Ref(Mat4(r3 / 2, 0, 0, 0, 0, r3, 0, 0, 0, 0, -100.5f / 99.5f, -1, 0, 0, -100 / 99.5f, 0)), 1e-6);
    EXPECT_CLOSE(p.LoadOrtho(0, 4, -1, 1, 1, 3),
                 Ref(Mat4(0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, -1, 0, -2, 1)), 1e-6);
}

TEST(Rotations, QuaternionFormsAgreeWithRodrigues) {
    struct Case { double angle, x, y, z; };
    const Case cases[] = {{0.3, 0, 0, 1}, {1.2, 1, 2, 3}, {-2.0, 0.5, -1, 0.25},
                          {kPi, 1, 1, 1}, {4.5, 0, 3, 0}, {-kPi / 2, 2, 2, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.angle);
        const RefMat3 want = RefRotation(c.angle, c.x, c.y, c.z);
        const float angle = float(c.angle);
        const Vec3 axis(float(c.x), float(c.y), float(c.z));
        Mat3 fromQuat;
        Quat q;
        q.LoadFromAngleAxis(angle, axis);  // axes of any length
        EXPECT_CLOSE(fromQuat.LoadFromQuaternion(q), want, 1e-6);
    }
    Quat q;  // a long axis normalised
    EXPECT_CLOSE(q.LoadFromAngleAxis(float(kPi / 2), Vec3(0, 0, 2)), 0, 0, std::sqrt(0.5), std::sqrt(0.5), 1e-7);
}

TEST(QuatAlgebra, ProductComposesRotationsAndInverseUndoesThem) {
    std::mt19937 rng(13);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int n = 0; n < 5; ++n) {
        Quat a = Quat(u(rng), u(rng), u(rng), u(rng)).Normalize();
        Quat b = Quat(u(rng), u(rng), u(rng), u(rng)).Normalize();
        Mat3 ra, rb, rab;
        ra.LoadFromQuaternion(a);
        rb.LoadFromQuaternion(b);
        EXPECT_CLOSE(rab.LoadFromQuaternion(a * b), RefMul(Ref(ra), Ref(rb)), 1e-5);
    }
    // Unnormalised quaternions invert too: conjugate over the squared length.
    const Quat q(1, -2, 3, 4);
    EXPECT_EQ(q * q.Conjugate(), Quat(0, 0, 0, 30));
    EXPECT_CLOSE(q * q.Inverse(), 0, 0, 0, 1, 1e-7);
}

TEST(QuatFromMatrix, RoundTripsThroughTheMatrixUpToAHalfTurn) {
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    // Beyond about 162 degrees the trace is too small to divide by.
    for (double angle : {0.1, 1.0, 2.0, 2.5, 3.0, kPi - 0.01, kPi - 0.001, kPi - 1e-5, kPi}) {
        for (int i = 0; i < 5; ++i) {
            SCOPED_TRACE(testing::Message() << "angle " << angle << " case " << i);
            Vec3 axis(u(rng), u(rng), u(rng));
            Mat3 m, back;
            Quat q;
            q.LoadFromRotationMatrix(m.LoadRotate(float(angle), axis.x, axis.y, axis.z));
            EXPECT_CLOSE(back.LoadFromQuaternion(q), Ref(m), 1e-5);
        }
    }
}

TEST(QuatFromMatrix, IdentityAndHalfTurns) {
    const float h = float(std::sqrt(0.5));
    struct Row { Mat3 m; Quat q; };
    // The last two: a half turn about (1, 1, 0), where the first two diagonal
    // elements tie and the third is the smallest.
    const Row rows[] = {{Mat3::IDENTITY, Quat(0, 0, 0, 1)},
                        {Mat3(1, 0, 0, 0, -1, 0, 0, 0, -1), Quat(1, 0, 0, 0)},
                        {Mat3(-1, 0, 0, 0, -1, 0, 0, 0, 1), Quat(0, 0, 1, 0)},
                        {Mat3(0, 1, 0, 1, 0, 0, 0, 0, -1), Quat(h, h, 0, 0)},
                        {Mat3().LoadRotate(float(kPi), 1, 1, 0), Quat(h, h, 0, 0)}};
    for (const Row& r : rows) {
        Quat q;
        ExpectSameRotation(q.LoadFromRotationMatrix(r.m), r.q, 1e-6);
    }
}

TEST(QuatLogExp, EdgeCasesAndTheHalfAngle) {
    EXPECT_EQ(Quat(0, 0, 0, 1).Log(), Quat(0, 0, 0, 0));
    EXPECT_EQ(Quat(0, 0, 0, 0).Exp(), Quat(0, 0, 0, 1));
    // Tiny angles pass the vector part through, and so does w just above 1
    // (rounding in an unnormalised product), where acos gives NaN.
    EXPECT_EQ(Quat(1e-8f, 0, 0, 1).Log(), Quat(1e-8f, 0, 0, 0));
    EXPECT_EQ(Quat(1e-8f, 0, -2e-8f, 0).Exp(), Quat(1e-8f, 0, -2e-8f, 1));
    EXPECT_EQ(Quat(1e-4f, 0, 0, std::nextafter(1.0f, 2.0f)).Log(), Quat(1e-4f, 0, 0, 0));
    // Log of a unit quaternion is half the angle about the unit axis.
    Quat q;
    q.LoadFromAngleAxis(1.6f, Vec3(0, 3, 4));
    EXPECT_CLOSE(q.Log(), 0, 0.8 * 0.6, 0.8 * 0.8, 0, 1e-6);
    // Exp takes the length of all four components: |(0.3, 0, 0, 0.4)| = 0.5.
    EXPECT_CLOSE(Quat(0.3f, 0, 0, 0.4f).Exp(), 0.3 * std::sin(0.5) / 0.5, 0, 0, std::cos(0.5), 1e-6);
}

// -Z turned onto the target and +Y as near up as it goes, for targets ahead,
// aside, straight behind (a half turn), just off it, and above, where side and
// up shorten to the sine of the angle between the view direction and up.
TEST(LookAt, TransformFacesTheTargetWithQuaternionAndMatrixInStep) {
    for (const Vec3& target :
         {Vec3(1, 2, -9), Vec3(4, 2, -3), Vec3(1, 2, 13), Vec3(1.01f, 2, 13), Vec3(1, 7, -2)}) {
        SCOPED_TRACE(testing::Message() << target.x << " " << target.y << " " << target.z);
        Transform t;
        t.translation = Vec3(1, 2, 3);
        t.LoadLookAt(target, Vec3::UNIT_Y);
        const Vec3 ahead = (target - t.translation).Normalized();
        const Vec3 right = ahead.Cross(Vec3::UNIT_Y), up = right.Cross(ahead);
        const Mat3& r = t.rotationMatrix;
        EXPECT_CLOSE(r * Vec3(1, 0, 0), right.x, right.y, right.z, 1e-5);
        EXPECT_CLOSE(r * Vec3(0, 1, 0), up.x, up.y, up.z, 1e-5);
        EXPECT_CLOSE(r * Vec3(0, 0, -1), ahead.x, ahead.y, ahead.z, 1e-5);
        Mat3 fromQuat;  // level targets give a rotation, which the quaternion holds too
        if (target.y == 2) EXPECT_CLOSE(fromQuat.LoadFromQuaternion(t.rotation), Ref(r), 1e-5);
    }
}

TEST(TransformComposite, AppliesMatrixThenScaleThenRotationThenTranslation) {
    std::mt19937 rng(19);
    std::uniform_real_distribution<float> u(-2.0f, 2.0f);
    for (int i = 0; i < 10; ++i) {
        Transform t;
        t.translation = Vec3(u(rng), u(rng), u(rng));
        t.rotationMatrix.LoadRotate(u(rng), u(rng), u(rng), u(rng));
        t.rotation = Quat::ZERO;  // not consulted
        t.scale = Vec3(u(rng), u(rng), u(rng));
        for (float& e : t.matrix.m) e = u(rng);
        Mat4 tr, rot, sc;
        tr.LoadTranslate(t.translation.x, t.translation.y, t.translation.z);
        rot.SetRotation(t.rotationMatrix);
        sc.LoadScale(t.scale.x, t.scale.y, t.scale.z);
        const RefMat4 want = RefMul(RefMul(RefMul(Ref(tr), Ref(rot)), Ref(sc)), Ref(t.matrix));
        const Mat4 out = t.CalculateComposite();
        EXPECT_CLOSE(out, want, 1e-5);
        t.CalculateComposite(&t.matrix);  // the result may overwrite the general matrix
        EXPECT_EQ(t.matrix, out);
    }
}

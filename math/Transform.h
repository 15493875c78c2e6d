// Local transform of a spatial: translation, rotation (kept both as quaternion
// and as matrix), scale and a general matrix, composed as T * R * S * M.
#pragma once

#include <type_traits>

#include "math/Mat3.h"
#include "math/Mat4.h"
#include "math/Quat.h"
#include "math/Vec3.h"

class Transform {
public:
    // Identity: no translation, identity rotation, unit scale, identity matrix.
    constexpr Transform()
        : translation(), rotation(), rotationMatrix(), scale(1.0f, 1.0f, 1.0f), matrix() {}

    Transform& LoadIdentity() { return *this = Transform(); }

    // Setters that keep rotation and rotationMatrix describing the same turn.
    void SetRotation(const Quat& q) {
        rotation = q;
        rotationMatrix.LoadFromQuaternion(q);
    }
    void SetRotationMatrix(const Mat3& r);

    // Turns the -Z axis of an object at translation towards target, +Y as
    // near to up as it can; both rotation forms are updated.
    Transform& LoadLookAt(const Vec3& target, const Vec3& up);

    // out = T * R * S * M: matrix acts on a point first, then scale, then the
    // rotation (rotationMatrix; the quaternion is not read), then translation.
    // Same result as chaining Mat4::MatrixMultiplication, without building T,
    // R and S.
    void CalculateComposite(Mat4* out) const {
        const Mat3& r = rotationMatrix;
        // A = T * R * S is affine: column t is column t of R times scale[t].
        float a[12];
        for (int row = 0; row < 3; ++row) {
            a[row] = r.m[row] * scale.x;
            a[3 + row] = r.m[3 + row] * scale.y;
            a[6 + row] = r.m[6 + row] * scale.z;
        }
        a[9] = translation.x;
        a[10] = translation.y;
        a[11] = translation.z;
        const float* b = matrix.m;
        float* o = out->m;
        for (int c = 0; c < 4; ++c) {
            // Copied first so that out may be &matrix.
            float b0 = b[4 * c], b1 = b[4 * c + 1], b2 = b[4 * c + 2], b3 = b[4 * c + 3];
            for (int row = 0; row < 3; ++row)
                o[4 * c + row] = a[row] * b0 + a[3 + row] * b1 + a[6 + row] * b2 + a[9 + row] * b3;
            o[4 * c + 3] = b3;
        }
    }
    Mat4 CalculateComposite() const {
        Mat4 out;
        CalculateComposite(&out);
        return out;
    }

    Vec3 translation;
    Quat rotation;
    Mat3 rotationMatrix;
    Vec3 scale;
    Mat4 matrix;  // general matrix, the rightmost factor of the composite
};

static_assert(std::is_trivially_copyable<Transform>::value, "assignment copies every field");

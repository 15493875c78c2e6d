// Non-inline Vec2 operations.
#include "math/Vec2.h"

void Vec2::Orthonormalize(Vec2* pair) {
    pair[0].Normalize(1e-12f);
    pair[1] -= pair[0] * pair[0].Dot(pair[1]);
    pair[1].Normalize(1e-12f);
}

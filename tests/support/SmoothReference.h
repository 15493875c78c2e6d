// Normal smoothing done the plain way, as the reference Demo::Scene must
// reproduce: equal positions grouped by a quadratic scan (every leader sweeps
// all remaining vertices), and clustering that recounts every disagreement
// after each drop. Shared by tests/test_demo_scene.cpp and bench/bench_smooth.cpp.
#pragma once

#include <algorithm>
#include <vector>

#include "demo/Scene.h"
#include "engine/AttributeArray.h"

namespace testsupport {

using Groups = std::vector<std::vector<unsigned int>>;

// Vertices at equal positions, each group in the order the scan found them.
inline Groups ReferenceGroups(const std::vector<Vec3>& p) {
    std::vector<unsigned int> rest(p.size());
    for (unsigned int v = 0; v < p.size(); ++v) rest[v] = v;
    Groups groups;
    for (size_t cursor = 0; cursor < rest.size(); ++cursor) {
        const Vec3 pv = p[rest[cursor]];
        groups.push_back({rest[cursor]});
        for (size_t j = cursor + 1; j < rest.size();) {
            const Vec3& q = p[rest[j]];
            if (q.x == pv.x && q.y == pv.y && q.z == pv.z) {
                groups.back().push_back(rest[j]);
                rest[j] = rest.back();
                rest.pop_back();
            } else {
                ++j;
            }
        }
    }
    return groups;
}

// Smooths the normals of one group of vertices at a position; threshold in radians.
inline void ReferenceCluster(std::vector<unsigned int> w, AttributeArray* normals, float threshold) {
    std::vector<Vec3> wn;
    for (unsigned int v : w) wn.push_back(Demo::Scene::GetElement(normals, v));
    while (w.size() > 1) {
        std::vector<unsigned int> k(w.size());
        for (unsigned int i = 0; i < w.size(); ++i) k[i] = i;
        for (;;) {
            std::vector<unsigned int> d(k.size(), 0);
            for (size_t i = 0; i < k.size(); ++i)
                for (size_t j = 0; j < k.size(); ++j)
                    if (i != j && wn[k[i]].Angle(wn[k[j]]) > threshold) d[i] += 1;
            size_t worst = std::max_element(d.begin(), d.end()) - d.begin();  // first of ties
            if (d[worst] == 0) break;
            k[worst] = k.back();
            k.pop_back();
            if (k.size() == 1) return;
        }
        Vec3 sum(0, 0, 0);
        for (unsigned int i : k) sum += wn[i];
        for (unsigned int i : k) Demo::Scene::SetElement(normals, w[i], sum * (1.0f / k.size()));
        std::sort(k.rbegin(), k.rend());  // erase from the back, keeping the others' order
        for (unsigned int i : k) {
            w.erase(w.begin() + i);
            wn.erase(wn.begin() + i);
        }
    }
}

}  // namespace testsupport

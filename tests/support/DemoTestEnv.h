// Fixture for demo-layer tests: a recording engine so that resources have a
// manager, files served from memory, and a fresh demo engine per test.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "demo/Engine.h"
#include "demo/Node.h"
#include "demo/Scene.h"
#include "engine/Scene.h"
#include "engine/SceneNode.h"
#include "support/DemoPlatform.h"
#include "support/RecordingResourceManager.h"
#include "support/TestSupport.h"

namespace testsupport {

class DemoTestEnv : public ::testing::Test {
protected:
    DemoTestEnv() : engine(Demo::Engine::GetEngine()) {
        engine->width = 800;
        engine->height = 600;
    }
    void TearDown() override { delete Demo::Engine::instance; }  // and all it registered

    RecordingEngine gl;
    DemoPlatform platform;
    Demo::Engine* engine;  // made after the two above
};

inline std::string StdoutOf(const std::function<void()>& f) {
    CaptureFd out(1);
    f();
    return out.Stop();
}

template <typename T>
std::vector<T> Vec(const Vector<T>& v) {
    return std::vector<T>(v.begin(), v.end());
}

}  // namespace testsupport

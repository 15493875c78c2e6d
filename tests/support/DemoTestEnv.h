// Fixture for demo-layer tests: a recording engine so that resources have a
// manager, a platform serving files from memory, and a fresh demo engine per
// test that is deleted afterwards together with every object it registered.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "demo/Engine.h"
#include "support/DemoPlatform.h"
#include "support/RecordingResourceManager.h"
#include "support/TestSupport.h"

namespace testsupport {

class DemoTestEnv : public ::testing::Test {
protected:
    void SetUp() override {
        engine = Demo::Engine::GetEngine();
        engine->width = 800;
        engine->height = 600;
    }
    void TearDown() override { delete Demo::Engine::instance; }

    // Objects registered by this test, in registration order.
    unsigned int Registered() const { return engine->objects.Size(); }

    RecordingEngine gl;
    DemoPlatform platform;
    Demo::Engine* engine = nullptr;
};

// Runs f and returns what it printed to standard output.
template <typename F>
std::string StdoutOf(F f) {
    CaptureFd out(1);
    f();
    return out.Stop();
}

}  // namespace testsupport

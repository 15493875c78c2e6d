// Parts, demo passes, effects, targets, images, nodes and script animations:
// state lists, sizes, animated switches, and scripts handing in nil.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "demo/Actor.h"
#include "demo/Animation.h"
#include "demo/Effect.h"
#include "demo/Engine.h"
#include "demo/Image.h"
#include "demo/Node.h"
#include "demo/Part.h"
#include "demo/Pass.h"
#include "demo/Scene.h"
#include "demo/Target.h"
#include "engine/Camera.h"
#include "engine/KeyframeSequence.h"
#include "engine/Program.h"
#include "engine/Scene.h"
#include "engine/SceneManager.h"
#include "engine/SceneNode.h"
#include "engine/Texture2D.h"
#include "engine/TextureCube.h"
#include "engine/Uniform.h"
#include "render/BlendState.h"
#include "render/GenericState.h"
#include "render/ProgramState.h"
#include "render/TextureSamplerState.h"
#include "render/TextureState.h"
#include "render/UniformState.h"
#include "support/DemoTestEnv.h"
#include "support/SequenceResourceManager.h"

using testsupport::DemoTestEnv;
using testsupport::StdoutOf;

namespace {

const char* kVertexUrl = "resource://shaders/a.vert";
const char* kFragmentUrl = "resource://shaders/a.frag";

class DemoObjects : public DemoTestEnv {
protected:
    void SetUp() override {
        DemoTestEnv::SetUp();
        platform.files[kVertexUrl] = "void main() { gl_Position = vec4(0.0); }";
        platform.files[kFragmentUrl] = "void main() { gl_FragColor = vec4(1.0); }";
    }

    Demo::Effect* NewEffect() { return Demo::Effect::New(kVertexUrl, kFragmentUrl); }

    Demo::Image* NewImage(unsigned int width, unsigned int height) {
        Texture2D* texture = new Texture2D();
        texture->width = width;
        texture->height = height;
        Demo::Image* image = new Demo::Image(texture);
        engine->Register(image);
        return image;
    }

    // An engine scene like a loaded one: one engine pass whose camera node
    // carries a perspective camera, under a root.
    ::Scene* NewLoadedScene(Camera** cameraOut = nullptr) {
        ::Scene* scene = new ::Scene();
        SceneNode* root = new SceneNode();
        SceneNode* cameraNode = new SceneNode();
        root->Attach(cameraNode);
        Camera* camera = new Camera(60.0f, 4.0f / 3.0f, 0.5f, 50.0f);
        cameraNode->Attach(camera);
        ::Pass* pass = new ::Pass(root, cameraNode, nullptr, true, Vec4(0.1f, 0.2f, 0.3f, 1.0f),
                                  true, 0.75f, true, 3);
        scene->objects.Add(root);
        scene->objects.Add(cameraNode);
        scene->objects.Add(camera);
        scene->objects.Add(pass);
        if (cameraOut) *cameraOut = camera;
        return scene;
    }
};

std::vector<RenderState*> StatesOf(const Vector<RenderState*>& states) {
    return std::vector<RenderState*>(states.begin(), states.end());
}

float UniformFloat(const Uniform* uniform, unsigned int i = 0) {
    return static_cast<const float*>(uniform->data)[i];
}

// Logs its updates together with the time uniform of a pass, to show that
// the part updates its passes before its actors.
class LoggingActor : public Demo::Actor {
public:
    LoggingActor(const char* name_, std::vector<std::string>* log_, Demo::Pass* pass_)
        : name(name_), log(log_), pass(pass_) {}
    void Update(float time) override {
        char line[64];
        snprintf(line, sizeof(line), "%s %.1f pass %.1f", name, time,
                 pass ? UniformFloat(&pass->timeUniform) : -1.0f);
        log->push_back(line);
    }
    const char* name;
    std::vector<std::string>* log;
    Demo::Pass* pass;
};

Demo::Animation* StepAnimation(std::initializer_list<std::pair<float, float>> keys) {
    Demo::Animation* animation =
        Demo::Animation::New(Demo::Animation::IM_STEP, Demo::Animation::RM_CONSTANT);
    for (const auto& key : keys) animation->AddKey(key.first, key.second);
    // Keys are held only up to the duration.
    animation->SetDuration(10000.0f);
    return animation;
}

}  // namespace

// ---------------------------------------------------------------- parts

TEST_F(DemoObjects, PartNewWithOneArgumentStartsAtZero) {
    Demo::Part* a = Demo::Part::New(3000.0f);
    Demo::Part* b = Demo::Part::New(3000.0f, 1000.0f);
    EXPECT_EQ(a->end, 3000.0f);
    EXPECT_EQ(a->start, 0.0f);
    EXPECT_EQ(b->end - b->start, 2000.0f);
    EXPECT_EQ(b->start, 1000.0f);
    ASSERT_EQ(Registered(), 2u);
    EXPECT_EQ(engine->objects[0], a);
    EXPECT_EQ(engine->objects[1], b);
}

TEST_F(DemoObjects, PartDrawsPassesInAddPassOrder) {
    Demo::Scene* scene = Demo::Scene::CreateFS();
    Demo::Effect* effect = NewEffect();
    Demo::Pass* p1 = Demo::Pass::New(scene, effect);
    Demo::Pass* p2 = Demo::Pass::New(scene, effect);
    Demo::Pass* p3 = Demo::Pass::New(scene, effect);
    Demo::Part* part = Demo::Part::New(1000.0f);
    part->AddPass(p2);
    part->AddPass(p1);
    part->AddPass(p3);
    ASSERT_EQ(part->technique.passes.Size(), 3u);
    EXPECT_EQ(part->technique.passes[0], &p2->pass);
    EXPECT_EQ(part->technique.passes[1], &p1->pass);
    EXPECT_EQ(part->technique.passes[2], &p3->pass);
    ASSERT_EQ(part->passes.Size(), 3u);
    EXPECT_EQ(part->passes[0], p2);
    EXPECT_EQ(part->passes[2], p3);
}

TEST_F(DemoObjects, PartUpdatesPassesThenActorsInOrder) {
    Demo::Scene* scene = Demo::Scene::CreateFS();
    Demo::Pass* pass = Demo::Pass::New(scene, NewEffect());
    Demo::Part* part = Demo::Part::New(1000.0f, 200.0f);
    std::vector<std::string> log;
    LoggingActor first("first", &log, pass);
    LoggingActor second("second", &log, pass);
    part->AddPass(pass);
    part->AttachUpdate(&second);
    part->AttachUpdate(&first);
    part->Update(250.0f);
    part->Update(500.0f);
    std::vector<std::string> expected = {"second 250.0 pass 250.0", "first 250.0 pass 250.0",
                                         "second 500.0 pass 500.0", "first 500.0 pass 500.0"};
    EXPECT_EQ(log, expected);
}

TEST_F(DemoObjects, PartSetSizeSizesEveryPassTarget) {
    Demo::Scene* scene = Demo::Scene::CreateFS();
    Demo::Effect* effect = NewEffect();
    Demo::Target* half = Demo::Target::New(0.5f);
    Demo::Target* full = Demo::Target::New();
    Demo::Part* part = Demo::Part::New(1000.0f);
    part->AddPass(Demo::Pass::New(scene, effect, half));
    part->AddPass(Demo::Pass::New(scene, effect, full));
    part->SetSize(1024, 768);
    EXPECT_EQ(half->width, 512u);
    EXPECT_EQ(half->height, 384u);
    EXPECT_EQ(full->width, 1024u);
    EXPECT_EQ(full->height, 768u);
}

TEST_F(DemoObjects, PartNilPassAndActorAreReportedAndIgnored) {
    Demo::Part* part = Demo::Part::New(1000.0f);
    EXPECT_EQ(StdoutOf([&] { part->AddPass(nullptr); }), "Demo::Part::AddPass(): no pass\n");
    EXPECT_EQ(StdoutOf([&] { part->AttachUpdate(nullptr); }),
              "Demo::Part::AttachUpdate(): no actor\n");
    EXPECT_EQ(part->technique.passes.Size(), 0u);
    EXPECT_EQ(part->passes.Size(), 0u);
    EXPECT_EQ(part->actors.Size(), 0u);
    part->SetSize(640, 480);
    part->Update(10.0f);
}

// ---------------------------------------------------------------- demo passes

TEST_F(DemoObjects, PassCopiesScenePassThenEffectStatesThenTime) {
    Demo::Scene* scene = Demo::Scene::CreateFS();
    Demo::Effect* effect = NewEffect();
    Demo::Target* target = Demo::Target::New();
    effect->AddSource(target);
    effect->SetParam("amount", 0.5f);
    Demo::Pass* pass = Demo::Pass::New(scene, effect);

    Vector<SceneObject*> enginePasses;
    scene->scene->FindAll(SceneObject::SOT_Pass, &enginePasses);
    const ::Pass* source = static_cast<::Pass*>(enginePasses[0]);
    std::vector<RenderState*> expected = {scene->depthTest, scene->cullFace};
    for (RenderState* state : effect->states) expected.push_back(state);
    expected.push_back(&pass->timeState);
    EXPECT_EQ(StatesOf(pass->pass.states), expected);
    EXPECT_EQ(pass->pass.states.Size(), 2u + 6u + 1u);
    EXPECT_EQ(pass->pass.scene, source->scene);
    EXPECT_EQ(pass->pass.cameraNode, source->cameraNode);
    EXPECT_TRUE(pass->pass.clearColorEnabled);
    EXPECT_EQ(pass->pass.clearColor, Vec4::ZERO);
    EXPECT_TRUE(pass->pass.clearDepthEnabled);
    EXPECT_EQ(pass->pass.clearDepth, 1.0f);
    EXPECT_FALSE(pass->pass.clearStencilEnabled);
    EXPECT_EQ(pass->pass.frameBuffer, nullptr);
    EXPECT_EQ(pass->scene, scene);
    EXPECT_EQ(pass->effect, effect);
    EXPECT_EQ(pass->target, nullptr);
    EXPECT_EQ(pass->targetState, nullptr);
}

TEST_F(DemoObjects, PassTakesClearSettingsOfTheScenePass) {
    Demo::Scene* scene = Demo::Scene::New(NewLoadedScene());
    Demo::Pass* pass = Demo::Pass::New(scene, NewEffect(), Demo::Target::New());
    EXPECT_TRUE(pass->pass.clearColorEnabled);
    EXPECT_EQ(pass->pass.clearColor, Vec4(0.1f, 0.2f, 0.3f, 1.0f));
    EXPECT_EQ(pass->pass.clearDepth, 0.75f);
    EXPECT_TRUE(pass->pass.clearStencilEnabled);
    EXPECT_EQ(pass->pass.clearStencil, 3);
    // The scene pass's framebuffer is replaced by the demo pass's target.
    EXPECT_EQ(pass->pass.frameBuffer, &pass->target->frameBuffer);
}

TEST_F(DemoObjects, PassTimeUniformStartsAtZeroAndFollowsPartTime) {
    Demo::Pass* pass = Demo::Pass::New(Demo::Scene::CreateFS(), NewEffect());
    EXPECT_STREQ(pass->timeUniform.name, "Vomra_un_Time");
    EXPECT_EQ(pass->timeState.uniform, &pass->timeUniform);
    EXPECT_EQ(pass->timeUniform.elementType, unsigned(Uniform::ET_Float));
    EXPECT_EQ(UniformFloat(&pass->timeUniform), 0.0f);
    EXPECT_EQ(pass->pass.states.Last(), &pass->timeState);
    pass->Update(1234.5f);
    EXPECT_EQ(UniformFloat(&pass->timeUniform), 1234.5f);
}

TEST_F(DemoObjects, PassWarnsOncePerPassOverSceneWithTwoPassesAndUsesTheFirst) {
    ::Scene* engineScene = new ::Scene();
    ::Pass* first = new ::Pass(nullptr, nullptr, nullptr, true, Vec4(1, 0, 0, 1));
    ::Pass* second = new ::Pass(nullptr, nullptr, nullptr, true, Vec4(0, 1, 0, 1));
    engineScene->objects.Add(first);
    engineScene->objects.Add(second);
    Demo::Scene* scene = Demo::Scene::New(engineScene);
    Demo::Effect* effect = NewEffect();
    Demo::Pass* a = nullptr;
    std::string out = StdoutOf([&] {
        a = Demo::Pass::New(scene, effect);
        Demo::Pass::New(scene, effect);
    });
    EXPECT_EQ(out,
              "Demo::Pass::Pass(): Warning: scene has more than one pass\n"
              "Demo::Pass::Pass(): Warning: scene has more than one pass\n");
    EXPECT_EQ(a->pass.clearColor, Vec4(1, 0, 0, 1));
    // The first pass's own states: the depth and cull switches of the scene.
    EXPECT_EQ(a->pass.states[0], scene->depthTest);
    EXPECT_EQ(a->pass.states[1], scene->cullFace);
}

TEST_F(DemoObjects, PassSeesNoParameterAddedAfterItButLiveBlendSettings) {
    Demo::Effect* effect = NewEffect();
    Demo::Pass* pass = Demo::Pass::New(Demo::Scene::CreateFS(), effect);
    unsigned int before = pass->pass.states.Size();
    effect->SetParam("late", 1.0f);
    effect->AddSource(Demo::Target::New());
    EXPECT_EQ(pass->pass.states.Size(), before);
    for (RenderState* state : pass->pass.states)
        for (unsigned int i = 3; i < effect->states.Size(); ++i) EXPECT_NE(state, effect->states[i]);
    effect->SetBlendEnabled(true);
    effect->SetBlendFunc(Demo::Effect::BF_SRC_ALPHA, Demo::Effect::BF_ONE,
                         Demo::Effect::BF_ONE_MINUS_SRC_ALPHA, Demo::Effect::BF_ZERO);
    const GenericState* blendSwitch = static_cast<GenericState*>(pass->pass.states[3]);
    const BlendState* blend = static_cast<BlendState*>(pass->pass.states[4]);
    EXPECT_TRUE(blendSwitch->enabled);
    EXPECT_EQ(blend->srcRGB, unsigned(BlendState::BF_SRC_ALPHA));
}

TEST_F(DemoObjects, PassDrawsIntoTargetOrScreen) {
    Demo::Target* target = Demo::Target::New();
    Demo::Pass* toTarget = Demo::Pass::New(Demo::Scene::CreateFS(), NewEffect(), target);
    Demo::Pass* toScreen = Demo::Pass::New(Demo::Scene::CreateFS(), NewEffect(),
                                           Demo::Target::Screen());
    EXPECT_EQ(toTarget->pass.frameBuffer, &target->frameBuffer);
    EXPECT_EQ(toScreen->pass.frameBuffer, nullptr);
    EXPECT_EQ(toScreen->target, nullptr);
}

TEST_F(DemoObjects, TargetStateAnimationChoosesScreenOrTarget) {
    Demo::Target* target = Demo::Target::New();
    Demo::Pass* pass = Demo::Pass::New(Demo::Scene::CreateFS(), NewEffect(), target);
    Demo::Animation* choice = StepAnimation({{0.0f, 0.0f},
                                             {100.0f, 1.0f},
                                             {200.0f, -1.0f},
                                             {300.0f, 0.49f},
                                             {400.0f, -0.5f},
                                             {500.0f, 0.5f},
                                             {600.0f, -0.51f},
                                             {700.0f, NAN}});
    pass->BindTargetState(choice);
    EXPECT_EQ(pass->targetState, &choice->animation);
    const FrameBuffer* fb = &target->frameBuffer;
    const std::vector<std::pair<float, const FrameBuffer*>> expected = {
        {50.0f, nullptr}, {150.0f, fb}, {250.0f, fb}, {350.0f, nullptr},
        {450.0f, nullptr}, {550.0f, fb}, {650.0f, fb}, {750.0f, fb}};
    for (const auto& step : expected) {
        pass->Update(step.first);
        EXPECT_EQ(pass->pass.frameBuffer, step.second) << "at " << step.first;
    }
}

TEST_F(DemoObjects, TargetStateOfPassWithoutTargetAlwaysMeansScreen) {
    Demo::Pass* pass = Demo::Pass::New(Demo::Scene::CreateFS(), NewEffect());
    pass->BindTargetState(StepAnimation({{0.0f, 1.0f}}));
    pass->Update(10.0f);
    EXPECT_EQ(pass->pass.frameBuffer, nullptr);
}

TEST_F(DemoObjects, EnableAnimationSwitchesEnginePass) {
    Demo::Pass* pass = Demo::Pass::New(Demo::Scene::CreateFS(), NewEffect());
    Demo::Animation* enable =
        Demo::Animation::New(Demo::Animation::IM_STEP, Demo::Animation::RM_CONSTANT);
    enable->AddKey(0.0f, false);
    enable->AddKey(1000.0f, true);
    enable->SetDuration(5000.0f);
    pass->BindState(enable);
    EXPECT_EQ(pass->pass.bindings[::Actor::P_Enable], &enable->animation);
    Demo::Part* part = Demo::Part::New(5000.0f);
    part->AddPass(pass);
    SceneManager manager;
    std::vector<bool> seen;
    for (float t : {0.0f, 500.0f, 999.0f, 1000.0f, 3000.0f}) {
        part->Update(t);
        manager.Update(&part->technique, t);
        seen.push_back(pass->pass.enabled);
    }
    EXPECT_EQ(seen, (std::vector<bool>{false, false, false, true, true}));
}

TEST_F(DemoObjects, PassSetSizeFollowsOutputAspectNotTargetSize) {
    Camera* camera = nullptr;
    Demo::Scene* scene = Demo::Scene::New(NewLoadedScene(&camera));
    Demo::Target* target = Demo::Target::New(0.25f);
    Demo::Pass* pass = Demo::Pass::New(scene, NewEffect(), target);
    pass->SetSize(1024, 768);
    EXPECT_EQ(camera->aspect, 1.3333334f);
    EXPECT_EQ(camera->fov, 60.0f);
    EXPECT_EQ(camera->near, 0.5f);
    EXPECT_EQ(camera->far, 50.0f);
    Mat4 expected;
    expected.LoadPerspective(60.0f, 1024.0f / 768.0f, 0.5f, 50.0f);
    EXPECT_EQ(camera->projection, expected);
    EXPECT_EQ(target->width, 256u);
    EXPECT_EQ(target->height, 192u);
}

TEST_F(DemoObjects, PassSetSizeLeavesFullScreenCameraOrthographic) {
    Demo::Scene* scene = Demo::Scene::CreateFS();
    Demo::Pass* pass = Demo::Pass::New(scene, NewEffect());
    Camera* camera = pass->pass.cameraNode->camera;
    Mat4 before = camera->projection;
    pass->SetSize(1024, 768);
    EXPECT_EQ(camera->projection, before);
}

TEST_F(DemoObjects, PassAddedAfterSizingKeepsItsCameraAndTarget) {
    Camera* camera = nullptr;
    Demo::Scene* scene = Demo::Scene::New(NewLoadedScene(&camera));
    Demo::Part* part = Demo::Part::New(1000.0f);
    part->SetSize(1920, 1080);
    Demo::Target* target = Demo::Target::New(0.5f);
    part->AddPass(Demo::Pass::New(scene, NewEffect(), target));
    EXPECT_EQ(camera->aspect, 4.0f / 3.0f);
    EXPECT_EQ(target->width, 400u);
    EXPECT_EQ(target->height, 300u);
}

TEST_F(DemoObjects, PassOverNilSceneExistsWithDefaultsAndNoRoot) {
    Demo::Effect* effect = NewEffect();
    Demo::Target* target = Demo::Target::New();
    Demo::Pass* pass = nullptr;
    EXPECT_EQ(StdoutOf([&] { pass = Demo::Pass::New(nullptr, effect, target); }),
              "Demo::Pass::Pass(): no scene\n");
    ASSERT_NE(pass, nullptr);
    EXPECT_EQ(pass->pass.scene, nullptr);
    EXPECT_EQ(pass->pass.cameraNode, nullptr);
    EXPECT_TRUE(pass->pass.clearColorEnabled);
    EXPECT_TRUE(pass->pass.clearDepthEnabled);
    EXPECT_EQ(pass->pass.frameBuffer, &target->frameBuffer);
    std::vector<RenderState*> expected = StatesOf(effect->states);
    expected.push_back(&pass->timeState);
    EXPECT_EQ(StatesOf(pass->pass.states), expected);
    pass->SetSize(640, 480);
    pass->Update(20.0f);
    EXPECT_EQ(target->width, 640u);
    EXPECT_EQ(UniformFloat(&pass->timeUniform), 20.0f);
}

TEST_F(DemoObjects, PassOverSceneWithoutEnginePassWarnsAndHasNoRoot) {
    Demo::Scene* scene = Demo::Scene::New(new ::Scene());
    Demo::Pass* pass = nullptr;
    EXPECT_EQ(StdoutOf([&] { pass = Demo::Pass::New(scene, NewEffect()); }),
              "Demo::Pass::Pass(): Warning: scene has no pass\n");
    EXPECT_EQ(pass->pass.scene, nullptr);
    EXPECT_EQ(pass->pass.states.Size(), 3u + 1u);
    pass->SetSize(800, 600);
}

TEST_F(DemoObjects, PassWithNilEffectHasSceneStatesAndTimeOnly) {
    Demo::Scene* scene = Demo::Scene::CreateFS();
    Demo::Pass* pass = nullptr;
    EXPECT_EQ(StdoutOf([&] { pass = Demo::Pass::New(scene, nullptr); }),
              "Demo::Pass::Pass(): no effect\n");
    std::vector<RenderState*> expected = {scene->depthTest, scene->cullFace, &pass->timeState};
    EXPECT_EQ(StatesOf(pass->pass.states), expected);
    pass->Update(5.0f);
}

TEST_F(DemoObjects, PassNilAnimationsAreReportedAndKeepBindings) {
    Demo::Target* target = Demo::Target::New();
    Demo::Pass* pass = Demo::Pass::New(Demo::Scene::CreateFS(), NewEffect(), target);
    Demo::Animation* enable = StepAnimation({{0.0f, 1.0f}});
    Demo::Animation* choice = StepAnimation({{0.0f, 1.0f}});
    pass->BindState(enable);
    pass->BindTargetState(choice);
    EXPECT_EQ(StdoutOf([&] { pass->BindState(nullptr); }),
              "Demo::Pass::BindState(): no animation\n");
    EXPECT_EQ(StdoutOf([&] { pass->BindTargetState(nullptr); }),
              "Demo::Pass::BindTargetState(): no animation\n");
    EXPECT_EQ(pass->pass.bindings[::Actor::P_Enable], &enable->animation);
    EXPECT_EQ(pass->targetState, &choice->animation);
    pass->Update(1.0f);
    EXPECT_EQ(pass->pass.frameBuffer, &target->frameBuffer);
}

TEST_F(DemoObjects, PassColorClearSwitch) {
    Demo::Pass* pass = Demo::Pass::New(Demo::Scene::CreateFS(), NewEffect());
    pass->SetColorClearEnabled(false);
    EXPECT_FALSE(pass->pass.clearColorEnabled);
    pass->SetColorClearEnabled(true);
    EXPECT_TRUE(pass->pass.clearColorEnabled);
}

// ---------------------------------------------------------------- effects

TEST_F(DemoObjects, FreshEffectHasProgramBlendSwitchAndFactors) {
    Demo::Effect* effect = NewEffect();
    ASSERT_EQ(effect->states.Size(), 3u);
    ASSERT_EQ(effect->resources.Size(), 1u);
    const ProgramState* program = dynamic_cast<ProgramState*>(effect->states[0]);
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(program->program, effect->resources[0]);
    EXPECT_STREQ(program->program->vertexSource, platform.files[kVertexUrl].c_str());
    EXPECT_STREQ(program->program->fragmentSource, platform.files[kFragmentUrl].c_str());
    EXPECT_EQ(effect->states[1], effect->blendSwitch);
    EXPECT_EQ(effect->blendSwitch->capability, unsigned(GenericState::GS_Blend));
    EXPECT_FALSE(effect->blendSwitch->enabled);
    EXPECT_EQ(effect->states[2], effect->blend);
    EXPECT_EQ(effect->blend->srcRGB, unsigned(BlendState::BF_ONE));
    EXPECT_EQ(effect->blend->dstRGB, unsigned(BlendState::BF_ONE));
    EXPECT_EQ(effect->blend->srcAlpha, unsigned(BlendState::BF_ZERO));
    EXPECT_EQ(effect->blend->dstAlpha, unsigned(BlendState::BF_ZERO));
    EXPECT_EQ(effect->blend->equationRGB, unsigned(BlendState::BE_ADD));
    EXPECT_EQ(effect->blend->equationAlpha, unsigned(BlendState::BE_ADD));
    EXPECT_EQ(effect->blend->color, Vec4::ZERO);
    EXPECT_EQ(effect->sourceCount, 0u);
    // The program is a resource registered for GPU creation at start.
    EXPECT_GE(gl.manager.resources.Find(effect->resources[0]), 0);
}

TEST_F(DemoObjects, ReadFileKeepsEveryByteAndAddsZero) {
    const std::string bytes("ab\0c\xff\n", 6);
    platform.files["resource://bin"] = bytes;
    char* text = Demo::Effect::ReadFile("resource://bin");
    EXPECT_EQ(memcmp(text, bytes.data(), 6), 0);
    EXPECT_EQ(text[6], 0);
    delete[] text;
}

TEST_F(DemoObjects, ReadFileOfUnknownUrlGivesEmptyText) {
    char* text = nullptr;
    EXPECT_EQ(StdoutOf([&] { text = Demo::Effect::ReadFile("resource://missing.vert"); }),
              "Demo::Effect::ReadFile(): cannot open resource://missing.vert\n");
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "");
    delete[] text;
    platform.files["resource://empty"] = "";
    text = Demo::Effect::ReadFile("resource://empty");
    EXPECT_STREQ(text, "");
    delete[] text;
}

TEST_F(DemoObjects, EffectWithMissingShaderHasEmptySource) {
    Demo::Effect* effect = nullptr;
    std::string out = StdoutOf(
        [&] { effect = Demo::Effect::New("resource://none.vert", kFragmentUrl); });
    EXPECT_EQ(out, "Demo::Effect::ReadFile(): cannot open resource://none.vert\n");
    EXPECT_STREQ(effect->vertexSource, "");
    EXPECT_EQ(effect->states.Size(), 3u);
}

TEST_F(DemoObjects, SourcesAndParameterFollowInCallOrder) {
    Demo::Effect* effect = NewEffect();
    Demo::Image* image = NewImage(64, 32);
    Demo::Target* target = Demo::Target::New();
    effect->AddSource(image);
    effect->AddSource(target);
    effect->SetParam("amount", 0.5f);
    ASSERT_EQ(effect->states.Size(), 8u);
    const Texture* textures[2] = {image->texture, &target->texture};
    for (unsigned int unit = 0; unit < 2; ++unit) {
        RenderState* textureState = effect->states[3 + 2 * unit];
        RenderState* samplerState = effect->states[4 + 2 * unit];
        ASSERT_EQ(textureState->GetRenderStateBaseType(), RenderState::RST_Texture);
        ASSERT_EQ(samplerState->GetRenderStateBaseType(), RenderState::RST_TextureSampler);
        const TextureState* texture = static_cast<TextureState*>(textureState);
        const TextureSamplerState* sampler = static_cast<TextureSamplerState*>(samplerState);
        EXPECT_EQ(texture->texture, textures[unit]);
        EXPECT_EQ(texture->unit, unit);
        EXPECT_EQ(sampler->texture, textures[unit]);
        EXPECT_EQ(sampler->unit, unit);
        EXPECT_EQ(sampler->wrapS, 2u);
        EXPECT_EQ(sampler->wrapT, 2u);
        EXPECT_EQ(sampler->wrapR, 0u);
        EXPECT_EQ(sampler->magFilter, 1u);
        EXPECT_EQ(sampler->minFilter, 1u);
        EXPECT_EQ(sampler->mipmapFilter, 1u);
    }
    const UniformState* param = dynamic_cast<UniformState*>(effect->states[7]);
    ASSERT_NE(param, nullptr);
    EXPECT_STREQ(param->uniform->name, "amount");
    EXPECT_EQ(param->uniform->elementType, unsigned(Uniform::ET_Float));
    EXPECT_EQ(UniformFloat(param->uniform), 0.5f);
    EXPECT_EQ(effect->resources.Last(), param->uniform);
    EXPECT_EQ(effect->sourceCount, 2u);
}

TEST_F(DemoObjects, SetParamTwiceAddsSecondUniformOfSameName) {
    Demo::Effect* effect = NewEffect();
    effect->SetParam("offset", 1.0f, 2.0f, 3.0f);
    effect->SetParam("offset", 4.0f, 5.0f, 6.0f);
    effect->SetParam("size", 7.0f, 8.0f);
    effect->SetParam("tint", 0.1f, 0.2f, 0.3f, 0.4f);
    ASSERT_EQ(effect->states.Size(), 7u);
    const float expected[4][4] = {{1, 2, 3}, {4, 5, 6}, {7, 8}, {0.1f, 0.2f, 0.3f, 0.4f}};
    const char* names[4] = {"offset", "offset", "size", "tint"};
    const unsigned int types[4] = {Uniform::ET_Vec3, Uniform::ET_Vec3, Uniform::ET_Vec2,
                                   Uniform::ET_Vec4};
    for (unsigned int k = 0; k < 4; ++k) {
        const Uniform* uniform = static_cast<UniformState*>(effect->states[3 + k])->uniform;
        EXPECT_STREQ(uniform->name, names[k]);
        EXPECT_EQ(uniform->elementType, types[k]);
        EXPECT_EQ(uniform->count, 1u);
        for (unsigned int c = 0; c < Uniform::ComponentCount(types[k]); ++c)
            EXPECT_EQ(UniformFloat(uniform, c), expected[k][c]);
    }
}

TEST_F(DemoObjects, ParameterNameIsCopied) {
    Demo::Effect* effect = NewEffect();
    char name[] = "glow";
    effect->SetParam(name, 2.0f);
    strcpy(name, "zzzz");
    EXPECT_STREQ(static_cast<UniformState*>(effect->states[3])->uniform->name, "glow");
}

TEST_F(DemoObjects, BindParamFollowsAnimation) {
    Demo::Effect* effect = NewEffect();
    Demo::Animation* animation =
        Demo::Animation::New(Demo::Animation::IM_LINEAR, Demo::Animation::RM_CONSTANT, 3);
    animation->AddKey(0.0f, 0.0f, 0.0f, 0.0f);
    animation->AddKey(100.0f, 10.0f, 20.0f, 30.0f);
    animation->SetDuration(100.0f);
    effect->BindParam("color", animation);
    UniformState* state = static_cast<UniformState*>(effect->states[3]);
    EXPECT_STREQ(state->uniform->name, "color");
    EXPECT_EQ(state->uniform->bindings[::Actor::P_Value], &animation->animation);
    EXPECT_EQ(state->uniform->elementType, unsigned(Uniform::ET_Vec3));
    state->Update(50.0f);
    EXPECT_FLOAT_EQ(UniformFloat(state->uniform, 0), 5.0f);
    EXPECT_FLOAT_EQ(UniformFloat(state->uniform, 2), 15.0f);
}

TEST_F(DemoObjects, BlendFunctionArgumentOrderAndEquations) {
    Demo::Effect* effect = NewEffect();
    effect->SetBlendFunc(Demo::Effect::BF_SRC_ALPHA, Demo::Effect::BF_ONE,
                         Demo::Effect::BF_ONE_MINUS_SRC_ALPHA, Demo::Effect::BF_ZERO);
    EXPECT_EQ(effect->blend->srcRGB, unsigned(BlendState::BF_SRC_ALPHA));
    EXPECT_EQ(effect->blend->srcAlpha, unsigned(BlendState::BF_ONE));
    EXPECT_EQ(effect->blend->dstRGB, unsigned(BlendState::BF_ONE_MINUS_SRC_ALPHA));
    EXPECT_EQ(effect->blend->dstAlpha, unsigned(BlendState::BF_ZERO));
    effect->SetBlendEquation(Demo::Effect::BE_REV_SUBTRACT, Demo::Effect::BE_MAX);
    EXPECT_EQ(effect->blend->equationRGB, unsigned(BlendState::BE_REV_SUBTRACT));
    EXPECT_EQ(effect->blend->equationAlpha, unsigned(BlendState::BE_MAX));
    effect->SetBlendEnabled(true);
    EXPECT_TRUE(effect->blendSwitch->enabled);
    for (unsigned int i = 0; i < 15; ++i) EXPECT_EQ(Demo::Effect::sc_blendFuncTab[i], i);
    for (unsigned int i = 0; i < 5; ++i) EXPECT_EQ(Demo::Effect::sc_blendEquTab[i], i);
}

TEST_F(DemoObjects, UnknownBlendCodesAreReportedAndIgnored) {
    Demo::Effect* effect = NewEffect();
    EXPECT_EQ(StdoutOf([&] {
                  effect->SetBlendFunc(Demo::Effect::BlendFunction(15), Demo::Effect::BF_ONE,
                                       Demo::Effect::BF_ONE, Demo::Effect::BF_ONE);
              }),
              "Demo::Effect::SetBlendFunc(): unknown blend function, ignored\n");
    EXPECT_EQ(StdoutOf([&] {
                  effect->SetBlendEquation(Demo::Effect::BE_ADD, Demo::Effect::BlendEquation(-1));
              }),
              "Demo::Effect::SetBlendEquation(): unknown blend equation, ignored\n");
    EXPECT_EQ(effect->blend->srcAlpha, unsigned(BlendState::BF_ZERO));
    EXPECT_EQ(effect->blend->equationRGB, unsigned(BlendState::BE_ADD));
}

TEST_F(DemoObjects, NilSourcesAndAnimationAddNothing) {
    Demo::Effect* effect = NewEffect();
    EXPECT_EQ(StdoutOf([&] { effect->AddSource(static_cast<Demo::Image*>(nullptr)); }),
              "Demo::Effect::AddSource(): no image\n");
    EXPECT_EQ(StdoutOf([&] { effect->AddSource(static_cast<Demo::Target*>(nullptr)); }),
              "Demo::Effect::AddSource(): no target\n");
    EXPECT_EQ(StdoutOf([&] { effect->BindParam("x", nullptr); }),
              "Demo::Effect::BindParam(): no animation\n");
    EXPECT_EQ(effect->states.Size(), 3u);
    EXPECT_EQ(effect->resources.Size(), 1u);
    EXPECT_EQ(effect->sourceCount, 0u);
}

TEST_F(DemoObjects, ImageWithoutTextureUsesUpItsUnit) {
    Demo::Effect* effect = NewEffect();
    Demo::Image* broken = new Demo::Image(nullptr);
    engine->Register(broken);
    Demo::Target* target = Demo::Target::New();
    EXPECT_EQ(StdoutOf([&] { effect->AddSource(broken); }),
              "Demo::Effect::AddSource(): no texture, unit 0 left empty\n");
    effect->AddSource(target);
    ASSERT_EQ(effect->states.Size(), 5u);
    EXPECT_EQ(static_cast<TextureState*>(effect->states[3])->unit, 1u);
    EXPECT_EQ(static_cast<TextureState*>(effect->states[4])->unit, 1u);
    EXPECT_EQ(static_cast<TextureState*>(effect->states[3])->texture, &target->texture);
    EXPECT_EQ(effect->sourceCount, 2u);
}

TEST_F(DemoObjects, NinthSourceIsRefused) {
    Demo::Effect* effect = NewEffect();
    Demo::Target* target = Demo::Target::New();
    for (int i = 0; i < 8; ++i) effect->AddSource(target);
    EXPECT_EQ(StdoutOf([&] { effect->AddSource(target); }),
              "Demo::Effect::AddSource(): no texture unit left for a ninth source, refused\n");
    EXPECT_EQ(effect->states.Size(), 3u + 16u);
    EXPECT_EQ(effect->sourceCount, 8u);
    EXPECT_EQ(static_cast<TextureState*>(effect->states.Last())->unit, 7u);
}

// ---------------------------------------------------------------- targets and images

TEST_F(DemoObjects, TargetSizeRule) {
    struct Case {
        unsigned int w, h;
        float scale;
        unsigned int width, height;
    };
    const Case cases[] = {{800, 600, 1.0f, 800, 600},  {800, 600, 0.5f, 400, 300},
                          {800, 600, 0.3f, 240, 180},  {801, 601, 0.5f, 400, 300},
                          {800, 600, 2.0f, 1600, 1200}, {800, 600, 0.001f, 0, 0},
                          {800, 600, -1.0f, 0, 0}};
    for (const Case& c : cases) {
        engine->width = c.w;
        engine->height = c.h;
        Demo::Target* target = Demo::Target::New(c.scale);
        EXPECT_EQ(target->width, c.width) << c.scale;
        EXPECT_EQ(target->height, c.height) << c.scale;
        EXPECT_EQ(target->texture.width, c.width);
        EXPECT_EQ(target->depthBuffer.height, c.height);
        target->SetSize(c.w, c.h);
        EXPECT_EQ(target->width, c.width);
        EXPECT_EQ(target->height, c.height);
    }
}

TEST_F(DemoObjects, TargetScaleOfExactlyOneSkipsFloatRounding) {
    // 2^24 + 1 has no float representation: any multiplication would round it.
    engine->width = 16777217;
    engine->height = 3;
    Demo::Target* exact = Demo::Target::New();
    EXPECT_EQ(exact->width, 16777217u);
    EXPECT_EQ(exact->scale, 1.0f);
    Demo::Target* scaled = Demo::Target::New(0.99999994f);
    EXPECT_NE(scaled->width, 16777217u);
}

TEST_F(DemoObjects, TargetBuildsColourTextureAndDepthBuffer) {
    Demo::Target* target = Demo::Target::New(0.5f);
    EXPECT_EQ(target->texture.format, unsigned(Texture::TF_RGBA8));
    EXPECT_FALSE(target->texture.mipmapped);
    EXPECT_EQ(target->texture.pixels, nullptr);
    EXPECT_EQ(target->depthBuffer.format, unsigned(RenderBuffer::RBF_Depth16));
    EXPECT_EQ(target->frameBuffer.attachments[FrameBuffer::A_Color0],
              static_cast<RenderTarget*>(&target->texture));
    EXPECT_EQ(target->frameBuffer.attachments[FrameBuffer::A_Depth],
              static_cast<RenderTarget*>(&target->depthBuffer));
    for (unsigned int i = 1; i < FrameBuffer::kAttachmentCount; ++i) {
        if (i == FrameBuffer::A_Depth) continue;
        EXPECT_EQ(target->frameBuffer.attachments[i], nullptr);
    }
    EXPECT_GE(gl.manager.resources.Find(&target->frameBuffer), 0);
    EXPECT_GE(gl.manager.resources.Find(&target->texture), 0);
    EXPECT_GE(gl.manager.resources.Find(&target->depthBuffer), 0);
    EXPECT_EQ(Demo::Target::Screen(), nullptr);
}

// Targets whose GPU objects are made by a manager that logs the order.
class TargetGpu : public ::testing::Test {
protected:
    void SetUp() override {
        engine = Demo::Engine::GetEngine();
        engine->width = 800;
        engine->height = 600;
    }
    void TearDown() override { delete Demo::Engine::instance; }

    testsupport::SequenceEngine gl;
    Demo::Engine* engine = nullptr;
};

TEST_F(TargetGpu, ResizeBeforeStartOnlyChangesSizes) {
    Demo::Target* target = Demo::Target::New(0.25f);
    target->SetSize(1024, 768);
    EXPECT_EQ(target->width, 256u);
    EXPECT_EQ(target->height, 192u);
    EXPECT_EQ(target->texture.width, 256u);
    EXPECT_EQ(target->depthBuffer.height, 192u);
    EXPECT_TRUE(gl.manager.sequence.empty());
}

TEST_F(TargetGpu, ResizeAfterStartRebuildsDepthTextureFramebufferInOrder) {
    Demo::Target* target = Demo::Target::New(0.25f);
    gl.manager.InitAll();
    gl.manager.sequence.clear();
    target->SetSize(1024, 768);
    std::vector<std::string> expected = {"Deinit RenderBuffer", "Init RenderBuffer",
                                         "Deinit Texture",      "Init Texture",
                                         "Deinit FrameBuffer",  "Init FrameBuffer"};
    EXPECT_EQ(gl.manager.sequence, expected);
    EXPECT_EQ(target->width, 256u);
    EXPECT_EQ(target->depthBuffer.width, 256u);
    EXPECT_EQ(target->texture.height, 192u);
}

TEST_F(TargetGpu, ResizeRebuildsOnlyGpuObjectsThatExist) {
    Demo::Target* target = Demo::Target::New();
    target->texture.Init();
    target->frameBuffer.Init();
    // The depth buffer has an initializer that is not initialised.
    target->depthBuffer.Init();
    target->depthBuffer.initializer->Deinit();
    gl.manager.sequence.clear();
    target->SetSize(640, 480);
    std::vector<std::string> expected = {"Deinit Texture", "Init Texture", "Deinit FrameBuffer",
                                         "Init FrameBuffer"};
    EXPECT_EQ(gl.manager.sequence, expected);
}

TEST_F(DemoObjects, ImageReportsSizeOfItsTexture) {
    Demo::Image* image = NewImage(256, 128);
    EXPECT_EQ(image->GetWidth(), 256u);
    EXPECT_EQ(image->GetHeight(), 128u);
    Demo::Image empty(nullptr);
    EXPECT_EQ(empty.GetWidth(), 0u);
    EXPECT_EQ(empty.GetHeight(), 0u);
    Demo::Image cube(new TextureCube());
    EXPECT_EQ(cube.GetWidth(), 0u);
    EXPECT_EQ(cube.GetHeight(), 0u);
}

// ---------------------------------------------------------------- nodes

TEST_F(DemoObjects, NodePlacementMarksDirty) {
    SceneNode node;
    Demo::Node* handle = Demo::Node::New(&node);
    node.dirty = false;
    handle->SetLocation(1.0f, 2.0f, 3.0f);
    EXPECT_EQ(node.transform.translation, Vec3(1.0f, 2.0f, 3.0f));
    EXPECT_TRUE(node.dirty);
    node.dirty = false;
    handle->SetScale(2.0f, 3.0f, 4.0f);
    EXPECT_EQ(node.transform.scale, Vec3(2.0f, 3.0f, 4.0f));
    EXPECT_TRUE(node.dirty);
    node.dirty = false;
    handle->SetRotation(90.0f, 0.0f, 0.0f, 2.0f);
    EXPECT_TRUE(node.dirty);
    const float h = std::sqrt(0.5f);
    EXPECT_NEAR(node.transform.rotation.x, 0.0f, 1e-6f);
    EXPECT_NEAR(node.transform.rotation.z, h, 1e-6f);
    EXPECT_NEAR(node.transform.rotation.w, h, 1e-6f);
    // The matrix turns +X into +Y.
    Vec3 turned = node.transform.rotationMatrix * Vec3(1.0f, 0.0f, 0.0f);
    EXPECT_NEAR(turned.x, 0.0f, 1e-6f);
    EXPECT_NEAR(turned.y, 1.0f, 1e-6f);
    handle->SetRotation(180.0f, 1.0f, 0.0f, 0.0f);
    EXPECT_NEAR(node.transform.rotation.x, 1.0f, 1e-6f);
    EXPECT_NEAR(node.transform.rotation.w, 0.0f, 1e-6f);
}

TEST_F(DemoObjects, NodeBindingsAttachAndEffect) {
    SceneNode parent, child;
    Demo::Node* a = Demo::Node::New(&parent);
    Demo::Node* b = Demo::Node::New(&child);
    Demo::Animation* rotation =
        Demo::Animation::New(Demo::Animation::IM_SLERP, Demo::Animation::RM_LOOP, 4);
    Demo::Animation* scale =
        Demo::Animation::New(Demo::Animation::IM_LINEAR, Demo::Animation::RM_LOOP, 3);
    Demo::Animation* location =
        Demo::Animation::New(Demo::Animation::IM_SPLINE, Demo::Animation::RM_LOOP, 3);
    a->BindRotation(rotation);
    a->BindScale(scale);
    a->BindLocation(location);
    EXPECT_EQ(parent.bindings[::Actor::P_Rotation], &rotation->animation);
    EXPECT_EQ(parent.bindings[::Actor::P_Scale], &scale->animation);
    EXPECT_EQ(parent.bindings[::Actor::P_Location], &location->animation);
    a->Attach(b);
    ASSERT_EQ(parent.children.Size(), 1u);
    EXPECT_EQ(parent.children[0], &child);
    EXPECT_EQ(child.parent, &parent);
    Demo::Effect* effect = NewEffect();
    effect->SetParam("a", 1.0f);
    a->SetEffect(effect);
    effect->SetParam("b", 2.0f);
    EXPECT_EQ(StatesOf(parent.states),
              std::vector<RenderState*>(effect->states.begin(), effect->states.begin() + 4));
}

TEST_F(DemoObjects, NodeNilArgumentsAreReportedAndChangeNothing) {
    SceneNode node;
    Demo::Node* handle = Demo::Node::New(&node);
    Demo::Animation* kept =
        Demo::Animation::New(Demo::Animation::IM_LINEAR, Demo::Animation::RM_CONSTANT, 3);
    handle->BindLocation(kept);
    std::string out = StdoutOf([&] {
        handle->Attach(nullptr);
        handle->SetEffect(nullptr);
        handle->BindRotation(nullptr);
        handle->BindScale(nullptr);
        handle->BindLocation(nullptr);
    });
    EXPECT_EQ(out,
              "Demo::Node::Attach(): no node\n"
              "Demo::Node::SetEffect(): no effect\n"
              "Demo::Node::BindRotation(): no animation\n"
              "Demo::Node::BindScale(): no animation\n"
              "Demo::Node::BindLocation(): no animation\n");
    EXPECT_EQ(node.children.Size(), 0u);
    EXPECT_EQ(node.states.Size(), 0u);
    EXPECT_EQ(node.bindings[::Actor::P_Location], &kept->animation);
    EXPECT_EQ(node.bindings[::Actor::P_Rotation], nullptr);
}

TEST_F(DemoObjects, HandleOverNoSceneNodeReportsEachUse) {
    Demo::Node* handle = Demo::Node::New(nullptr);
    SceneNode other;
    Demo::Node* child = Demo::Node::New(&other);
    std::string out = StdoutOf([&] {
        handle->SetLocation(1, 2, 3);
        handle->SetRotation(1, 0, 0, 1);
        handle->SetScale(1, 1, 1);
        handle->Attach(child);
        child->Attach(handle);
    });
    EXPECT_EQ(out,
              "Demo::Node::SetLocation(): no scene node\n"
              "Demo::Node::SetRotation(): no scene node\n"
              "Demo::Node::SetScale(): no scene node\n"
              "Demo::Node::Attach(): no scene node\n"
              "Demo::Node::Attach(): no scene node\n");
    EXPECT_EQ(other.children.Size(), 0u);
}

TEST_F(DemoObjects, EveryNodeCallMakesAnIndependentHandle) {
    Demo::Scene* scene = Demo::Scene::CreateFS();
    unsigned int before = Registered();
    Demo::Node* a = scene->GetRoot();
    Demo::Node* b = scene->GetRoot();
    EXPECT_NE(a, b);
    EXPECT_EQ(a->node, b->node);
    EXPECT_EQ(Registered(), before + 2);
}

// ---------------------------------------------------------------- script animations

TEST_F(DemoObjects, AnimationWithOneComponentKeepsKeys) {
    Demo::Animation* animation =
        Demo::Animation::New(Demo::Animation::IM_LINEAR, Demo::Animation::RM_CONSTANT);
    EXPECT_EQ(animation->components, 1u);
    EXPECT_EQ(animation->sequence, animation->animation.sequence);
    EXPECT_EQ(animation->sequence->componentCount, 1u);
    animation->AddKey(0.0f, 5.0f);
    animation->AddKey(1000.0f, 7.0f);
    ASSERT_EQ(animation->sequence->keys.Size(), 2u);
    EXPECT_EQ(animation->sequence->keys[0].time, 0.0f);
    EXPECT_EQ(animation->sequence->keys[0].values[0], 5.0f);
    EXPECT_EQ(animation->sequence->keys[1].time, 1000.0f);
    EXPECT_EQ(animation->sequence->keys[1].values[0], 7.0f);
    animation->SetDuration(1000.0f);
    float v = -1.0f;
    animation->animation.GetChannelValues(500.0f, &v, 0, 0, 0);
    EXPECT_FLOAT_EQ(v, 6.0f);
}

TEST_F(DemoObjects, AnimationBooleanKeys) {
    Demo::Animation* animation =
        Demo::Animation::New(Demo::Animation::IM_STEP, Demo::Animation::RM_CONSTANT);
    animation->AddKey(500.0f, true);
    animation->AddKey(600.0f, false);
    EXPECT_EQ(animation->sequence->keys[0].values[0], 1.0f);
    EXPECT_EQ(animation->sequence->keys[1].values[0], 0.0f);
}

TEST_F(DemoObjects, AnimationExtraValuesDroppedMissingOnesZero) {
    Demo::Animation* animation =
        Demo::Animation::New(Demo::Animation::IM_LINEAR, Demo::Animation::RM_CONSTANT, 3);
    animation->AddKey(0.0f, 1.0f, 2.0f, 3.0f, 4.0f);
    animation->AddKey(10.0f, 9.0f);
    animation->AddKey(20.0f, nullptr, 3);
    const float expected[3][3] = {{1, 2, 3}, {9, 0, 0}, {0, 0, 0}};
    for (unsigned int k = 0; k < 3; ++k)
        for (unsigned int c = 0; c < 3; ++c)
            EXPECT_EQ(animation->sequence->keys[k].values[c], expected[k][c]);
}

TEST_F(DemoObjects, AnimationKeysStayInCallOrder) {
    Demo::Animation* animation =
        Demo::Animation::New(Demo::Animation::IM_LINEAR, Demo::Animation::RM_CONSTANT, 2);
    animation->AddKey(1000.0f, 1.0f, 1.0f);
    animation->AddKey(0.0f, 2.0f, 2.0f);
    EXPECT_EQ(animation->sequence->keys[0].time, 1000.0f);
    EXPECT_EQ(animation->sequence->keys[1].time, 0.0f);
}

TEST_F(DemoObjects, AnimationModesAndDuration) {
    for (unsigned int mode = 0; mode < 5; ++mode) {
        EXPECT_EQ(Demo::Animation::sc_interpTab[mode], mode);
        Demo::Animation* animation = Demo::Animation::New(
            Demo::Animation::InterpolationMode(mode), Demo::Animation::RM_LOOP, 4);
        EXPECT_EQ(animation->animation.interpolation, mode);
        EXPECT_EQ(animation->animation.repeatMode, unsigned(::Animation::RM_LOOP));
    }
    EXPECT_EQ(Demo::Animation::sc_repeatTab[0], 0u);
    EXPECT_EQ(Demo::Animation::sc_repeatTab[1], 1u);
    Demo::Animation* animation =
        Demo::Animation::New(Demo::Animation::IM_LINEAR, Demo::Animation::RM_LOOP);
    animation->SetDuration(2500.0f);
    EXPECT_EQ(animation->sequence->duration, 2500.0f);
}

TEST_F(DemoObjects, AnimationUnknownModesAndHugeCountAreReported) {
    Demo::Animation* animation = nullptr;
    std::string out = StdoutOf([&] {
        animation = Demo::Animation::New(Demo::Animation::InterpolationMode(7),
                                         Demo::Animation::RepeatMode(5), 4000000000u);
    });
    EXPECT_EQ(out,
              "Demo::Animation::Animation(): unknown interpolation 7, using IM_LINEAR\n"
              "Demo::Animation::Animation(): unknown repeat mode 5, using RM_CONSTANT\n"
              "Demo::Animation::Animation(): 4000000000 components, using 4\n");
    EXPECT_EQ(animation->animation.interpolation, unsigned(::Animation::IM_LINEAR));
    EXPECT_EQ(animation->animation.repeatMode, unsigned(::Animation::RM_CONSTANT));
    EXPECT_EQ(animation->components, 4u);
    animation->AddKey(0.0f, 1.0f, 2.0f, 3.0f, 4.0f);
    EXPECT_EQ(animation->sequence->keys[0].values[3], 4.0f);
}

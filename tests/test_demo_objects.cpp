// Parts, demo passes, effects, targets, nodes and script animations: state
// lists, sizes and animated switches (nil arguments: test_script_api).
#include <cmath>
#include <cstring>

#include "demo/Actor.h"
#include "demo/Animation.h"
#include "demo/Effect.h"
#include "demo/Image.h"
#include "demo/Part.h"
#include "demo/Pass.h"
#include "demo/Target.h"
#include "engine/Camera.h"
#include "engine/KeyframeSequence.h"
#include "engine/Program.h"
#include "engine/TextureCube.h"
#include "render/BlendState.h"
#include "render/GenericState.h"
#include "render/ProgramState.h"
#include "render/TextureSamplerState.h"
#include "render/TextureState.h"
#include "support/DemoTestEnv.h"

using testsupport::StdoutOf;
using testsupport::Vec;
using Anim = Demo::Animation;
using BS = BlendState;
using Units = std::vector<unsigned int>;
using States = std::vector<RenderState*>;

namespace {

float Float(const Uniform* u, unsigned int i = 0) { return static_cast<const float*>(u->data)[i]; }

Anim* StepAnimation(std::initializer_list<std::pair<float, float>> keys) {
    Anim* animation = Anim::New(Anim::IM_STEP, Anim::RM_CONSTANT);
    for (const auto& key : keys) animation->AddKey(key.first, key.second);
    animation->SetDuration(10000.0f);  // keys count only up to the duration
    return animation;
}

struct FunctionActor : Demo::Actor {
    explicit FunctionActor(std::function<void(float)> f_) : f(f_) {}
    void Update(float time) override { f(time); }
    std::function<void(float)> f;
};

class DemoObjects : public testsupport::DemoTestEnv {
protected:
    DemoObjects() {
        platform.files["resource://v"] = "void main() { gl_Position = vec4(0.0); }";
        platform.files["resource://f"] = "void main() { gl_FragColor = vec4(1.0); }";
    }
    Demo::Effect* NewEffect() { return Demo::Effect::New("resource://v", "resource://f"); }
    Demo::Pass* NewPass(Demo::Target* target = nullptr) {
        return Demo::Pass::New(Demo::Scene::CreateFS(), NewEffect(), target);
    }
};

}  // namespace

TEST_F(DemoObjects, PartOrdersPassesThenActorsAndSizesEveryPass) {
    Demo::Part* part = Demo::Part::New(3000.0f, 1000.0f);
    Demo::Target* half = Demo::Target::New(0.5f);
    Demo::Pass *p1 = NewPass(half), *p2 = NewPass(), *p3 = NewPass();
    for (Demo::Pass* pass : {p2, p1, p3}) part->AddPass(pass);
    EXPECT_EQ(Vec(part->technique.passes), (std::vector<::Pass*>{&p2->pass, &p1->pass, &p3->pass}));
    EXPECT_EQ(Vec(part->passes), (std::vector<Demo::Pass*>{p2, p1, p3}));
    std::vector<float> log;  // actor, its time, the time uniform of a pass by then
    FunctionActor a([&](float t) { log.insert(log.end(), {1, t, Float(&p3->timeUniform)}); });
    FunctionActor b([&](float t) { log.insert(log.end(), {2, t, Float(&p3->timeUniform)}); });
    part->AttachUpdate(&b);
    part->AttachUpdate(&a);
    part->Update(250.0f);
    EXPECT_EQ(log, (std::vector<float>{2, 250, 250, 1, 250, 250}));
    const Mat4 ortho = p2->pass.cameraNode->camera->projection;
    p3->scene->adjustAspect = true;  // as for a loaded scene: follow the output's aspect ratio
    part->SetSize(1024, 768);
    EXPECT_EQ(Units({half->width, half->height}), Units({512, 384}));
    EXPECT_EQ(p2->pass.cameraNode->camera->projection, ortho);
    EXPECT_EQ(p3->pass.cameraNode->camera->aspect, 1.3333334f);
}

TEST_F(DemoObjects, PassCopiesSceneThenEffectStatesThenTimeAtCreation) {
    Demo::Scene* scene = Demo::Scene::CreateFS();
    Demo::Effect* effect = NewEffect();
    effect->AddSource(Demo::Target::New());
    effect->SetParam("amount", 0.5f);
    Demo::Pass* pass = Demo::Pass::New(scene, effect);
    SceneNode node;
    Demo::Node::New(&node)->SetEffect(effect);  // a node copies the same way
    States expected = {scene->depthTest, scene->cullFace};
    for (RenderState* state : effect->states) expected.push_back(state);
    expected.push_back(&pass->timeState);
    EXPECT_EQ(Vec(pass->pass.states), expected);
    EXPECT_EQ(pass->pass.scene, static_cast<::Pass*>(scene->scene->objects[0])->scene);
    effect->SetParam("late", 1.0f);  // later sources and parameters stay with the effect
    effect->AddSource(Demo::Target::New());
    EXPECT_EQ(Vec(pass->pass.states), expected);
    EXPECT_EQ(Vec(node.states), States(expected.begin() + 2, expected.end() - 1));
    EXPECT_STREQ(pass->timeUniform.name, "Vomra_un_Time");
    pass->Update(1234.5f);
    EXPECT_EQ(Float(&pass->timeUniform), 1234.5f);
}

TEST_F(DemoObjects, PassWarnsOncePerPassOverSceneWithTwoPassesAndUsesTheFirst) {
    ::Scene* engineScene = new ::Scene();
    engineScene->objects.Add(new ::Pass(nullptr, nullptr, nullptr, true, Vec4(1, 0, 0, 1)));
    engineScene->objects.Add(new ::Pass(nullptr, nullptr, nullptr, true, Vec4(0, 1, 0, 1)));
    Demo::Scene* scene = Demo::Scene::New(engineScene);
    Demo::Pass* a = nullptr;
    EXPECT_EQ(StdoutOf([&] {
                  a = Demo::Pass::New(scene, NewEffect());
                  Demo::Pass::New(scene, NewEffect());
              }),
              "Demo::Pass::Pass(): Warning: scene has more than one pass\n"
              "Demo::Pass::Pass(): Warning: scene has more than one pass\n");
    EXPECT_EQ(a->pass.clearColor, Vec4(1, 0, 0, 1));
    // The scene's switches were added to every engine pass.
    for (SceneObject* enginePass : {engineScene->objects[0], engineScene->objects[1]})
        EXPECT_EQ(Vec(static_cast<::Pass*>(enginePass)->states),
                  (States{scene->depthTest, scene->cullFace}));
}

TEST_F(DemoObjects, TargetStateAnimationChoosesScreenOrTarget) {
    Demo::Target* target = Demo::Target::New();
    Demo::Pass* pass = NewPass(target);
    pass->BindTargetState(StepAnimation({{0.0f, 0.0f}, {100.0f, 1.0f}, {200.0f, -1.0f},
                                         {300.0f, 0.49f}, {400.0f, -0.5f}, {500.0f, 0.5f},
                                         {600.0f, -0.51f}, {700.0f, NAN}}));
    const FrameBuffer *t = &target->frameBuffer, *s = nullptr;
    const std::vector<const FrameBuffer*> expected = {s, t, t, s, s, t, t, t};
    for (unsigned int k = 0; k < expected.size(); ++k) {
        pass->Update(50.0f + 100.0f * k);
        EXPECT_EQ(pass->pass.frameBuffer, expected[k]) << "key " << k;
    }
    Demo::Pass* screen = NewPass();
    screen->BindTargetState(StepAnimation({{0.0f, 1.0f}}));
    screen->Update(10.0f);
    EXPECT_EQ(screen->pass.frameBuffer, nullptr);
}

TEST_F(DemoObjects, EffectProgramBlendDefaultsArgumentOrderAndShaderText) {
    Demo::Effect* effect = NewEffect();
    ASSERT_EQ(effect->states.Size(), 3u);
    const ProgramState* program = dynamic_cast<ProgramState*>(effect->states[0]);
    ASSERT_TRUE(program && program->program == effect->resources[0]);
    EXPECT_STREQ(program->program->fragmentSource, "void main() { gl_FragColor = vec4(1.0); }");
    EXPECT_EQ(States(effect->states.begin() + 1, effect->states.end()),
              (States{effect->blendSwitch, effect->blend}));
    EXPECT_FALSE(effect->blendSwitch->enabled);
    const BlendState& b = *effect->blend;
    auto blend = [&] {
        return Units({b.srcRGB, b.srcAlpha, b.dstRGB, b.dstAlpha, b.equationRGB, b.equationAlpha});
    };
    EXPECT_EQ(blend(),
              Units({BS::BF_ONE, BS::BF_ZERO, BS::BF_ONE, BS::BF_ZERO, BS::BE_ADD, BS::BE_ADD}));
    effect->SetBlendFunc(Demo::Effect::BF_SRC_ALPHA, Demo::Effect::BF_ONE,
                         Demo::Effect::BF_ONE_MINUS_SRC_ALPHA, Demo::Effect::BF_ZERO);
    effect->SetBlendEquation(Demo::Effect::BE_REV_SUBTRACT, Demo::Effect::BE_MAX);
    const Units set = {BS::BF_SRC_ALPHA, BS::BF_ONE,          BS::BF_ONE_MINUS_SRC_ALPHA,
                       BS::BF_ZERO,      BS::BE_REV_SUBTRACT, BS::BE_MAX};
    EXPECT_EQ(blend(), set);
    EXPECT_EQ(StdoutOf([&] {
                  effect->SetBlendFunc(Demo::Effect::BlendFunction(15), Demo::Effect::BF_ZERO,
                                       Demo::Effect::BF_ZERO, Demo::Effect::BF_ZERO);
                  effect->SetBlendEquation(Demo::Effect::BE_ADD, Demo::Effect::BlendEquation(-1));
              }),
              "Demo::Effect::SetBlendFunc(): unknown blend function, ignored\n"
              "Demo::Effect::SetBlendEquation(): unknown blend equation, ignored\n");
    EXPECT_EQ(blend(), set);
    // Shader text: every byte and a terminating zero; empty for a missing file.
    platform.files["resource://bin"] = std::string("ab\0c\xff\n", 6);
    char* text = Demo::Effect::ReadFile("resource://bin");
    EXPECT_EQ(std::string(text, 7), std::string("ab\0c\xff\n\0", 7));
    delete[] text;
    EXPECT_EQ(StdoutOf([&] { effect = Demo::Effect::New("resource://none", "resource://f"); }),
              "Demo::Effect::ReadFile(): cannot open resource://none\n");
    EXPECT_STREQ(effect->vertexSource, "");
}

TEST_F(DemoObjects, SourcesAndParametersFollowInCallOrderOnUnitsUpToEight) {
    Demo::Effect* effect = NewEffect();
    Texture2D* picture = new Texture2D();
    picture->width = 256;
    picture->height = 128;
    Demo::Image image(picture);
    Demo::Target* target = Demo::Target::New();
    effect->AddSource(&image);
    effect->AddSource(target);
    effect->SetParam("amount", 0.5f);
    ASSERT_EQ(effect->states.Size(), 8u);
    const Texture* textures[2] = {picture, &target->texture};
    for (unsigned int unit = 0; unit < 2; ++unit) {
        auto* texture = dynamic_cast<TextureState*>(effect->states[3 + 2 * unit]);
        auto* s = dynamic_cast<TextureSamplerState*>(effect->states[4 + 2 * unit]);
        ASSERT_TRUE(texture && s);
        EXPECT_TRUE(texture->texture == textures[unit] && s->texture == textures[unit]);
        EXPECT_EQ(Units({texture->unit, s->unit, s->wrapS, s->wrapT, s->wrapR, s->magFilter,
                         s->minFilter, s->mipmapFilter}),
                  Units({unit, unit, 2, 2, 0, 1, 1, 1}));  // clamp to edge, linear
    }
    const UniformState* param = dynamic_cast<UniformState*>(effect->states[7]);
    ASSERT_NE(param, nullptr);
    EXPECT_STREQ(param->uniform->name, "amount");
    EXPECT_EQ(Float(param->uniform), 0.5f);
    // An image without texture uses up its unit; there are units for eight sources.
    Demo::Image broken(nullptr), cube(new TextureCube());
    EXPECT_EQ(Units({image.GetWidth(), image.GetHeight(), broken.GetWidth(), cube.GetHeight()}),
              Units({256, 128, 0, 0}));  // only a 2D texture has a size to report
    EXPECT_EQ(StdoutOf([&] { effect->AddSource(&broken); }),
              "Demo::Effect::AddSource(): no texture, unit 2 left empty\n");
    for (int i = 0; i < 5; ++i) effect->AddSource(target);
    EXPECT_EQ(StdoutOf([&] { effect->AddSource(target); }),
              "Demo::Effect::AddSource(): no texture unit left for a ninth source, refused\n");
    EXPECT_EQ(Units({effect->states.Size(), effect->sourceCount}), Units({8 + 10, 8}));
    EXPECT_EQ(static_cast<TextureState*>(effect->states[8])->unit, 3u);
    EXPECT_EQ(static_cast<TextureState*>(effect->states.Last())->unit, 7u);
}

TEST_F(DemoObjects, EverySetParamAddsAUniformAndBindParamFollowsItsAnimation) {
    Demo::Effect* effect = NewEffect();
    char name[] = "size";
    effect->SetParam("offset", 1.0f, 2.0f, 3.0f);
    effect->SetParam("offset", 4.0f, 5.0f, 6.0f);
    effect->SetParam(name, 7.0f, 8.0f);
    strcpy(name, "zzzz");  // the uniform keeps its own copy
    effect->SetParam("tint", 0.5f, 0.25f, 1.0f, 2.0f);
    Anim* animation = Anim::New(Anim::IM_LINEAR, Anim::RM_CONSTANT, 3);
    animation->AddKey(0.0f, 0.0f, 0.0f, 0.0f);
    animation->AddKey(100.0f, 10.0f, 20.0f, 30.0f);
    animation->SetDuration(100.0f);
    effect->BindParam("color", animation);
    ASSERT_EQ(effect->states.Size(), 8u);
    static_cast<UniformState*>(effect->states[7])->Update(50.0f);
    const float values[5][4] = {{1, 2, 3}, {4, 5, 6}, {7, 8}, {0.5f, 0.25f, 1, 2}, {5, 10, 15}};
    const char* names[5] = {"offset", "offset", "size", "tint", "color"};
    const unsigned int types[5] = {Uniform::ET_Vec3, Uniform::ET_Vec3, Uniform::ET_Vec2,
                                   Uniform::ET_Vec4, Uniform::ET_Vec3};
    for (unsigned int k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        const Uniform* uniform = static_cast<UniformState*>(effect->states[3 + k])->uniform;
        EXPECT_STREQ(uniform->name, names[k]);
        EXPECT_EQ(uniform->elementType, types[k]);
        for (unsigned int c = 0; c < Uniform::ComponentCount(types[k]); ++c)
            EXPECT_FLOAT_EQ(Float(uniform, c), values[k][c]);
    }
}

TEST_F(DemoObjects, TargetSizeRule) {
    // 2^24 + 1 has no float: a scale of exactly 1 must not multiply.
    const struct { unsigned int w, h; float scale; unsigned int width, height; } cases[] = {
        {800, 600, 1.0f, 800, 600}, {800, 600, 0.5f, 400, 300},   {800, 600, 0.3f, 240, 180},
        {801, 601, 0.5f, 400, 300}, {800, 600, 2.0f, 1600, 1200}, {16777217, 3, 1.0f, 16777217, 3}};
    for (const auto& c : cases) {
        engine->width = c.w;
        engine->height = c.h;
        Demo::Target* target = Demo::Target::New(c.scale);
        EXPECT_EQ(Units({target->width, target->height, target->texture.width,
                         target->depthBuffer.height}),
                  Units({c.width, c.height, c.width, c.height}))
            << c.w << " x " << c.scale;
    }
}

TEST_F(DemoObjects, TargetResizeRebuildsDepthTextureFramebufferInOrderOnceStarted) {
    Demo::Target* target = Demo::Target::New(0.25f);
    target->SetSize(1024, 768);
    EXPECT_TRUE(gl.manager.sequence.empty());
    gl.manager.InitAll();
    gl.manager.sequence.clear();
    target->SetSize(2048, 1536);
    EXPECT_EQ(gl.manager.sequence,
              (std::vector<std::string>{"Deinit RenderBuffer", "Init RenderBuffer",
                                        "Deinit Texture", "Init Texture", "Deinit FrameBuffer",
                                        "Init FrameBuffer"}));
    EXPECT_EQ(Units({target->depthBuffer.width, target->texture.height}), Units({512, 384}));
}

TEST_F(DemoObjects, AnimationKeysInCallOrderWithValuesCutOrZeroedAndBadModesReported) {
    Anim* one = Anim::New(Anim::IM_LINEAR, Anim::RM_CONSTANT);
    one->AddKey(0.0f, 5.0f);
    one->AddKey(1000.0f, 7.0f);
    one->AddKey(500.0f, true);
    one->AddKey(0.0f, false);
    Anim* three = Anim::New(Anim::IM_LINEAR, Anim::RM_CONSTANT, 3);
    three->AddKey(0.0f, 1.0f, 2.0f, 3.0f, 4.0f);
    three->AddKey(10.0f, 9.0f);
    three->AddKey(20.0f, nullptr, 3);
    std::vector<std::vector<float>> keys;
    for (const Anim* animation : {one, three})
        for (const auto& key : animation->sequence->keys) {
            keys.push_back({key.time});
            keys.back().insert(keys.back().end(), key.values, key.values + animation->components);
        }
    EXPECT_EQ(keys, (std::vector<std::vector<float>>{{0, 5}, {1000, 7}, {500, 1}, {0, 0},
                                                      {0, 1, 2, 3}, {10, 9, 0, 0}, {20, 0, 0, 0}}));
    Anim* animation = nullptr;
    EXPECT_EQ(StdoutOf([&] {
                  animation =
                      Anim::New(Anim::InterpolationMode(7), Anim::RepeatMode(5), 4000000000u);
              }),
              "Demo::Animation::Animation(): unknown interpolation 7, using IM_LINEAR\n"
              "Demo::Animation::Animation(): unknown repeat mode 5, using RM_CONSTANT\n"
              "Demo::Animation::Animation(): 4000000000 components, using 4\n");
    EXPECT_EQ(Units({animation->animation.interpolation, animation->animation.repeatMode,
                     animation->components}),
              Units({::Animation::IM_LINEAR, ::Animation::RM_CONSTANT, 4}));
}

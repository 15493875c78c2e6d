// Effects: shader sources read from URLs, the program, sources, parameters
// and blending as one ordered list of render states.
#include "demo/Effect.h"

#include <cstdio>
#include <cstring>

#include "app/Platform.h"
#include "demo/Animation.h"
#include "demo/Engine.h"
#include "demo/Image.h"
#include "demo/Target.h"
#include "engine/Program.h"
#include "engine/Texture.h"
#include "engine/Uniform.h"
#include "io/DataSource.h"
#include "render/BlendState.h"
#include "render/GenericState.h"
#include "render/ProgramState.h"
#include "render/TextureSamplerState.h"
#include "render/TextureState.h"
#include "render/UniformState.h"

namespace Demo {

const unsigned int Effect::sc_blendFuncTab[15] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
const unsigned int Effect::sc_blendEquTab[5] = {0, 1, 2, 3, 4};

Effect::Effect(const char* vertexUrl, const char* fragmentUrl)
    : states(10, 10),
      vertexSource(nullptr),
      fragmentSource(nullptr),
      resources(10, 10),
      sourceCount(0),
      blend(nullptr),
      blendSwitch(nullptr) {
    vertexSource = ReadFile(vertexUrl);
    fragmentSource = ReadFile(fragmentUrl);
    Program* program = new Program();
    program->SetSources(vertexSource, fragmentSource);
    program->SetNames(vertexUrl, fragmentUrl);
    resources.Add(program);
    states.Add(new ProgramState(program));
    blendSwitch = new GenericState(GenericState::GS_Blend, false);
    states.Add(blendSwitch);
    blend = new BlendState();
    blend->srcRGB = BlendState::BF_ONE;
    blend->dstRGB = BlendState::BF_ONE;
    blend->srcAlpha = BlendState::BF_ZERO;
    blend->dstAlpha = BlendState::BF_ZERO;
    blend->equationRGB = BlendState::BE_ADD;
    blend->equationAlpha = BlendState::BE_ADD;
    blend->color = Vec4::ZERO;
    states.Add(blend);
}

Effect::~Effect() {
    for (RenderState* state : states) delete state;
    for (Resource* resource : resources) delete resource;
    // After the program, which points into them.
    delete[] vertexSource;
    delete[] fragmentSource;
}

unsigned long long Effect::HeldBytes() const {
    return (256ull << 10) + 4 * (strlen(vertexSource) + strlen(fragmentSource));
}

Effect* Effect::New(const char* vertexUrl, const char* fragmentUrl) {
    Effect* effect = new Effect(vertexUrl, fragmentUrl);
    Engine::GetEngine()->Register(effect);
    return effect;
}

char* Effect::ReadFile(const char* url) {
    DataSource* source = nullptr;
    if (url && Platform::current) source = Platform::current->CreateDataSourceForURL(url);
    if (!source) {
        printf("Demo::Effect::ReadFile(): cannot open %s\n", url ? url : "(null)");
        char* empty = new char[1];
        empty[0] = 0;
        return empty;
    }
    unsigned int n = source->GetLength();
    // size_t: n + 1 cannot wrap for the largest length a source reports.
    char* text = new char[size_t(n) + 1];
    if (n > 0 && !source->Read(text, n)) {
        printf("Demo::Effect::ReadFile(): cannot read %u bytes of %s\n", n, url);
        memset(text, 0, n);
    }
    text[n] = 0;
    delete source;
    return text;
}

Uniform* Effect::CreateUniform(const char* name) {
    // The uniform keeps the pointer, and a script's string does not outlive
    // the call: the uniform gets a copy of its own.
    // Four blocks (uniform, state, name, values) with their heap headers, and
    // two list entries.
    Engine::ChargeCurrent(sizeof(Uniform) + sizeof(UniformState) + 4 * sizeof(float) +
                          (name ? strlen(name) + 1 : 0) + 4 * 32 + 2 * sizeof(void*));
    char* copy = nullptr;
    if (name) {
        size_t length = strlen(name);
        copy = new char[length + 1];
        memcpy(copy, name, length + 1);
    }
    Uniform* uniform = new Uniform();
    uniform->SetName(copy, copy == nullptr);
    resources.Add(uniform);
    states.Add(new UniformState(uniform));
    return uniform;
}

void Effect::SetParam(const char* name, float x) { CreateUniform(name)->SetValue(x); }

void Effect::SetParam(const char* name, float x, float y) {
    float* values = new float[2]{x, y};
    CreateUniform(name)->SetValue(Uniform::ET_Vec2, 1, values, false);
}

void Effect::SetParam(const char* name, float x, float y, float z) {
    float* values = new float[3]{x, y, z};
    CreateUniform(name)->SetValue(Uniform::ET_Vec3, 1, values, false);
}

void Effect::SetParam(const char* name, float x, float y, float z, float w) {
    float* values = new float[4]{x, y, z, w};
    CreateUniform(name)->SetValue(Uniform::ET_Vec4, 1, values, false);
}

void Effect::BindParam(const char* name, Animation* animation) {
    if (!animation) {
        printf("Demo::Effect::BindParam(): no animation\n");
        return;
    }
    CreateUniform(name)->BindProperty(::Actor::P_Value, &animation->animation);
}

void Effect::AddSource(Texture* texture) {
    if (sourceCount >= kMaxSources) {
        printf("Demo::Effect::AddSource(): no texture unit left for a ninth source, refused\n");
        return;
    }
    unsigned int unit = sourceCount;
    sourceCount += 1;
    // The unit stays taken so that later sources keep the units (and
    // sampler names) the shader expects.
    if (!texture) {
        printf("Demo::Effect::AddSource(): no texture, unit %u left empty\n", unit);
        return;
    }
    states.Add(new TextureState(texture, unit));
    TextureSamplerState* sampler = new TextureSamplerState(texture, unit);
    sampler->wrapS = TextureSamplerState::WM_CLAMP_TO_EDGE;
    sampler->wrapT = TextureSamplerState::WM_CLAMP_TO_EDGE;
    sampler->wrapR = TextureSamplerState::WM_REPEAT;
    sampler->magFilter = TextureSamplerState::FM_LINEAR;
    sampler->minFilter = TextureSamplerState::FM_LINEAR;
    sampler->mipmapFilter = TextureSamplerState::FM_LINEAR;
    states.Add(sampler);
}

void Effect::AddSource(Image* image) {
    if (!image) {
        printf("Demo::Effect::AddSource(): no image\n");
        return;
    }
    AddSource(image->texture);
}

void Effect::AddSource(Target* target) {
    if (!target) {
        printf("Demo::Effect::AddSource(): no target\n");
        return;
    }
    AddSource(&target->texture);
}

void Effect::SetBlendEnabled(bool enabled) { blendSwitch->enabled = enabled; }

void Effect::SetBlendFunc(BlendFunction srcColor, BlendFunction srcAlpha, BlendFunction dstColor,
                          BlendFunction dstAlpha) {
    // Script numbers arrive unchecked; the tables have 15 entries.
    if (unsigned(srcColor) >= 15 || unsigned(srcAlpha) >= 15 || unsigned(dstColor) >= 15 ||
        unsigned(dstAlpha) >= 15) {
        printf("Demo::Effect::SetBlendFunc(): unknown blend function, ignored\n");
        return;
    }
    blend->srcRGB = sc_blendFuncTab[srcColor];
    blend->srcAlpha = sc_blendFuncTab[srcAlpha];
    blend->dstRGB = sc_blendFuncTab[dstColor];
    blend->dstAlpha = sc_blendFuncTab[dstAlpha];
}

void Effect::SetBlendEquation(BlendEquation color, BlendEquation alpha) {
    if (unsigned(color) >= 5 || unsigned(alpha) >= 5) {
        printf("Demo::Effect::SetBlendEquation(): unknown blend equation, ignored\n");
        return;
    }
    blend->equationRGB = sc_blendEquTab[color];
    blend->equationAlpha = sc_blendEquTab[alpha];
}

}  // namespace Demo

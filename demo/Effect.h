// A shader program with its input textures, named parameters and blending,
// kept as the ordered list of render states that passes and nodes copy.
#pragma once

#include "demo/Object.h"
#include "math/Types.h"

class BlendState;
class GenericState;
class RenderState;
class Resource;
class Texture;
class Uniform;

namespace Demo {

class Animation;
class Image;
class Target;

class Effect : public Object {
public:
    // Script constants; equal to the engine's blend codes.
    enum BlendFunction {
        BF_ZERO = 0,
        BF_ONE = 1,
        BF_SRC_COLOR = 2,
        BF_ONE_MINUS_SRC_COLOR = 3,
        BF_DST_COLOR = 4,
        BF_ONE_MINUS_DST_COLOR = 5,
        BF_SRC_ALPHA = 6,
        BF_ONE_MINUS_SRC_ALPHA = 7,
        BF_DST_ALPHA = 8,
        BF_ONE_MINUS_DST_ALPHA = 9,
        BF_CONSTANT_COLOR = 10,
        BF_ONE_MINUS_CONSTANT_COLOR = 11,
        BF_CONSTANT_ALPHA = 12,
        BF_ONE_MINUS_CONSTANT_ALPHA = 13,
        BF_SRC_ALPHA_SATURATE = 14,
    };
    enum BlendEquation {
        BE_ADD = 0,
        BE_SUBTRACT = 1,
        BE_REV_SUBTRACT = 2,
        BE_MIN = 3,
        BE_MAX = 4,
    };
    static const unsigned int sc_blendFuncTab[15];
    static const unsigned int sc_blendEquTab[5];
    // Texture units 0..7 have sampler uniforms; there is no ninth.
    static constexpr unsigned int kMaxSources = 8;

    Effect(const char* vertexUrl, const char* fragmentUrl);
    // Deletes the states in order, then the resources (program first).
    ~Effect() override;
    // The sources and the driver's program, which llvmpipe measures at about
    // 190 KB for the smallest shaders once drawn.
    unsigned long long HeldBytes() const override;

    static Effect* New(const char* vertexUrl, const char* fragmentUrl);

    // The whole file plus a terminating zero, in a new[] array the caller
    // owns. A URL that names nothing readable gives an empty text.
    static char* ReadFile(const char* url);
    // A new uniform (with its own copy of name) and a state for it, appended
    // even when the name was used before.
    Uniform* CreateUniform(const char* name);

    void SetParam(const char* name, float x);
    void SetParam(const char* name, float x, float y);
    void SetParam(const char* name, float x, float y, float z);
    void SetParam(const char* name, float x, float y, float z, float w);
    // The uniform follows the animation at the part-local time. A null
    // animation is reported and makes no uniform.
    void BindParam(const char* name, Animation* animation);

    // The next source takes texture unit sourceCount. A null texture uses up
    // its unit without states; a ninth source is refused. Both are reported.
    void AddSource(Texture* texture);
    void AddSource(Image* image);    // null: reported, nothing happens
    void AddSource(Target* target);  // null: reported, nothing happens

    void SetBlendEnabled(bool enabled);
    // Argument order: source colour, source alpha, destination colour,
    // destination alpha. Values outside the table are reported and ignored.
    void SetBlendFunc(BlendFunction srcColor, BlendFunction srcAlpha, BlendFunction dstColor,
                      BlendFunction dstAlpha);
    void SetBlendEquation(BlendEquation color, BlendEquation alpha);

    Vector<RenderState*> states;  // owned, in the order they are applied
    char* vertexSource;    // owned; the program points into it
    char* fragmentSource;  // owned
    Vector<Resource*> resources;  // owned: the program, then the uniforms
    unsigned int sourceCount;     // the next source's texture unit
    BlendState* blend;            // also in states
    GenericState* blendSwitch;    // also in states
};

}  // namespace Demo

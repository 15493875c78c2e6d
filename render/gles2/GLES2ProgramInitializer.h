// GL side of a shader program: compiles and links the sources and looks up
// the fixed attribute and uniform names every shader may use.
#pragma once

#include <GLES2/gl2.h>

#include "engine/ResourceInitializer.h"

class Program;

class GLES2ProgramInitializer : public ResourceInitializer {
public:
    // Positions in UniformNames and uniformLocations.
    enum UniformIndex {
        UN_Projection = 0,
        UN_Model = 1,
        UN_ModelIT = 2,
        UN_View = 3,
        UN_PrevModel = 4,
        UN_PrevView = 5,
        UN_ViewportSize = 6,
        UN_MaterialAmbient = 7,
        UN_MaterialDiffuse = 8,
        UN_MaterialSpecular = 9,
        UN_MaterialEmission = 10,
        UN_MaterialBase = 11,
        UN_MaterialShininess = 12,
        UN_TextureMatrix0 = 13,   // 13..20, one per texture unit
        UN_TextureSampler0 = 21,  // 21..28, sampler n reads unit n
        UN_BoneCount = 29,
        UN_BoneModel0 = 30,    // 30..37
        UN_BoneModelIT0 = 38,  // 38..45
        UN_Count = 46,
    };
    static const unsigned int kVertexAttribCount = 8;
    static const unsigned int kMaxBones = 8;

    // Index = attribute location bound before linking.
    static const char* const VertexAttribNames[kVertexAttribCount];
    static const char* const UniformNames[UN_Count];

    explicit GLES2ProgramInitializer(Program* program);
    // Releases the GL objects: the resource is going away with them.
    ~GLES2ProgramInitializer() override;

    // Compile, link, look up the fixed uniforms and assign the samplers to
    // their units. On failure the GL objects made so far are deleted again
    // and the program stays uninitialised; a later Init starts over.
    bool Init() override;
    void Deinit() override;

    // -1 while the program is not initialised.
    GLint GetUniformLocation(const char* name) const;
    GLint GetVertexAttributeLocation(const char* name) const;
    // Print the info log when there is one.
    static void ShowShaderLog(GLuint shader);
    static void ShowProgramLog(GLuint program);

    GLuint programName;
    GLuint vertexShader;
    GLuint fragmentShader;
    GLint uniformLocations[UN_Count];  // -1: the shader does not use the name

private:
    // Prints `failure` and the log when the source does not compile.
    bool CompileShader(GLenum shaderType, const char* source, const char* failure, GLuint* out);
    void DeleteObjects();
    // Names the shader URLs of a program that failed, after the driver's log.
    static void ReportUnusable(const Program* program);
};

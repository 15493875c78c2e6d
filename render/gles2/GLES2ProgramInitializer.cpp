// Shader compilation and linking, and the fixed names of the shader interface.
#include "render/gles2/GLES2ProgramInitializer.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/Program.h"

const char* const GLES2ProgramInitializer::VertexAttribNames[kVertexAttribCount] = {
    "Vomra_va_Location", "Vomra_va_Normal",     "Vomra_va_TexCoord", "Vomra_va_Color",
    "Vomra_va_BoneIndex", "Vomra_va_BoneWeight", "Vomra_va_Generic0", "Vomra_va_Generic1",
};

const char* const GLES2ProgramInitializer::UniformNames[UN_Count] = {
    "Vomra_un_Projection",
    "Vomra_un_Model",
    "Vomra_un_ModelIT",
    "Vomra_un_View",
    "Vomra_un_PrevModel",
    "Vomra_un_PrevView",
    "Vomra_un_ViewportSize",
    "Vomra_un_MaterialAmbient",
    "Vomra_un_MaterialDiffuse",
    "Vomra_un_MaterialSpecular",
    "Vomra_un_MaterialEmission",
    "Vomra_un_MaterialBase",
    "Vomra_un_MaterialShininess",
    "Vomra_un_TextureMatrix[0]",
    "Vomra_un_TextureMatrix[1]",
    "Vomra_un_TextureMatrix[2]",
    "Vomra_un_TextureMatrix[3]",
    "Vomra_un_TextureMatrix[4]",
    "Vomra_un_TextureMatrix[5]",
    "Vomra_un_TextureMatrix[6]",
    "Vomra_un_TextureMatrix[7]",
    "Vomra_un_TextureSampler0",
    "Vomra_un_TextureSampler1",
    "Vomra_un_TextureSampler2",
    "Vomra_un_TextureSampler3",
    "Vomra_un_TextureSampler4",
    "Vomra_un_TextureSampler5",
    "Vomra_un_TextureSampler6",
    "Vomra_un_TextureSampler7",
    "Vomra_un_BoneCount",
    "Vomra_un_BoneModel[0]",
    "Vomra_un_BoneModel[1]",
    "Vomra_un_BoneModel[2]",
    "Vomra_un_BoneModel[3]",
    "Vomra_un_BoneModel[4]",
    "Vomra_un_BoneModel[5]",
    "Vomra_un_BoneModel[6]",
    "Vomra_un_BoneModel[7]",
    "Vomra_un_BoneModelIT[0]",
    "Vomra_un_BoneModelIT[1]",
    "Vomra_un_BoneModelIT[2]",
    "Vomra_un_BoneModelIT[3]",
    "Vomra_un_BoneModelIT[4]",
    "Vomra_un_BoneModelIT[5]",
    "Vomra_un_BoneModelIT[6]",
    "Vomra_un_BoneModelIT[7]",
};

// GL names are printed as pointers in the logs.
static const void* AsPointer(GLuint name) { return reinterpret_cast<const void*>(uintptr_t(name)); }

GLES2ProgramInitializer::GLES2ProgramInitializer(Program* program)
    : programName(0), vertexShader(0), fragmentShader(0) {
    resource = program;
    for (unsigned int i = 0; i < UN_Count; ++i) uniformLocations[i] = -1;
}

GLES2ProgramInitializer::~GLES2ProgramInitializer() { Deinit(); }

bool GLES2ProgramInitializer::CompileShader(GLenum shaderType, const char* source,
                                            const char* failure, GLuint* out) {
    GLuint shader = glCreateShader(shaderType);
    *out = shader;
    // A program without a source fails like an empty one, with the driver's log.
    // Mesa's shader cache knows a source by its text alone: a text that once
    // compiled as a vertex shader is then taken as compiled when given as a
    // fragment shader, and the driver crashes linking it. A last line naming
    // the stage keeps the two apart without moving any line of the log.
    std::string text = source ? source : "";
    text += shaderType == GL_VERTEX_SHADER ? "\n// vertex shader\n" : "\n// fragment shader\n";
    const char* texts[1] = {text.c_str()};
    glShaderSource(shader, 1, texts, nullptr);
    glCompileShader(shader);
    GLint status = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status != GL_TRUE) printf("%s\n", failure);
    // Printed on success too: a non-empty log holds warnings.
    ShowShaderLog(shader);
    return status == GL_TRUE;
}

bool GLES2ProgramInitializer::Init() {
    if (initialized) return true;
    Program* program = static_cast<Program*>(resource);
    // Only errors raised by this Init may fail it, not one left by a draw.
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }

    // Never link after a failed compile: Mesa's software driver can free
    // memory twice inside glLinkProgram then (with its shader cache warm).
    if (!CompileShader(GL_FRAGMENT_SHADER, program->fragmentSource,
                       "Failed to compile fragment shader:", &fragmentShader) ||
        !CompileShader(GL_VERTEX_SHADER, program->vertexSource,
                       "Failed to compile vertex shader:", &vertexShader)) {
        ReportUnusable(program);
        DeleteObjects();
        return false;
    }

    programName = glCreateProgram();
    glAttachShader(programName, fragmentShader);
    glAttachShader(programName, vertexShader);
    for (unsigned int i = 0; i < kVertexAttribCount; ++i)
        glBindAttribLocation(programName, i, VertexAttribNames[i]);
    glLinkProgram(programName);
    GLint status = GL_FALSE;
    glGetProgramiv(programName, GL_LINK_STATUS, &status);
    if (status != GL_TRUE) {
        printf("Failed to link program:\n");
        ShowProgramLog(programName);
        ReportUnusable(program);
        DeleteObjects();
        return false;
    }
    ShowProgramLog(programName);

    for (unsigned int i = 0; i < UN_Count; ++i)
        uniformLocations[i] = glGetUniformLocation(programName, UniformNames[i]);

    // Sampler n always reads texture unit n. The program is left in use.
    glUseProgram(programName);
    for (unsigned int n = 0; n < 8; ++n) {
        GLint location = uniformLocations[UN_TextureSampler0 + n];
        if (location != -1) glUniform1i(location, GLint(n));
    }

    GLenum error = glGetError();
    if (error != GL_NO_ERROR) {
        printf("GL error: %p\n", AsPointer(error));
        glUseProgram(0);
        DeleteObjects();
        return false;
    }
    initialized = true;
    return true;
}

void GLES2ProgramInitializer::ReportUnusable(const Program* program) {
    const char* vertex = program->vertexName.empty() ? "(unnamed)" : program->vertexName.c_str();
    const char* fragment =
        program->fragmentName.empty() ? "(unnamed)" : program->fragmentName.c_str();
    printf("GLES2ProgramInitializer::Init(): program of %s and %s not built, its passes draw "
           "nothing\n",
           vertex, fragment);
}

void GLES2ProgramInitializer::DeleteObjects() {
    if (programName) glDeleteProgram(programName);
    if (vertexShader) glDeleteShader(vertexShader);
    if (fragmentShader) glDeleteShader(fragmentShader);
    programName = vertexShader = fragmentShader = 0;
    for (unsigned int i = 0; i < UN_Count; ++i) uniformLocations[i] = -1;
}

void GLES2ProgramInitializer::Deinit() {
    if (!initialized) return;
    DeleteObjects();
    initialized = false;
}

GLint GLES2ProgramInitializer::GetUniformLocation(const char* name) const {
    if (!initialized || !name) return -1;
    return glGetUniformLocation(programName, name);
}

GLint GLES2ProgramInitializer::GetVertexAttributeLocation(const char* name) const {
    if (!initialized || !name) return -1;
    return glGetAttribLocation(programName, name);
}

// Shaders and programs keep their logs alike; only the two query calls differ.
static void ShowLog(const char* kind, GLuint name, decltype(&glGetShaderiv) getParameter,
                    decltype(&glGetShaderInfoLog) getLog) {
    GLint length = 0;
    getParameter(name, GL_INFO_LOG_LENGTH, &length);
    if (length <= 0) return;
    char* log = new char[size_t(length) + 1];
    GLsizei written = 0;
    getLog(name, length, &written, log);
    log[written >= 0 && written <= length ? written : 0] = '\0';
    printf("%s %p log:\n%s", kind, AsPointer(name), log);
    delete[] log;
}

void GLES2ProgramInitializer::ShowShaderLog(GLuint shader) {
    ShowLog("Shader", shader, glGetShaderiv, glGetShaderInfoLog);
}

void GLES2ProgramInitializer::ShowProgramLog(GLuint program) {
    ShowLog("Program", program, glGetProgramiv, glGetProgramInfoLog);
}

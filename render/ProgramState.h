// Binds a shader program.
#pragma once

#include "render/RenderState.h"

class Program;

class ProgramState : public RenderState {
public:
    explicit ProgramState(Program* program = nullptr);

    void AssignToRenderer(Renderer* renderer) override;
    Type GetRenderStateBaseType() const override { return RST_Program; }
    Type GetRenderStateType() const override { return RST_Program; }

    Program* program;  // not owned
};

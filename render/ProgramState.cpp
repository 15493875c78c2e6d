// Program state: renderer dispatch.
#include "render/ProgramState.h"

#include "render/Renderer.h"

ProgramState::ProgramState(Program* program) : program(program) {}

void ProgramState::AssignToRenderer(Renderer* renderer) { renderer->AssignState(this); }

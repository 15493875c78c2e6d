// Technique: an ordered, non-owning list of passes.
#include "engine/Technique.h"

Technique::Technique() : passes(1, 1) {}

Technique::~Technique() {}

// The published platform instance.
#include "app/Platform.h"

Platform* Platform::current = nullptr;

// A source of the engine that includes the panel's model, one layer above
// it: the test layers_refuse_upward_includes expects the layer check to
// name this include and fail. Never compiled.
#pragma once

#include "panel/PanelEngine.h"

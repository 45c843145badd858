#pragma once

// A project file that knows the video engine: the check must refuse it.
#include "avi/engine/AviEngine.h"

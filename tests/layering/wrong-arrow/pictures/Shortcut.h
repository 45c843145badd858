#pragma once

// A reader reaching for a library that belongs to another reader.
#include <png.h>

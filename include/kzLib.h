// doVav: multi-projector warping, blending and black-level correction.
//
// The one header a host includes for the library; a Vulkan host also includes
// <kzLib/vulkan.h>, which declares the Vulkan back-end and needs the Vulkan
// headers. Entry points return a kzResult; those that
// take a context leave a message in the context's error text on failure
// (read it with kzGetErrorString). Text copied into caller buffers follows
// strncpy semantics: pass a zero-filled buffer and at most its size minus one
// to receive a terminated string.
#pragma once

#ifndef __cplusplus
#error "kzLib.h is a C++ header"
#endif

#include "kzLib/export.h"
#include "kzLib/types.h"
#include "kzLib/core.h"
#include "kzLib/configuration.h"
#include "kzLib/calibration.h"
#include "kzLib/interchange.h"
#include "kzLib/geometry.h"
#include "kzLib/opengl.h"
#include "kzLib/math.h"
#include "kzLib/version.h"

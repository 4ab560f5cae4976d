#pragma once

#include <string>

// The question shown when the renderer lacks GL_EXT_framebuffer_object or
// GL_ARB_texture_non_power_of_two; empty when both are present.
std::string missingExtensionQuestion(bool hasFramebufferObject, bool hasNonPowerOfTwo);

// Asks the viewer whether to go on despite missing extensions. True when
// nothing is missing or the viewer chose OK.
bool confirmMissingExtensions(bool hasFramebufferObject, bool hasNonPowerOfTwo);

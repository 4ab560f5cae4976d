#pragma once

#include <string>

// The question shown when the renderer lacks GL_EXT_framebuffer_object or
// GL_ARB_texture_non_power_of_two; empty when both are present.
std::string missingExtensionQuestion(bool hasFramebufferObject, bool hasNonPowerOfTwo);

// Asks the viewer whether to go on despite missing extensions. True when
// nothing is missing or the viewer chose OK.
bool confirmMissingExtensions(bool hasFramebufferObject, bool hasNonPowerOfTwo);

// Going on without framebuffer objects cannot work: every frame is drawn into
// one. Ends the process through the error box when they are missing, before
// the first call would jump to an entry point that does not exist.
void requireFramebufferObjects(bool hasFramebufferObject);

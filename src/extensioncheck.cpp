#include "extensioncheck.h"

#include <vector>

#include "platform/messagebox.h"
#include "util/error.h"

std::string missingExtensionQuestion(bool hasFramebufferObject, bool hasNonPowerOfTwo) {
  std::vector<const char*> missing;
  if (!hasFramebufferObject) missing.push_back("GL_EXT_framebuffer_object");
  if (!hasNonPowerOfTwo) missing.push_back("GL_ARB_texture_non_power_of_two");
  if (missing.empty()) return std::string();

  std::string text = missing.size() > 1 ? "Extensions " : "Extension ";
  for (size_t i = 0; i < missing.size(); ++i) {
    if (i > 0) text += ", ";
    text += missing[i];
  }
  text +=
      " not supported, which means this demo probably won't run very well or at all. If you "
      "still want to risk it, press OK. \n\n(Side effects may include bubonic plague, outbreaks "
      "of cholera, Spontaneous Massive Existence Failures and other conditions too horrible for "
      "mere words. The author of this application does not take responsibility for any damages, "
      "injuries or death resulting from the erroneous use of this product.)";
  return text;
}

bool confirmMissingExtensions(bool hasFramebufferObject, bool hasNonPowerOfTwo) {
  const std::string question = missingExtensionQuestion(hasFramebufferObject, hasNonPowerOfTwo);
  if (question.empty()) return true;
  return askOkCancel("Missing extension(s)", question.c_str());
}

void requireFramebufferObjects(bool hasFramebufferObject) {
  if (!hasFramebufferObject) ErrorBox("This OpenGL has no framebuffer objects; the show cannot be drawn.\n");
}

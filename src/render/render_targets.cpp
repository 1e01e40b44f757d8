// render_targets.cpp: placeholder until the render pipeline lands.
#include "render/render_targets.h"

void CreateStaticGeometry(RenderTargets&) {}
void CreateFramebuffers(RenderTargets&, unsigned, unsigned) {}
GLuint CreateAttachmentTexture(bool, unsigned, unsigned) { return 0; }

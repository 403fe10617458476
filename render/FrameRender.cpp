#include "render/FrameRender.h"

#include "app/Declarations.h"
#include "display/Display.h"
#include "platform/dx/DirectDraw.h"

void RenderFrame() {
    // The scene draws nothing yet: the frame is the background colour.
    const uint32_t rgb = static_cast<uint32_t>(BackgroundColor) & 0xFFFFFF;
    BackBuffer->BltColorFill(nullptr, Rgb565FromRgb(rgb));
}

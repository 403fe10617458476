// Draws one frame into the back buffer.
#pragma once

void RenderFrame();

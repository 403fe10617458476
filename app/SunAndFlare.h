// The sun and its lens flare. The sun has no place in the world: its screen position follows
// from the camera's yaw and pitch alone, and every item is placed in camera space at that screen
// position, so it stays glued to it whatever the camera does.
#pragma once

// Queues the sun disc, its glow and the five flare discs when the sun is on screen, all faded
// by how close it stands to the screen centre.
void UpdateSunAndFlare();

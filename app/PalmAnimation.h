// The five palms sway: every frame the local angles of frames 1 to 28 of each palm are set
// afresh from the phases, and the first palm, the burning one, sheds sparks, embers and small
// emitters from its frames.
#pragma once

// Joints 1 to 3 are the trunk, 4 to 28 five fronds of five segments.
constexpr int kFirstTrunkJoint = 1;
constexpr int kFirstFrondJoint = 4;
constexpr int kLastPalmJoint = 28;

// Clears the per-frame state of every scene object's joints, so the next draw composes each
// joint's world matrix afresh.
void ResetObjectFrames();

// Queues each palm for drawing, bends its joints and lets the burning palm shed particles.
void AnimatePalms();

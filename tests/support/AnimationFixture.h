// A started display with the geometry sets the animations draw from (sets 0 to 3, parts 0 to
// 10, set 0 registered as "COMMON"), running at one FrameScale unit per frame.
#pragma once

#include <array>
#include <vector>

#include "animation/Animations.h"
#include "app/MainLoop.h"
#include "core/Declarations.h"
#include "render/DrawList.h"
#include "resources/GeometrySets.h"
#include "tests/support/DisplayFixture.h"

class AnimationFixture : public DisplayFixture {
  protected:
    void SetUp() override {
        DisplayFixture::SetUp();
        ResetGeometryTables();
        ResetDrawList();
        const std::vector<D3DVERTEX> none;
        const std::vector<int16_t> noIndices;
        const std::array<D3DCOLORVALUE, 2> white = {D3DCOLORVALUE{1, 1, 1, 1},
                                                    D3DCOLORVALUE{1, 1, 1, 1}};
        for (const char* name : {"COMMON", "USER", "BG", "SPHEROU"}) {
            const int32_t set = AddGeometrySet(none, 0, name);
            for (int part = 0; part <= 10; ++part) {
                AddGeometryPart(set, 0, 0, noIndices, 0, white, ItemTriangleList, "P", 0, 0, false);
            }
        }
        FrameScale = 1.0f;
        PauseState = 0;
        ParticleDrift = D3DVECTOR{};
    }
    void TearDown() override {
        PauseState = 0;
        ResetGeometryTables();
        DisplayFixture::TearDown();
    }

    // One frame as the world update and render see it: a fresh list, then the pass.
    static void Frame() {
        ResetDrawList();
        UpdateAnimations();
    }
    static const DrawItem& Item(int32_t n) { return DrawList.at(static_cast<size_t>(n)); }
    static Animation& Record(int32_t n) { return Animations.at(static_cast<size_t>(n)); }
    // Puts a running record straight into the list, as if it had joined earlier.
    static int32_t Insert(Animation a) {
        a.State = AnimationRunning;
        Animations.push_back(a);
        return ++AnimationCount;
    }
    // A particle of set 1, part 0 at x, living duration units.
    static SpawnParams Particle(float x, int32_t duration) {
        return {.kind = AnimParticle,
                .x = x,
                .duration = duration,
                .style = 2,
                .modelValue = 1,
                .fadeValue = 1,
                .size = 1};
    }
};

// The editor's world: animations ready to spawn into, a loaded first model of six vertices,
// three triangles, three groups and four group-list slots, scene object 0 (and object 1, a
// second instance of the same model) with a joint per group, and a menu whose entry i is the
// unit square right of x = i under y = 1.
#pragma once

#include <string>

#include "render/Camera.h"
#include "render/RenderGlobals.h"
#include "resources/Models.h"
#include "resources/SceneObjects.h"
#include "tests/support/AnimationFixture.h"
#include "window/ClickMenu.h"
#include "window/EditorOverlay.h"
#include "window/GeometryEditor.h"
#include "window/XForm.h"

class EditorFixture : public AnimationFixture {
  protected:
    void SetUp() override {
        AnimationFixture::SetUp();
        ResetModelTables();
        Models[0] = SixVertexModel();
        ResetSceneObjectTables();
        SceneObjects.resize(2);
        for (SceneObject& o : SceneObjects) {
            o.Active = 1;
            o.ModelIndex = 0;
            o.JointCount = Models[0].GroupCount;
            o.Joints.resize(static_cast<size_t>(o.JointCount));
        }
        LastSceneObjectIndex = 1;
        ClickItems.clear();
        for (int i = 0; i < 33; ++i) {
            ClickItems.push_back(
                {"Entry " + std::to_string(i), "", 0x102030 + i, static_cast<float>(i), 1, 1, 1});
        }
        EditCharacters = kEditCharacters;
        ResetEditorState();
        WireframePasses = 0;
        PointerPosition = D3DVECTOR{-5, -5, 1.2f};
        EditorOverlayVisible = false;
    }
    void TearDown() override {
        ResetModelTables();
        ResetSceneObjectTables();
        ClickItems.clear();
        ResetEditorState();
        EditorOverlayVisible = false;
        WireframePasses = 0;
        CameraState = DefaultCameraState = CameraStateRecord{};
        AnimationFixture::TearDown();
    }

    // Vertex n stands at x = n + 0.25 with colour 0xFF000000 + n; triangles (0 1 2) (2 3 4)
    // (3 4 5); groups of two vertices each; the group list 0, 1, -1, 2.
    static ModelData SixVertexModel() {
        ModelData m;
        for (int n = 0; n < 6; ++n) {
            ModelVertex v;
            v.X = static_cast<float>(n) + 0.25f;
            v.Y = static_cast<float>(n) * 2;
            v.Color = 0xFF000000u + static_cast<uint32_t>(n);
            m.Vertices.push_back(v);
        }
        m.VertexCount = 6;
        m.Indices = {0, 1, 2, 2, 3, 4, 3, 4, 5};
        m.IndexCount = 9;
        for (int g = 0; g < 3; ++g) {
            ModelGroup group;
            group.GroupOffset = D3DVECTOR{static_cast<float>(g), 0.5f, -1};
            group.FirstVertex = 2 * g;
            group.GroupVertexCount = 2;
            m.Groups.push_back(group);
        }
        m.GroupCount = 3;
        m.GroupList = {0, 1, -1, 2};
        m.GroupListCount = 4;
        m.Name = "PALM";
        m.Loaded = 1;
        return m;
    }

    static ModelData& Model() { return Models[0]; }

    static void Click(int entry) {
        PointerPosition = D3DVECTOR{static_cast<float>(entry) + 0.5f, 0.5f, 1.2f};
        XForm::Form_Click();
    }
    static void ClickNothing() {
        PointerPosition = D3DVECTOR{-5, -5, 1.2f};
        XForm::Form_Click();
    }
    static void Press(int16_t keyAscii) { XForm::Form_KeyPress(keyAscii); }
    static void Type(const std::string& text) {
        for (char c : text) Press(static_cast<int16_t>(c));
    }
    static void ClearEditText() {
        for (size_t i = EditText.size(); i > 0; --i) Press(8);
    }
    // Clicks an entry, replaces its text and confirms it.
    static void Enter(int entry, const std::string& text) {
        Click(entry);
        ClearEditText();
        Type(text);
        Press(13);
    }
    static const Animation& LastSpawn() { return NewAnimations.at(NewAnimations.size() - 1); }
};

#include "window/GeometryEditor.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <optional>
#include <vector>

#include "animation/Animations.h"
#include "core/LoopState.h"
#include "platform/host/Host.h"
#include "render/DrawList.h"
#include "resources/Models.h"
#include "resources/SceneObjects.h"
#include "window/ClickMenu.h"
#include "window/ValueText.h"

namespace {

constexpr int16_t kTrue = -1;
constexpr int16_t kEnter = 13;
constexpr int16_t kBackspace = 8;
constexpr int16_t kMaxInteger = std::numeric_limits<int16_t>::max();
// Both texts float in front of the camera at the depth where the menu's units are at home.
constexpr float kTextDepth = 2.4f;

ModelData& EditedModel() {
    return Models.front();
}

// How many elements of a list its count may use: never more than the list holds.
template <typename T>
int64_t Used(const std::vector<T>& list, int64_t count) {
    return std::clamp<int64_t>(count, 0, static_cast<int64_t>(list.size()));
}

template <typename T>
T* Element(std::vector<T>& list, int64_t count, int64_t index) {
    if (index < 0 || index >= Used(list, count)) return nullptr;
    return &list[static_cast<size_t>(index)];
}

template <typename T>
void GrowTo(std::vector<T>& list, int64_t count) {
    if (static_cast<int64_t>(list.size()) < count) list.resize(static_cast<size_t>(count));
}

ModelVertex* CurrentVertex() {
    ModelData& m = EditedModel();
    return Element(m.Vertices, m.VertexCount, SelectedVertex);
}

// A corner of the current triangle, only when the whole triangle lies inside the indices.
int16_t* CurrentCorner(int corner) {
    ModelData& m = EditedModel();
    const int64_t first = 3 * static_cast<int64_t>(SelectedTriangle);
    if (SelectedTriangle < 0 || first + 2 >= Used(m.Indices, m.IndexCount)) return nullptr;
    return &m.Indices[static_cast<size_t>(first + corner)];
}

ModelGroup* CurrentGroup() {
    ModelData& m = EditedModel();
    return Element(m.Groups, m.GroupCount, SelectedGroup);
}

JointState* CurrentJoint() {
    if (SceneObjects.empty()) return nullptr;
    std::vector<JointState>& joints = SceneObjects.front().Joints;
    return Element(joints, static_cast<int64_t>(joints.size()), SelectedGroup);
}

int16_t* CurrentListSlot() {
    ModelData& m = EditedModel();
    return Element(m.GroupList, m.GroupListCount, SelectedListSlot);
}

float* SingleField(int entry) {
    ModelVertex* v = entry >= EntryVertexX && entry <= EntryTextureV ? CurrentVertex() : nullptr;
    ModelGroup* g =
        entry >= EntryGroupOffsetX && entry <= EntryGroupOffsetZ ? CurrentGroup() : nullptr;
    JointState* j =
        entry >= EntryJointAngleX && entry <= EntryJointAngleZ ? CurrentJoint() : nullptr;
    switch (entry) {
        case EntryVertexX:
            return v ? &v->X : nullptr;
        case EntryVertexY:
            return v ? &v->Y : nullptr;
        case EntryVertexZ:
            return v ? &v->Z : nullptr;
        case EntryNormalX:
            return v ? &v->NX : nullptr;
        case EntryNormalY:
            return v ? &v->NY : nullptr;
        case EntryNormalZ:
            return v ? &v->NZ : nullptr;
        case EntryTextureU:
            return v ? &v->TU : nullptr;
        case EntryTextureV:
            return v ? &v->TV : nullptr;
        case EntryGroupOffsetX:
            return g ? &g->GroupOffset.x : nullptr;
        case EntryGroupOffsetY:
            return g ? &g->GroupOffset.y : nullptr;
        case EntryGroupOffsetZ:
            return g ? &g->GroupOffset.z : nullptr;
        case EntryJointAngleX:
            return j ? &j->LocalAngles.x : nullptr;
        case EntryJointAngleY:
            return j ? &j->LocalAngles.y : nullptr;
        case EntryJointAngleZ:
            return j ? &j->LocalAngles.z : nullptr;
        default:
            return nullptr;
    }
}

int32_t* LongField(int entry) {
    switch (entry) {
        case EntryVertexNumber:
            return &SelectedVertex;
        case EntryTriangleNumber:
            return &SelectedTriangle;
        case EntryGroupNumber:
            return &SelectedGroup;
        case EntryListSlotNumber:
            return &SelectedListSlot;
        case EntryFirstVertex: {
            ModelGroup* g = CurrentGroup();
            return g ? &g->FirstVertex : nullptr;
        }
        case EntryGroupVertexCount: {
            ModelGroup* g = CurrentGroup();
            return g ? &g->GroupVertexCount : nullptr;
        }
        default:
            return nullptr;
    }
}

int16_t* IntegerField(int entry) {
    if (entry >= EntryCorner1 && entry <= EntryCorner3) return CurrentCorner(entry - EntryCorner1);
    if (entry == EntryListSlotGroup) return CurrentListSlot();
    return nullptr;
}

bool ChangesModel(int entry) {
    return entry != EntryVertexNumber && entry != EntryTriangleNumber &&
           entry != EntryGroupNumber && entry != EntryListSlotNumber &&
           !(entry >= EntryJointAngleX && entry <= EntryJointAngleZ);
}

void ShowText(const std::string& text, const SpawnParams& look) {
    SpawnParams p = look;
    p.kind = AnimText;
    p.z = kTextDepth;
    p.colour = -1;
    p.itemFlags = FlagScreenSpace | FlagAlwaysVisible;
    p.text = text;
    p.size = static_cast<float>(text.size());  // shown whole at once
    p.parentObject = -1;
    SpawnAnimation(p);
}

// Every scene object of the edited model keeps one joint state per group, so none of them is
// drawn with a group that has no joint, and the per-frame reset reaches every joint.
void MatchJointsToGroups() {
    const int16_t groups = EditedModel().GroupCount;
    for (SceneObject& object : SceneObjects) {
        if (object.ModelIndex != 0) continue;
        object.Joints.resize(static_cast<size_t>(groups));
        object.JointCount = groups;
    }
}

// After a vertex is gone, nothing may still point past the last one.
void KeepInsideVertices(ModelData& m) {
    const int32_t vc = m.VertexCount;
    for (int64_t i = 0; i < Used(m.Indices, m.IndexCount); ++i) {
        int16_t& index = m.Indices[static_cast<size_t>(i)];
        if (index > vc - 1) index = static_cast<int16_t>(std::max(vc - 1, 0));
    }
    for (int64_t g = 0; g < Used(m.Groups, m.GroupCount); ++g) {
        ModelGroup& group = m.Groups[static_cast<size_t>(g)];
        group.FirstVertex = std::clamp(group.FirstVertex, 0, std::max(vc - 1, 0));
        if (static_cast<int64_t>(group.FirstVertex) + group.GroupVertexCount > vc) {
            group.GroupVertexCount = vc - group.FirstVertex;
        }
    }
}

// Keeps every group on its own vertices when vertex `at` is inserted (+1) or deleted (-1):
// ranges after it move with their vertices, and the range holding it grows or shrinks by one
// (an emptied range keeps its start and counts none).
void ShiftGroupRanges(ModelData& m, int32_t at, int32_t change) {
    for (int64_t g = 0; g < Used(m.Groups, m.GroupCount); ++g) {
        ModelGroup& group = m.Groups[static_cast<size_t>(g)];
        if (group.FirstVertex > at) {
            group.FirstVertex += change;
        } else if (static_cast<int64_t>(group.FirstVertex) + group.GroupVertexCount > at) {
            group.GroupVertexCount = std::max(group.GroupVertexCount + change, 0);
        }
    }
}

bool CanInsertVertex() {
    return EditedModel().VertexCount < kModelBufferVertices;
}

void InsertVertex(ModelData& m) {
    int32_t& v = SelectedVertex;
    const bool inside = v >= 0 && v < m.VertexCount;
    if (!CanInsertVertex() || !(inside || m.VertexCount == 0)) return;
    GrowTo(m.Vertices, m.VertexCount);  // keep the counted vertices listed before growing
    m.VertexCount += 1;
    GrowTo(m.Vertices, m.VertexCount);
    for (int32_t n = m.VertexCount - 1; n >= v + 1; --n) {
        m.Vertices[static_cast<size_t>(n)] = m.Vertices[static_cast<size_t>(n - 1)];
    }
    for (int64_t i = 0; i < Used(m.Indices, m.IndexCount); ++i) {
        int16_t& index = m.Indices[static_cast<size_t>(i)];
        if (index > v) index = static_cast<int16_t>(index + 1);
    }
    // The copy of vertex V is vertex V + 1: it joins V's group, and later groups move up.
    ShiftGroupRanges(m, v, +1);
}

void DeleteVertex(ModelData& m) {
    int32_t& v = SelectedVertex;
    if (m.VertexCount < 2 || v < 0 || v >= Used(m.Vertices, m.VertexCount)) return;
    for (int32_t n = v; n <= m.VertexCount - 2; ++n) {
        m.Vertices[static_cast<size_t>(n)] = m.Vertices[static_cast<size_t>(n + 1)];
    }
    m.VertexCount -= 1;
    // Every triangle keeps its corners: indices past the deleted vertex follow their vertex
    // down by one; one that named the deleted vertex names the vertex that took its place
    // (the last one, clamped below, when the deleted vertex was the last).
    const int32_t deleted = v;
    for (int64_t i = 0; i < Used(m.Indices, m.IndexCount); ++i) {
        int16_t& index = m.Indices[static_cast<size_t>(i)];
        if (index > deleted) index = static_cast<int16_t>(index - 1);
    }
    ShiftGroupRanges(m, deleted, -1);
    if (v > 0) v -= 1;
    KeepInsideVertices(m);
}

// Triangles are edited only where the current one is whole.
bool TriangleIsWhole(const ModelData& m) {
    return SelectedTriangle >= 0 &&
           3 * static_cast<int64_t>(SelectedTriangle) + 2 < Used(m.Indices, m.IndexCount);
}

void InsertTriangle(ModelData& m) {
    if (!TriangleIsWhole(m) || m.IndexCount > std::numeric_limits<int32_t>::max() - 3) return;
    const int64_t first = 3 * static_cast<int64_t>(SelectedTriangle);
    m.IndexCount += 3;
    GrowTo(m.Indices, m.IndexCount);
    // From the end down, so the copy of triangle T lands in T + 1.
    for (int64_t n = m.IndexCount - 1; n >= first + 3; --n) {
        m.Indices[static_cast<size_t>(n)] = m.Indices[static_cast<size_t>(n - 3)];
    }
}

void DeleteTriangle(ModelData& m) {
    if (m.IndexCount < 4 || !TriangleIsWhole(m)) return;
    const int64_t first = 3 * static_cast<int64_t>(SelectedTriangle);
    for (int64_t n = first; n <= m.IndexCount - 4; ++n) {
        m.Indices[static_cast<size_t>(n)] = m.Indices[static_cast<size_t>(n + 3)];
    }
    m.IndexCount -= 3;
    if (SelectedTriangle > 0) SelectedTriangle -= 1;
}

void InsertGroup(ModelData& m) {
    int32_t& g = SelectedGroup;
    const bool inside = g >= 0 && g < Used(m.Groups, m.GroupCount);
    if (m.GroupCount >= kMaxInteger || !(inside || m.GroupCount == 0)) return;
    m.GroupCount = static_cast<int16_t>(m.GroupCount + 1);
    GrowTo(m.Groups, m.GroupCount);
    MatchJointsToGroups();
    for (int32_t n = m.GroupCount - 1; n >= g + 1; --n) {
        m.Groups[static_cast<size_t>(n)] = m.Groups[static_cast<size_t>(n - 1)];
    }
}

void DeleteGroup(ModelData& m) {
    int32_t& g = SelectedGroup;
    if (m.GroupCount < 2 || g < 0 || g >= Used(m.Groups, m.GroupCount)) return;
    for (int32_t n = g; n <= m.GroupCount - 2; ++n) {
        m.Groups[static_cast<size_t>(n)] = m.Groups[static_cast<size_t>(n + 1)];
    }
    m.GroupCount = static_cast<int16_t>(m.GroupCount - 1);
    m.Groups.resize(static_cast<size_t>(m.GroupCount));
    MatchJointsToGroups();
    if (g > 0) g -= 1;
}

void InsertListSlot(ModelData& m) {
    int32_t& s = SelectedListSlot;
    const bool inside = s >= 0 && s < Used(m.GroupList, m.GroupListCount);
    if (m.GroupListCount >= kMaxInteger || !(inside || m.GroupListCount == 0)) return;
    m.GroupListCount = static_cast<int16_t>(m.GroupListCount + 1);
    GrowTo(m.GroupList, m.GroupListCount);
    for (int32_t n = m.GroupListCount - 1; n >= s + 1; --n) {
        m.GroupList[static_cast<size_t>(n)] = m.GroupList[static_cast<size_t>(n - 1)];
    }
}

void DeleteListSlot(ModelData& m) {
    int32_t& s = SelectedListSlot;
    if (m.GroupListCount < 2 || s < 0 || s >= Used(m.GroupList, m.GroupListCount)) return;
    for (int32_t n = s; n <= m.GroupListCount - 2; ++n) {
        m.GroupList[static_cast<size_t>(n)] = m.GroupList[static_cast<size_t>(n + 1)];
    }
    m.GroupListCount = static_cast<int16_t>(m.GroupListCount - 1);
    if (s > 0) s -= 1;
}

void StructuralEdit(int entry) {
    ModelData& m = EditedModel();
    switch (entry) {
        case EntryInsertVertex:
            InsertVertex(m);
            break;
        case EntryDeleteVertex:
            DeleteVertex(m);
            break;
        case EntryInsertTriangle:
            InsertTriangle(m);
            break;
        case EntryDeleteTriangle:
            DeleteTriangle(m);
            break;
        case EntryInsertGroup:
            InsertGroup(m);
            break;
        case EntryDeleteGroup:
            DeleteGroup(m);
            break;
        case EntryInsertListSlot:
            InsertListSlot(m);
            break;
        case EntryDeleteListSlot:
            DeleteListSlot(m);
            break;
        default:
            return;
    }
    ++EditedModelSerial;
}

// A selection past the end starts again at 0, one below 0 goes to the last element; with an
// empty list it stays at 0.
void Wrap(int32_t& selection, int64_t count) {
    if (selection > count - 1) {
        selection = 0;
    } else if (selection < 0) {
        selection = static_cast<int32_t>(count - 1);
    }
    if (selection < 0) selection = 0;
}

bool Inside(const ClickItem& entry, const D3DVECTOR& p) {
    return entry.X < p.x && p.x < entry.X + entry.Width && entry.Y - entry.Height < p.y &&
           p.y < entry.Y;
}

}  // namespace

void ResetEditorState() {
    SelectedItem = 0;
    EditMode = 0;
    EditText.clear();
    SelectedVertex = SelectedTriangle = SelectedGroup = SelectedListSlot = 0;
}

std::string EditorValueText(int entry) {
    if (Models.empty()) return {};
    if (entry == EntryVertexColour) {
        const ModelVertex* v = CurrentVertex();
        return v ? HexText(v->Color) : std::string();
    }
    if (const float* f = SingleField(entry)) return SingleText(*f);
    if (const int32_t* l = LongField(entry)) return std::to_string(*l);
    if (const int16_t* i = IntegerField(entry)) return std::to_string(*i);
    return {};
}

bool WriteEditorValue(int entry, const std::string& text) {
    if (Models.empty()) return false;
    bool written = false;
    if (entry == EntryVertexColour) {
        ModelVertex* v = CurrentVertex();
        const std::optional<int32_t> colour = ToLong(Val("&H" + text));
        if (v && colour) {
            v->Color = static_cast<uint32_t>(*colour);
            written = true;
        }
    } else if (float* f = SingleField(entry)) {
        if (const std::optional<float> value = ToSingle(Val(text))) {
            *f = *value;
            written = true;
        }
    } else if (int32_t* l = LongField(entry)) {
        if (const std::optional<int32_t> value = ToLong(Val(text))) {
            *l = *value;
            written = true;
        }
    } else if (int16_t* i = IntegerField(entry)) {
        if (const std::optional<int16_t> value = ToInteger(Val(text))) {
            *i = *value;
            written = true;
        }
    }
    if (written && ChangesModel(entry)) ++EditedModelSerial;
    return written;
}

void EditorClick(const D3DVECTOR& pointer) {
    if (Models.empty()) return;
    if (EditMode == 0) SelectedItem = kNoMenuEntry;
    // Entry 255 would read as "none", so the menu ends before it.
    const size_t reachable = std::min<size_t>(ClickItems.size(), kNoMenuEntry);
    for (size_t i = 0; i < reachable; ++i) {
        if (Inside(ClickItems[i], pointer)) SelectedItem = static_cast<uint8_t>(i);
    }
    if (SelectedItem == kNoMenuEntry) return;
    if (SelectedItem >= ClickItems.size()) {  // the menu shrank under a kept selection
        SelectedItem = kNoMenuEntry;
        return;
    }
    const ClickItem& entry = ClickItems[SelectedItem];
    const int item = SelectedItem;

    const bool refused = item == EntryInsertVertex && !CanInsertVertex();
    ShowText(refused ? std::string(kNoRoomForVertex) : entry.Label,
             {.x = entry.X, .y = entry.Y, .duration = 20, .style = 1, .fadeValue = 0});
    EditMode = kTrue;
    if (item <= EntryListSlotGroup) {
        EditText = EditorValueText(item);
    } else if (item <= EntryDeleteListSlot) {
        StructuralEdit(item);
        RangeCheck();
        EditMode = 0;
    }
}

void EditorTyping(int16_t keyAscii) {
    if (EditMode == 0) return;
    if (keyAscii != kEnter && keyAscii != kBackspace && keyAscii > 0 && keyAscii < 256 &&
        EditCharacters.find(static_cast<char>(keyAscii)) != std::string::npos) {
        EditText += static_cast<char>(keyAscii);
    }
    if (keyAscii == kBackspace && !EditText.empty()) EditText.pop_back();
    if (keyAscii == kEnter) {
        // Shift held keeps edit mode on, so several values go into the same entry.
        if (KeyReleased(vk::SHIFT)) EditMode = 0;
        const bool written =
            SelectedItem <= EntryListSlotGroup && WriteEditorValue(SelectedItem, EditText);
        const bool refused = SelectedItem <= EntryListSlotGroup && !written;
        ShowText(refused ? kNotStoredPrefix + EditText : EditText,
                 {.x = 0.5f, .y = -0.8f, .duration = 10, .style = 2, .spinY = 5, .fadeValue = 4});
    }
}

void EditorSelectionKeys(int16_t keyAscii) {
    if (EditMode != 0) return;
    switch (keyAscii) {
        case 'C':
            SelectedVertex += 1;
            break;
        case 'X':
            SelectedVertex -= 1;
            break;
        case 'B':
            SelectedTriangle += 1;
            break;
        case 'V':
            SelectedTriangle -= 1;
            break;
        case 'M':
            SelectedGroup += 1;
            break;
        case 'N':
            SelectedGroup -= 1;
            break;
        case 'D':
            SelectedListSlot += 1;
            break;
        case 'S':
            SelectedListSlot -= 1;
            break;
        default:
            break;
    }
}

void RangeCheck() {
    if (Models.empty()) return;
    ModelData& m = EditedModel();
    const int64_t vc = m.VertexCount, ic = m.IndexCount, gc = m.GroupCount;
    Wrap(SelectedVertex, vc);

    const int64_t first = 3 * static_cast<int64_t>(SelectedTriangle);
    if (first + 2 > ic - 1) {
        SelectedTriangle = 0;
    } else if (SelectedTriangle < 0) {
        SelectedTriangle = ToLong((static_cast<double>(ic) - 1) / 3 - 1).value_or(0);
        if (SelectedTriangle < 0) SelectedTriangle = 0;  // no whole triangle
    }

    Wrap(SelectedGroup, gc);
    Wrap(SelectedListSlot, m.GroupListCount);

    const auto lastVertex = static_cast<int16_t>(std::max<int64_t>(vc - 1, 0));
    for (int corner = 0; corner < 3; ++corner) {
        if (int16_t* index = CurrentCorner(corner))
            *index = std::clamp<int16_t>(*index, 0, lastVertex);
    }

    if (ModelGroup* g = CurrentGroup()) {
        if (g->FirstVertex > vc - 1) g->FirstVertex = static_cast<int32_t>(vc - 1);
        if (g->FirstVertex < 0) g->FirstVertex = 0;
        if (static_cast<int64_t>(g->FirstVertex) + g->GroupVertexCount > vc) {
            g->GroupVertexCount = static_cast<int32_t>(vc - g->FirstVertex);
        } else if (g->GroupVertexCount < 1) {
            // One vertex, unless there is none to count.
            g->GroupVertexCount = static_cast<int32_t>(std::min<int64_t>(1, vc - g->FirstVertex));
        }
    }

    const auto lastGroup = static_cast<int16_t>(gc - 1);
    if (int16_t* slot = CurrentListSlot())
        *slot = std::clamp<int16_t>(*slot, -1, std::max<int16_t>(lastGroup, -1));
    for (int64_t i = 0; i < Used(m.GroupList, m.GroupListCount); ++i) {
        int16_t& e = m.GroupList[static_cast<size_t>(i)];
        if (e > lastGroup) e = lastGroup;
    }
}

// DirectX 7 error numbers by constant name, as the automation library gives them.
#pragma once

#include <cstdint>

constexpr int32_t DxHResult(uint32_t value) {
    return static_cast<int32_t>(value);
}
constexpr int32_t MakeDdHResult(int code) {
    return DxHResult(0x88760000u + static_cast<uint32_t>(code));
}

constexpr int32_t DD_OK = 0;
constexpr int32_t DDERR_GENERIC = DxHResult(0x80004005u);
constexpr int32_t DDERR_UNSUPPORTED = DxHResult(0x80004001u);
constexpr int32_t DDERR_INVALIDPARAMS = 5;
constexpr int32_t DDERR_OUFOFMEMORY = 7;
constexpr int32_t DDERR_INVALIDCAPS = MakeDdHResult(100);
constexpr int32_t DDERR_INVALIDMODE = MakeDdHResult(170);
constexpr int32_t DDERR_INVALIDOBJECT = MakeDdHResult(173);
constexpr int32_t DDERR_INVALIDPIXELFORMAT = MakeDdHResult(145);
constexpr int32_t DDERR_INVALIDRECT = MakeDdHResult(150);
constexpr int32_t DDERR_NOEXCLUSIVEMODE = MakeDdHResult(225);
constexpr int32_t DDERR_NOTFOUND = MakeDdHResult(255);
constexpr int32_t DDERR_SURFACEALREADYATTACHED = MakeDdHResult(410);
constexpr int32_t DDERR_TOOBIGSIZE = MakeDdHResult(470);
constexpr int32_t DDERR_PRIMARYSURFACEALREADYEXISTS = MakeDdHResult(564);
constexpr int32_t DDERR_NOTFLIPPABLE = MakeDdHResult(582);
constexpr int32_t DDERR_NOTLOCKED = MakeDdHResult(584);
constexpr int32_t DDERR_NODC = MakeDdHResult(586);
constexpr int32_t DDERR_DCALREADYCREATED = MakeDdHResult(620);

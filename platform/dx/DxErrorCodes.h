// DirectX 7 error numbers by constant name, as the automation library gives them: mostly the
// components' HRESULTs, a few generic COM codes, and a few plain run-time error numbers. Some
// names keep the error tables' own spelling; they carry the number of the constant they mean.
#pragma once

#include <cstdint>

constexpr int32_t DxHResult(uint32_t value) {
    return static_cast<int32_t>(value);
}
constexpr int32_t MakeDdHResult(int code) {
    return DxHResult(0x88760000u + static_cast<uint32_t>(code));
}
constexpr int32_t MakeDsHResult(int code) {
    return DxHResult(0x88780000u + static_cast<uint32_t>(code));
}

// Generic COM codes some DirectX constants stand for.
constexpr int32_t kComFail = DxHResult(0x80004005u);            // E_FAIL
constexpr int32_t kComNotImpl = DxHResult(0x80004001u);         // E_NOTIMPL
constexpr int32_t kComNoInterface = DxHResult(0x80004002u);     // E_NOINTERFACE
constexpr int32_t kComInvalidArg = DxHResult(0x80070057u);      // E_INVALIDARG
constexpr int32_t kComOutOfMemory = DxHResult(0x8007000Eu);     // E_OUTOFMEMORY
constexpr int32_t kComNoAggregation = DxHResult(0x80040110u);   // CLASS_E_NOAGGREGATION
constexpr int32_t kComNotInitialized = DxHResult(0x800401F0u);  // CO_E_NOTINITIALIZED

// Direct3D immediate mode.
constexpr int32_t D3D_OK = 0;
constexpr int32_t D3DERR_BADMAJORVERSION = MakeDdHResult(700);
constexpr int32_t D3DERR_BADMINORVERSION = MakeDdHResult(701);
constexpr int32_t D3DERR_INVALID_DEVICE = MakeDdHResult(705);
constexpr int32_t D3DERR_INITFAILED = MakeDdHResult(706);
constexpr int32_t D3DERR_DEVICEAGGREGATED = MakeDdHResult(707);
constexpr int32_t D3DERR_TEXTURE_NO_SUPPORT = MakeDdHResult(720);
constexpr int32_t D3DERR_TEXTURE_CREATE_FAILED = MakeDdHResult(721);
constexpr int32_t D3DERR_TEXTURE_DESTROY_FAILED = MakeDdHResult(722);
constexpr int32_t D3DERR_TEXTURE_LOCK_FAILED = MakeDdHResult(723);
constexpr int32_t D3DERR_TEXTURE_UNLOCK_FAILED = MakeDdHResult(724);
constexpr int32_t D3DERR_TEXTURE_LOAD_FAILED = MakeDdHResult(725);
constexpr int32_t D3DERR_TEXTURE_SWAP_FAILED = MakeDdHResult(726);
constexpr int32_t D3DERR_TEXTURE_LOCKED = MakeDdHResult(727);
constexpr int32_t D3DERR_NO_LOCKED = MakeDdHResult(728);       // D3DERR_TEXTURE_NOT_LOCKED
constexpr int32_t D3DERR_GETSURF_FAILED = MakeDdHResult(729);  // D3DERR_TEXTURE_GETSURF_FAILED
constexpr int32_t D3DERR_MATRIX_CREATE_FAILED = MakeDdHResult(730);
constexpr int32_t D3DERR_MATRIX_DESTROY_FAILED = MakeDdHResult(731);
constexpr int32_t D3DERR_MATRIX_SETDATA_FAILED = MakeDdHResult(732);
constexpr int32_t D3DERR_MATRIX_GETDATA_FAILED = MakeDdHResult(733);
constexpr int32_t D3DERR_SETVIEWPORTDATA_FAILED = MakeDdHResult(734);
constexpr int32_t D3DERR_INVALIDCURRENTVIEWPORT = MakeDdHResult(735);
constexpr int32_t D3DERR_INVALIDPRIMITIVETYPE = MakeDdHResult(736);
constexpr int32_t D3DERR_INVALIDVERTEXTYPE = MakeDdHResult(737);
constexpr int32_t D3DERR_TEXTURE_BADSIZE = MakeDdHResult(738);
constexpr int32_t D3DERR_INVALIDRAMPTEXTURE = MakeDdHResult(739);
constexpr int32_t D3DERR_MATERIA_CREATE_FAILED = MakeDdHResult(740);  // ..._MATERIAL_CREATE_...
constexpr int32_t D3DERR_MATERIAL_DESTROY_FAILED = MakeDdHResult(741);
constexpr int32_t D3DERR_MATERIAL_SETDATA_FAILED = MakeDdHResult(742);
constexpr int32_t D3DERR_MATERIAL_GETDATA_FAILED = MakeDdHResult(743);
constexpr int32_t D3DERR_INVALIDPALETTE = MakeDdHResult(744);
constexpr int32_t D3DERR_ZBUFF_NEEDS_SYSTEMMEMORY = MakeDdHResult(745);
constexpr int32_t D3DERR_ZBUFF_NEEDS_VIDEOMEMORY = MakeDdHResult(746);
constexpr int32_t D3DERR_SURFACENOTINVIDMEM = MakeDdHResult(747);
constexpr int32_t D3DERR_LIGHT_SET_FAILED = MakeDdHResult(750);
constexpr int32_t D3DERR_LIGHTHASVIEWPORT = MakeDdHResult(751);
constexpr int32_t D3DERR_LIGHTNOTINTHISVIEWPORT = MakeDdHResult(752);
constexpr int32_t D3DERR_SCENE_IN_SCENE = MakeDdHResult(760);
constexpr int32_t D3DERR_SCENE_NOT_IN_SCENE = MakeDdHResult(761);
constexpr int32_t D3DERR_SCENE_BEGIN_FAILED = MakeDdHResult(762);
constexpr int32_t D3DERR_SCENE_END_FAILED = MakeDdHResult(763);
constexpr int32_t D3DERR_INBEGIN = MakeDdHResult(770);
constexpr int32_t D3DERR_NOTINBEGIN = MakeDdHResult(771);
constexpr int32_t D3DERR_NOVIEWPORTS = MakeDdHResult(772);
constexpr int32_t D3DERR_VIEWPORTDATANOTSET = MakeDdHResult(773);
constexpr int32_t D3DERR_VIEWPORTHASNODEVICE = MakeDdHResult(774);
constexpr int32_t D3DERR_NOCURRENTVIEWPORT = MakeDdHResult(775);
constexpr int32_t D3DERR_INVALIDVERTEXFORMAT = MakeDdHResult(2048);
constexpr int32_t D3DERR_COLORKEYATTACHED = MakeDdHResult(2050);
constexpr int32_t D3DERR_VERTEXBUFFEROPTIMIZED = MakeDdHResult(2060);
constexpr int32_t D3DERR_VBUF_CREATE_FAILED = MakeDdHResult(2061);
constexpr int32_t D3DERR_VERTEXBUFFERLOCKED = MakeDdHResult(2062);
constexpr int32_t D3DERR_VERTEXBUFFERUNLOCKFAILED = MakeDdHResult(2063);
constexpr int32_t D3DERR_ZBUFFER_NOTPRESENT = MakeDdHResult(2070);
constexpr int32_t D3DERR_STENCILBUFFER_NOTPRESENT = MakeDdHResult(2071);
constexpr int32_t D3DERR_WRONGTEXTUREFORMAT = MakeDdHResult(2072);
constexpr int32_t D3DERR_UNSUPPORTEDCOLOROPERATION = MakeDdHResult(2073);
constexpr int32_t D3DERR_UNSUPPORTEDCOLORARG = MakeDdHResult(2074);
constexpr int32_t D3DERR_UNSUPPORTEDALPHAOPERATION = MakeDdHResult(2075);
constexpr int32_t D3DERR_UNSUPPORTEDALPHAARG = MakeDdHResult(2076);
constexpr int32_t D3DERR_TOOMANYOPERATIONS = MakeDdHResult(2077);
constexpr int32_t D3DERR_CONFLICTINGTEXTUREFILTER = MakeDdHResult(2078);
constexpr int32_t D3DERR_UNSUPPORTEDFACTORVALUE = MakeDdHResult(2079);
constexpr int32_t D3DERR_CONFLICTINGRENDERSTATE = MakeDdHResult(2081);
constexpr int32_t D3DERR_UNSUPPORTEDTEXTUREFILTER = MakeDdHResult(2082);
constexpr int32_t D3DERR_TOOMANYPRIMATIVES = MakeDdHResult(2083);  // D3DERR_TOOMANYPRIMITIVES
constexpr int32_t D3DERR_INVALIDMATRIX = MakeDdHResult(2084);
constexpr int32_t D3DERR_CONFLICTINGTEXTUREPALETTE = MakeDdHResult(2086);
constexpr int32_t D3DERR_INVALIDSTATEBLOCK = MakeDdHResult(2100);
constexpr int32_t D3DERR_INBEGINSTATEBLOCK = MakeDdHResult(2101);
constexpr int32_t D3DERR_NOTINBEGINSTATEBLOCK = MakeDdHResult(2102);
constexpr int32_t D3DERR_INOVERLAYSTATEBLOCK = MakeDdHResult(2103);

// DirectDraw.
constexpr int32_t DD_OK = 0;
constexpr int32_t DDERR_GENERIC = kComFail;
constexpr int32_t DDERR_UNSUPPORTED = kComNotImpl;
constexpr int32_t DDERR_INVALIDPARAMS = 5;  // E_INVALIDARG surfaces as run-time error 5
constexpr int32_t DDERR_OUFOFMEMORY = 7;    // DDERR_OUTOFMEMORY surfaces as run-time error 7
constexpr int32_t DDERR_NOTINITIALIZED = kComNotInitialized;
constexpr int32_t E_INVALIDINTERFACE = kComNoInterface;
constexpr int32_t E_OUTOFMEMORY = kComOutOfMemory;
constexpr int32_t DDERR_ALREADYINITIALIZED = MakeDdHResult(5);
constexpr int32_t DDERR_CANNOTATTACHSURFACE = MakeDdHResult(10);
constexpr int32_t DDERR_CANNOTDETACHSURFACE = MakeDdHResult(20);
constexpr int32_t DDERR_CURRENTLYNOTAVAIL = MakeDdHResult(40);
constexpr int32_t DDERR_EXCEPTION = MakeDdHResult(55);
constexpr int32_t DDERR_HEIGHTALIGN = MakeDdHResult(90);
constexpr int32_t DDERR_INCOMPATIBLEPRIMARY = MakeDdHResult(95);
constexpr int32_t DDERR_INVALIDCAPS = MakeDdHResult(100);
constexpr int32_t DDERR_INVALIDCLIPLIST = MakeDdHResult(110);
constexpr int32_t DDERR_INVALIDMODE = MakeDdHResult(120);
constexpr int32_t DDERR_INVALIDOBJECT = MakeDdHResult(130);
constexpr int32_t DDERR_INVALIDPIXELFORMAT = MakeDdHResult(145);
constexpr int32_t DDERR_INVALIDRECT = MakeDdHResult(150);
constexpr int32_t DDERR_LOCKEDSURFACES = MakeDdHResult(160);
constexpr int32_t DDERR_NO3D = MakeDdHResult(170);
constexpr int32_t DDERR_NOALPHAHW = MakeDdHResult(180);
constexpr int32_t DDERR_NOSTEREOHARDWARE = MakeDdHResult(181);
constexpr int32_t DDERR_NOSURFACELEFT = MakeDdHResult(182);
constexpr int32_t DDERR_NOCLIPLIST = MakeDdHResult(205);
constexpr int32_t DDERR_NOCOLORCONVHW = MakeDdHResult(210);
constexpr int32_t DDERR_NOCOOPERATIVELEVELSET = MakeDdHResult(212);
constexpr int32_t DDERR_NOCOLORKEY = MakeDdHResult(215);
constexpr int32_t DDERR_NOCOLORKEYHW = MakeDdHResult(220);
constexpr int32_t DDERR_NODIRECTDRAWSUPPORT = MakeDdHResult(222);
constexpr int32_t DDERR_NOEXCLUSIVEMODE = MakeDdHResult(225);
constexpr int32_t DDERR_NOFLIPHW = MakeDdHResult(230);
constexpr int32_t DDERR_NOGDI = MakeDdHResult(240);
constexpr int32_t DDERR_NOMIRRORHW = MakeDdHResult(250);
constexpr int32_t DDERR_NOTFOUND = MakeDdHResult(255);
constexpr int32_t DDERR_NOOVERLAYHW = MakeDdHResult(260);
constexpr int32_t DDERR_OVERLAPPINGRECTS = MakeDdHResult(270);
constexpr int32_t DDERR_NORASTEROPHW = MakeDdHResult(280);
constexpr int32_t DDERR_NOROTATIONHW = MakeDdHResult(290);
constexpr int32_t DDERR_NOSTRETCHHW = MakeDdHResult(310);
constexpr int32_t DDERR_NOT4BITCOLOR = MakeDdHResult(316);
constexpr int32_t DDERR_NOT4BITCOLORINDEX = MakeDdHResult(317);
constexpr int32_t DDERR_NOT8BITCOLOR = MakeDdHResult(320);
constexpr int32_t DDERR_NOTEXTUREHW = MakeDdHResult(330);
constexpr int32_t DDERR_NOVSYNCHW = MakeDdHResult(335);
constexpr int32_t DDERR_NOZBUFFERHW = MakeDdHResult(340);
constexpr int32_t DDERR_NOZOVERLAYHW = MakeDdHResult(350);
constexpr int32_t DDERR_OUTOFCAPS = MakeDdHResult(360);
constexpr int32_t DDERR_OUTOFVIDEOMEMORY = MakeDdHResult(380);
constexpr int32_t DDERR_OVERLAYCANTCLIP = MakeDdHResult(382);
constexpr int32_t DDERR_OVERLAYCOLORKEYONLYONEACTIVE = MakeDdHResult(384);
constexpr int32_t DDERR_PALETTEBUSY = MakeDdHResult(387);
constexpr int32_t DDERR_COLORKEYNOTSET = MakeDdHResult(400);
constexpr int32_t DDERR_SURFACEALREADYATTACHED = MakeDdHResult(410);
constexpr int32_t DDERR_SURFACEALREADYDEPENDANT = MakeDdHResult(420);  // ..._DEPENDENT
constexpr int32_t DDERR_SURFACEBUSY = MakeDdHResult(430);
constexpr int32_t DDERR_CANTLOCKSURFACE = MakeDdHResult(435);
constexpr int32_t DDERR_SURFACEISOBSCURED = MakeDdHResult(440);
constexpr int32_t DDERR_SURFACELOST = MakeDdHResult(450);
constexpr int32_t DDERR_SURFACENOTATTACHED = MakeDdHResult(460);
constexpr int32_t DDERR_TOOBIGHEIGHT = MakeDdHResult(470);
constexpr int32_t DDERR_TOOBIGSIZE = MakeDdHResult(480);
constexpr int32_t DDERR_TOOBIGWIDTH = MakeDdHResult(490);
constexpr int32_t DDERR_INSUPPORTEDFORMAT = MakeDdHResult(510);  // DDERR_UNSUPPORTEDFORMAT
constexpr int32_t DDERR_UNSUPPORTEDMASK = MakeDdHResult(520);
constexpr int32_t DDERR_INVALIDSTREAM = MakeDdHResult(521);
constexpr int32_t DDERR_VERTICALBLANKINPROGRESS = MakeDdHResult(537);
constexpr int32_t DDERR_WASSTILLDRAWING = MakeDdHResult(540);
constexpr int32_t DDERR_XALIGN = MakeDdHResult(560);
constexpr int32_t DDERR_INVALIDDIRECTDRAWGUID = MakeDdHResult(561);
constexpr int32_t DDERR_DIRECTDRAWALREADYCREATED = MakeDdHResult(562);
constexpr int32_t DDERR_NODIRECTDRAWHW = MakeDdHResult(563);
constexpr int32_t DDERR_PRIMARYSURFACEALREADYEXISTS = MakeDdHResult(564);
constexpr int32_t DDERR_NOEMULATION = MakeDdHResult(565);
constexpr int32_t DDERR_REGIONTOOSMALL = MakeDdHResult(566);
constexpr int32_t DDERR_CLIPPERISUSINGHWND = MakeDdHResult(567);
constexpr int32_t DDERR_NOCLIPPERATTACHED = MakeDdHResult(568);
constexpr int32_t DDERR_NOHWND = MakeDdHResult(569);
constexpr int32_t DDERR_HWNDSUBCLASSED = MakeDdHResult(570);
constexpr int32_t DDERR_HWNDALREADYSET = MakeDdHResult(571);
constexpr int32_t DDERR_NOPALETTEATTACHED = MakeDdHResult(572);
constexpr int32_t DDERR_NOPALETTEHW = MakeDdHResult(573);
constexpr int32_t DDERR_BLTFASTCANTCLIP = MakeDdHResult(574);
constexpr int32_t DDERR_NOBLTHW = MakeDdHResult(575);
constexpr int32_t DDERR_NODDROPSHW = MakeDdHResult(576);
constexpr int32_t DDERR_OVERLAYNOTVISIBLE = MakeDdHResult(577);
constexpr int32_t DDERR_INVALIDPOSITION = MakeDdHResult(579);
constexpr int32_t DDERR_NOTAOVERLAYSURFACE = MakeDdHResult(580);
constexpr int32_t DDERR_EXCLUSIVEMODEALREADYSET = MakeDdHResult(581);
constexpr int32_t DDERR_NOTFLIPPABLE = MakeDdHResult(582);
constexpr int32_t DDERR_CANTDUPLICATE = MakeDdHResult(583);
constexpr int32_t DDERR_NOTLOCKED = MakeDdHResult(584);
constexpr int32_t DDERR_CANTCREATEDC = MakeDdHResult(585);
constexpr int32_t DDERR_NODC = MakeDdHResult(586);
constexpr int32_t DDERR_WRONGMODE = MakeDdHResult(587);
constexpr int32_t DDERR_IMPLICITLYCREATED = MakeDdHResult(588);
constexpr int32_t DDERR_NOTPALETTIZED = MakeDdHResult(589);
constexpr int32_t DDERR_UNSUPPORTEDMODE = MakeDdHResult(590);
constexpr int32_t DDERR_NOMIPMAPHW = MakeDdHResult(591);
constexpr int32_t DDERR_INVALIDSURFACETYPE = MakeDdHResult(592);
constexpr int32_t DDERR_NOOPTIMIZEHW = MakeDdHResult(600);
constexpr int32_t DDERR_NOTLOADED = MakeDdHResult(601);
constexpr int32_t DDERR_NOFOCUSWINDOW = MakeDdHResult(602);
constexpr int32_t DDERR_DCALREADYCREATED = MakeDdHResult(620);
constexpr int32_t DDERR_NONLOCALVIDMEM = MakeDdHResult(630);  // DDERR_NONONLOCALVIDMEM
constexpr int32_t DDERR_CANTPAGELOCK = MakeDdHResult(640);
constexpr int32_t DDERR_CANTPAGEUNLOCK = MakeDdHResult(660);
constexpr int32_t DDERR_NOTPAGELOCKED = MakeDdHResult(680);
constexpr int32_t DDERR_MOREDATA = MakeDdHResult(690);
constexpr int32_t DDERR_EXPIRED = MakeDdHResult(691);
constexpr int32_t DDERR_VIDEONOTACTIVE = MakeDdHResult(695);
constexpr int32_t DDERR_DEVICEDOESNOTOWNSURFACE = MakeDdHResult(699);  // ..._DEVICEDOESNTOWN...

// DirectSound.
constexpr int32_t DS_OK = 0;
constexpr int32_t DSERR_GENERIC = kComFail;
constexpr int32_t DSERR_INVALIDPARAM = kComInvalidArg;
constexpr int32_t DSERR_UNSUPPORTED = kComNotImpl;
constexpr int32_t DSERR_NOAGGREGATION = kComNoAggregation;
constexpr int32_t DSERR_OUTOFMEMORY = 7;    // E_OUTOFMEMORY surfaces as run-time error 7
constexpr int32_t DSERR_NOINTERFACE = 430;  // E_NOINTERFACE surfaces as run-time error 430
constexpr int32_t DSERR_ALLOCATED = MakeDsHResult(10);
constexpr int32_t DSERR_CONTROLUNAVAIL = MakeDsHResult(30);
constexpr int32_t DSERR_INVALIDCALL = MakeDsHResult(50);
constexpr int32_t DSERR_PRIOLEVELNEEDED = MakeDsHResult(70);
constexpr int32_t DSERR_BADFORMAT = MakeDsHResult(100);
constexpr int32_t DSERR_NODRIVER = MakeDsHResult(120);
constexpr int32_t DSERR_ALREADYINITIALIZED = MakeDsHResult(130);
constexpr int32_t DSERR_BUFFERLOST = MakeDsHResult(150);
constexpr int32_t DSERR_OTHERAPPHASPRIO = MakeDsHResult(160);
constexpr int32_t DSERR_UNINITIALIZED = MakeDsHResult(170);

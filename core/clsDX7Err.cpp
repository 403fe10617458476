#include "core/clsDX7Err.h"

#include <array>

#include "platform/dx/DxErrorCodes.h"

namespace {

// Name and number come from the same identifier, so a row cannot pair a name with the wrong code.
#define ROW(constant, description)       \
    DxErrorRow {                         \
#constant, constant, description \
    }

constexpr std::string_view kNone = "<NONE>";

constexpr std::array kD3DIMRows = {
    ROW(D3D_OK, "No error occurred."),
    ROW(D3DERR_BADMAJORVERSION,
        "The requested service is not available in this major version of DirectX."),
    ROW(D3DERR_BADMINORVERSION,
        "The requested service is not available in this minor version of DirectX."),
    ROW(D3DERR_COLORKEYATTACHED,
        "The application tried to create a texture from a surface that has a color key attached."),
    ROW(D3DERR_CONFLICTINGTEXTUREFILTER, "The current texture filters cannot be used together."),
    ROW(D3DERR_CONFLICTINGTEXTUREPALETTE,
        "The current textures cannot be used at the same time, usually because a multitexture "
        "device needs all palettized textures to share one palette."),
    ROW(D3DERR_CONFLICTINGRENDERSTATE, "The render states currently set cannot be used together."),
    ROW(D3DERR_DEVICEAGGREGATED,
        "The render target cannot be changed on a device that was obtained by querying the "
        "render target surface."),
    ROW(D3DERR_INITFAILED,
        "The device could not be created because the Direct3D object failed to initialize it."),
    ROW(D3DERR_INBEGIN, "The requested operation cannot be done inside a Begin and End pair."),
    ROW(D3DERR_INBEGINSTATEBLOCK,
        "The operation cannot be completed while a state block is being recorded. Finish the "
        "recording with EndStateBlock and try again."),
    ROW(D3DERR_INOVERLAYSTATEBLOCK,
        "The operation is not allowed while a state block is applied as an overlay."),
    ROW(D3DERR_INVALID_DEVICE, "The requested device type is not valid."),
    ROW(D3DERR_INVALIDCURRENTVIEWPORT, "The currently selected viewport is not valid."),
    ROW(D3DERR_INVALIDMATRIX,
        "The operation could not be completed because the combination of the current "
        "transformation matrices is not valid."),
    ROW(D3DERR_INVALIDPALETTE, "The palette associated with the surface is not valid."),
    ROW(D3DERR_INVALIDPRIMITIVETYPE,
        "The primitive type given to the drawing method is not valid."),
    ROW(D3DERR_INVALIDRAMPTEXTURE,
        "Ramp mode is in use and the texture handle in the current material does not match the "
        "texture handle bound as a render state."),
    ROW(D3DERR_INVALIDSTATEBLOCK, "The state block handle is not valid."),
    ROW(D3DERR_INVALIDVERTEXFORMAT,
        "The combination of flexible vertex format flags given is not valid."),
    ROW(D3DERR_INVALIDVERTEXTYPE, "The vertex type given is not valid."),
    ROW(D3DERR_LIGHT_SET_FAILED, "The lighting parameters could not be set on the light."),
    ROW(D3DERR_LIGHTHASVIEWPORT,
        "The light already belongs to a viewport and cannot be added to another."),
    ROW(D3DERR_LIGHTNOTINTHISVIEWPORT, "The light does not belong to this viewport."),
    ROW(D3DERR_MATERIA_CREATE_FAILED,
        "The material could not be created, typically because memory ran out."),
    ROW(D3DERR_MATERIAL_DESTROY_FAILED, "The memory used by the material could not be released."),
    ROW(D3DERR_MATERIAL_GETDATA_FAILED, "The material parameters could not be read."),
    ROW(D3DERR_MATERIAL_SETDATA_FAILED, "The material parameters could not be set."),
    ROW(D3DERR_MATRIX_CREATE_FAILED,
        "The matrix could not be created, typically because memory ran out."),
    ROW(D3DERR_MATRIX_DESTROY_FAILED, "The memory used by the matrix could not be released."),
    ROW(D3DERR_MATRIX_GETDATA_FAILED,
        "The matrix data could not be read, possibly because no matrix has been created."),
    ROW(D3DERR_MATRIX_SETDATA_FAILED,
        "The matrix data could not be set, possibly because no matrix has been created."),
    ROW(D3DERR_NOCURRENTVIEWPORT, "There is no current viewport to operate on."),
    ROW(D3DERR_NOTINBEGIN,
        "The requested rendering operation is only allowed between a Begin and End pair."),
    ROW(D3DERR_NOTINBEGINSTATEBLOCK,
        "EndStateBlock was called without a matching BeginStateBlock."),
    ROW(D3DERR_NOVIEWPORTS, "The device has no viewports associated with it."),
    ROW(D3DERR_SCENE_BEGIN_FAILED, "The scene could not be begun."),
    ROW(D3DERR_SCENE_END_FAILED, "The scene could not be ended."),
    ROW(D3DERR_SCENE_IN_SCENE, "A scene cannot be begun because one is already in progress."),
    ROW(D3DERR_SCENE_NOT_IN_SCENE, "A scene cannot be ended because none is in progress."),
    ROW(D3DERR_SETVIEWPORTDATA_FAILED, "The viewport parameters could not be set."),
    ROW(D3DERR_STENCILBUFFER_NOTPRESENT,
        "The operation needs a stencil buffer, but none is attached to the render target."),
    ROW(D3DERR_SURFACENOTINVIDMEM,
        "The device could not be created because the render target is not in display memory."),
    ROW(D3DERR_TEXTURE_BADSIZE, "The dimensions of the texture are not valid for this device."),
    ROW(D3DERR_TEXTURE_CREATE_FAILED,
        "The texture handle could not be created, typically because of a driver or memory "
        "failure."),
    ROW(D3DERR_TEXTURE_DESTROY_FAILED, "The device could not release the texture."),
    ROW(D3DERR_GETSURF_FAILED, "The DirectDraw surface behind the texture could not be obtained."),
    ROW(D3DERR_TEXTURE_LOAD_FAILED, "The texture could not be loaded."),
    ROW(D3DERR_TEXTURE_LOCK_FAILED, "The texture could not be locked."),
    ROW(D3DERR_TEXTURE_LOCKED, "The texture cannot be used while it is locked."),
    ROW(D3DERR_TEXTURE_NO_SUPPORT, "The device does not support texture mapping."),
    ROW(D3DERR_NO_LOCKED, "The texture could not be unlocked because it is not locked."),
    ROW(D3DERR_TEXTURE_SWAP_FAILED, "The texture handles could not be swapped."),
    ROW(D3DERR_TEXTURE_UNLOCK_FAILED, "The texture could not be unlocked."),
    ROW(D3DERR_TOOMANYOPERATIONS,
        "The application asks for more texture-blending operations than the device supports."),
    ROW(D3DERR_TOOMANYPRIMATIVES, "The device cannot render this many primitives in one call."),
    ROW(D3DERR_UNSUPPORTEDALPHAARG,
        "The device does not support an argument given for an alpha blending operation."),
    ROW(D3DERR_UNSUPPORTEDALPHAOPERATION,
        "The device does not support one of the alpha blending operations requested."),
    ROW(D3DERR_UNSUPPORTEDCOLORARG,
        "The device does not support an argument given for a color blending operation."),
    ROW(D3DERR_UNSUPPORTEDCOLOROPERATION,
        "The device does not support one of the color blending operations requested."),
    ROW(D3DERR_UNSUPPORTEDFACTORVALUE, "The device does not support the texture factor value."),
    ROW(D3DERR_UNSUPPORTEDTEXTUREFILTER, "The device does not support the texture filter given."),
    ROW(D3DERR_VBUF_CREATE_FAILED,
        "The vertex buffer could not be created, possibly because memory ran out."),
    ROW(D3DERR_VERTEXBUFFERLOCKED, "The vertex buffer cannot be used while it is locked."),
    ROW(D3DERR_VERTEXBUFFEROPTIMIZED,
        "The vertex buffer has been optimized and can no longer be locked."),
    ROW(D3DERR_VERTEXBUFFERUNLOCKFAILED, "The vertex buffer could not be unlocked."),
    ROW(D3DERR_VIEWPORTDATANOTSET, "The viewport parameters have not been set."),
    ROW(D3DERR_VIEWPORTHASNODEVICE,
        "The viewport must be associated with a device before this operation."),
    ROW(D3DERR_WRONGTEXTUREFORMAT,
        "The pixel format of the texture surface is not valid for this operation."),
    ROW(D3DERR_ZBUFF_NEEDS_SYSTEMMEMORY,
        "The device requires depth buffers to be in system memory."),
    ROW(D3DERR_ZBUFF_NEEDS_VIDEOMEMORY,
        "The device requires depth buffers to be in display memory."),
    ROW(D3DERR_ZBUFFER_NOTPRESENT,
        "The operation needs a depth buffer, but none is attached to the render target."),
};

constexpr std::array kDDrawRows = {
    ROW(DD_OK, "The request completed successfully."),
    ROW(DDERR_ALREADYINITIALIZED, "The object has already been initialized."),
    ROW(DDERR_BLTFASTCANTCLIP,
        "A clipper is attached to the source surface passed to BltFast, which cannot clip."),
    ROW(DDERR_CANNOTATTACHSURFACE, "The surface cannot be attached to the requested surface."),
    ROW(DDERR_CANNOTDETACHSURFACE, "The surface cannot be detached from the requested surface."),
    ROW(DDERR_CANTCREATEDC, "Windows cannot create a device context for the surface."),
    ROW(DDERR_CANTDUPLICATE,
        "Primary, flipping and implicitly created surfaces cannot be duplicated."),
    ROW(DDERR_CANTLOCKSURFACE,
        "The surface cannot be locked, for example because access to the primary surface is "
        "not allowed."),
    ROW(DDERR_CANTPAGELOCK, "The surface could not be page-locked."),
    ROW(DDERR_CANTPAGEUNLOCK, "The surface could not be page-unlocked."),
    ROW(DDERR_CLIPPERISUSINGHWND,
        "A clip list cannot be set on a clipper that is already watching a window."),
    ROW(DDERR_COLORKEYNOTSET, "No source color key has been set for this operation."),
    ROW(DDERR_CURRENTLYNOTAVAIL, "The requested support is not available at this time."),
    ROW(DDERR_DCALREADYCREATED,
        "A device context has already been handed out for this surface; only one can be held at "
        "a time."),
    ROW(DDERR_DEVICEDOESNOTOWNSURFACE,
        "A surface created by one DirectDraw device cannot be used directly by another."),
    ROW(DDERR_DIRECTDRAWALREADYCREATED,
        "A DirectDraw object for this driver has already been created in this process."),
    ROW(DDERR_EXCEPTION, "An exception occurred while performing the requested operation."),
    ROW(DDERR_EXCLUSIVEMODEALREADYSET,
        "Exclusive mode was requested while another application already holds it."),
    ROW(DDERR_EXPIRED, "The data has expired and is no longer valid."),
    ROW(DDERR_GENERIC, "An undefined error condition occurred."),
    ROW(DDERR_HEIGHTALIGN,
        "The height of the rectangle is not a multiple of the required alignment."),
    ROW(DDERR_HWNDALREADYSET,
        "The cooperative-level window cannot be changed while surfaces or palettes exist."),
    ROW(DDERR_HWNDSUBCLASSED,
        "DirectDraw cannot restore its state because the cooperative-level window has been "
        "subclassed."),
    ROW(DDERR_IMPLICITLYCREATED,
        "The surface cannot be restored because it was created implicitly."),
    ROW(DDERR_INCOMPATIBLEPRIMARY,
        "The primary surface creation request does not match the existing primary surface."),
    ROW(DDERR_INVALIDCAPS,
        "One or more of the capability bits passed to the method are incorrect."),
    ROW(DDERR_INVALIDCLIPLIST, "DirectDraw does not support the clip list given."),
    ROW(DDERR_INVALIDDIRECTDRAWGUID,
        "The GUID passed to DirectDrawCreate does not identify a DirectDraw driver."),
    ROW(DDERR_INVALIDMODE, "DirectDraw does not support the requested display mode."),
    ROW(DDERR_INVALIDOBJECT, "DirectDraw received a pointer to an object that is not valid."),
    ROW(DDERR_INVALIDPARAMS, "One or more of the parameters passed to the method are incorrect."),
    ROW(DDERR_INVALIDPIXELFORMAT, "The pixel format given is not valid."),
    ROW(DDERR_INVALIDPOSITION, "The overlay's position on its destination is no longer legal."),
    ROW(DDERR_INVALIDRECT, "The rectangle given is not valid."),
    ROW(DDERR_INVALIDSTREAM, "The stream given is not valid."),
    ROW(DDERR_INVALIDSURFACETYPE, "The surface is of the wrong type for this operation."),
    ROW(DDERR_LOCKEDSURFACES, "The operation failed because one or more surfaces are locked."),
    ROW(DDERR_MOREDATA, "There is more data available than the buffer given can hold."),
    ROW(DDERR_NO3D, "No 3D hardware or emulation is present."),
    ROW(DDERR_NOALPHAHW, "No alpha-acceleration hardware is present or available."),
    ROW(DDERR_NOBLTHW, "No blitter hardware is present."),
    ROW(DDERR_NOCLIPLIST, "No clip list is available."),
    ROW(DDERR_NOCLIPPERATTACHED, "No clipper object is attached to the surface."),
    ROW(DDERR_NOCOLORCONVHW, "No color-conversion hardware is present or available."),
    ROW(DDERR_NOCOLORKEY, "The surface does not have a color key."),
    ROW(DDERR_NOCOLORKEYHW, "There is no hardware support for the destination color key."),
    ROW(DDERR_NOCOOPERATIVELEVELSET,
        "A create method was called before the cooperative level was set."),
    ROW(DDERR_NODC, "No device context has ever been created for this surface."),
    ROW(DDERR_NODDROPSHW, "No DirectDraw raster-operation hardware is available."),
    ROW(DDERR_NODIRECTDRAWHW,
        "Hardware-only DirectDraw creation failed because the driver has no hardware support."),
    ROW(DDERR_NODIRECTDRAWSUPPORT, "DirectDraw cannot work with the current display driver."),
    ROW(DDERR_NOEMULATION, "Software emulation is not available."),
    ROW(DDERR_NOEXCLUSIVEMODE,
        "The operation requires exclusive mode, which the application does not hold."),
    ROW(DDERR_NOFLIPHW, "Flipping visible surfaces is not supported."),
    ROW(DDERR_NOFOCUSWINDOW,
        "A device window cannot be created or set before a focus window has been set."),
    ROW(DDERR_NOGDI, "No GDI is present."),
    ROW(DDERR_NOHWND,
        "The operation needs a window handle, and none was set with the cooperative level."),
    ROW(DDERR_NOMIPMAPHW, "No mipmap-capable texture-mapping hardware is present or available."),
    ROW(DDERR_NOMIRRORHW, "No mirroring hardware is present or available."),
    ROW(DDERR_NONLOCALVIDMEM,
        "Non-local display memory was requested from a device that does not support it."),
    ROW(DDERR_NOOPTIMIZEHW, "The device does not support optimized surfaces."),
    ROW(DDERR_NOOVERLAYHW, "No overlay hardware is present or available."),
    ROW(DDERR_NOPALETTEATTACHED, "No palette object is attached to the surface."),
    ROW(DDERR_NOPALETTEHW, "There is no hardware support for 16- or 256-color palettes."),
    ROW(DDERR_NORASTEROPHW, "No suitable raster-operation hardware is present or available."),
    ROW(DDERR_NOROTATIONHW, "No rotation hardware is present or available."),
    ROW(DDERR_NOSTEREOHARDWARE, "No stereo hardware is present or available."),
    ROW(DDERR_NOSTRETCHHW, "There is no hardware support for stretching."),
    ROW(DDERR_NOSURFACELEFT, "No hardware is present that supports stereo surfaces."),
    ROW(DDERR_NOT4BITCOLOR,
        "The operation needs a 4-bit color palette, and the surface does not have one."),
    ROW(DDERR_NOT4BITCOLORINDEX,
        "The operation needs a 4-bit color index palette, and the surface does not have one."),
    ROW(DDERR_NOT8BITCOLOR,
        "The operation needs an 8-bit color palette, and the surface does not have one."),
    ROW(DDERR_NOTAOVERLAYSURFACE,
        "An overlay method was called on a surface that is not an overlay."),
    ROW(DDERR_NOTEXTUREHW, "No texture-mapping hardware is present or available."),
    ROW(DDERR_NOTFLIPPABLE,
        "The surface cannot be flipped because it is not part of a flipping chain."),
    ROW(DDERR_NOTFOUND, "The requested item was not found."),
    ROW(DDERR_NOTINITIALIZED,
        "A method was called on a DirectDraw object that has not been initialized."),
    ROW(DDERR_NOTLOADED, "The surface is an optimized surface that has not been loaded yet."),
    ROW(DDERR_NOTLOCKED, "The surface is not locked, so it cannot be unlocked."),
    ROW(DDERR_NOTPAGELOCKED, "The surface cannot be page-unlocked because it is not page-locked."),
    ROW(DDERR_NOTPALETTIZED, "The surface is not palette-based."),
    ROW(DDERR_NOVSYNCHW,
        "There is no hardware support for operations synchronized to the vertical blank."),
    ROW(DDERR_NOZBUFFERHW, "There is no hardware support for depth buffers."),
    ROW(DDERR_NOZOVERLAYHW, "The hardware does not support z-ordering of overlays."),
    ROW(DDERR_OUTOFCAPS, "The hardware needed for the operation has already been allocated."),
    ROW(DDERR_OUFOFMEMORY, "DirectDraw does not have enough memory to perform the operation."),
    ROW(DDERR_OUTOFVIDEOMEMORY,
        "DirectDraw does not have enough display memory to perform the operation."),
    ROW(DDERR_OVERLAPPINGRECTS,
        "The source and destination rectangles are on the same surface and overlap."),
    ROW(DDERR_OVERLAYCANTCLIP, "The hardware does not support clipped overlays."),
    ROW(DDERR_OVERLAYCOLORKEYONLYONEACTIVE,
        "Only one color key can be active on an overlay at a time."),
    ROW(DDERR_OVERLAYNOTVISIBLE,
        "The overlay's position was requested while the overlay is hidden."),
    ROW(DDERR_PALETTEBUSY, "The palette is locked by another thread."),
    ROW(DDERR_PRIMARYSURFACEALREADYEXISTS, "This process has already created a primary surface."),
    ROW(DDERR_REGIONTOOSMALL, "The region passed to the clipper is too small."),
    ROW(DDERR_SURFACEALREADYATTACHED, "The surface is already attached to the requested surface."),
    ROW(DDERR_SURFACEALREADYDEPENDANT,
        "The surface already depends on the surface it was to be made dependent on."),
    ROW(DDERR_SURFACEBUSY,
        "Access to the surface is refused because it is locked by another thread."),
    ROW(DDERR_SURFACEISOBSCURED, "Access to the surface is refused because it is obscured."),
    ROW(DDERR_SURFACELOST,
        "Access to the surface is refused because its memory is gone. Restore the surface and "
        "reload its contents."),
    ROW(DDERR_SURFACENOTATTACHED, "The requested surface is not attached."),
    ROW(DDERR_TOOBIGHEIGHT, "The requested height is too large."),
    ROW(DDERR_TOOBIGSIZE, "The requested size is too large."),
    ROW(DDERR_TOOBIGWIDTH, "The requested width is too large."),
    ROW(DDERR_UNSUPPORTED, "The operation is not supported."),
    ROW(DDERR_INSUPPORTEDFORMAT, "DirectDraw does not support the requested pixel format."),
    ROW(DDERR_UNSUPPORTEDMASK, "DirectDraw does not support the bit mask in the pixel format."),
    ROW(DDERR_UNSUPPORTEDMODE, "The display is in a mode that is not supported."),
    ROW(DDERR_VERTICALBLANKINPROGRESS, "A vertical blank is in progress."),
    ROW(DDERR_VIDEONOTACTIVE, "The video port is not active."),
    ROW(DDERR_WASSTILLDRAWING, "The previous blit to or from this surface has not finished."),
    ROW(DDERR_WRONGMODE,
        "The surface cannot be restored because it was created in a different display mode."),
    ROW(DDERR_XALIGN, "The rectangle is not horizontally aligned on the required boundary."),
    ROW(E_INVALIDINTERFACE, "The object does not support the requested interface."),
    ROW(E_OUTOFMEMORY, "There is not enough memory to complete the operation."),
};

constexpr std::array kDSoundRows = {
    ROW(DS_OK, "The request completed successfully."),
    ROW(DSERR_GENERIC, "An undetermined error occurred inside the DirectSound subsystem."),
    ROW(DSERR_INVALIDPARAM, "A parameter passed to the function is not valid."),
    ROW(DSERR_ALLOCATED,
        "The request failed because resources, such as a priority level, are already in use by "
        "another caller."),
    ROW(DSERR_CONTROLUNAVAIL,
        "The buffer control (volume, pan and so on) requested by the caller is not available."),
    ROW(DSERR_INVALIDCALL, "The call is not valid for the current state of this object."),
    ROW(DSERR_BADFORMAT, "The specified wave format is not supported."),
    ROW(DSERR_ALREADYINITIALIZED, "The object has already been initialized."),
    ROW(DSERR_BUFFERLOST,
        "The buffer's memory has been lost; the buffer must be restored before it is used."),
    ROW(DSERR_NOAGGREGATION, "The object does not support aggregation."),
    ROW(DSERR_OUTOFMEMORY,
        "The DirectSound subsystem could not allocate enough memory to complete the request."),
    ROW(DSERR_NOINTERFACE, "The requested COM interface is not available."),
    ROW(DSERR_UNSUPPORTED, "The requested function is not supported at this time."),
    ROW(DSERR_PRIOLEVELNEEDED, "The caller does not have the priority level this function needs."),
    ROW(DSERR_NODRIVER, "No sound driver is available."),
    ROW(DSERR_OTHERAPPHASPRIO,
        "Another application holds a higher priority level, so this call cannot succeed."),
    ROW(DSERR_UNINITIALIZED,
        "A method was called before Initialize was called or before it succeeded."),
};

#undef ROW

std::string Lookup(std::span<const DxErrorRow> rows, int32_t number, std::string& name,
                   std::string_view fallback) {
    for (const DxErrorRow& row : rows) {
        if (row.number == number) {
            name = row.name;
            return std::string(row.description);
        }
    }
    name = kNone;
    return std::string(fallback);
}

}  // namespace

std::span<const DxErrorRow> D3DIMErrorRows() {
    return kD3DIMRows;
}
std::span<const DxErrorRow> DDrawErrorRows() {
    return kDDrawRows;
}
std::span<const DxErrorRow> DSoundErrorRows() {
    return kDSoundRows;
}

std::string clsDX7Err::RetD3DIMErrorDesc(int32_t ErrorNumber, std::string& ExactErrorReturn) const {
    return Lookup(kD3DIMRows, ErrorNumber, ExactErrorReturn,
                  "Error number did no match a Direct3D Immediate Mode Error Code");
}

std::string clsDX7Err::RetDDrawErrorDesc(int32_t ErrorNumber, std::string& ExactErrorReturn) const {
    return Lookup(kDDrawRows, ErrorNumber, ExactErrorReturn,
                  "Error number did no match a DirectDraw Error Code");
}

std::string clsDX7Err::RetDSoundErrorDesc(int32_t ErrorNumber,
                                          std::string& ExactErrorReturn) const {
    return Lookup(kDSoundRows, ErrorNumber, ExactErrorReturn,
                  "Error number did no match a DirectSound Error Code");
}

ErrorMessage DescribeError(int32_t number, const std::string& runtimeDescription) {
    const clsDX7Err lookup;
    std::string name;
    std::string description = lookup.RetD3DIMErrorDesc(number, name);
    if (name == kNone) description = lookup.RetDDrawErrorDesc(number, name);
    if (name == kNone) description = lookup.RetDSoundErrorDesc(number, name);

    ErrorMessage message;
    message.title = "Error: #" + std::to_string(number);
    message.text = name == kNone ? runtimeDescription : name + "\r\n\r\n" + description;
    return message;
}

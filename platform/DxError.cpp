#include "platform/DxError.h"

#include <cstdarg>
#include <cstdio>
#include <iterator>

#include "core/Memory.h"
#include "host/Dialog.h"

namespace {

// Codes of the DirectDraw/Direct3D facility: severity bit, facility 0x876, then the code number.
constexpr uint32_t Dd(uint32_t n) {
    return 0x88760000u | n;
}

// The few codes that reuse the system-wide results.
constexpr uint32_t kGenericFailure = 0x80004005u;     // "unspecified failure"
constexpr uint32_t kNotImplemented = 0x80004001u;     // "not implemented"
constexpr uint32_t kInvalidArgument = 0x80070057u;    // "one or more arguments are invalid"
constexpr uint32_t kOutOfMemory = 0x8007000Eu;        // "ran out of memory"
constexpr uint32_t kComNotInitialized = 0x800401F0u;  // "the component library is not initialised"

constexpr DDErrorEntry kTable[] = {
    // DirectDraw
    {Dd(5), "DDERR_ALREADYINITIALIZED"},
    {Dd(10), "DDERR_CANNOTATTACHSURFACE"},
    {Dd(20), "DDERR_CANNOTDETACHSURFACE"},
    {Dd(40), "DDERR_CURRENTLYNOTAVAIL"},
    {Dd(55), "DDERR_EXCEPTION"},
    {kGenericFailure, "DDERR_GENERIC"},
    {Dd(90), "DDERR_HEIGHTALIGN"},
    {Dd(95), "DDERR_INCOMPATIBLEPRIMARY"},
    {Dd(100), "DDERR_INVALIDCAPS"},
    {Dd(110), "DDERR_INVALIDCLIPLIST"},
    {Dd(120), "DDERR_INVALIDMODE"},
    {Dd(130), "DDERR_INVALIDOBJECT"},
    {kInvalidArgument, "DDERR_INVALIDPARAMS"},
    {Dd(145), "DDERR_INVALIDPIXELFORMAT"},
    {Dd(150), "DDERR_INVALIDRECT"},
    {Dd(160), "DDERR_LOCKEDSURFACES"},
    {Dd(170), "DDERR_NO3D"},
    {Dd(180), "DDERR_NOALPHAHW"},
    {Dd(181), "DDERR_NOSTEREOHARDWARE"},
    {Dd(182), "DDERR_NOSURFACELEFT"},
    {Dd(205), "DDERR_NOCLIPLIST"},
    {Dd(210), "DDERR_NOCOLORCONVHW"},
    {Dd(212), "DDERR_NOCOOPERATIVELEVELSET"},
    {Dd(215), "DDERR_NOCOLORKEY"},
    {Dd(220), "DDERR_NOCOLORKEYHW"},
    {Dd(222), "DDERR_NODIRECTDRAWSUPPORT"},
    {Dd(225), "DDERR_NOEXCLUSIVEMODE"},
    {Dd(230), "DDERR_NOFLIPHW"},
    {Dd(240), "DDERR_NOGDI"},
    {Dd(250), "DDERR_NOMIRRORHW"},
    {Dd(255), "DDERR_NOTFOUND"},
    {Dd(260), "DDERR_NOOVERLAYHW"},
    {Dd(270), "DDERR_OVERLAPPINGRECTS"},
    {Dd(280), "DDERR_NORASTEROPHW"},
    {Dd(290), "DDERR_NOROTATIONHW"},
    {Dd(310), "DDERR_NOSTRETCHHW"},
    {Dd(316), "DDERR_NOT4BITCOLOR"},
    {Dd(317), "DDERR_NOT4BITCOLORINDEX"},
    {Dd(320), "DDERR_NOT8BITCOLOR"},
    {Dd(330), "DDERR_NOTEXTUREHW"},
    {Dd(335), "DDERR_NOVSYNCHW"},
    {Dd(340), "DDERR_NOZBUFFERHW"},
    {Dd(350), "DDERR_NOZOVERLAYHW"},
    {Dd(360), "DDERR_OUTOFCAPS"},
    {kOutOfMemory, "DDERR_OUTOFMEMORY"},
    {Dd(380), "DDERR_OUTOFVIDEOMEMORY"},
    {Dd(382), "DDERR_OVERLAYCANTCLIP"},
    {Dd(384), "DDERR_OVERLAYCOLORKEYONLYONEACTIVE"},
    {Dd(387), "DDERR_PALETTEBUSY"},
    {Dd(400), "DDERR_COLORKEYNOTSET"},
    {Dd(410), "DDERR_SURFACEALREADYATTACHED"},
    {Dd(420), "DDERR_SURFACEALREADYDEPENDENT"},
    {Dd(430), "DDERR_SURFACEBUSY"},
    {Dd(435), "DDERR_CANTLOCKSURFACE"},
    {Dd(440), "DDERR_SURFACEISOBSCURED"},
    {Dd(450), "DDERR_SURFACELOST"},
    {Dd(460), "DDERR_SURFACENOTATTACHED"},
    {Dd(470), "DDERR_TOOBIGHEIGHT"},
    {Dd(480), "DDERR_TOOBIGSIZE"},
    {Dd(490), "DDERR_TOOBIGWIDTH"},
    {kNotImplemented, "DDERR_UNSUPPORTED"},
    {Dd(510), "DDERR_UNSUPPORTEDFORMAT"},
    {Dd(520), "DDERR_UNSUPPORTEDMASK"},
    {Dd(521), "DDERR_INVALIDSTREAM"},
    {Dd(537), "DDERR_VERTICALBLANKINPROGRESS"},
    {Dd(540), "DDERR_WASSTILLDRAWING"},
    {Dd(542), "DDERR_DDSCAPSCOMPLEXREQUIRED"},
    {Dd(560), "DDERR_XALIGN"},
    {Dd(561), "DDERR_INVALIDDIRECTDRAWGUID"},
    {Dd(562), "DDERR_DIRECTDRAWALREADYCREATED"},
    {Dd(563), "DDERR_NODIRECTDRAWHW"},
    {Dd(564), "DDERR_PRIMARYSURFACEALREADYEXISTS"},
    {Dd(565), "DDERR_NOEMULATION"},
    {Dd(566), "DDERR_REGIONTOOSMALL"},
    {Dd(567), "DDERR_CLIPPERISUSINGHWND"},
    {Dd(568), "DDERR_NOCLIPPERATTACHED"},
    {Dd(569), "DDERR_NOHWND"},
    {Dd(570), "DDERR_HWNDSUBCLASSED"},
    {Dd(571), "DDERR_HWNDALREADYSET"},
    {Dd(572), "DDERR_NOPALETTEATTACHED"},
    {Dd(573), "DDERR_NOPALETTEHW"},
    {Dd(574), "DDERR_BLTFASTCANTCLIP"},
    {Dd(575), "DDERR_NOBLTHW"},
    {Dd(576), "DDERR_NODDROPSHW"},
    {Dd(577), "DDERR_OVERLAYNOTVISIBLE"},
    {Dd(578), "DDERR_NOOVERLAYDEST"},
    {Dd(579), "DDERR_INVALIDPOSITION"},
    {Dd(580), "DDERR_NOTAOVERLAYSURFACE"},
    {Dd(581), "DDERR_EXCLUSIVEMODEALREADYSET"},
    {Dd(582), "DDERR_NOTFLIPPABLE"},
    {Dd(583), "DDERR_CANTDUPLICATE"},
    {Dd(584), "DDERR_NOTLOCKED"},
    {Dd(585), "DDERR_CANTCREATEDC"},
    {Dd(586), "DDERR_NODC"},
    {Dd(587), "DDERR_WRONGMODE"},
    {Dd(588), "DDERR_IMPLICITLYCREATED"},
    {Dd(589), "DDERR_NOTPALETTIZED"},
    {Dd(590), "DDERR_UNSUPPORTEDMODE"},
    {Dd(591), "DDERR_NOMIPMAPHW"},
    {Dd(592), "DDERR_INVALIDSURFACETYPE"},
    {Dd(600), "DDERR_NOOPTIMIZEHW"},
    {Dd(601), "DDERR_NOTLOADED"},
    {Dd(602), "DDERR_NOFOCUSWINDOW"},
    {Dd(603), "DDERR_NOTONMIPMAPSUBLEVEL"},
    {Dd(620), "DDERR_DCALREADYCREATED"},
    {Dd(630), "DDERR_NONONLOCALVIDMEM"},
    {Dd(640), "DDERR_CANTPAGELOCK"},
    {Dd(660), "DDERR_CANTPAGEUNLOCK"},
    {Dd(680), "DDERR_NOTPAGELOCKED"},
    {Dd(690), "DDERR_MOREDATA"},
    {Dd(691), "DDERR_EXPIRED"},
    {Dd(692), "DDERR_TESTFINISHED"},
    {Dd(693), "DDERR_NEWMODE"},
    {Dd(694), "DDERR_D3DNOTINITIALIZED"},
    {Dd(695), "DDERR_VIDEONOTACTIVE"},
    {Dd(696), "DDERR_NOMONITORINFORMATION"},
    {Dd(697), "DDERR_NODRIVERSUPPORT"},
    {Dd(699), "DDERR_DEVICEDOESNTOWNSURFACE"},
    {kComNotInitialized, "DDERR_NOTINITIALIZED"},

    // Direct3D
    {Dd(700), "D3DERR_BADMAJORVERSION"},
    {Dd(701), "D3DERR_BADMINORVERSION"},
    {Dd(705), "D3DERR_INVALID_DEVICE"},
    {Dd(706), "D3DERR_INITFAILED"},
    {Dd(707), "D3DERR_DEVICEAGGREGATED"},
    {Dd(710), "D3DERR_EXECUTE_CREATE_FAILED"},
    {Dd(711), "D3DERR_EXECUTE_DESTROY_FAILED"},
    {Dd(712), "D3DERR_EXECUTE_LOCK_FAILED"},
    {Dd(713), "D3DERR_EXECUTE_UNLOCK_FAILED"},
    {Dd(714), "D3DERR_EXECUTE_LOCKED"},
    {Dd(715), "D3DERR_EXECUTE_NOT_LOCKED"},
    {Dd(716), "D3DERR_EXECUTE_FAILED"},
    {Dd(717), "D3DERR_EXECUTE_CLIPPED_FAILED"},
    {Dd(720), "D3DERR_TEXTURE_NO_SUPPORT"},
    {Dd(721), "D3DERR_TEXTURE_CREATE_FAILED"},
    {Dd(722), "D3DERR_TEXTURE_DESTROY_FAILED"},
    {Dd(723), "D3DERR_TEXTURE_LOCK_FAILED"},
    {Dd(724), "D3DERR_TEXTURE_UNLOCK_FAILED"},
    {Dd(725), "D3DERR_TEXTURE_LOAD_FAILED"},
    {Dd(726), "D3DERR_TEXTURE_SWAP_FAILED"},
    {Dd(727), "D3DERR_TEXTURE_LOCKED"},
    {Dd(728), "D3DERR_TEXTURE_NOT_LOCKED"},
    {Dd(729), "D3DERR_TEXTURE_GETSURF_FAILED"},
    {Dd(730), "D3DERR_MATRIX_CREATE_FAILED"},
    {Dd(731), "D3DERR_MATRIX_DESTROY_FAILED"},
    {Dd(732), "D3DERR_MATRIX_SETDATA_FAILED"},
    {Dd(733), "D3DERR_MATRIX_GETDATA_FAILED"},
    {Dd(734), "D3DERR_SETVIEWPORTDATA_FAILED"},
    {Dd(735), "D3DERR_INVALIDCURRENTVIEWPORT"},
    {Dd(736), "D3DERR_INVALIDPRIMITIVETYPE"},
    {Dd(737), "D3DERR_INVALIDVERTEXTYPE"},
    {Dd(738), "D3DERR_TEXTURE_BADSIZE"},
    {Dd(739), "D3DERR_INVALIDRAMPTEXTURE"},
    {Dd(740), "D3DERR_MATERIAL_CREATE_FAILED"},
    {Dd(741), "D3DERR_MATERIAL_DESTROY_FAILED"},
    {Dd(742), "D3DERR_MATERIAL_SETDATA_FAILED"},
    {Dd(743), "D3DERR_MATERIAL_GETDATA_FAILED"},
    {Dd(744), "D3DERR_INVALIDPALETTE"},
    {Dd(745), "D3DERR_ZBUFF_NEEDS_SYSTEMMEMORY"},
    {Dd(746), "D3DERR_ZBUFF_NEEDS_VIDEOMEMORY"},
    {Dd(747), "D3DERR_SURFACENOTINVIDMEM"},
    {Dd(750), "D3DERR_LIGHT_SET_FAILED"},
    {Dd(751), "D3DERR_LIGHTHASVIEWPORT"},
    {Dd(752), "D3DERR_LIGHTNOTINTHISVIEWPORT"},
    {Dd(760), "D3DERR_SCENE_IN_SCENE"},
    {Dd(761), "D3DERR_SCENE_NOT_IN_SCENE"},
    {Dd(762), "D3DERR_SCENE_BEGIN_FAILED"},
    {Dd(763), "D3DERR_SCENE_END_FAILED"},
    {Dd(770), "D3DERR_INBEGIN"},
    {Dd(771), "D3DERR_NOTINBEGIN"},
    {Dd(772), "D3DERR_NOVIEWPORTS"},
    {Dd(773), "D3DERR_VIEWPORTDATANOTSET"},
    {Dd(774), "D3DERR_VIEWPORTHASNODEVICE"},
    {Dd(775), "D3DERR_NOCURRENTVIEWPORT"},
    {Dd(2048), "D3DERR_INVALIDVERTEXFORMAT"},
    {Dd(2050), "D3DERR_COLORKEYATTACHED"},
    {Dd(2060), "D3DERR_VERTEXBUFFEROPTIMIZED"},
    {Dd(2061), "D3DERR_VBUF_CREATE_FAILED"},
    {Dd(2062), "D3DERR_VERTEXBUFFERLOCKED"},
    {Dd(2063), "D3DERR_VERTEXBUFFERUNLOCKFAILED"},
    {Dd(2070), "D3DERR_ZBUFFER_NOTPRESENT"},
    {Dd(2071), "D3DERR_STENCILBUFFER_NOTPRESENT"},
    {Dd(2072), "D3DERR_WRONGTEXTUREFORMAT"},
    {Dd(2073), "D3DERR_UNSUPPORTEDCOLOROPERATION"},
    {Dd(2074), "D3DERR_UNSUPPORTEDCOLORARG"},
    {Dd(2075), "D3DERR_UNSUPPORTEDALPHAOPERATION"},
    {Dd(2076), "D3DERR_UNSUPPORTEDALPHAARG"},
    {Dd(2077), "D3DERR_TOOMANYOPERATIONS"},
    {Dd(2078), "D3DERR_CONFLICTINGTEXTUREFILTER"},
    {Dd(2079), "D3DERR_UNSUPPORTEDFACTORVALUE"},
    {Dd(2081), "D3DERR_CONFLICTINGRENDERSTATE"},
    {Dd(2082), "D3DERR_UNSUPPORTEDTEXTUREFILTER"},
    {Dd(2083), "D3DERR_TOOMANYPRIMITIVES"},
    {Dd(2084), "D3DERR_INVALIDMATRIX"},
    {Dd(2085), "D3DERR_TOOMANYVERTICES"},
    {Dd(2086), "D3DERR_CONFLICTINGTEXTUREPALETTE"},
    {Dd(2100), "D3DERR_INVALIDSTATEBLOCK"},
    {Dd(2101), "D3DERR_INBEGINSTATEBLOCK"},
    {Dd(2102), "D3DERR_NOTINBEGINSTATEBLOCK"},
};


}  // namespace

const DDErrorEntry* DDErrorTable(int* count) {
    if (count) *count = static_cast<int>(std::size(kTable));
    return kTable;
}

const char* FindDDErrorName(HRESULT hr) {
    const uint32_t code = static_cast<uint32_t>(hr);
    for (const DDErrorEntry& e : kTable)
        if (e.code == code) return e.name;
    return nullptr;
}

const char* DDErrorName(HRESULT hr) {
    const char* name = FindDDErrorName(hr);
    return name ? name : "Unknown DirectDraw/Direct3D Error";
}

void dxgl_Notify(const char* format, ...) {
    if (!format) return;
    char text[256];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    host::ShowMessageBox(text, "dxgl_Notify", host::DialogKind::Error);
}

void dxgl_Fatal(const char* format, ...) {
    if (!format) return;
    char text[256];
    va_list ap;
    va_start(ap, format);
    vsnprintf(text, sizeof text, format, ap);
    va_end(ap);
    // Input, D3DX, sound, the graphics device and DirectShow are released in the device-closing order;
    // each release skips a device that was never opened.
    EndWithFatalBox(
        "Karvonel wird vorzeitig terminiert. Konsultieren Sie bitte das Handbuch. Der DirectX Core meldete:",
        text);
}

int ReportDDError(HRESULT hr) {
    if (hr == 0) return 0;
    dxgl_Notify("Reporting a DirectDraw/Direct3D error:");
    dxgl_Fatal("%s", DDErrorName(hr));
    return 0;  // not reached: dxgl_Fatal ends the program
}

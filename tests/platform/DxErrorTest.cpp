#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "host/Dialog.h"
#include "host/Gfx.h"
#include "platform/DxError.h"
#include "support/Fatal.h"

using kvtest::FatalCatcher;
using kvtest::FatalExit;

namespace {

HRESULT Code(uint32_t value) {
    return static_cast<HRESULT>(value);
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

// Names and values from both ends and the middle of each family, the shared system codes, and codes
// whose numbers sit next to each other (where a transcription slip would land on a neighbour).
TEST(DDErrorTable, SpotChecksOfNamesAndValues) {
    const struct {
        uint32_t code;
        const char* name;
    } cases[] = {
        {0x80004005u, "DDERR_GENERIC"},
        {0x80004001u, "DDERR_UNSUPPORTED"},
        {0x80070057u, "DDERR_INVALIDPARAMS"},
        {0x8007000Eu, "DDERR_OUTOFMEMORY"},
        {0x800401F0u, "DDERR_NOTINITIALIZED"},
        {0x88760005u, "DDERR_ALREADYINITIALIZED"},
        {0x887601C2u, "DDERR_SURFACELOST"},          // 450
        {0x8876021Cu, "DDERR_WASSTILLDRAWING"},      // 540
        {0x887602A8u, "DDERR_NOTPAGELOCKED"},        // 680
        {0x887602B7u, "DDERR_VIDEONOTACTIVE"},       // 695
        {0x8876017Cu, "DDERR_OUTOFVIDEOMEMORY"},     // 380
        {0x887600E1u, "DDERR_NOEXCLUSIVEMODE"},      // 225
        {0x887600DEu, "DDERR_NODIRECTDRAWSUPPORT"},  // 222
        {0x88760238u, "DDERR_NOCLIPPERATTACHED"},    // 568
        {0x88760248u, "DDERR_NOTLOCKED"},            // 584
        {0x88760250u, "DDERR_INVALIDSURFACETYPE"},   // 592
        {0x887602BBu, "DDERR_DEVICEDOESNTOWNSURFACE"},
        {0x887602BCu, "D3DERR_BADMAJORVERSION"},  // 700
        {0x887602BDu, "D3DERR_BADMINORVERSION"},
        {0x887602C1u, "D3DERR_INVALID_DEVICE"},  // 705
        {0x88760302u, "D3DERR_INBEGIN"},         // 770
        {0x88760303u, "D3DERR_NOTINBEGIN"},
        {0x88760800u, "D3DERR_INVALIDVERTEXFORMAT"},  // 2048
        {0x8876080Eu, "D3DERR_VERTEXBUFFERLOCKED"},   // 2062
        {0x88760816u, "D3DERR_ZBUFFER_NOTPRESENT"},   // 2070
        {0x88760818u, "D3DERR_WRONGTEXTUREFORMAT"},   // 2072
        {0x88760823u, "D3DERR_TOOMANYPRIMITIVES"},    // 2083
        {0x88760834u, "D3DERR_INVALIDSTATEBLOCK"},    // 2100
    };
    for (const auto& c : cases) EXPECT_STREQ(FindDDErrorName(Code(c.code)), c.name) << std::hex << c.code;
}

TEST(DDErrorTable, EveryCodeAndNameIsUniqueAndWellFormed) {
    int count = 0;
    const DDErrorEntry* table = DDErrorTable(&count);
    std::set<uint32_t> codes;
    std::set<std::string> names;
    int dd = 0, d3d = 0;
    for (int i = 0; i < count; ++i) {
        const std::string name = table[i].name;
        const uint32_t code = table[i].code;
        EXPECT_TRUE(codes.insert(code).second) << "code twice: " << name;
        EXPECT_TRUE(names.insert(name).second) << "name twice: " << name;
        const bool isDd = name.rfind("DDERR_", 0) == 0;
        const bool isD3d = name.rfind("D3DERR_", 0) == 0;
        EXPECT_TRUE(isDd || isD3d) << name;
        dd += isDd;
        d3d += isD3d;
        EXPECT_NE(code & 0x80000000u, 0u) << name;
        if ((code & 0xFFFF0000u) == 0x88760000u) {
            // Direct3D codes are numbered from 700 up, DirectDraw codes below.
            EXPECT_EQ((code & 0xFFFFu) >= 700, isD3d) << name;
        } else {
            // Only five DirectDraw names reuse the system-wide codes.
            EXPECT_TRUE(name == "DDERR_GENERIC" || name == "DDERR_UNSUPPORTED" ||
                        name == "DDERR_INVALIDPARAMS" || name == "DDERR_OUTOFMEMORY" ||
                        name == "DDERR_NOTINITIALIZED")
                << name;
        }
    }
    EXPECT_GE(dd, 110);
    EXPECT_GE(d3d, 74);
}

TEST(DDErrorTable, UnknownCodesAndSuccess) {
    EXPECT_EQ(FindDDErrorName(0), nullptr);
    EXPECT_EQ(FindDDErrorName(Code(0x88760001u)), nullptr);
    EXPECT_STREQ(DDErrorName(Code(0x88769999u)), "Unknown DirectDraw/Direct3D Error");
    EXPECT_STREQ(DDErrorName(1), "Unknown DirectDraw/Direct3D Error");
}

TEST(DxNotify, ShowsTheFormattedTextUnderItsTitleAndNullDoesNothing) {
    FatalCatcher quiet;
    host::ShowMessageBox("before", "earlier", host::DialogKind::Notice);
    dxgl_Notify(nullptr);
    EXPECT_STREQ(host::LastDialogCaption(), "earlier");
    dxgl_Notify("texture %s has %d levels", "sky", 3);
    EXPECT_STREQ(host::LastDialogCaption(), "dxgl_Notify");
    EXPECT_STREQ(host::LastDialogText(), "texture sky has 3 levels");
}

TEST(DxFatal, ShowsTheBoxWithTheTextInQuotesAndStops) {
    FatalCatcher catcher;
    try {
        dxgl_Fatal("Error(dxgl_InitD3D): ZBuffer depth %d not supported on this system", 24);
        FAIL() << "dxgl_Fatal returned";
    } catch (const FatalExit& e) {
        EXPECT_STREQ(e.what(), "Error(dxgl_InitD3D): ZBuffer depth 24 not supported on this system");
    }
    EXPECT_STREQ(host::LastDialogCaption(), "Karvonel");
    EXPECT_STREQ(host::LastDialogText(),
                 "Karvonel wird vorzeitig terminiert. Konsultieren Sie bitte das Handbuch. Der DirectX Core "
                 "meldete:\n\"Error(dxgl_InitD3D): ZBuffer depth 24 not supported on this system\"");
}

TEST(DxFatal, NullFormatReturnsAndLongTextIsCut) {
    FatalCatcher catcher;
    host::ShowMessageBox("before", "earlier", host::DialogKind::Notice);
    dxgl_Fatal(nullptr);
    EXPECT_STREQ(host::LastDialogCaption(), "earlier");
    const std::string longText(400, 'z');
    try {
        dxgl_Fatal("%s", longText.c_str());
        FAIL();
    } catch (const FatalExit& e) {
        EXPECT_EQ(std::string(e.what()), std::string(255, 'z'));
    }
}

TEST(ReportDDError, SuccessReturnsZeroAndShowsNothing) {
    FatalCatcher catcher;
    host::ShowMessageBox("before", "earlier", host::DialogKind::Notice);
    EXPECT_EQ(ReportDDError(0), 0);
    EXPECT_STREQ(host::LastDialogCaption(), "earlier");
}

TEST(ReportDDError, AnyOtherCodeEndsWithItsName) {
    FatalCatcher catcher;
    const struct {
        uint32_t code;
        const char* shown;
    } cases[] = {
        {0x887601C2u, "DDERR_SURFACELOST"},
        {0x80070057u, "DDERR_INVALIDPARAMS"},
        {0x00000001u, "Unknown DirectDraw/Direct3D Error"},  // a success code other than 0 is reported too
        {0x88760001u, "Unknown DirectDraw/Direct3D Error"},
    };
    for (const auto& c : cases) {
        try {
            ReportDDError(Code(c.code));
            ADD_FAILURE() << "returned for " << std::hex << c.code;
        } catch (const FatalExit& e) {
            EXPECT_STREQ(e.what(), c.shown);
        }
        EXPECT_STREQ(host::LastDialogCaption(), "Karvonel");
        EXPECT_TRUE(EndsWith(host::LastDialogText(), std::string("meldete:\n\"") + c.shown + "\""))
            << host::LastDialogText();
    }
}

// The notice comes first, then the fatal box; the process ends with exit code 1 (no device needs to
// exist for that).
TEST(ReportDDError, NoticeThenFatalBoxThenExitCodeOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    host::SetDialogsHeadless(true, true);
    host::SetDialogsQuiet(false);
    EXPECT_EXIT(
        ReportDDError(Code(0x887601C2u)), testing::ExitedWithCode(1),
        "\\[dxgl_Notify\\] Reporting a DirectDraw/Direct3D error:.*\\[Karvonel\\] Karvonel wird vorzeitig "
        "terminiert.*meldete:\n\"DDERR_SURFACELOST\"");
}

// The graphics host reports its failures with the platform's codes, so each gets its own name.
TEST(DDErrorTable, EveryHostResultHasItsName) {
    const struct {
        host::GfxResult code;
        const char* name;
    } cases[] = {
        {host::GfxErrGeneric, "DDERR_GENERIC"},
        {host::GfxErrUnsupported, "DDERR_UNSUPPORTED"},
        {host::GfxErrOutOfMemory, "DDERR_OUTOFMEMORY"},
        {host::GfxErrInvalidParams, "DDERR_INVALIDPARAMS"},
        {host::GfxErrInvalidRect, "DDERR_INVALIDRECT"},
        {host::GfxErrNotLocked, "DDERR_NOTLOCKED"},
        {host::GfxErrSurfaceBusy, "DDERR_SURFACEBUSY"},
        {host::GfxErrUnsupportedColourOp, "D3DERR_UNSUPPORTEDCOLOROPERATION"},
        {host::GfxErrUnsupportedColourArg, "D3DERR_UNSUPPORTEDCOLORARG"},
        {host::GfxErrUnsupportedAlphaOp, "D3DERR_UNSUPPORTEDALPHAOPERATION"},
        {host::GfxErrUnsupportedAlphaArg, "D3DERR_UNSUPPORTEDALPHAARG"},
        {host::GfxErrUnsupportedFactor, "D3DERR_UNSUPPORTEDFACTORVALUE"},
    };
    for (const auto& c : cases) EXPECT_STREQ(FindDDErrorName(c.code), c.name);
}

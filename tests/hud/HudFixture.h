// A screen for the cockpit overlay's tests: a small software device (the text device's one-glyph font),
// the screen size the overlay reads, every formatted text captured with its place, alignment, colour and
// size, plain textures of a colour, and a stand-in unit whose state, maxima, gauges, turret, ammunition
// and unit record a test sets.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/Gfx.h"
#include "objects/Itfc.h"
#include "objects/UnitRecord.h"
#include "objects/UnitShare.h"
#include "platform/Dxgl.h"
#include "platform/Font.h"
#include "platform/ScreenVertex.h"
#include "platform/TexSurface.h"
#include "platform/Texture.h"
#include "render/ScreenText.h"
#include "render/View.h"
#include "support/FPTables.h"
#include "support/TextDevice.h"
#include "world/Construct.h"

namespace kvtest {

struct DrawnText {
    int32_t x, y, style;
    std::string text;
    uint32_t colour;  // the text colour it was drawn in (A, R, G, B)
    int32_t size;     // glyph height
};

// The stand-in unit's type data block: the unit record first, as GETUNIT hands it out.
struct HudUnitBlock {
    UnitShare unit;
    StateRecord state;
    MaximaRecord maxima;
    int32_t drive, driveMax;  // GETGAUGES
    int32_t altitude;         // GETGAUGES2
    int32_t turretYaw;        // GETTURRETYAW
    int32_t ammo[2];          // UPDATEAIUNIT: a group with ammunition other than -2 is present
};

inline uintptr_t HudUnit_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    auto* b = static_cast<HudUnitBlock*>(con->itfcData);
    switch (method) {
        case ItfcMethod::GETNAME:
            return reinterpret_cast<uintptr_t>("HudUnit");
        case ItfcMethod::GETUNIT:
            return reinterpret_cast<uintptr_t>(b);
        case ItfcMethod::GETSTATE:
            return reinterpret_cast<uintptr_t>(&b->state);
        case ItfcMethod::GETMAXIMA:
            return reinterpret_cast<uintptr_t>(&b->maxima);
        case ItfcMethod::GETGAUGES:
            *reinterpret_cast<int32_t*>(arg) = b->driveMax;
            return static_cast<uintptr_t>(static_cast<uint32_t>(b->drive));
        case ItfcMethod::GETGAUGES2:
            return static_cast<uintptr_t>(static_cast<uint32_t>(b->altitude));
        case ItfcMethod::GETTURRETYAW:
            return static_cast<uintptr_t>(static_cast<uint32_t>(b->turretYaw));
        case ItfcMethod::UPDATEAIUNIT: {
            auto* r = reinterpret_cast<AIUnitRecord*>(arg);
            for (int g = 0; g < 2; ++g) {
                r->weaponPresent[g] = b->ammo[g] != -2;
                r->weapon[g][kAIWeaponAmmoWord] = static_cast<uint32_t>(b->ammo[g]);
            }
            return 1;
        }
        default:
            return 0;
    }
}

class HudScreen : public ::testing::Test {
protected:
    explicit HudScreen(int width = 320, int height = 240)
        : dev_(width, height), savedWidth_(ScreenWidth), savedHeightF_(ScreenHeightF) {
        EnsureFPTables();
        savedView_ = {EyePos,       ViewMatrix,   ProjMatrix, FocalX,    FocalY,
                      ViewCentreXF, ViewCentreYF, ViewWidth,  ViewHeight};
        ScreenWidth = width;
        ScreenHeight = height;
        ScreenHeightF = static_cast<float>(height);
        using host::RenderState;
        // As the game leaves the device between draws: no culling, blend factors ONE and ONE.
        host::SetRenderState(dev_.device(), RenderState::CullMode, host::GfxCullNone);
        host::SetRenderState(dev_.device(), RenderState::ZEnable, 0);
        host::SetRenderState(dev_.device(), RenderState::SrcBlend,
                             static_cast<uint32_t>(host::BlendFactor::One));
        host::SetRenderState(dev_.device(), RenderState::DestBlend,
                             static_cast<uint32_t>(host::BlendFactor::One));
        Texts().clear();
        SetScreenTextSink([](int32_t x, int32_t y, int32_t style, const char* text) {
            Texts().push_back({x, y, style, text, CurrentColour, FontSize});
        });
        SetTextFont(13);
    }
    ~HudScreen() override {
        SetScreenTextSink(nullptr);
        for (construct* c : units_) {
            c->flags &= ~0x8u;  // never put into a busy pool
            FreeConstruct(c);
        }
        for (Tex* t : textures_) {
            host::DeleteSurface(t->surface);
            delete t;
        }
        ScreenWidth = savedWidth_;
        ScreenHeightF = savedHeightF_;
        EyePos = savedView_.eye, ViewMatrix = savedView_.view, ProjMatrix = savedView_.proj;
        FocalX = savedView_.fx, FocalY = savedView_.fy;
        ViewCentreXF = savedView_.cx, ViewCentreYF = savedView_.cy;
        ViewWidth = savedView_.w, ViewHeight = savedView_.h;
        InstallProjectionEye();
    }

    // The current view: the eye at the origin looking along +z (x right, y up), the focal length,
    // centred on the screen; ProjectWorldPoint looks through it.
    void Eye(int32_t focal) {
        EyePos = {0, 0, 0};
        ViewMatrix = {{32768, 0, 0, 0, 32768, 0, 0, 0, 32768}};
        ProjMatrix = ViewMatrix;
        ProjMatrix.m[0] = ProjMatrix.m[4] = (32768 * focal) >> 10;
        FocalX = FocalY = focal;
        ViewCentreXF = static_cast<float>(ScreenWidth / 2),
        ViewCentreYF = static_cast<float>(ScreenHeight / 2);
        ViewWidth = ScreenWidth, ViewHeight = ScreenHeight;
        InstallProjectionEye();
    }

    static std::vector<DrawnText>& Texts() {
        static std::vector<DrawnText> texts;
        return texts;
    }
    // The first captured text equal to the given one (drawn at x when given), or null.
    static const DrawnText* Text(const std::string& text, int32_t x = INT32_MIN) {
        for (const DrawnText& t : Texts())
            if (t.text == text && (x == INT32_MIN || t.x == x)) return &t;
        return nullptr;
    }

    // The colour (R, G, B) at x, y counted from the bottom.
    uint32_t Pixel(int x, int y) {
        host::FinishDrawing(dev_.device());
        return host::ReadPixelArgb(dev_.target(), x, ScreenHeight - 1 - y) & 0xffffffu;
    }
    void Clear() { dev_.Clear(); }
    host::GfxDevice* Device() { return dev_.device(); }

    // A 4 x 4 texture of one colour (A, R, G, B), owned by the test.
    Tex* PlainTexture(uint32_t argb) {
        TexPixels px;
        px.width = px.height = 4;
        px.format = TexFormat::ARGB8888;
        px.words.assign(16, argb);
        Tex* t = new Tex{};
        t->surface = CreateTextureSurface(px);
        textures_.push_back(t);
        return t;
    }

    // A stand-in unit at the position, orientation identity, flags busy and placed.
    construct* Unit(int32_t x = 0, int32_t y = 0, int32_t z = 0) {
        construct* c = CreateConstruct(0, 0);
        c->itfc = HudUnit_itfc;
        AllocItfcData(c, sizeof(HudUnitBlock));
        c->pos[0] = x, c->pos[1] = y, c->pos[2] = z;
        c->orient[0] = c->orient[4] = c->orient[8] = 32768;
        c->flags |= 0x8;
        HudUnitBlock* b = Block(c);
        b->turretYaw = INT32_MIN;
        b->ammo[0] = b->ammo[1] = -2;
        units_.push_back(c);
        return c;
    }
    static HudUnitBlock* Block(construct* c) { return static_cast<HudUnitBlock*>(c->itfcData); }

private:
    TextDevice dev_;
    int32_t savedWidth_;
    float savedHeightF_;
    struct {
        FixVec eye;
        FixMatrix view, proj;
        int32_t fx, fy;
        float cx, cy;
        int32_t w, h;
    } savedView_;
    std::vector<Tex*> textures_;
    std::vector<construct*> units_;
};

}  // namespace kvtest

// Constructs drawn through a whole view over the test hills: every face type, textured, translucent and
// glowing faces, shadows, billboard sprites, quads and flares, compared with reference pictures.
#include <gtest/gtest.h>

#include <vector>

#include "ObjectScene.h"
#include "ReferencePicture.h"
#include "TerrainScene.h"
#include "platform/Palette.h"
#include "render/ConstructDraw.h"
#include "render/Deferred.h"
#include "render/View_local.h"
#include "objects/Units.h"
#include "support/MemTrack.h"
#include "ai/Clan.h"
#include "hud/TFView.h"
#include "game/Level.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"

namespace {

// The scene's objects stand in a "visible" pool of their own and are freed with it.
class ObjectView {
public:
    ObjectView() : scene(160, 120, 9) {
        saved_ = VisiblePool;
        savedZBits_ = ZBufferBits;
        ZBufferBits = 24;  // the scene's depth buffer, read for the flares
        pool_ = CreateConstructPool(64, "object view test");
        VisiblePool = pool_;
        LevelWaterColour[0] = 40, LevelWaterColour[1] = 90, LevelWaterColour[2] = 160;
        checker = kvtest::CheckerSurface(32, 0xFFE0E0E0, 0xFF3050A0);
        tex.surface = checker;
    }
    ~ObjectView() {
        for (construct* c : objects) FreeConstruct(c);
        DeleteConstructPool(pool_);
        VisiblePool = saved_;
        ZBufferBits = savedZBits_;
        host::DeleteSurface(checker);
        LevelWaterColour[0] = LevelWaterColour[1] = LevelWaterColour[2] = 0;
        ClearDeferredLists();
        ClearFlareList();
    }
    // Ground height (world units) at a world point of the hills.
    static int32_t Ground(int32_t x, int32_t z) { return kvtest::HillHeight(x >> 12, z >> 12) * 8; }
    // Places a geom standing on the ground (its lowest corner there) at tile coordinates.
    construct* Place(Geom* g, double tx, double tz, uint32_t flags = 0x2) {
        const int32_t x = int32_t(tx * 65536), z = int32_t(tz * 65536);
        int32_t low = 0;
        for (auto& c : g->box.corners) low = std::min(low, c[1]);
        construct* c = kvtest::MakeObject(g, x, Ground(x, z) - low * 4, z, flags);
        AppendToConstructPool(pool_, c);
        objects.push_back(c);
        return c;
    }
    kvtest::TerrainScene scene;
    host::GfxSurface* checker;
    Tex tex{};
    std::vector<construct*> objects;

private:
    ConstructPool* saved_;
    int32_t savedZBits_;
    ConstructPool* pool_;
};

TEST(ObjectView, FaceTypesMatchTheirReferencePicture) {
    kvtest::MemTrack mem;
    ObjectView v;
    // Types 0-3 and 5-9 in a row across the view; 5-7 textured; 8 the shadow type, 9 glowing.
    const uint8_t types[] = {0, 1, 2, 3, 5, 6, 7, 8, 9};
    for (int i = 0; i < 9; ++i) {
        const uint8_t t = types[i];
        Geom* g = kvtest::MakeBox(1800, 1800, 1800, t, {220, uint8_t(60 + 20 * i), 40}, (t >= 5 && t <= 7) ? &v.tex : nullptr);
        v.Place(g, 2.6 + 0.45 * i, 3.4 + 0.15 * (i % 2));
    }
    v.scene.Draw();
    kvtest::CompareWithReference("objects_face_types", 160, 120, v.scene.Pixels());
    // Drawn through the view: the traversal scheduled every object once.
    for (construct* c : v.objects) EXPECT_NE(c->flags & 0x400, 0u);
}

TEST(ObjectView, TranslucencyAndBillboardsMatchTheirReferencePicture) {
    kvtest::MemTrack mem;
    ObjectView v;
    kvtest::FaceSpec quad;
    // A large opaque wall, a translucent box before it, and billboards: a sprite, a quad along a
    // direction and a flare.
    Geom* wall = kvtest::MakeBox(9000, 4000, 600, 1, {150, 150, 160});
    v.Place(wall, 4.4, 4.2);
    construct* glass = v.Place(kvtest::MakeBox(2500, 2500, 2500, 2, {60, 200, 250}), 4.1, 3.6);
    glass->opacity = 128;

    host::GfxSurface* red = kvtest::CheckerSurface(16, 0xFFFF4020, 0xFFFFA040);
    host::GfxSurface* frames[1] = {red};
    TexAnim anim{};
    anim.frameCount = 1;
    anim.frames = frames;
    Plt plt{};
    for (auto& e : plt.entries) e = {255, 230, 160, 0};
    construct* holder = v.Place(kvtest::MakeBox(600, 600, 600, 1, {90, 90, 90}), 5.2, 3.5);
    holder->bboardCount = 3;
    holder->bboards = static_cast<bboard**>(qzAlloc(int(sizeof(bboard*)) * 3, "bboards"));
    bboard* sprite = holder->bboards[0] = CreateBBoard();
    sprite->pos[0] = 0, sprite->pos[1] = 3000, sprite->pos[2] = 0;
    sprite->anim = &anim;
    sprite->size1 = 5000;
    sprite->options[1] = 1;
    sprite->options[2] = 4;  // additive
    bboard* beam = holder->bboards[1] = CreateBBoard();
    beam->pos[0] = -3000, beam->pos[1] = 0, beam->pos[2] = 0;
    beam->dir[0] = 0, beam->dir[1] = 32767, beam->dir[2] = 0;
    beam->anim = &anim;
    beam->size1 = 6000, beam->size2 = 1500;
    beam->options[1] = 1;
    beam->options[2] = 2;  // blended
    beam->colour[0] = beam->colour[1] = beam->colour[2] = 255;
    bboard* flare = holder->bboards[2] = CreateBBoard();
    flare->pos[0] = 3000, flare->pos[1] = 2000, flare->pos[2] = 0;
    flare->anim = &anim;
    flare->palette = &plt;
    flare->size1 = 4000;
    flare->time = 200;
    flare->options[2] = 4;
    v.scene.Draw();
    kvtest::CompareWithReference("objects_blend_billboards", 160, 120, v.scene.Pixels());
    host::DeleteSurface(red);
}

// A construct of the class DISTANT (flag 0x8000000) standing near the board's edge is drawn directly from
// the distant pool; a plain construct at the same place is left out.
TEST(ObjectView, ADistantConstructIsDrawnFromTheDistantPool) {
    kvtest::MemTrack mem;
    ObjectView v;
    ConstructPool* distant = CreateConstructPool(64, "distant test");
    ConstructPool* savedDistant = DirectDrawPool;
    DirectDrawPool = distant;
    construct* tower = v.Place(kvtest::MakeBox(1500, 4000, 1500, 1, {230, 200, 60}), 4.9, 1.95, 0x2 | 0x8000000);
    construct* plain = v.Place(kvtest::MakeBox(1500, 4000, 1500, 1, {60, 200, 230}), 3.7, 1.95);
    v.scene.Draw();
    EXPECT_EQ(distant->count, 1);
    EXPECT_NE(tower->flags & 0x400, 0u);
    EXPECT_EQ(plain->flags & 0x400, 0u);
    kvtest::CompareWithReference("objects_distant", 160, 120, v.scene.Pixels());
    DirectDrawPool = savedDistant;
    DeleteConstructPool(distant);
}

TEST(ObjectView, TheTacticalViewBracketsItsUnitsInView) {
    kvtest::MemTrack mem;
    ObjectView v;
    construct* near = v.Place(kvtest::MakeBox(1500, 1500, 1500, 1, {200, 200, 200}), 4.3, 3.5);
    construct* far = v.Place(kvtest::MakeBox(1500, 1500, 1500, 1, {200, 200, 200}), 4.6, 3.5);
    ConstructPool* tactical = CreateConstructPool(4, "tactical test");
    AppendToConstructPool(tactical, near);
    TFView view{};
    view.tacticalPool = tactical;
    TFView* savedView = PlayerTFView;
    construct* savedPlayer = PlayerUnit;
    PlayerTFView = &view;
    PlayerUnit = nullptr;
    v.scene.Draw();
    // The bracketed unit's in-view flag is used up by its bracket; the other keeps it.
    EXPECT_EQ(near->flags & 0x400, 0u);
    EXPECT_NE(far->flags & 0x400, 0u);
    // While the tactical map itself is shown, no brackets.
    view.tacticalMap = 1;
    v.scene.Draw();
    EXPECT_NE(near->flags & 0x400, 0u);
    PlayerTFView = savedView;
    PlayerUnit = savedPlayer;
    DeleteConstructPool(tactical);
}

}  // namespace

// A remote view's caption names the followed construct by its units-file display name.
TEST(ViewCaption, RemoteViewNamesTheFollowedUnit) {
    Unit unit{};
    char gameName[] = "E.M.A. Jeep";
    unit.gameName = gameName;
    construct con{};
    con.unit = &unit;
    EXPECT_STREQ(UnitDisplayName(&con), "E.M.A. Jeep");
    con.unit = nullptr;
    EXPECT_STREQ(UnitDisplayName(&con), "");
    EXPECT_STREQ(UnitDisplayName(nullptr), "");
}

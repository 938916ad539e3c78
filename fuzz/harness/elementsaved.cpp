// The saved forms of the element types (buildings, gate, lift, energy gate, scenery, lantern) as a saved
// game hands them over. The first byte picks the type, the rest is the form. A form the type's check
// accepts is read into a fresh block and written again, which must be accepted and give the same bytes
// once more; then it is taken over by a placed element of that type on a small terrain, which ticks a
// while with it (doors, lift, swing, add-ons, destruction) and must hand out a form its check accepts.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/Memory.h"
#include "core/Rules.h"
#include "fuzz/FuzzSupport.h"
#include "objects/Elements.h"
#include "objects/Units.h"
#include "tools/datakit/ObjectFile.h"
#include "tools/datakit/RulesText.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/ObjFile.h"
#include "world/QZEvent.h"
#include "world/Statics.h"
#include "world/Terrain.h"
#include "world/TickCounter.h"

namespace {

using Rgb = std::array<uint8_t, 3>;

datakit::ObjectFile Box(float h, int n, float top, std::vector<float> field = {}) {
    datakit::ObjectFile obj;
    datakit::AddBox(obj, 0, h, 0, 60, h, 60, Rgb{150, 150, 140});
    if (n > 0) obj.HField(uint32_t(n), field.empty() ? std::vector<float>(size_t(n) * n, top) : field);
    return obj;
}

datakit::ObjectFile Part(float ax, float ay, float az) {
    datakit::ObjectFile obj;
    datakit::AddBox(obj, ax, ay, az, 10, 10, 10, Rgb{90, 90, 100});
    obj.Anchor(ax, ay, az);
    return obj;
}

std::vector<float> DoorLine() {
    std::vector<float> h(17 * 17, 0.0f);
    for (int c = 0; c < 17; ++c) h[size_t(8 * 17 + c)] = 20;
    return h;
}

// A terrain of 4 x 4 tiles, each with a flat definition of its own.
matrix* Terrain4() {
    matrix* m = CreateMatrix();
    m->width = m->height = 4;
    m->tileField = static_cast<TileFieldEntry*>(qzAlloc(16 * int(sizeof(TileFieldEntry)), "matrix tile field"));
    std::memset(m->tileField, 0, 16 * sizeof(TileFieldEntry));
    m->tileDefPoolSize = 16 * kTileSubPoints * kSubPointBytes;
    m->tileDefPool = static_cast<SubPoint*>(qzAlloc(m->tileDefPoolSize, "tile def pool"));
    for (int k = 0; k < 16; ++k) {
        m->tileField[k].def = k * kTileSubPoints * kSubPointBytes;
        for (uint16_t& t : m->tileField[k].tex) t = kNoTexture;
        for (int i = 0; i < kTileSubPoints; ++i) m->tileDefPool[k * kTileSubPoints + i] = SubPoint{100, kSubSolid, 0, 0};
    }
    m->flatCount = 1;
    m->flat[0].head.height = 7;
    m->flat[0].head.flags = kSubSolid;
    return m;
}

Unit* Entry(const char* name, const char* path, uint32_t klass, uint32_t extra) {
    Unit* u = CreateUnit();
    u->name = qzStrDup(name, "unit name");
    u->rulePrefix = qzStrDup(name, "unit prefix");
    u->gameName = qzStrDup(name, "unit game name");
    u->path = qzStrDup(path, "unit path");
    u->klass = klass;
    u->extra = extra;
    return u;
}

construct* g_elements[kElementFormCount];

// One element of each type placed on the terrain (built once per process).
void BuildWorld() {
    std::vector<datakit::PackEntry> files;
    auto add = [&](const std::string& name, const datakit::ObjectFile& obj) { files.push_back({name, obj.Bytes(), 0}); };
    add("o/b9", Box(10, 9, 20));
    add("o/b17", Box(10, 17, 20));
    add("o/m/body", Box(10, 9, 20));
    add("o/m/deadbody", Box(3, 9, 6));
    add("o/m/rotor", Part(0, 30, 0));
    add("o/m/swing", Part(0, 10, 40));
    add("o/f/body", Box(10, 9, 20));
    add("o/g/body", Box(20, 17, 0, DoorLine()));
    add("o/g/lswing", Part(-90, 0, 0));
    add("o/g/rswing", Part(90, 0, 0));
    add("o/g/deadbody", Box(3, 17, 0));
    std::vector<float> lift(81, 1.0f);
    for (int i = 0; i < 9; ++i) lift[size_t(i)] = 40;
    add("o/l/body", Box(20, 9, 0, lift));
    add("o/l/upslide", Part(0, 0, 0));
    add("o/e/nrggate", Box(10, 0, 0));
    add("o/e/nrggateo", Box(2, 0, 0));
    datakit::ObjectFile lamp = Box(4, 0, 0);
    lamp.Light(0, Rgb{255, 200, 100}, 9, "");
    add("o/s", lamp);
    add("o/t", Box(20, 9, 1));
    const std::string rules =
        "M_addons \"deadbody\" \"rotor\" \"swing\";\nM_TurnMax 50000;\nG_addons \"deadbody\";\n"
        "L_AscendHeight 8000;\nL_HeightBias 100;\nL_speed 0.05;\nL_AccessibleHeight 100;\n"
        "E_impactphysical 50;\nE_impactshield 5;\nE_impactstructure 2;\nE_shield 0;\nE_structure 100;\nE_energy 0;\n"
        "T_resistance \"fall\" \"fall\";\nEngineNoise_range 196608;\nAimDivergence 1;\nend\n";
    files.push_back({"r", std::vector<uint8_t>(rules.begin(), rules.end()), 0});
    kvfuzz::MountFiles(files);
    ReadRules("r");
    CurrentMatrix = Terrain4();
    kvfuzz::CreateVisibleAndBusyPools();
    for (const char* name : {"radioactive", "target", "icon", "nav", "reload"}) CreateConstructPool(32, name);
    CreateConstructPool(32, "scenery lighting");
    RegisterElementTypes();
    const struct {
        ElementForm form;
        const char* name;
        const char* path;
        uint32_t extra;
        int32_t x, z;
    } kinds[] = {
        {ElementForm::MultiElem, "M", "o\\m", 0, 0, 0},        {ElementForm::BaseElem, "B", "o\\b9", 0, 1, 0},
        {ElementForm::LBaseElem, "LB", "o\\b17", 0x10000, 2, 0}, {ElementForm::GiantElem, "GE", "o\\b9", 0, 3, 0},
        {ElementForm::FragElem, "F", "o\\f", 0, 0, 1},         {ElementForm::LGateElem, "G", "o\\g", 0x10000, 1, 1},
        {ElementForm::LiftElem, "L", "o\\l", 0, 2, 1},         {ElementForm::NRGGate, "E", "o\\e", 0, 3, 1},
        {ElementForm::Scenery, "S", "o\\s", 0, 0, 2},          {ElementForm::MultiScenery, "T", "o\\t", 0, 1, 2},
        {ElementForm::Lantern, "P", "o\\s", 0, 2, 2},
    };
    for (const auto& k : kinds) {
        ItfcProc itfc = ElementSavedForms[int(k.form)].itfc;
        Unit* u = Entry(k.name, k.path, 0x800, k.extra);
        auto* con = reinterpret_cast<construct*>(
            itfc(reinterpret_cast<construct*>(u), ItfcMethod::CREATE, reinterpret_cast<uintptr_t>(u->path)));
        con->unit = u;
        PlacementRecord p{k.x * 65536 + 32768, 0, k.z * 65536 + 32768, {0, 0}, 0, 100, int32_t(k.extra)};
        CallItfc(con, ItfcMethod::PLACE, reinterpret_cast<uintptr_t>(&p));
        g_elements[int(k.form)] = con;
    }
    FlushQZEvents();
}

std::vector<uint8_t> FormOf(construct* con) {
    int32_t size = 0;
    auto* block = reinterpret_cast<uint8_t*>(CallItfc(con, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
    std::vector<uint8_t> out(block, block + size);
    qzFree(block);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool built = [] {
        // The world is the harness's own: it must build (a fatal error here is a fault of the harness).
        SetFatalHook([](const char* text) {
            fprintf(stderr, "elementsaved: the world does not build: %s\n", text);
            std::abort();
        });
        BuildWorld();
        SetFatalHook(kvfuzz::ThrowFatal);
        return true;
    }();
    (void)built;
    if (size < 1) return 0;
    const ElementForm form = ElementForm(data[0] % kElementFormCount);
    const ElementSavedForm& f = ElementSavedForms[int(form)];
    const uint8_t* in = data + 1;
    const size_t n = size - 1;
    kvfuzz::Run([&] {
        if (f.check(in, n)) return;
        std::vector<uint8_t> once(f.size), twice(f.size);
        RewriteElementSaved(form, in, once.data());
        if (f.check(once.data(), once.size())) std::abort();
        RewriteElementSaved(form, once.data(), twice.data());
        if (twice != once) std::abort();
        // Taken over by the placed element, which runs with it.
        construct* con = g_elements[int(form)];
        CallItfc(con, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(in));
        CallItfc(con, ItfcMethod::SETMODE, 1);
        for (int i = 0; i < 24; ++i) {
            FrameCounter += 8;
            CallItfc(con, ItfcMethod::TICK, 0);
            FlushQZEvents();
        }
        CallItfc(con, ItfcMethod::CLEARMODE, 1);
        CallItfc(con, ItfcMethod::TICK, 0);
        FlushQZEvents();
        const std::vector<uint8_t> after = FormOf(con);
        if (f.check(after.data(), after.size())) std::abort();
    });
    return 0;
}

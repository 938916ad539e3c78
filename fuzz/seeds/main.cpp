// Writes the seed corpus of the fuzz harnesses: one good file of every kind the harnesses read, made by
// datakit (and the demo data's own text files), into <out>/<harness>/.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/datakit/ApplMessages.h"
#include "tools/datakit/Bytes.h"
#include "tools/datakit/Campaign.h"
#include "tools/datakit/ConfigFile.h"
#include "tools/datakit/Font.h"
#include "tools/datakit/HField.h"
#include "tools/datakit/MessageFile.h"
#include "tools/datakit/MultiplayerFile.h"
#include "tools/datakit/ObjectFile.h"
#include "tools/datakit/Package.h"
#include "tools/datakit/RulesText.h"
#include "tools/datakit/SavedGame.h"
#include "tools/datakit/Sky.h"
#include "tools/datakit/Texture.h"
#include "tools/datakit/UnitsFile.h"
#include "tools/datakit/WayPoints.h"
#include "tools/datakit/WorldFile.h"
#include "tools/datakit/Wav.h"
#include "tools/datakit/SceneFile.h"
#include "core/Memory.h"
#include "fuzz/EffectForms.h"
#include "fuzz/NetForms.h"
#include "host/NetWire.h"
#include "net/Session.h"
#include "fuzz/WeaponForms.h"
#include "objects/Elements.h"
#include "objects/UnitSaved.h"
#include "fuzz/FuzzLevel.h"
#include "game/SavedGame.h"
#include "game/WorldTick.h"
#include "vehicles/modules/ModuleSaved.h"
#include "vehicles/types/EMAJeep.h"
#include "vehicles/types/VehicleForm.h"
#include "vehicles/types/VehicleFrame.h"
#include "vehicles/types/VehicleTypes.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string g_out;
int g_written = 0;

void Seed(const std::string& harness, const std::string& name, const Bytes& bytes) {
    if (!datakit::WriteFile(g_out + "/" + harness + "/" + name, bytes)) {
        fprintf(stderr, "fuzz_seeds: cannot write %s/%s\n", harness.c_str(), name.c_str());
        std::exit(1);
    }
    ++g_written;
}

void SeedText(const std::string& harness, const std::string& name, const std::string& text) {
    Seed(harness, name, Bytes(text.begin(), text.end()));
}

// A file of the source tree, or nothing when it is missing.
std::string SourceFile(const std::string& rel) {
    std::ifstream in(std::string(KV_SOURCE_DIR) + "/" + rel, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<datakit::Rgb> Colours() {
    std::vector<datakit::Rgb> c;
    for (int i = 0; i < 16; ++i) c.push_back({uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i * 7)});
    return c;
}

Bytes Ramp(size_t n) {
    Bytes v(n);
    for (size_t i = 0; i < n; ++i) v[i] = uint8_t(i * 37);
    return v;
}

// A texture seed: the case byte, then the files, each but the last led by its 16-bit length.
Bytes TexSeed(uint8_t pick, const std::vector<Bytes>& files, const std::vector<int>& alphaFlags = {}) {
    Bytes out{pick};
    for (size_t i = 0; i < files.size(); ++i) {
        bool last = i + 1 == files.size() && alphaFlags.empty();
        if (!last) {
            out.push_back(uint8_t(files[i].size()));
            out.push_back(uint8_t(files[i].size() >> 8));
        }
        out.insert(out.end(), files[i].begin(), files[i].end());
        if (i < alphaFlags.size()) out.push_back(uint8_t(alphaFlags[i]));
    }
    return out;
}

void Package() {
    datakit::ConfigFile config;
    std::string cfg = config.text();
    Seed("package", "demo.qzp",
         datakit::BuildPackage({{"Vexa.cfg", Bytes(cfg.begin(), cfg.end()), 0x01d0000000000000ull},
                                {"app/rules", Bytes{'a', ' ', '1', ';', '\n'}, 0},
                                {"app/font/fontset", Bytes{'8', ' ', 'e', 'n', 'd', '\n'}, 0},
                                {"textures/set/wall", datakit::EngineTexture(2, 2, Ramp(16)), 0}}));
    Seed("package", "one.qzp", datakit::BuildPackage({{"a", Bytes{1, 2, 3}, 0}}));
    Seed("package", "empty.qzp", datakit::BuildPackage({}));
}

void TextFiles() {
    using datakit::Num;
    using datakit::RuleLine;
    std::string rules = SourceFile("data/app/rules");
    if (!rules.empty()) SeedText("rules", "demo_rules", rules);
    for (const char* f : {"data/app/rules_unit.txt", "data/app/rules_weapon.txt", "data/app/text/Ingame.txt"}) {
        std::string text = SourceFile(f);
        if (!text.empty()) SeedText("rules", std::strrchr(f, '/') + 1, text);
    }
    SeedText("rules", "small",
             RuleLine("speed", {Num(3.5)}) + RuleLine("angle", {datakit::Deg(45)}) +
                 RuleLine("share", {datakit::Pct(20)}) + RuleLine("mask", {datakit::Hex(0xff00)}) +
                 RuleLine("title", {datakit::Info("A \"quoted\" name")}) +
                 "/* a comment */\nlist 1, 2, 3;\njoined\\\nline 4;\nend\n");

    datakit::ConfigFile config;
    SeedText("config", "Vexa.cfg", config.text());
    SeedText("keybindings", "default.qzk", datakit::DefaultBindingsText(config));
    SeedText("keybindings", "config_bindings", config.bindingRules() + datakit::OtherBindingRules() + "end\n");
    SeedText("paths", "paths", datakit::PathsText({{"QZWDROOT", "app\\worlds"},
                                                    {"OBJROOT", "app\\objects"},
                                                    {"TEXROOT", "app\\textures"},
                                                    {"PALETTEROOT", "app\\palettes"}}));

    std::array<int32_t, 256> widths{};
    for (int i = 32; i < 127; ++i) widths[size_t(i)] = 6 + i % 9;
    SeedText("fontwidths", "Fontset", datakit::FontsetText(widths));

    for (const char* f : {"tests/e2e/input_smoke.txt", "tests/e2e/input_unknown_key.txt"}) {
        std::string text = SourceFile(f);
        if (!text.empty()) SeedText("inputscript", std::strrchr(f, '/') + 1, text);
    }
    SeedText("inputscript", "every_event",
             "# one of each\n0 down SPACE_KEY\n1 up SPACE_KEY\n2 move 5 -3 120\n3 axis x -32768\n"
             "3 axis slider1 32767\n4 hat 9000\n5 hat -1\n6 down 264\n7 up 264\n8 down LBUTTON_KEY\n");
}

void Images() {
    std::vector<uint32_t> rgb;
    for (int i = 0; i < 8 * 4; ++i) rgb.push_back(uint32_t(i) * 0x050301u);
    Bytes idx = Ramp(8 * 4);
    for (uint8_t& b : idx) b &= 15;
    Bytes bmp8 = datakit::Bmp8(8, 4, idx, Colours());
    Bytes bmp24 = datakit::Bmp24(8, 4, rgb);
    Bytes alpha = datakit::BmpAlphaMap(8, 4, Ramp(32));
    Seed("bitmap", "bmp8", bmp8);
    Seed("bitmap", "bmp8_topdown", datakit::Bmp8(8, 4, idx, Colours(), true));
    Seed("bitmap", "bmp24", bmp24);
    Seed("bitmap", "bmp24_odd", datakit::Bmp24(3, 5, std::vector<uint32_t>(15, 0x123456), true));
    Seed("bitmap", "bmp_alpha", alpha);

    std::vector<datakit::Rgb> pal = Colours();
    Bytes eng = datakit::EngineTexture(3, 2, idx, &pal);
    Bytes grey = datakit::EngineTexture(2, 3, Ramp(32));
    Bytes engAlpha = datakit::EngineAlphaMap(3, 2, Ramp(32));
    Seed("texture", "engine", TexSeed(0, {eng}));
    Seed("texture", "engine_grey_mip1", TexSeed(0x40, {grey}));
    Seed("texture", "engine_black", TexSeed(8, {eng}));
    Seed("texture", "alpha_alone", TexSeed(1, {engAlpha}));
    Seed("texture", "engine_and_alpha", TexSeed(2, {eng, engAlpha}));
    Seed("texture", "bmp24", TexSeed(0, {bmp24}));
    Seed("texture", "bmp8_and_alpha", TexSeed(2, {bmp8, alpha}));
    Seed("texture", "anim", TexSeed(3, {eng, grey}, {0, 0}));
    Seed("texture", "anim_alpha", TexSeed(3, {eng, engAlpha, bmp24}, {1, 0, 0}));

    Seed("palette", "palette", datakit::PaletteFile(Colours()));
    Seed("palette", "palette_empty", datakit::PaletteFile({}));

    datakit::HFieldFile hf;
    hf.n = 3;
    hf.heights = {0, 1, 2, -1, 0.5f, 100, 3, 2, 1};
    Seed("hfield", "hfield3", datakit::HFieldBytes(hf));
    hf.rawN = 4;
    Seed("hfield", "hfield_short", datakit::HFieldBytes(hf));
}

void Sounds() {
    Bytes pcm16 = datakit::PcmBytes({0, 1000, -1000, 32767, -32768, 5, 6, 7});
    Bytes pcm8 = Ramp(64);
    Seed("wave", "mono16", datakit::BuildWav({1, 1, 22050, 16, {}}, pcm16));
    Seed("wave", "stereo16_44k", datakit::BuildWav({1, 2, 44100, 16, {}}, pcm16));
    Seed("wave", "mono8_11k", datakit::BuildWav({1, 1, 11025, 8, {}}, pcm8));
    Seed("wave", "junk_chunks", datakit::BuildWav({1, 1, 22050, 16, {}}, pcm16, {true, true}));
    Seed("wave", "adpcm", datakit::BuildWav({2, 1, 22050, 4, {0xf4, 0x01}}, pcm8));
}

void Objects() {
    Seed("object", "box", datakit::BoxObject(1, 2, 3, {10, 20, 30}).Bytes());
    datakit::ObjectFile obj = datakit::BoxObject(1, 1, 1, {9, 9, 9}, 0);
    datakit::AddBox(obj, 3, 0, 0, 1, 1, 1, {1, 2, 3});
    obj.Anchor(0, 1, 0);
    obj.Plane(0, 1, 0, 2);
    obj.Sphere(0, 2.5f);
    obj.Spot(1, 2, 3);
    obj.HField(2, {0, 1, 2, 3});
    obj.Patches({{3, {0, 1, 2}}, {0, {0, 1}}});
    datakit::ObjBspNode root;
    root.front = std::make_unique<datakit::ObjBspNode>();
    root.front->leaf = true;
    root.front->faces = {0, 1, 2};
    root.back = std::make_unique<datakit::ObjBspNode>();
    root.back->leaf = true;
    root.back->faces = {3, 4, 5};
    obj.Bsp(2, root);
    Seed("object", "chunks", obj.Bytes());
    datakit::ObjectFile bb = datakit::BoxObject(1, 1, 1, {9, 9, 9});
    datakit::ObjBBoard b;
    b.a = 0;
    b.b = 1;
    b.name = "flag";
    bb.bboards.push_back(b);
    Seed("object", "bboard", bb.Bytes());
}

// A world seed: the case byte, then the world file alone or led by its length with the chunk file after.
Bytes WorldSeed(const Bytes& world, const Bytes* chunks = nullptr) {
    Bytes out{uint8_t(chunks ? 1 : 0)};
    if (chunks)
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(world.size() >> (8 * i)));
    out.insert(out.end(), world.begin(), world.end());
    if (chunks) out.insert(out.end(), chunks->begin(), chunks->end());
    return out;
}

void Worlds() {
    using namespace datakit;
    std::vector<WorldSubPoint> defs(2 * 256);
    for (size_t i = 0; i < defs.size(); ++i) defs[i] = {int16_t(i % 300), 0x9000, 0x0f};
    WorldTileLayer layer;
    layer.width = 3;
    layer.height = 2;
    for (int k = 0; k < 6; ++k) {
        WorldTile t;
        t.def = uint32_t(k % 2);
        t.tex = {uint16_t(k % 2), 0xFFFF, 0xFFFF, 0xFFFF};
        layer.tiles.push_back(t);
    }
    std::vector<uint8_t> idx(16, 90);
    std::vector<WorldTexture> textures{{"grass", EngineTexture(2, 2, idx)}, {"{water", EngineTexture(2, 2, idx)}};
    // The sky of seven laterals that the sky drawing reads, its halo and moon beside the world file.
    WorldSky sky = DaySky("sky.halo", "sky.moon", 5);
    WorldAUDef au;
    au.name = "EMA_Group";
    au.lists[0].push_back({"EMAJeep", 100, {1, 2, 3, 4, 5, 6}, std::vector<uint8_t>{9, 9}});
    for (uint32_t version : {101u, 102u}) {
        WorldFile w(version);
        w.TileClone({20, 0x8000 | 0x2000 | 0x0123, 0x33, {1, 2, 3}});
        w.TileField(layer);
        w.TopTileField(layer);
        w.TileDefPool(defs);
        w.Textures(textures);
        w.Sky(sky);
        w.AUDef(au, 7);
        w.UnitData(0, 0, 0, {1, 2, 3});
        w.Raw(9, {1, 2, 3, 4});
        Seed("world", "world" + std::to_string(version), WorldSeed(w.Bytes()));
    }
    WorldFile skyOnly(102);
    skyOnly.TileField(layer);
    skyOnly.TileDefPool(defs);
    skyOnly.Sky(sky);
    Seed("world", "world102_sky", WorldSeed(skyOnly.Bytes()));
    // The world of the harness's level: its action units are the ones the mission's script activates.
    Seed("world", "fuzz_level", WorldSeed(kvfuzz::FuzzWorld()));
    WorldFile bare(102);
    bare.TileField(layer);
    Bytes chunkFile = TileDefPoolChunkFile(defs);
    Seed("world", "world102_chunkfile", WorldSeed(bare.Bytes(), &chunkFile));
}

void ActionUnits() {
    using namespace datakit;
    WorldAUDef au;
    au.name = "EMA_Group";
    au.abstractClan = 1;
    au.lists[0].push_back({"EMAJeep", 100, {1, 2, 3, 4, 5, 6}, std::vector<uint8_t>{9, 9}});
    au.lists[0].push_back({"EMAJeep", 50, {7, 8, 9, 10, 11, 12}, std::nullopt});
    au.lists[2].push_back({"GABunker", 100, {0, 0, 0, 0, 0, 0}, std::nullopt});
    Seed("actionunits", "three_units", AUDefBody(au));
    // Two jeeps standing on the small world of the harness's level.
    WorldAUDef jeeps;
    jeeps.name = "Fuzz_Jeeps";
    jeeps.abstractClan = 1;
    jeeps.lists[1].push_back({"EMAJeep", 100, {3 * 65536, 0, 3 * 65536, 0, 0, 0}, std::nullopt});
    jeeps.lists[1].push_back({"EMAJeep", 60, {3 * 65536, 0, 4 * 65536, 0, 0, 102943}, std::nullopt});
    Seed("actionunits", "two_jeeps", AUDefBody(jeeps));
    Seed("actionunits", "empty_lists", AUDefBody(WorldAUDef{"Nobody", 0, 0, {}}));
}

void WayPoints() {
    using datakit::WayPointListRecord;
    std::vector<uint8_t> lists;
    for (const auto& r : {std::optional<WayPointListRecord>(WayPointListRecord{{{1, 2, 3}, {4, 5, 6}}, 8, {}}),
                          std::optional<WayPointListRecord>(),
                          std::optional<WayPointListRecord>(WayPointListRecord{{{7, 8, 9}, {1, 1, 1}}, 1, {}})}) {
        std::vector<uint8_t> one = datakit::WayPointListBytes(r);
        lists.insert(lists.end(), one.begin(), one.end());
    }
    Seed("waypoints", "three_lists", lists);
}

void Units() {
    std::string demo = SourceFile("data/app/units");
    if (!demo.empty()) SeedText("units", "demo_units", demo);
    SeedText("units", "small",
             datakit::UnitsFileText({{"Scout", "EMAJeep", "Scout car", "ema\\jeep", {"DARKENED"}, {"LARGE"}, "a comment"},
                                     {"Bare", "EMAJeep", "", "ema\\bare", {}, {}, ""}}));
}

}  // namespace

// Saved games of the demo level that the savedgame harness loads into: as built (the level's restart
// point), after some ticks of play, cut short, and of an obsolete version.
Bytes SavedDemoGame(const char* name) {
    if (!SaveQZGM(name)) {
        fprintf(stderr, "fuzz_seeds: the demo level could not be saved\n");
        std::exit(1);
    }
    std::ifstream in(std::string("SavedGames/") + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void SavedGames() {
    kvfuzz::DemoLevel();
    const Bytes start = SavedDemoGame("seed_start");
    Seed("savedgame", "level", start);
    for (int tick = 0; tick < 40; ++tick) WorldTick(1, 1);
    Seed("savedgame", "played", SavedDemoGame("seed_played"));
    Seed("savedgame", "cut", Bytes(start.begin(), start.begin() + long(start.size() / 3)));
    Bytes obsolete = start;
    obsolete[4] = 117;
    Seed("savedgame", "obsolete", obsolete);
}

// A clan's AI for the harness "hlclan" (the action unit "outpost" of three units): all camping, two held
// with one on stand-by; and the third holding while it hears, under the player's direct control, in the
// player's clan.
void HLClans() {
    datakit::SavedHLClanState ai;
    ai.serialCounter = 4;
    ai.hostility = {1, 2, 0};
    ai.damage = {0, 7, 0};
    ai.agents = {datakit::SavedUnitRef{"outpost", 0}, datakit::SavedUnitRef{"outpost", 1},
                 datakit::SavedUnitRef{"outpost", 2}};
    ai.standBy = {1};
    ai.threads = {{0, 0, {0}, {0, 0, 0}, {}}, {0, 1, {1}, {100000, 0, 0}, {}}, {0, 2, {2}, {200000, 0, 0}, {}},
                  {1, 3, {0, 1}, {0, 0, 0, 100000, 0, 0}, {}}};
    ai.chains = {{0, 3}, {1, 3}, {2}};
    Seed("hlclan", "hold", datakit::SavedHLClanStateBytes(ai));
    ai.playerFlag = 1;
    ai.manual = 2;
    ai.serialCounter = 5;
    ai.threads.push_back({12, 4, {2}, {200000, 0, 0}, {}});
    ai.chains[2] = {2, 4};
    Seed("hlclan", "hearing", datakit::SavedHLClanStateBytes(ai));

    // The other behaviours over the three camping units, one seed for each class (a way of three points,
    // a chase of unit 2, a return with a time limit; an attack; a patrol; a follow of unit 2; a hide and
    // the player's unit).
    using Points = std::vector<std::array<int32_t, 3>>;
    const Points way{{0, 0, 0}, {300000, 0, 0}, {300000, 0, 300000}};
    const datakit::SavedUnitRef two{"outpost", 2};
    datakit::SavedHLClanState base;
    base.serialCounter = 9;
    base.hostility = {1, 2, 0};
    base.playerFlag = 1;
    base.agents = ai.agents;
    base.threads = {{0, 0, {0}, {0, 0, 0}, {}}, {0, 1, {1}, {100000, 0, 0}, {}}, {0, 2, {2}, {200000, 0, 0}, {}}};
    auto seed = [&](const char* name, std::vector<datakit::SavedHLThread> more, std::vector<std::vector<int32_t>> chains) {
        datakit::SavedHLClanState s = base;
        for (auto& t : more) s.threads.push_back(t);
        s.chains = chains;
        Seed("hlclan", name, datakit::SavedHLClanStateBytes(s));
    };
    datakit::SavedHLBody go, chase, back;
    go.i32(300000).i32(0).i32(300000).unit(std::nullopt).u32(0).u32(0).way(way, 1024).u32(1).u32(0);
    chase.i32(200000).i32(0).i32(0).unit(two).u32(0).u32(0).way(way, 1024).u32(2).u32(1);
    back.i32(0).i32(0).i32(0).unit(std::nullopt).u32(0).u32(500).way(Points{{0, 0, 0}}, 16).u32(1).u32(0);
    seed("goto", {{2, 3, {0}, {}, go.bytes()}, {5, 4, {1}, {}, chase.bytes()}, {8, 5, {1}, {}, back.bytes()}},
         {{0, 3}, {1, 4, 5}, {2}});
    datakit::SavedHLBody attack;
    attack.unit(two).u32(450000).u32(1).u32(20).u32(10);
    for (int32_t v : {0, 0, 0, 100000, 0, 0}) attack.i32(v);
    attack.u32(2).u32(4).u8(0).u8(1).u32(40).u32(80).u32(12).u32(0);
    seed("attack", {{4, 3, {0, 1}, {}, attack.bytes()}}, {{0, 3}, {1, 3}, {2}});
    datakit::SavedHLBody patrol;
    patrol.name("outpost").way(way, 100).u32(1).u32(0);
    for (int32_t v : {-50000, 0, 0, 50000, 0, 0}) patrol.i32(v);
    seed("patrol", {{6, 3, {0, 1}, {}, patrol.bytes()}}, {{0, 3}, {1, 3}, {2}});
    datakit::SavedHLBody follow;
    follow.unit(two).u32(0).u32(0).u32(1).u32(1).u32(1).u32(0).u32(0).u32(1).u32(0).u32(40);
    seed("follow", {{9, 3, {0, 1}, {}, follow.bytes()}}, {{0, 3}, {1, 3}, {2}});
    datakit::SavedHLBody hide;
    hide.u32(0).u32(1600).i32(0).i32(0).i32(0);
    seed("hide_manual", {{10, 3, {0}, {}, hide.bytes()}, {11, 4, {1}, {}, {}}}, {{0, 3}, {1, 4}, {2}});
}

void MissionScripts() {
    std::string demo = SourceFile("data/Scripts/Ema01.txt");
    if (!demo.empty()) SeedText("dayevents", "Ema01.txt", demo);
    SeedText("dayevents", "every_block",
             "event_timed_0 0 0 0 \"RAINSTART\";\n"
             "event_timed_1 0 2 0 1 5 \"PRIMARY\";\n"
             "event_dayly_0 6 0 \"INCVAR\" \"d\";\n"
             "event_dayly_1 18 0 2.5 \"SETVAR\" \"d\";\n"
             "event_span_0 0 1 0 0 3 0 \"MSGOUT\" \"Hello there\";\n"
             "event_triggered_0 0.05 \"big\" \"CLANSUCCESS\" \"EMA\";\n"
             "event_triggered_1 1 10.5 20 \"big\" \"AI_GOTO\" \"GA\" \"GA_Outpost\";\n"
             "event_repeat_0 4 \"small\" \"RESTRICT\";\n"
             "event_repeat_1 \"big\" \"ACTIVATEAU\" \"GA_Outpost\";\n"
             "big_A_0 \"VARGREATER\" \"d\" 1;\n"
             "big_B_0 \"INVICINITY\" \"EMA_TaskForce\" \"GA_Outpost\" 65536;\n"
             "small_A_0 \"VARLESS\" \"d\" 2;\n"
             "small_A_3 \"GOTNOHOSTILES\" \"GA_Outpost\";\n"
             "Obj_added \"added\" \"New\" \"New too\";\n"
             "end\n");
    std::string radio = SourceFile("data/app/text/Ema01/Radio1.txt");
    if (!radio.empty()) SeedText("messagefile", "Radio1.txt", radio);
    SeedText("messagefile", "two_lines",
             datakit::MessageFileText({10, 20, 30, "Sender", "First line of it.\n\tSecond, with a tab.\n"}));
    SeedText("messagefile", "long_word", datakit::MessageFileText({1, 2, 3, "X", std::string(300, 'w') + " end"}));
}

// Each vehicle type's saved form behind its row's byte (the harness "vehiclesaved"): the jeep at rest with
// its lights on, its turret turned, its engine running and its gun loaded, and every other type of the
// table from a block of its own with the same head; and the jeep's form cut short.
void VehicleSaved() {
    int count = 0;
    const VehicleTypeRow* rows = VehicleTypeRows(&count);
    for (int n = 0; n < count; ++n) {
        const VehicleForm& form = rows[n].form();
        std::vector<uint8_t> block(form.blockSize, 0);
        auto* head = reinterpret_cast<VehicleHead*>(block.data());
        head->unit.velocity[0] = 300;
        uint8_t* out = VehicleFormPut(form, block.data(), 0);
        Bytes seed{uint8_t(n)};
        seed.insert(seed.end(), out, out + VehicleFormSize(form));
        qzFree(out);
        if (std::string(rows[n].name) == "EMAJeep") {
            // The jeep's own form as the game writes it.
            UnitLighting lighting{};
            lighting.on = 1;
            UnitLighting_putSaved(&lighting, seed.data() + 1 + kEMAJeepSavedLighting);
            WeaponTurret turret{};
            turret.yaw = 20000;
            Turret_putSaved(&turret, seed.data() + 1 + kEMAJeepSavedTurret);
            WheelDrive drive{};
            drive.g.engine.soundOn = 1;
            WheelDrive_putSaved(&drive, seed.data() + 1 + kEMAJeepSavedDrive);
            Seed("vehiclesaved", "jeep", seed);
            seed.resize(kEMAJeepSavedSize / 2);
            Seed("vehiclesaved", "cut", seed);
            continue;
        }
        Seed("vehiclesaved", rows[n].name, seed);
    }
}

// The front end's small files: a progress file, a campaign file, a team list and a credits text (the
// demo's own where data/ has them).
void Campaigns() {
    SeedText("progress", "three_sections",
             datakit::ProgressText({{"Ema_missions:", {{"EmaTut", "1"}, {"Ema01", "0"}, {"Ema02", "0"}}},
                                    {"Ga_missions:", {{"Ga01", "0"}}},
                                    {"Bonus_missions:", {}}}));
    SeedText("progress", "cut", datakit::ProgressText({{"Ema_missions:", {{"Ema01", "01"}, {"Ema02", "x"}}, false}}));
    SeedText("campaignfile", "titles",
             datakit::CampaignText({{"EmaTut", "Basic Training"}, {"Ema01", "Island Outpost"}, {"Ga01", "Across"}}));
    SeedText("campaignfile", "lone_quote", datakit::CampaignText({{"Ema01", "Dock", false}, {"Ga01", "\"", false}}));
    SeedText("teamlist", "teams",
             datakit::TeamListText({{"Wolves", "wolves", "200", "60", "40", {}}, {"Bears", "bears", "300", "abc", "-5", {"x"}}}));
    SeedText("credits", "blocks",
             datakit::CreditsText({"---SLIDE:s", "KARVONEL", "", "a line", "---CUT---", "---SLIDE:s", "two", "---CUT---", "end"}));
    SeedText("credits", "demo", SourceFile("data/app/text/credits.txt"));
}

// The multiplayer settings file, and the network's packets: a search request and an answer carrying a
// session record, and the scripts of a host taking a joiner and of a joiner taking the host's welcome.
void Network() {
    datakit::MultiplayerSettings settings;
    settings.playername = "Rex";
    settings.gamename = "Duel";
    settings.roundtime = 2.5;
    SeedText("multiplayerfile", "settings", datakit::MultiplayerFileText(settings));
    SeedText("multiplayerfile", "others", "Gamename \"Big Game\" lives 3 maxplayers 4 /* note */ buytime 1e9\n");

    using namespace host::netwire;
    Bytes bytes;
    SearchRequest request{host::kNetProtocolVersion, {}, kvfuzz::kSearchNonce};
    memcpy(request.application, kvfuzz::kSearchApp, 16);
    Encode(request, &bytes);
    Seed("netsearch", "request", bytes);
    SearchAnswer answer{};
    answer.version = host::kNetProtocolVersion;
    memcpy(answer.application, kvfuzz::kSearchApp, 16);
    answer.nonce = kvfuzz::kSearchNonce;
    answer.maxPlayers = 8;
    answer.players = 3;
    snprintf(answer.name, sizeof answer.name, "Duel");
    SessionRecord record{};
    snprintf(record.gameName, sizeof record.gameName, "Duel");
    snprintf(record.missionName, sizeof record.missionName, "MultiCanyon");
    record.maxplayers = 8;
    record.roundtime = 2.5f;
    EncodeSessionRecord(record, answer.data);
    answer.dataSize = kSessionRecordSize;
    Encode(answer, &bytes);
    Seed("netsearch", "answer", bytes);

    // The host: a joiner's hello on a connection just come in, a message of the joined player, a stray
    // packet, and the connection's end.
    Bytes script{0};
    Hello hello{};
    hello.version = host::kNetProtocolVersion;
    memcpy(hello.application, kvfuzz::kPacketApp, 16);
    snprintf(hello.name, sizeof hello.name, "Ann");
    Encode(hello, &bytes);
    kvfuzz::ScriptRecord(&script, 1, 0, bytes);
    kvfuzz::ScriptRecord(&script, 0, 1, {0, 'h', 'i'});
    Encode(PlayerGone{2}, &bytes);
    kvfuzz::ScriptRecord(&script, 0, 0, bytes);
    kvfuzz::ScriptRecord(&script, 2, 1, {});
    Seed("netpacket", "host", script);

    // The joiner: the welcome with one player to connect to, its address, the connection up and taken,
    // a message from the host and a player gone.
    script = {1};
    Welcome welcome{};
    welcome.yourId = 3;
    welcome.hostId = 1;
    welcome.nextId = 4;
    welcome.maxPlayers = 8;
    welcome.players = 1;
    snprintf(welcome.sessionName, sizeof welcome.sessionName, "Duel");
    snprintf(welcome.hostName, sizeof welcome.hostName, "Hal");
    Encode(welcome, &bytes);
    kvfuzz::ScriptRecord(&script, 0, 0, bytes);
    Announce announce{};
    announce.id = 2;
    announce.ip = 0x0A000009;
    announce.port = 24610;
    announce.nextId = 4;
    snprintf(announce.name, sizeof announce.name, "Ann");
    Encode(announce, &bytes);
    kvfuzz::ScriptRecord(&script, 0, 0, bytes);
    kvfuzz::ScriptRecord(&script, 2, 0, {});
    Encode(MeshAccept{2}, &bytes);
    kvfuzz::ScriptRecord(&script, 1, 0, bytes);
    kvfuzz::ScriptRecord(&script, 0, 0, {0, 'g', 'o'});
    Encode(PlayerGone{2}, &bytes);
    kvfuzz::ScriptRecord(&script, 0, 0, bytes);
    Seed("netpacket", "joiner", script);
}

// The application messages: for each handler, a script of the legal message from the machine that may
// send it (as applmessage.cpp reads it: the starting round status and who hosts, then records of handler
// 0xFF, sender, length, bytes), and one of every kind at once.
void ApplMessages() {
    using datakit::Message;
    struct Kind {
        const char* name;
        Message message;
        bool fromHost;  // a host's message (player 2 hosts), else one for the host (this machine hosts)
    };
    const std::vector<Kind> kinds = {
        {"singleinput", datakit::SingleInputMessage(40, 0x21, -300, 5, 0), false},
        {"chat", datakit::ChatMessage("good luck"), false},
        {"wantplayerdata", datakit::WordMessage(2, 3), false},
        {"playerdata", datakit::PlayerdataMessage(3, "Bob", "GAJeep", 1, 0x45), true},
        {"fundraise", datakit::WordMessage(4, 1500), true},
        {"startpositions", datakit::StartPositionsMessage({{1, {1, 2, 3, 4, 5, 6}}, {3, {7, 8, 9, 10, 11, 12}}}), true},
        {"updatedata",
         datakit::UpdatedataMessage({{3, {65536, 0, 131072}, {32768, 0, 0, 0, 32768, 0, 0, 0, 32768}, 100, 200, {5, 50, 9}},
                                     {1, {0, 0, 0}, {}, 0, 0, {}}}),
         true},
        {"byebye", datakit::NumberMessage(8), false},
        {"gamestatus", datakit::WordMessage(9, 2), true},
        {"wantassign", datakit::WordMessage(10, 1), false},
        {"autoassign", datakit::NumberMessage(11), false},
        {"refuseassignment", datakit::NumberMessage(12), true},
        {"clanassignment", datakit::ClanAssignmentMessage(1, 1), true},
        {"wantchangeunit", datakit::WantChangeUnitMessage("EMATank"), false},
        {"unitchange", datakit::UnitChangeMessage(3, "GAMech"), true},
    };
    Bytes all{0x04};
    for (const Kind& k : kinds) {
        // The fight phase, so that the units' state is taken; player 2 sends.
        Bytes script{static_cast<uint8_t>(0x04 | (k.fromHost ? 0x80 : 0))};
        kvfuzz::ScriptRecord(&script, 0xFF, 1, k.message);
        Seed("applmessage", k.name, script);
        kvfuzz::ScriptRecord(&all, 0xFF, k.fromHost ? 2 : 0x81, k.message);
    }
    Seed("applmessage", "all", all);
}

// One form of each stored effect as it stands in a saved game: a fire burning, smoke drifting, a missile
// in flight, a rocket chasing a unit of the action unit "convoy"; each behind its type's byte.
void EffectSaved() {
    for (int kind = 0; kind < kvfuzz::kStoredEffectCount; ++kind) {
        construct* con = kvfuzz::BareEffect(kind);
        auto* w = static_cast<int32_t*>(con->itfcData);
        const ItfcProc itfc = kvfuzz::kStoredEffects[kind].itfc;
        if (itfc == Smoky_itfc || itfc == Dust_itfc) {
            w[0] = 1200, w[1] = 10000, w[2] = -900, w[3] = 40;
            if (itfc == Dust_itfc) w[4] = 100;
        } else if (itfc == Fire1_itfc) {
            auto* f = static_cast<Fire1Block*>(con->itfcData);
            f->age = 90, f->lifetime = 2000, f->generations = 20, f->restLength = 4000;
        } else if (itfc == Missile_itfc || itfc == Rocket_itfc) {
            auto* m = static_cast<MissileBlock*>(con->itfcData);
            m->topSpeed = 3000, m->travelled = 40000, m->range = 300000, m->acceleration = 150, m->speed = 2400;
            m->dropSpeed = -40, m->age = 16, m->vapourCountdown = 3;
            if (itfc == Rocket_itfc) m->turnRate = 2000;
        } else if (itfc == Shrapnel_itfc) {
            auto* r = static_cast<ShardRecord*>(con->itfcData);
            r->timer = 40, r->velocity[0] = 30000, r->velocity[1] = 90000, r->spin[1] = 300.0f;
        } else if (itfc == Explode1_itfc || itfc == FireTail_itfc) {
            w[0] = 5;
        }
        int32_t size = 0;
        auto* block = reinterpret_cast<uint8_t*>(CallItfc(con, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
        Bytes form(1, uint8_t(kind));
        form.insert(form.end(), block, block + size);
        qzFree(block);
        if (itfc == Rocket_itfc) {
            // The target's flag, then its action unit and index after the sounds.
            form[1 + 56] = 1;
            std::memcpy(form.data() + 1 + 516, "convoy", 7);
            form[1 + 548] = 1;
        }
        Seed("effectsaved", std::string(ItfcName(itfc)), form);
        CallItfc(con, ItfcMethod::DESTROY, 0);
    }
}

// The element types' saved forms (the first byte picks the type): each as a standing element would
// hand it out, a gate half open, a lift on its way up, a tree swinging; and a form cut short.
void ElementSaved() {
    auto put32 = [](Bytes& b, size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k) b[at + size_t(k)] = uint8_t(v >> (8 * k));
    };
    auto putF = [&](Bytes& b, size_t at, float f) {
        uint32_t v;
        std::memcpy(&v, &f, 4);
        put32(b, at, v);
    };
    const size_t alive = kUnitSavedSize + 28;
    for (int i = 0; i < kElementFormCount; ++i) {
        const ElementSavedForm& f = ElementSavedForms[i];
        Bytes form(f.size + 1, 0);
        form[0] = uint8_t(i);
        const ElementForm kind = ElementForm(i);
        const bool keepsAlive = kind != ElementForm::NRGGate && kind != ElementForm::Scenery && kind != ElementForm::Lantern;
        if (keepsAlive) form[1 + alive] = 1;
        if (kind == ElementForm::LGateElem) {
            putF(form, 1 + alive + 4, 0.5f);
            putF(form, 1 + alive + 8, 0.05f);
        }
        if (kind == ElementForm::LiftElem) {
            putF(form, 1 + alive + 4, 0.3f);
            putF(form, 1 + alive + 8, 0.02f);
        }
        if (kind == ElementForm::MultiScenery) {
            for (int k = 0; k < 3; ++k) put32(form, 1 + alive + 8 + 4 * size_t(4 * k), 32768);
            put32(form, 1 + alive + 44, 1);
            putF(form, 1 + alive + 56, 0.3f);
            putF(form, 1 + alive + 60, 0.2f);
            put32(form, 1 + alive + 64, 32768);
        }
        if (kind == ElementForm::Lantern) form[1 + 2] = 1;
        if (f.check(form.data() + 1, f.size)) {
            fprintf(stderr, "fuzz_seeds: the %s seed is refused\n", f.type);
            std::exit(1);
        }
        Seed("elementsaved", f.type, form);
    }
    Bytes cut(ElementSavedForms[0].size / 2, 0);
    Seed("elementsaved", "cut", cut);
}

// A scene file for the scene harness's convoy of two units (8-byte blocks): a keyframed segment of
// records on the first track, two segments on the second, one setting the world state; and the same cut.
void SceneFiles() {
    datakit::SceneSegment first;
    first.end = 40;
    first.data = {7, 0, 0, 0, 1, 2, 3, 4};
    first.orient = {32767, 0, 0, 0, 32767, 0, 0, 0, 32767};
    for (int i = 0; i < 40; ++i) {
        datakit::SceneInput in;
        in.keys[1] = 0x40;
        in.axes[0] = int16_t(i * 100);
        first.inputs.push_back(in);
    }
    datakit::SceneSegment a = first, b = first;
    b.start = 40;
    b.end = 60;
    b.worldState = 1;
    b.clock = 36000;
    b.cloudLevel = 30000;
    b.inputs.resize(20);
    datakit::SceneCut scene{"convoy", {{first}, {a, b}}};
    Bytes bytes = datakit::SceneFileBytes({scene});
    Seed("scenefile", "convoy", bytes);
    bytes.resize(bytes.size() / 2);
    Seed("scenefile", "cut", bytes);
}

// One form of each weapon kind a saved game stores, in flight, behind its kind's byte; then the two
// cannons' forms: a chain laid and waiting for its test, a beam firing.
void WeaponSaved() {
    for (int kind = 0; kind < kvfuzz::kStoredWeaponCount; ++kind) {
        construct* con = kvfuzz::BareWeapon(kind);
        const ItfcProc itfc = kvfuzz::kStoredWeapons[kind].itfc;
        if (itfc == ClusterGrenade_itfc || itfc == Projectile_itfc) {
            auto* b = static_cast<GrenadeFlightBlock*>(con->itfcData);
            b->velocity[0] = 1500, b->velocity[1] = 300, b->gravity = 20, b->lifetime = 60, b->trailCountdown = 1;
            b->launchOrient[0] = b->launchOrient[4] = b->launchOrient[8] = 32768;
        } else if (itfc == Grenade_itfc) {
            static_cast<GrenadeBlock*>(con->itfcData)->velocity[1] = -400;
        } else if (itfc == AMCapsule_itfc) {
            auto* b = static_cast<AMCapsuleBlock*>(con->itfcData);
            b->velocity[2] = 900, b->gravity = 25;
        } else if (itfc == NuclearShock_itfc) {
            static_cast<NuclearShockBlock*>(con->itfcData)->countdown = 300;
        } else if (itfc == HVSegment_itfc) {
            auto* b = static_cast<HVSegmentBlock*>(con->itfcData);
            b->impact = DamageRecord{30, 25, 30};
            b->armed = 1;
        } else if (itfc == PlasmaBolt_itfc) {
            auto* b = static_cast<PlasmaBoltBlock*>(con->itfcData);
            b->speed = 3000, b->range = 150000, b->travelled = 30000, b->counter = 10;
        }
        int32_t size = 0;
        auto* block = reinterpret_cast<uint8_t*>(CallItfc(con, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
        Bytes form(1, uint8_t(kind));
        form.insert(form.end(), block, block + size);
        qzFree(block);
        Seed("weaponsaved", std::string(ItfcName(itfc)), form);
        CallItfc(con, ItfcMethod::DESTROY, 0);
    }
    HVCannon hv{};
    hv.ammo = hv.ammoCapacity = 30, hv.fireDelay = 60, hv.fireDelayCounter = 59, hv.beamState = kHVLaid, hv.pace = 6000;
    hv.segmentCount = 10, hv.fireTick = 1000;
    Bytes form(1 + kHVCannonSavedSize, uint8_t(kvfuzz::kHVCannonKind));
    HVCannon_putSaved(&hv, form.data() + 1);
    Seed("weaponsaved", "HVCannon", form);
    BeamCannon beam{};
    beam.active = 1, beam.beamState = kBeamFiring, beam.firingTime = 50, beam.firingCounter = 20, beam.pauseDelay = 120;
    beam.warmUpDelay = 30, beam.warmUpCounter = -1, beam.range[2] = 120000, beam.aperture = 13726;
    beam.apertureCosine = 713, beam.nearPace = 8000, beam.farPace = 16000, beam.inAperture = 1, beam.ammo = -1;
    beam.beamImpact = DamageRecord{5, 12, 10};
    form.assign(1 + kBeamCannonSavedSize, uint8_t(kvfuzz::kBeamCannonKind));
    BeamCannon_putSaved(&beam, form.data() + 1);
    Seed("weaponsaved", "BeamCannon", form);
}

int main(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (!std::strcmp(argv[i], "--out")) g_out = argv[i + 1];
    // The saved games are made in a level in a folder of its own: the output folder is kept absolute.
    if (!g_out.empty()) g_out = std::filesystem::absolute(g_out).string();
    if (g_out.empty()) {
        fprintf(stderr, "usage: fuzz_seeds --out FOLDER\n");
        return 2;
    }
    Package();
    ApplMessages();
    HLClans();
    TextFiles();
    Images();
    Sounds();
    Objects();
    Worlds();
    Units();
    ActionUnits();
    WayPoints();
    SavedGames();
    VehicleSaved();
    SceneFiles();
    MissionScripts();
    EffectSaved();
    ElementSaved();
    Campaigns();
    WeaponSaved();
    Network();
    printf("fuzz_seeds: %d seeds written to %s\n", g_written, g_out.c_str());
    return 0;
}

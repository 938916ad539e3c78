// Reading a saved game: the header decides whether it belongs to the running mission; then the whole
// file is read and checked against the running level before the level is changed at all.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "ai/AIStubs.h"
#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "ai/DayEvents.h"
#include "ai/HiLogic.h"
#include "ai/MissionDesc.h"
#include "core/Config.h"
#include "core/Files.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "hud/MissionStatus.h"
#include "objects/SharedPools.h"
#include "objects/UnitSaved.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "platform/Sound.h"
#include "render/Sky.h"
#include "render/Weather.h"
#include "objects/SceneryLighting.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "game/Level.h"
#include "game/Level_local.h"
#include "game/SavedGame_local.h"
#include "world/SceneryFx.h"
#include "game/Startup.h"
#include "world/Statics.h"
#include "world/Terrain.h"
#include "world/WorldFile.h"
#include "game/WorldTick.h"

namespace qzgm {
namespace {

constexpr size_t kMaxFileSize = size_t(1) << 30;  // far beyond any level's saved game
constexpr size_t kDayEventBytes = 352;
constexpr size_t kMinConBytes = 100;  // the smallest saved construct record

// What a chunk will have made of an action unit by the time the next chunk is read, so that references
// can be checked in file order as they will be resolved.
struct AUState {
    bool pool;
    bool placed;
    bool current;  // the pool is the one the level holds now (its members can be checked)
    int64_t count;  // members, -1 when it is known only after the pool is made
};

// Constructs made only to check saved records against; destroyed (never placed) when the check is done.
struct Probes {
    std::vector<construct*> cons;
    Probes() = default;
    Probes(const Probes&) = delete;
    Probes& operator=(const Probes&) = delete;
    ~Probes() {
        for (construct* con : cons) CallItfc(con, ItfcMethod::DESTROY, 0);
    }
};

// Whether the unit's directory holds the wreck's geometry (a unit without it never leaves a wreck).
bool LeavesWreck(const Unit* unit) {
    if (!unit->path) return false;
    char path[512];
    snprintf(path, sizeof path, "%s%c%s", unit->path, kPathSeparator, "deadbody");
    return qzpk_exists(path) != 0;
}

struct Planner {
    In& in;
    LoadPlan* plan;
    std::vector<AUState> state;  // by action-unit table index
    int statRefs = 0;
    // The player's unit and the units' targets are resolved once every action unit has its saved state:
    // one may name a unit of an action unit whose chunk comes later.
    struct Deferred {
        UnitRef ref;
        const char* chunk;
        const char* what;
    };
    std::vector<Deferred> deferred;

    int IndexOf(const AUDef* au) const {
        for (int i = 0; i < AUDefCount; ++i)
            if (AUDefTable[i] == au) return i;
        return -1;
    }

    // A reference to a member of an action unit's pool; chunk and what name the messages' source.
    void CheckRef(const UnitRef& ref, const char* chunk, const char* what, bool mustBePlaced) {
        if (!in.ok()) return;
        AUDef* au = NamedAUDef(ref.au);
        if (!au) return in.Fail("%s: %s '%s' not present", chunk, what, ref.au);
        const AUState& s = state[size_t(IndexOf(au))];
        if (!s.pool || (mustBePlaced && !s.placed)) return in.Fail("%s: %s '%s' not moved", chunk, what, ref.au);
        if (s.count >= 0 && int64_t(ref.index) >= s.count)
            return in.Fail("%s: %s '%s' has too few units", chunk, what, ref.au);
    }

    // The constructs an action unit's CREATE will make, in pool order: one per list entry whose type
    // exists. The types' parameters (SETPARAMS) change no list or block size, so they are not handed.
    bool ProbeAUUnits(AUDef* au, std::vector<construct*>* out) {
        Clan* clan = au->abstractClan >= 0 && au->abstractClan < 3 ? AbstractClanMap[au->abstractClan] : nullptr;
        if (!clan) {
            in.Fail("SAVEDAU: au '%s' has an abstract clan that is not mapped", au->name);
            return false;
        }
        const AUUnitList& list = au->lists[ClanIndex(clan)];
        for (int i = 0; i < list.count; ++i)
            if (auto* con = reinterpret_cast<construct*>(UnitType_itfc(list.units[i], nullptr, ItfcMethod::CREATE, 0)))
                out->push_back(con);
        return true;
    }

    void ReadRef(UnitRef* ref) {
        in.Name(ref->au, sizeof ref->au, "an action unit's name");
        ref->index = in.U32();
    }

    void WorldState() {
        SavedWorldState w{};
        w.secondsPerTick = in.F32();
        for (int32_t& v : w.missionWords) v = in.I32();
        in.Raw(w.missionMessage, 64);
        for (int32_t& v : w.waterLevel) {
            v = in.I32();
            // Heights are water levels times 8: a level beyond kMaxWaterLevel would overflow there.
            if (in.ok() && (v < -kMaxWaterLevel || v > kMaxWaterLevel))
                in.Fail("SAVEDWORLDSTATE: water level %d out of range", v);
        }
        for (int32_t& v : w.waterMark) v = in.I32();
        w.precipitation = in.I32();
        w.cloudSpeed = in.F32();
        w.cloudValue = in.F32();
        w.cloudAlpha = in.I32();
        w.cloudWord = in.I32();
        w.starAlpha = in.I32();
        w.starWord = in.I32();
        w.sceneryLighting = in.I32();
        w.lightingWord = in.I32();
        // The sky draws with these: a speed that is not a number, or a cover or fade outside what the
        // sky's ramps keep, would overflow its arithmetic.
        if (in.ok() && !std::isfinite(w.cloudSpeed)) in.Fail("SAVEDWORLDSTATE: the cloud speed is not a number");
        if (in.ok() && (w.cloudAlpha < 0 || w.cloudAlpha > kSkyRampTop || w.starAlpha < 0 || w.starAlpha > kSkyRampTop))
            in.Fail("SAVEDWORLDSTATE: cloud alpha %d or star alpha %d outside 0 .. %d", w.cloudAlpha, w.starAlpha,
                    kSkyRampTop);
        in.Raw(w.waterColour, 3);
        in.Raw(w.waterSpecularBias, 3);
        in.Raw(w.caveFogColour, 3);
        in.Raw(w.ambientLighting, 4);
        for (int32_t& v : w.windVector) v = in.I32();
        w.gameClock = in.F32();
        for (int32_t& v : w.sight) v = in.I32();
        w.tfViewWord = in.I32();
        w.restrictions = in.I32();
        w.interfaceWord = in.I32();
        for (char* text : w.interfaceTexts) in.Raw(text, 64);
        w.hasPlayer = in.U32();
        if (w.hasPlayer) {
            ReadRef(&w.player);
            deferred.push_back({w.player, "SAVEDWORLDSTATE", "au"});
        }
        for (int i = 0; i < 5; ++i) {
            for (int set = 0; set < 2; ++set) {
                w.objectiveStates[i][set] = in.I32();
                in.Raw(w.objectiveTexts[i][set], 64);
            }
        }
        for (int32_t& v : w.cutSceneWords) v = in.I32();
        // The cursors index the running mission's timed and daily lists.
        if (in.ok() && (w.cutSceneWords[0] < 0 || w.cutSceneWords[0] > DayEventCount[kTimedEvents] ||
                        w.cutSceneWords[1] < 0 || w.cutSceneWords[1] > DayEventCount[kDailyEvents]))
            in.Fail("day-event cursors %d and %d do not fit the mission's %d timed and %d daily events",
                    w.cutSceneWords[0], w.cutSceneWords[1], DayEventCount[kTimedEvents], DayEventCount[kDailyEvents]);
        for (std::vector<DayEvent>& list : w.dayEvents) {
            list.resize(in.Count(kDayEventBytes, "day events"));
            for (DayEvent& ev : list) {
                ev = DayEvent{};
                ev.type = in.I32();
                ev.state = in.I32();
                ev.delay = in.I32();
                ev.gameTime = in.F32();
                for (float& v : ev.values) v = in.F32();
                in.Name(ev.attribute1, 128, "a day event's attribute");
                in.Name(ev.attribute2, 128, "a day event's attribute");
                in.Name(ev.expression, 64, "a day event's expression");
            }
        }
        const uint32_t vars = in.Count(68, "mission variables");
        for (uint32_t i = 0; i < vars && in.ok(); ++i) {
            char name[64];
            in.Name(name, 64, "a mission variable's name");
            w.variables.emplace_back(name, in.I32());
        }
        // Variables the saved mission's day events made are made again; they must fit the table.
        int missing = 0;
        for (const auto& v : w.variables)
            if (!NamedMDVar(v.first.c_str())) ++missing;
        if (in.ok() && MDVarCount + missing > kMaxMDVars)
            in.Fail("%d mission variables do not fit beside the mission's %d", missing, int(MDVarCount));
        const uint32_t sources = in.Count(128, "ambient sound sources");
        if (in.ok() && sources > uint32_t(kMaxSceneryFxs)) in.Fail("%u ambient sound sources (at most %d)", sources, kMaxSceneryFxs);
        for (uint32_t i = 0; i < sources && in.ok(); ++i) {
            char name[128];
            in.Name(name, 128, "an ambient sound's rule name");
            if (in.ok() && !FindRule(name)) in.Fail("ambient sound rule '%s' not present", name);
            w.ambientSources.emplace_back(name);
        }
        in.Skip(size_t(kReservedWords) * 4);
        plan->worldStates.push_back(std::move(w));
    }

    void SavedAU() {
        SavedAUChunk c{};
        char name[32];
        in.Name(name, 32, "an action unit's name");
        if (!in.ok()) return;
        c.au = NamedAUDef(name);
        if (!c.au) return in.Fail("SAVEDAU: au '%s' not present", name);
        c.poolFlag = in.U32();
        c.placed = in.U32();
        for (int32_t& v : c.action) v = in.I32();
        if (!in.ok()) return;
        if (c.placed && !c.poolFlag) return in.Fail("SAVEDAU: au '%s' is placed without a pool", name);
        AUState& s = state[size_t(IndexOf(c.au))];
        if (c.poolFlag && !s.pool) s = AUState{true, false, false, -1};
        if (c.placed) s.placed = true;
        if (!c.placed) s.placed = false;
        if (!c.poolFlag && s.pool) s = AUState{false, false, false, -1};
        // Units the load will make (the pool is created by the load) are checked against constructs of
        // the same types made for the check alone, so that no record is first looked at after the level
        // has changed.
        Probes probes;
        if (c.placed && !s.current) {
            if (!ProbeAUUnits(c.au, &probes.cons)) return;
            s.count = int64_t(probes.cons.size());
        }
        if (c.placed) {
            const uint32_t count = in.Count(kMinConBytes, "units");
            if (in.ok() && s.count >= 0 && int64_t(count) != s.count)
                return in.Fail("SAVEDAU: au '%s' has wrong unit number", name);
            s.count = count;
            c.units.resize(count);
            c.targets.resize(count);
            for (uint32_t i = 0; i < count && in.ok(); ++i) {
                ParseSavedCon(in, &c.units[i]);
                CheckSavedCon(in, c.units[i], s.current ? c.au->pool->constructs[i] : probes.cons[i]);
                SavedTarget& t = c.targets[i];
                t.flag = in.U32();
                if (t.flag == 1) {
                    ReadRef(&t.target);
                    deferred.push_back({t.target, "SAVEDAU", "tgtau"});
                }
            }
        }
        plan->aus.push_back(std::move(c));
    }

    void SharedPool() {
        SavedSharedPoolChunk c{};
        in.Name(c.name, 64, "a pool's name");
        if (!in.ok()) return;
        ConstructPool* pool = FindConstructPool(c.name);
        if (!pool) return in.Fail("no such construct pool '%s'", c.name);
        const uint32_t count = in.Count(kMinConBytes, "pool members");
        if (in.ok() && int64_t(count) != pool->count)
            return in.Fail("SAVEDSHAREDPOOL: pool '%s' has wrong con no %d (%u)", c.name, pool->count, count);
        c.members.resize(count);
        for (uint32_t i = 0; i < count && in.ok(); ++i) {
            ParseSavedCon(in, &c.members[i]);
            CheckSavedCon(in, c.members[i], pool->constructs[i]);
            if (in.ok()) UnitsNamedBy(c.members[i], pool->constructs[i]);
        }
        plan->sharedPools.push_back(std::move(c));
    }

    // A pooled object's saved block may name a unit (a rocket's target): it must exist once every action
    // unit has its saved state.
    void UnitsNamedBy(const SavedCon& rec, construct* con) {
        SavedUnitName names[4];
        const int n = SavedBlockUnitNames(con->itfc, rec.itfcData.data(), rec.itfcData.size(), names, 4);
        for (int k = 0; k < n; ++k) {
            UnitRef ref{};
            std::memcpy(ref.au, names[k].au, sizeof ref.au);
            ref.au[sizeof ref.au - 1] = 0;
            ref.index = names[k].index;
            deferred.push_back({ref, "SAVEDSHAREDPOOL", "target"});
        }
    }

    void DeadBodies() {
        const int32_t capacity = DeadBodyPool ? DeadBodyPool->capacity : kDeadBodyPoolCapacity;
        const uint32_t count = in.U32();
        if (in.ok() && int64_t(count) > capacity) return in.Fail("SAVEDDEADBODYPOOL: wrong number of deadbodies (%u)", count);
        if (in.ok() && count > 0 && (!DeadBodyItfc || !DeadBodyPool)) return in.Fail("SAVEDDEADBODYPOOL: the level has no wrecks");
        std::vector<SavedWreck> wrecks(count);
        for (uint32_t i = 0; i < count && in.ok(); ++i) {
            char name[64];
            in.Name(name, 64, "a wreck's unit name");
            if (!in.ok()) return;
            wrecks[i].unit = NamedUnit(name);
            if (!wrecks[i].unit) return in.Fail("SAVEDDEADBODYPOOL: unit (%s, %u) has wrong mortal unit name", name, i);
            ParseSavedCon(in, &wrecks[i].con);
            if (!in.ok()) return;
            // The wreck is made by the load: its record is checked against one made for the check alone.
            if (!LeavesWreck(wrecks[i].unit))
                return in.Fail("SAVEDDEADBODYPOOL: unit (%s, %u) leaves no wreck", name, i);
            Probes probe;
            auto* wreck = reinterpret_cast<construct*>(DeadBodyItfc(reinterpret_cast<construct*>(wrecks[i].unit),
                                                                     ItfcMethod::CREATE,
                                                                     reinterpret_cast<uintptr_t>(wrecks[i].unit->path)));
            if (!wreck) return in.Fail("SAVEDDEADBODYPOOL: no wreck made of '%s'", name);
            probe.cons.push_back(wreck);
            CheckSavedCon(in, wrecks[i].con, wreck);
        }
        plan->deadBodyPools.push_back(std::move(wrecks));
    }

    void SavedClan() {
        SavedClanChunk c{};
        c.index = in.U32();
        for (uint32_t& v : c.bytes) v = in.U32();
        for (int32_t& v : c.params) v = in.I32();
        for (int32_t& v : c.hostility) v = in.I32();
        if (!in.ok()) return;
        if (c.index >= uint32_t(ClanCount)) return in.Fail("SAVEDCLAN: clan %u does not exist", c.index);
        for (int32_t h : c.hostility)
            if (h < kNeutral || h > kHostile) return in.Fail("SAVEDCLAN: hostility %d is not 0, 1 or 2", h);
        plan->clans.push_back(c);
    }

    void TileDefs(size_t bodySize) {
        if (!CurrentMatrix) return in.Fail("TileDefPool: the level has no terrain");
        const uint64_t expected = 4 + 8 * uint64_t(TileDefPoolEntries(CurrentMatrix));
        if (bodySize != expected)
            return in.Fail("TileDefPool of %zu bytes, the level's terrain needs %llu", bodySize,
                           static_cast<unsigned long long>(expected));
        std::vector<uint8_t> body(bodySize);
        in.Raw(body.data(), bodySize);
        plan->tileDefPools.push_back(std::move(body));
    }

    void TileField() {
        const matrix* m = CurrentMatrix;
        if (!m) return in.Fail("SAVEDTILEFIELD: the level has no terrain");
        const size_t lists = size_t(m->width) * size_t(m->height) * (m->topTileField ? 8 : 4);
        std::vector<std::vector<UnitRef>> all(lists);
        for (size_t k = 0; k < lists && in.ok(); ++k) {
            for (;;) {
                UnitRef ref{};
                in.Raw(ref.au, 4);
                if (!in.ok()) break;
                uint32_t first;
                std::memcpy(&first, ref.au, 4);
                if (first == 0) break;
                in.Raw(ref.au + 4, 28);
                if (in.ok() && !std::memchr(ref.au, 0, 32)) in.Fail("SAVEDTILEFIELD: an action unit's name is not terminated");
                ref.index = in.U32();
                CheckRef(ref, "SAVEDTILEFIELD", "au", true);
                if (in.ok() && ++statRefs > kMaxStatLinks) in.Fail("SAVEDTILEFIELD: more than %d statics listed", kMaxStatLinks);
                if (!in.ok()) break;
                all[k].push_back(ref);
            }
        }
        plan->tileFields.push_back(std::move(all));
    }

    void HLClan(size_t bodySize) {
        SavedHLClanChunk c{};
        if (bodySize < 4) return in.Fail("SAVEDHLCLAN is cut short");
        c.index = in.U32();
        if (in.ok() && c.index >= uint32_t(ClanCount)) return in.Fail("SAVEDHLCLAN: clan %u does not exist", c.index);
        c.body.resize(bodySize - 4);
        in.Raw(c.body.data(), c.body.size());
        if (!in.ok()) return;
        // The clan's AI is checked whole now, against the action units as the chunks before it leave
        // them: its import then cannot stop the program half way through a changed level.
        const std::string why = HL_CheckSavedClan(c.body.data(), c.body.size(), kMaxClans, ClanUnitRef, this);
        if (!why.empty()) return in.Fail("SAVEDHLCLAN: clan %u: %s", c.index, why.c_str());
        plan->hlClans.push_back(std::move(c));
    }

    // A unit reference of a clan's AI: a placed action unit with that many units when the AI is read.
    static bool ClanUnitRef(const char* auName, uint32_t index, std::string* why, void* user) {
        const Planner* self = static_cast<const Planner*>(user);
        const AUDef* au = NamedAUDef(auName);
        if (!au) return *why = std::string("au '") + auName + "' not present", false;
        const AUState& s = self->state[size_t(self->IndexOf(au))];
        if (!s.pool || !s.placed) return *why = std::string("au '") + auName + "' not moved", false;
        if (s.count >= 0 && int64_t(index) >= s.count) return *why = std::string("au '") + auName + "' has too few units", false;
        return true;
    }
};

// The writer's order of chunk types; a file is read only when its chunks keep it.
int Rank(uint32_t type) {
    switch (type) {
        case kSavedWorldState: return 0;
        case kSavedAU: return 1;
        case kSavedSharedPool: return 2;
        case kSavedDeadBodyPool: return 3;
        case kSavedClan: return 4;
        case kTileDefPool: return 5;
        case kSavedTileField: return 6;
        case kSavedHLClan: return 7;
        default: return -1;
    }
}

const char* ChunkName(uint32_t type) {
    switch (type) {
        case kSavedWorldState: return "SAVEDWORLDSTATE";
        case kSavedAU: return "SAVEDAU";
        case kSavedSharedPool: return "SAVEDSHAREDPOOL";
        case kSavedDeadBodyPool: return "SAVEDDEADBODYPOOL";
        case kSavedClan: return "SAVEDCLAN";
        case kTileDefPool: return "TileDefPool";
        case kSavedTileField: return "SAVEDTILEFIELD";
        case kSavedHLClan: return "SAVEDHLCLAN";
        default: return "a chunk";
    }
}

// The member of an action unit's pool that a checked reference names; the checks are those of the
// file's own reader, kept as the last guard.
construct* ResolveRef(const UnitRef& ref, const char* chunk, const char* what, bool mustBePlaced) {
    AUDef* au = NamedAUDef(ref.au);
    if (!au) FatalErrorF("Error(ReadChunk_102, %s): %s '%s' not present", chunk, what, ref.au);
    if (!au->pool || (mustBePlaced && !au->placed)) FatalErrorF("Error(ReadChunk_102, %s): %s '%s' not moved", chunk, what, ref.au);
    if (ref.index >= uint32_t(au->pool->count)) FatalErrorF("Error(ReadChunk_102, %s): %s '%s' has too few units", chunk, what, ref.au);
    return au->pool->constructs[ref.index];
}

void CopyText(char* dst, const char* src, size_t n) {
    std::memcpy(dst, src, n);
    dst[n - 1] = 0;
}

void ApplyWorldState(const SavedWorldState& w) {
    SavedWorldWords& x = WorldStateWords;
    LevelSettings& l = CurrentLevel;
    SecondsPerTick = w.secondsPerTick;
    WinCountdown = w.missionWords[0];
    LoseCountdown = w.missionWords[1];
    x.missionWords[0] = w.missionWords[2];
    x.missionWords[1] = w.missionWords[3];
    ViewNoticeTimer = w.missionWords[4];
    CopyText(ViewNoticeText, w.missionMessage, 64);
    std::memcpy(WaterLevel, w.waterLevel, sizeof WaterLevel);
    std::memcpy(WaterMark, w.waterMark, sizeof WaterMark);
    x.precipitation = w.precipitation;
    StartPrecipitation(w.precipitation);
    // The sky values go to the sky itself; the level's settings keep them beside it.
    CloudSpeed = l.cloudSpeed = w.cloudSpeed;
    x.cloudValue = w.cloudValue;
    CloudCover = l.cloudAlpha = w.cloudAlpha;
    x.cloudWord = w.cloudWord;
    SkyFade = l.starAlpha = w.starAlpha;
    x.starWord = w.starWord;
    x.lightingWord = w.lightingWord;
    std::memcpy(l.waterColour, w.waterColour, 3);
    std::memcpy(l.waterSpecularBias, w.waterSpecularBias, 3);
    std::memcpy(l.caveFogColour, w.caveFogColour, 3);
    std::memcpy(CaveFogColour, w.caveFogColour, 3);
    std::memcpy(l.ambientLighting, w.ambientLighting, 3);
    x.ambientLightingExtra = w.ambientLighting[3];
    std::memcpy(l.windVector, w.windVector, sizeof l.windVector);
    GameClockSeconds = w.gameClock;
    l.eyesightRange = float(w.sight[0]);
    l.eyesightAperture = float(w.sight[1]);
    l.beamsightRange = float(w.sight[2]);
    l.beamsightRadius = float(w.sight[3]);
    x.tfViewWord = w.tfViewWord;
    PlayerRestrictions = uint32_t(w.restrictions);
    x.interfaceWord = w.interfaceWord;
    for (int i = 0; i < 20; ++i) CopyText(x.interfaceTexts[i], w.interfaceTexts[i], 64);
    for (int i = 0; i < 5; ++i) {
        PrimaryObjectives[i].number = w.objectiveStates[i][0];
        CopyText(PrimaryObjectives[i].text, w.objectiveTexts[i][0], 64);
        SecondaryObjectives[i].number = w.objectiveStates[i][1];
        CopyText(SecondaryObjectives[i].text, w.objectiveTexts[i][1], 64);
    }
    TimedEventCursor = w.cutSceneWords[0];
    DailyEventCursor = w.cutSceneWords[1];
    // The scheduler's clock of the level before the load would see a change of day.
    ResetDayEventClock();
    for (int k = 0; k < 3; ++k) {
        const int list = k + 2;  // span, triggered, repeat
        for (const DayEvent& rec : w.dayEvents[k]) {
            DayEvent* ev = FindEquivalentDayEvent(DayEventList[list], &rec, DayEventCount[list]);
            if (!ev) continue;
            ev->state = rec.state;
            ev->delay = rec.delay;
            ev->gameTime = rec.gameTime;
        }
    }
    for (const auto& [name, value] : w.variables) {
        MDVar* var = NamedMDVar(name.c_str());
        if (!var) var = CreateMDVar(name.c_str());
        std::memcpy(&var->value, &value, 4);
    }
    for (const std::string& name : w.ambientSources) CreateSceneryFx(name.c_str());
    SetGameClock(GameClockSeconds);
    SetSceneryLightingLevel(w.sceneryLighting);
}

void ApplyAU(const SavedAUChunk& c) {
    AUDef* au = c.au;
    const bool hadPool = au->pool != nullptr;
    const int32_t wasPlaced = au->placed;
    au->action = c.action[0];
    std::memcpy(au->actionValues, c.action + 1, sizeof au->actionValues);
    if (c.poolFlag && !hadPool) AUDef_itfc(au, ItfcMethod::CREATE);
    if (c.placed && !wasPlaced) AUDef_itfc(au, ItfcMethod::PLACE);
    if (!c.placed && wasPlaced) AUDef_itfc(au, ItfcMethod::UNPLACE);
    if (!c.poolFlag && hadPool) AUDef_itfc(au, ItfcMethod::DESTROY);
    if (!c.placed) return;
    if (!au->pool || size_t(au->pool->count) != c.units.size())
        FatalErrorF("Error(ReadChunk_102, SAVEDAU): au '%s' has wrong unit number", au->name);
    for (size_t i = 0; i < c.units.size(); ++i) ReadCon(c.units[i], au->pool->constructs[i]);
}

// The targets of an action unit's units, once every action unit is in its saved state.
void ApplyTargets(const SavedAUChunk& c) {
    if (!c.placed || !c.au->pool) return;
    for (size_t i = 0; i < c.targets.size() && i < size_t(c.au->pool->count); ++i)
        if (c.targets[i].flag == 1)
            SetUnitTarget(c.au->pool->constructs[i], ResolveRef(c.targets[i].target, "SAVEDAU", "tgtau", false), 3, 0);
}

void ApplySharedPool(const SavedSharedPoolChunk& c) {
    ConstructPool* pool = NamedConstructPool(c.name);
    if (size_t(pool->count) != c.members.size())
        FatalErrorF("Error(ReadChunk_102, SAVEDSHAREDPOOL):  pool '%s' has wrong con no %d (%d)", c.name, pool->count,
                    int(c.members.size()));
    for (size_t i = 0; i < c.members.size(); ++i) ReadCon(c.members[i], pool->constructs[i]);
}

void ApplyDeadBodies(const std::vector<SavedWreck>& wrecks) {
    ShowBuzyScreen(0, 1, 13, 20, "load qzgm - SAVEDDEADBODYPOOL");
    for (const SavedWreck& w : wrecks) {
        auto* wreck = reinterpret_cast<construct*>(DeadBodyItfc(reinterpret_cast<construct*>(w.unit), ItfcMethod::CREATE,
                                                                 reinterpret_cast<uintptr_t>(w.unit->path)));
        if (!wreck) FatalErrorF("Error(ReadChunk_102, SAVEDDEADBODYPOOL): no wreck made of '%s'", w.unit->name);
        if (!wreck->unit) wreck->unit = w.unit;
        DeadBodyItfc(wreck, ItfcMethod::PLACE, 0);
        AppendToConstructPool(DeadBodyPool, wreck);
        ReadCon(w.con, wreck);
    }
}

void ApplyClan(const SavedClanChunk& c) {
    ShowBuzyScreen(0, 1, 14, 20, "load qzgm - SAVEDCLAN");
    Clan* clan = ClanTable[c.index];
    clan->successMark = uint8_t(c.bytes[0]);
    clan->failureMark = uint8_t(c.bytes[1]);
    clan->unitLighting = uint8_t(c.bytes[2]);
    clan->searchLight = uint8_t(c.bytes[3]);
    std::memcpy(clan->area, c.params, sizeof clan->area);
    clan->threatCount = 0;
    std::memcpy(clan->hostility, c.hostility, sizeof clan->hostility);
    BuildAUWaypointLists(clan);
    if (clan == PlayerClan) SetPlayerClan(clan);
    for (int k = 0; k < kMaxClans && k < ClanCount; ++k) SetClanHostility(clan, ClanTable[k], c.hostility[k]);
}

void ApplyTileDefs(const std::vector<uint8_t>& body) {
    FILE* f = StreamOfBytes(body.data(), body.size());
    if (!f) FatalError("Error(LoadQZGM): no temporary stream");
    ReadChunk_102(f, kTileDefPool, uint32_t(body.size() + 8), 0, 0, "saved game");
    std::fclose(f);
}

void ClearList(StatLink** head) {
    for (StatLink* l = *head; l;) {
        StatLink* next = l->next;
        l->stat = nullptr;
        l->next = nullptr;
        l = next;
    }
    *head = nullptr;
}

void ApplyTileField(const std::vector<std::vector<UnitRef>>& lists) {
    matrix* m = CurrentMatrix;
    size_t k = 0;
    auto readLists = [&](TileFieldEntry& e) {
        for (StatLink*& head : e.stats) {
            // Both layers start empty: statics of the running level that the saved game does not list
            // would otherwise stay listed (and stand where nothing is).
            ClearList(&head);
            for (const UnitRef& ref : lists[k]) LinkStatFromSfc(&head, ResolveRef(ref, "SAVEDTILEFIELD", "au", true));
            ++k;
        }
    };
    for (int32_t column = 0; column < m->width; ++column) {
        for (int32_t row = 0; row < m->height; ++row) {
            const size_t t = size_t(row) * size_t(m->width) + size_t(column);
            readLists(m->tileField[t]);
            if (m->topTileField) readLists(m->topTileField[t]);
        }
    }
}

void ApplyHLClan(const SavedHLClanChunk& c) {
    ShowBuzyScreen(0, 1, 15, 20, "load qzgm - SAVEDHLCLAN");
    FILE* f = StreamOfBytes(c.body.data(), c.body.size());
    if (!f) FatalError("Error(LoadQZGM): no temporary stream");
    if (HiLogic) HiLogic->ImportClan(f, int(c.index));
    std::fclose(f);
}

}  // namespace

bool PlanLoad(In& in, LoadPlan* plan) {
    Planner p{in, plan, {}, 0, {}};
    for (int i = 0; i < AUDefCount; ++i) {
        const AUDef* au = AUDefTable[i];
        p.state.push_back(AUState{au->pool != nullptr, au->placed != 0, au->pool != nullptr,
                                  au->pool ? au->pool->count : -1});
    }
    int rank = 0;
    while (in.ok() && in.Left() > 0) {
        if (in.Left() < 8) {
            in.Fail("the file ends inside a chunk header");
            break;
        }
        const uint32_t type = in.U32();
        const uint32_t size = in.U32();
        if (size < 8) {
            in.Fail("%s of %u bytes is shorter than its header", ChunkName(type), size);
            break;
        }
        const size_t body = size - 8;
        in.Enter(body, ChunkName(type));
        if (!in.ok()) break;
        const int r = Rank(type);
        if (r >= 0 && r < rank) in.Fail("%s stands out of order", ChunkName(type));
        if (r >= 0) rank = std::max(rank, r);
        switch (type) {
            case kSavedWorldState:
                if (!plan->worldStates.empty()) in.Fail("a second SAVEDWORLDSTATE");
                p.WorldState();
                break;
            case kSavedAU: p.SavedAU(); break;
            case kSavedSharedPool: p.SharedPool(); break;
            case kSavedDeadBodyPool:
                if (!plan->deadBodyPools.empty()) in.Fail("a second SAVEDDEADBODYPOOL");
                p.DeadBodies();
                break;
            case kSavedClan: p.SavedClan(); break;
            case kTileDefPool:
                if (!plan->tileDefPools.empty()) in.Fail("a second TileDefPool");
                p.TileDefs(body);
                break;
            case kSavedTileField:
                if (!plan->tileFields.empty()) in.Fail("a second SAVEDTILEFIELD");
                p.TileField();
                break;
            case kSavedHLClan: p.HLClan(body); break;
            default: in.Skip(body); break;  // a chunk this reader does not know is stepped over
        }
        in.Leave();
        if (in.ok() && Rank(type) >= 0) plan->order.push_back(SavedChunkRef{type, 0});
    }
    for (const Planner::Deferred& d : p.deferred) p.CheckRef(d.ref, d.chunk, d.what, false);
    if (!in.ok()) return false;
    // Item numbers in the order: each chunk type's next entry.
    size_t next[8] = {};
    for (SavedChunkRef& c : plan->order) c.item = next[Rank(c.type)]++;
    // A file cut at a chunk boundary reads well up to there: it is complete only with every chunk the
    // writer puts out for this level.
    int sharedPools = 0;
    for (SharedPoolId id : SavedSharedPools)
        if (SharedPool(id)) ++sharedPools;
    const bool terrain = CurrentMatrix != nullptr;
    if (plan->worldStates.size() != 1 || plan->aus.size() != size_t(AUDefCount) ||
        plan->sharedPools.size() != size_t(sharedPools) || plan->deadBodyPools.size() != 1 ||
        plan->clans.size() != size_t(ClanCount) || plan->tileDefPools.size() != (terrain ? 1u : 0u) ||
        plan->tileFields.size() != (terrain ? 1u : 0u) || plan->hlClans.size() != size_t(ClanCount)) {
        in.Fail("the saved game is incomplete");
        return false;
    }
    return true;
}

construct* ApplyLoad(const LoadPlan& plan) {
    for (const SavedChunkRef& c : plan.order) {
        dxgl_UpdateStreams();
        switch (c.type) {
            case kSavedWorldState: ApplyWorldState(plan.worldStates[c.item]); break;
            case kSavedAU: ApplyAU(plan.aus[c.item]); break;
            case kSavedSharedPool: ApplySharedPool(plan.sharedPools[c.item]); break;
            case kSavedDeadBodyPool: ApplyDeadBodies(plan.deadBodyPools[c.item]); break;
            case kSavedClan: ApplyClan(plan.clans[c.item]); break;
            case kTileDefPool: ApplyTileDefs(plan.tileDefPools[c.item]); break;
            case kSavedTileField: ApplyTileField(plan.tileFields[c.item]); break;
            case kSavedHLClan: ApplyHLClan(plan.hlClans[c.item]); break;
            default: break;
        }
    }
    for (const SavedAUChunk& c : plan.aus) ApplyTargets(c);
    const SavedWorldState& w = plan.worldStates.front();
    return w.hasPlayer ? ResolveRef(w.player, "SAVEDWORLDSTATE", "au", false) : nullptr;
}

}  // namespace qzgm

namespace {

// The whole file, or false when it cannot be opened.
bool ReadSavedGameFile(const char* path, std::vector<uint8_t>* out, bool* tooLarge) {
    FILE* f = qzpk_fopen(path, "rb");
    if (!f) return false;
    *tooLarge = false;
    qzpk_fseek(f, 0, SEEK_END);
    const long size = qzpk_ftell(f);
    qzpk_fseek(f, 0, SEEK_SET);
    if (size < 0 || size_t(size) > qzgm::kMaxFileSize) {
        *tooLarge = true;
        qzpk_fclose(f);
        return true;
    }
    out->resize(size_t(size));
    const size_t got = size ? qzpk_fread(out->data(), 1, size_t(size), f) : 0;
    out->resize(got);
    qzpk_fclose(f);
    return true;
}

// 1 when the file at path is later than the stored date.
bool NewerThan(const char* path, uint32_t low, uint32_t high) {
    FileTime stored{low, high};
    FileTime current{};
    if (qzpk_filedate(path, &current) != 0) return false;
    return CompareFileTimes(&current, &stored) == 1;
}

}  // namespace

namespace {

// Everything of a load up to the point where it changes the level: the header's answers, then the whole
// file read and checked into the plan. kQZGMLoaded when the plan may be applied.
int PrepareLoad(const char* name, int force, char* otherMission, std::vector<uint8_t>* bytes, qzgm::LoadPlan* plan) {
    using namespace qzgm;
    Refusal.clear();
    char path[512];
    SavedGamePath(name, path, sizeof path);
    bool tooLarge = false;
    if (!ReadSavedGameFile(path, bytes, &tooLarge)) return kQZGMCannotOpen;
    if (tooLarge) {
        Refusal = "the file is too large";
        return kQZGMRefused;
    }
    In in(bytes->data(), bytes->size());
    if (in.U32() != kMagic || !in.ok()) return kQZGMNotASavedGame;
    if (in.U32() != kVersion && !force) return kQZGMObsolete;
    char mission[64];
    in.Name(mission, sizeof mission, "the mission name");
    const uint32_t worldLow = in.U32(), worldHigh = in.U32();
    const uint32_t scriptLow = in.U32(), scriptHigh = in.U32();
    in.Skip(size_t(kReservedWords) * 4);
    if (!in.ok()) {
        Refusal = in.error();
        return kQZGMRefused;
    }
    if (std::strcmp(mission, MissionName) != 0) {
        if (otherMission) std::memcpy(otherMission, mission, sizeof mission);
        return kQZGMOtherMission;
    }
    snprintf(path, sizeof path, "%s%c%s", QZWDROOT, kPathSeparator, MissionName);
    if (!force && NewerThan(path, worldLow, worldHigh)) return kQZGMWorldNewer;
    snprintf(path, sizeof path, "%s%c%s.txt", SCRIPTROOT, kPathSeparator, MissionName);
    if (!force && NewerThan(path, scriptLow, scriptHigh)) return kQZGMScriptNewer;
    if (!PlanLoad(in, plan)) {
        Refusal = in.error();
        DebugPrintf("LoadQZGM: '%s' refused: %s\n", name, Refusal.c_str());
        return kQZGMRefused;
    }
    return kQZGMLoaded;
}

}  // namespace

int LoadQZGM(const char* name, int force, char* otherMission) {
    std::vector<uint8_t> bytes;
    qzgm::LoadPlan plan;
    const int result = PrepareLoad(name, force, otherMission, &bytes, &plan);
    if (result != kQZGMLoaded) return result;
    BeforeRestoreGame();
    construct* player = qzgm::ApplyLoad(plan);
    AfterRestoreGame(player);
    return kQZGMLoaded;
}

int CheckQZGM(const char* name, int force, char* otherMission) {
    std::vector<uint8_t> bytes;
    qzgm::LoadPlan plan;
    return PrepareLoad(name, force, otherMission, &bytes, &plan);
}

void ReadQZGMHeader(const char* path, char* name) {
    if (!name) return;
    name[0] = 0;
    FILE* f = qzpk_fopen(path, "rb");
    if (!f) return;
    uint8_t head[72];
    const size_t got = qzpk_fread(head, 1, sizeof head, f);
    qzpk_fclose(f);
    if (got != sizeof head) return;
    qzgm::In in(head, sizeof head);
    if (in.U32() != qzgm::kMagic || in.U32() != qzgm::kVersion) return;
    char mission[64];
    in.Name(mission, sizeof mission, "the mission name");
    if (in.ok()) std::memcpy(name, mission, sizeof mission);
}

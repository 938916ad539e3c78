// The movie camera: a construct driven by the player's control records that flies with thrust and turns
// with the look axes, fires test shots, drops test waves, edits the action unit it locks and, while
// record/replay is active, records key-frame paths into the segment it is recorded in and plays them.
#include "objects/MovieCamera.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "ai/UnitAI.h"
#include "core/Config.h"
#include "core/Fix3D.h"
#include "core/FixMath.h"
#include "core/Keys.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "hud/MessageLog.h"
#include "hud/TFView.h"
#include "objects/Cameras.h"
#include "objects/ConstructRes.h"
#include "objects/UnitRecord.h"
#include "objects/UnitSaved.h"
#include "objects/UnitShare.h"
#include "objects/UnitTick.h"
#include "objects/Units.h"
#include "platform/Dxgl.h"
#include "render/ScreenText.h"
#include "render/View.h"
#include "render/Viewport.h"
#include "vehicles/modules/ModuleSaved.h"
#include "vehicles/modules/PjtThrower.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/Player.h"
#include "world/QZEvent.h"
#include "world/Terrain.h"
#include "world/WorldFile.h"
#include "world/WorldTick.h"

namespace {

constexpr int32_t kQuarterTurn = 102943;
constexpr float kMaxPitch = 205887.0f;
constexpr int32_t kFullTurn = 411774;
constexpr int kMaxWaves = 64;
// Key bits of the control records.
enum : int { kThrust1 = 14, kThrust2 = 15, kAscend = 16, kDescend = 17, kFire1 = 18, kFire2 = 19, kNext = 22, kPrev = 23 };
// The editing keys by keyboard code: keypad 6, 4, 8, 2 and *.
constexpr int kEditKeys[5] = {0x4D, 0x4B, 0x48, 0x50, 0x37};
constexpr int kModifierKey = 0x112;
constexpr int kEndKey = 0xCF;
constexpr int kPageUpKey = 0xC9;

struct MovieCameraData {
    UnitShare unit;
    int32_t velocity[3];  // world units x 256 per tick
    int32_t reserved[3];
    float thrust[3];      // side, upward, forward
    float speedDamp;
    float yawSpeed, pitchSpeed;
    float yawDamp, pitchDamp;
    int32_t look[3];      // yaw, pitch, side axes of the last tick
    float pitch, yaw;     // 16.16 radians
    int32_t words[2];
    DamageRecord damage;
    StateRecord state;
    MaximaRecord maxima;
    int32_t gauges[3];
    int32_t editKeys[5][2];  // previous and current state
    int32_t keyCount;
    MovieKeyFrame keys[kMovieKeyFrames];
    float pathParam;  // -1 while no path plays
    int32_t composite;
    PjtThrower weapon;
    int32_t storedCount;
    MovieKeyFrame stored[kMovieKeyFrames];
    construct* lastRecorded;
    construct* lockedCon;
    AUDef* lockedAU;
    int32_t* lockedSlot;
    int32_t lockedIndex;
};

float Value(const Rule* r, int i) { return r && r->count > i && r->values ? r->values[i] : 0.0f; }

MovieCameraData* Data(construct* con) { return static_cast<MovieCameraData*>(con->itfcData); }

construct* Waves[kMaxWaves];
int WaveCount = 0;

// ---- The saved form ---------------------------------------------------------------------------------

void WalkSaved(SavedWords& w, MovieCameraData* d) {
    w.I32s(d->velocity, 3);
    w.I32s(d->reserved, 3);
    for (float& f : d->thrust) w.F32(&f);
    w.F32(&d->speedDamp);
    w.F32(&d->yawSpeed);
    w.F32(&d->pitchSpeed);
    w.F32(&d->yawDamp);
    w.F32(&d->pitchDamp);
    w.I32s(d->look, 3);
    w.F32(&d->pitch);
    w.F32(&d->yaw);
    uint8_t damage[4] = {d->damage.physical, d->damage.shield, d->damage.structure, 0};
    for (uint8_t& b : damage) w.U8(&b);
    d->damage = DamageRecord{damage[0], damage[1], damage[2]};
    w.I32(&d->state.shield);
    w.I32(&d->state.structure);
    w.I32(&d->state.energy);
    w.I32(&d->maxima.shield);
    w.I32(&d->maxima.structure);
    w.I32(&d->maxima.energy);
    w.I32s(d->gauges, 3);
    w.I32s(d->words, 2);
    w.I32(&d->keyCount);
    for (MovieKeyFrame& k : d->keys) {
        w.I32s(k.orient, 9);
        w.I32s(k.pos, 3);
        w.I32(&k.frame);
    }
    w.I32(&d->composite);
}

uintptr_t SavedBlock(construct* con, uintptr_t sizeOut) {
    const size_t size = MovieCameraSavedSize();
    auto* out = static_cast<uint8_t*>(qzAlloc(static_cast<int>(size), "MovieCamera data block"));
    std::memset(out, 0, size);
    MovieCameraData copy = *Data(con);
    SavedWords w{out, nullptr, 0, size};
    WalkSaved(w, &copy);
    PjtThrower_putSaved(&Data(con)->weapon, out + kMovieSavedWeapon);
    if (sizeOut) *reinterpret_cast<int32_t*>(sizeOut) = static_cast<int32_t>(size);
    return reinterpret_cast<uintptr_t>(out);
}

void RestoreSaved(construct* con, const uint8_t* in) {
    if (const char* why = MovieCamera_checkSaved(in, MovieCameraSavedSize()))
        FatalErrorF("Error(MovieCamera_itfc): the saved state is damaged: %s", why);
    MovieCameraData* d = Data(con);
    SavedWords w{nullptr, in, 0, MovieCameraSavedSize()};
    WalkSaved(w, d);
    PjtThrower weapon = d->weapon;
    PjtThrower_getSaved(&weapon, in + kMovieSavedWeapon);
    PjtThrower_copy(&d->weapon, &weapon);
    d->pathParam = d->keyCount > 0 ? 0.0f : -1.0f;
}

int32_t ReadI32(const uint8_t* p) { return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24); }
void WriteI32(uint8_t* p, int32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(uint32_t(v) >> (8 * i));
}

// Writes the camera's path (count and key frames) and composite flag into a saved form in place.
void WritePathInto(uint8_t* block, const MovieCameraData* d, int32_t count, int32_t composite) {
    WriteI32(block + kMovieSavedKeyCount, count);
    for (int i = 0; i < kMovieKeyFrames; ++i) {
        uint8_t* k = block + kMovieSavedKeyFrames + size_t(i) * kMovieSavedKeyFrameSize;
        for (int j = 0; j < 9; ++j) WriteI32(k + 4 * j, d->keys[i].orient[j]);
        for (int j = 0; j < 3; ++j) WriteI32(k + 36 + 4 * j, d->keys[i].pos[j]);
        WriteI32(k + 48, d->keys[i].frame);
    }
    WriteI32(block + kMovieSavedComposite, composite);
}

// The saved form of the segment that covers the current frame, when the camera has one.
uint8_t* CoveringBlock(construct* con) {
    TrackSeg* seg = CoveringTrackSeg(con);
    if (!seg || !seg->data || size_t(seg->dataLength) != MovieCameraSavedSize()) return nullptr;
    return seg->data;
}

// ---- Creation and placement --------------------------------------------------------------------------

construct* Create(Unit* entry, const char* directory) {
    construct* con = CreateConstruct(0, 0x80040002u);
    con->unit = entry;
    con->itfc = MovieCamera_itfc;
    auto* d = static_cast<MovieCameraData*>(AllocItfcData(con, sizeof(MovieCameraData)));
    const float scale = Value(NamedUnitRule(entry, "scale"), 0);
    Geom* g = LoadGeom(scale, directory ? directory : "", "camera", nullptr);
    AllocBSpheres(con);
    AllocBBoards(con, 0);
    SetConstructGeoms(con, g, g, g, g);
    con->sampleCornerCount = 4;
    const uint8_t probes[4] = {0, 3, 4, 7};
    std::memcpy(con->sampleCorners, probes, sizeof probes);
    AllocShards(&d->unit.owned, directory ? directory : "", -1);
    d->pathParam = -1.0f;
    return con;
}

float RequiredFloat(const construct* con, const char* key) { return Value(NamedUnitRule(con->unit, "%s", key), 0); }
uint8_t RequiredByte(const construct* con, const char* key) {
    return static_cast<uint8_t>(TruncateToInt32(RequiredFloat(con, key)));
}

void Place(construct* con, const PlacementRecord* place) {
    if (con->flags & kConstructPlaced) MovieCamera_itfc(con, ItfcMethod::UNPLACE, 0);
    con->flags |= kConstructPlaced;
    MovieCameraData* d = Data(con);
    if (place) {
        con->pos[0] = place->x;
        con->pos[1] = place->y;
        con->pos[2] = place->z;
    }
    FixMatrix m;
    MatrixFromYawPitch(&m, place ? place->heading : 0, kQuarterTurn);
    std::memcpy(con->orient, m.m, sizeof con->orient);
    con->collisionClass = 255;
    InitUnitShare(con, &d->unit, 1.0f);
    std::memset(d->velocity, 0, sizeof d->velocity);
    std::memset(d->look, 0, sizeof d->look);
    d->yaw = static_cast<float>(place ? place->heading : 0);
    d->pitch = static_cast<float>(kQuarterTurn);
    d->words[0] = 1, d->words[1] = 0;
    d->pathParam = -1.0f;
    d->keyCount = d->storedCount = d->composite = 0;
    d->damage = DamageRecord{RequiredByte(con, "impactphysical"), RequiredByte(con, "impactshield"),
                             RequiredByte(con, "impactstructure")};
    d->state.shield = d->maxima.shield = TruncateToInt32(RequiredFloat(con, "shield"));
    d->state.energy = d->maxima.energy = TruncateToInt32(RequiredFloat(con, "energy"));
    d->state.structure = d->maxima.structure = TruncateToInt32(RequiredFloat(con, "structure"));
    d->gauges[0] = 3, d->gauges[1] = d->gauges[2] = 0;
    d->thrust[0] = RequiredFloat(con, "SideThrust");
    d->thrust[1] = RequiredFloat(con, "UpwardThrust");
    d->thrust[2] = RequiredFloat(con, "ForwardThrust");
    d->speedDamp = RequiredFloat(con, "SpeedDamp");
    d->yawSpeed = RequiredFloat(con, "YawSpeed");
    d->pitchSpeed = RequiredFloat(con, "PitchSpeed");
    d->yawDamp = RequiredFloat(con, "YawDamp");
    d->pitchDamp = RequiredFloat(con, "PitchDamp");
    PjtThrower_init(&d->weapon, con, con, 0, 1.0f);
    d->lockedCon = nullptr;
    d->lockedAU = nullptr;
    d->lockedSlot = nullptr;
    d->lockedIndex = 0;
    CreateUnitAIRecords(con, 0);
    MakeBuzy(con, 0);
    ActivateConstruct(con);
}

void Unplace(construct* con) {
    if (!(con->flags & kConstructPlaced)) return;
    MovieCameraData* d = Data(con);
    FreeUnitShareData(con, &d->unit);
    PjtThrower_free(&d->weapon);
    UnMakeBuzy(con);
    DeactivateConstruct(con);
    con->flags &= ~kConstructPlaced;
}

// ---- The tick ---------------------------------------------------------------------------------------

void StopPath(MovieCameraData* d, const ControlInput& now) {
    d->pathParam = -1.0f;
    std::memset(d->velocity, 0, sizeof d->velocity);
    d->look[0] = now.axes[1], d->look[1] = now.axes[2], d->look[2] = now.axes[0];
}

void DropWave(construct* con) {
    ItfcProc wave = FindItfc("Wave");
    if (!wave) return;  // the type is not built: nothing to drop
    ShowSystemMessage("wave dropped");
    char path[512];
    std::snprintf(path, sizeof path, "%s%c%s", OBJROOT, kPathSeparator, "wavetest");
    auto* made = reinterpret_cast<construct*>(wave(nullptr, ItfcMethod::CREATE, reinterpret_cast<uintptr_t>(path)));
    if (!made) return;
    // The level keeps a bounded number of test waves: the oldest goes for a new one.
    if (WaveCount >= kMaxWaves) {
        construct* oldest = Waves[0];
        std::memmove(Waves, Waves + 1, sizeof(Waves[0]) * (kMaxWaves - 1));
        --WaveCount;
        CallItfc(oldest, ItfcMethod::UNPLACE, 0);
        CallItfc(oldest, ItfcMethod::DESTROY, 0);
    }
    Waves[WaveCount++] = made;
    MakeBuzy(made, 0);
    ActivateConstruct(made);
    std::memcpy(made->pos, con->pos, sizeof made->pos);
    std::memcpy(made->orient, con->orient, sizeof made->orient);
    for (int i = 0; i < 6; ++i) made->orient[i] = -made->orient[i];
    CallItfc(made, ItfcMethod::ATTACH, 0);
}

void LockPicked(MovieCameraData* d, construct* picked) {
    for (int i = 0; i < AUDefCount; ++i) {
        AUDef* au = AUDefTable[i];
        if (!au->pool || !IsInConstructPool(picked, au->pool)) continue;
        int index = 0;
        int32_t* slot = AUDef_FindUnitSlot(au, picked, &index);
        if (!slot) continue;
        d->lockedCon = picked;
        d->lockedAU = au;
        d->lockedSlot = slot;
        d->lockedIndex = index;
    }
}

bool EditKeyPressed(MovieCameraData* d, int k) { return d->editKeys[k][1] && !d->editKeys[k][0]; }

void EditLocked(MovieCameraData* d, const ControlInput& before, const ControlInput& now) {
    for (int k = 0; k < 5; ++k) {
        d->editKeys[k][0] = d->editKeys[k][1];
        d->editKeys[k][1] = KeyStateByte(kEditKeys[k]) ? 1 : 0;
    }
    if (!d->lockedAU || !d->lockedSlot) return;
    const uint32_t klass = d->lockedCon && d->lockedCon->unit ? d->lockedCon->unit->klass : 0;
    const bool modifier = KeyStateByte(kModifierKey) != 0;
    int32_t s = (klass & kKlassQuadBuilding) ? 0x8000 : (klass & kKlassLargeBuilding) ? 0x10000 : 1000;
    int32_t a = (klass & (kKlassQuadBuilding | kKlassLargeBuilding | kKlassGiantBuilding)) ? kQuarterTurn : 5000;
    if (modifier) s = 10000, a = 15000;
    int32_t* slot = d->lockedSlot;  // x, y, z, two words, angle
    int32_t change[6] = {0, 0, 0, 0, 0, 0};
    if (EditKeyPressed(d, 0)) change[0] += s;
    if (EditKeyPressed(d, 1)) change[0] -= s;
    if (EditKeyPressed(d, 2)) change[2] += s;
    if (EditKeyPressed(d, 3)) change[2] -= s;
    if (InputKeyPressed(before, now, kAscend)) change[1] += 500;
    if (InputKeyPressed(before, now, kDescend)) change[1] -= 500;
    if (InputKeyPressed(before, now, kNext)) change[5] += a;
    if (InputKeyPressed(before, now, kPrev)) change[5] -= a;
    bool any = false;
    for (int32_t c : change) any = any || c != 0;
    if (any) {
        AUDef_itfc(d->lockedAU, ItfcMethod::UNPLACE);
        for (int i = 0; i < 3; ++i) slot[i] += change[i];
        slot[5] = ((slot[5] + change[5]) % kFullTurn + kFullTurn) % kFullTurn;
        AUDef_itfc(d->lockedAU, ItfcMethod::PLACE);
        UpdateAllScapeBoards();
    }
    if (EditKeyPressed(d, 4)) {
        WriteAUChunkFile(d->lockedAU);
        char text[160];
        std::snprintf(text, sizeof text, "saved au %s_%s", MissionName, d->lockedAU->name);
        ShowMessage(text, "");
    }
}

void AppendKeyFrame(construct* con, MovieCameraData* d, bool fresh) {
    if (fresh) d->keyCount = 0;
    if (d->keyCount >= kMovieKeyFrames) return;
    MovieKeyFrame& k = d->keys[d->keyCount++];
    std::memcpy(k.orient, con->orient, sizeof k.orient);
    std::memcpy(k.pos, con->pos, sizeof k.pos);
    k.frame = RecordReplayFrame;
    if (uint8_t* block = CoveringBlock(con)) WritePathInto(block, d, d->keyCount, ReadI32(block + kMovieSavedComposite));
}

void RecordKeyFrames(construct* con, MovieCameraData* d, const ControlInput& before, const ControlInput& now) {
    if (!(RecordReplayRunning && RecordedConstruct == con)) return;
    const bool justStarted = d->lastRecorded == nullptr;
    const bool held = InputKeyDown(now, kPrev);
    const bool pressed = InputKeyPressed(before, now, kPrev);
    if ((held && justStarted) || (pressed && d->keyCount > 0)) {
        AppendKeyFrame(con, d, justStarted);
    } else if (justStarted && !held && !pressed && d->storedCount > 0) {
        d->composite = 1;
        d->keyCount = d->storedCount;
        std::memcpy(d->keys, d->stored, sizeof d->keys);
        d->pathParam = 0.0f;
        if (uint8_t* block = CoveringBlock(con)) WritePathInto(block, d, d->keyCount, 1);
    }
}

void PlayPath(construct* con, MovieCameraData* d) {
    if (d->pathParam < 0.0f || d->keyCount < 1) return;
    const bool recorded = RecordReplayRunning && RecordedConstruct == con;
    int32_t orient[9], pos[3];
    int32_t orients[kMovieKeyFrames][9], positions[kMovieKeyFrames][3];
    for (int i = 0; i < d->keyCount; ++i) {
        std::memcpy(orients[i], d->keys[i].orient, sizeof orients[i]);
        std::memcpy(positions[i], d->keys[i].pos, sizeof positions[i]);
    }
    CameraPathPoint(orients, positions, d->keyCount, d->pathParam, true, orient, pos);
    if (!recorded) {
        if (!d->composite) std::memcpy(con->orient, orient, sizeof con->orient);
        std::memcpy(con->pos, pos, sizeof con->pos);
    } else if (d->composite) {
        std::memcpy(con->pos, pos, sizeof con->pos);
    }
    const int i = static_cast<int>(d->pathParam);
    const int next = i + 1 < d->keyCount ? i + 1 : i;
    // Two key frames taken at the same frame would make a step of no length: the path moves on to the
    // next key frame at once.
    const int32_t frames = d->keys[next].frame - d->keys[i].frame;
    d->pathParam += frames > 0 ? 1.0f / float(frames) : 1.0f;
}

void Tick(construct* con, const TickInput* in) {
    MovieCameraData* d = Data(con);
    const ControlInput& before = in->records[0];
    const ControlInput& now = in->records[1];
    const int c = con->busyLevel;
    // 1. Paths play only while record/replay is active, and stop at their last key frame.
    if (!RecordReplayActive) {
        if (d->pathParam >= 0.0f) StopPath(d, now);
        d->keyCount = 0;
        d->composite = 0;
    } else if (d->pathParam > 0.0f && d->pathParam >= float(d->keyCount - 1)) {
        StopPath(d, now);
        d->keyCount = 0;
        d->composite = 0;
    }
    // 2. Test shots.
    if (InputKeyDown(now, kFire2)) PjtThrower_fire(&d->weapon, nullptr, d->unit.velocity);
    PjtThrower_tick(&d->weapon, 1 << c);
    // 3. Lock, unlock, or a test wave.
    if (InputKeyPressed(before, now, kFire1)) {
        if (d->lockedAU) {
            d->lockedAU = nullptr;
            d->lockedCon = nullptr;
            d->lockedSlot = nullptr;
        } else if (!PickedConstruct) {
            DropWave(con);
        } else {
            LockPicked(d, PickedConstruct);
        }
    }
    // 4.
    TickUnitShare(con, &d->unit, c, before, now);
    // 5. Editing the locked action unit.
    EditLocked(d, before, now);
    // 6. Look.
    const int32_t r[3] = {d->look[0], d->look[1], d->look[2]};
    const int32_t u[3] = {now.axes[1], now.axes[2], now.axes[0]};
    d->yaw = (d->yaw - float(r[0]) * d->yawSpeed * 4.0f) * d->yawDamp;
    d->pitch = (d->pitch - float(r[1]) * d->pitchSpeed * 4.0f) * d->pitchDamp;
    if (d->pitch < 0.0f) d->pitch = 0.0f;
    if (d->pitch > kMaxPitch) d->pitch = kMaxPitch;
    // 7. Thrust.
    float thrust[3] = {0.0f, 0.0f, 0.0f};
    if (!d->lockedAU) {
        if (InputKeyDown(now, kThrust1)) thrust[2] = d->thrust[2] * 30000.0f;
        if (InputKeyDown(now, kThrust2)) thrust[2] = d->thrust[2] * -30000.0f;
        if (InputKeyDown(now, kAscend)) thrust[1] = d->thrust[1] * 30000.0f;
        if (InputKeyDown(now, kDescend)) thrust[1] = d->thrust[1] * -30000.0f;
        if (KeyStateByte(kEndKey)) {
            d->storedCount = d->keyCount;
            std::memcpy(d->stored, d->keys, sizeof d->stored);
        }
        if (KeyStateByte(kPageUpKey)) d->storedCount = 0;
    }
    // 8. Key-frame recording.
    RecordKeyFrames(con, d, before, now);
    // 9. Path playback.
    PlayPath(con, d);
    // 10.
    thrust[0] = float((u[2] - r[2]) * 2048) * d->thrust[0];
    std::memcpy(d->look, u, sizeof d->look);
    const bool free = d->pathParam < 0.0f;
    // 11. Free flight.
    if (free)
        for (int k = 0; k < 3; ++k)
            for (int axis = 0; axis < 3; ++axis)
                d->velocity[axis] += static_cast<int32_t>(float(con->orient[3 * k + axis]) * thrust[k] / float(1 << (15 - c)));
    // 12.
    if (free || d->composite) {
        FixMatrix m;
        MatrixFromYawPitch(&m, static_cast<int32_t>(d->yaw), static_cast<int32_t>(d->pitch));
        std::memcpy(con->orient, m.m, sizeof con->orient);
    }
    // 13, 14.
    if (free)
        for (int k = 0; k < 3; ++k) con->pos[k] += d->velocity[k] >> (8 - c);
    for (int32_t& v : d->velocity) v = static_cast<int32_t>(float(v) * d->speedDamp);
    // 15. The eyes.
    const FixMatrix* orient = reinterpret_cast<const FixMatrix*>(con->orient);
    FixVec tip{d->unit.viewTip[0], d->unit.viewTip[1], d->unit.viewTip[2]}, off;
    RotateVecT(&off, orient, &tip);
    d->unit.insidePos[0] = con->pos[0] + off.x, d->unit.insidePos[1] = con->pos[1] + off.y, d->unit.insidePos[2] = con->pos[2] + off.z;
    std::memcpy(d->unit.insideOrient, con->orient, sizeof d->unit.insideOrient);
    tip = FixVec{d->unit.rearTip[0], d->unit.rearTip[1], d->unit.rearTip[2]};
    RotateVecT(&off, orient, &tip);
    d->unit.outsidePos[0] = con->pos[0] + off.x, d->unit.outsidePos[1] = con->pos[1] + off.y, d->unit.outsidePos[2] = con->pos[2] + off.z;
    for (int i = 0; i < 9; ++i) d->unit.outsideOrient[i] = (i / 3 == 1) ? con->orient[i] : -con->orient[i];
    // 16, 17.
    con->typeWords[0] = 127;
    d->lastRecorded = RecordReplayRunning ? RecordedConstruct : nullptr;
    if (con == PlayerUnit && TickIndex >= 0 && TickIndex == TickCount - 1)
        MovieCamera_itfc(con, ItfcMethod::DRAWOVERLAY, 0);
}

// ---- The overlay ------------------------------------------------------------------------------------

void DrawOverlay(construct* con) {
    if (RecordReplayActive) return;  // the record/replay panel stands over the view
    if (PlayerTFView && (PlayerTFView->panels[0] || PlayerTFView->panels[1] || PlayerTFView->panels[2])) return;
    const MovieCameraData* d = Data(con);
    static const uint8_t kColour[4] = {0, 255, 128, 255};
    SetTextColor(kColour);
    const int32_t column = (SurfaceWidth / 2) / (TextGridCell > 0 ? TextGridCell : 12);
    int32_t row = 2;
    if (d->lockedAU && d->lockedSlot) {
        const int32_t* s = d->lockedSlot;
        DrawTextGridf(column, row++, "LOCKED: %s", d->lockedCon ? UnitNameOf(d->lockedCon) : "");
        DrawTextGridf(column, row++, "itfc:   %s", d->lockedCon ? ItfcName(d->lockedCon->itfc) : "");
        DrawTextGridf(column, row++, "AU:     %s", d->lockedAU->name);
        DrawTextGridf(column, row++, "index:  %d", d->lockedIndex);
        DrawTextGridf(column, row++, "X pos:  %d", s[0]);
        DrawTextGridf(column, row++, "Y pos:  %d", s[1]);
        DrawTextGridf(column, row++, "Z pos:  %d", s[2]);
        DrawTextGridf(column, row++, "angle:  %4.1f", double(s[5]) * 0.0008742642);
        ++row;
    }
    if (d->storedCount > 0) DrawTextGridf(column, row++, "%d stored keyframes", d->storedCount);
    if (d->keyCount > 0) DrawTextGridf(column, row++, "%d keyframes %s", d->keyCount, d->composite ? "COMPOSITE" : "");
    DrawTextGridf(column, row++, "key frame %8.3f", double(d->pathParam));
    DrawTextGridf(column, row++, "pos: %4.3f %4.3f (tile coords)", con->pos[0] / 65536.0, con->pos[2] / 65536.0);
    DrawTextGridf(column, row++, "speed: %d %d %d", d->velocity[0], d->velocity[1], d->velocity[2]);
    DrawTextGridf(column, row++, "rudder: %d %d %d", d->look[0], d->look[1], d->look[2]);
    if (CurrentMatrix) {
        uint32_t flags = 0;
        const int32_t ground = InterpGroundHeight(CurrentMatrix, con->pos, &flags);
        DrawTextGridf(column, row++, "ground: %d  flags: %04x  water: %d", ground, flags, WaterLevelAt(con->pos[0], con->pos[2]) * 8);
        DrawTextGridf(column, row++, "sub-point: %d %d", con->pos[0] >> 12, con->pos[2] >> 12);
    }
}

}  // namespace

size_t MovieCameraSavedSize() { return kMovieSavedWeapon + kPjtThrowerSavedSize; }

const char* MovieCamera_checkSaved(const uint8_t* block, size_t size) {
    if (!block || size != MovieCameraSavedSize()) return "the saved state has the wrong size";
    const int32_t count = ReadI32(block + kMovieSavedKeyCount);
    if (count < 0 || count > kMovieKeyFrames) return "the key-frame count is out of range";
    const int32_t composite = ReadI32(block + kMovieSavedComposite);
    if (composite != 0 && composite != 1) return "the composite flag is neither 0 nor 1";
    float pitch;
    std::memcpy(&pitch, block + 68, 4);
    if (!(pitch >= 0.0f && pitch <= kMaxPitch)) return "the pitch is out of range";
    return PjtThrower_checkSaved(block + kMovieSavedWeapon);
}

void FreeMovieCameraWaves() {
    while (WaveCount > 0) {
        construct* wave = Waves[--WaveCount];
        CallItfc(wave, ItfcMethod::UNPLACE, 0);
        CallItfc(wave, ItfcMethod::DESTROY, 0);
    }
}

int MovieCameraWaveCount() { return WaveCount; }

uintptr_t MovieCamera_itfc(construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::CREATE:
            return reinterpret_cast<uintptr_t>(Create(reinterpret_cast<Unit*>(con), reinterpret_cast<const char*>(arg)));
        case ItfcMethod::PLACE: Place(con, reinterpret_cast<const PlacementRecord*>(arg)); return 0;
        case ItfcMethod::TICK: Tick(con, reinterpret_cast<const TickInput*>(arg)); return 0;
        case ItfcMethod::STEERAI: ClearInput(reinterpret_cast<ControlInput*>(arg)); return 0;
        case ItfcMethod::VIEWINSIDE:
            SetViewPortTarget(reinterpret_cast<ViewPort*>(arg), con, Data(con)->unit.insidePos,
                              reinterpret_cast<const FixMatrix*>(Data(con)->unit.insideOrient), 1);
            return 0;
        case ItfcMethod::VIEWOUTSIDE:
            SetViewPortTarget(reinterpret_cast<ViewPort*>(arg), con, Data(con)->unit.outsidePos,
                              reinterpret_cast<const FixMatrix*>(Data(con)->unit.outsideOrient), 0);
            return 0;
        case ItfcMethod::SETLOOK:
            if (const auto* rec = reinterpret_cast<const ControlInput*>(arg)) {
                MovieCameraData* d = Data(con);
                d->look[0] = rec->axes[1], d->look[1] = rec->axes[2], d->look[2] = rec->axes[0];
            }
            return 0;
        case ItfcMethod::DRAWOVERLAY: DrawOverlay(con); return 0;
        case ItfcMethod::UNPLACE: Unplace(con); return 0;
        case ItfcMethod::DESTROY:
            if (con->flags & kConstructPlaced) FatalError("remove first");
            DestroySubConstructs(&Data(con)->unit.owned);
            FreeConstruct(con);
            return 0;
        case ItfcMethod::GETNAME: return reinterpret_cast<uintptr_t>("MovieCamera");
        case ItfcMethod::GETDAMAGE: return reinterpret_cast<uintptr_t>(&Data(con)->damage);
        case ItfcMethod::GETSTATE: return reinterpret_cast<uintptr_t>(&Data(con)->state);
        case ItfcMethod::GETMAXIMA: return reinterpret_cast<uintptr_t>(&Data(con)->maxima);
        case ItfcMethod::GETPOS:
            if (arg) std::memcpy(reinterpret_cast<int32_t*>(arg), con->pos, sizeof con->pos);
            return 0;
        case ItfcMethod::GETUNIT: return reinterpret_cast<uintptr_t>(&Data(con)->unit);
        case ItfcMethod::GETACCESSTYPE: return 4;
        case ItfcMethod::GETGAUGES:
        case ItfcMethod::GETGAUGES2:
        case ItfcMethod::GETTURRETYAW:
        case ItfcMethod::GETTURRETPITCH:
        case ItfcMethod::VIEWRELEASE: return 0;
        case ItfcMethod::UPDATEAIUNIT:
            if (auto* ai = reinterpret_cast<AIUnitRecord*>(arg)) ai->weaponPresent[0] = ai->weaponPresent[1] = 0;
            return 1;
        case ItfcMethod::GETITFCDATA: return SavedBlock(con, arg);
        case ItfcMethod::SETITFCDATA: RestoreSaved(con, reinterpret_cast<const uint8_t*>(arg)); return 0;
        default: return ItfcUnknownMethod("MovieCamera", method);
    }
}

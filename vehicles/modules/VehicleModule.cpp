// The vehicle module frame: the busy-level time step, the pending push, the engine sounds, AI steering
// toward the unit's destination, the drive status and the ground-drive block that the tracked and the
// wheeled drive share.
#include "vehicles/modules/VehicleModule.h"

#include <cmath>
#include <cstring>
#include <iterator>

#include "ai/AIMessage.h"
#include "ai/AIRecords.h"
#include "core/Fix3D.h"
#include "core/Rules.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "platform/SoundFx.h"
#include "world/Construct.h"

const char* const ModuleSlotNames[kModuleSlotCount] = {
    "init", "release", "startSound", "stopSound", "push", "view", "update", "steerAI", "copy", "status",
};
static_assert(std::size(ModuleSlotNames) == kModuleSlotCount);

ItfcMethod ModuleSlotMethod(ModuleSlot slot) {
    switch (slot) {
        case ModuleSlot::Init: return ItfcMethod::PLACE;
        case ModuleSlot::Release: return ItfcMethod::UNPLACE;
        case ModuleSlot::StartSound: return ItfcMethod::PLACE;
        case ModuleSlot::StopSound: return ItfcMethod::UNPLACE;
        case ModuleSlot::Push: return ItfcMethod::TICK;
        case ModuleSlot::View: return ItfcMethod::VIEWINSIDE;
        case ModuleSlot::Update: return ItfcMethod::TICK;
        case ModuleSlot::SteerAI: return ItfcMethod::STEERAI;
        case ModuleSlot::Copy: return ItfcMethod::SETITFCDATA;
        case ModuleSlot::Status: return ItfcMethod::UPDATEAIUNIT;
        case ModuleSlot::Count: break;
    }
    return ItfcMethod::GETNAME;
}

// ---- Rule values ----

float ModuleRuleValue(const Rule* rule, int i) {
    return rule && rule->values && i >= 0 && i < rule->count ? rule->values[i] : 0.0f;
}

int32_t ModuleRuleInt(const Rule* rule, int i) { return TruncateToInt32(ModuleRuleValue(rule, i)); }

Rule* ModuleUnitRule(const construct* con, const char* key) {
    return NamedUnitRule(con ? con->unit : nullptr, "%s", key);
}

// ---- Time step ----

int TickShiftOf(const construct* con) { return con ? ClampTickShift(con->busyLevel) : 0; }

int32_t DampTicks(int32_t value, int32_t factor, int shift, int k) {
    int64_t v = value;
    for (int i = 0, n = 1 << ClampTickShift(k); i < n; ++i) v = (v * factor) >> shift;
    return static_cast<int32_t>(v);
}

void DampTicks3(int32_t v[3], int32_t factor, int shift, int k) {
    for (int i = 0; i < 3; ++i) v[i] = DampTicks(v[i], factor, shift, k);
}

int32_t SmoothSteering(int32_t word, int16_t axis, int k, int baseShift) {
    const int16_t diff = static_cast<int16_t>(axis - word);
    int s = baseShift - ClampTickShift(k);
    if (s < 0) s = 0;
    return word + (diff >> s);
}

int32_t TowardZero(int32_t value, int32_t step) {
    if (step < 0) step = -step;
    if (value > 0) return value > step ? value - step : 0;
    if (value < 0) return value < -step ? value + step : 0;
    return 0;
}

float TowardZeroF(float value, float step) {
    if (step < 0) step = -step;
    if (value > 0) return value > step ? value - step : 0.0f;
    if (value < 0) return value < -step ? value + step : 0.0f;
    return 0.0f;
}

// ---- Pending push ----

void PendingPush_set(PendingPush* p, const int32_t vec[3]) {
    p->flag = 1;
    for (int i = 0; i < 3; ++i) p->vec[i] = vec ? vec[i] : 0;
}

int PendingPush_apply(const PendingPush* p, int32_t velocity[3], int shift) {
    if (!p->flag) return 0;
    for (int i = 0; i < 3; ++i) velocity[i] += p->vec[i] >> shift;
    return 1;
}

void PendingPush_clear(PendingPush* p) { p->flag = 0; }

// ---- Engine sounds ----

namespace {

const int32_t kZeroVelocity[3] = {0, 0, 0};

// Plays a looping engine sample at the construct.
void PlayEngineSample(SoundDesc* desc, const construct* con) {
    if (!desc->file[0]) return;
    if (PlaySampleFor(desc, 1, 1, 1) && con) {
        dxgl_SetSoundPosition(desc, con->pos, kZeroVelocity, 0, 0);
        dxgl_UpdateSoundVolumes(0);
    }
}

}  // namespace

int SampleLive(const SoundDesc* desc) { return dxgl_DescSound(desc) != nullptr; }

void FreeSample(SoundDesc* desc) {
    if (dxgl_SoundStreamBuffer* b = dxgl_DescSound(desc)) dxgl_FreeSound(&b);
    desc->buffer = nullptr;
    desc->serial = 0;
}

void EngineSound_lookup(EngineSound* s, const Unit* unit) {
    const char* prefix = unit && unit->rulePrefix ? unit->rulePrefix : "";
    LookupSound(&s->external, "%s_FX_engine", prefix);
    LookupSound(&s->internal, "%s_FX_engine_internal", prefix);
}

void EngineSound_view(EngineSound* s, const construct* con, int view) {
    SoundDesc* off = view ? &s->external : &s->internal;
    SoundDesc* on = view ? &s->internal : &s->external;
    FreeSample(off);
    if (!SampleLive(on)) PlayEngineSample(on, con);
    s->view = static_cast<uint8_t>(view ? 1 : 0);
}

void EngineSound_start(EngineSound* s, const construct* con) {
    EngineSound_view(s, con, s->view);
    s->soundOn = 1;
}

void EngineSound_stop(EngineSound* s) {
    FreeSample(&s->external);
    FreeSample(&s->internal);
    s->soundOn = 0;
}

void EngineSound_follow(EngineSound* s, const construct* con, const int32_t velocity[3], int blend) {
    if (!con) return;
    const int32_t* v = velocity ? velocity : kZeroVelocity;
    if (SampleLive(&s->external)) dxgl_SetSoundPosition(&s->external, con->pos, v, blend, 0);
    if (SampleLive(&s->internal)) dxgl_SetSoundPosition(&s->internal, con->pos, v, blend, 0);
}

void EngineSound_reconcile(EngineSound* s, const construct* con, int sourceOn) {
    if (sourceOn && !s->soundOn) EngineSound_start(s, con);
    else if (!sourceOn && s->soundOn) EngineSound_stop(s);
}

int EngineBlend(int32_t speed, int32_t topSpeed) {
    if (topSpeed == 0) return 0;
    int64_t a = speed < 0 ? -static_cast<int64_t>(speed) : speed;
    int64_t t = topSpeed < 0 ? -static_cast<int64_t>(topSpeed) : topSpeed;
    const int64_t blend = a * 256 / t;
    return static_cast<int>(blend > 255 ? 255 : blend);
}

// ---- AI steering ----

int DriveAI_takeDestination(DriveAIState* ai, const UnitShare* rec) {
    if (!rec || !rec->aimPointSet) return 0;
    std::memcpy(ai->dest, rec->aimPoint, sizeof ai->dest);
    return 1;
}

void DriveAI_bearing(const construct* con, const int32_t point[3], DriveBearing* out) {
    FixMatrix o;
    std::memcpy(o.m, con->orient, sizeof o.m);
    const FixVec local{con->sphere.centre[0], con->sphere.centre[1], con->sphere.centre[2]};
    FixVec w;
    RotateVecT13(&w, &o, &local);
    out->centre[0] = w.x + con->pos[0];
    out->centre[1] = w.y + con->pos[1];
    out->centre[2] = w.z + con->pos[2];
    const int64_t dx = static_cast<int64_t>(point[0]) - out->centre[0];
    const int64_t dz = static_cast<int64_t>(point[2]) - out->centre[2];
    FixVec d{0, 0, 0};
    // Directions are normalised from a vector shortened into the 32-bit range; the length is exact.
    int64_t sx = dx, sz = dz;
    while (sx > 0x3fffffff || sx < -0x3fffffff || sz > 0x3fffffff || sz < -0x3fffffff) {
        sx >>= 1;
        sz >>= 1;
    }
    const FixVec h{static_cast<int32_t>(sx), 0, static_cast<int32_t>(sz)};
    const int32_t dist = NormaliseF(&d, &h);
    const double full = static_cast<double>(dx) * dx + static_cast<double>(dz) * dz;
    out->distance = dist == 0 ? 0 : TruncateToInt32(std::sqrt(full));
    out->dir[0] = d.x;
    out->dir[1] = 0;
    out->dir[2] = d.z;
    const int64_t fx = con->orient[6], fz = con->orient[8];
    out->sine = static_cast<float>(static_cast<double>(fz * d.x - fx * d.z) / 1073741824.0);
    out->cosine = static_cast<float>(static_cast<double>(fx * d.x + fz * d.z) / 1073741824.0);
}

int DriveAI_arrive(construct* con, UnitShare* rec, int32_t distance) {
    if (!rec || !rec->aimPointSet || distance >= con->sphere.radius) return 0;
    rec->aimPointSet = 0;
    if (con->clan) PostAIMessage(con->clan, NewAIMessage(con->clan, kMsgAimPointDone, 0, con, nullptr, nullptr, nullptr));
    return 1;
}

// ---- Status ----

void DriveStatus_write(AIUnitRecord* ai, int32_t topSpeed, uint8_t flag) {
    if (!ai) return;
    ai->driveValue = topSpeed;
    ai->driveWord = 0;
    ai->driveByte = flag;
}

// ---- Ground-drive block ----

void GroundDrive_initBlock(GroundDriveBlock* g, construct* con, int32_t classWord, int32_t* enginePowerWord) {
    g->con = con;
    g->jolt = g->wake = g->rest = 0;
    g->modeFlag = g->engineOff = 0;
    g->classWord = classWord;
    const Rule* speed = ModuleUnitRule(con, "SpeedConstraint");
    g->speedConstraint[0] = ModuleRuleInt(speed, 0);
    g->speedConstraint[1] = ModuleRuleInt(speed, 1);
    g->enginePowerWord = enginePowerWord;
    g->enginePower = kEnginePowerFull;
    g->modeFactor = 0.0f;
    LookupSound(&g->dive, "FX_dive");
    EngineSound_lookup(&g->engine, con ? con->unit : nullptr);
    g->engine.view = 0;
    g->engine.soundOn = 0;
    g->soundState = 0;
    for (int32_t& w : g->ones) w = 1;
    g->ready = 1;
}

void ChainDrive_startSound(GroundDriveBlock* g) {
    EngineSound_start(&g->engine, g->con);
    g->soundState = 0;
}

void ChainDrive_engineView(GroundDriveBlock* g, int view) { EngineSound_view(&g->engine, g->con, view); }

void ChainDrive_status(GroundDriveBlock* g, AIUnitRecord* ai) {
    DriveStatus_write(ai, g->speedConstraint[1], static_cast<uint8_t>(g->classWord));
}

void WheelDrive_stopSound(GroundDriveBlock* g) { EngineSound_stop(&g->engine); }
void WheelDrive_jolt(GroundDriveBlock* g) { g->jolt = 1; }
void WheelDrive_wake(GroundDriveBlock* g) { g->wake = 1; }

void WheelDrive_setMode(GroundDriveBlock* g, int mode) {
    g->modeFlag = mode ? 1 : 0;
    g->modeFactor = mode ? -kEngineModeFactor : kEngineModeFactor;
}

int GroundDrive_engineMode(GroundDriveBlock* g, ControlInput* control, int moving) {
    int held = 0;
    if (g->modeFlag || g->engineOff) {
        held = 1;
        if (control) {
            SetInputKey(control, kInputThrust2, moving != 0);
            SetInputKey(control, kInputThrust1, false);
        }
        if (g->enginePower <= 0.0f) {
            g->engineOff = 1;
            FreeSample(&g->engine.external);
            FreeSample(&g->engine.internal);
        }
    }
    if (!g->modeFlag && g->enginePower >= kEnginePowerFull) {
        g->engineOff = 0;
        SoundDesc* want = g->engine.view ? &g->engine.internal : &g->engine.external;
        if (!SampleLive(want)) PlayEngineSample(want, g->con);
    }
    return held;
}

void GroundDrive_rampPower(GroundDriveBlock* g, int k) {
    g->enginePower += StepScaleF(g->modeFactor, k);
    if (g->enginePower > kEnginePowerFull) {
        g->enginePower = kEnginePowerFull;
        g->modeFactor = 0.0f;
    } else if (g->enginePower < 0.0f) {
        g->enginePower = 0.0f;
        g->modeFactor = 0.0f;
    }
    if (g->enginePowerWord) *g->enginePowerWord = static_cast<int32_t>(g->enginePower);
}

void GroundDrive_copyBlock(GroundDriveBlock* g, const GroundDriveBlock* s) {
    g->classWord = s->classWord;
    g->jolt = s->jolt;
    g->rest = s->rest;
    g->modeFlag = s->modeFlag;
    g->engineOff = s->engineOff;
    g->speedConstraint[0] = s->speedConstraint[0];
    g->speedConstraint[1] = s->speedConstraint[1];
    g->enginePower = s->enginePower;
    g->modeFactor = s->modeFactor;
    std::memcpy(g->ones, s->ones, sizeof g->ones);
}

void GroundDrive_releaseBlock(GroundDriveBlock* g) {
    if (!g->ready) return;
    EngineSound_stop(&g->engine);
    g->ready = 0;
}

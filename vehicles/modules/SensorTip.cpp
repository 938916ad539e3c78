// The sensor tip: lays, moves and clears the player's sensor beam.
#include "vehicles/modules/SensorTip.h"

#include <cstring>

#include "core/Fix3D.h"
#include "core/Rules.h"
#include "objects/SharedPools.h"
#include "objects/Units.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"

namespace {

void ComputeTip(SensorTip* s) {
    const construct* carrier = s->carrier;
    FixVec local{s->offset[0], s->offset[1], s->offset[2]};
    FixVec world;
    RotateVecT(&world, reinterpret_cast<const FixMatrix*>(carrier->orient), &local);
    s->tip[0] = world.x + carrier->pos[0];
    s->tip[1] = world.y + carrier->pos[1];
    s->tip[2] = world.z + carrier->pos[2];
}

const SensorSegHead* Head(const construct* seg) {
    return static_cast<const SensorSegHead*>(seg->itfcData);
}

int32_t SegmentLength(const construct* seg) {
    const SensorSegHead* head = Head(seg);
    return head ? head->length : 0;
}

void PlaceSegment(construct* seg, const construct* carrier, const int32_t point[3]) {
    std::memcpy(seg->pos, point, sizeof seg->pos);
    std::memcpy(seg->orient, carrier->orient, sizeof seg->orient);
}

void Advance(int32_t point[3], const construct* carrier, int32_t length) {
    const int32_t* fwd = &carrier->orient[6];
    for (int c = 0; c < 3; ++c) point[c] += static_cast<int32_t>((int64_t{fwd[c]} * length) >> 15);
}

}  // namespace

void SensorTip_init(SensorTip* s, construct* con, construct* carrier, float scale) {
    std::memset(s, 0, sizeof *s);
    s->con = con;
    s->carrier = carrier ? carrier : con;
    const Rule* tip = NamedUnitRule(con->unit, "SensorTip");
    for (int c = 0; c < 3; ++c) {
        const int32_t v = tip->count > c ? TruncateToInt32(tip->values[c]) : 0;
        s->offset[c] = TruncateToInt32(static_cast<double>(v) * scale);
    }
}

void SensorTip_release(SensorTip* s) {
    if (s->active) SensorTip_clear(s);
}

void SensorTip_notify(SensorTip* s, uintptr_t value) {
    for (int i = 0; i < s->count; ++i) CallItfc(s->segments[i], ItfcMethod::SETMODE, value);
}

void SensorTip_clear(SensorTip* s) {
    if (!s->active) return;
    for (int i = 0; i < s->count; ++i) {
        CreateQZEvent(QZEventKind::UnBuzy, s->segments[i]);
        DeactivateConstruct(s->segments[i]);
        s->segments[i] = nullptr;
    }
    s->count = 0;
    s->active = 0;
}

void SensorTip_activate(SensorTip* s) {
    if (s->active) return;
    ComputeTip(s);
    s->active = 1;
    s->count = 0;
    ConstructPool* pool = SharedPool(SharedPoolId::Sensor);
    int32_t point[3] = {s->tip[0], s->tip[1], s->tip[2]};
    int32_t laid = 0;
    while (pool && s->count < kSensorMaxSegments && laid <= kSensorMaxLength) {
        construct* seg = NextFreeInConstructPool(pool);
        if (!seg) break;
        CreateQZEvent(QZEventKind::Buzy0, seg);
        ActivateConstruct(seg);
        PlaceSegment(seg, s->carrier, point);
        seg->effectPhase = kSensorEffectPhase;
        seg->owner = s->con;
        s->segments[s->count++] = seg;
        const int32_t length = SegmentLength(seg);
        Advance(point, s->carrier, length);
        laid += length;
    }
}

void SensorTip_update(SensorTip* s) {
    if (!s->active) return;
    ComputeTip(s);
    int32_t point[3] = {s->tip[0], s->tip[1], s->tip[2]};
    bool blocked = false;
    for (int i = 0; i < s->count; ++i) {
        construct* seg = s->segments[i];
        PlaceSegment(seg, s->carrier, point);
        Advance(point, s->carrier, SegmentLength(seg));
        const SensorSegHead* head = Head(seg);
        if (blocked) {
            DeactivateConstruct(seg);
        } else if (head && head->blocked) {
            blocked = true;
            std::memcpy(s->end, seg->pos, sizeof s->end);
            DeactivateConstruct(seg);
        } else {
            ActivateConstruct(seg);
        }
    }
    if (!blocked && s->count > 0) std::memcpy(s->end, s->segments[s->count - 1]->pos, sizeof s->end);
}

// Threat detection of every 32nd tick: which unit perceives which by radar, sight or noise, what each
// clan knows (its threat list, aged every pass), and the firing lines of units that aim at each other.
#include <cstdlib>
#include <cstring>

#include "ai/AIMessage.h"
#include "ai/AI_local.h"
#include "ai/Clan.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "world/Collide.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"

namespace {

int32_t RuleInt(const char* name) {
    Rule* r = FindRule(name);
    return r && r->count > 0 ? TruncateToInt32(r->values[0]) : 0;
}

// The world rules the detection reads, taken once per pass.
struct SightRules {
    int32_t eyesightRange;
    int32_t eyesightAperture;
    int32_t beamsightRange;
    int32_t beamsightRadius;
};

// One unit's side of a pair.
struct Side {
    construct* con;
    Clan* clan;
    UnitAIInfo info;
    construct* target;
    construct* lockTarget;
};

bool TakeSide(construct* con, Side* s) {
    s->con = con;
    s->clan = con->clan;
    s->target = nullptr;
    s->lockTarget = nullptr;
    std::memset(&s->info, 0, sizeof s->info);
    return GetUnitAIInfo(con, &s->info, &s->target, &s->lockTarget) != nullptr && s->info.sensorPoint;
}

// The pair's distance and direction, computed once when first needed.
struct PairGeometry {
    int32_t d[3];
    int32_t ad[3];
    bool known = false;
    int32_t distance = 0;
    int32_t dir[3] = {};
    void Need() {
        if (known) return;
        known = true;
        distance = ai::Length3(d);
        ai::Normalise32768(d, dir);
    }
};

bool Beyond(const int32_t ad[3], int32_t range) {
    return ad[0] > range || ad[1] > range || ad[2] > range;
}

// Walks the line from start in steps of 2048 units while length remains; 1 at the first obstruction.
int ProbeSight(const int32_t start[3], const int32_t dir[3], int32_t length) {
    int32_t p[3] = {start[0], start[1], start[2]};
    for (int64_t left = length; left > 0; left -= 2048) {
        if (ai::PointObstructed(p)) return 1;
        for (int k = 0; k < 3; ++k) p[k] += dir[k] >> 4;
    }
    return 0;
}

// Sight of s toward o: range test, then the eye's aperture or the beam.
bool Sees(const Side& s, const Side& o, const PairGeometry& g, const int32_t dirToOther[3], const SightRules& rules) {
    if (s.info.sightType == kSightRadar) return false;
    const bool beamsight = s.info.sightType == kSightBeam;
    const int32_t range = beamsight ? rules.beamsightRange : rules.eyesightRange;
    if (Beyond(g.ad, range)) return false;
    if (range < g.distance) return false;
    const bool beamMode = beamsight && s.info.beamFlag && !o.info.beamFlag;
    if (!beamMode) {
        if (s.info.sensorOrient) {
            const int32_t* row = s.info.sensorOrient + 6;
            int64_t dot = (int64_t(row[0]) * dirToOther[0] + int64_t(row[1]) * dirToOther[1] +
                           int64_t(row[2]) * dirToOther[2]) >> 15;
            if (dot < 32768 - rules.eyesightAperture) return false;
        }
        return true;
    }
    if (!s.info.beamLit) return false;
    const int32_t* target = o.con->pos;
    const int32_t bd[3] = {target[0] - s.info.beamPoint[0], target[1] - s.info.beamPoint[1],
                           target[2] - s.info.beamPoint[2]};
    return ai::Length3(bd) < rules.beamsightRadius;
}

void Report(Side& s, Side& o, int32_t flags, const PairGeometry& g, const int32_t dir[3]) {
    if (KlassOf(s.con) & kKlassTarget) return;
    ThreatEntry e{};
    e.flags = flags;
    e.con = o.con;
    e.distance = g.distance;
    e.age = 0;
    std::memcpy(e.pos, o.con->pos, sizeof e.pos);
    std::memcpy(e.dir, dir, sizeof e.dir);
    if (AddThreat(s.con, &e) && s.clan) InsertThreat(s.clan, &e);
}

void DetectPair(Side& a, Side& b, const SightRules& rules) {
    PairGeometry g;
    for (int k = 0; k < 3; ++k) {
        g.d[k] = b.info.sensorPoint[k] - a.info.sensorPoint[k];
        g.ad[k] = std::abs(g.d[k]);
    }
    const bool hitA = b.info.recentHit == a.con;
    const bool hitB = a.info.recentHit == b.con;

    bool radarA = a.info.sightType == kSightRadar && !b.info.stealth;
    bool radarB = b.info.sightType == kSightRadar && !a.info.stealth;
    if (radarA && Beyond(g.ad, a.info.sightRange)) radarA = false;
    if (radarB && Beyond(g.ad, b.info.sightRange)) radarB = false;
    if (radarA || radarB) {
        g.Need();
        if (a.info.sightRange < g.distance) radarA = false;
        if (b.info.sightRange < g.distance) radarB = false;
    }
    bool probed = false;
    int obstructed = 0;
    if (radarA || radarB) {
        obstructed = ProbeSight(a.info.sensorPoint, g.dir, g.distance);
        probed = true;
    }

    bool sightA = a.info.sightType != kSightRadar || b.info.sightType != kSightRadar;
    bool sightB = false;
    if (sightA) {
        g.Need();
        const int32_t back[3] = {-g.dir[0], -g.dir[1], -g.dir[2]};
        sightA = Sees(a, b, g, g.dir, rules);
        sightB = Sees(b, a, g, back, rules);
        if (sightA || sightB) {
            if (!probed) obstructed = ProbeSight(a.info.sensorPoint, g.dir, g.distance);
            probed = true;
            if (obstructed) sightA = sightB = false;
        }
    }

    const bool hearA = !Beyond(g.ad, b.info.noiseRange) && (g.Need(), b.info.noiseRange >= g.distance);
    const bool hearB = !Beyond(g.ad, a.info.noiseRange) && (g.Need(), a.info.noiseRange >= g.distance);

    if (hitA || radarA || sightA) {
        g.Need();
        Report(a, b, (obstructed ? kThreatObstructed : 0) | (hitA ? kThreatRecentHit : 0) |
                         (radarA ? kThreatRadar : 0) | (sightA ? kThreatSight : 0),
               g, g.dir);
    }
    if (hitB || radarB || sightB) {
        g.Need();
        const int32_t back[3] = {-g.dir[0], -g.dir[1], -g.dir[2]};
        Report(b, a, (obstructed ? kThreatObstructed : 0) | (hitB ? kThreatRecentHit : 0) |
                         (radarB ? kThreatRadar : 0) | (sightB ? kThreatSight : 0),
               g, back);
    }
    if (hearA) SetUnitAlertPoint(a.con, b.con->pos);
    if (hearB) SetUnitAlertPoint(b.con, a.con->pos);
}

// The constructs within 1000 units of a point among those the collision pass listed this tick, in the
// pool "tmpcollision" (null without that pool); those of the kind mask's collision class are left out
// unless the mask is 255.
ConstructPool* ObjectsNearPoint(const int32_t p[3], int kindMask) {
    SphereRecord probe{};
    std::memcpy(probe.world, p, sizeof probe.world);
    probe.radius = 1000;
    FindObjectsNearPoint(&probe, kindMask);
    return FindConstructPool("tmpcollision");
}

bool FriendNear(ConstructPool* near, const Side& s, const Side& o) {
    if (!near || !s.clan) return false;
    for (int i = 0; i < near->count; ++i) {
        construct* c = near->constructs[i];
        if (c != s.con && c != o.con && c->clan == s.clan && IsInConstructPool(c, s.clan->pool)) return true;
    }
    return false;
}

void ExamineFiringLine(Side& a, Side& b) {
    int32_t d[3];
    for (int k = 0; k < 3; ++k) d[k] = b.info.sensorPoint[k] - a.info.sensorPoint[k];
    const int32_t distance = ai::Length3(d);
    if (distance <= 0 || distance >= 450000) return;
    int32_t dir[3];
    ai::Normalise32768(d, dir);
    int32_t p[3] = {a.info.sensorPoint[0], a.info.sensorPoint[1], a.info.sensorPoint[2]};
    int obstructed = 0;
    bool friendA = false, friendB = false;
    const int steps = (distance + 4095) / 4096;
    for (int s = 0; s < steps; ++s) {
        if (ai::PointObstructed(p)) {
            obstructed = 1;
        } else {
            for (int k = 0; k < 3; ++k) p[k] += dir[k] >> 3;
        }
        ConstructPool* near = ObjectsNearPoint(p, 255);
        friendA = friendA || FriendNear(near, a, b);
        friendB = friendB || FriendNear(near, b, a);
    }
    if (a.target == b.con || a.lockTarget == b.con) {
        ThreatEntry e{obstructed | (friendA ? kThreatFriendInLine : 0), a.target, distance, 0, {}, {}};
        std::memcpy(e.pos, b.con->pos, sizeof e.pos);
        std::memcpy(e.dir, dir, sizeof e.dir);
        SetUnitDetectInfo(a.con, &e);
    }
    if (b.target == a.con || b.lockTarget == a.con) {
        ThreatEntry e{obstructed | (friendB ? kThreatFriendInLine : 0), b.target, distance, 0, {}, {}};
        std::memcpy(e.pos, a.con->pos, sizeof e.pos);
        for (int k = 0; k < 3; ++k) e.dir[k] = -dir[k];
        SetUnitDetectInfo(b.con, &e);
    }
}

bool Aiming(const Side& a, const Side& b) {
    return a.target == b.con || b.target == a.con || (a.con == PlayerUnit && a.lockTarget == b.con) ||
           (b.con == PlayerUnit && b.lockTarget == a.con);
}

}  // namespace

void DetectThreats() {
    for (int i = 0; i < ClanCount; ++i) AgeThreats(ClanTable[i]);
    const SightRules rules{RuleInt("eyesight_range"), RuleInt("eyesight_aperture"), RuleInt("beamsight_range"),
                           RuleInt("beamsight_radius")};

    for (int ia = 0; ia < ClanCount; ++ia) {
        Clan* A = ClanTable[ia];
        for (int ib = ia + 1; ib < ClanCount; ++ib) {
            Clan* B = ClanTable[ib];
            if (A->hostility[B->index] == kAllied) continue;
            for (int i = 0; i < A->pool->count; ++i) {
                Side a;
                if (!TakeSide(A->pool->constructs[i], &a)) continue;
                for (int k = 0; k < B->pool->count; ++k) {
                    Side b;
                    if (!TakeSide(B->pool->constructs[k], &b)) continue;
                    DetectPair(a, b, rules);
                    if (Aiming(a, b)) ExamineFiringLine(a, b);
                }
            }
        }
    }

    ConstructPool* targets = FindConstructPool("target");
    if (!targets) return;
    for (int ia = 0; ia < ClanCount; ++ia) {
        Clan* A = ClanTable[ia];
        for (int i = 0; i < A->pool->count; ++i) {
            Side a;
            if (!TakeSide(A->pool->constructs[i], &a)) continue;
            for (int k = 0; k < targets->count; ++k) {
                construct* t = targets->constructs[k];
                // A target that belongs to no clan has no hostility to test: it is not detected.
                if (!t->clan || t->clan == A || A->hostility[t->clan->index] == kAllied) continue;
                int32_t structure = 0;
                if (!ai::StructureOf(t, &structure) || structure <= 0) continue;
                Side b;
                if (!TakeSide(t, &b)) continue;
                DetectPair(a, b, rules);
            }
        }
    }
}

void InsertThreat(Clan* clan, const ThreatEntry* entry) {
    for (int i = 0; i < clan->threatCount; ++i) {
        if (clan->threats[i].con != entry->con) continue;
        clan->threats[i] = *entry;
        clan->threats[i].age = 0;
        return;
    }
    if (clan->threatCount >= clan->threatCapacity) {
        int capacity = clan->threatCapacity * 2;
        auto* grown = static_cast<ThreatEntry*>(qzAlloc(capacity * int(sizeof(ThreatEntry)), "threat list"));
        std::memset(grown, 0, size_t(capacity) * sizeof(ThreatEntry));
        std::memcpy(grown, clan->threats, size_t(clan->threatCount) * sizeof(ThreatEntry));
        qzFree(clan->threats);
        clan->threats = grown;
        clan->threatCapacity = capacity;
    }
    ThreatEntry& e = clan->threats[clan->threatCount++];
    e = *entry;
    e.age = 0;
    PostAIMessage(clan, NewAIMessage(clan, kMsgThreatEntered, 0, entry->con, nullptr, nullptr, nullptr));
    if (UnitShare* rec = GetUnitShare(entry->con)) {
        rec->inThreatList[clan->index] = 1;
        if (clan == PlayerClan) rec->displayWord = 2;
    }
}

void AgeThreats(Clan* clan) {
    for (int i = 0; i < clan->pool->count; ++i) SnapshotThreatList(clan->pool->constructs[i]);
    bool sweep = false;
    for (int i = 0; i < clan->threatCount; ++i) {
        ThreatEntry& e = clan->threats[i];
        if (e.age > 1 || !(e.con->flags & kConBusy)) sweep = true;
        ++e.age;
    }
    if (!sweep) return;
    const bool allVisible = RuleInt("allhostilesvisible") != 0;
    for (int i = 0; i < clan->threatCount;) {
        ThreatEntry& e = clan->threats[i];
        if (e.age <= 1 && (e.con->flags & kConBusy)) {
            ++i;
            continue;
        }
        construct* gone = e.con;
        PostAIMessage(clan, NewAIMessage(clan, kMsgThreatLeft, 0, gone, nullptr, nullptr, nullptr));
        if (UnitShare* rec = GetUnitShare(gone)) {
            rec->inThreatList[clan->index] = 0;
            if (clan == PlayerClan && !allVisible) rec->displayWord = -1;
        }
        clan->threats[i] = clan->threats[--clan->threatCount];
        i = 0;
    }
}

construct* ProbeLine(construct* self, const int32_t start[3], const int32_t dir[3], int32_t out[3], int32_t length,
                     int stopAtGround, int stopAtObjects) {
    int32_t p[3] = {start[0], start[1], start[2]};
    construct* met = nullptr;
    for (int64_t s = 0; s < length && !met; s += 4096) {
        if (stopAtGround && ai::PointObstructed(p)) break;
        for (int k = 0; k < 3; ++k) p[k] += dir[k] >> 3;
        if (!stopAtObjects) continue;
        ConstructPool* near = ObjectsNearPoint(p, 1);
        for (int i = 0; near && i < near->count; ++i)
            if (near->constructs[i] != self) {
                met = near->constructs[i];
                break;
            }
    }
    std::memcpy(out, p, 12);
    return met;
}

void AlertUnitsNearPoint(construct* shooter, const int32_t point[3], int32_t range) {
    Clan* own = shooter->clan;
    for (int c = 0; c < ClanCount; ++c) {
        Clan* clan = ClanTable[c];
        if (clan == own) continue;
        if (own && clan->hostility[own->index] == kAllied) continue;
        for (int i = 0; i < clan->pool->count; ++i) {
            construct* u = clan->pool->constructs[i];
            const int32_t d[3] = {u->pos[0] - point[0], u->pos[1] - point[1], u->pos[2] - point[2]};
            if (std::abs(d[0]) >= range || std::abs(d[1]) >= range || std::abs(d[2]) >= range) continue;
            if (ai::Length3(d) >= range) continue;
            SetUnitAlertPoint(u, shooter->pos);
        }
    }
}

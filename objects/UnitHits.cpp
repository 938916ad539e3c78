// Hits on a unit: the shield absorbs first, the structure takes the rest and throws debris, the AI is
// told who attacked whom, kills are credited; and the bookkeeping of a unit's death.
#include <cstring>

#include "ai/UnitAI.h"
#include "core/FixMath.h"
#include "core/Rules.h"
#include "objects/ConstructRes.h"
#include "objects/EffectBlocks.h"
#include "objects/SharedPools.h"
#include "objects/UnitRecord.h"
#include "objects/UnitRecord_local.h"
#include "objects/UnitServices.h"
#include "objects/UnitTick.h"
#include "hud/TFSelection.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Level.h"
#include "world/Player.h"
#include "world/QZEvent.h"

using namespace unitrec;

namespace {

// A free instance of a shared pool, queued busy at level 0, activated and placed at the owner; null
// when none is free. The block is handed out only when the type's block holds it.
construct* TakeEffect(SharedPoolId id, construct* owner) {
    ConstructPool* pool = SharedPool(id);
    construct* fx = pool ? NextFreeInConstructPool(pool) : nullptr;
    if (!fx) return nullptr;
    CreateQZEvent(0, fx);
    ActivateConstruct(fx);
    PlaceRelativeToOwner(owner, fx, nullptr);
    fx->owner = nullptr;  // a pooled effect keeps no owner of an earlier use
    return fx;
}

// The unit that fired what lies in the victim's hit slot, or null.
construct* AttackerInSlot(const construct* victim, int slot) {
    if (slot < 0 || slot > 3) return nullptr;
    const construct* hitter = victim->hits[slot];
    return hitter ? hitter->owner : nullptr;
}

const int32_t* HitPoint(const construct* victim, int slot) {
    return slot >= 0 && slot <= 3 ? victim->hitPoints[slot] : victim->pos;
}

}  // namespace

void SpawnPooledEffect(construct* victim, const StateRecord* victimState, const StateRecord* hitterState,
                       const int32_t point[3]) {
    if (!hitterState || !victimState || victimState->shield != 0) return;
    construct* fx = TakeEffect(SharedPoolId::HitSpark, victim);
    if (!fx) return;
    std::memcpy(fx->pos, point, sizeof fx->pos);
    if (auto* b = static_cast<HitSparkBlock*>(fx->itfcData)) b->countdown = 15;
    fx->effectPhase = 255;
}

int32_t ApplyHitToUnit(construct* victim, int slot, StateRecord* state, const DamageRecord* damage) {
    int32_t structure = damage->structure;
    const int32_t shieldDamage = damage->shield;
    // 1, 2. The shield absorbs first.
    if (state->shield > 0) {
        state->shield -= shieldDamage;
        if (state->shield < 0) {
            structure += -state->shield;
            state->shield = 0;
        }
        for (int i = 0; i < shieldDamage && i < kMaxShieldHitEffects; ++i) {
            construct* fx = TakeEffect(SharedPoolId::ShieldHit, victim);
            if (!fx) continue;
            if (auto* b = static_cast<ShieldHitBlock*>(fx->itfcData)) {
                b->countdown = 45;
                b->sphere = &victim->sphere;
                std::memcpy(b->hit, HitPoint(victim, slot), sizeof b->hit);
            }
            fx->effectPhase = 255;
            CallItfc(fx, ItfcMethod::ATTACH, reinterpret_cast<uintptr_t>(victim));
        }
        if (shieldDamage != 0) PlayFX(FXSound::ShieldHit, victim->pos);
    } else {
        structure += shieldDamage;
    }
    // 3. The AI hears of it; unallied sides become each other's targets.
    construct* attacker = AttackerInSlot(victim, slot);
    if (victim->clan && attacker && attacker->clan) {
        PostUnitMessage(victim->clan, kMsgAttacked, shieldDamage, victim, attacker);
        if (attacker->clan != victim->clan) {
            PostUnitMessage(attacker->clan, kMsgAttacked, shieldDamage, victim, attacker);
            // The hitter's record names the unit it hit: the hit unit's clan then knows its attacker at
            // any range (the hitter learns nothing of its victim by it).
            if (victim->clan->hostility[attacker->clan->index] != kAllied)
                SetUnitTargetPair(attacker, victim, kMutualTargetTicks);
        }
    }
    // 4. The hit flag, and the player's camera shakes.
    if (shieldDamage != 0 || damage->structure != 0) {
        if (UnitShare* rec = GetUnitShare(victim)) rec->hitFlag = 1;
        if (IsPlayerUnit(victim))
            CameraShakeByDistance(victim->pos, 1, 100, shieldDamage * (structure != 0 ? 0.2f : 0.1f), 150000);
    }
    // 5. The player's unit locks on what it hit.
    if (attacker && IsPlayerUnit(attacker)) {
        UnitShare* arec = GetUnitShare(attacker);
        if (arec && arec->lockTarget != victim) {
            SetLockTargetFromThreats(attacker, arec, victim);
            arec->lockToggleDelay = LockToggleDelay();
            arec->lockCountdown = kLockCountdown;
            arec->locked = 0;
            StopLockTargetSound();
        }
    }
    return structure;
}

void SpawnDebris(construct* victim, int slot, StateRecord* state, const int32_t push[3], int32_t damage, int kind) {
    // 1. The structure; in a networked game only the host lowers it, and a recorded scene being played
    // back leaves input-driven units alone.
    const int32_t before = state->structure;
    if (MultiplayerOn) {
        if (IsHost) state->structure -= damage;
    } else if (!(RecordReplayActive && (victim->flags & kConInputDriven))) {
        state->structure -= damage;
    }
    // 2. Debris.
    int32_t n = damage >> 2;
    if (n == 0) n = Random() & 1;
    for (int32_t k = 0; k < n; ++k) {
        construct* fx = TakeEffect(SharedPoolId::Fragment, victim);
        if (!fx) continue;
        fx->effectPhase = 255;
        std::memcpy(fx->pos, HitPoint(victim, slot), sizeof fx->pos);
        if (auto* b = static_cast<FragmentBlock*>(fx->itfcData)) {
            b->countdown = -6;
            for (int i = 0; i < 3; ++i) b->velocity[i] = (Random() >> 13) - 16 * push[i];
            for (int i = 0; i < 3; ++i) b->angles[i] = Random() >> 14;
            for (int i = 0; i < 3; ++i) b->spin[i] = Random() >> 18;
        }
    }
    // 3. The hit sound.
    if (kind >= 1 && kind <= 3)
        PlayFX(FXSound::StructureHit, victim->pos);
    else if (kind == 4)
        PlayFX(FXSound::WaterHit, victim->pos);
    // 4. Kill credit when this hit brought the structure down.
    if (!(before > 0 && state->structure <= 0)) return;
    construct* killer = AttackerInSlot(victim, slot);
    if (!killer || !victim->clan || !killer->clan || victim->clan == killer->clan) return;
    AIUnitRecord scratch{};
    const bool answered = CallItfc(victim, ItfcMethod::UPDATEAIUNIT, reinterpret_cast<uintptr_t>(&scratch)) == 1;
    const bool armed = answered && (scratch.weaponPresent[0] || scratch.weaponPresent[1]);
    if (armed) {
        if (UnitShare* krec = GetUnitShare(killer)) ++krec->killCount;
        // Only the cells of the player table count: a unit may still name a cell that has left the game.
        // (The record a cell could point to for a further kill counter is never set.)
        if (MultiplayerOn)
            for (int p = 0; p < PlayerCount; ++p) {
                PlayerCell* cell = PlayerTable[p];
                if (!cell) continue;
                if (cell == victim->playerCell) ++cell->deaths;
                if (cell == killer->playerCell) ++cell->frags;
            }
    }
    PostUnitMessage(killer->clan, kMsgStructureDamage, 0, killer, victim);
}

void NotifyUnitDestroyed(construct* con, UnitShare* rec) {
    RemoveFromTypePools(con);
    for (int k = 0; k < ClanCount; ++k)
        if (ClanTable[k]) BuildAUWaypointLists(ClanTable[k]);
    UpdateTFSelection(PlayerTFView);
    if (rec) {
        ConstructPool* visible = FindConstructPool("visible");
        const uint8_t inVisible = visible && IsInConstructPool(con, visible) ? 1 : 0;
        for (int k = 0; k < ClanCount && k < 3; ++k) {
            Clan* clan = ClanTable[k];
            if (!clan) continue;
            if (clan != con->clan && !ThreatListHolds(con, clan)) continue;
            aistubs_UpdateAIUnit(&rec->ai[k], inVisible);
            PostUnitMessage(clan, kMsgDestroyed, 0, con, nullptr);
        }
    }
    // Nothing may reach the dead unit through a target, a threat entry or a projectile's owner word.
    ForgetUnitReferences(con);
}

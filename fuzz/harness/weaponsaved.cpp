// The weapons' saved forms: the stored projectiles and beam pieces of a saved game ("ClusterGrenade",
// "Projectile", "Grenade", "AMCapsule", "NuclearShock", "HVSegment", "PlasmaBolt" and "BluePlasmaBolt")
// and the high-velocity and beam cannons' module forms. The first byte picks the kind, the rest is the
// form, checked as a load checks it. An accepted projectile form is taken over by a construct of the type,
// which then runs up to forty ticks while it is busy; an accepted cannon form is read into a cannon on a
// weapon part, which runs forty updates from it (a beam firing at a target). What either hands out then
// must be accepted again, and taking it over and handing it out once more gives the same bytes.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/Memory.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/WeaponForms.h"
#include "objects/UnitSaved.h"
#include "vehicles/modules/ModuleSaved.h"
#include "world/ConstructPool.h"
#include "world/QZEvent.h"

namespace {

std::vector<uint8_t> Form(construct* con) {
    int32_t size = 0;
    auto* block = reinterpret_cast<uint8_t*>(CallItfc(con, ItfcMethod::GETITFCDATA, reinterpret_cast<uintptr_t>(&size)));
    std::vector<uint8_t> out(block, block + size);
    qzFree(block);
    return out;
}

void Take(construct* con, std::vector<uint8_t> form) {
    CallItfc(con, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(form.data()));
}

void Projectile(int kind, uint8_t level, const std::vector<uint8_t>& form) {
    const ItfcProc itfc = kvfuzz::kStoredWeapons[kind].itfc;
    if (CheckSavedBlock(itfc, form.data(), form.size())) return;
    construct* con = kvfuzz::BareWeapon(kind);
    if (Form(con).size() != form.size()) std::abort();  // the check holds the form to its size
    ActivateConstruct(con);
    MakeBuzy(con, level);
    Take(con, form);
    for (int t = 0; t < 40 && (con->flags & kConBusy); ++t) {
        CallItfc(con, ItfcMethod::TICK, 0);
        FlushQZEvents();
    }
    const std::vector<uint8_t> once = Form(con);
    if (CheckSavedBlock(itfc, once.data(), once.size())) std::abort();
    Take(con, once);
    const std::vector<uint8_t> twice = Form(con);
    Take(con, twice);
    if (Form(con) != twice) std::abort();
    ClearQZEvents();
    CallItfc(con, ItfcMethod::DESTROY, 0);
}

// A cannon's form read into a record over a weapon part (no pool, no muzzles), run on and handed out.
template <typename Cannon>
void CannonForm(const std::vector<uint8_t>& form, size_t size, const char* (*check)(const uint8_t*),
                void (*get)(Cannon*, const uint8_t*), void (*put)(const Cannon*, uint8_t*),
                void (*copy)(Cannon*, const Cannon*), void (*run)(Cannon*, construct*)) {
    if (form.size() != size || check(form.data())) return;
    construct* part = CreateConstruct(0, 0);
    part->orient[0] = part->orient[4] = part->orient[8] = 32768;
    construct* target = CreateConstruct(0, 0);
    target->pos[2] = 30000;
    target->orient[0] = target->orient[4] = target->orient[8] = 32768;
    target->sphere.radius = 2000;
    auto cannon = std::make_unique<Cannon>();
    cannon->active = 1;
    cannon->unit = part;
    cannon->weaponPart = part;
    auto scratch = std::make_unique<Cannon>(*cannon);
    get(scratch.get(), form.data());
    copy(cannon.get(), scratch.get());
    for (int t = 0; t < 40; ++t) {
        run(cannon.get(), target);
        FlushQZEvents();
    }
    std::vector<uint8_t> once(size), twice(size);
    put(cannon.get(), once.data());
    if (check(once.data())) std::abort();
    *scratch = *cannon;
    get(scratch.get(), once.data());
    put(scratch.get(), twice.data());
    if (twice != once) std::abort();
    ClearQZEvents();
    FreeConstruct(part);
    FreeConstruct(target);
}

void RunHV(HVCannon* c, construct*) { HVCannon_update(c, 1); }
void RunBeam(BeamCannon* c, construct* target) { BeamCannon_update(c, target, 0, 1); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = [] {
        kvfuzz::CreateVisibleAndBusyPools();
        RegisterWeaponSavedChecks();
        return true;
    }();
    (void)once;
    if (size < 1) return 0;
    const int kind = data[0] % kvfuzz::kWeaponKindCount;
    const std::vector<uint8_t> form(data + 1, data + size);
    kvfuzz::Run([&] {
        if (kind == kvfuzz::kHVCannonKind)
            CannonForm<HVCannon>(form, kHVCannonSavedSize, HVCannon_checkSaved, HVCannon_getSaved, HVCannon_putSaved,
                                 HVCannon_copy, RunHV);
        else if (kind == kvfuzz::kBeamCannonKind)
            CannonForm<BeamCannon>(form, kBeamCannonSavedSize, BeamCannon_checkSaved, BeamCannon_getSaved,
                                   BeamCannon_putSaved, BeamCannon_copy, RunBeam);
        else
            Projectile(kind, data[0] >> 6, form);
    });
    ClearQZEvents();
    return 0;
}

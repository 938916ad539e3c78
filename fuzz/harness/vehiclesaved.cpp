// A vehicle's saved form as a saved game hands it to the jeep (the unit record, the vehicle head, then the
// lighting, turret, wheel drive and gun forms): checked as a load checks it. A form the check accepts is
// read into fresh records, module by module, and written out; that written form must be accepted again
// and read and written once more to the same bytes (padding bytes of the input may differ: the reader
// ignores them). Then a jeep of the demo level takes the form over, as a load hands it, and the level
// runs a few ticks with it (from the level's restart point each time).
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "core/Memory.h"
#include "ai/AUDef.h"
#include "fuzz/FuzzLevel.h"
#include "fuzz/FuzzSupport.h"
#include "world/ConstructPool.h"
#include "game/WorldTick.h"
#include "vehicles/modules/ModuleSaved.h"
#include "vehicles/types/EMAJeep.h"
#include "vehicles/types/VehicleFrame.h"

namespace {

template <typename Record>
void Part(const uint8_t* in, uint8_t* out, void (*get)(Record*, const uint8_t*), void (*put)(const Record*, uint8_t*)) {
    auto rec = std::make_unique<Record>();
    get(rec.get(), in);
    put(rec.get(), out);
}

// Reads the whole form into fresh records and writes it again.
std::vector<uint8_t> ReadAndWrite(const uint8_t* in) {
    std::vector<uint8_t> out(kEMAJeepSavedSize, 0);
    auto head = std::make_unique<VehicleHead>();
    VehicleRestoreSaved(head.get(), in);
    uint8_t* block = VehicleSavedBlock(head.get(), "EMAJeep", kVehicleSavedSize, 0);
    std::memcpy(out.data(), block, kVehicleSavedSize);
    qzFree(block);
    Part<UnitLighting>(in + kEMAJeepSavedLighting, out.data() + kEMAJeepSavedLighting, UnitLighting_getSaved,
                       UnitLighting_putSaved);
    Part<WeaponTurret>(in + kEMAJeepSavedTurret, out.data() + kEMAJeepSavedTurret, Turret_getSaved, Turret_putSaved);
    Part<WheelDrive>(in + kEMAJeepSavedDrive, out.data() + kEMAJeepSavedDrive, WheelDrive_getSaved,
                     WheelDrive_putSaved);
    Part<PjtThrower>(in + kEMAJeepSavedWeapon0, out.data() + kEMAJeepSavedWeapon0, PjtThrower_getSaved,
                     PjtThrower_putSaved);
    return out;
}

// The first jeep of the player's task force takes the form over and the world runs.
void TickWithForm(const uint8_t* data, size_t size) {
    static bool dirty = false;
    kvfuzz::DemoLevel();
    if (dirty) kvfuzz::ResetDemoLevel();
    dirty = true;  // also when a fatal error ends the ticks
    AUDef* au = NamedAUDef("EMA_TaskForce");
    if (!au || !au->pool || au->pool->count < 1) std::abort();
    construct* jeep = au->pool->constructs[0];
    void* block = qzAlloc(static_cast<int>(size), "itfc data");
    std::memcpy(block, data, size);
    CallItfc(jeep, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(block));
    qzFree(block);
    for (int tick = 0; tick < 4; ++tick) WorldTick(1, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    kvfuzz::Run([&] {
        if (EMAJeep_checkSaved(data, size)) return;
        const std::vector<uint8_t> once = ReadAndWrite(data);
        if (EMAJeep_checkSaved(once.data(), once.size())) std::abort();
        if (ReadAndWrite(once.data()) != once) std::abort();
        TickWithForm(data, size);
    });
    return 0;
}

// The saved form of a vehicle type's data block (see VehicleForm.h).
#include "vehicles/types/VehicleForm.h"

#include <cstring>
#include <memory>

#include "core/Memory.h"
#include "objects/UnitSaved.h"
#include "platform/DxError.h"
#include "vehicles/modules/ModuleSaved.h"
#include "vehicles/types/VehicleFrame.h"
#include "world/Construct.h"

namespace {

template <typename T>
T* RecordAt(void* block, ptrdiff_t at) {
    return reinterpret_cast<T*>(static_cast<char*>(block) + at);
}

template <typename T>
const T* RecordAt(const void* block, ptrdiff_t at) {
    return reinterpret_cast<const T*>(static_cast<const char*>(block) + at);
}

void PutModule(SavedModuleKind kind, const void* record, uint8_t* out) {
    switch (kind) {
        case SavedModuleKind::Lighting:
            UnitLighting_putSaved(static_cast<const UnitLighting*>(record), out);
            break;
        case SavedModuleKind::Turret:
            Turret_putSaved(static_cast<const WeaponTurret*>(record), out);
            break;
        case SavedModuleKind::WheelDrive:
            WheelDrive_putSaved(static_cast<const WheelDrive*>(record), out);
            break;
        case SavedModuleKind::ChainDrive:
            ChainDrive_putSaved(static_cast<const ChainDrive*>(record), out);
            break;
        case SavedModuleKind::PjtThrower:
            PjtThrower_putSaved(static_cast<const PjtThrower*>(record), out);
            break;
        case SavedModuleKind::HVCannon:
            HVCannon_putSaved(static_cast<const HVCannon*>(record), out);
            break;
        case SavedModuleKind::BeamCannon:
            BeamCannon_putSaved(static_cast<const BeamCannon*>(record), out);
            break;
        default:
            FatalError("Error(VehicleFormPut): unknown module form");
    }
}

const char* CheckModule(SavedModuleKind kind, const uint8_t* in) {
    switch (kind) {
        case SavedModuleKind::Lighting:
            return UnitLighting_checkSaved(in);
        case SavedModuleKind::Turret:
            return Turret_checkSaved(in);
        case SavedModuleKind::WheelDrive:
            return WheelDrive_checkSaved(in);
        case SavedModuleKind::ChainDrive:
            return ChainDrive_checkSaved(in);
        case SavedModuleKind::PjtThrower:
            return PjtThrower_checkSaved(in);
        case SavedModuleKind::HVCannon:
            return HVCannon_checkSaved(in);
        case SavedModuleKind::BeamCannon:
            return BeamCannon_checkSaved(in);
        default:
            return "the form names an unknown module";
    }
}

// Reads a module's form into its record; with copy, through a copy of the record handed to the module's
// own copy step (quiet when the unit is not placed).
template <typename Rec>
void TakeInto(Rec* record, const uint8_t* in, void (*get)(Rec*, const uint8_t*), void (*copy)(Rec*, const Rec*),
              bool viaCopy, void (*quiet)(Rec*)) {
    if (!viaCopy) {
        get(record, in);
        return;
    }
    Rec held = *record;
    get(&held, in);
    if (quiet) quiet(&held);
    copy(record, &held);
}

void TakeModule(SavedModuleKind kind, void* record, const uint8_t* in, bool viaCopy, bool placed) {
    switch (kind) {
        case SavedModuleKind::Lighting:
            TakeInto<UnitLighting>(static_cast<UnitLighting*>(record), in, UnitLighting_getSaved, UnitLighting_draw,
                                   viaCopy, placed ? nullptr : +[](UnitLighting* l) { l->on = 0; });
            break;
        case SavedModuleKind::Turret:
            TakeInto<WeaponTurret>(static_cast<WeaponTurret*>(record), in, Turret_getSaved, Turret_copy, viaCopy,
                                   placed ? nullptr : +[](WeaponTurret* t) { t->soundWanted = 0; });
            break;
        case SavedModuleKind::WheelDrive:
            TakeInto<WheelDrive>(static_cast<WheelDrive*>(record), in, WheelDrive_getSaved, WheelDrive_copy, viaCopy,
                                 placed ? nullptr : +[](WheelDrive* d) { d->g.engine.soundOn = 0; });
            break;
        case SavedModuleKind::ChainDrive:
            TakeInto<ChainDrive>(static_cast<ChainDrive*>(record), in, ChainDrive_getSaved, ChainDrive_copy, viaCopy,
                                 placed ? nullptr : +[](ChainDrive* d) { d->g.engine.soundOn = 0; });
            break;
        case SavedModuleKind::PjtThrower:
            TakeInto<PjtThrower>(static_cast<PjtThrower*>(record), in, PjtThrower_getSaved, PjtThrower_copy, viaCopy,
                                 nullptr);
            break;
        case SavedModuleKind::HVCannon:
            TakeInto<HVCannon>(static_cast<HVCannon*>(record), in, HVCannon_getSaved, HVCannon_copy, viaCopy, nullptr);
            break;
        case SavedModuleKind::BeamCannon:
            TakeInto<BeamCannon>(static_cast<BeamCannon*>(record), in, BeamCannon_getSaved, BeamCannon_copy, viaCopy,
                                 nullptr);
            break;
        default:
            FatalError("Error(VehicleFormTake): unknown module form");
    }
}

void WalkOwn(const VehicleForm& f, void* block, uint8_t* out, const uint8_t* in) {
    if (!f.walkOwn || f.ownSize == 0) return;
    const size_t at = VehicleFormOwnAt(f);
    SavedWords w{out ? out : nullptr, in ? in : nullptr, at, at + f.ownSize};
    f.walkOwn(w, block);
    if (w.pos != at + f.ownSize) FatalErrorF("Error(%s_itfc): its own saved words are not %zu bytes", f.name, f.ownSize);
}

// A zeroed block of the type's size, aligned for any of its records.
std::unique_ptr<uint8_t[]> ScratchBlock(const VehicleForm& f) {
    auto block = std::make_unique<uint8_t[]>(f.blockSize);
    std::memset(block.get(), 0, f.blockSize);
    return block;
}

}  // namespace

size_t SavedModuleSize(SavedModuleKind kind) {
    switch (kind) {
        case SavedModuleKind::Lighting:
            return kLightingSavedSize;
        case SavedModuleKind::Turret:
            return kTurretSavedSize;
        case SavedModuleKind::WheelDrive:
            return kWheelDriveSavedSize;
        case SavedModuleKind::ChainDrive:
            return kChainDriveSavedSize;
        case SavedModuleKind::PjtThrower:
            return kPjtThrowerSavedSize;
        case SavedModuleKind::HVCannon:
            return kHVCannonSavedSize;
        case SavedModuleKind::BeamCannon:
            return kBeamCannonSavedSize;
        default:
            return 0;
    }
}

size_t VehicleFormOwnAt(const VehicleForm&) { return kVehicleSavedSize; }

size_t VehicleFormModuleAt(const VehicleForm& f, int i) {
    size_t at = VehicleFormOwnAt(f) + f.ownSize;
    for (int m = 0; m < i && m < f.moduleCount; ++m) at += SavedModuleSize(f.modules[m].kind);
    return at;
}

size_t VehicleFormSize(const VehicleForm& f) { return VehicleFormModuleAt(f, f.moduleCount); }

uint8_t* VehicleFormPut(const VehicleForm& f, const void* block, uintptr_t sizeOut) {
    const size_t size = VehicleFormSize(f);
    uint8_t* out = VehicleSavedBlock(static_cast<const VehicleHead*>(block), f.name, size, sizeOut);
    // The walk reads the own words through a block it may write: a copy of them is walked.
    if (f.walkOwn && f.ownSize > 0) {
        auto scratch = ScratchBlock(f);
        std::memcpy(scratch.get(), block, f.blockSize);
        WalkOwn(f, scratch.get(), out, nullptr);
    }
    for (int i = 0; i < f.moduleCount; ++i)
        PutModule(f.modules[i].kind, RecordAt<const char>(block, f.modules[i].at), out + VehicleFormModuleAt(f, i));
    return out;
}

const char* VehicleFormCheck(const VehicleForm& f, const uint8_t* in, size_t size) {
    if (!in || size != VehicleFormSize(f)) return "the saved state has the wrong size";
    if (const char* why = VehicleCheckSaved(in)) return why;
    if (f.walkOwn && f.ownSize > 0) {
        auto scratch = ScratchBlock(f);
        WalkOwn(f, scratch.get(), nullptr, in);
        if (f.checkOwn)
            if (const char* why = f.checkOwn(scratch.get())) return why;
    }
    for (int i = 0; i < f.moduleCount; ++i)
        if (const char* why = CheckModule(f.modules[i].kind, in + VehicleFormModuleAt(f, i))) return why;
    return nullptr;
}

void VehicleFormRead(const VehicleForm& f, void* block, const uint8_t* in) {
    VehicleRestoreSaved(static_cast<VehicleHead*>(block), in);
    WalkOwn(f, block, nullptr, in);
    for (int i = 0; i < f.moduleCount; ++i)
        TakeModule(f.modules[i].kind, RecordAt<char>(block, f.modules[i].at), in + VehicleFormModuleAt(f, i), false,
                   true);
}

void VehicleFormTake(const VehicleForm& f, construct* con, const uint8_t* in) {
    if (const char* why = VehicleFormCheck(f, in, VehicleFormSize(f)))
        FatalErrorF("Error(%s_itfc): the saved state is damaged: %s", f.name, why);
    void* block = con->itfcData;
    VehicleRestoreSaved(static_cast<VehicleHead*>(block), in);
    WalkOwn(f, block, nullptr, in);
    const bool placed = (con->flags & kConstructPlaced) != 0;
    for (int i = 0; i < f.moduleCount; ++i)
        TakeModule(f.modules[i].kind, RecordAt<char>(block, f.modules[i].at), in + VehicleFormModuleAt(f, i), true,
                   placed);
}

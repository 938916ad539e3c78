// A vehicle's saved form as a saved game hands it to its type: the first byte picks the type (a row of
// the vehicle types' table, vehicles/types/VehicleTypes.h), the rest is the form (the unit record, the
// vehicle head, the type's own words and its modules' forms), checked as a load checks it. A form the
// check accepts is read into a fresh block and written out; that written form must be accepted again and
// read and written once more to the same bytes (padding bytes of the input may differ: the reader ignores
// them). Then the first unit of that type in the demo level's task force takes the form over, as a load
// hands it, and the level runs a few ticks with it (from the level's restart point each time).
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "ai/AUDef.h"
#include "core/Memory.h"
#include "fuzz/FuzzLevel.h"
#include "fuzz/FuzzSupport.h"
#include "vehicles/types/VehicleForm.h"
#include "vehicles/types/VehicleTypes.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "game/WorldTick.h"

namespace {

// Reads the whole form into a fresh block of the type and writes it again.
std::vector<uint8_t> ReadAndWrite(const VehicleForm& form, const uint8_t* in) {
    auto block = std::make_unique<uint8_t[]>(form.blockSize);
    std::memset(block.get(), 0, form.blockSize);
    VehicleFormRead(form, block.get(), in);
    uint8_t* out = VehicleFormPut(form, block.get(), 0);
    std::vector<uint8_t> bytes(out, out + VehicleFormSize(form));
    qzFree(out);
    return bytes;
}

// The first unit of the type in the player's task force takes the form over and the world runs.
void TickWithForm(const VehicleTypeRow& row, const uint8_t* data, size_t size) {
    static bool dirty = false;
    kvfuzz::DemoLevel();
    if (dirty) kvfuzz::ResetDemoLevel();
    dirty = true;  // also when a fatal error ends the ticks
    AUDef* au = NamedAUDef("EMA_TaskForce");
    if (!au || !au->pool) std::abort();
    construct* unit = nullptr;
    for (int i = 0; i < au->pool->count && !unit; ++i)
        if (au->pool->constructs[i]->itfc == row.itfc) unit = au->pool->constructs[i];
    if (!unit) std::abort();  // the fuzz level holds a unit of every type
    void* block = qzAlloc(static_cast<int>(size), "itfc data");
    std::memcpy(block, data, size);
    CallItfc(unit, ItfcMethod::SETITFCDATA, reinterpret_cast<uintptr_t>(block));
    qzFree(block);
    for (int tick = 0; tick < 4; ++tick) WorldTick(1, 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    if (size < 1) return 0;
    int count = 0;
    const VehicleTypeRow* rows = VehicleTypeRows(&count);
    const VehicleTypeRow& row = rows[data[0] % count];
    const VehicleForm& form = row.form();
    const uint8_t* in = data + 1;
    const size_t n = size - 1;
    kvfuzz::Run([&] {
        if (row.check(in, n)) return;
        const std::vector<uint8_t> once = ReadAndWrite(form, in);
        if (row.check(once.data(), once.size())) std::abort();
        if (ReadAndWrite(form, once.data()) != once) std::abort();
        TickWithForm(row, in, n);
    });
    return 0;
}

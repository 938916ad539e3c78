// The saved form of a stored effect (the pools "Explode1", "MExplode", "Missile", "Rocket", "MSmoke",
// "Smoky", "Fire1", "Dust", "Shrapnel", "Firetail" of a saved game): the first byte picks the type, the
// rest is the form, checked as a load checks it. An accepted form is taken over by a pooled construct of
// the type, which then runs up to forty ticks while it is busy (the effect goes on from that state); the
// form it hands out then
// must be accepted again, and taking it over and handing it out once more gives the same bytes.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/Memory.h"
#include "fuzz/EffectForms.h"
#include "fuzz/FuzzSupport.h"
#include "objects/UnitSaved.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = [] {
        kvfuzz::CreateVisibleAndBusyPools();
        RegisterEffectSavedChecks();
        return true;
    }();
    (void)once;
    if (size < 1) return 0;
    const int kind = data[0] % kvfuzz::kStoredEffectCount;
    const ItfcProc itfc = kvfuzz::kStoredEffects[kind].itfc;
    const std::vector<uint8_t> form(data + 1, data + size);
    kvfuzz::Run([&] {
        if (CheckSavedBlock(itfc, form.data(), form.size())) return;
        construct* con = kvfuzz::BareEffect(kind);
        if (Form(con).size() != form.size()) std::abort();  // the check holds the form to its size
        ActivateConstruct(con);
        MakeBuzy(con, data[0] >> 6);
        Take(con, form);
        // Ticked as the busy pool ticks it: until it leaves the pool.
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
    });
    ClearQZEvents();
    return 0;
}

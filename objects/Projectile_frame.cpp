// The projectile family's shared frame for its other members: creation from the preloaded pool or from
// the member's object file, and the methods every member answers alike.
#include <cstring>

#include "core/Memory.h"
#include "objects/ConstructRes.h"
#include "objects/Projectile.h"
#include "objects/UnitSaved.h"
#include "world/Construct.h"
#include "world/Geom.h"
#include "world/ObjFile.h"
#include "world/QZEvent.h"

namespace {

construct* Build(const PjtMember& m, const char* directory, const char* geom) {
    construct* con = CreateConstruct(0, m.flags);
    con->itfc = m.itfc;
    AllocItfcData(con, m.blockSize);
    con->sampleCornerCount = m.probeCount;
    for (int i = 0; i < m.probeCount && i < 4; ++i) con->sampleCorners[i] = m.probes[i];
    Geom* g = LoadGeom(m.scale, directory ? directory : "", geom ? geom : "", nullptr);
    if (m.followPhase >= 0)
        AllocBBoards(con, m.followPhase, m.unlit);
    else
        ResetCCADBBoards();  // the file's billboards are not this member's
    SetConstructGeoms(con, g, g, g, g);
    con->collisionClass = m.collisionClass;
    return con;
}

// GETITFCDATA of a stored member: its saved form, written field by field.
uintptr_t SavedForm(const PjtMember& m, construct* con, uintptr_t sizeOut) {
    char purpose[128];
    std::snprintf(purpose, sizeof purpose, "%s data block", m.name);
    auto* out = static_cast<uint8_t*>(qzAlloc(m.savedSize, purpose));
    std::memset(out, 0, static_cast<size_t>(m.savedSize));
    SavedWords w{out, nullptr, 0, static_cast<size_t>(m.savedSize)};
    m.walk(w, con->itfcData);
    if (w.pos != static_cast<size_t>(m.savedSize)) FatalErrorF("Error(%s_itfc): the saved form's size is wrong", m.name);
    if (sizeOut) *reinterpret_cast<int32_t*>(sizeOut) = m.savedSize;
    return reinterpret_cast<uintptr_t>(out);
}

}  // namespace

construct* PjtCreateMember(const PjtMember& m, const char* directory, const char* geom, void (*setup)(construct*)) {
    if (construct* copy = ClonePreloaded(m.itfc, directory)) return copy;
    return PjtBuildMember(m, directory, geom, setup);
}

construct* PjtBuildMember(const PjtMember& m, const char* directory, const char* geom, void (*setup)(construct*)) {
    construct* con = Build(m, directory, geom);
    if (setup) setup(con);
    return con;
}

uintptr_t PjtMember_itfc(const PjtMember& m, construct* con, ItfcMethod method, uintptr_t arg) {
    switch (method) {
        case ItfcMethod::GETNAME:
            return reinterpret_cast<uintptr_t>(m.name);
        case ItfcMethod::DESTROY:
            if (con->flags & kConBusy) UnMakeBuzy(con);
            DeactivateConstruct(con);
            FreeConstruct(con);
            return 0;
        case ItfcMethod::GETITFCDATA:
            if (m.walk) return SavedForm(m, con, arg);
            return CopyItfcDataBlock(con->itfcData, m.blockSize, m.name, arg);
        case ItfcMethod::COPYITFCDATA:
            return CopyItfcDataBlock(con->itfcData, m.blockSize, m.name, arg);
        case ItfcMethod::SETITFCDATA: {
            const auto* src = reinterpret_cast<const uint8_t*>(arg);
            if (!src) return 0;
            if (m.walk) {
                SavedWords w{nullptr, src, 0, static_cast<size_t>(m.savedSize)};
                m.walk(w, con->itfcData);
            } else {
                std::memcpy(con->itfcData, src, static_cast<size_t>(m.blockSize));
            }
            return 0;
        }
        default:
            return m.quiet ? 0 : ItfcUnknownMethod(m.name, method);
    }
}

bboard* PjtFirstBBoard(const construct* con) {
    return con && con->bboardCount > 0 && con->bboards ? con->bboards[0] : nullptr;
}

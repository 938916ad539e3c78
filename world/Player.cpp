#include "world/Player.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "core/Config.h"
#include "core/Files.h"
#include "core/Keys.h"
#include "core/Memory.h"
#include "core/Rules.h"
#include "objects/Itfc.h"
#include "objects/Units.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"

PlayerCell* PlayerTable[kMaxPlayers];
int32_t PlayerCount = 0;
PlayerCell* OwnPlayer = nullptr;
char Playername[32] = "";
MousePointerReader MousePointerPosition = nullptr;

namespace {

constexpr int kTurnAxes = static_cast<int>(TurnAxis::Count);
constexpr int kDeviceAxes = static_cast<int>(DeviceAxis::Count);
constexpr int kKeyEitherShift = 276;

void CopyName(char* to, size_t size, const char* from) {
    size_t n = from ? strnlen(from, size - 1) : 0;
    if (n) memcpy(to, from, n);
    to[n] = 0;
}

void PointerPosition(int32_t* x, int32_t* y, int32_t* z) {
    *x = *y = *z = 0;
    if (MousePointerPosition) MousePointerPosition(x, y, z);
}

// The low 16 bits of a value truncated toward zero, as the analogue axes take it.
int16_t Truncate16(double v) {
    if (!(v == v)) return 0;  // NaN
    v = std::clamp(v, -9.0e18, 9.0e18);
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<int64_t>(v) & 0xFFFF));
}

int16_t Saturate16(int64_t v) {
    return static_cast<int16_t>(std::clamp<int64_t>(v, INT16_MIN, INT16_MAX));
}

// Sets key bit i for every slot of the table whose key is down; the other bits are cleared.
void SampleKeyBits(ControlInput* in, const int32_t* table) {
    memset(in->keys, 0, sizeof in->keys);
    for (int i = 0; i < kKeyTableSize; ++i)
        if (table[i] != 0 && KeyStateByte(table[i])) SetInputKey(in, i, true);
}

// The analogue sources of one sampling, by device axis: the pointer's x and y scaled by the mouse
// sensitivity, its wheel position, and the four joystick accumulators scaled by the joystick sensitivity.
void TakeAnalogueSources(double sources[kDeviceAxes]) {
    int32_t px, py, pz;
    PointerPosition(&px, &py, &pz);
    int32_t jx, jy, throttle, rudder, hat;
    GetJoystickAxes(&jx, &jy, &throttle, &rudder, &hat);
    sources[0] = px * static_cast<double>(mouse_sensitivity);
    sources[1] = py * static_cast<double>(mouse_sensitivity);
    sources[2] = pz;
    sources[3] = jx * static_cast<double>(joystick_sensitivity);
    sources[4] = jy * static_cast<double>(joystick_sensitivity);
    sources[5] = throttle * static_cast<double>(joystick_sensitivity);
    sources[6] = rudder * static_cast<double>(joystick_sensitivity);
}

}  // namespace

PlayerCell* CreatePlayer(const char* name) {
    if (PlayerCount >= kMaxPlayers) FatalError("Error(CreatePlayer): Too many Players");
    PlayerCell* cell = static_cast<PlayerCell*>(qzAlloc(sizeof(PlayerCell), "player cell"));
    memset(cell, 0, sizeof *cell);
    CopyName(cell->name, sizeof cell->name, name);
    CopyName(cell->unitType, sizeof cell->unitType, "MovieCamera");
    cell->flags = 0x1;
    PlayerTable[PlayerCount++] = cell;
    return cell;
}

void DeletePlayer(PlayerCell* cell) {
    if (!cell) return;
    int index = -1;
    for (int i = 0; i < PlayerCount; ++i)
        if (PlayerTable[i] == cell) index = i;
    if (index < 0) return;
    // The remote-input queue is part of the cell and goes with it; the other cells keep theirs as they
    // move down.
    qzFree(cell);
    PlayerCount--;
    for (int i = index; i < PlayerCount; ++i) PlayerTable[i] = PlayerTable[i + 1];
    PlayerTable[PlayerCount] = nullptr;
    // A deleted local cell must not stay reachable.
    if (OwnPlayer == cell) OwnPlayer = nullptr;
}

int FindIDPlayerNo(uint32_t networkId) {
    for (int i = 0; i < PlayerCount; ++i)
        if (PlayerTable[i]->networkId == networkId) return i;
    return -1;
}

PlayerCell* FindIDPlayer(uint32_t networkId) {
    const int i = FindIDPlayerNo(networkId);
    return i >= 0 ? PlayerTable[i] : nullptr;
}

PlayerCell* IDPlayer(uint32_t networkId) {
    PlayerCell* cell = FindIDPlayer(networkId);
    if (!cell) FatalErrorF("Error(IDPlayer): No such PlayerID: %d", static_cast<int>(networkId));
    return cell;
}

int IDPlayerNo(uint32_t networkId) {
    const int i = FindIDPlayerNo(networkId);
    if (i < 0) FatalErrorF("Error(IDPlayerNo): No such PlayerID: %d", static_cast<int>(networkId));
    return i;
}

void SetPlayerAU(PlayerCell* cell, AUDef* actionUnit) {
    if (cell) cell->actionUnit = actionUnit;
}

void SampleInput(PlayerCell* cell, int ticks, int keep) {
    if (!cell) return;
    CopyInput(&cell->unitBefore, &cell->unitNow);
    SampleKeyBits(&cell->unitNow, PilotKeys);
    double sources[kDeviceAxes];
    TakeAnalogueSources(sources);
    for (int i = 0; i < kTurnAxes; ++i) {
        const AxisBinding& b = AxisBindings[i];
        int16_t& axis = cell->unitNow.axes[i];
        if (b.axis >= 0) {
            axis = b.axis < kDeviceAxes ? Truncate16(sources[b.axis] * static_cast<double>(b.factor)) : 0;
        } else if (b.axis == -1) {
            // A key-driven axis keeps its value between samplings and moves by rate/16 per tick; it stops
            // at the ends of the 16-bit range instead of wrapping to the other end.
            int64_t step = (static_cast<int64_t>(b.scale) * (static_cast<int64_t>(ticks) * 16)) >> 8;
            int64_t v = axis;
            if (KeyStateByte(b.firstKey)) v -= step;
            if (KeyStateByte(b.secondKey)) v += step;
            axis = Saturate16(v);
        }
    }
    if (keep) CopyInput(&cell->unitBefore, &cell->unitNow);
}

void SampleUnitInput(PlayerCell* cell, int ticks) {
    SampleInput(cell, ticks, 0);
}

void SampleInput2(PlayerCell* cell, int keep) {
    if (!cell) return;
    CopyInput(&cell->mapBefore, &cell->mapNow);
    SampleKeyBits(&cell->mapNow, CommandoKeys);
    int32_t x, y, z;
    PointerPosition(&x, &y, &z);
    cell->mapNow.axes[0] = static_cast<int16_t>(x);
    cell->mapNow.axes[1] = static_cast<int16_t>(y);
    cell->mapNow.axes[2] = static_cast<int16_t>(z);
    if (keep) CopyInput(&cell->mapBefore, &cell->mapNow);
}

void SampleUnitInput2(PlayerCell* cell) {
    SampleInput2(cell, 0);
}

int16_t* ClearInput(ControlInput* in) {
    memset(in, 0, sizeof *in);
    return in->axes;
}

void CopyInput(ControlInput* to, const ControlInput* from) {
    memcpy(to->keys, from->keys, sizeof to->keys);
    memcpy(to->axes, from->axes, sizeof to->axes);
}

bool ReplayRemoteInput(PlayerCell* cell) {
    if (!cell || cell->remoteCount <= 0) return false;
    // Button n of a remote input drives key bit kButtonBits[n].
    static constexpr int kButtonBits[] = {14, 15, 16, 17, 21, 18, 19, 22, 23, 20, 24};
    int count = std::min(cell->remoteCount, kRemoteInputQueueSize);
    const RemoteInputEntry& e = cell->remoteQueue[count - 1];
    CopyInput(&cell->unitBefore, &cell->unitNow);
    for (int n = 0; n < static_cast<int>(std::size(kButtonBits)); ++n)
        SetInputKey(&cell->unitNow, kButtonBits[n], (e.buttons >> n) & 1);
    for (int i = 0; i < 3; ++i) cell->unitNow.axes[i] = e.axes[i];
    cell->lastAppliedTick = e.tick;
    cell->inputApplied = 1;
    cell->remoteCount = count - 1;
    return true;
}

void SetInputConstruct(construct* con, PlayerCell* cell) {
    if (con) con->playerCell = cell;
    if (cell) {
        if (SetMousePtrPosHook) SetMousePtrPosHook(0, 0);
        for (ControlInput* in : {&cell->unitBefore, &cell->unitNow}) memset(in->axes, 0, sizeof in->axes);
        for (AxisBinding& b : AxisBindings) b.scale = 256;
    }
    // A unit's own key multipliers: the rule's values in 8.8 fixed point; a rule of fewer than six values
    // sets only the multipliers it has.
    if (con && con->unit) {
        if (const Rule* rule = FindUnitRule(con->unit, "KeyMultipliers")) {
            const int n = std::min(rule->count, static_cast<int>(std::size(AxisBindings)));
            for (int i = 0; i < n; ++i) AxisBindings[i].scale = TruncateToInt32(rule->values[i] * 256.0);
        }
    }
}

void SwitchCameraObjects(construct* unit) {
    static const char* const kBusyPools[] = {"buzy0", "buzy1", "buzy2", "buzy3"};
    for (const char* poolName : kBusyPools) {
        ConstructPool* pool = FindConstructPool(poolName);
        if (!pool) continue;
        for (int i = 0; i < pool->count; ++i) {
            construct* con = pool->constructs[i];
            if (!con || !con->itfc) continue;
            const char* type = reinterpret_cast<const char*>(CallItfc(con, ItfcMethod::GETNAME));
            if (!type) type = "";
            if (strcmp(type, "SatCamera") == 0) {
                // With Shift held the satellite camera keeps its targets and adds the unit to them.
                if (unit)
                    CallItfc(con, KeyStateByte(kKeyEitherShift) ? ItfcMethod::ADDTARGET : ItfcMethod::ATTACH,
                             reinterpret_cast<uintptr_t>(unit));
            } else if (strcmp(type, "StatCamera") == 0) {
                if (unit) CallItfc(con, ItfcMethod::ATTACH, reinterpret_cast<uintptr_t>(unit));
            } else if (con->playerCell == OwnPlayer) {
                SetInputConstruct(con, nullptr);
            }
        }
    }
    if (unit) SetInputConstruct(unit, OwnPlayer);
}

// The receiver of the application messages: HandleApplMessage reads each message whole and acts on it.
//
// A message is taken only when its 32-bit number is known and its size is exactly its kind's; when it
// comes from a player of the session other than this machine's own; when a message only the host sends
// comes from the current host, and one for the host arrives on the current host; and when the players it
// names have cells, its clans are 0 or 1 and its flag and status words hold only their known bits.
// Anything else is dropped with a line in "MPLog.txt" and changes nothing. The work that needs the world
// (a new vehicle, the start positions, the fight) is only asked for through MPDeferredFlags.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "ai/AUDef.h"
#include "ai/Clan.h"
#include "hud/MessageLog.h"
#include "net/Messages.h"
#include "net/Multiplayer.h"
#include "net/Session.h"
#include "objects/Itfc.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Player.h"

namespace {

enum class Role { Anyone, FromHost, ToHost };

Role RoleOf(ApplMessage number) {
    switch (number) {
        case ApplMessage::Playerdata:
        case ApplMessage::FundRaise:
        case ApplMessage::StartPositions:
        case ApplMessage::Updatedata:
        case ApplMessage::GameStatus:
        case ApplMessage::RefuseAssignment:
        case ApplMessage::ClanAssignment:
        case ApplMessage::UnitChange: return Role::FromHost;
        case ApplMessage::WantPlayerData:
        case ApplMessage::ByeBye:
        case ApplMessage::WantAssign:
        case ApplMessage::AutoAssign:
        case ApplMessage::WantChangeUnit: return Role::ToHost;
        default: return Role::Anyone;
    }
}

// One receipt: the message, its sender and the sender's cell.
struct Receipt {
    const uint8_t* data;
    size_t size;
    uint32_t sender;
    PlayerCell* from;
    ApplMessage number;
};

void Drop(const Receipt& r, const char* why) {
    MPLog("HandleApplMessage: %s from %u dropped: %s", ApplMessageName(static_cast<uint32_t>(r.number)), r.sender, why);
}

void DropSize(const Receipt& r) {
    char why[48];
    snprintf(why, sizeof why, "%zu bytes", r.size);
    Drop(r, why);
}

void DropPlayer(const Receipt& r, uint32_t named) {
    char why[48];
    snprintf(why, sizeof why, "names no player (%u)", named);
    Drop(r, why);
}

bool KnownClan(int32_t clan) { return clan == 0 || clan == 1; }

// Units in the pool of the clan of that index.
int ClanUnits(int index) {
    if (index >= ClanCount || !ClanTable[index] || !ClanTable[index]->pool) return 0;
    return ClanTable[index]->pool->count;
}

void SetText(char* to, size_t size, const char* from) { snprintf(to, size, "%s", from); }

// ---- each kind ----------------------------------------------------------------------------------------

void ReadSingleInput(const Receipt& r) {
    SingleInputMsg m;
    if (!ReadSingleInputMsg(r.data, r.size, &m)) return DropSize(r);
    if (PlayerCount < 2) return;
    // Input the unit has already gone past is not queued: it would take the unit back in time.
    if (r.from->inputApplied && m.tick < r.from->lastAppliedTick) {
        char why[64];
        snprintf(why, sizeof why, "tick %d before %d", m.tick, r.from->lastAppliedTick);
        return Drop(r, why);
    }
    m.buttons &= (1u << std::size(kSingleInputKeyBits)) - 1;
    QueueRemoteInput(r.from, m);
}

void ReadChat(const Receipt& r) {
    const char* text;
    if (!ReadChatMsg(r.data, r.size, &text)) return DropSize(r);
    ShowMessage(text, r.from->name);
}

void ReadWantPlayerData(const Receipt& r) {
    uint32_t named;
    if (!ReadPlayerWord(r.data, r.size, r.number, &named)) return DropSize(r);
    if (!FindIDPlayer(named)) return DropPlayer(r, named);
    MPLog("WANTPLAYERDATA");
    SendPlayerdata(named, r.sender);
}

void ReadPlayerdata(const Receipt& r) {
    PlayerdataMsg m;
    if (!ReadPlayerdataMsg(r.data, r.size, &m)) return DropSize(r);
    PlayerCell* cell = FindIDPlayer(m.player);
    if (!cell) return DropPlayer(r, m.player);
    if (!KnownClan(m.clan)) return Drop(r, "a clan other than 0 and 1");
    if (m.flags & ~kPlayerFlagBits) return Drop(r, "unknown flag bits");
    MPLog("PLAYERDATA");
    // A player without a name is "unknown", as when it entered.
    SetText(cell->name, sizeof cell->name, m.name[0] ? m.name : "unknown");
    SetText(cell->unitType, sizeof cell->unitType, m.unitType);
    cell->clan = m.clan;
    cell->flags = m.flags;
    ChangeClan();
    if (m.flags & 0x40) {
        cell->flags |= 0x200;
        MPDeferredFlags |= kDeferChangeUnit;
    }
}

void ReadFundRaise(const Receipt& r) {
    uint32_t funds;
    if (!ReadPlayerWord(r.data, r.size, r.number, &funds)) return DropSize(r);
    MPLog("FUNDRAISE %d", static_cast<int32_t>(funds));
    if (OwnPlayer) OwnPlayer->funds = static_cast<int32_t>(funds);
}

void ReadStartPositions(const Receipt& r) {
    StartPositionEntry entries[kMaxPlayers];
    int count;
    if (!ReadStartPositionsMsg(r.data, r.size, entries, &count)) return DropSize(r);
    MPLog("START POSITIONS");
    for (int i = 0; i < count; ++i) {
        // A player who left since the host wrote the message loses its entry, the others keep theirs.
        PlayerCell* cell = FindIDPlayer(entries[i].player);
        if (!cell) {
            DropPlayer(r, entries[i].player);
            continue;
        }
        memcpy(cell->startPosition, entries[i].position, sizeof cell->startPosition);
    }
}

// Whether an entry carries a unit: a player without one is sent as its identifier and 68 zero bytes,
// which would put a zero matrix into a unit.
bool CarriesUnit(const UpdateEntry& e) {
    const int32_t* w = e.pos;
    static_assert(offsetof(UpdateEntry, state) + sizeof e.state - offsetof(UpdateEntry, pos) == 68);
    return std::any_of(w, w + 17, [](int32_t v) { return v != 0; });
}

// A unit far outside the map, or an orientation past 1.15 (a rounded turn reaches a little beyond 1),
// would overflow the unit's next tick.
bool Plausible(const UpdateEntry& e) {
    const bool far = std::any_of(e.pos, e.pos + 3, [](int32_t v) { return v < -(1 << 30) || v > (1 << 30); });
    const bool bent = std::any_of(e.orient, e.orient + 9, [](int32_t v) { return v < -65536 || v > 65536; });
    return !far && !bent;
}

void ReadUpdatedata(const Receipt& r) {
    UpdateEntry entries[kMaxPlayers];
    int count;
    if (!ReadUpdatedataMsg(r.data, r.size, entries, &count)) return DropSize(r);
    if (!(RoundStatus & 0x4)) return;  // only the fight phase's units are corrected
    for (int i = 0; i < count; ++i) {
        const UpdateEntry& e = entries[i];
        PlayerCell* cell = FindIDPlayer(e.player);
        if (!cell) {
            DropPlayer(r, e.player);
            continue;
        }
        if ((cell->flags & 0x80) || !CarriesUnit(e)) continue;
        AUDef* au = cell->actionUnit;
        if (!au || !au->pool || au->pool->count <= 0 || !au->pool->constructs[0]) continue;
        if (!Plausible(e)) {
            Drop(r, "an entry's unit stands far outside the map");
            continue;
        }
        construct* unit = au->pool->constructs[0];
        memcpy(unit->pos, e.pos, sizeof unit->pos);
        memcpy(unit->orient, e.orient, sizeof unit->orient);
        if (e.pitch != kNoTurret) {
            CallItfc(unit, ItfcMethod::SETTURRETPITCH, static_cast<uintptr_t>(static_cast<uint32_t>(e.pitch)));
            CallItfc(unit, ItfcMethod::SETTURRETYAW, static_cast<uintptr_t>(static_cast<uint32_t>(e.yaw)));
        }
        if (auto* s = reinterpret_cast<StateRecord*>(CallItfc(unit, ItfcMethod::GETSTATE))) {
            s->shield = e.state[0];
            s->structure = e.state[1];
            s->energy = e.state[2];
        }
    }
}

void ReadByeBye(const Receipt& r) {
    if (r.size != kByeByeSize) return DropSize(r);
    MPLog("BYEBYE %d", FindIDPlayerNo(r.sender));
}

void ReadGameStatus(const Receipt& r) {
    uint32_t status;
    if (!ReadPlayerWord(r.data, r.size, r.number, &status)) return DropSize(r);
    if (status & ~kRoundStatusBits) return Drop(r, "unknown status bits");
    MPLog("GAMESTATUS %d", static_cast<int32_t>(status));
    RoundStatus = status;
    if (!OwnPlayer || !(OwnPlayer->flags & 0x4)) return;
    if (status & 0x2) {
        OwnPlayer->flags &= ~0x100u;
        MPDeferredFlags |= kDeferPlaceAtStart;
    } else if (status & 0x4) {
        MPDeferredFlags |= kDeferBeginFight;
    }
}

void ReadWantAssign(const Receipt& r) {
    uint32_t word;
    if (!ReadPlayerWord(r.data, r.size, r.number, &word)) return DropSize(r);
    const int32_t clan = static_cast<int32_t>(word);
    if (!KnownClan(clan)) return Drop(r, "a clan other than 0 and 1");
    MPLog("WANTASSIGN %s(%d)", r.from->name, clan);
    // The sides may not drift apart: while their units differ by more than one, nobody changes sides.
    const int d = ClanUnits(0) - ClanUnits(1);
    if (d > 1 || d < -1) return SendRefuseAssignment(r.sender);
    r.from->clan = clan;
    ChangeClan();
    r.from->flags |= 0x4;
    SendClanAssignment(r.sender, clan);
}

void ReadAutoAssign(const Receipt& r) {
    if (r.size != kAutoAssignSize) return DropSize(r);
    MPLog("AUTOASSIGN %s", r.from->name);
    const int32_t clan = CountClanPlayers(1) < CountClanPlayers(0) ? 1 : 0;
    if (r.from == OwnPlayer) {
        ChangeAbstractClan(clan);
    } else {
        r.from->clan = clan;
        ChangeClan();
    }
    r.from->flags |= 0x4;
    SendClanAssignment(r.sender, clan);
}

void ReadRefuseAssignment(const Receipt& r) {
    if (r.size != kRefuseAssignmentSize) return DropSize(r);
    MPLog("REFUSEASSIGN %s", OwnPlayer ? OwnPlayer->name : "");
}

void ReadClanAssignment(const Receipt& r) {
    uint32_t named;
    int32_t clan;
    if (!ReadClanAssignmentMsg(r.data, r.size, &named, &clan)) return DropSize(r);
    PlayerCell* cell = FindIDPlayer(named);
    if (!cell) return DropPlayer(r, named);
    if (!KnownClan(clan)) return Drop(r, "a clan other than 0 and 1");
    MPLog("CLANASSIGN %s(%d)", cell->name, clan);
    if (cell == OwnPlayer) {
        ChangeAbstractClan(clan);
    } else {
        cell->clan = clan;
        ChangeClan();
    }
    cell->flags |= 0x4;
}

void ReadWantChangeUnit(const Receipt& r) {
    char unitType[kUnitNameField];
    if (!ReadWantChangeUnitMsg(r.data, r.size, unitType)) return DropSize(r);
    MPLog("WANTCHANGE %s(%s)", r.from->name, unitType);
    if (!CheckFunds(r.from, unitType)) return;
    SendUnitChange(r.sender, unitType);
    SetText(r.from->unitType, sizeof r.from->unitType, unitType);
    r.from->flags = (r.from->flags & ~0x80u) | 0x200;
    MPDeferredFlags |= kDeferChangeUnit;
}

void ReadUnitChange(const Receipt& r) {
    uint32_t named;
    char unitType[kUnitNameField];
    if (!ReadUnitChangeMsg(r.data, r.size, &named, unitType)) return DropSize(r);
    PlayerCell* cell = FindIDPlayer(named);
    if (!cell) return DropPlayer(r, named);
    MPLog("UNITCHANGE %s(%s)", cell->name, unitType);
    SetText(cell->unitType, sizeof cell->unitType, unitType);
    cell->flags |= 0x200;
    MPDeferredFlags |= kDeferChangeUnit;
}

}  // namespace

int32_t HandleApplMessage(const uint8_t* data, size_t size, uint32_t sender) {
    uint32_t number;
    if (!ReadMessageNumber(data, size, &number)) {
        MPLog("HandleApplMessage: %zu bytes from %u dropped: no message number", size, sender);
        return 1;
    }
    // The whole number decides: 256 is no SingleInput.
    if (number >= static_cast<uint32_t>(ApplMessage::Count) || number == static_cast<uint32_t>(ApplMessage::Unused)) {
        MPLog("HandleApplMessage: unknown system message %u (%zu)", number, size);
        return 1;
    }
    Receipt r{data, size, sender, FindIDPlayer(sender), static_cast<ApplMessage>(number)};
    if (!r.from) {
        Drop(r, "no player of the session");
        return 1;
    }
    if (r.from == OwnPlayer) {
        Drop(r, "this machine's own player");
        return 1;
    }
    const Role role = RoleOf(r.number);
    if (role == Role::FromHost && (!HostPlayer || r.from != HostPlayer)) {
        Drop(r, "not the host");
        return 1;
    }
    if (role == Role::ToHost && (!HostPlayer || HostPlayer != OwnPlayer)) {
        Drop(r, "this machine is not the host");
        return 1;
    }
    switch (r.number) {
        case ApplMessage::SingleInput: ReadSingleInput(r); break;
        case ApplMessage::Chat: ReadChat(r); break;
        case ApplMessage::WantPlayerData: ReadWantPlayerData(r); break;
        case ApplMessage::Playerdata: ReadPlayerdata(r); break;
        case ApplMessage::FundRaise: ReadFundRaise(r); break;
        case ApplMessage::StartPositions: ReadStartPositions(r); break;
        case ApplMessage::Updatedata: ReadUpdatedata(r); break;
        case ApplMessage::ByeBye: ReadByeBye(r); break;
        case ApplMessage::GameStatus: ReadGameStatus(r); break;
        case ApplMessage::WantAssign: ReadWantAssign(r); break;
        case ApplMessage::AutoAssign: ReadAutoAssign(r); break;
        case ApplMessage::RefuseAssignment: ReadRefuseAssignment(r); break;
        case ApplMessage::ClanAssignment: ReadClanAssignment(r); break;
        case ApplMessage::WantChangeUnit: ReadWantChangeUnit(r); break;
        case ApplMessage::UnitChange: ReadUnitChange(r); break;
        default: break;
    }
    return 1;
}

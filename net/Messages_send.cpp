// The senders of the application messages. The players' input and the units' state go unreliably: a
// lost one is overtaken by the next frame's, and an older one never arrives after a newer. Everything
// else changes what the machines agree on (sides, vehicles, funds, start positions, the round status) or
// asks the host for it, and goes reliably and in order.
#include <cstdio>
#include <cstring>
#include <iterator>

#include "ai/AUDef.h"
#include "hud/MessageLog.h"
#include "net/Messages.h"
#include "net/Multiplayer.h"
#include "net/Session.h"
#include "objects/Itfc.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "world/Player.h"
#include "world/TickCounter.h"

namespace {

using host::NetChannel;

bool InSession() { return DirectPlayPeer && host::NetInSession(DirectPlayPeer); }

// The result is not looked at: a message lost on the way is not sent again.
void Send(uint32_t to, const uint8_t* data, size_t size, NetChannel channel) {
    if (!size || !InSession()) return;
    host::NetSend(DirectPlayPeer, to, data, size, channel);
}

// Messages to the host go to the host this machine knows. The host does not send them to itself (its
// own copy would not be read), and while there is no host (between one's leaving and the next's taking
// over) they are not sent.
void SendToHost(const uint8_t* data, size_t size, ApplMessage number) {
    if (!InSession()) return;
    if (!HostPlayer) {
        MPLog("%s not sent: there is no host", ApplMessageName(static_cast<uint32_t>(number)));
        return;
    }
    if (HostPlayer == OwnPlayer) return;
    Send(HostPlayer->networkId, data, size, NetChannel::Reliable);
}

// The first unit of the cell's action unit, or null.
construct* CellUnit(const PlayerCell* cell) {
    const AUDef* au = cell->actionUnit;
    if (!au || !au->pool || au->pool->count <= 0) return nullptr;
    return au->pool->constructs[0];
}

}  // namespace

void SendSingleInput() {
    if (!OwnPlayer) return;
    SingleInputMsg m{};
    m.tick = static_cast<int32_t>(FrameCounter);
    for (int n = 0; n < static_cast<int>(std::size(kSingleInputKeyBits)); ++n)
        if (InputKeyDown(OwnPlayer->unitNow, kSingleInputKeyBits[n])) m.buttons |= 1u << n;
    for (int i = 0; i < 3; ++i) m.axes[i] = OwnPlayer->unitNow.axes[i];
    uint8_t out[kSingleInputSize];
    Send(host::kNetAllPlayers, out, WriteSingleInput(m, out), NetChannel::Unreliable);
}

void SendChat(const char* text) {
    char line[kChatTextMax + 1];
    snprintf(line, sizeof line, "%s", text ? text : "");
    uint8_t out[kChatTextMax + kChatMinSize];
    Send(host::kNetAllPlayers, out, WriteChat(line, out, sizeof out), NetChannel::Reliable);
}

void SendChatLine(const char* text, intptr_t user) {
    (void)user;
    SendChat(text);
    ShowMessage(text ? text : "", OwnPlayer ? OwnPlayer->name : Playername);
}

void SendWantPlayerData(uint32_t player) {
    uint8_t out[kWantPlayerDataSize];
    SendToHost(out, WriteWantPlayerData(player, out), ApplMessage::WantPlayerData);
}

void SendPlayerdata(uint32_t described, uint32_t addressed) {
    const PlayerCell* cell = FindIDPlayer(described);
    if (!cell) return;
    PlayerdataMsg m{};
    m.player = described;
    snprintf(m.name, sizeof m.name, "%s", cell->name);
    snprintf(m.unitType, sizeof m.unitType, "%s", cell->unitType);
    m.clan = cell->clan;
    m.flags = cell->flags & kPlayerFlagBits;
    uint8_t out[kPlayerdataSize];
    Send(addressed, out, WritePlayerdata(m, out), NetChannel::Reliable);
}

void SendFundRaise(uint32_t player, int32_t funds) {
    uint8_t out[kFundRaiseSize];
    Send(player, out, WriteFundRaise(funds, out), NetChannel::Reliable);
}

void SendStartPositions() {
    StartPositionEntry entries[kMaxPlayers] = {};
    for (int i = 0; i < PlayerCount; ++i) {
        entries[i].player = PlayerTable[i]->networkId;
        memcpy(entries[i].position, PlayerTable[i]->startPosition, sizeof entries[i].position);
    }
    uint8_t out[kEntriesHeadSize + kStartPositionEntrySize * kMaxPlayers];
    Send(host::kNetAllPlayers, out, WriteStartPositions(entries, PlayerCount, out), NetChannel::Reliable);
}

void SendUpdatedata() {
    UpdateEntry entries[kMaxPlayers] = {};
    for (int i = 0; i < PlayerCount; ++i) {
        UpdateEntry& e = entries[i];
        e.player = PlayerTable[i]->networkId;
        construct* unit = CellUnit(PlayerTable[i]);
        if (!unit) continue;  // a player without a unit: only its identifier, the rest zero
        memcpy(e.pos, unit->pos, sizeof e.pos);
        memcpy(e.orient, unit->orient, sizeof e.orient);
        e.pitch = static_cast<int32_t>(static_cast<uint32_t>(CallItfc(unit, ItfcMethod::GETTURRETPITCH)));
        e.yaw = static_cast<int32_t>(static_cast<uint32_t>(CallItfc(unit, ItfcMethod::GETTURRETYAW)));
        if (const auto* s = reinterpret_cast<const StateRecord*>(CallItfc(unit, ItfcMethod::GETSTATE))) {
            e.state[0] = s->shield;
            e.state[1] = s->structure;
            e.state[2] = s->energy;
        }
    }
    uint8_t out[kLargestApplMessage];
    Send(host::kNetAllPlayers, out, WriteUpdatedata(entries, PlayerCount, out), NetChannel::Unreliable);
}

void SendByeBye() {
    uint8_t out[kByeByeSize];
    SendToHost(out, WriteNumberOnly(ApplMessage::ByeBye, out), ApplMessage::ByeBye);
}

void SendGameStatus(uint32_t status) {
    uint8_t out[kGameStatusSize];
    Send(host::kNetAllPlayers, out, WriteGameStatus(status, out), NetChannel::Reliable);
}

void SendWantAssign(int32_t clan) {
    uint8_t out[kWantAssignSize];
    SendToHost(out, WriteWantAssign(clan, out), ApplMessage::WantAssign);
}

void SendAutoAssign() {
    uint8_t out[kAutoAssignSize];
    SendToHost(out, WriteNumberOnly(ApplMessage::AutoAssign, out), ApplMessage::AutoAssign);
}

void SendRefuseAssignment(uint32_t addressed) {
    uint8_t out[kRefuseAssignmentSize];
    Send(addressed, out, WriteNumberOnly(ApplMessage::RefuseAssignment, out), NetChannel::Reliable);
}

void SendClanAssignment(uint32_t player, int32_t clan) {
    uint8_t out[kClanAssignmentSize];
    Send(host::kNetAllPlayers, out, WriteClanAssignment(player, clan, out), NetChannel::Reliable);
}

void SendWantChangeUnit(const char* unitType) {
    uint8_t out[kWantChangeUnitSize];
    SendToHost(out, WriteWantChangeUnit(unitType, out), ApplMessage::WantChangeUnit);
}

void SendUnitChange(uint32_t player, const char* unitType) {
    uint8_t out[kUnitChangeSize];
    Send(host::kNetAllPlayers, out, WriteUnitChange(player, unitType, out), NetChannel::Reliable);
}

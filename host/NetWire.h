// The network layer's own packets, written and read field by field (little-endian, every length
// checked). Two families:
//
// - The search: a request and an answer sent as plain UDP datagrams on the session's socket. Each begins
//   with four bytes no packet of the session protocol begins with, then its kind.
// - The session's control packets, carried on the reliable channel of a connection. Every packet of a
//   connection begins with one byte of kind: 0 for a message of the application, which follows as is,
//   the others for the layer (the hello of a joiner, the host's welcome, the addresses of the players,
//   the hello between two players, its acceptance, a player gone).
//
// A reader accepts a packet only when it has exactly the fields of its kind; texts are copied with their
// bound and terminated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/Net.h"

namespace host::netwire {

// The search datagrams' lead: as a connection packet's header it would name connection 0xFFE, which no
// host of at most a few hundred connections gives out.
constexpr uint8_t kSearchMagic[4] = {0x0F, 0xFE, 'K', 'V'};

enum class SearchKind : uint8_t { Request = 1, Answer = 2 };

enum class Kind : uint8_t {
    App = 0,         // an application message follows
    Hello = 1,       // joiner -> host: who wants to join
    Welcome = 2,     // host -> joiner: its identifier, the host, the session, how many players follow
    Announce = 3,    // host -> player: a player and its address
    MeshHello = 4,   // joiner -> player: the joiner, as the host announced it
    MeshAccept = 5,  // player -> joiner: the connection is taken
    PlayerGone = 6,  // host -> player: a player has left
};

// Why a connection was ended: the data of the disconnect.
enum class Reason : uint32_t {
    Lost = 0,        // timed out, or dropped without a word
    Leaving = 1,     // the player closed its session
    Full = 2,        // the session has its number of players
    Application = 3, // another application
    Version = 4,     // another version of the layer
    NotHost = 5,     // the address is no host of a session
    Protocol = 6,    // a packet that does not read or does not belong
    Flood = 7,       // more reliable messages than can wait
    Password = 8,    // the join named another password than the session's
};

struct SearchRequest {
    uint32_t version;
    uint8_t application[16];
    uint32_t nonce;  // the searcher's: answers name it back
};

struct SearchAnswer {
    uint32_t version;
    uint8_t application[16];
    uint32_t nonce;
    uint8_t instance[16];
    uint32_t maxPlayers;
    uint32_t players;
    char name[kNetNameSize];
    uint16_t dataSize;
    uint8_t data[kNetMaxSessionData];
};

struct Hello {
    uint32_t version;
    uint8_t application[16];
    char name[kNetNameSize];
    uint16_t dataSize;
    uint8_t data[kNetMaxPlayerData];
    char password[kNetNameSize];  // as the joiner was given it; empty for none
};

struct Welcome {
    uint32_t yourId;
    uint32_t hostId;
    uint32_t nextId;  // the host's next identifier: a later host goes on from it
    uint8_t instance[16];
    uint32_t maxPlayers;
    char sessionName[kNetNameSize];
    uint16_t sessionDataSize;
    uint8_t sessionData[kNetMaxSessionData];
    char hostName[kNetNameSize];
    uint16_t hostDataSize;
    uint8_t hostData[kNetMaxPlayerData];
    uint32_t players;  // Announce packets of the other players that follow at once
};

struct Announce {
    uint32_t id;
    uint32_t ip;  // 0: the host's own address as the receiver reaches it
    uint16_t port;
    char name[kNetNameSize];
    uint16_t dataSize;
    uint8_t data[kNetMaxPlayerData];
    uint32_t nextId;
};

struct MeshHello {
    uint32_t version;
    uint8_t application[16];
    uint8_t instance[16];
    uint32_t id;  // the sender, as the host announced it
};

struct MeshAccept {
    uint32_t id;
};

struct PlayerGone {
    uint32_t id;
};

using Bytes = std::vector<uint8_t>;

void Encode(const SearchRequest& p, Bytes* out);
void Encode(const SearchAnswer& p, Bytes* out);
void Encode(const Hello& p, Bytes* out);
void Encode(const Welcome& p, Bytes* out);
void Encode(const Announce& p, Bytes* out);
void Encode(const MeshHello& p, Bytes* out);
void Encode(const MeshAccept& p, Bytes* out);
void Encode(const PlayerGone& p, Bytes* out);

// True when the datagram begins with the search lead.
bool IsSearchDatagram(const uint8_t* data, size_t size);
bool Decode(const uint8_t* data, size_t size, SearchRequest* out);
bool Decode(const uint8_t* data, size_t size, SearchAnswer* out);
bool Decode(const uint8_t* data, size_t size, Hello* out);
bool Decode(const uint8_t* data, size_t size, Welcome* out);
bool Decode(const uint8_t* data, size_t size, Announce* out);
bool Decode(const uint8_t* data, size_t size, MeshHello* out);
bool Decode(const uint8_t* data, size_t size, MeshAccept* out);
bool Decode(const uint8_t* data, size_t size, PlayerGone* out);

// The largest control packet: what a connection must carry besides the application's messages.
constexpr size_t kLargestControlPacket = 1 + 4 + 4 + 4 + 16 + 4 + (1 + kNetNameSize - 1) + (2 + kNetMaxSessionData) +
                                         (1 + kNetNameSize - 1) + (2 + kNetMaxPlayerData) + 4;
// The largest search datagram (the answer).
constexpr size_t kLargestSearchDatagram =
    4 + 1 + 4 + 16 + 4 + 16 + 4 + 4 + (1 + kNetNameSize - 1) + (2 + kNetMaxSessionData);

}  // namespace host::netwire

// The network's search datagrams: the input arrives at a hosting peer (a request it may answer) and at a
// searching peer (an answer it may list); a listed session goes into the game's table of games found, as
// the join screen's search takes it (its data read as a session record), and is shown as the join
// screen shows it.
#include <cstring>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "fuzz/NetForms.h"
#include "host/Net_local.h"
#include "net/Session.h"

namespace {

const uint8_t* const kApp = kvfuzz::kSearchApp;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    host::FakeNetwork* net = host::CreateFakeNetwork();
    host::UseFakeNetwork(net);
    host::NetPeer* hostPeer = host::CreateNetPeer(nullptr, nullptr, kLargestApplMessage);
    host::NetPeer* searcher = host::CreateNetPeer(nullptr, nullptr, kLargestApplMessage);
    host::NetHostDesc desc;
    memcpy(desc.application, kApp, 16);
    memcpy(desc.provider, host::kNetProviderGuid, 16);
    host::NetAdapterOf(0, desc.adapter);
    host::NetHost(hostPeer, desc);

    host::NetSearchDesc search;
    memcpy(search.application, kApp, 16);
    std::vector<host::NetSessionFound> found;
    host::NetAddress target;
    host::StartNetSearch(searcher, search, &found, &target);
    searcher->searchNonce = kvfuzz::kSearchNonce;

    host::TransportEvent ev{};
    ev.kind = host::TransportEventKind::Datagram;
    ev.from = {0x0A0000FF, 4000};
    ev.data = data;
    ev.size = size;
    host::FeedNetPeer(hostPeer, ev);
    host::FeedNetPeer(searcher, ev);
    host::FeedNetPeer(searcher, ev);  // the same answer twice is listed once
    if (found.size() > 1) std::abort();
    host::EndNetSearch(searcher);
    FreeNetGames();
    for (const host::NetSessionFound& f : found) EnumHostsResponse(f);
    for (int i = 0; i < NetGameCount; ++i) {
        const SessionRecord& record = NetGames[i];
        // Times are kept finite and within the settings' bounds, as the round rules convert them.
        for (float t : {record.leveltime, record.roundtime, record.buytime, record.freezetime, record.winmsgtime})
            if (!(t >= -1e6f && t <= 1e6f)) std::abort();
        char text[400];
        snprintf(text, sizeof text, "%s %s %s %s %d %3.1f %3.1f", NetGameHosts[i].sessionName, record.gameName,
                 record.password, record.missionName, record.maxplayers, static_cast<double>(record.roundtime),
                 static_cast<double>(record.buytime));
    }
    FreeNetGames();
    host::NetPoll(hostPeer);
    host::DestroyNetPeer(searcher);
    host::DestroyNetPeer(hostPeer);
    host::UseFakeNetwork(nullptr);
    host::DestroyFakeNetwork(net);
    return 0;
}

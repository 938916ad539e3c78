// The multiplayer settings file "Multiplayer": read, written, read and written again; the second writing
// must give the bytes of the first (what the game writes reads back as written), and the settings read
// fill the session record a host publishes, which reads back from its 244 bytes.
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "net/Session.h"

namespace {

std::string ReadBack() {
    std::vector<uint8_t> bytes;
    host::ReadWholeFile("Multiplayer", bytes);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    kvfuzz::WriteDiskFile("Multiplayer", data, size);
    kvfuzz::Run([] {
        ReadMultiplayerFile("multiplayer");
        if (WriteMultiplayerFile() != 1) std::abort();
        ReadMultiplayerFile("multiplayer");
        if (WriteMultiplayerFile() != 1) std::abort();
        const std::string first = ReadBack();
        ReadMultiplayerFile("multiplayer");
        if (WriteMultiplayerFile() != 1) std::abort();
        if (ReadBack() != first) std::abort();  // the file did not read back as written

        SessionRecord record, back;
        FillSessionRecord(&record);
        uint8_t bytes[kSessionRecordSize];
        EncodeSessionRecord(record, bytes);
        if (!DecodeSessionRecord(bytes, sizeof bytes, &back)) std::abort();
        if (memcmp(&record.maxplayers, &back.maxplayers, sizeof record - offsetof(SessionRecord, maxplayers)) != 0)
            std::abort();
    });
    return 0;
}

// A message file of a mission typed into the message log: announced, typed on over the frames with the
// budget of the clock, finished at once by the next message, and drawn; then shown on the archive map.
#include <cstdio>
#include <cstring>

#include "core/Config.h"
#include "fuzz/FuzzSupport.h"
#include "host/Clock.h"
#include "hud/MapPanels.h"
#include "hud/MessageLog.h"
#include "hud/TFView.h"
#include "platform/Font.h"
#include "platform/ScreenVertex.h"
#include "game/Startup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = [] {
        host::UseVirtualClock(7.0);
        // Glyphs of every width the font may give, a few of them negative.
        for (int i = 0; i < 256; ++i) FontWidths[i] = (i * 37) % 41 - 4;
        return true;
    }();
    (void)once;
    kvfuzz::Mount("app/text/Fuzz/radio.txt", data, size);
    snprintf(TEXTROOT, sizeof TEXTROOT, "app\\text");
    snprintf(MissionName, sizeof MissionName, "Fuzz");
    ScreenWidth = 320 + int(size % 400);
    ScreenHeight = 240;
    msg_mode = 1;
    ClearMessages();
    ShowMessage("radio.txt", "");
    for (int frame = 0; frame < 30; ++frame) {
        host::AdvanceVirtualClock();
        DrawMessageLog();
        UpdateMessageLog(3);
    }
    ShowMessage("radio.txt", "");
    ShowMessage("a plain line after it", "fuzz");
    DrawMessageLog();
    TFView view{};
    view.archiveIndex = -1;
    DrawMapPanel(&view);
    ClearMessages();
    qzpk_close();
    return 0;
}

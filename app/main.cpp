// Program entry: the few command-line options, then the game's own start-up.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/Fs.h"
#include "host/Gfx.h"
#include "host/InputScript.h"
#include "host/Net.h"
#include "host/Window.h"
#include "game/Startup.h"
#include "game/WorldHash.h"
#include "hud/MessageLog.h"

namespace {

// A headless run prints each message the log shows, one line each, for the end-to-end tests to read.
void PrintMessage(const char* sender, const char* text) {
    printf("message: %s: %s\n", sender, text);
    fflush(stdout);
}

void Usage() {
    fprintf(stderr,
            "usage: karvonel [--data DIR] [--headless] [--frames N] [--input FILE]\n"
            "  --data DIR     run in the data tree DIR (default: the current directory)\n"
            "  --headless     no window, no sound device; the clock advances by a fixed step per frame;\n"
            "                 every message of the in-game log is printed as 'message: SENDER: TEXT'\n"
            "  --frames N     headless: stop after N frames\n"
            "  --input FILE   headless: scripted input (see README)\n"
            "  --memcheck     track every allocation; exit code 3 when any is left at exit\n"
            "  --world-hash   print a fingerprint of the world state when each level ends\n"
            "  --raster-threads N  worker threads of the software rasterizer (0: one per core)\n"
            "  --net-port N   the UDP port a networked game is hosted on and searched at (default %u)\n",
            static_cast<unsigned>(host::kNetDefaultPort));
}

}  // namespace

// Set by --input; read by the input devices when they open.
extern const char* HeadlessInputScript;
const char* HeadlessInputScript = nullptr;

int main(int argc, char** argv) {
    const char* data = nullptr;
    bool headless = false;
    int frames = 0;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* name) -> const char* {
            if (i + 1 >= argc) {
                fprintf(stderr, "karvonel: %s needs a value\n", name);
                Usage();
                exit(2);
            }
            return argv[++i];
        };
        if (a == "--data") {
            data = value("--data");
        } else if (a == "--headless") {
            headless = true;
        } else if (a == "--frames") {
            frames = atoi(value("--frames"));
        } else if (a == "--input") {
            HeadlessInputScript = value("--input");
        } else if (a == "--memcheck") {
            MemCheckFromStart = 1;
        } else if (a == "--world-hash") {
            ReportWorldHash = 1;
        } else if (a == "--raster-threads") {
            host::SetRasterThreads(atoi(value("--raster-threads")));
        } else if (a == "--net-port") {
            const int port = atoi(value("--net-port"));
            if (port < 1 || port > 65535) {
                fprintf(stderr, "karvonel: --net-port needs a port from 1 to 65535\n");
                return 2;
            }
            host::SetNetDefaultPort(static_cast<uint16_t>(port));
        } else if (a == "--help" || a == "-h") {
            Usage();
            return 0;
        } else {
            fprintf(stderr, "karvonel: unknown option '%s'\n", argv[i]);
            Usage();
            return 2;
        }
    }
    // The script is read before entering the data folder, so a relative path means what the user typed.
    if (HeadlessInputScript) {
        std::string error;
        if (!host::LoadInputScript(HeadlessInputScript, &error)) {
            fprintf(stderr, "karvonel: input script: %s\n", error.c_str());
            return 2;
        }
    }
    if (data && !host::SetWorkingDirectory(data)) {
        fprintf(stderr, "karvonel: cannot enter the data folder '%s'\n", data);
        return 2;
    }
    host::SetHeadless(headless);
    if (headless) MessageEcho = PrintMessage;
    host::SetFrameLimit(headless ? frames : 0);
    GameMain();
    return TrackedBlocksAtExit > 0 ? 3 : 0;
}

#include "host/Dialog.h"

#include <SDL.h>

#include <cstdio>
#include <string>

#include "host/Dialog_local.h"
#include "host/Window.h"

namespace host {
namespace {
bool g_headless = true;
bool g_answerYes = true;
bool g_quiet = false;
std::string g_lastCaption, g_lastText;

// Neither box could be shown: the copy on stderr is all the player gets, and it says so.
void NotShown() {
    fprintf(stderr, "karvonel: no message box could be shown (%s); the default answer is taken\n", SDL_GetError());
    fflush(stderr);
}
}  // namespace

void SetDialogsHeadless(bool headless, bool answerYes) {
    g_headless = headless;
    g_answerYes = answerYes;
}

void SetDialogsQuiet(bool quiet) { g_quiet = quiet; }
const char* LastDialogCaption() { return g_lastCaption.c_str(); }
const char* LastDialogText() { return g_lastText.c_str(); }

int ShowMessageBox(const char* text, const char* caption, DialogKind kind) {
    g_lastCaption = caption ? caption : "";
    g_lastText = text ? text : "";
    if (!g_quiet) {
        fprintf(stderr, "[%s] %s\n", g_lastCaption.c_str(), g_lastText.c_str());
        fflush(stderr);
    }
    if (g_headless) {
        if (kind == DialogKind::YesNo) return g_answerYes ? kDialogYes : kDialogNo;
        return kDialogOk;
    }
    // A box may come before the window exists (the first-run question does): SDL shows it unowned then.
    // When the system's box cannot be shown (an X server without its fonts refuses it), the host draws
    // one of its own, so that the question still reaches the player.
    SDL_Window* window = static_cast<SDL_Window*>(NativeWindow());
    if (kind != DialogKind::YesNo) {
        Uint32 flags = kind == DialogKind::Error ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
        if (SDL_ShowSimpleMessageBox(flags, g_lastCaption.c_str(), g_lastText.c_str(), window) != 0 &&
            ShowDrawnMessageBox(g_lastText.c_str(), g_lastCaption.c_str(), kind) < 0)
            NotShown();
        return kDialogOk;
    }
    SDL_MessageBoxButtonData buttons[2] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, kDialogYes, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, kDialogNo, "No"},
    };
    SDL_MessageBoxData data{};
    data.flags = SDL_MESSAGEBOX_INFORMATION;
    data.window = window;
    data.title = g_lastCaption.c_str();
    data.message = g_lastText.c_str();
    data.numbuttons = 2;
    data.buttons = buttons;
    int answer = g_answerYes ? kDialogYes : kDialogNo;
    if (SDL_ShowMessageBox(&data, &answer) != 0) {
        answer = ShowDrawnMessageBox(g_lastText.c_str(), g_lastCaption.c_str(), kind);
        if (answer < 0) {
            NotShown();
            answer = g_answerYes ? kDialogYes : kDialogNo;
        }
    }
    return answer == kDialogYes ? kDialogYes : kDialogNo;
}

}  // namespace host

// Scripted input for headless runs: a text file of timed key, mouse and joystick events that feeds the
// same device state the window events feed.
//
// One event per line; '#' starts a comment; blank lines are ignored. Every event starts with the frame
// number at which it happens:
//   FRAME down KEY        press KEY (a key name such as SPACE_KEY, or a key code 0..276)
//   FRAME up KEY          release KEY
//   FRAME move DX DY [DZ] move the mouse (DZ: wheel, 120 per notch)
//   FRAME axis AXIS RAW   put a joystick axis (x y z rx ry rz slider0 slider1) at RAW, -32768..32767
//   FRAME hat ANGLE       point the joystick hat (hundredths of a degree, or -1 for centred)
//   FRAME wait FILE       hold the later events until the file FILE exists (a path from the working
//                         folder); frames go on meanwhile, each taking at least kScriptWaitMs. The later
//                         events keep their distance in frames from the wait: they are counted from the
//                         frame at which it ended. Tests use it to keep processes in step.
// Key codes 256..259 are the mouse buttons, 260..263 the hat directions, 264..273 the joystick buttons,
// 274..276 press the left Alt, Ctrl and Shift keys.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

enum class ScriptOp { KeyDown, KeyUp, MouseMove, JoyAxis, JoyHat, Wait };

constexpr int kScriptWaitMs = 10;

struct ScriptEvent {
    int frame;
    int line;  // line in the file, for messages
    ScriptOp op;
    std::string key;   // key name as written (KeyDown/KeyUp), resolved into code; Wait: the file
    int code;          // key code, or the axis number
    int32_t value[3];  // mouse dx, dy, dz; axis raw value; hat angle
};

// Parses a script; on error returns false with "line N: ..." in error. Key names stay unresolved
// (code -1) unless written as numbers. Events come out sorted by frame, in file order within a frame.
bool ParseInputScript(const char* text, std::vector<ScriptEvent>* out, std::string* error);

// Gives every named key its code through lookup (0 for an unknown name); false with a message when a
// name is unknown or there is no lookup.
using KeyNameLookup = int (*)(const char* name);
bool ResolveInputScript(std::vector<ScriptEvent>* events, KeyNameLookup lookup, std::string* error);

// The loaded script of this run. Load reads and parses the file.
bool LoadInputScript(const char* path, std::string* error);
bool InputScriptLoaded();
bool InputScriptUsesJoystick();
// Resolves the loaded script's key names (once; later calls return the first result).
bool ResolveLoadedInputScript(KeyNameLookup lookup, std::string* error);
void ClearInputScript();

// Applies every event that is due. The script's clock is the number of frames pumped; a keyboard read
// that follows another keyboard read without a frame in between moves it on by one, so a loop that
// polls the keyboard without pumping messages still sees the script's later events.
void AdvanceInputScript(bool keyboardRead);
int InputScriptClock();

// False in a headless run once no input can arrive any more: there is no script, or every event of
// the script has been applied. A loop that waits for a key press or release ends on it instead of
// waiting forever. Always true with a window.
bool MoreInputCanArrive();

// Applies one event to the device state.
void ApplyScriptEvent(const ScriptEvent& event);

}  // namespace host

#include "host/InputScript.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <system_error>
#include <thread>

#include "host/Input.h"
#include "host/Window.h"

namespace host {
namespace {

constexpr const char* kAxisNames[kJoyAxisCount] = {"x", "y", "z", "rx", "ry", "rz", "slider0", "slider1"};
constexpr int kMaxKeyCode = 276;

struct LoadedScript {
    bool loaded = false;
    bool usesJoystick = false;
    bool resolved = false;
    bool resolveResult = false;
    std::string resolveError;
    std::vector<ScriptEvent> events;
    size_t next = 0;
    int clock = 0;
    int shift = 0;  // frames the waits have held the script: an event is due at its frame plus this
    int lastReadFrame = -1;
};
LoadedScript s;

// A whole decimal number within [lo, hi].
bool ParseInt(const std::string& word, long lo, long hi, long* out) {
    if (word.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long v = strtol(word.c_str(), &end, 10);
    if (errno != 0 || *end != 0 || v < lo || v > hi) return false;
    *out = v;
    return true;
}

bool IsJoystickKey(int code) {
    return code >= 260 && code <= 273;
}

// Whether an event needs a joystick. Key names are resolved only later (after the joystick was opened),
// so the joystick keys' names, which all begin with "JOY", count as well.
bool NeedsJoystick(const ScriptEvent& e) {
    if (e.op == ScriptOp::JoyAxis || e.op == ScriptOp::JoyHat) return true;
    if (e.op != ScriptOp::KeyDown && e.op != ScriptOp::KeyUp) return false;
    return e.code > 0 ? IsJoystickKey(e.code) : e.key.compare(0, 3, "JOY") == 0;
}

bool ParseLine(const std::string& text, int lineNo, std::vector<ScriptEvent>* out, std::string* error) {
    std::istringstream in(text);
    std::vector<std::string> w;
    for (std::string word; in >> word;) w.push_back(word);
    if (w.empty()) return true;
    auto fail = [&](const std::string& why) {
        *error = "line " + std::to_string(lineNo) + ": " + why;
        return false;
    };
    ScriptEvent e{};
    e.line = lineNo;
    e.code = -1;
    long frame = 0;
    if (!ParseInt(w[0], 0, INT_MAX, &frame)) return fail("frame number expected, found '" + w[0] + "'");
    e.frame = static_cast<int>(frame);
    if (w.size() < 2) return fail("event expected after the frame number");
    const std::string& op = w[1];
    if (op == "down" || op == "up") {
        if (w.size() != 3) return fail("'" + op + "' takes one key");
        e.op = op == "down" ? ScriptOp::KeyDown : ScriptOp::KeyUp;
        e.key = w[2];
        long code = 0;
        if (isdigit(static_cast<unsigned char>(w[2][0]))) {
            if (!ParseInt(w[2], 1, kMaxKeyCode, &code)) return fail("key code out of range: " + w[2]);
            e.code = static_cast<int>(code);
        }
    } else if (op == "move") {
        if (w.size() != 4 && w.size() != 5) return fail("'move' takes DX DY and an optional DZ");
        e.op = ScriptOp::MouseMove;
        for (size_t i = 2; i < w.size(); ++i) {
            long v = 0;
            if (!ParseInt(w[i], -1000000, 1000000, &v)) return fail("mouse movement out of range: " + w[i]);
            e.value[i - 2] = static_cast<int32_t>(v);
        }
    } else if (op == "axis") {
        if (w.size() != 4) return fail("'axis' takes an axis name and a value");
        e.op = ScriptOp::JoyAxis;
        const char* const* found = std::find(std::begin(kAxisNames), std::end(kAxisNames), w[2]);
        if (found == std::end(kAxisNames)) return fail("unknown joystick axis: " + w[2]);
        e.code = static_cast<int>(found - std::begin(kAxisNames));
        long v = 0;
        if (!ParseInt(w[3], -32768, 32767, &v)) return fail("axis value out of range: " + w[3]);
        e.value[0] = static_cast<int32_t>(v);
    } else if (op == "hat") {
        if (w.size() != 3) return fail("'hat' takes an angle");
        e.op = ScriptOp::JoyHat;
        long v = 0;
        if (!ParseInt(w[2], -1, 35999, &v)) return fail("hat angle out of range: " + w[2]);
        e.value[0] = static_cast<int32_t>(v);
    } else if (op == "wait") {
        if (w.size() != 3) return fail("'wait' takes a file name");
        e.op = ScriptOp::Wait;
        e.key = w[2];
    } else {
        return fail("unknown event '" + op + "'");
    }
    out->push_back(e);
    return true;
}

}  // namespace

bool ParseInputScript(const char* text, std::vector<ScriptEvent>* out, std::string* error) {
    out->clear();
    std::string all = text ? text : "";
    size_t pos = 0;
    int lineNo = 0;
    while (pos <= all.size()) {
        size_t end = all.find('\n', pos);
        if (end == std::string::npos) end = all.size();
        std::string line = all.substr(pos, end - pos);
        ++lineNo;
        size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::replace(line.begin(), line.end(), '\r', ' ');
        if (!ParseLine(line, lineNo, out, error)) {
            out->clear();
            return false;
        }
        pos = end + 1;
    }
    std::stable_sort(out->begin(), out->end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.frame < b.frame; });
    return true;
}

bool ResolveInputScript(std::vector<ScriptEvent>* events, KeyNameLookup lookup, std::string* error) {
    for (ScriptEvent& e : *events) {
        if ((e.op != ScriptOp::KeyDown && e.op != ScriptOp::KeyUp) || e.code > 0) continue;
        if (!lookup) {
            *error = "line " + std::to_string(e.line) + ": key name '" + e.key +
                     "' used before the key names exist";
            return false;
        }
        int code = lookup(e.key.c_str());
        if (code <= 0 || code > kMaxKeyCode) {
            *error = "line " + std::to_string(e.line) + ": unknown key name '" + e.key + "'";
            return false;
        }
        e.code = code;
    }
    return true;
}

bool LoadInputScript(const char* path, std::string* error) {
    ClearInputScript();
    FILE* f = fopen(path, "rb");
    if (!f) {
        *error = std::string("cannot open '") + path + "'";
        return false;
    }
    std::string text;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    fclose(f);
    std::vector<ScriptEvent> events;
    if (!ParseInputScript(text.c_str(), &events, error)) return false;
    s.events = std::move(events);
    s.loaded = true;
    for (const ScriptEvent& e : s.events)
        if (NeedsJoystick(e)) s.usesJoystick = true;
    return true;
}

bool InputScriptLoaded() {
    return s.loaded;
}
bool InputScriptUsesJoystick() {
    return s.loaded && s.usesJoystick;
}

bool ResolveLoadedInputScript(KeyNameLookup lookup, std::string* error) {
    if (!s.resolved) {
        s.resolved = true;
        s.resolveResult = ResolveInputScript(&s.events, lookup, &s.resolveError);
    }
    if (!s.resolveResult && error) *error = s.resolveError;
    return s.resolveResult;
}

void ClearInputScript() {
    s = LoadedScript();
}

void AdvanceInputScript(bool keyboardRead) {
    if (!s.loaded) return;
    int frame = FramesPumped();
    if (keyboardRead) {
        if (frame == s.lastReadFrame) s.clock++;
        s.lastReadFrame = frame;
    }
    s.clock = std::max(s.clock, frame);
    while (s.next < s.events.size() && s.events[s.next].frame + s.shift <= s.clock) {
        const ScriptEvent& e = s.events[s.next];
        if (e.op == ScriptOp::Wait) {
            std::error_code error;
            if (!std::filesystem::exists(e.key, error)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(kScriptWaitMs));
                return;
            }
            s.shift = s.clock - e.frame;
            ++s.next;
            continue;
        }
        ++s.next;
        // A key name that was never resolved (the script was not resolved) presses nothing.
        if ((e.op == ScriptOp::KeyDown || e.op == ScriptOp::KeyUp) && e.code <= 0) continue;
        ApplyScriptEvent(e);
    }
}

int InputScriptClock() {
    return s.clock;
}

bool MoreInputCanArrive() {
    if (!IsHeadless()) return true;
    return s.loaded && s.next < s.events.size();
}

void ApplyScriptEvent(const ScriptEvent& e) {
    switch (e.op) {
        case ScriptOp::KeyDown:
        case ScriptOp::KeyUp: {
            bool down = e.op == ScriptOp::KeyDown;
            int c = e.code;
            if (c >= 274 && c <= 276) c = c == 274 ? 56 : c == 275 ? 29 : 42;  // either side: the left key
            if (c >= 1 && c <= 255)
                InjectKey(c, down);
            else if (c >= 256 && c <= 259)
                InjectMouseButton(c - 256, down);
            else if (c >= 260 && c <= 263) {
                static constexpr uint32_t kHatAngles[4] = {0, 18000, 27000, 9000};  // up, down, left, right
                InjectJoystickHat(down ? kHatAngles[c - 260] : 0xFFFFFFFFu);
            } else if (c >= 264 && c <= 273)
                InjectJoystickButton(c - 264, down);
            break;
        }
        case ScriptOp::MouseMove:
            InjectMouseMotion(e.value[0], e.value[1], e.value[2]);
            break;
        case ScriptOp::JoyAxis:
            InjectJoystickAxis(e.code, e.value[0]);
            break;
        case ScriptOp::JoyHat:
            InjectJoystickHat(static_cast<uint32_t>(e.value[0]));
            break;
        case ScriptOp::Wait: break;  // the script's clock holds it (AdvanceInputScript)
    }
}

}  // namespace host

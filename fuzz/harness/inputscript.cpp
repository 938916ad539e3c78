// The headless input script: read from the disk as the command line names it, its key names resolved
// through the key-name table, every event applied to the devices, and each frame's mouse movement handed
// to the game's pointer as the frame loop hands it (y negated, the pointer held in a screen of 800 x 600).
#include "core/Keys.h"
#include "fuzz/FuzzSupport.h"
#include "host/Input.h"
#include "host/InputScript.h"
#include "hud/MousePtr.h"
#include "platform/InputDevices.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = [] {
        InitKeyNames();
        host::SetInputFocus(true);
        host::UseVirtualJoystick(true);
        dxgl_InitDI();
        dxgl_InitKeyboard();
        dxgl_InitMouse();
        dxgl_InitJoy();
        dxgl_JoyOpen();
        // The pointer record alone: its shapes are not drawn here.
        static MousePtr pointer{};
        MousePointer = &pointer;
        return true;
    }();
    *MousePointer = MousePtr{};
    MousePointer->clipXMax = 799;
    MousePointer->clipYMax = 599;
    MousePointer->tracking = 1;
    (void)once;
    kvfuzz::WriteDiskFile("input.txt", data, size);
    std::string error;
    kvfuzz::Run([&] {
        if (!host::LoadInputScript("input.txt", &error)) return;
        if (!host::ResolveLoadedInputScript(KeyIndexByName, &error)) return;
        // Every event in order, each followed by the reads of a frame.
        for (int frame = 0; frame < 64 && host::MoreInputCanArrive(); ++frame) {
            host::AdvanceInputScript(true);
            dxgl_UpdateKeyboardState();
            dxgl_UpdateJoyState();
            dxgl_UpdateMouseState();
            MoveMousePtr(MouseState.lX, -MouseState.lY, MouseState.lZ);
        }
    });
    host::ClearInputScript();
    return 0;
}

// The menu frame: one frame of the front end (restore, draw, hit tests, the mouse latch) and the hit tests
// of the widgets under the mouse pointer. The screens' actions are in MenuActions.cpp.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/Files.h"
#include "core/Keys.h"
#include "frontend/Frontend.h"
#include "frontend/Frontend_local.h"
#include "hud/MousePtr.h"
#include "platform/Bitmap.h"
#include "platform/Dxgl.h"
#include "platform/Font.h"
#include "platform/Sound.h"
#include "render/RenderTables.h"
#include "render/Snapshot.h"
#include "world/Level.h"

int32_t MenuScreen = 0;
int32_t MenuClan = 0;
char MenuMission[64] = "";
int32_t DraggedSlider = -1;
int32_t OpenMsgBox = -1;
int32_t MouseReleased = 1;
int32_t DoubleClick = 0;
double FirstClickTime = 0.0;
int32_t FirstClickPos[2] = {0, 0};
dxgl_SoundStreamBuffer* ClickSound = nullptr;

namespace {

constexpr int kKeyLeftButton = 256;
constexpr int kKeyReturn = 28;
constexpr int kKeyPrintScreen = 183;

// This frame's pointer and whether the left button went down now.
int32_t PointerX = 0, PointerY = 0;
bool NewPress = false;

bool Inside(int32_t x, int32_t y, int32_t left, int32_t right, int32_t bottom, int32_t top) {
    return x >= left && x <= right && y >= bottom && y <= top;
}

}  // namespace

void PlayClickSound() {
    ClickSound = dxgl_PlaySample("mclick.wav", 2, 0, 1, 0);
    if (dxgl_IsSoundValid(ClickSound)) dxgl_UpdateSound3D(ClickSound);
}

void SetMenuPointer(int32_t x, int32_t y, bool press) {
    PointerX = x;
    PointerY = y;
    NewPress = press;
}

int HitButtons() {
    int hit = -1;
    for (int i = 0; i < Buttons.count; ++i) {
        UIButton& b = Buttons[i];
        b.hover = b.enabled && Inside(PointerX, PointerY, b.left, b.right, b.bottom, b.top);
        if (b.hover && NewPress) hit = i;
    }
    if (hit >= 0) PlayClickSound();
    return hit;
}

int HitCheckboxes() {
    int hit = -1;
    for (int i = 0; i < Checkboxes.count; ++i) {
        Checkbox& c = Checkboxes[i];
        c.hover = c.enabled && Inside(PointerX, PointerY, c.x + ScaleX(1), c.x + ScaleX(19), c.y - ScaleY(19), c.y - ScaleY(1));
        if (c.hover && NewPress) {
            c.checked = c.checked ? 0 : 1;
            hit = i;
            PlayClickSound();
        }
    }
    return hit;
}

int HitListboxes() {
    if (!NewPress) return -1;
    const int32_t x = DoubleClick ? FirstClickPos[0] : PointerX;
    const int32_t y = DoubleClick ? FirstClickPos[1] : PointerY;
    const int32_t rowH = ScaleY(15), header = ScaleY(25);
    int hit = -1;
    for (int i = 0; i < Listboxes.count; ++i) {
        Listbox& l = Listboxes[i];
        if (!l.enabled) continue;
        l.press = 0;
        int32_t rowRight = l.right;
        if (l.count > l.rows) {
            const int32_t bx0 = l.right - ScaleX(20);
            const int32_t bottom = l.y - rowH * l.rows;
            if (Inside(x, y, bx0, l.right, l.y - ScaleY(44), l.y - ScaleY(24))) {
                if (l.first > 0) --l.first;
                PlayClickSound();
            } else if (Inside(x, y, bx0, l.right, bottom - ScaleY(26), bottom - ScaleY(4))) {
                if (l.count - l.first > l.rows) ++l.first;
                PlayClickSound();
            }
            rowRight = bx0;
        }
        if (x >= l.x && x < rowRight && y >= l.y - header - rowH * l.rows && y <= l.y - header) {
            const int row = (rowH > 0 ? (l.y - header - y) / rowH : 0) + l.first;
            if (row >= 0 && row < l.count) l.selected = row;
            hit = i;
            PlayClickSound();
        }
    }
    return hit;
}

int HitTextboxes() {
    int hit = -1;
    for (int i = 0; i < Textboxes.count; ++i) {
        Textbox& t = Textboxes[i];
        t.hover = t.enabled && Inside(PointerX, PointerY, t.x, t.x + ScaleX(200), t.y - ScaleY(42), t.y - ScaleY(22));
        if (t.hover && NewPress) {
            FocusedTextbox = i;
            hit = i;
        }
    }
    return hit;
}

namespace {

int32_t SliderValue(const Slider& s) {
    if (PointerX < s.x + ScaleX(24)) return s.minimum;
    if (PointerX > s.x + ScaleX(175)) return s.maximum;
    const float span = 150.0f * MenuScaleX;
    if (span <= 0.0f) return s.minimum;
    return static_cast<int32_t>((static_cast<float>(PointerX - s.x) - 25.0f * MenuScaleX) *
                                static_cast<float>(s.maximum - s.minimum) / span);
}

}  // namespace

int HitSliders() {
    int hit = -1;
    const bool buttonDown = KeyStateByte(kKeyLeftButton) != 0;
    if (DraggedSlider >= 0 && DraggedSlider < Sliders.count && buttonDown) {
        Sliders[DraggedSlider].value = SliderValue(Sliders[DraggedSlider]);
        hit = DraggedSlider;
    }
    for (int i = 0; i < Sliders.count; ++i) {
        Slider& s = Sliders[i];
        if (i == DraggedSlider) continue;
        s.hover = s.enabled && Inside(PointerX, PointerY, s.x, s.x + ScaleX(200), s.y - ScaleY(50), s.y - ScaleY(24));
        if (s.hover && (NewPress || (DraggedSlider >= 0 && buttonDown))) {
            s.value = SliderValue(s);
            DraggedSlider = i;
            hit = i;
        }
    }
    return hit;
}

int HitFrames() {
    int hit = -1;
    for (int i = 0; i < Frames.count; ++i) {
        UIFrame& f = Frames[i];
        f.hover = f.enabled && Inside(PointerX, PointerY, f.left, f.right, f.bottom, f.top);
        if (f.hover && NewPress) hit = i;
    }
    return hit;
}

int HitImages() {
    int hit = -1;
    for (int i = 0; i < Images.count; ++i) {
        UIImage& im = Images[i];
        im.hover = im.visible && Inside(PointerX, PointerY, im.left, im.right, im.bottom, im.top);
        if (im.hover && NewPress) hit = i;
    }
    if (hit >= 0) PlayClickSound();
    return hit;
}

int HitMsgBox() {
    if (OpenMsgBox < 0 || OpenMsgBox >= MsgBoxes.count) return -1;
    const UIMsgBox& box = MsgBoxes[OpenMsgBox];
    int32_t left, right;
    MsgBoxExtent(box, &left, &right);
    const int32_t bottom = ScaleY(250), top = ScaleY(280);
    int answer = -1;
    if (box.kind == 1) {
        if ((NewPress && Inside(PointerX, PointerY, ScaleX(330), ScaleX(469), bottom, top)) ||
            (!NewPress && KeyStateByte(kKeyReturn)))
            answer = 0;
    } else if (box.kind == 2 && NewPress) {
        if (Inside(PointerX, PointerY, left + ScaleX(30), left + ScaleX(130), bottom, top))
            answer = 0;
        else if (Inside(PointerX, PointerY, right - ScaleX(130), right - ScaleX(30), bottom, top))
            answer = 1;
    }
    if (answer >= 0) PlayClickSound();
    return answer;
}

bool TrackPress(int32_t x, int32_t y, bool buttonDown, double now) {
    const bool press = buttonDown && MouseReleased;
    if (press) {
        // The first press of a pair is remembered; the second completes a double click when it lands
        // within 3 pixels of the first, and either way the next press starts a new pair.
        if (FirstClickTime == 0.0) {
            FirstClickTime = now;
            FirstClickPos[0] = x;
            FirstClickPos[1] = y;
            DoubleClick = 0;
        } else {
            DoubleClick = std::abs(x - FirstClickPos[0]) < 3 && std::abs(y - FirstClickPos[1]) < 3 ? 1 : 0;
            FirstClickTime = 0.0;
        }
        if (FocusedTextbox != -1) CommitFocusedTextbox();
    }
    // A first press waits 30 hundredths of a second for its second.
    if (FirstClickTime != 0.0 && now - FirstClickTime > 30.0) FirstClickTime = 0.0;
    return press;
}

void LatchMouse(bool buttonDown) {
    MouseReleased = buttonDown ? 0 : 1;
    if (!buttonDown) DraggedSlider = -1;
}

int MenuFrame() {
    // The window messages are pumped by the loops that call the frame.
    if (!DisplayOK) {
        dxgl_RestoreAllSurfaces();
        if (ScreenBackgroundName[0]) {
            char name[sizeof ScreenBackgroundName];
            CopyWidgetText(name, sizeof name, ScreenBackgroundName);
            LoadScreenBackground(&ScreenBackground, name);
        }
        for (int i = 0; i < Images.count; ++i) ReloadImagePictures(&Images[i]);
        ReloadIconsAndMousePtr();
        CenterMousePtr();
        DisplayOK = 1;
    }
    const HRESULT hr = dxgl_TestCooperativeLevel();
    if (hr == static_cast<HRESULT>(0x887600E1u) || hr == static_cast<HRESULT>(0x88760245u)) return 0;

    dxgl_ClearRenderTarget(0xFF000000u, 1);
    DrawScreen();
    DrawMousePtr();
    dxgl_SwapBuffers();
    if (KeyStateByte(kKeyPrintScreen)) {
        // Without the folder the export could not open its file, a fatal error.
        MakeSnapshotFolder();
        dxgl_ExportSurface_bmp(BackBuffer, "Snapshots\\sd.bmp");
    }

    int32_t x, y;
    GetMousePtr(&x, &y, nullptr);
    const bool buttonDown = KeyStateByte(kKeyLeftButton) != 0;
    SetMenuPointer(x, y, TrackPress(x, y, buttonDown, TimerNow()));

    MenuHits hits;
    if (OpenMsgBox == -1) {
        if (DraggedSlider == -1) {
            hits.checkbox = HitCheckboxes();
            hits.button = HitButtons();
            hits.list = HitListboxes();
            hits.textbox = HitTextboxes();
            hits.frame = HitFrames();
            hits.image = HitImages();
        }
        hits.slider = HitSliders();
        if (FocusedTextbox != -1) EditTextField();
    } else {
        hits.msgbox = HitMsgBox();
    }
    LatchMouse(buttonDown);
    return RunScreenActions(hits);
}

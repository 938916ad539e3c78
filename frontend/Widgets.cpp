// Widget records: the ten arrays, their creators, list items, the text fields' editing and number check,
// and the freeing of a screen's widgets.
#include "frontend/Widgets.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/Config.h"
#include "core/Files.h"
#include "core/Keys.h"
#include "core/Memory.h"
#include "platform/Bitmap.h"
#include "platform/Sound.h"

WidgetArray<Label> Labels;
WidgetArray<UIButton> Buttons;
WidgetArray<Textbox> Textboxes;
WidgetArray<LTextbox> LTextboxes;
WidgetArray<Checkbox> Checkboxes;
WidgetArray<Listbox> Listboxes;
WidgetArray<Slider> Sliders;
WidgetArray<UIFrame> Frames;
WidgetArray<UIImage> Images;
WidgetArray<UIMsgBox> MsgBoxes;

float MenuScaleX = 1.0f;
float MenuScaleY = 1.0f;

uint8_t WidgetColour[4] = {204, 123, 42, 128};
uint8_t WidgetColour2[4] = {204, 123, 42, 128};
uint8_t TextColour[4] = {240, 104, 8, 128};

int32_t FocusedTextbox = -1;

namespace {

constexpr int kKeyBackspace = 14;
constexpr int kKeyReturn = 28;
constexpr int kKeyPadEnter = 156;
constexpr int kKeyLeft = 203;
constexpr int kKeyShift = 276;
constexpr int kKeyCodes = 277;

// Which key codes were down at the previous EditTextField.
uint8_t KeysBefore[kKeyCodes];

// Grows an array by one record (tracked under the kind's name); the new record is zeroed.
template <typename T>
T& Grow(WidgetArray<T>& a, const char* purpose) {
    const int size = static_cast<int>(sizeof(T)) * (a.count + 1);
    void* block = realloc(a.items, static_cast<size_t>(size));
    if (!block) {
        snprintf(FatalMessageBuffer, sizeof FatalMessageBuffer, "Error: No %d bytes for '%s'", size, purpose);
        FatalError(FatalMessageBuffer);
    }
    MemCheck_realloc(block, a.items, size, purpose);
    a.items = static_cast<T*>(block);
    T& w = a.items[a.count];
    memset(static_cast<void*>(&w), 0, sizeof(T));
    return w;
}

template <typename T>
void Release(WidgetArray<T>& a) {
    if (a.items) {
        MemCheck_free(a.items);
        free(a.items);
    }
    a.items = nullptr;
    a.count = 0;
}

void ReleasePictures(UIImage& image) {
    const int n = image.animated ? image.frames : 1;
    for (int i = 0; i < n && i < kImagePictures; ++i) {
        if (image.pictures[i]) dxgl_ReleaseSurface(image.pictures[i]);
        image.pictures[i] = nullptr;
    }
}

// Loads the image's pictures; an animated image's frames are named name_000, name_001, ...
void LoadPictures(UIImage& image) {
    if (!image.picture[0]) return;
    if (!image.animated) {
        image.pictures[0] = LoadMenuPicture(image.picture);
        return;
    }
    for (int i = 0; i < image.frames; ++i) {
        // The music keeps playing while the frames load.
        dxgl_UpdateStreams();
        char name[kWidgetTextSize + 16];
        snprintf(name, sizeof name, "%s_%03d", image.picture, i);
        image.pictures[i] = LoadMenuPicture(name);
    }
}

}  // namespace

int32_t ScaleX(float units) { return static_cast<int32_t>(units * MenuScaleX); }
int32_t ScaleY(float units) { return static_cast<int32_t>(units * MenuScaleY); }

void CopyWidgetText(char* to, int size, const char* from) {
    if (size <= 0) return;
    size_t n = from ? strnlen(from, static_cast<size_t>(size - 1)) : 0;
    if (n) memcpy(to, from, n);
    to[n] = 0;
}

int CreateLabel(float x, float y, float height, const uint8_t* colour, const char* text) {
    Label& w = Grow(Labels, "label");
    w.x = ScaleX(x);
    w.y = ScaleY(y);
    w.height = ScaleY(height);
    memcpy(w.colour, colour ? colour : TextColour, 4);
    CopyWidgetText(w.text, sizeof w.text, text);
    w.visible = 1;
    return ++Labels.count;
}

int CreateButton(float left, float top, float right, float bottom, const char* text) {
    UIButton& w = Grow(Buttons, "ui_button");
    w.left = ScaleX(left);
    w.top = ScaleY(top);
    w.right = ScaleX(right);
    w.bottom = ScaleY(bottom);
    CopyWidgetText(w.text, sizeof w.text, text);
    w.enabled = 1;
    return ++Buttons.count;
}

int CreateTextbox(float x, float y, const char* caption, int32_t kind) {
    Textbox& w = Grow(Textboxes, "textbox");
    w.x = ScaleX(x);
    w.y = ScaleY(y);
    CopyWidgetText(w.caption, sizeof w.caption, caption);
    w.kind = kind;
    w.enabled = 1;
    w.hover = 1;
    return ++Textboxes.count;
}

int CreateLTextbox(float left, float top, float right, float bottom) {
    LTextbox& w = Grow(LTextboxes, "ltextbox");
    w.left = ScaleX(left);
    w.top = ScaleY(top);
    w.right = ScaleX(right);
    w.bottom = ScaleY(bottom);
    w.visible = 1;
    return ++LTextboxes.count;
}

int CreateCheckbox(float x, float y, float right, const char* text, int32_t checked) {
    Checkbox& w = Grow(Checkboxes, "checkbox");
    w.x = ScaleX(x);
    w.y = ScaleY(y);
    w.right = ScaleX(right);
    CopyWidgetText(w.text, sizeof w.text, text);
    w.checked = checked;
    w.enabled = 1;
    w.hover = 1;
    return ++Checkboxes.count;
}

int CreateListbox(float x, float y, float right, int32_t rows, const char* title) {
    Listbox& w = Grow(Listboxes, "listbox");
    w.x = ScaleX(x);
    w.y = ScaleY(y);
    w.right = ScaleX(right);
    w.rows = rows;
    CopyWidgetText(w.title, sizeof w.title, title);
    w.enabled = 1;
    w.press = 1;
    return ++Listboxes.count;
}

void AddListItem(Listbox* list, const char* text) {
    if (!list) return;
    if (list->count >= kListItems) FatalError("Error(AddListItem): Too many list items");
    CopyWidgetText(list->items[list->count], kListItemSize, text);
    list->count++;
}

void RemoveListItem(Listbox* list) {
    if (!list || list->count <= 0) return;
    list->count--;
    list->items[list->count][0] = 0;
}

int CreateSlider(float x, float y, const char* text, int32_t value, int32_t minimum, int32_t maximum) {
    Slider& w = Grow(Sliders, "slider");
    w.x = ScaleX(x);
    w.y = ScaleY(y);
    CopyWidgetText(w.text, sizeof w.text, text);
    w.value = value;
    w.minimum = minimum;
    w.maximum = maximum;
    w.enabled = 1;
    w.hover = 1;
    return ++Sliders.count;
}

int CreateFrame(float left, float top, float right, float bottom, int32_t filled) {
    UIFrame& w = Grow(Frames, "ui_frame");
    w.left = ScaleX(left);
    w.top = ScaleY(top);
    w.right = ScaleX(right);
    w.bottom = ScaleY(bottom);
    memcpy(w.colour, WidgetColour, 4);
    w.filled = filled;
    w.enabled = 1;
    w.hover = 1;
    return ++Frames.count;
}

int CreateImage(float left, float top, float right, float bottom, const char* name, int animated, int32_t frames) {
    UIImage& w = Grow(Images, "ui_image");
    w.left = ScaleX(left);
    w.top = ScaleY(top);
    w.right = ScaleX(right);
    w.bottom = ScaleY(bottom);
    CopyWidgetText(w.picture, sizeof w.picture, name);
    w.animated = animated ? 1 : 0;
    // An image holds at most 20 pictures.
    w.frames = frames < 0 ? 0 : frames > kImagePictures ? kImagePictures : frames;
    const float now = static_cast<float>(TimerNow());
    for (float& t : w.timers) t = now - 200.0f;
    w.visible = 1;
    ++Images.count;
    // Loading may take a while (and service the music); the record is reached through its index.
    LoadPictures(Images[Images.count - 1]);
    return Images.count;
}

int CreateMsgBox(const char* text, int kind) {
    UIMsgBox& w = Grow(MsgBoxes, "ui_msgbox");
    CopyWidgetText(w.text, sizeof w.text, text);
    w.kind = static_cast<uint8_t>(kind);
    return ++MsgBoxes.count;
}

host::GfxSurface* LoadMenuPicture(const char* name) {
    char path[512];
    snprintf(path, sizeof path, "%s%c%s", BITMAPROOT, kPathSeparator, name ? name : "");
    host::GfxSurface* s = CreateSurfaceFromBitmap(path, ScaleX(256.0f), ScaleY(256.0f));
    SetBlackColourKey(s);
    return s;
}

void ReloadImagePictures(UIImage* image) {
    if (!image) return;
    ReleasePictures(*image);
    LoadPictures(*image);
}

void ResetWidgets() {
    Labels = {};
    Buttons = {};
    Textboxes = {};
    LTextboxes = {};
    Checkboxes = {};
    Listboxes = {};
    Sliders = {};
    Frames = {};
    Images = {};
    MsgBoxes = {};
}

void FreeWidgets() {
    Release(Labels);
    Release(Buttons);
    Release(Textboxes);
    Release(LTextboxes);
    Release(Checkboxes);
    Release(Listboxes);
    Release(Sliders);
    Release(Frames);
    for (int i = 0; i < Images.count; ++i) ReleasePictures(Images[i]);
    Release(Images);
    Release(MsgBoxes);
    FocusedTextbox = -1;
}

int ParseTextField(char* text, int32_t kind, int size) {
    if (!text) return 0;
    char out[kListItemSize];
    if (kind == kTextWholeNumber) {
        int value = 0;
        if (sscanf(text, "%d", &value) != 1) return 0;
        snprintf(out, sizeof out, "%d", value);
    } else if (kind == kTextDecimal) {
        float value = 0.0f;
        if (sscanf(text, "%f", &value) != 1 || !std::isfinite(value)) return 0;
        // A value whose normal form does not fit the field is refused rather than shown cut.
        if (snprintf(out, sizeof out, "%3.2f", static_cast<double>(value)) >= size) return 0;
    } else {
        return 1;
    }
    if (static_cast<int>(strlen(out)) >= size) return 0;
    CopyWidgetText(text, size, out);
    return 1;
}

void CommitFocusedTextbox() {
    if (FocusedTextbox < 0 || FocusedTextbox >= Textboxes.count) {
        FocusedTextbox = -1;
        return;
    }
    Textbox& box = Textboxes[FocusedTextbox];
    if (ParseTextField(box.edit, box.kind, sizeof box.edit)) {
        CopyWidgetText(box.saved, sizeof box.saved, box.edit);
        FocusedTextbox = -1;
    } else {
        CopyWidgetText(box.edit, sizeof box.edit, box.saved);
    }
}

void EditTextField() {
    if (FocusedTextbox < 0 || FocusedTextbox >= Textboxes.count) return;
    const int focused = FocusedTextbox;
    Textbox& box = Textboxes[focused];
    const auto wentDown = [](int code) { return KeyStateByte(code) && !KeysBefore[code]; };
    size_t n = strnlen(box.edit, sizeof box.edit - 1);
    if ((wentDown(kKeyBackspace) || wentDown(kKeyLeft)) && n > 0) box.edit[--n] = 0;
    if (KeyStateByte(kKeyReturn) || KeyStateByte(kKeyPadEnter)) CommitFocusedTextbox();
    // Keys that go down together all write at the same place: the last one wins. Typing goes on at the
    // end of the text as it stands after a Backspace, so no character is left hidden behind the end.
    n = strnlen(box.edit, sizeof box.edit - 1);
    const bool shift = KeyStateByte(kKeyShift) != 0;
    for (int code = 0; code < kKeyCodes && FocusedTextbox == focused; ++code) {
        if (!wentDown(code) || n >= sizeof box.edit - 1) continue;
        const uint8_t c = shift ? InvKeyChar(code) : KeyChar(code);
        if (!c) continue;
        box.edit[n] = static_cast<char>(c);
        box.edit[n + 1] = 0;
    }
    for (int code = 0; code < kKeyCodes; ++code) KeysBefore[code] = KeyStateByte(code) ? 1 : 0;
}

// The menus' widgets: ten kinds of plain record, each in a growable global array. A widget is known by its
// kind and its index, the order of its creation within the kind on the current screen. Creators take
// positions and sizes in a frame of 800 x 600 units (x from the left, y up from the bottom; rectangles
// as left, top, right, bottom) and store pixels: x times MenuScaleX, y times MenuScaleY, truncated.
#pragma once

#include <cstdint>

namespace host {
struct GfxSurface;
}

constexpr int kWidgetTextSize = 64;
constexpr int kListItems = 50;
constexpr int kListItemSize = 256;
constexpr int kImagePictures = 20;
constexpr int kMsgButtonTextSize = 20;
constexpr int kMsgBoxTextSize = 128;  // room for a refused load's reason

struct Label {
    int32_t x, y;
    int32_t height;  // text height in pixels
    uint8_t colour[4];
    char text[kWidgetTextSize];
    uint8_t visible;
};

struct UIButton {
    int32_t left, top, right, bottom;
    char text[kWidgetTextSize];
    uint8_t enabled, hover;
    uint8_t glow;  // 0 .. 250
};

// Textbox kinds.
constexpr int32_t kTextFree = 0;
constexpr int32_t kTextWholeNumber = 1;
constexpr int32_t kTextDecimal = 2;

struct Textbox {
    int32_t x, y;
    char caption[kWidgetTextSize];
    char edit[kWidgetTextSize];
    char saved[kWidgetTextSize];
    int32_t reserved;
    int32_t kind;
    uint8_t enabled, hover, flag3;
};

struct LTextbox {
    int32_t left, top, right, bottom;
    char file[kWidgetTextSize];
    uint8_t visible;
};

struct Checkbox {
    int32_t x, y;
    int32_t right;
    char text[kWidgetTextSize];
    int32_t checked;
    uint8_t enabled, hover, glow;
};

struct Listbox {
    int32_t x, y;
    int32_t right;
    int32_t rows;  // rows shown
    char title[kWidgetTextSize];
    char items[kListItems][kListItemSize];
    int32_t count;
    int32_t selected;
    int32_t first;  // first visible row
    uint8_t enabled, press, flag3;
};

struct Slider {
    int32_t x, y;
    char text[kWidgetTextSize];
    int32_t value, minimum, maximum;
    uint8_t enabled, hover, flag3;
};

struct UIFrame {
    int32_t left, top, right, bottom;
    uint8_t colour[4];
    int32_t filled;
    uint8_t enabled, hover, flag3;
};

struct UIImage {
    int32_t left, top, right, bottom;
    char picture[kWidgetTextSize];
    host::GfxSurface* pictures[kImagePictures];
    uint8_t animated;
    int32_t frames;
    int32_t frame;
    float timers[3];  // hundredths of a second; the third is the last frame change
    uint8_t visible, hover;
};

struct UIMsgBox {
    char text[kMsgBoxTextSize];
    uint8_t kind;  // 1 one OK button, 2 yes and no
    char button0[kMsgButtonTextSize];
    char button1[kMsgButtonTextSize];
};

template <typename T>
struct WidgetArray {
    T* items = nullptr;
    int32_t count = 0;
    T& operator[](int i) { return items[i]; }
    const T& operator[](int i) const { return items[i]; }
};

extern WidgetArray<Label> Labels;
extern WidgetArray<UIButton> Buttons;
extern WidgetArray<Textbox> Textboxes;
extern WidgetArray<LTextbox> LTextboxes;
extern WidgetArray<Checkbox> Checkboxes;
extern WidgetArray<Listbox> Listboxes;
extern WidgetArray<Slider> Sliders;
extern WidgetArray<UIFrame> Frames;
extern WidgetArray<UIImage> Images;
extern WidgetArray<UIMsgBox> MsgBoxes;

// The scales from the 800 x 600 frame to the display (set by every screen build).
extern float MenuScaleX;
extern float MenuScaleY;
int32_t ScaleX(float units);
int32_t ScaleY(float units);

// The current screen's colours (R, G, B, A).
extern uint8_t WidgetColour[4];
extern uint8_t WidgetColour2[4];
extern uint8_t TextColour[4];

// The textbox being edited (-1 none).
extern int32_t FocusedTextbox;

// Copies a text into a field of size bytes, cut to fit and always terminated.
void CopyWidgetText(char* to, int size, const char* from);

int CreateLabel(float x, float y, float height, const uint8_t* colour, const char* text);
int CreateButton(float left, float top, float right, float bottom, const char* text);
int CreateTextbox(float x, float y, const char* caption, int32_t kind);
int CreateLTextbox(float left, float top, float right, float bottom);
int CreateCheckbox(float x, float y, float right, const char* text, int32_t checked);
int CreateListbox(float x, float y, float right, int32_t rows, const char* title);
// Appends an item (cut to 255 characters); fatal "Error(AddListItem): Too many list items" past 50.
void AddListItem(Listbox* list, const char* text);
// Empties the last item, if any.
void RemoveListItem(Listbox* list);
int CreateSlider(float x, float y, const char* text, int32_t value, int32_t minimum, int32_t maximum);
int CreateFrame(float left, float top, float right, float bottom, int32_t filled);
// A still picture BITMAPROOT\name, or an animated one BITMAPROOT\name_000 .. name_(frames-1); each
// loaded at 256 units square. A picture that does not load stays empty.
int CreateImage(float left, float top, float right, float bottom, const char* name, int animated, int32_t frames);
// kind: 1 one OK button, 2 yes and no (0 none).
int CreateMsgBox(const char* text, int kind);

// Loads a menu picture BITMAPROOT\name at 256 units square; null when it cannot be had.
host::GfxSurface* LoadMenuPicture(const char* name);
// Releases an image's pictures and loads them again (after the display was lost).
void ReloadImagePictures(UIImage* image);

// Every array empty (start-up).
void ResetWidgets();
// Every array freed and emptied, the images' pictures released.
void FreeWidgets();

// Keyboard editing of the focused textbox, once per frame.
void EditTextField();
// 1 when the text is acceptable for the kind, rewritten in normal form ("%d" or "%3.2f"); 0 when not
// (the text is then left as it was). size: the text's buffer.
int ParseTextField(char* text, int32_t kind, int size = kWidgetTextSize);
// Commits the focused box's edit text: accepted, it becomes the saved text and the focus is released;
// refused, the saved text comes back and the box keeps the focus.
void CommitFocusedTextbox();

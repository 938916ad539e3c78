// The font width file "App\Font\Fontset", then the width of a text of every character at the sizes the
// game draws.
#include "fuzz/FuzzSupport.h"
#include "platform/Font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    kvfuzz::Mount("app/font/fontset", data, size);
    kvfuzz::Run([] {
        LoadFontWidths("App\\Font\\Fontset");
        char text[256];
        for (int i = 1; i < 256; ++i) text[i - 1] = char(i);
        text[255] = 0;
        for (int32_t fontSize : {13, 16, 64}) {
            FontSize = fontSize;
            TextWidth(text);
            TextWidth("W");
        }
        FontSize = 13;
    });
    qzpk_close();
    return 0;
}

// The credits roll over the credits screen: blocks of text lines from "credits.txt" fade in, stay and fade
// out one after another, alternating between an upper-left and a lower-right layout, while the pictures
// the file names cross-fade in the middle of the screen.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/Tokenizer.h"

struct Tex;

constexpr int kCreditsLines = 16;     // text lines of a block
constexpr int kCreditsLineSize = 64;  // a line's field: 63 characters and the terminator

// The roll's state (one for the process).
struct CreditsRoll {
    FILE* file;  // the open credits file, with its stream; null while stopped
    InputStream stream;
    bool open;
    float blockStart;  // hundredths of a second; 0: the next frame reads the next block
    int32_t lineCount;
    char lines[kCreditsLines][kCreditsLineSize];
    int32_t layout;         // 1 upper left, left-aligned; 0 lower right, right-aligned
    Tex* slides[2];         // the two slide slots (null when empty)
    int32_t newest;         // the slot of the newest slide
    float slideStart;       // hundredths of a second: when the newest slide began to fade in
    int32_t textLevel;      // the grey level of the text drawn last (0 .. 200)
    int32_t slideAlpha[2];  // the alpha each slot was drawn with last
};
extern CreditsRoll CreditsState;

// 1 opens "credits.txt" (a missing file ends the program) and starts the roll, then draws as 0 does;
// 0 reads the next block when the current one is over, then draws the text and the slides; -1 stops the
// roll: the file is closed and the slides are freed.
void RunCredits(int mode);

// What the message boxes' files share: the box the host draws itself when the system's own cannot be
// shown (an X server without fonts, for one), with a small font of its own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/Dialog.h"

namespace host {

// The drawn box's font: 5 x 7 pixels per character, one byte per row (bit 4 the leftmost pixel), for the
// printable ASCII codes; any other byte is drawn as '?'.
constexpr int kDialogGlyphWidth = 5;
constexpr int kDialogGlyphHeight = 7;
const uint8_t* DialogGlyph(unsigned char c);

// The text broken into lines of at most `columns` characters, at blanks where it can be (a word longer
// than a line is cut), at every line feed, with no line empty but those the text asks for.
std::vector<std::string> WrapDialogText(const std::string& text, size_t columns);

// Shows the box in a window of its own and waits for the answer (Return or Y yes, Escape or N no, a click
// on a button; closing the window answers no, or OK for a notice). -1 when it cannot be shown either.
int ShowDrawnMessageBox(const char* text, const char* caption, DialogKind kind);

}  // namespace host

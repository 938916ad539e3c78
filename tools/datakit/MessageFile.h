// Writer of a mission's message files ("<TEXTROOT>\<mission>\<name>.txt"): the sender's colour as three
// numbers, the sender's name to the end of that line, then the text that the message log types in, its
// line ends starting new lines of the log. Written in the game's encoding (Windows-1252, line feeds).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace datakit {

struct MessageFile {
    uint8_t red = 255, green = 255, blue = 255;
    std::string sender;  // UTF-8
    std::string text;    // UTF-8
};

// The file's text (UTF-8): "R G B\n<sender>\n<text>".
std::string MessageFileText(const MessageFile& message);
// Writes a message file given as UTF-8 text (data/ sources, MessageFileText) in the game's encoding; the
// folders are made as needed.
bool WriteMessageFile(const std::string& path, std::string_view utf8Text);
bool WriteMessageFile(const std::string& path, const MessageFile& message);

}  // namespace datakit

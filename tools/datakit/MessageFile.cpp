#include "tools/datakit/MessageFile.h"

#include <filesystem>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/RulesText.h"

namespace datakit {

std::string MessageFileText(const MessageFile& m) {
    return std::to_string(m.red) + " " + std::to_string(m.green) + " " + std::to_string(m.blue) + "\n" + m.sender +
           "\n" + m.text;
}

bool WriteMessageFile(const std::string& path, std::string_view utf8Text) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty() && !MakeDirs(folder.string())) return false;
    return WriteTextFile(path, ToWindows1252(utf8Text));
}

bool WriteMessageFile(const std::string& path, const MessageFile& message) {
    return WriteMessageFile(path, MessageFileText(message));
}

}  // namespace datakit

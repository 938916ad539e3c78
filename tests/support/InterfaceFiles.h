// The files a level's task-force view loads, made small for the test trees: the "specials" textures, the
// crosshair bitmaps, the view's icons and the comm menu's rules (to be read with the in-game texts).
#pragma once

#include <string>
#include <vector>

#include "tools/datakit/Bytes.h"
#include "tools/datakit/Texture.h"

namespace kvtest {

// The rules "Comm_entry1" .. "Comm_entry8" as rules text (without the closing "end").
inline std::string CommEntryRules() {
    static const char* const kEntries[8][2] = {{"Take control", "Control"}, {"Watch", "Watch"},
                                               {"Move to", "Move"},         {"Sneak to", "Sneak"},
                                               {"Follow me", "Follow"},     {"Attack my target", "Attack"},
                                               {"Hold position", "Hold"},   {"Take cover", "Hide"}};
    std::string text;
    for (int n = 0; n < 8; ++n)
        text += "Comm_entry" + std::to_string(n + 1) + " \"" + kEntries[n][0] + "\" \"" + kEntries[n][1] +
                "\";\n";
    return text;
}

// Writes the textures, bitmaps and icons into the tree at root (its texture root "Textures", bitmap root
// "Bitmaps" and icon root "Icons").
inline bool WriteInterfaceFiles(const std::string& root) {
    std::vector<uint8_t> idx(16 * 16);
    for (size_t i = 0; i < idx.size(); ++i) idx[i] = static_cast<uint8_t>(i * 7);
    const std::vector<uint8_t> texture = datakit::EngineTexture(4, 4, idx);
    if (!datakit::MakeDirs(root + "/Textures/specials") || !datakit::MakeDirs(root + "/Bitmaps") ||
        !datakit::MakeDirs(root + "/Icons"))
        return false;
    std::vector<std::string> specials = {
        "panel",    "campointer", "twister",       "horizon",     "compass",   "radio",     "reload",
        "datascan", "objectscan", "objectcapture", "unitcapture", "enterdata", "scape_test"};
    for (int n = 0; n <= 10; ++n) specials.push_back((n < 10 ? "fragger0" : "fragger") + std::to_string(n));
    for (const std::string& name : specials)
        if (!datakit::WriteFile(root + "/Textures/specials/" + name, texture)) return false;
    const std::vector<uint8_t> bitmap = datakit::Bmp24(8, 8, std::vector<uint32_t>(64, 0x80c080u));
    for (const char* name : {"ov_xh", "ov_xh_comb"})
        if (!datakit::WriteFile(root + "/Bitmaps/" + name, bitmap)) return false;
    std::vector<int> icons;
    for (int n = 0; n <= 25; ++n) icons.push_back(n);
    for (int n : {30, 31, 32, 33, 34, 35, 40, 41, 42, 43, 44, 45, 50, 51}) icons.push_back(n);
    for (int n : icons) {
        const std::string name = (n < 10 ? "0" : "") + std::to_string(n);
        if (!datakit::WriteFile(root + "/Icons/" + name, bitmap)) return false;
    }
    return true;
}

}  // namespace kvtest

// The demo data tree's build steps, one per part of the game data.
#pragma once

#include <cstdint>
#include <string>

namespace mkdemo {

struct Context {
    std::string out;     // the tree's root folder
    std::string source;  // data/: the text sources
    bool pack = false;   // also pack the tree into "Vexa.qzp"
    std::string Path(const std::string& rel) const { return out + "/" + rel; }
};

// The font, the textures, the texture animations and the palettes.
bool BuildTextures(const Context& ctx);

// app/fptables: the fixed-point tables.
bool BuildFPTables(const Context& ctx);

// The configuration, "app/paths", "app/rules", the balance files and the start-up texts.
bool BuildCoreFiles(const Context& ctx);
// Packs the tree (all but the configuration) into "Vexa.qzp".
bool PackDemo(const Context& ctx);
// The date given to every packed file, so the same build gives the same package (2026-01-01 00:00 UTC).
constexpr uint64_t kDemoFileTime = 134116992000000000ULL;
// Objects/: the object geometry files.
bool BuildObjects(const Context& ctx);
// The sound effects, the music pieces and the movies.
bool BuildSound(const Context& ctx);

// Bitmaps/ and Icons/: the menu backgrounds, the title pictures and the mouse pointer shapes.
bool BuildMenuPictures(const Context& ctx);

// Writes the whole tree; false when a file cannot be written.
bool BuildDemo(const Context& ctx);

}  // namespace mkdemo

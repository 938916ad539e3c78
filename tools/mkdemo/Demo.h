// The demo data tree's build steps, one per part of the game data.
#pragma once

#include <string>

namespace mkdemo {

struct Context {
    std::string out;     // the tree's root folder
    std::string source;  // data/: the text sources
    std::string Path(const std::string& rel) const { return out + "/" + rel; }
};

// The font, the textures, the texture animations and the palettes.
bool BuildTextures(const Context& ctx);

// app/fptables: the fixed-point tables.
bool BuildFPTables(const Context& ctx);

// Writes the whole tree; false when a file cannot be written.
bool BuildDemo(const Context& ctx);

}  // namespace mkdemo

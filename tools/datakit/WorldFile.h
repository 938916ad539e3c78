// World files ("QZWD", versions 101 and 102) and the tile-definition chunk file, chunk by chunk in the
// order the caller adds them. Sizes are computed unless a chunk's size is overridden, so tests can also
// write files that do not hold together.
//
// Tile records name their definition by number (a definition is 256 sub-points); the writer turns it into
// the byte offset of the version (8-byte entries in 102, 4-byte entries in 101) unless a raw offset is
// given.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/datakit/Bytes.h"

namespace datakit {

struct WorldSubPoint {
    int16_t height = 0;       // units of 8 world units
    uint16_t flags = 0x8000;  // 0x8000 solid, 0x4000 second surface (bits 0..11 its height), 0x2000, 0x1000
    uint8_t access = 0;       // version 102 only
};

struct WorldTileClone {
    int16_t height = 0;
    uint16_t flags = 0x8000;  // 0x2000 makes it the tile read outside the grid
    uint8_t access = 0;       // version 102 only
    std::array<uint8_t, 3> noise{};
};

struct WorldTile {
    uint32_t def = 0;                  // definition number
    std::optional<uint32_t> rawOffset; // written as it is instead of the definition's offset
    std::array<uint16_t, 4> tex{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};  // per quarter, 0xFFFF none
};

// A tile layer: tiles[x * width + z], x running over height and z over width.
struct WorldTileLayer {
    int32_t width = 0;   // tiles along z
    int32_t height = 0;  // tiles along x
    std::vector<WorldTile> tiles;
};

struct WorldTexture {
    std::string name;           // at most 23 characters; '{' black-transparent (102)
    std::vector<uint8_t> data;  // an engine texture or a BMP
};

// The sky chunk: nine key angles, nine key colours, the laterals (a value and nine colours each), the
// star count, the flare and moon geometry names ('.' separates folders) and the tilt of the sun's circle.
struct WorldSkyLateral {
    int32_t value = -1;
    std::array<std::array<uint8_t, 4>, 9> colours{};
};
struct WorldSky {
    std::array<int32_t, 9> keyAngles{};
    std::array<std::array<uint8_t, 4>, 9> keyColours{};
    std::vector<WorldSkyLateral> laterals;
    int32_t starCount = 0;
    std::string flare;
    std::string moon;
    int32_t tilt = 0;
};

// An action-unit definition: name, abstract clan, header word and three unit lists.
struct WorldAUUnit {
    std::string type;                // units-file name (32-byte field)
    int32_t percentage = 100;
    std::array<int32_t, 6> place{};  // the place record (two vectors)
    std::optional<std::vector<uint8_t>> data;  // written behind "DATA" when present
};
struct WorldAUDef {
    std::string name;
    int32_t abstractClan = 0;
    int32_t headerWord = 0;
    std::array<std::vector<WorldAUUnit>, 3> lists;
};

struct WorldChunk {
    uint32_t type = 0;
    std::vector<uint8_t> body;
    std::optional<uint32_t> size;  // override of the size field
};

class WorldFile {
public:
    explicit WorldFile(uint32_t version = 102) : version(version) {}

    void TileClone(const WorldTileClone& c);
    void TileField(const WorldTileLayer& layer) { Layer(1, layer); }
    void TopTileField(const WorldTileLayer& layer) { Layer(3, layer); }
    // Sub-points, 256 per definition (index = z sub-index x 16 + x sub-index).
    void TileDefPool(const std::vector<WorldSubPoint>& points, uint32_t accessKind = 0);
    void Textures(const std::vector<WorldTexture>& textures);
    void Sky(const WorldSky& sky);
    void AUDef(const WorldAUDef& def, uint32_t type = 7);
    void UnitData(int32_t au, int32_t list, int32_t unit, const std::vector<uint8_t>& data);
    void Raw(uint32_t type, std::vector<uint8_t> body, std::optional<uint32_t> size = std::nullopt);

    std::vector<uint8_t> Bytes() const;

    uint32_t version;
    std::optional<uint32_t> magic;  // override of "QZWD"
    std::vector<WorldChunk> chunks;

private:
    void Layer(uint32_t type, const WorldTileLayer& layer);
};

// The body of a TileDefPool chunk of a version (access kind, then the entries).
std::vector<uint8_t> TileDefPoolBody(const std::vector<WorldSubPoint>& points, uint32_t accessKind, uint32_t version);
// The sky chunk's and an action-unit definition's bodies.
std::vector<uint8_t> SkyBody(const WorldSky& sky);
std::vector<uint8_t> AUDefBody(const WorldAUDef& def);
// The tile-definition chunk file: "CHNK", then one TileDefPool chunk (type 2, access kind 5).
std::vector<uint8_t> TileDefPoolChunkFile(const std::vector<WorldSubPoint>& points);

}  // namespace datakit

#include "tools/datakit/WorldFile.h"

namespace datakit {

namespace {

void Chunk(Bytes& out, const WorldChunk& c) {
    out.u32(c.type);
    out.u32(c.size ? *c.size : static_cast<uint32_t>(c.body.size() + 8));
    out.raw(c.body.data(), c.body.size());
}

void Colour(Bytes& b, const std::array<uint8_t, 4>& c) {
    for (uint8_t v : c) b.u8(v);
}

}  // namespace

void WorldFile::TileClone(const WorldTileClone& c) {
    datakit::Bytes b;
    b.i16(c.height);
    b.u16(c.flags);
    if (version == 101) {
        for (uint8_t n : c.noise) b.u8(n);
        b.u8(0);
    } else {
        b.u8(c.access);
        b.u8(0);
        b.u8(0);
        b.u8(0);
        for (uint8_t n : c.noise) b.u8(n);
        b.u8(0);
    }
    chunks.push_back({0, b.data(), std::nullopt});
}

void WorldFile::Layer(uint32_t type, const WorldTileLayer& layer) {
    datakit::Bytes b;
    b.i32(layer.width);
    b.i32(layer.height);
    const uint32_t entry = version == 101 ? 4 : 8;
    for (const WorldTile& t : layer.tiles) {
        b.u32(t.rawOffset ? *t.rawOffset : t.def * 256 * entry);
        for (uint16_t tex : t.tex) b.u16(tex);
    }
    chunks.push_back({type, b.data(), std::nullopt});
}

std::vector<uint8_t> TileDefPoolBody(const std::vector<WorldSubPoint>& points, uint32_t accessKind, uint32_t version) {
    datakit::Bytes b;
    b.u32(accessKind);
    for (const WorldSubPoint& p : points) {
        b.i16(p.height);
        b.u16(p.flags);
        if (version != 101) {
            b.u8(p.access);
            b.u8(0);
            b.u8(0);
            b.u8(0);
        }
    }
    return b.data();
}

void WorldFile::TileDefPool(const std::vector<WorldSubPoint>& points, uint32_t accessKind) {
    chunks.push_back({2, TileDefPoolBody(points, accessKind, version), std::nullopt});
}

void WorldFile::Textures(const std::vector<WorldTexture>& textures) {
    datakit::Bytes b;
    for (const WorldTexture& t : textures) {
        b.u32(static_cast<uint32_t>(t.data.size()));
        b.fixedText(t.name, 24);
        b.raw(t.data.data(), t.data.size());
    }
    chunks.push_back({4, b.data(), std::nullopt});
}

std::vector<uint8_t> SkyBody(const WorldSky& sky) {
    datakit::Bytes b;
    for (int32_t a : sky.keyAngles) b.i32(a);
    b.i32(static_cast<int32_t>(sky.laterals.size()));
    for (const auto& c : sky.keyColours) Colour(b, c);
    for (const WorldSkyLateral& l : sky.laterals) {
        b.i32(l.value);
        for (const auto& c : l.colours) Colour(b, c);
    }
    b.i32(sky.starCount);
    b.fixedText(sky.flare, 24);
    b.fixedText(sky.moon, 24);
    b.i32(sky.tilt);
    return b.data();
}

void WorldFile::Sky(const WorldSky& sky) { chunks.push_back({5, SkyBody(sky), std::nullopt}); }

std::vector<uint8_t> AUDefBody(const WorldAUDef& def) {
    datakit::Bytes b;
    b.fixedText(def.name, 32);
    b.i32(def.abstractClan);
    b.i32(def.headerWord);
    for (const auto& list : def.lists) {
        b.i32(static_cast<int32_t>(list.size()));
        for (const WorldAUUnit& u : list) {
            b.fixedText(u.type, 32);
            b.i32(u.percentage);
            for (int32_t w : u.place) b.i32(w);
            if (u.data) {
                b.text("DATA");
                b.u32(static_cast<uint32_t>(u.data->size()));
                b.raw(u.data->data(), u.data->size());
            }
        }
    }
    return b.data();
}

void WorldFile::AUDef(const WorldAUDef& def, uint32_t type) { chunks.push_back({type, AUDefBody(def), std::nullopt}); }

void WorldFile::UnitData(int32_t au, int32_t list, int32_t unit, const std::vector<uint8_t>& data) {
    datakit::Bytes b;
    b.i32(au);
    b.i32(list);
    b.i32(unit);
    b.raw(data.data(), data.size());
    chunks.push_back({11, b.data(), std::nullopt});
}

void WorldFile::Raw(uint32_t type, std::vector<uint8_t> body, std::optional<uint32_t> size) {
    chunks.push_back({type, std::move(body), size});
}

std::vector<uint8_t> WorldFile::Bytes() const {
    datakit::Bytes out;
    if (magic) {
        out.u32(*magic);
    } else {
        out.text("QZWD");
    }
    out.u32(version);
    for (const WorldChunk& c : chunks) Chunk(out, c);
    return out.data();
}

std::vector<uint8_t> TileDefPoolChunkFile(const std::vector<WorldSubPoint>& points) {
    datakit::Bytes out;
    out.text("CHNK");
    Chunk(out, {2, TileDefPoolBody(points, 5, 102), std::nullopt});
    return out.data();
}

}  // namespace datakit

#include "tools/datakit/ObjectFile.h"

#include <cstring>

namespace datakit {

namespace {

void Tag(Bytes& out, const char* tag) {
    out.raw(tag, 4);
}

void WriteBBoard(Bytes& out, const ObjBBoard& b, bool section) {
    Tag(out, b.chained ? "BILL" : "FBLL");
    out.u32(b.a);
    out.u32(b.b);
    if (!b.name.empty()) {
        out.u32(0x76453719u);
        out.fixedText(b.name, 24);
    }
    out.f32(b.size1);
    out.f32(b.size2);
    out.fixedText(b.anim, 24);
    out.u8(b.extra);
    out.fixedText(b.object, 24);
    out.fixedText(b.palette, 24);
    out.u32(b.value1);
    out.u32(b.value2);
    if (!section || b.a != kObjNone || !b.anim.empty()) return;
    if (b.faceList) {
        Tag(out, "PLST");
        out.u32(b.listValue);
    }
    out.u32(static_cast<uint32_t>(b.list.size()));
    for (uint32_t i : b.list) out.u32(i);
}

void WriteNode(Bytes& out, const ObjBspNode& n) {
    for (float p : n.plane) out.f32(p);
    out.u8(n.front ? 1 : 0);
    out.u8(n.back ? 1 : 0);
    out.u8(n.leaf ? 1 : 0);
    out.u8(0);
    if (n.front) WriteNode(out, *n.front);
    if (n.back) WriteNode(out, *n.back);
    if (!n.leaf) return;
    out.u32(0);
    out.u32(static_cast<uint32_t>(n.faces.size()));
    for (uint32_t f : n.faces) out.u32(f);
}

}  // namespace

void ObjectFile::Bsp(uint32_t brickCount, const ObjBspNode& root) {
    Tag(chunks_, "BSPT");
    chunks_.u32(brickCount);
    WriteNode(chunks_, root);
}

void ObjectFile::Anchor(float x, float y, float z) {
    Tag(chunks_, "ANCH");
    chunks_.f32(x);
    chunks_.f32(y);
    chunks_.f32(z);
}

void ObjectFile::Patches(const std::vector<ObjPatch>& patches) {
    Tag(chunks_, "PSET");
    chunks_.u32(static_cast<uint32_t>(patches.size()));
    for (const ObjPatch& p : patches) {
        chunks_.u32(p.kind);
        chunks_.u32(static_cast<uint32_t>(p.entries.size()));
        for (uint32_t e : p.entries) chunks_.u32(e);
    }
}

void ObjectFile::Plane(float a, float b, float c, float d) {
    Tag(chunks_, "SPLN");
    for (int i = 0; i < 3; ++i) chunks_.u32(0);
    chunks_.f32(a);
    chunks_.f32(b);
    chunks_.f32(c);
    chunks_.f32(d);
}

void ObjectFile::Sphere(uint32_t point, float radius) {
    Tag(chunks_, "SPHR");
    chunks_.u32(point);
    chunks_.f32(radius);
}

void ObjectFile::Spot(uint32_t point, uint32_t type, uint32_t value) {
    Tag(chunks_, "SPOT");
    chunks_.u32(point);
    chunks_.u32(type);
    chunks_.u32(value);
    for (int i = 0; i < 508; ++i) chunks_.u8(0);
}

void ObjectFile::Light(uint32_t point, std::array<uint8_t, 3> rgb, uint8_t option,
                       const std::string& palette) {
    Tag(chunks_, "LGHT");
    chunks_.u32(point);
    for (uint8_t c : rgb) chunks_.u8(c);
    chunks_.u8(option);
    chunks_.fixedText(palette, 24);
}

void ObjectFile::HField(uint32_t n, const std::vector<float>& heights) {
    Tag(chunks_, "HFLD");
    chunks_.u32(n);
    for (int i = 0; i < 24; ++i) chunks_.u8(0);
    for (float h : heights) chunks_.f32(h);
}

void ObjectFile::ChunkBBoard(const ObjBBoard& b) {
    WriteBBoard(chunks_, b, false);
}

void ObjectFile::Raw(const std::vector<uint8_t>& bytes) {
    chunks_.raw(bytes.data(), bytes.size());
}

std::vector<uint8_t> ObjectFile::Bytes() const {
    datakit::Bytes out;
    out.u32(pointCount.value_or(static_cast<uint32_t>(points.size())));
    out.u32(faceCount.value_or(static_cast<uint32_t>(faces.size())));
    for (const ObjPoint& p : points) {
        out.u32(static_cast<uint32_t>(p.skipped.size()));
        for (uint32_t w : p.skipped) out.u32(w);
        for (float c : p.pos) out.f32(c);
        for (float n : p.normal) out.f32(-n);  // the file holds normals negated
        for (uint8_t c : p.rgb) out.u8(c);
        out.u8(0);
    }
    for (const ObjBBoard& b : bboards) WriteBBoard(out, b, true);
    for (const ObjFace& f : faces) {
        out.u32(f.vertexCount.value_or(static_cast<uint32_t>(f.points.size())));
        for (size_t k = 0; k < f.points.size(); ++k) {
            out.u32(f.points[k]);
            const std::array<int16_t, 2> uv = k < f.uv.size() ? f.uv[k] : std::array<int16_t, 2>{0, 0};
            out.i16(uv[0]);
            out.i16(uv[1]);
        }
        for (float n : f.normal) out.f32(-n);
        out.u8(static_cast<uint8_t>((f.type & 15) | (f.option ? 0x10 : 0)));
        out.u8(f.extra);
        if ((f.type & 15) >= 4 && (f.type & 15) <= 7) out.fixedText(f.texture, 24);
        for (uint8_t c : f.rgb) out.u8(c);
        out.u8(0);
    }
    out.raw(chunks_.data().data(), chunks_.size());
    return out.data();
}

void AddBox(ObjectFile& obj, float cx, float cy, float cz, float hx, float hy, float hz,
            std::array<uint8_t, 3> rgb, uint8_t faceType) {
    const auto base = static_cast<uint32_t>(obj.points.size());
    // Corner i: bit 0 picks +x, bit 1 +y, bit 2 +z.
    for (int i = 0; i < 8; ++i) {
        ObjPoint p;
        p.pos = {cx + ((i & 1) ? hx : -hx), cy + ((i & 2) ? hy : -hy), cz + ((i & 4) ? hz : -hz)};
        p.normal = {(i & 1) ? 0.577f : -0.577f, (i & 2) ? 0.577f : -0.577f, (i & 4) ? 0.577f : -0.577f};
        p.rgb = rgb;
        obj.points.push_back(p);
    }
    struct Side {
        uint32_t c[4];
        float n[3];
    } sides[6] = {
        {{0, 2, 3, 1}, {0, 0, -1}}, {{4, 5, 7, 6}, {0, 0, 1}},  {{0, 4, 6, 2}, {-1, 0, 0}},
        {{1, 3, 7, 5}, {1, 0, 0}},  {{0, 1, 5, 4}, {0, -1, 0}}, {{2, 6, 7, 3}, {0, 1, 0}},
    };
    for (const Side& s : sides) {
        ObjFace f;
        for (uint32_t c : s.c) f.points.push_back(base + c);
        f.uv = {{0, 0}, {0, 32767}, {32767, 32767}, {32767, 0}};
        f.normal = {s.n[0], s.n[1], s.n[2]};
        f.type = faceType;
        f.rgb = rgb;
        obj.faces.push_back(f);
    }
}

ObjectFile BoxObject(float hx, float hy, float hz, std::array<uint8_t, 3> rgb, uint8_t faceType) {
    ObjectFile obj;
    AddBox(obj, 0, 0, 0, hx, hy, hz, rgb, faceType);
    return obj;
}

}  // namespace datakit

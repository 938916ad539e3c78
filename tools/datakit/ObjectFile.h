// Object geometry files: points, billboards, faces and the tagged chunks after them, written in the
// order the game reads them. Counts are written from the vectors unless an override is set, so tests
// can also write files that do not hold together.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/datakit/Bytes.h"

namespace datakit {

constexpr uint32_t kObjNone = 0xFFFFFFFFu;

struct ObjPoint {
    std::array<float, 3> pos{};            // file units (scaled by the reader)
    std::array<float, 3> normal{0, 1, 0};  // as the game holds it; the file stores it negated
    std::array<uint8_t, 3> rgb{255, 255, 255};
    std::vector<uint32_t> skipped;  // words the reader skips
};

struct ObjFace {
    std::vector<uint32_t> points;
    std::vector<std::array<int16_t, 2>> uv;  // per vertex; missing entries are written as 0
    std::array<float, 3> normal{0, 1, 0};
    uint8_t type = 0;     // 0..15
    bool option = false;  // bit 0x10 of the type byte
    uint8_t extra = 0;
    std::string texture;  // written for types 4 to 7 ('.' separates folders)
    std::array<uint8_t, 3> rgb{200, 200, 200};
    std::optional<uint32_t> vertexCount;  // override of the written vertex count
};

struct ObjBBoard {
    bool chained = false;   // "BILL" instead of "FBLL"
    uint32_t a = kObjNone;  // its point
    uint32_t b = kObjNone;  // the point giving its direction
    std::string name;       // written behind the 1e33 marker when not empty
    float size1 = 1, size2 = 1;
    std::string anim;
    uint8_t extra = 0;
    std::string object;  // a billboard object in OBJROOT\billboards
    std::string palette;
    uint32_t value1 = 0, value2 = 0;
    // Billboard section only, when a is none and no animation is named: a face list ("PLST") or points.
    bool faceList = false;
    uint32_t listValue = 0;
    std::vector<uint32_t> list;
};

struct ObjBspNode {
    std::array<float, 4> plane{0, 1, 0, 0};
    std::unique_ptr<ObjBspNode> front, back;
    bool leaf = false;
    std::vector<uint32_t> faces;  // leaf faces
};

struct ObjPatch {
    uint32_t kind = 0;  // 3: a point list, else a face list
    std::vector<uint32_t> entries;
};

class ObjectFile {
public:
    std::vector<ObjPoint> points;
    std::vector<ObjBBoard> bboards;  // the billboard section after the points
    std::vector<ObjFace> faces;
    std::optional<uint32_t> pointCount, faceCount;  // overrides of the header counts

    // Chunks, written in the order they are added.
    void Bsp(uint32_t brickCount, const ObjBspNode& root);
    void Anchor(float x, float y, float z);
    void Patches(const std::vector<ObjPatch>& patches);
    void Plane(float a, float b, float c, float d);
    void Sphere(uint32_t point, float radius);
    void Spot(uint32_t point, uint32_t type, uint32_t value);
    void Light(uint32_t point, std::array<uint8_t, 3> rgb, uint8_t option, const std::string& palette);
    void HField(uint32_t n, const std::vector<float>& heights);
    void ChunkBBoard(const ObjBBoard& b);
    void Raw(const std::vector<uint8_t>& bytes);  // any bytes, e.g. an unknown tag

    std::vector<uint8_t> Bytes() const;

private:
    datakit::Bytes chunks_;
};

// A box from -half to +half on each axis: eight points, six quads of one colour.
ObjectFile BoxObject(float hx, float hy, float hz, std::array<uint8_t, 3> rgb, uint8_t faceType = 1);
// Appends a box centred at (cx, cy, cz) to an object.
void AddBox(ObjectFile& obj, float cx, float cy, float cz, float hx, float hy, float hz,
            std::array<uint8_t, 3> rgb, uint8_t faceType = 1);

}  // namespace datakit

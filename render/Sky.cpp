// The sky cell: built from the world file's sky chunk (key angles and colours, laterals, stars, the
// flare and moon geometries, the tilt of the sun's circle) and copied for every further viewport; the
// cloud drift and the sky fade.
#include "render/Sky.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/Config.h"
#include "core/FixMath.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "world/Geom.h"
#include "world/ObjFile.h"

SkyCell* WorldSkyCell = nullptr;

float CloudOffset = 0.0f;
float CloudSpeed = 0.0f;
int32_t CloudCover = 0, CloudCoverRate = 0;
int32_t SkyFade = 65280, SkyFadeRate = 0;

namespace {

constexpr int32_t kRampTop = kSkyRampTop;
constexpr int kNameBytes = 24;
// More stars than this in a chunk is not a sky but a broken count.
constexpr int32_t kMaxStars = 4096;

template <typename T>
T* AllocArray(int32_t count, const char* purpose) {
    if (count <= 0) return nullptr;
    auto* p = static_cast<T*>(qzAlloc(static_cast<int>(sizeof(T) * static_cast<size_t>(count)), purpose));
    std::memset(static_cast<void*>(p), 0, sizeof(T) * static_cast<size_t>(count));
    return p;
}

// A little-endian reader over the chunk body; running past its end is fatal.
struct ChunkReader {
    const uint8_t* data;
    size_t size;
    size_t at;
    const char* file;

    void Need(size_t n, const char* what) {
        if (n > size - at)
            FatalErrorF("Error(BuildSky): %s: the sky chunk ends inside its %s (%zu bytes)", file, what, size);
    }
    int32_t I32(const char* what) {
        Need(4, what);
        const uint8_t* p = data + at;
        at += 4;
        return static_cast<int32_t>(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
    }
    void Bytes(void* out, size_t n, const char* what) {
        Need(n, what);
        std::memcpy(out, data + at, n);
        at += n;
    }
};

// A 24-byte geometry name: terminated, its dots made path separators.
void GeomName(char out[kNameBytes], const uint8_t raw[kNameBytes]) {
    std::memcpy(out, raw, kNameBytes);
    out[kNameBytes - 1] = '\0';
    for (int i = 0; i < kNameBytes && out[i]; ++i)
        if (out[i] == '.') out[i] = kPathSeparator;
}

// The geometry is the cell's before it is read, so a fatal read leaves nothing unowned.
void LoadSkyGeom(Geom** out, const char* name, float scale, const char* error) {
    char path[512];
    snprintf(path, sizeof path, "%s%c%s", OBJROOT, kPathSeparator, name);
    if (!name[0] || !qzpk_exists(path)) FatalError(error);
    *out = CreateGeom("sky geom");
    LoadCCADObj(path, scale, *out);
}

void LoadDome(SkyCell* sky) {
    const Rule* dome = FindRule("sky_dome");
    if (!dome) return;
    snprintf(sky->domeName, sizeof sky->domeName, "clouds.%s", dome->info[0] ? dome->info[0] : "");
    for (char* c = sky->domeName; *c; ++c)
        if (*c == '.') *c = kPathSeparator;
    LoadSkyGeom(&sky->dome, sky->domeName, 640.0f, "Can't open dome geom file");
}

// The moon is drawn as the first face over its first four vertices.
void CheckMoon(const Geom* moon, const char* file) {
    if (moon->pointCount < 4 || moon->faceCount < 1)
        FatalErrorF("Error(BuildSky): %s: the moon geometry needs four vertices and a face (it has %d and %d)", file,
                    moon->pointCount, moon->faceCount);
}

int32_t RandomSign() { return (std::rand() & 1) ? -1 : 1; }
int32_t RandomSmall() { return std::rand() & 0x7fff; }

void RandomStar(SkyStar* s) {
    FixVec d;
    do {
        d.x = RandomSign() * (RandomSmall() & 0xff) * 32768;
        d.z = RandomSign() * (RandomSmall() & 0xff) * 32768;
        d.y = (RandomSmall() & 0xff) * 32768;
    } while (d.x == 0 || d.y == 0 || d.z == 0);
    FixVec n;
    NormaliseF(&n, &d);
    s->dir = n;
    s->brightness = (((RandomSmall() >> 8) / 64) * 64) + 64;
}

// value += ticks x rate, held in 0 .. 65280; the rate stops at either bound.
void Ramp(int32_t* value, int32_t* rate, int ticks) {
    const int64_t v = int64_t(*value) + int64_t(ticks) * *rate;
    if (v <= 0 && *rate <= 0) {
        *value = 0;
        *rate = 0;
    } else if (v >= kRampTop && *rate >= 0) {
        *value = kRampTop;
        *rate = 0;
    } else {
        *value = static_cast<int32_t>(v < 0 ? 0 : v > kRampTop ? kRampTop : v);
    }
}

}  // namespace

void ResetSkyState() {
    CloudOffset = 0.0f;
    CloudSpeed = 0.0f;
    CloudCover = CloudCoverRate = 0;
    SkyFade = kRampTop;
    SkyFadeRate = 0;
}

SkyCell* CreateSkyCell() {
    auto* sky = static_cast<SkyCell*>(qzAlloc(sizeof(SkyCell), "sky cell"));
    std::memset(static_cast<void*>(sky), 0, sizeof *sky);
    return sky;
}

void FreeSkyCell(SkyCell* sky) {
    if (!sky) return;
    qzFree(sky->meridians);
    qzFree(sky->laterals);
    qzFree(sky->vertices);
    qzFree(sky->stars);
    FreeGeom(sky->flare);
    FreeGeom(sky->moon);
    FreeGeom(sky->dome);
    qzFree(sky);
}

void CreateLateral(SkyCell* sky, const uint8_t colours[kSkyKeys][4], float degrees, int32_t value) {
    if (sky->lateralCount >= sky->lateralCapacity) FatalError("Error(CreateLateral): too many laterals");
    SkyLateral& l = sky->laterals[sky->lateralCount++];
    std::memset(&l, 0, sizeof l);
    l.elevation = static_cast<int32_t>(degrees * 3.1415927f / 180.0f * 65536.0f);
    l.value = value;
    std::memcpy(l.keys, colours, sizeof l.keys);
}

void AddSkyVertex(int32_t* list, int32_t* count, int32_t capacity, int32_t entry) {
    if (*count < capacity) list[(*count)++] = entry;
}

void BuildSkyFromChunk(const uint8_t* data, size_t size, const char* file, SkyCell* sky) {
    ChunkReader r{data, size, 0, file ? file : ""};
    // The clock adds a turn to the keys of a wrapping pair and turns the sun's circle by the tilt: keys
    // beyond two turns (the last may wrap past one) or a tilt beyond a turn would overflow its arithmetic.
    for (int32_t& a : sky->keyAngles) {
        a = r.I32("key angles");
        if (a < -kFixFullTurn || a > 2 * kFixFullTurn)
            FatalErrorF("Error(BuildSky): %s: key angle %d lies beyond two turns", r.file, a);
    }
    const int32_t n = r.I32("lateral count");
    // The drawing reads the horizon at lateral 3 and the 45-degree lateral at 10: only a chunk of seven
    // laterals makes them; any other count would have the drawing read a lateral that is not there.
    if (n != kSkyChunkLaterals)
        FatalErrorF("Error(BuildSky): %s: the sky has %d laterals, the sky drawing needs %d", r.file, n,
                    kSkyChunkLaterals);
    r.Bytes(sky->keyColours, sizeof sky->keyColours, "key colours");
    sky->lateralCapacity = n + 4;
    sky->laterals = AllocArray<SkyLateral>(sky->lateralCapacity, "lateral list");
    for (int i = 0; i < n; ++i) {
        const int32_t value = r.I32("laterals");
        uint8_t colours[kSkyKeys][4];
        r.Bytes(colours, sizeof colours, "laterals");
        if (i == 0) {
            for (float deg : {140.0f, 110.0f, 100.0f, 90.0f}) CreateLateral(sky, colours, deg, -1);
        } else {
            CreateLateral(sky, colours, -1.0f, value);
            if (i == n - 1) CreateLateral(sky, colours, 45.0f, -1);
        }
    }
    const int32_t stars = r.I32("star count");
    if (stars > kMaxStars) FatalErrorF("Error(BuildSky): %s: %d stars in the sky chunk", r.file, stars);
    // The first two entries are the sun and the second light, which the clock aims: the list always
    // holds them.
    sky->starCount = stars < 2 ? 2 : stars;
    sky->stars = AllocArray<SkyStar>(sky->starCount, "star list");
    for (int i = 2; i < sky->starCount; ++i) RandomStar(&sky->stars[i]);
    uint8_t raw[kNameBytes];
    r.Bytes(raw, kNameBytes, "flare name");
    GeomName(sky->flareName, raw);
    r.Bytes(raw, kNameBytes, "moon name");
    GeomName(sky->moonName, raw);
    sky->tilt = r.I32("tilt");
    if (sky->tilt < -kFixFullTurn || sky->tilt > kFixFullTurn)
        FatalErrorF("Error(BuildSky): %s: tilt %d lies beyond a turn", r.file, sky->tilt);
    LoadSkyGeom(&sky->flare, sky->flareName, 3.5f, "Can't open flare geom file");
    LoadSkyGeom(&sky->moon, sky->moonName, 2.0f, "Can't open moon geom file");
    CheckMoon(sky->moon, r.file);
    LoadDome(sky);
}

void BuildSky(FILE* stream, SkyCell* sky) {
    // The chunk's fixed part and its laterals are read whole; the body is then parsed as one block.
    std::vector<uint8_t> body;
    uint8_t head[40];
    if (qzpk_fread(head, 1, sizeof head, stream) != sizeof head) FatalError("Error(BuildSky): the sky chunk is cut short");
    body.assign(head, head + sizeof head);
    const int32_t n = static_cast<int32_t>(uint32_t(head[36]) | uint32_t(head[37]) << 8 | uint32_t(head[38]) << 16 |
                                           uint32_t(head[39]) << 24);
    if (n != kSkyChunkLaterals)
        FatalErrorF("Error(BuildSky): the sky has %d laterals, the sky drawing needs %d", n, kSkyChunkLaterals);
    const size_t rest = 36 + static_cast<size_t>(n) * 40 + 4 + 2 * kNameBytes + 4;
    body.resize(sizeof head + rest);
    if (qzpk_fread(body.data() + sizeof head, 1, rest, stream) != rest)
        FatalError("Error(BuildSky): the sky chunk is cut short");
    BuildSkyFromChunk(body.data(), body.size(), "sky", sky);
}

SkyCell* RebuildSkyGeometry(const SkyCell* from) {
    if (!from) return nullptr;
    SkyCell* sky = CreateSkyCell();
    std::memcpy(sky->keyAngles, from->keyAngles, sizeof sky->keyAngles);
    sky->keyIndex = from->keyIndex;
    sky->nextKey = from->nextKey;
    sky->fraction = from->fraction;
    sky->sunAngle = from->sunAngle;
    sky->tilt = from->tilt;
    std::memcpy(sky->keyColours, from->keyColours, sizeof sky->keyColours);
    std::memcpy(sky->colour, from->colour, sizeof sky->colour);
    std::memcpy(sky->sunScreen, from->sunScreen, sizeof sky->sunScreen);
    sky->secondAngle = from->secondAngle;
    std::memcpy(sky->flareName, from->flareName, sizeof sky->flareName);
    std::memcpy(sky->moonName, from->moonName, sizeof sky->moonName);
    sky->lateralCapacity = from->lateralCapacity;
    sky->lateralCount = from->lateralCount;
    sky->laterals = AllocArray<SkyLateral>(sky->lateralCapacity, "lateral list");
    if (sky->laterals) std::memcpy(sky->laterals, from->laterals, sizeof(SkyLateral) * size_t(from->lateralCount));
    sky->starCount = from->starCount;
    sky->stars = AllocArray<SkyStar>(sky->starCount, "star list");
    if (sky->stars) std::memcpy(sky->stars, from->stars, sizeof(SkyStar) * size_t(from->starCount));
    LoadSkyGeom(&sky->flare, sky->flareName, 2.0f, "Can't open flare geom file");
    LoadSkyGeom(&sky->moon, sky->moonName, 2.0f, "Can't open moon geom file");
    CheckMoon(sky->moon, "sky");
    LoadDome(sky);
    return sky;
}

void CreateMeridians(SkyCell* sky, ScapeBoard* board, ScapeBoard* topBoard) {
    if (!sky) return;
    sky->board = board;
    sky->topBoard = topBoard;
    // Enough meridians for every one the drawing lays out.
    qzFree(sky->meridians);
    sky->meridianCapacity = kSkyMeridians;
    sky->meridians = AllocArray<int32_t>(sky->meridianCapacity, "meridian list");
    sky->meridianCount = 0;
    qzFree(sky->vertices);
    sky->vertexCapacity = sky->lateralCount * sky->meridianCapacity + 2;
    sky->vertices = AllocArray<SkyVertex>(sky->vertexCapacity, "sky vtx's");
    sky->vertexCount = 0;
}

bool ColoursNear(const uint8_t a[3], const uint8_t b[3]) {
    for (int c = 0; c < 3; ++c)
        if (std::abs(int(a[c]) - int(b[c])) >= 16) return false;
    return true;
}

int32_t ColourDistance(const uint8_t a[3], const uint8_t b[3]) {
    return (std::abs(int(a[0]) - int(b[0])) + std::abs(int(a[1]) - int(b[1])) + std::abs(int(a[2]) - int(b[2]))) / 3;
}

void AdvanceClouds(int ticks) {
    CloudOffset += static_cast<float>(ticks) * CloudSpeed;
    if (CloudOffset >= 1.0f) CloudOffset -= 1.0f;
    Ramp(&CloudCover, &CloudCoverRate, ticks);
}

void AdvanceSkyFade(int ticks) {
    Ramp(&SkyFade, &SkyFadeRate, ticks);
}

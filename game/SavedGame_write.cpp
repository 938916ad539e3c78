// Writing a saved game: the header and every chunk composed in memory, then one checked write that
// replaces the old file only when it is complete.
#include <cstdio>
#include <cstring>

#include "ai/AUDef.h"
#include "ai/AIStubs.h"
#include "ai/Clan.h"
#include "ai/DayEvents.h"
#include "ai/HiLogic.h"
#include "ai/MissionDesc.h"
#include "core/Config.h"
#include "core/Files.h"
#include "core/Memory.h"
#include "core/Package.h"
#include "core/Rules.h"
#include "host/Fs.h"
#include "hud/MissionStatus.h"
#include "objects/SceneryLighting.h"
#include "objects/SharedPools.h"
#include "objects/UnitShare.h"
#include "objects/Units.h"
#include "render/Sky.h"
#include "render/Weather.h"
#include "world/Construct.h"
#include "world/ConstructPool.h"
#include "game/Level_local.h"
#include "world/SceneryFx.h"
#include "game/SavedGame_local.h"
#include "game/Startup.h"
#include "world/Statics.h"
#include "world/Terrain.h"
#include "world/WorldFile.h"
#include "game/WorldTick.h"

SavedWorldWords WorldStateWords;

namespace {

long WriteLimit = -1;

// A construct a saved game must name: the action unit holding it and its index; fatal when none does.
void WriteUnitRef(qzgm::Out& out, const construct* con, const char* fatal) {
    int index = 0;
    AUDef* au = FindAUOfUnit(con, &index);
    if (!au) FatalError(fatal);
    out.Text(au->name, 32);
    out.U32(uint32_t(index));
}

void WriteSavedDayEvent(qzgm::Out& out, const DayEvent* ev) {
    out.I32(ev->type);
    out.I32(ev->state);
    out.I32(ev->delay);
    out.F32(ev->gameTime);
    for (float v : ev->values) out.F32(v);
    out.Text(ev->attribute1, 128);
    out.Text(ev->attribute2, 128);
    out.Text(ev->expression, 64);
}

int32_t Whole(float v) { return TruncateToInt32(v); }

bool WriteFileChecked(const char* path, const std::vector<uint8_t>& bytes) {
    FILE* f = qzpk_fopen(path, "wb");
    if (!f) {
        qzgm::Refusal = "cannot be opened";
        return false;
    }
    // Written in pieces so that a full disk is noticed at the piece that did not fit.
    constexpr size_t kPiece = 65536;
    size_t done = 0;
    bool good = true;
    while (good && done < bytes.size()) {
        size_t n = std::min(kPiece, bytes.size() - done);
        if (WriteLimit >= 0 && done + n > size_t(WriteLimit)) {
            n = done < size_t(WriteLimit) ? size_t(WriteLimit) - done : 0;
            good = false;
        }
        if (n && std::fwrite(bytes.data() + done, 1, n, f) != n) good = false;
        done += n;
    }
    if (!good) {
        host::DiscardFile(f);
        qzgm::Refusal = "could not be written";
        return false;
    }
    if (qzpk_fclose(f) != 0) {
        qzgm::Refusal = "could not be written";
        return false;
    }
    return true;
}

}  // namespace

namespace qzgm {

std::string Refusal;

void WriteChunk_SavedWorldState(Out& out) {
    const size_t at = out.Begin(kSavedWorldState);
    const SavedWorldWords& w = WorldStateWords;
    const LevelSettings& l = CurrentLevel;
    out.F32(SecondsPerTick);
    out.I32(WinCountdown);
    out.I32(LoseCountdown);
    out.I32(w.missionWords[0]);
    out.I32(w.missionWords[1]);
    out.I32(ViewNoticeTimer);
    out.Text(ViewNoticeText, 64);
    for (int32_t v : WaterLevel) out.I32(v);
    for (int32_t v : WaterMark) out.I32(v);
    out.I32(PrecipitationMode);
    // The sky as it is now (the day events move it), not as the level was built.
    out.F32(CloudSpeed);
    out.F32(w.cloudValue);
    out.I32(CloudCover);
    out.I32(w.cloudWord);
    out.I32(SkyFade);
    out.I32(w.starWord);
    out.I32(SceneryLightingLevel);
    out.I32(w.lightingWord);
    out.Raw(l.waterColour, 3);
    out.Raw(l.waterSpecularBias, 3);
    out.Raw(CaveFogColour, 3);
    out.Raw(l.ambientLighting, 3);
    out.Raw(&w.ambientLightingExtra, 1);
    for (int32_t v : l.windVector) out.I32(v);
    out.F32(GameClockSeconds);
    out.I32(Whole(l.eyesightRange));
    out.I32(Whole(l.eyesightAperture));
    out.I32(Whole(l.beamsightRange));
    out.I32(Whole(l.beamsightRadius));
    out.I32(w.tfViewWord);
    out.U32(PlayerRestrictions);
    out.I32(w.interfaceWord);
    for (const char* text : w.interfaceTexts) out.Text(text, 64);
    if (!PlayerUnit) {
        out.U32(0);
    } else {
        out.U32(1);
        WriteUnitRef(out, PlayerUnit, "Error(WriteChunk_SavedWorldState): OurCraft is not in an AU");
    }
    for (int i = 0; i < 5; ++i) {
        out.I32(PrimaryObjectives[i].number);
        out.Text(PrimaryObjectives[i].text, 64);
        out.I32(SecondaryObjectives[i].number);
        out.Text(SecondaryObjectives[i].text, 64);
    }
    out.I32(TimedEventCursor);
    out.I32(DailyEventCursor);
    for (int list = 2; list < kDayEventLists; ++list) {
        out.I32(DayEventCount[list]);
        for (int i = 0; i < DayEventCount[list]; ++i) WriteSavedDayEvent(out, DayEventList[list][i]);
    }
    out.I32(MDVarCount);
    for (int i = 0; i < MDVarCount; ++i) {
        out.Text(MDVarTable[i]->name, 64);
        out.F32(MDVarTable[i]->value);
    }
    out.I32(SceneryFxCount);
    for (int i = 0; i < SceneryFxCount; ++i) out.Text(SceneryFxTable[i]->name, 128);
    out.Zeros(size_t(kReservedWords) * 4);
    out.End(at);
}

void WriteChunk_SavedAU(Out& out, AUDef* au) {
    const size_t at = out.Begin(kSavedAU);
    out.Text(au->name, 32);
    out.U32(au->pool ? 1 : 0);
    out.I32(au->placed);
    out.I32(au->action);
    for (int32_t v : au->actionValues) out.I32(v);
    if (au->placed) {
        const int count = au->pool ? au->pool->count : 0;
        out.I32(count);
        for (int i = 0; i < count; ++i) {
            construct* con = au->pool->constructs[i];
            WriteSavedCon(out, con);
            construct* target = GetUnitTarget(con);
            if (!target) {
                out.U32(0);
                continue;
            }
            out.U32(1);
            WriteUnitRef(out, target, "Error(WriteChunk_SavedAU): target is not in an AU");
        }
    }
    out.End(at);
}

void WriteChunk_SavedSharedPool(Out& out, const ConstructPool* pool) {
    const size_t at = out.Begin(kSavedSharedPool);
    out.Text(pool->name, 64);
    out.I32(pool->count);
    for (int i = 0; i < pool->count; ++i) WriteSavedCon(out, pool->constructs[i]);
    out.End(at);
}

void WriteChunk_SavedDeadBodyPool(Out& out, const ConstructPool* pool) {
    const size_t at = out.Begin(kSavedDeadBodyPool);
    const int count = pool ? pool->count : 0;
    out.I32(count);
    for (int i = 0; i < count; ++i) {
        construct* wreck = pool->constructs[i];
        out.Text(wreck->unit && wreck->unit->name ? wreck->unit->name : "", 64);
        WriteSavedCon(out, wreck);
    }
    out.End(at);
}

void WriteChunk_SavedClan(Out& out, const Clan* clan) {
    const size_t at = out.Begin(kSavedClan);
    out.I32(ClanIndex(clan));
    out.U32(clan->successMark);
    out.U32(clan->failureMark);
    out.U32(clan->unitLighting);
    out.U32(clan->searchLight);
    for (int32_t v : clan->area) out.I32(v);
    for (int32_t v : clan->hostility) out.I32(v);
    out.End(at);
}

void WriteChunk_SavedTileField(Out& out, const matrix* m) {
    const size_t at = out.Begin(kSavedTileField);
    auto writeLists = [&out](const TileFieldEntry& e) {
        for (const StatLink* head : e.stats) {
            for (const StatLink* l = head; l; l = l->next)
                if (l->stat) WriteUnitRef(out, l->stat, "Error(WriteChunk_SavedTileField): StatCon is not in an AU");
            out.U32(0);
        }
    };
    for (int32_t column = 0; column < m->width; ++column) {
        for (int32_t row = 0; row < m->height; ++row) {
            const size_t k = size_t(row) * size_t(m->width) + size_t(column);
            writeLists(m->tileField[k]);
            if (m->topTileField) writeLists(m->topTileField[k]);
        }
    }
    out.End(at);
}

void WriteChunk_SavedHLClan(Out& out, int clanIndex) {
    const size_t at = out.Begin(kSavedHLClan);
    out.I32(clanIndex);
    // The AI's export writes to a stream: it is given a temporary one whose bytes are taken over.
    FILE* f = std::tmpfile();
    if (!f) FatalError("Error(WriteChunk_SavedHLClan): no temporary stream");
    uint32_t size = 0;
    if (HiLogic) HiLogic->ExportClan(f, clanIndex, &size);
    std::vector<uint8_t> bytes;
    const bool good = BytesOfStream(f, &bytes);
    std::fclose(f);
    if (!good) FatalError("Error(WriteChunk_SavedHLClan): temporary stream failed");
    out.Raw(bytes.data(), bytes.size());
    out.End(at);
}

}  // namespace qzgm

void SavedGamePath(const char* name, char* path, int size) {
    snprintf(path, size_t(size), "%s%c%s", SAVEDGAMESROOT, kPathSeparator, name);
}

const char* SavedGameRefusal() { return qzgm::Refusal.c_str(); }

void ResetSavedWorldWords() { WorldStateWords = SavedWorldWords{}; }

void SetSavedGameWriteLimit(long bytes) { WriteLimit = bytes; }

int SaveQZGM(const char* name) {
    using namespace qzgm;
    qzgm::Refusal.clear();
    // A source's rule name longer than its 128-byte field would be cut and then fail to name its rule
    // when loaded: such a level is not saved.
    for (int i = 0; i < SceneryFxCount; ++i) {
        if (strnlen(SceneryFxTable[i]->name, sizeof SceneryFxTable[i]->name) > 127) {
            qzgm::Refusal = "an ambient sound's rule name is longer than 127 characters";
            return 0;
        }
    }
    Out out;
    out.U32(kMagic);
    out.U32(kVersion);
    out.Text(MissionName, 64);
    char path[512];
    FileTime date{};
    snprintf(path, sizeof path, "%s%c%s", QZWDROOT, kPathSeparator, MissionName);
    qzpk_filedate(path, &date);
    out.U32(date.low);
    out.U32(date.high);
    date = FileTime{};
    snprintf(path, sizeof path, "%s%c%s.txt", SCRIPTROOT, kPathSeparator, MissionName);
    qzpk_filedate(path, &date);
    out.U32(date.low);
    out.U32(date.high);
    out.Zeros(size_t(kReservedWords) * 4);

    WriteChunk_SavedWorldState(out);
    for (int i = 0; i < AUDefCount; ++i) WriteChunk_SavedAU(out, AUDefTable[i]);
    for (SharedPoolId id : SavedSharedPools) {
        const ConstructPool* pool = SharedPool(id);
        if (pool) WriteChunk_SavedSharedPool(out, pool);
    }
    WriteChunk_SavedDeadBodyPool(out, DeadBodyPool);
    for (int i = 0; i < ClanCount; ++i) WriteChunk_SavedClan(out, ClanTable[i]);
    if (CurrentMatrix) {
        FILE* f = std::tmpfile();
        if (!f) FatalError("Error(SaveQZGM): no temporary stream");
        WriteChunk_TileDefPool(f, CurrentMatrix);
        std::vector<uint8_t> bytes;
        const bool good = BytesOfStream(f, &bytes);
        std::fclose(f);
        if (!good) FatalError("Error(SaveQZGM): temporary stream failed");
        out.Raw(bytes.data(), bytes.size());
        WriteChunk_SavedTileField(out, CurrentMatrix);
    }
    for (int i = 0; i < ClanCount; ++i) WriteChunk_SavedHLClan(out, i);

    SavedGamePath(name, path, sizeof path);
    return WriteFileChecked(path, out.Bytes()) ? 1 : 0;
}

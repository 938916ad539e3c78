// Record/replay of cut scenes. A level built in record/replay mode gets a cut scene for each action unit
// marked for it, and every unit of such an action unit a cut track: a chain of segments, each starting
// from a keyframe (the unit's place and data block, and optionally the world's clock, sky and day-event
// cursors) and holding the unit's control record for every tick. Replaying restores each keyframe at its
// segment's first frame and feeds the recorded records to the units; recording captures the records of
// one unit while every other track replays. Frames are ticks counted from the start of a run. Scene
// files keep the cut scenes of a mission between runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct AUDef;
struct construct;
struct ControlInput;

constexpr int kMaxCutScenes = 32;
constexpr int kMaxTrackSegs = 64;
constexpr int32_t kInputListStart = 200;  // records of a new segment's input list; doubled when full

// One segment of a track: its keyframe and the unit's control records from its start to its end.
struct TrackSeg {
    construct* unit;     // the unit it drives; null once the unit has been destroyed
    int32_t start;       // first frame
    int32_t end;         // first frame after the segment
    int32_t worldState;  // 1: the keyframe also sets the world state below
    float clock;         // game clock, seconds
    int32_t timedCursor, dailyCursor;  // the day events' cursors
    int32_t cloudLevel, cloudRate;     // 0..65280
    int32_t starLevel, starRate;       // 0..65280
    int32_t sceneryLevel, sceneryRate; // scenery lighting
    int32_t status;       // the unit construct's status word
    int32_t pos[3];       // 16.16
    int32_t orient[9];    // 1.15
    int32_t dataLength;   // bytes of the data copy
    uint8_t* data;        // the unit's block as GETITFCDATA gives it ("itfc data"), or null
    int32_t inputCount;
    int32_t inputCapacity;
    ControlInput* inputs;  // "Input List"
};

struct CutTrack {
    int32_t segCount;  // 0..64
    TrackSeg** segs;   // 64 slots ("Track Segs")
    construct* unit;   // the unit whose track it is; null once the unit has been destroyed
};

struct CutScene {
    AUDef* au;
    int32_t trackCount;  // the action unit's units when the scene was made
    CutTrack* tracks;    // one per unit, in the order of the action unit's pool ("Cut Tracks")
};

// The level's cut scenes.
extern CutScene* CutSceneTable[kMaxCutScenes];
extern int32_t CutSceneCount;
// The scene the record/replay panel has chosen (the game's panel keeps it; null for none).
extern CutScene* PanelScene;

// What record/replay asks of the game above it: the world advanced to a run's start frame, the world's
// state taken into a keyframe and set from one, and a message in the log. The game binds them
// (game/LayerHooks.cpp).
struct RecordReplayGameCalls {
    void (*worldTick)(int ticks, int runDayEvents);
    void (*takeWorldState)(TrackSeg* seg);
    void (*setWorldState)(const TrackSeg* seg);
    void (*message)(const char* text);
};
extern RecordReplayGameCalls RecordReplayGame;

// Record/replay is on for the level (the level rule "recordreplay_active").
extern int32_t RecordReplayActive;
// A run (recording or replay) is in progress; the unit being recorded (null while replaying).
extern int32_t RecordReplayRunning;
extern construct* RecordedConstruct;
// The run is paused: tracked units are skipped, nothing is recorded, the frame counter stands.
extern int32_t RecordReplaySkip;
// The run's frame counter.
extern int32_t RecordReplayFrame;
// Shift was held when the run started: the panel and the message log stay out of the picture.
extern int32_t RecordReplayCleanView;
// Some unit received a recorded record in the current tick.
extern int32_t RecordReplayInputReplayed;

// A cut scene plays: a replay runs (the view draws its bars and leaves the overlay out).
inline bool CutScenePlaying() { return RecordReplayRunning && !RecordedConstruct; }

// Creates the cut scene of a placed action unit, one empty track per unit; fatal past 32 scenes or for an
// action unit that is not placed.
CutScene* CreateCutScene(AUDef* au);
// Frees the scene with its tracks and segments; its units lose their tracks; it leaves the table.
void FreeCutScene(CutScene* scene);
// Frees every cut scene (level teardown, scene load).
void FreeAllCutScenes();
// Appends an empty segment to the unit's track; fatal past 64 segments.
TrackSeg* CreateTrackSeg(CutScene* scene, construct* unit);
// Starts recording a segment: drops the segments after it, takes its keyframe, replays the scene up to
// its start and records its unit from there.
void RecordTrackSeg_start(CutScene* scene, TrackSeg* seg);
// Ends a recording at the current frame.
void RecordReplay_stopAt(CutScene* scene, TrackSeg* seg);
// Starts a run at frame 0 and replays up to the given frame in one world-tick call.
void RecordReplay_start(int32_t frame);
// Ends the run (and the export); the player's unit takes its look from the player's record again.
void RecordReplay_stop();
// The per-tick step: stops at the end of the record and advances the frame counter.
void RecordReplay_frame();
// Replay: fills a tracked unit's record from its track. Recording: appends the recorded unit's record.
void SendTrackedInput(construct* con, ControlInput* record);
void ReceiveTrackedInput(construct* con, const ControlInput* record);
// A unit leaves the world for good: every segment that drives it forgets it.
void ForgetCutSceneUnit(construct* con);

// The segment of the construct's track that covers the current frame (start <= frame < end), or null.
TrackSeg* CoveringTrackSeg(construct* con);

// Scene files "<CUTSCENEROOT>\<mission>_<name>": 1 on success, 0 on failure. A load reads and checks the
// whole file before it replaces the scenes; a refused file changes nothing.
int LoadScene(const char* name);
int SaveScene(const char* name);
// The same from and to bytes (the file's contents).
int LoadSceneBytes(const uint8_t* data, size_t size);
std::vector<uint8_t> SaveSceneBytes();

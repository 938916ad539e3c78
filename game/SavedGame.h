// Saved games (magic "QZGM", version 118): the running level written to a file in SAVEDGAMESROOT and read
// back into a level built from the same mission. Every word is little-endian and every reference to a
// construct is written as the action unit holding it and its index there, so a file does not depend on
// the machine that wrote it.
//
// A save is composed in memory and replaces the old file only when every byte reached the disk. A load
// reads and checks the whole file against the running level (sizes, counts, names, indices, clans)
// before it changes anything: a file that does not fit is refused and the level stays as it was.
#pragma once

#include <cstdint>

// Writes the running level; 1 written, 0 not written (the file cannot be opened or written, or the level
// holds something a saved game cannot name; the old file stays as it was).
int SaveQZGM(const char* name);

// Results of LoadQZGM.
enum : int {
    kQZGMLoaded = 0,
    kQZGMOtherMission = 1,  // nothing loaded; the mission's name is copied out
    kQZGMWorldNewer = 2,
    kQZGMScriptNewer = 3,
    kQZGMObsolete = 4,
    kQZGMCannotOpen = 5,
    kQZGMNotASavedGame = 6,
    kQZGMRefused = 7,  // damaged, or does not fit the running level; SavedGameRefusal tells why
};
// Reads a saved game into the running level. otherMission receives 64 characters.
int LoadQZGM(const char* name, int force, char* otherMission);
// As LoadQZGM without changing the level: the answer a load would give, kQZGMLoaded when it would load.
int CheckQZGM(const char* name, int force, char* otherMission);
// Why the last save failed or the last load was refused ("" after a success).
const char* SavedGameRefusal();

// The path of a saved game: SAVEDGAMESROOT, the separator and the name.
void SavedGamePath(const char* name, char* path, int size);

// Values of the world state that the saved game stores and restores for modules that keep no global of
// their own for them yet. Zero when a level is built.
struct SavedWorldWords {
    int32_t missionWords[2];           // the mission state's two further words
    int32_t precipitation;             // 0 none, 1 rain, 2 snow
    float cloudValue;
    int32_t cloudWord;
    int32_t starWord;
    int32_t lightingWord;
    uint8_t ambientLightingExtra;      // the fourth byte of "AmbientLighting"
    int32_t tfViewWord;
    int32_t interfaceWord;
    char interfaceTexts[20][64];
};
extern SavedWorldWords WorldStateWords;
void ResetSavedWorldWords();

// Tests: a save fails once this many bytes were written (a full disk); -1 (the default) for no limit.
void SetSavedGameWriteLimit(long bytes);

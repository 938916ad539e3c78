// The sky cell. Not built yet: the world file reader keeps the sky chunk's body for it.
#include "render/Sky.h"

SkyCell* WorldSkyCell = nullptr;

SkyCell* CreateSkyCell() { return nullptr; }

void BuildSky(FILE* stream, SkyCell* sky) {
    (void)stream;
    (void)sky;
}

void FreeSkyCell(SkyCell* sky) { (void)sky; }

void SetGameClock(float seconds) { (void)seconds; }
void SetGameTime(int day, int hour, int minute, int second) { (void)day, (void)hour, (void)minute, (void)second; }
void AdvanceClouds(int ticks) { (void)ticks; }
void AdvanceSkyFade(int ticks) { (void)ticks; }
void LoadFlareTextures() {}
void FreeFlareTextures() {}

// The map-based parts of the cockpit overlay: the map panel (threat display) in the lower right corner,
// the unit symbol every map draws, and the task-force view's full-screen pages: the large map (radar
// map), the status map (objectives and unit status, or the multiplayer table) and the archive map (the
// archived message files).
//
// Map coordinates run from 0 to 32768 over the terrain: a world x over the terrain's width in world units
// and a world z over its depth. Screen x and y both run against the world axes: a larger world
// coordinate lies further left and lower.
#pragma once

#include <cstdint>

struct TFView;
struct ThreatEntry;
struct construct;

// The symbol colour indexes the callers choose.
enum SymbolColour : int32_t {
    kSymbolHostile = 0,
    kSymbolHostileTarget = 1,
    kSymbolHostileLost = 2,
    kSymbolFriend = 4,
    kSymbolFriendTarget = 5,
    kSymbolNavPoint = 6,
    kSymbolCurrentNavPoint = 7,
};

// The map panel in the rectangle (x0, y0) .. (x1, y1) around the view's map centre (mapParams), with the
// view's zoom.
void DrawThreats(int32_t x0, int32_t y0, int32_t x1, int32_t y1, TFView* view);
// One symbol: a unit at its position, or at the entry's last seen position once contact is lost; member
// selects the task-force member symbols (colour is then the slot); keepOnScreen holds the symbol inside
// the clip rectangle. The map point (mx, mz) lands on screen at x0 - offsetX + size scale (1 - mx /
// 32768), y0 - offsetY + size scale (1 - mz / 32768). A symbol index past its icon set draws nothing.
void DrawUnitSymbol(construct* unit, const ThreatEntry* entry, int member, int keepOnScreen, int colour,
                    float offsetX, float offsetY, float scale, int size, int x0, int y0, TFView* view);
// The full-screen pages.
void DrawRadarMap(TFView* view);
void DrawObjectivesPanel(TFView* view);
void DrawMapPanel(TFView* view);

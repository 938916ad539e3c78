// The three full-screen map pages laid over the game (the large map, the archive map listing the archived
// message files, the status map): each owns the picture "<bitmap root>\<mission>_lmap" at the screen's
// size while it is open. While a page is open the player's unit hears no key but the page's own toggle
// key, so the unit and the outside camera stop turning. The large map also serves the pointing mode, in
// which the player picks the point of a move order.
#pragma once

struct TFView;

// Opening a page whose picture was not released is fatal ("Error: large map not released", ...).
void OpenLargeMap(TFView* view);
// Closing also ends the pointing mode.
void CloseLargeMap(TFView* view);
// Opening shows the newest archived message (index -1 when there is none).
void OpenArchiveMap(TFView* view);
void CloseArchiveMap(TFView* view);
void OpenStatusMap(TFView* view);
void CloseStatusMap(TFView* view);
// Starts picking an order's point: the pointer shown at the screen's centre.
void BeginMapPointing(TFView* view);

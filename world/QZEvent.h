// Deferred construct events and the busy pools. Memberships of the four busy pools never change while
// the world tick walks them: changes asked for then are queued and run after the walk.
#pragma once

#include <cstdint>

struct construct;
struct ConstructPool;

// Event kinds: 0..3 make busy at that level, then unmake busy, deactivate and free.
enum class QZEventKind : int32_t {
    Buzy0 = 0,
    Buzy1 = 1,
    Buzy2 = 2,
    Buzy3 = 3,
    UnBuzy = 4,
    Deactivate = 5,
    Free = 6,
};

struct QZEvent {
    int32_t kind;
    construct* con;
};

constexpr int kMaxQZEvents = 512;
extern QZEvent QZEventQueue[kMaxQZEvents];
extern int QZEventCount;

// The busy pools "buzy0".."buzy3" and "visible", set by the level builder.
extern ConstructPool* BuzyPools[4];
extern ConstructPool* VisiblePool;
// Set while the world tick walks the busy pools; busy memberships must not change then.
extern int32_t BuzyGuard;

// Queues an event (kinds 0..3 mark the construct pending) and returns the construct.
construct* CreateQZEvent(int32_t kind, construct* con);
inline construct* CreateQZEvent(QZEventKind kind, construct* con) {
    return CreateQZEvent(static_cast<int32_t>(kind), con);
}
// Runs the queued events in order (including those queued meanwhile) and empties the queue.
void FlushQZEvents();
// Empties the queue without running it.
void ClearQZEvents();
// Drops the queued events of a construct that is being freed.
void ForgetQZEventsOf(const construct* con);

// Membership of "visible" (flag 0x4).
void ActivateConstruct(construct* con);
void DeactivateConstruct(construct* con);
// Membership of a busy pool; fatal while the busy guard is set.
void MakeBuzy(construct* con, int level);
void UnMakeBuzy(construct* con);

// The physics of a wreck: a rigid body with persistent spin, driven by impacts and by its box corners
// touching the ground. It tumbles, falls, floats on water (its support is raised to the water surface)
// and comes to rest, with the contact and turning scheme of the tracked drive and without engine,
// steering or sound. The wreck type embeds the record in its data block and calls these operations.
#pragma once

#include <cstdint>

struct construct;

struct DeadBodyPhys {
    construct* con;
    int32_t velocity[3];       // the position moves by velocity >> (8 - k)
    int32_t words[3];          // kept for the wreck type; copied with the state
    int32_t spin[3];           // about the right, up and forward rows; decays each update
    int32_t spinDecay;         // per 1024 and update (910)
    int32_t impactPending;     // an impact waits for the next update
    int32_t impact[3];         // its vector; x and z >> 10 join the velocity
    int32_t verticalVelocity;  // the height moves by it >> (8 - k)
    int32_t contacts;          // corners touching their support in the last update
    float damping;             // per tick on each velocity component (0.985)
};

constexpr int32_t kDeadBodySpinDecay = 910;
constexpr float kDeadBodyDamping = 0.985f;

// Clears velocity, spin, impact, vertical velocity and contact count; decay 910, damping 0.985.
void DeadBody_physInit(DeadBodyPhys* d, construct* con);
// An impact of the given vector at a contact point from another point (both world points) with a
// strength: the impact waits for the next update, and the spin about the up axis becomes
// ((((other z - z) (contact x - x) - (contact z - z) (other x - x)) >> 15) x strength) >> 8, x and z being
// the wreck's position.
void DeadBody_impact(DeadBodyPhys* d, const int32_t vec[3], const int32_t contact[3], const int32_t other[3],
                     int32_t strength);
// One update of 2^k ticks.
void DeadBody_physUpdate(DeadBodyPhys* d, int k);
// Copies every word of src but the construct and the spin decay.
void DeadBody_physCopy(DeadBodyPhys* d, const DeadBodyPhys* src);

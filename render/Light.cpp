#include "render/Light.h"

#include <cstring>

#include "core/Memory.h"

PointLight* ActiveLights[kMaxActiveLights];
int ActiveLightCount = 0;

DirLight* CreateDirLight(int32_t r, int32_t g, int32_t b) {
    auto* l = static_cast<DirLight*>(qzAlloc(sizeof(DirLight), "dir light"));
    std::memset(l, 0, sizeof *l);
    l->colour[0] = r;
    l->colour[1] = g;
    l->colour[2] = b;
    return l;
}

void SetDirLight(DirLight* light, const int32_t dir[3], const int32_t colour[3]) {
    std::memcpy(light->dir, dir, sizeof light->dir);
    std::memcpy(light->colour, colour, sizeof light->colour);
}

void FreeDirLight(DirLight* light) {
    qzFree(light);
}

PointLight* CreatePointLight() {
    auto* l = static_cast<PointLight*>(qzAlloc(sizeof(PointLight), "point light"));
    std::memset(l, 0, sizeof *l);
    l->rangeShift = 8;
    l->objPos[1] = 15000;
    l->colour[0] = l->colour[1] = l->colour[2] = 256;
    return l;
}

PointLight* CopyPointLight(const PointLight* light) {
    auto* l = static_cast<PointLight*>(qzAlloc(sizeof(PointLight), "point light"));
    *l = *light;
    return l;
}

void FreePointLight(PointLight* light) {
    if (!light) return;
    RemoveActiveLight(light);
    qzFree(light);
}

void AddActiveLight(PointLight* light, int kind) {
    if (ActiveLightCount >= kMaxActiveLights) return;
    light->kind = static_cast<uint8_t>(kind);
    ActiveLights[ActiveLightCount++] = light;
}

void RemoveActiveLight(PointLight* light) {
    for (int i = 0; i < ActiveLightCount; ++i) {
        if (ActiveLights[i] != light) continue;
        ActiveLights[i] = ActiveLights[--ActiveLightCount];
        ActiveLights[ActiveLightCount] = nullptr;
        return;
    }
}

int IsActiveLight(const PointLight* light) {
    for (int i = 0; i < ActiveLightCount; ++i)
        if (ActiveLights[i] == light) return 1;
    return 0;
}

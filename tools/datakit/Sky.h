// Skies for the world file's sky chunk and the object files a sky loads: a sky of a whole day with the
// seven laterals the sky drawing needs, the sun's halo, the moon and a cloud dome.
#pragma once

#include <string>

#include "tools/datakit/ObjectFile.h"
#include "tools/datakit/WorldFile.h"

namespace datakit {

// Key angles of the sun (16.16 radians; 0 is 18 o'clock, the angle runs backwards through the day) with
// colours from dusk over the day to the night; laterals from the horizon (value 0) up past 45 degrees.
// flare and moon name object files under the object root ('.' separates folders).
WorldSky DaySky(const std::string& flare, const std::string& moon, int32_t starCount = 200);
// The halo around the sun: a fan of triangles, bright at its centre point and dark at its rim.
ObjectFile HaloObject();
// The moon: four points and one quad (textured with the named texture when one is given).
ObjectFile MoonObject(const std::string& texture = "");
// A cloud dome: rings of points over the sky, quads textured with the named texture, intensity (the
// points' red) fading toward the horizon.
ObjectFile CloudDomeObject(const std::string& texture);

}  // namespace datakit

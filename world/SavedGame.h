// Saved games (magic "QZGM").
#pragma once

// Writes the running level; 1 written, 0 the file cannot be opened.
int SaveQZGM(const char* name);
// Reads a saved game into the running level. 0 loaded; 1 it belongs to another mission (whose name is
// copied into otherMission, 64 characters); 2 the world file is newer; 3 the mission script is newer;
// 4 obsolete version; 5 cannot be opened; 6 not a saved game.
int LoadQZGM(const char* name, int force, char* otherMission);

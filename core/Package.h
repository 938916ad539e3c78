// The read-only package "Vexa.qzp" and every file access of the game.
//
// The package holds many files in one; each function looks in the package first and falls back to the
// disk (through host/Fs, so names are Windows-style and case-insensitive there too). A package stream is
// handed out as a FILE* like a plain file; only the qzpk_ functions may be used on it.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/Files.h"

constexpr uint32_t kQZPKMagic = 0x4B505A51;  // "QZPK" read as a little-endian word
constexpr uint32_t kQZPKVersion = 100;
constexpr int kQZPKInitialTags = 5000;
constexpr int kQZPKMaxStreams = 64;

// One packed file.
struct QZPKTag {
    char* name;      // lower case, backslashes, owned
    int32_t offset;  // from the start of the data area, -1 until read
    int32_t size;    // bytes, -1 until read
    FileTime date;   // last-write time of the packed file
};

// An open packed file.
struct QZPKStream {
    char marker[8];    // "QZPKSTRM", no terminator
    QZPKTag* tag;
    int32_t position;  // bytes read so far
    int32_t textFlag;  // 1 when opened with "r" (kept, never consulted)
};

struct QZPKState {
    FILE* file;          // the package, null when there is none
    int32_t dataStart;   // file position of the data area
    int32_t tagCount;
    int32_t tagCapacity;
    QZPKTag** tags;
    int32_t streamCount;
    QZPKStream* streams[kQZPKMaxStreams];
    QZPKStream* positionOwner;  // the stream whose read last positioned the file, or null
};
extern QZPKState* QZPK;

// Creates the package state and indexes the package at path when it exists. Returns the data start, or 0
// when there is no package. A damaged package is fatal.
int qzpk_init(const char* path);
// Closes the package and frees the state, its tags and any stream still open.
void qzpk_close();

// "r"/"rb" of a packed path gives a package stream; everything else opens the disk file.
FILE* qzpk_fopen(const char* path, const char* mode);
// Closes either kind (a replacing disk write is committed here: EOF when it failed).
int qzpk_fclose(FILE* f);
// Bytes read for a package stream (not items); fread's item count for a disk file.
size_t qzpk_fread(void* buffer, size_t size, size_t count, FILE* f);
int qzpk_fseek(FILE* f, long offset, int whence);
long qzpk_ftell(FILE* f);
int qzpk_feof(FILE* f);
// Next byte; a package stream at its end gives 0.
int qzpk_fgetc(FILE* f);
// True when f is an open package stream.
bool qzpk_ispackstream(FILE* f);

int qzpk_exists(const char* path);
int qzpk_filesize(const char* path);
int qzpk_isdir(const char* path);
// 0 with the date of a packed file, else GetFileWriteTime's result for the disk file.
int qzpk_filedate(const char* path, FileTime* date);
// Lists the entries directly under a folder, one per call (cursor 0 first, -1 at the end); a folder the
// package has nothing under is listed from the disk. Returns the name's length with its terminator, or 0.
int qzpk_findfiles(const char* folder, int* cursor, char* nameOut, int nameSize = 256);

QZPKTag* qzpk_find(const char* path);
QZPKTag* qzpk_firstunder(const char* folder);
bool qzpk_isunder(const QZPKTag* tag, const char* folder);
int qzpk_tagindex(const QZPKTag* tag);
QZPKTag* qzpk_newtag();
// Opens a stream on a tag; fatal past 64 open streams.
QZPKStream* CreateQZPKStream(QZPKTag* tag, int textFlag);
int qzpk_closestream(QZPKStream* stream);

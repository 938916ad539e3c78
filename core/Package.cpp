#include "core/Package.h"

#include <cstring>
#include <vector>

#include "core/Memory.h"
#include "host/Fs.h"

QZPKState* QZPK = nullptr;

namespace {

constexpr char kStreamMarker[8] = {'Q', 'Z', 'P', 'K', 'S', 'T', 'R', 'M'};
constexpr int kPathSize = 256;

// The tag of the current listing (one listing runs at a time).
QZPKTag* g_listTag = nullptr;

// A path as the package stores it: at most 255 characters, '/' turned into '\\', lower case.
void NormalisePath(const char* path, char* out) {
    size_t n = 0;
    for (; path && path[n] && n < kPathSize - 1; ++n) {
        char c = path[n];
        if (c == '/') c = '\\';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        out[n] = c;
    }
    out[n] = 0;
}

// A folder as above, without its trailing backslashes.
void NormaliseFolder(const char* folder, char* out) {
    NormalisePath(folder, out);
    size_t n = strlen(out);
    while (n > 0 && out[n - 1] == '\\') out[--n] = 0;
}

bool IsUnderNormalised(const QZPKTag* tag, const char* folder, size_t len) {
    return tag && tag->name && strncmp(tag->name, folder, len) == 0 && tag->name[len] == '\\';
}

// Streams still open when their package was closed: detached from it (no tag; they read nothing) and
// kept until their own qzpk_fclose, so that the handle never reaches freed memory or the file layer.
std::vector<QZPKStream*> g_detached;

QZPKStream* AsStream(FILE* f) {
    if (!f) return nullptr;
    if (QZPK)
        for (int i = 0; i < QZPK->streamCount; ++i)
            if (reinterpret_cast<FILE*>(QZPK->streams[i]) == f) return QZPK->streams[i];
    for (QZPKStream* s : g_detached)
        if (reinterpret_cast<FILE*>(s) == f) return s;
    return nullptr;
}

// Frees a detached stream; false when s is not one.
bool FreeDetached(QZPKStream* s) {
    for (size_t i = 0; i < g_detached.size(); ++i) {
        if (g_detached[i] != s) continue;
        qzFree(s);
        g_detached[i] = g_detached.back();
        g_detached.pop_back();
        return true;
    }
    return false;
}

// Positions the shared package file for a stream's next read.
bool SeekForRead(QZPKStream* s) {
    if (QZPK->positionOwner == s) return true;
    long at = static_cast<long>(QZPK->dataStart) + s->tag->offset + s->position;
    if (fseek(QZPK->file, at, SEEK_SET) != 0) return false;
    QZPK->positionOwner = s;
    return true;
}

// Reads one little-endian word of the index; a short read means the file is cut off.
bool ReadIndexWord(FILE* f, int32_t* out) {
    uint8_t b[4];
    if (fread(b, 1, 4, f) != 4) return false;
    *out = static_cast<int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24));
    return true;
}

// The index does not fit the file: nothing read so far is kept.
[[noreturn]] void Damaged(int entry) {
    qzpk_close();
    char msg[256];
    snprintf(msg, sizeof msg, "Error(qzpk_init): This is not an QZPK file (entry %d is damaged).", entry);
    FatalError(msg);
}

[[noreturn]] void Fatal(const char* text) {
    qzpk_close();
    FatalError(text);
}

void FreeTag(QZPKTag* tag) {
    if (!tag) return;
    qzFree(tag->name);
    qzFree(tag);
}

}  // namespace

QZPKTag* qzpk_newtag() {
    if (QZPK->tagCount == QZPK->tagCapacity) {
        int capacity = QZPK->tagCapacity * 2;
        auto** list = static_cast<QZPKTag**>(qzAlloc(capacity * static_cast<int>(sizeof(QZPKTag*)), "qzpk tag list"));
        memcpy(list, QZPK->tags, QZPK->tagCount * sizeof(QZPKTag*));
        qzFree(QZPK->tags);
        QZPK->tags = list;
        QZPK->tagCapacity = capacity;
    }
    auto* tag = static_cast<QZPKTag*>(qzAlloc(sizeof(QZPKTag), "qzpk tag"));
    tag->name = nullptr;
    tag->offset = -1;
    tag->size = -1;
    tag->date = {0, 0};
    QZPK->tags[QZPK->tagCount++] = tag;
    return tag;
}

int qzpk_init(const char* path) {
    qzpk_close();
    QZPK = static_cast<QZPKState*>(qzAlloc(sizeof(QZPKState), "qzpk state"));
    memset(QZPK, 0, sizeof(QZPKState));
    QZPK->tagCapacity = kQZPKInitialTags;
    QZPK->tags = static_cast<QZPKTag**>(
        qzAlloc(kQZPKInitialTags * static_cast<int>(sizeof(QZPKTag*)), "qzpk tag list"));
    g_listTag = nullptr;

    if (!FileExists(path)) return 0;
    QZPK->file = host::OpenFile(path, "rb");
    if (!QZPK->file) Fatal("Error(qzpk_init): QZPK file (binary) wouldn't open");
    int64_t fileSize = host::GetFileSize(path);

    int32_t magic = 0, version = 0, count = 0;
    if (!ReadIndexWord(QZPK->file, &magic) || static_cast<uint32_t>(magic) != kQZPKMagic)
        Fatal("Error(qzpk_init): This is not an QZPK file.");
    if (!ReadIndexWord(QZPK->file, &version) || version != static_cast<int32_t>(kQZPKVersion))
        Fatal("Error(qzpk_init): QZPK version not supported");
    // Every tag takes at least 21 bytes (length, one name byte, four words): a count that cannot fit
    // the file is damage, not a reason to allocate.
    if (!ReadIndexWord(QZPK->file, &count) || count < 0 || count > (fileSize - 12) / 21) Damaged(-1);

    int64_t pos = 12;
    for (int i = 0; i < count; ++i) {
        QZPKTag* tag = qzpk_newtag();
        int32_t len = 0;
        if (!ReadIndexWord(QZPK->file, &len)) Damaged(i);
        pos += 4;
        // The name and the four words after it must lie inside the file.
        if (len < 1 || len > fileSize - pos - 16) Damaged(i);
        tag->name = static_cast<char*>(qzAlloc(len + 1, "qzpk tag name"));
        if (fread(tag->name, 1, len, QZPK->file) != static_cast<size_t>(len)) Damaged(i);
        tag->name[len] = 0;
        pos += len;
        int32_t low = 0, high = 0;
        if (!ReadIndexWord(QZPK->file, &tag->offset) || !ReadIndexWord(QZPK->file, &tag->size) ||
            !ReadIndexWord(QZPK->file, &low) || !ReadIndexWord(QZPK->file, &high))
            Damaged(i);
        pos += 16;
        tag->date.low = static_cast<uint32_t>(low);
        tag->date.high = static_cast<uint32_t>(high);
    }
    QZPK->dataStart = static_cast<int32_t>(pos);
    // A packed file must lie inside the data area, or a read of it would return other bytes or fail.
    for (int i = 0; i < count; ++i) {
        const QZPKTag* t = QZPK->tags[i];
        if (t->offset < 0 || t->size < 0 || pos + t->offset + static_cast<int64_t>(t->size) > fileSize)
            Damaged(i);
    }
    return QZPK->dataStart;
}

void qzpk_close() {
    if (!QZPK) return;
    if (QZPK->file) fclose(QZPK->file);
    for (int i = 0; i < QZPK->streamCount; ++i) {
        QZPKStream* stream = QZPK->streams[i];
        stream->tag = nullptr;
        g_detached.push_back(stream);
    }
    for (int i = 0; i < QZPK->tagCount; ++i) FreeTag(QZPK->tags[i]);
    qzFree(QZPK->tags);
    qzFree(QZPK);
    QZPK = nullptr;
    g_listTag = nullptr;
}

QZPKTag* qzpk_find(const char* path) {
    if (!QZPK || !path) return nullptr;
    char name[kPathSize];
    NormalisePath(path, name);
    for (int i = 0; i < QZPK->tagCount; ++i)
        if (QZPK->tags[i]->name && strcmp(QZPK->tags[i]->name, name) == 0) return QZPK->tags[i];
    return nullptr;
}

QZPKTag* qzpk_firstunder(const char* folder) {
    if (!QZPK || !folder) return nullptr;
    char name[kPathSize];
    NormaliseFolder(folder, name);
    size_t len = strlen(name);
    for (int i = 0; i < QZPK->tagCount; ++i)
        if (IsUnderNormalised(QZPK->tags[i], name, len)) return QZPK->tags[i];
    return nullptr;
}

bool qzpk_isunder(const QZPKTag* tag, const char* folder) {
    if (!folder) return false;
    char name[kPathSize];
    NormaliseFolder(folder, name);
    return IsUnderNormalised(tag, name, strlen(name));
}

int qzpk_tagindex(const QZPKTag* tag) {
    if (!QZPK) return -1;
    for (int i = 0; i < QZPK->tagCount; ++i)
        if (QZPK->tags[i] == tag) return i;
    return -1;
}

QZPKStream* CreateQZPKStream(QZPKTag* tag, int textFlag) {
    if (QZPK->streamCount >= kQZPKMaxStreams) FatalError("Error(CreateQZPKStream): too many streams");
    auto* s = static_cast<QZPKStream*>(qzAlloc(sizeof(QZPKStream), "qzpk stream"));
    memcpy(s->marker, kStreamMarker, sizeof s->marker);
    s->tag = tag;
    s->position = 0;
    s->textFlag = textFlag;
    QZPK->streams[QZPK->streamCount++] = s;
    return s;
}

int qzpk_closestream(QZPKStream* stream) {
    if (FreeDetached(stream) || !QZPK) return 1;
    for (int i = 0; i < QZPK->streamCount; ++i) {
        if (QZPK->streams[i] != stream) continue;
        if (QZPK->positionOwner == stream) QZPK->positionOwner = nullptr;
        qzFree(stream);
        QZPK->streams[i] = QZPK->streams[--QZPK->streamCount];
        QZPK->streams[QZPK->streamCount] = nullptr;
        break;
    }
    return 1;
}

bool qzpk_ispackstream(FILE* f) { return AsStream(f) != nullptr; }

FILE* qzpk_fopen(const char* path, const char* mode) {
    if (!path || !mode) return nullptr;
    bool text = strcmp(mode, "r") == 0;
    if (text || strcmp(mode, "rb") == 0) {
        if (QZPKTag* tag = qzpk_find(path)) return reinterpret_cast<FILE*>(CreateQZPKStream(tag, text ? 1 : 0));
    }
    return host::OpenFile(path, mode);
}

int qzpk_fclose(FILE* f) {
    if (QZPKStream* s = AsStream(f)) return qzpk_closestream(s);
    return host::CloseFile(f);
}

size_t qzpk_fread(void* buffer, size_t size, size_t count, FILE* f) {
    QZPKStream* s = AsStream(f);
    if (!s) return f ? fread(buffer, size, count, f) : 0;
    if (!s->tag) return 0;
    int64_t left = static_cast<int64_t>(s->tag->size) - s->position;
    if (left <= 0 || size == 0 || count == 0) return 0;
    size_t n = count > static_cast<size_t>(left) / size ? static_cast<size_t>(left) : size * count;
    if (!SeekForRead(s)) return 0;
    size_t got = fread(buffer, 1, n, QZPK->file);
    s->position += static_cast<int32_t>(got);
    return got;
}

int qzpk_fseek(FILE* f, long offset, int whence) {
    QZPKStream* s = AsStream(f);
    if (!s) return f ? fseek(f, offset, whence) : -1;
    if (!s->tag) return 0;
    int64_t at = s->position;
    switch (whence) {
        case SEEK_SET: at = offset; break;
        case SEEK_CUR: at = static_cast<int64_t>(s->position) + offset; break;
        case SEEK_END: at = static_cast<int64_t>(s->tag->size) + offset; break;
        default: break;
    }
    if (QZPK->positionOwner == s) QZPK->positionOwner = nullptr;
    // A position before the file's first byte would read the bytes in front of it: it is refused and the
    // stream stays where it was.
    if (at < 0 || at > INT32_MAX) return 0;
    s->position = static_cast<int32_t>(at);
    return 1;
}

long qzpk_ftell(FILE* f) {
    if (QZPKStream* s = AsStream(f)) return s->position;
    return f ? ftell(f) : -1;
}

int qzpk_feof(FILE* f) {
    if (QZPKStream* s = AsStream(f)) return !s->tag || s->position >= s->tag->size ? 1 : 0;
    return f ? feof(f) : 1;
}

int qzpk_fgetc(FILE* f) {
    QZPKStream* s = AsStream(f);
    if (!s) return f ? fgetc(f) : EOF;
    if (!s->tag || s->position < 0 || s->position >= s->tag->size || !SeekForRead(s)) return 0;
    int c = fgetc(QZPK->file);
    if (c == EOF) return 0;
    s->position++;
    return c;
}

int qzpk_exists(const char* path) { return qzpk_find(path) || FileExists(path) ? 1 : 0; }

int qzpk_filesize(const char* path) {
    if (QZPKTag* tag = qzpk_find(path)) return tag->size;
    return GetFileLength(path);
}

int qzpk_isdir(const char* path) {
    if (qzpk_find(path)) return 0;
    if (qzpk_firstunder(path)) return 1;
    return IsDirectory(path);
}

int qzpk_filedate(const char* path, FileTime* date) {
    if (QZPKTag* tag = qzpk_find(path)) {
        if (date) *date = tag->date;
        return 0;
    }
    return GetFileWriteTime(path, date);
}

namespace {

// The name of a tag's entry directly under the folder: the part after the folder, cut at the next
// backslash (a sub-folder is listed by its name).
void EntryName(const QZPKTag* tag, size_t folderLen, char* out, size_t outSize) {
    const char* p = tag->name + folderLen + 1;
    size_t n = 0;
    while (p[n] && p[n] != '\\' && n + 1 < outSize) {
        out[n] = p[n];
        ++n;
    }
    out[n] = 0;
}

}  // namespace

int qzpk_findfiles(const char* folder, int* cursor, char* nameOut, int nameSize) {
    if (!cursor) return 0;
    char norm[kPathSize];
    NormaliseFolder(folder ? folder : "", norm);
    size_t len = strlen(norm);
    QZPKTag* first = qzpk_firstunder(norm);
    if (!first) return FindFiles(folder, cursor, nameOut, nameSize);

    char entry[kPathSize];
    if (*cursor == 0) {
        g_listTag = first;
    } else {
        if (!g_listTag || *cursor < 0) {
            *cursor = -1;
            g_listTag = nullptr;
            return 0;
        }
        char previous[kPathSize];
        EntryName(g_listTag, len, previous, sizeof previous);
        int i = qzpk_tagindex(g_listTag) + 1;
        g_listTag = nullptr;
        for (; i > 0 && i < QZPK->tagCount; ++i) {
            QZPKTag* t = QZPK->tags[i];
            if (!IsUnderNormalised(t, norm, len)) break;
            EntryName(t, len, entry, sizeof entry);
            if (strcmp(entry, previous) != 0) {
                g_listTag = t;
                break;
            }
        }
        if (!g_listTag) {
            *cursor = -1;
            return 0;
        }
    }
    EntryName(g_listTag, len, entry, sizeof entry);
    size_t n = strlen(entry);
    if (nameOut && nameSize > 0) {
        size_t copy = n < static_cast<size_t>(nameSize - 1) ? n : static_cast<size_t>(nameSize - 1);
        memcpy(nameOut, entry, copy);
        nameOut[copy] = 0;
    }
    *cursor += 1;
    return static_cast<int>(n) + 1;
}

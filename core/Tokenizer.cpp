#include "core/Tokenizer.h"

#include <cstdlib>
#include <cstring>

#include "core/Memory.h"
#include "core/Package.h"

namespace {

// Ends the program the way a reader that cannot go on does: exit code 1 and no box. The reason goes to
// the debug print and, so that a user can find the file at fault, to stderr; the exit itself is the
// last step of the fatal road, so a test or a fuzz harness can catch it there.
[[noreturn]] void EndProgram(const char* text) {
    DebugPrintf("%s", text);
    fputs(text, stderr);
    RunFatalExit(text);
}

[[noreturn]] void WordOverflow(const InputStream* s) {
    char msg[512];
    snprintf(msg, sizeof msg, "Error(AppendStr): word overflow in %s line %d\n", s->path, s->line);
    EndProgram(msg);
}

bool AtEnd(const InputStream* s) { return s->cursor >= s->end; }

// Steps over the rest of a quoted string whose opening quote was just read.
void ConsumeQuoted(InputStream* s) {
    while (!AtEnd(s)) {
        char ch = *s->cursor++;
        if (ch == '\\') {
            if (AtEnd(s)) break;
            if (*s->cursor == '\n') s->line++;
            s->cursor++;
            continue;
        }
        if (ch == '\n') s->line++;
        if (ch == '"') break;
    }
}

// Steps over the rest of a comment whose "/*" was just read.
void ConsumeComment(InputStream* s) {
    while (!AtEnd(s)) {
        if (*s->cursor == '*' && s->cursor + 1 < s->end && s->cursor[1] == '/') {
            s->cursor += 2;
            return;
        }
        if (*s->cursor == '\n') s->line++;
        s->cursor++;
    }
}

// Number of backslashes directly in front of p.
int BackslashesBefore(const char* p, const char* start) {
    int n = 0;
    while (p > start && p[-1] == '\\') {
        --p;
        ++n;
    }
    return n;
}

}  // namespace

bool IsBlankChar(char c) { return c == ' ' || c == '\n' || c == '\t'; }

bool IsDelimiterChar(char c) {
    switch (c) {
        case ';': case ',': case '=': case '[': case ']': case '{': case '}': case '(': case ')': case '*':
            return true;
        default:
            return false;
    }
}

void OpenInputStream(const char* path, FILE** fileOut, InputStream* s) {
    if (!path || !qzpk_exists(path)) {
        char msg[512];
        snprintf(msg, sizeof msg, "Error(OpenInputStream): can't open input file %s\n", path ? path : "(null)");
        EndProgram(msg);
    }
    int size = qzpk_filesize(path);
    if (size < 0) size = 0;
    s->buffer = static_cast<char*>(qzAlloc(size > 0 ? size : 1, "textop input file"));
    FILE* f = qzpk_fopen(path, "r");
    size_t got = f ? qzpk_fread(s->buffer, 1, static_cast<size_t>(size), f) : 0;
    s->cursor = s->buffer;
    s->end = s->buffer + got;
    s->line = 1;
    snprintf(s->path, sizeof s->path, "%s", path);
    if (fileOut) *fileOut = f;
}

void CloseInputStream(FILE* file, InputStream* s) {
    if (s) {
        qzFree(s->buffer);
        s->buffer = s->cursor = s->end = nullptr;
    }
    if (file) qzpk_fclose(file);
}

bool AtEndOfStream(const InputStream* s) { return AtEnd(s); }

namespace {

// GetChar, also telling where the character handed back began (the opening quote of a string; the
// character itself after comments and backslash pairs) and the line there.
char ReadChar(InputStream* s, char** start, int32_t* startLine) {
    for (;;) {
        *start = s->cursor;
        *startLine = s->line;
        if (AtEnd(s)) return 0;
        char c = *s->cursor++;
        switch (c) {
            case '\n':
                s->line++;
                return c;
            case '"':
                ConsumeQuoted(s);
                return c;
            case '/':
                if (!AtEnd(s) && *s->cursor == '*') {
                    s->cursor++;
                    ConsumeComment(s);
                    continue;  // a comment reads as nothing
                }
                return c;
            case '\\':
                // The backslash and the character after it are passed over; the one after those two is
                // returned, unless it starts another such pair.
                while (c == '\\') {
                    if (AtEnd(s)) return 0;
                    if (*s->cursor == '\n') s->line++;
                    s->cursor++;
                    if (AtEnd(s)) return 0;
                    c = *s->cursor++;
                }
                *start = s->cursor - 1;
                *startLine = s->line;
                if (c == '\n') s->line++;
                return c;
            default:
                return c;
        }
    }
}

}  // namespace

char GetChar(InputStream* s) {
    char* start;
    int32_t line;
    return ReadChar(s, &start, &line);
}

char UngetChar(InputStream* s) {
    if (s->cursor <= s->buffer) return 0;
    s->cursor--;
    char c = *s->cursor;
    if (c == '\n') {
        s->line--;
    } else if (c == '"') {
        // Back to the opening quote: the nearest quote before this one that no backslash escapes.
        char* p = s->cursor;
        while (p > s->buffer) {
            --p;
            if (*p == '\n') s->line--;
            if (*p == '"' && BackslashesBefore(p, s->buffer) % 2 == 0) break;
        }
        s->cursor = p;
    } else if (c == '/' && s->cursor > s->buffer && s->cursor[-1] == '*') {
        // Back over the whole comment to its "/*", then over one more character.
        char* p = s->cursor - 1;
        while (p > s->buffer) {
            --p;
            if (p[0] == '/' && p[1] == '*') break;
            if (*p == '\n') s->line--;
        }
        s->cursor = p;
        if (s->cursor > s->buffer) {
            s->cursor--;
            if (*s->cursor == '\n') s->line--;
        }
    }
    return s->cursor > s->buffer ? s->cursor[-1] : 0;
}

void AppendStr(char* word, int size, const char* source, int length) {
    if (!word) return;
    if (length < 0 || length > size - 2) EndProgram("Error(AppendStr): word overflow\n");
    memcpy(word, source, static_cast<size_t>(length));
    word[length] = 0;
}

const char* SkipBlanks(InputStream* s, char* word, int size, int* length, char* last) {
    const char* start = s->cursor;
    const char* at = s->cursor;
    char c;
    do {
        at = s->cursor;
        c = GetChar(s);
    } while (IsBlankChar(c));
    if (c == 0 && AtEnd(s)) at = s->end;
    int n = static_cast<int>(at - start);
    if (word) AppendStr(word, size, start, n);
    if (length) *length = n;
    if (last) *last = c;
    return at;
}

const char* ScanWord(InputStream* s, char* word, int size, int* length, char* last) {
    const char* start = s->cursor;
    const char* at;
    char c;
    for (;;) {
        at = s->cursor;
        c = GetChar(s);
        if (c == 0 && AtEnd(s)) {
            at = s->end;
            break;
        }
        if (IsBlankChar(c) || IsDelimiterChar(c)) break;
    }
    int n = static_cast<int>(at - start);
    if (word) AppendStr(word, size, start, n);
    if (length) *length = n;
    if (last) *last = c;
    return at;
}

int ReadToken(InputStream* s, char* word, int size, int* length, char* delimiter) {
    char c = 0, stop = 0, delim = 0;
    const char* begin = SkipBlanks(s, nullptr, 0, nullptr, &c);
    const char* finish = begin;
    if (c == 0 && AtEnd(s) && begin >= s->end) {
        delim = 0;
    } else if (IsDelimiterChar(c)) {
        delim = c;
    } else {
        finish = ScanWord(s, nullptr, 0, nullptr, &stop);
        if (IsDelimiterChar(stop)) {
            delim = stop;
        } else if (IsBlankChar(stop)) {
            delim = stop;
            for (;;) {
                // A word that starts here is left for the next call by going back to exactly where its
                // first character began. (Stepping back with UngetChar guesses what the read passed over:
                // after a stray quote, or a "*/" whose "*" a backslash pair took, it went back before the
                // word, so the same text was read again for ever.)
                char* before;
                int32_t lineBefore;
                char t = ReadChar(s, &before, &lineBefore);
                if (t == 0 && AtEnd(s)) break;  // the text ended: the last blank read is handed back
                if (IsBlankChar(t)) {
                    delim = t;
                    continue;
                }
                if (IsDelimiterChar(t)) {
                    delim = t;
                } else {
                    s->cursor = before;
                    s->line = lineBefore;
                    delim = ' ';
                }
                break;
            }
        } else {
            delim = 0;  // the word runs to the end of the text
        }
    }
    int n = static_cast<int>(finish - begin);
    if (word && n > size - 2) WordOverflow(s);
    if (word) AppendStr(word, size, begin, n);
    if (length) *length = n;
    if (delimiter) *delimiter = delim;
    return n;
}

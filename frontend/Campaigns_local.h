// What the campaign readers, the team list and the progress file's rewrite share: a small text file read
// word by word through the token reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/Tokenizer.h"

// A word file open for one pass. Opening a file that is missing ends the program (the token reader's
// error); the stream is closed when the reader goes out of scope, also when a fatal error unwinds it.
struct WordFile {
    FILE* file = nullptr;
    InputStream stream{};
    char word[kTokenSize] = "";  // the word read last

    explicit WordFile(const char* path) { OpenInputStream(path, &file, &stream); }
    ~WordFile() { CloseInputStream(file, &stream); }
    WordFile(const WordFile&) = delete;
    WordFile& operator=(const WordFile&) = delete;

    bool Ended() const { return AtEndOfStream(&stream); }
    // Reads the next word into word (empty at the end of the stream) and returns it.
    const char* Next() {
        char delimiter = 0;
        ReadToken(&stream, word, sizeof word, nullptr, &delimiter);
        return word;
    }
    bool Is(const char* text) const;
    // Reads words until one equals text; false when the stream ends first.
    bool SkipTo(const char* text);
};

// Decimal integer conversion of a word: optional blanks and sign, then the leading digits; a word without
// them gives 0, and a number beyond the 32-bit range stops at its limit.
int32_t DecimalWord(const char* word);
// Copies text into a field of size bytes, cut to fit and terminated.
void CopyField(char* to, size_t size, const char* text);

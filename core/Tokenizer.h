// The text input stream every text-file reader uses: the whole file is loaded at once and cut into words
// and delimiters. Comments run from "/*" to "*/", a double-quoted string is one character of the stream
// (so it stays inside one word, quotes included), and a backslash joins the character after it into the
// text (a backslash at a line end joins the next line).
#pragma once

#include <cstdint>
#include <cstdio>

constexpr int kTokenSize = 256;  // word buffers of the readers: words of up to 254 characters

struct InputStream {
    char* cursor;    // next character to read
    char* buffer;    // the loaded text ("textop input file"), owned
    char* end;       // just past the last character
    int32_t line;    // 1 at the start; line feeds read raise it, line feeds stepped back over lower it
    char path[256];  // the file's name, for the reports of a stream that cannot go on
};

// Loads a file (from the package or the disk) into the stream; the open file is handed back and kept
// until CloseInputStream. A file that neither holds ends the program with exit code 1.
void OpenInputStream(const char* path, FILE** fileOut, InputStream* stream);
// Frees the text and closes the file.
void CloseInputStream(FILE* file, InputStream* stream);
bool AtEndOfStream(const InputStream* stream);
// The next character after comments, quoted strings and backslashes; 0 at the end of the text.
char GetChar(InputStream* stream);
// Steps back over what one GetChar consumed; returns the character now before the cursor.
char UngetChar(InputStream* stream);
// Reads up to the first non-blank character (consumed, handed out as last). The skipped blanks are
// copied into word when one is given. Returns the position where last began.
const char* SkipBlanks(InputStream* stream, char* word, int size, int* length, char* last);
// Reads up to the first blank or delimiter (consumed, handed out as last; 0 at the end of the text). The
// span read before it is copied into word when one is given. Returns the position where last began.
const char* ScanWord(InputStream* stream, char* word, int size, int* length, char* last);
// Reads one word and the character that ended it: one of ; , = [ ] { } ( ) *, a space when blanks
// separate it from the next word, or a blank or 0 when the text ends. Returns the word's length.
int ReadToken(InputStream* stream, char* word, int size, int* length, char* delimiter);
// Copies length characters and a terminator into word; a span longer than size - 2 ends the program
// with exit code 1.
void AppendStr(char* word, int size, const char* source, int length);

bool IsBlankChar(char c);
bool IsDelimiterChar(char c);

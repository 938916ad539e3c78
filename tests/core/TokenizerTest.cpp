// The text stream: words, delimiters, comments, quoted strings, backslash joins and line counting.
#include <string>
#include <utility>
#include <vector>

#include "CoreTestEnv.h"
#include "core/Tokenizer.h"
#include "tools/datakit/Package.h"

namespace {

using coretest::CoreTest;

struct Token {
    std::string word;
    char delimiter;
};

struct TokenCase {
    const char* what;
    std::string text;
    std::vector<Token> tokens;
    int lineAfter;  // the stream's line once the tokens are read
};

class TokenizerTest : public CoreTest {
protected:
    // Reads the tokens of a file the way the readers do.
    std::vector<Token> ReadAll(const std::string& path, size_t count, int* line, bool* atEnd = nullptr) {
        FILE* f = nullptr;
        InputStream s;
        OpenInputStream(path.c_str(), &f, &s);
        std::vector<Token> out;
        char word[kTokenSize];
        for (size_t i = 0; i < count; ++i) {
            char delim = 'X';
            int len = ReadToken(&s, word, sizeof word, nullptr, &delim);
            EXPECT_EQ(len, static_cast<int>(strlen(word)));
            out.push_back({word, delim});
        }
        *line = s.line;
        if (atEnd) *atEnd = AtEndOfStream(&s);
        CloseInputStream(f, &s);
        return out;
    }
};

TEST_F(TokenizerTest, WordsAndDelimiters) {
    const std::vector<TokenCase> cases = {
        {"name = value ;", "speed = 3.5;\n", {{"speed", '='}, {"3.5", ';'}}, 1},
        {"one blank leaves the next word", "alpha beta\n", {{"alpha", ' '}, {"beta", '\n'}}, 2},
        {"line feeds before a delimiter", "word\n\n;", {{"word", ';'}}, 3},
        {"a semicolon alone", ";", {{"", ';'}}, 1},
        {"every delimiter", "x,y=z[1]{2}(3)*;",
         {{"x", ','}, {"y", '='}, {"z", '['}, {"1", ']'}, {"", '{'}, {"2", '}'}, {"", '('}, {"3", ')'},
          {"", '*'}, {"", ';'}},
         1},
        {"quoted string keeps blanks and quotes", "\"a b\";", {{"\"a b\"", ';'}}, 1},
        {"quoted string between words", "a \"b c\" d;", {{"a", ' '}, {"\"b c\"", ' '}, {"d", ';'}}, 1},
        {"escaped quote inside a string", "\"q\\\"x;\" next;", {{"\"q\\\"x;\"", ' '}, {"next", ';'}}, 1},
        {"line feed inside a string", "\"line\none\" z;", {{"\"line\none\"", ' '}, {"z", ';'}}, 2},
        {"comment between words", "one /* c\nc\n */ two;", {{"one", ' '}, {"two", ';'}}, 3},
        {"two comments in a row", "a /*1*//*2*/ b;", {{"a", ' '}, {"b", ';'}}, 1},
        {"a comment right before a word", "a /*c\n*/b;", {{"a", ' '}, {"b", ';'}}, 2},
        {"slash inside a word", "a/b;", {{"a/b", ';'}}, 1},
        {"backslash joins the next line", "ab\\\ncd;", {{"ab\\\ncd", ';'}}, 2},
        {"tabs separate", "name\t\t1.0\tLEFT_KEY;", {{"name", ' '}, {"1.0", ' '}, {"LEFT_KEY", ';'}}, 1},
        {"a blank before the semicolon ends the name", "key ;\nnext 1;",
         {{"key", ';'}, {"next", ' '}, {"1", ';'}}, 2},
        {"word at the very end", "last", {{"last", 0}}, 1},
        {"empty text", "", {{"", 0}}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = tmp.Write("case.txt", c.text);
        int line = 0;
        std::vector<Token> got = ReadAll(path, c.tokens.size(), &line);
        for (size_t i = 0; i < c.tokens.size(); ++i) {
            EXPECT_EQ(got[i].word, c.tokens[i].word) << "token " << i;
            EXPECT_EQ(got[i].delimiter, c.tokens[i].delimiter) << "token " << i;
        }
        EXPECT_EQ(line, c.lineAfter);
    }
}

TEST_F(TokenizerTest, DiskTextDropsCarriageReturnsButPackageTextKeepsThem) {
    // On disk the file is read in text mode; from the package it is read byte for byte.
    std::string text = "a 1;\r\nb 2;\r\n";
    tmp.Write("disk.txt", text);
    int line = 0;
    auto disk = ReadAll(tmp / "disk.txt", 4, &line);
    EXPECT_EQ(disk[2].word, "b");
    EXPECT_EQ(line, 2);

    datakit::WritePackage(tmp / "p.qzp", {{"text/packed.txt", std::vector<uint8_t>(text.begin(), text.end()), 0}});
    ASSERT_GT(qzpk_init((tmp / "p.qzp").c_str()), 0);
    // The carriage return is no blank: it stands as a word of its own before the line feed.
    auto packed = ReadAll("TEXT/Packed.txt", 4, &line);
    EXPECT_EQ(packed[2].word, "\r");
    EXPECT_EQ(packed[3].word, "b");
}

TEST_F(TokenizerTest, GetCharAndUngetCharStepOverWholeStringsAndComments) {
    std::string path = tmp.Write("chars.txt", "x\"s\nt\"/*c\n*/y\\\nz");
    FILE* f = nullptr;
    InputStream s;
    OpenInputStream(path.c_str(), &f, &s);
    EXPECT_EQ(GetChar(&s), 'x');
    EXPECT_EQ(GetChar(&s), '"');  // the whole string
    EXPECT_EQ(s.line, 2);
    EXPECT_EQ(GetChar(&s), 'y');  // the comment reads as nothing
    EXPECT_EQ(s.line, 3);
    EXPECT_EQ(GetChar(&s), 'z');  // backslash and line feed passed over
    EXPECT_EQ(s.line, 4);
    EXPECT_EQ(GetChar(&s), 0);
    EXPECT_TRUE(AtEndOfStream(&s));
    // Back over z, the joined line feed and backslash one character at a time, then y.
    UngetChar(&s);
    EXPECT_EQ(*s.cursor, 'z');
    UngetChar(&s);
    UngetChar(&s);
    EXPECT_EQ(s.line, 3);
    UngetChar(&s);
    EXPECT_EQ(*s.cursor, 'y');
    // The comment and the character before it (the closing quote) in one step.
    UngetChar(&s);
    EXPECT_EQ(*s.cursor, '"');
    EXPECT_EQ(s.line, 2);
    CloseInputStream(f, &s);
}

// Texts that once made the reader go back before a word it had read and read it again for ever: a
// stray quote (at the end of the text, or one that a backslash pair hands back) and a "*/" whose "*" a
// backslash pair took. Each must be read to its end in a few calls, with the words seen once.
TEST_F(TokenizerTest, EveryTextEndsAfterStrayQuotesAndHalfComments) {
    const std::vector<TokenCase> cases = {
        {"stray quote at the end of the text", "a \"", {{"a", ' '}, {"\"", 0}}, 1},
        {"stray quote at the end of a line", "a b \"\n", {{"a", ' '}, {"b", ' '}, {"\"\n", 0}}, 2},
        // The pair is passed over as before a plain character; the quote then opens a string.
        {"quote after a backslash pair", "a \\x\"b;", {{"a", ' '}, {"\"b;", 0}}, 1},
        {"slash of a star-slash after a backslash pair", "a \\*/b;", {{"a", ' '}, {"/b", ';'}}, 1},
        {"half comment at the end", "x y \\*/", {{"x", ' '}, {"y", ' '}, {"/", 0}}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string path = tmp.Write("stray.txt", c.text);
        FILE* f = nullptr;
        InputStream s;
        OpenInputStream(path.c_str(), &f, &s);
        std::vector<Token> got;
        char word[kTokenSize];
        // A bound well above the number of words: the old reader never got to the end.
        for (int calls = 0; calls < 50 && !AtEndOfStream(&s); ++calls) {
            char delim = 'X';
            ReadToken(&s, word, sizeof word, nullptr, &delim);
            got.push_back({word, delim});
        }
        EXPECT_TRUE(AtEndOfStream(&s));
        ASSERT_EQ(got.size(), c.tokens.size());
        for (size_t i = 0; i < c.tokens.size(); ++i) {
            EXPECT_EQ(got[i].word, c.tokens[i].word) << "token " << i;
            EXPECT_EQ(got[i].delimiter, c.tokens[i].delimiter) << "token " << i;
        }
        EXPECT_EQ(s.line, c.lineAfter);
        CloseInputStream(f, &s);
    }
}

TEST_F(TokenizerTest, WordLimitIs254Characters) {
    std::string fits(254, 'w');
    int line = 0;
    auto got = ReadAll(tmp.Write("fits.txt", fits + ";\n"), 1, &line);
    EXPECT_EQ(got[0].word, fits);

    std::string longWord = tmp.Write("long.txt", "first;\n" + std::string(255, 'w') + ";\n");
    EXPECT_EXIT(
        {
            SetFatalHook(nullptr);  // the plain exit, not the test's throw
            int l = 0;
            ReadAll(longWord, 2, &l);
        },
        ::testing::ExitedWithCode(1), "Error\\(AppendStr\\): word overflow in .*long.txt line 2");
}

TEST_F(TokenizerTest, MissingFileEndsTheProgramNamingIt) {
    std::string missing = tmp / "nowhere.txt";
    EXPECT_EXIT(
        {
            SetFatalHook(nullptr);
            FILE* f = nullptr;
            InputStream s;
            OpenInputStream(missing.c_str(), &f, &s);
        },
        ::testing::ExitedWithCode(1), "Error\\(OpenInputStream\\): can't open input file .*nowhere.txt");
}

}  // namespace

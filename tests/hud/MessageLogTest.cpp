// The message log and the chat line: plain texts split over lines, the eight-line and twenty-file limits,
// ageing, message files typed in by the clock with words kept whole, msg_mode, the box drawn over the
// top of the screen, and the chat line's keys.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/Config.h"
#include "core/Keys.h"
#include "host/Clock.h"
#include "host/Fs.h"
#include "hud/MessageLog.h"
#include "platform/Font.h"
#include "platform/ScreenVertex.h"
#include "platform/SoundFx.h"
#include "render/RenderTables.h"
#include "render/Sky.h"
#include "support/TempDir.h"
#include "support/TextDevice.h"
#include "tools/datakit/MessageFile.h"
#include "game/Startup.h"

namespace {

// Every character is 6 pixels wide at the log's text size (the test font's '?' is 8 wide at 16).
constexpr int kCharWidth = 6;

class MessageLogTest : public ::testing::Test {
protected:
    MessageLogTest() : widthWas_(ScreenWidth), modeWas_(msg_mode) {
        ScreenWidth = 320;
        msg_mode = 1;
        snprintf(rootWas_, sizeof rootWas_, "%s", TEXTROOT);
        snprintf(TEXTROOT, sizeof TEXTROOT, "app\\text");
        snprintf(MissionName, sizeof MissionName, "Test");
        previous_ = std::filesystem::current_path().string();
        host::SetWorkingDirectory(dir_.path().c_str());
        host::UseVirtualClock(2.0);
        ClearMessages();
        EndChatInput();
    }
    ~MessageLogTest() override {
        ClearMessages();
        EndChatInput();
        ScreenWidth = widthWas_;
        msg_mode = modeWas_;
        snprintf(TEXTROOT, sizeof TEXTROOT, "%s", rootWas_);
        MissionName[0] = 0;
        host::SetWorkingDirectory(previous_.c_str());
        host::FlushDirectoryCache();
        host::UseRealClock();
    }
    void MessageFile(const std::string& name, const datakit::MessageFile& m) {
        ASSERT_TRUE(datakit::WriteMessageFile(dir_ / ("app/text/Test/" + name), m));
        host::FlushDirectoryCache();
    }
    // Frames of the log: the clock moves on by 2 hundredths (one character) before each drawing.
    static void Frames(int n) {
        for (int i = 0; i < n; ++i) {
            host::AdvanceVirtualClock();
            DrawMessageLog();
        }
    }
    static std::vector<std::string> Texts() {
        std::vector<std::string> out;
        for (int i = 0; i < MessageLogCount; ++i) out.push_back(MessageLog[i].text);
        return out;
    }
    static std::string Joined() {
        std::string all;
        for (const std::string& t : Texts()) all += t;
        return all;
    }

    kvtest::TextDevice dev_{320, 240};
    kvtest::TempDir dir_;
    int32_t widthWas_;
    int modeWas_;
    char rootWas_[256];
    std::string previous_;
};

TEST_F(MessageLogTest, PlainTextsAreSplitOverLinesHalfTheScreenWide) {
    struct Case {
        int length;        // characters of the text
        int screen;        // pixels
        int lines;
    } cases[] = {
        {0, 320, 1},    // an empty text is one empty line
        {20, 320, 1},   // 120 pixels fit in 160
        {27, 320, 1},   // the character that makes the line wider still goes on it: 162
        {28, 320, 2},
        {80, 320, 3},   // 27 + 27 + 26
        {300, 320, 8},  // more than the log holds: the last eight remain
        {200, 2000, 2},  // a line holds 127 characters however wide the screen
    };
    for (const Case& c : cases) {
        ClearMessages();
        ScreenWidth = c.screen;
        std::string text;
        for (int i = 0; i < c.length; ++i) text += char('a' + i % 26);
        ShowMessage(text.c_str(), "Alpha");
        EXPECT_EQ(MessageLogCount, c.lines) << c.length << " on " << c.screen;
        for (int i = 0; i < MessageLogCount; ++i) {
            EXPECT_STREQ(MessageLog[i].sender, "Alpha ") << "the sender is repeated on every line";
            EXPECT_EQ(MessageLog[i].senderWidth, 6 * kCharWidth);
            EXPECT_EQ(MessageLog[i].timer, kMessageLineTicks);
        }
        if (c.lines < kMessageLogLines) {
            EXPECT_EQ(Joined(), text) << c.length << " on " << c.screen;
        } else {
            EXPECT_EQ(text.substr(text.size() - Joined().size()), Joined()) << "the oldest lines went";
        }
    }
    EXPECT_EQ(MessageArchiveCount, 0) << "a plain text is not archived";
}

TEST_F(MessageLogTest, TheNinthLinePushesTheOldestOutAndOnlyTheOldestAges) {
    for (int i = 1; i <= 9; ++i) ShowMessage(("line " + std::to_string(i)).c_str(), "x");
    ASSERT_EQ(MessageLogCount, kMessageLogLines);
    EXPECT_STREQ(MessageLog[0].text, "line 2");
    EXPECT_STREQ(MessageLog[7].text, "line 9");
    UpdateMessageLog(499);
    EXPECT_EQ(MessageLogCount, 8);
    EXPECT_EQ(MessageLog[0].timer, 1);
    EXPECT_EQ(MessageLog[1].timer, kMessageLineTicks) << "the later lines wait";
    UpdateMessageLog(1);
    ASSERT_EQ(MessageLogCount, 7);
    EXPECT_STREQ(MessageLog[0].text, "line 3");
    EXPECT_EQ(MessageLog[0].timer, kMessageLineTicks) << "the next line gets its full time";
    PopMessage();
    EXPECT_STREQ(MessageLog[0].text, "line 4");
    while (MessageLogCount > 0) PopMessage();
    PopMessage();
    UpdateMessageLog(1000);
    EXPECT_EQ(MessageLogCount, 0);
}

TEST_F(MessageLogTest, AMessageFileIsTypedInAtFiftyCharactersASecond) {
    MessageFile("radio.txt", {40, 200, 90, "Sgt", "Hold the ford.\nThey come."});
    GameDay = 1, GameHour = 10, GameMinute = 31, GameSecond = 7;
    ShowMessage("radio.txt", "ignored");
    ASSERT_EQ(MessageArchiveCount, 1);
    EXPECT_STREQ(MessageArchive[0].name, "radio.txt");
    EXPECT_EQ(MessageArchive[0].clock[1], 10);
    EXPECT_EQ(MessageArchive[0].clock[3], 7);
    EXPECT_STREQ(FX(FXSound::Message)->file, "Test\\radio.wav") << "the speech is the mission's wave file";
    EXPECT_EQ(MessageLogCount, 0) << "nothing is typed before the log is drawn";

    Frames(1);  // the header: the sender in the file's colour, no text yet
    ASSERT_EQ(MessageLogCount, 1);
    EXPECT_STREQ(MessageLog[0].sender, "[Sgt] ");
    EXPECT_EQ(MessageLog[0].colour[0], 40);
    EXPECT_EQ(MessageLog[0].colour[1], 200);
    EXPECT_EQ(MessageLog[0].colour[2], 90);
    EXPECT_STREQ(MessageLog[0].text, "");
    // The step that typed the header did not take the time: the next frame types the two characters of
    // the two frames since the message came, each later frame one.
    Frames(2);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Hol"}));
    Frames(12);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Hold the ford.", ""})) << "a line end starts a line";
    EXPECT_STREQ(MessageLog[1].sender, "");
    Frames(100);
    EXPECT_EQ(Texts(), (std::vector<std::string>{"Hold the ford.", "They come."}));
    EXPECT_EQ(MessageLog[1].timer, kMessageLineTicks);

    // Lines that age out while the file is still typed (a fast game) leave the rest to a new line.
    ShowMessage("radio.txt", "");
    Frames(4);
    for (int i = 0; i < 3; ++i) UpdateMessageLog(kMessageLineTicks);
    ASSERT_EQ(MessageLogCount, 0);
    Frames(3);
    EXPECT_EQ(Texts(), (std::vector<std::string>{" th"})) << "\"Hold\" went with its line";
}

TEST_F(MessageLogTest, TypedLinesBreakBeforeAWordThatWouldNotFit) {
    const std::string text = "alpha bravo charlie delta echo foxtrot golf hotel india juliett kilo lima";
    MessageFile("long.txt", {255, 255, 255, "HQ", text});
    ShowMessage("long.txt", "");
    Frames(200);
    ASSERT_GT(MessageLogCount, 2);
    EXPECT_EQ(Joined(), text) << "every character typed once, the blank before a break kept";
    const int room = ScreenWidth / 2 - 20;
    for (int i = 0; i < MessageLogCount; ++i) {
        const MessageLine& line = MessageLog[i];
        const int width = line.senderWidth + int(std::strlen(line.text)) * kCharWidth;
        EXPECT_LE(width, room + kCharWidth) << line.text;
        if (i > 0) {
            EXPECT_NE(line.text[0], ' ') << "a line starts with its word";
        }
    }
    // A second message finishes the first at once.
    ClearMessageLog();
    MessageFile("short.txt", {1, 2, 3, "HQ", "Go."});
    ShowMessage("long.txt", "");
    ShowMessage("short.txt", "");
    EXPECT_EQ(Joined(), text);
    EXPECT_EQ(MessageArchiveCount, 3);
    Frames(10);
    EXPECT_EQ(Texts().back(), "Go.");
}

TEST_F(MessageLogTest, MsgModeChoosesTypingAndSpeech) {
    MessageFile("a.txt", {9, 9, 9, "A", "Text."});
    struct Case {
        int mode;
        bool typed;
        bool spoken;
    } cases[] = {{0, false, true}, {1, true, true}, {2, true, false}};
    for (const Case& c : cases) {
        ClearMessages();
        msg_mode = c.mode;
        snprintf(FX(FXSound::Message)->file, sizeof FX(FXSound::Message)->file, "none");
        ShowMessage("a.txt", "");
        Frames(20);
        EXPECT_EQ(MessageArchiveCount, 1) << c.mode;
        EXPECT_EQ(MessageLogCount > 0, c.typed) << c.mode;
        EXPECT_EQ(std::string(FX(FXSound::Message)->file) == "Test\\a.wav", c.spoken) << c.mode;
    }
    // A missing file types nothing; its archive entry remains.
    ClearMessages();
    msg_mode = 1;
    ShowMessage("gone.txt", "");
    Frames(20);
    EXPECT_EQ(MessageLogCount, 0);
    EXPECT_EQ(MessageArchiveCount, 1);
}

TEST_F(MessageLogTest, TheArchiveKeepsTheLastTwentyFilesWithTheirTimes) {
    for (int i = 0; i < 21; ++i) {
        GameMinute = i;
        ShowMessage(("m" + std::to_string(i) + ".txt").c_str(), "");
    }
    ASSERT_EQ(MessageArchiveCount, kMessageArchiveSize);
    EXPECT_STREQ(MessageArchive[0].name, "m1.txt");
    EXPECT_EQ(MessageArchive[0].clock[2], 1);
    EXPECT_STREQ(MessageArchive[19].name, "m20.txt");
    EXPECT_EQ(MessageArchive[19].clock[2], 20);
    // Names longer than the field are cut.
    const std::string longName(100, 'n');
    ShowMessage((longName + ".txt").c_str(), "");
    EXPECT_EQ(std::string(MessageArchive[19].name), longName.substr(0, 63));
    ClearMessageLog();
    EXPECT_EQ(MessageArchiveCount, kMessageArchiveSize) << "the teardown keeps the archive";
    ClearMessages();
    EXPECT_EQ(MessageArchiveCount, 0);
}

TEST_F(MessageLogTest, TheBoxCoversTheTopOfTheScreenAndFadesWithTheLastLine) {
    const float heightWas = ScreenHeightF;
    ScreenHeightF = 240.0f;
    host::SetRenderState(dev_.device(), host::RenderState::ZEnable, 0);
    host::SetRenderState(dev_.device(), host::RenderState::CullMode, host::GfxCullNone);
    auto rowLit = [&](int row) {
        int lit = 0;
        for (int x = 0; x < 320; ++x) lit += dev_.Lit(x, row);
        return lit;
    };
    DrawMessageLog();
    EXPECT_EQ(rowLit(2), 0) << "no lines, no box";
    ShowMessage("one", "a");
    ShowMessage("two", "b");
    dev_.Clear();
    DrawMessageLog();
    // Two lines of 15 pixels and 5 more: the box reaches row 34; it spans the middle half.
    EXPECT_TRUE(dev_.Lit(100, 30));
    EXPECT_FALSE(dev_.Lit(100, 40));
    EXPECT_FALSE(dev_.Lit(60, 30));
    EXPECT_FALSE(dev_.Lit(260, 30));
    // The last line fades: its text (the test font draws 'A') darkens as its time runs out.
    ClearMessages();
    ShowMessage("AAAA", "");
    auto textGreen = [&] {
        dev_.Clear();
        DrawMessageLog();
        host::FinishDrawing(dev_.device());
        // The text starts after the sender's blank, 10 pixels into the box, below the top edge.
        return host::ReadPixelArgb(dev_.target(), 80 + 10 + kCharWidth + 2, 9) >> 8 & 0xff;
    };
    const uint32_t full = textGreen();
    MessageLog[0].timer = 8;
    const uint32_t faded = textGreen();
    EXPECT_GT(full, 100u);
    EXPECT_LT(faded, full) << "the last line's text fades out";
    ScreenHeightF = heightWas;
}

class ChatLineTest : public MessageLogTest {
protected:
    ChatLineTest() { InitKeyNames(); }
    ~ChatLineTest() override {
        std::memset(KeyStates, 0, sizeof KeyStates);
        FreeKeyNames();
    }
    // Holds the keys down (all others up) for one reading.
    static void Keys(std::initializer_list<int> down) {
        std::memset(KeyStates, 0, sizeof KeyStates);
        for (int k : down) KeyStates[k] = k < 256 ? 0x80 : 1;
        ChatInputKeys();
    }
    static void Callback(const char* text, intptr_t user) {
        said = text;
        saidUser = user;
    }
    static inline std::string said;
    static inline intptr_t saidUser = 0;
};

TEST_F(ChatLineTest, KeysAreTypedOncePerPressAndEnterHandsTheTextOver) {
    constexpr int A = 30, B = 48, kBackspace = 14, kReturn = 28, kShift = 276;
    said.clear();
    BeginChatInput(Callback, "say:", 7);
    ASSERT_EQ(ChatInputActive, 1);
    BeginChatInput(nullptr, "other", 0);  // already open: nothing changes
    Keys({A});
    Keys({A});  // held: typed once
    Keys({});
    Keys({A, kShift});
    Keys({B});
    EXPECT_STREQ(ChatInputText(), "aAb");
    Keys({kBackspace});
    Keys({kBackspace});  // held: one character
    EXPECT_STREQ(ChatInputText(), "aA");
    Keys({kReturn, B});  // Enter types nothing
    EXPECT_EQ(ChatInputActive, 0);
    EXPECT_EQ(said, "aA");
    EXPECT_EQ(saidUser, 7);
    Keys({A});
    EXPECT_EQ(said, "aA") << "a closed line reads no keys";
}

TEST_F(ChatLineTest, TheLineHoldsAtMost127Characters) {
    constexpr int A = 30, kDelete = 211;
    BeginChatInput(Callback, "say:", 0);
    for (int i = 0; i < 130; ++i) {
        Keys({A});
        Keys({});
    }
    EXPECT_EQ(std::strlen(ChatInputText()), 127u);
    Keys({kDelete});
    EXPECT_EQ(std::strlen(ChatInputText()), 126u);
    EndChatInput();
    EXPECT_EQ(ChatInputActive, 0);
}

}  // namespace

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/Dialog.h"
#include "objects/Itfc.h"
#include "support/DebugCapture.h"
#include "support/Fatal.h"
#include "support/MemTrack.h"
#include "world/Construct.h"

namespace {

uintptr_t Alpha_itfc(construct*, ItfcMethod method, uintptr_t) {
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>("GiantElem");
    return ItfcUnknownMethod("GiantElem", method);
}
uintptr_t Beta_itfc(construct*, ItfcMethod method, uintptr_t) {
    if (method == ItfcMethod::GETNAME) return reinterpret_cast<uintptr_t>("EMAJeep");
    return ItfcUnknownMethod("EMAJeep", method);
}

// Puts dispatchers into registry slots for one test and restores the table afterwards.
class RegistrySlots {
public:
    RegistrySlots() { std::memcpy(saved_, ItfcRegistry, sizeof saved_); }
    ~RegistrySlots() { std::memcpy(ItfcRegistry, saved_, sizeof saved_); }

private:
    ItfcProc saved_[kItfcSlotCount];
};

TEST(Itfc, EveryFilledSlotAnswersWithItsSlotName) {
    // A type placed in the wrong slot would be found under another name by the units file.
    for (int i = 0; i < kItfcSlotCount; ++i) {
        if (!ItfcRegistry[i]) continue;
        if (i == kItfcNamedSlotCount) {
            // The first slot past the units file's types holds the test wave, which the movie camera finds
            // by its name.
            EXPECT_STREQ(ItfcName(ItfcRegistry[i]), "Wave");
            continue;
        }
        ASSERT_LT(i, kItfcNamedSlotCount) << "slots from 49 on stay empty";
        EXPECT_STREQ(ItfcName(ItfcRegistry[i]), ItfcSlotNames[i]) << "slot " << i;
    }
}

TEST(Itfc, NamedItfcComparesNamesExactly) {
    RegistrySlots slots;
    kvtest::FatalCatcher fatal;
    ItfcRegistry[26] = Alpha_itfc;
    ItfcRegistry[4] = Beta_itfc;
    EXPECT_EQ(NamedItfc("GiantElem"), Alpha_itfc);
    EXPECT_EQ(NamedItfc("EMAJeep"), Beta_itfc);
    EXPECT_EQ(FindItfc("emajeep"), nullptr);

    struct Case {
        const char* name;
    } missing[] = {{"emajeep"}, {"EMAJeep "}, {"EMAJee"}, {""}, {"GiantElem_itfc"}};
    for (const auto& c : missing) {
        try {
            NamedItfc(c.name);
            ADD_FAILURE() << "no fatal error for '" << c.name << "'";
        } catch (const kvtest::FatalExit& e) {
            EXPECT_STREQ(e.what(), "Error(NamedItfc): unknown itfc");
        }
    }
}

TEST(Itfc, UnknownMethodAnswersZeroWithDebugLine) {
    kvtest::DebugCapture debug;
    EXPECT_EQ(Beta_itfc(nullptr, static_cast<ItfcMethod>(62), 7), 0u);
    EXPECT_EQ(Beta_itfc(nullptr, static_cast<ItfcMethod>(200), 7), 0u);
    EXPECT_EQ(debug.text(), "EMAJeep: uk method 62\nEMAJeep: uk method 200\n");
}

TEST(Itfc, DataBlockCopiesCarryTheTypesPurposeAndSize) {
    kvtest::MemTrack track;
    construct* con = CreateConstruct(0, 0);
    auto* block = static_cast<uint8_t*>(AllocItfcData(con, 40));
    for (int i = 0; i < 40; ++i) EXPECT_EQ(block[i], 0) << "the block is cleared";
    for (int i = 0; i < 40; ++i) block[i] = static_cast<uint8_t>(i * 3);
    EXPECT_EQ(track.Live("itfc data"), 1);

    int32_t size = -1;
    auto* copy = reinterpret_cast<uint8_t*>(
        CopyItfcDataBlock(block, 40, "EMAJeep", reinterpret_cast<uintptr_t>(&size)));
    EXPECT_EQ(size, 40);
    EXPECT_EQ(std::memcmp(copy, block, 40), 0);
    EXPECT_EQ(track.Live("EMAJeep data block"), 1);
    qzFree(copy);
    FreeConstruct(con);
    EXPECT_EQ(track.Live(), 0) << "the construct frees its type data block";
}

}  // namespace

// A front end without a display: the menu texts of the demo read into the rule list, a screen of the
// given size, the virtual clock (so that the transitions take frames, not time), and every widget freed
// afterwards.
#pragma once

#include <gtest/gtest.h>

#include "core/Rules.h"
#include "frontend/Frontend.h"
#include "host/Clock.h"
#include "render/RenderTables.h"
#include "support/Fatal.h"

namespace kvtest {

class FrontendTest : public ::testing::Test {
protected:
    explicit FrontendTest(int width = 800, int height = 600) : widthWas_(ScreenWidth), heightWas_(ScreenHeight) {
        ScreenWidth = width;
        ScreenHeight = height;
        host::UseVirtualClock(2.0);
        ReadRules(KV_SOURCE_DIR "/data/app/text/Menu.txt");
    }
    ~FrontendTest() override {
        FreeWidgets();
        FreeScreenBackground(&ScreenBackground);
        OpenMsgBox = -1;
        DraggedSlider = -1;
        MenuScreen = 0;
        FreeRules();
        host::UseRealClock();
        ScreenWidth = widthWas_;
        ScreenHeight = heightWas_;
    }
    FatalCatcher fatal_;
    int widthWas_, heightWas_;
};

}  // namespace kvtest

// WAV files: loaded as a sample, then played as a one-shot sound on the null audio device and streamed
// for a few frames.
#include "core/Config.h"
#include "fuzz/FuzzSupport.h"
#include "host/Audio.h"
#include "host/Clock.h"
#include "host/Window.h"
#include "platform/Sound.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kvfuzz::Setup();
    static bool once = [] {
        host::SetHeadless(true);
        use_directsound3d = 0;
        dxgl_SetStreamFormat(1, 22050, 16);
        dxgl_SetSoundFolder("sound");
        dxgl_SetMasterVolume(1.0f, 1.0f);
        dxgl_EnableSound();
        dxgl_InitDS();
        return true;
    }();
    (void)once;
    kvfuzz::Mount("sound/fx.wav", data, size);
    kvfuzz::Run([] {
        dxgl_SoundStreamBuffer* sample = dxgl_LoadWave("sound\\fx.wav");
        dxgl_FreeSound(&sample);
        if (dxgl_SoundStreamBuffer* b = dxgl_PlaySample("fx.wav", kSoundOneShot, 0, 0, 0)) {
            (void)b;
            for (int frame = 0; frame < 8; ++frame) {
                host::AdvanceVirtualClock();
                dxgl_UpdateStreams();
            }
        }
        dxgl_PauseAllSounds();
    });
    // The next input starts with every stream free again.
    dxgl_ReleaseAllSounds();
    dxgl_InitDS();
    qzpk_close();
    return 0;
}

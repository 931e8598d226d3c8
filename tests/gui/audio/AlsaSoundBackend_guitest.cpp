#include "gui/audio/AlsaSoundBackend.h"
#include "engine/sound/WavHeader.h"
#include "support/GuiFixture.h"
#include "support/TestWav.h"

// ALSA's "null" device takes samples without any hardware, as fast as they come.
TEST(AlsaBackendTest, PlaysOnItsOwnThreadLoopsStopsAndFailsQuietlyOnWhatItCannotUse) {
    auto* alsa = new AlsaSoundBackend("null");
    wxSoundBackend* const previous = replaceSoundBackend(alsa);
    // Silent 16 kHz mono sounds, as the play image makes them.
    const std::string bytes = testwav::wav(std::vector<int16_t>(1600), 1, 16000),
                      wide = testwav::header({1, 1, 16000, 24}, 200) + std::string(200, '\0');
    // The sound goes at once; its data may still play.
    EXPECT_TRUE(wxSound(bytes.size(), bytes.data()).Play(wxSOUND_ASYNC | wxSOUND_LOOP));
    EXPECT_TRUE(alsa->IsPlaying() && wxSound::IsPlaying());
    wxSound::Stop();
    EXPECT_FALSE(wxSound::IsPlaying());
    // Without the loop flag the sound ends by itself; synchronous play returns when done.
    wxSound once(bytes.size(), bytes.data());
    EXPECT_TRUE(once.Play(wxSOUND_ASYNC));
    EXPECT_TRUE(pumpUntil([&] { return !alsa->IsPlaying(); }, std::chrono::seconds(10)));
    EXPECT_TRUE(once.Play(wxSOUND_SYNC) && !alsa->IsPlaying());

    // 24 bits is no device format.
    wxSound tooWide(wide.size(), wide.data());
    EXPECT_TRUE(tooWide.IsOk() && !tooWide.Play(wxSOUND_ASYNC) && !alsa->IsPlaying());

    // The device gets every sample once, in order: ALSA's "file" device keeps what reaches it.
    const std::string ramp = testwav::wav(testwav::ramp(3000), 1, 16000);
    testwav::TempFile out("", "out.raw");
    delete replaceSoundBackend(new AlsaSoundBackend("file:'" + out.path + "',raw"));
    EXPECT_TRUE(wxSound(ramp.size(), ramp.data()).Play(wxSOUND_SYNC));
    EXPECT_TRUE(slurp(out.path) == ramp.substr(kWavHeaderBytes))
        << "other bytes reached the device";

    delete replaceSoundBackend(new AlsaSoundBackend("no-such-device"));
    EXPECT_FALSE(currentSoundBackend()->IsAvailable() || once.Play(wxSOUND_ASYNC) ||
                 wxSound::IsPlaying());
    delete replaceSoundBackend(previous);
}

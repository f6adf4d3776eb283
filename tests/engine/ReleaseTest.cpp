// Release while texts are being spoken: it returns, and afterwards nothing
// more is written and nothing half-written is left.
#include "EngineFixture.h"
#include "ProcessProbe.h"
#include "WavFile.h"

namespace parlune::test {
namespace {

class Release : public EngineFixture {};

TEST_F(Release, DuringSpeechStopsAndLeavesOnlyCompleteFiles) {
    // A first handle, so that threads made once per process (a sanitizer's
    // own) exist before counting.
    release(create());
    const size_t threads = ProcessProbe::threadCount();
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    // Ten texts of some minutes of speech each take the worker seconds.
    std::string longText;
    while (longText.size() < 3000) {
        longText += "Release must stop this long text in the middle of it. ";
    }
    constexpr int kTexts = 10;
    for (int i = 0; i < kTexts; ++i) {
        ASSERT_EQ(ParluneDa_Play(h, longText.c_str(), 100, 0, 0, 0), PARLUNE_DA_OK);
    }
    release(h);

    // Nothing that could still write is left: no helper, no thread.
    std::vector<std::string> atRelease = m_wavDir.names();
    EXPECT_TRUE(ProcessProbe::children().empty()) << "helper not reaped";
    EXPECT_EQ(ProcessProbe::threadCount(), threads) << "a thread outlived Release";

    std::vector<std::string> wavs = m_wavDir.namesEndingIn(".wav");
    EXPECT_LT(wavs.size(), static_cast<size_t>(kTexts));
    EXPECT_EQ(atRelease.size(), 2 * wavs.size()) << "temporary or unpaired files left";
    for (const std::string& wav : wavs) {
        EXPECT_TRUE(WavFile(m_wavDir.file(wav)).valid()) << wav;
    }
    EXPECT_EQ(ParluneDa_Play(h, "After release.", 100, 0, 0, 0), PARLUNE_DA_E_HANDLE);
}

TEST_F(Release, RightAfterCreateAndOfManyHandles) {
    std::vector<ParluneDaHandle> handles;
    for (int i = 0; i < 4; ++i) {
        handles.push_back(create());
        ASSERT_NE(handles.back(), nullptr);
        ASSERT_EQ(ParluneDa_Play(handles.back(), "Several at once.", 100, 0, 0, 0), PARLUNE_DA_OK);
    }
    EXPECT_EQ(ProcessProbe::helpers().size(), handles.size());
    for (ParluneDaHandle h : handles) {
        release(h);
    }
    EXPECT_TRUE(ProcessProbe::children().empty());
}

}  // namespace
}  // namespace parlune::test

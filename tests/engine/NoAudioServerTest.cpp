// With no audio server to reach, the failure reaches the caller once, through
// the Play after the text that could not be played.
#include <stdlib.h>

#include "EngineFixture.h"

namespace parlune::test {
namespace {

class NoAudioServer : public EngineFixture {};

TEST_F(NoAudioServer, IsReportedOnceByTheNextPlay) {
    TempDir runtime;
    ::unsetenv("PARLUNE_AUDIO");
    ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
    ::setenv("PULSE_SERVER", ("unix:" + runtime.file("nobody-listens")).c_str(), 1);

    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr) << "the engine starts without an audio server";
    EXPECT_EQ(ParluneDa_Play(h, "Nobody hears this.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_EQ(waitForFailure(h), PARLUNE_DA_E_AUDIO);
    // The next text is accepted again. Its result may already report the
    // failure of an empty text queued while waiting: every text fails here.
    // That one failure is reported once is shown with a sink that recovers
    // (WavOutput.AFailedWriteIsReportedOnceAndLaterTextsAreWritten).
    const int again = ParluneDa_Play(h, "Try again.", 100, 0, 0, 0);
    EXPECT_TRUE(again == PARLUNE_DA_OK || again == PARLUNE_DA_E_AUDIO) << again;
}

}  // namespace
}  // namespace parlune::test

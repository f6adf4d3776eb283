// A helper that stops reading, talks nonsense or never answers: each shows
// as a synthesis failure, and the process is not hurt (no SIGPIPE).
#include <signal.h>
#include <stdlib.h>

#include "EngineFixture.h"
#include "ProcessProbe.h"

namespace parlune::test {
namespace {

class HelperMisbehaviour : public EngineFixture, public ::testing::WithParamInterface<const char*> {
  protected:
    void SetUp() override {
        EngineFixture::SetUp();
        ::setenv("PARLUNE_HELPER", PARLUNE_FAKE_HELPER, 1);
        ::setenv("PARLUNE_HELPER_TIMEOUT_MS", "300", 1);
        ::setenv("FAKE_HELPER_MODE", GetParam(), 1);
    }
};

TEST_P(HelperMisbehaviour, SkipsTheTextWithoutFailingAPlay) {
    struct sigaction before {};
    ASSERT_EQ(::sigaction(SIGPIPE, nullptr, &before), 0);

    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ParluneDa_Play(h, "Nobody reads this.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_TRUE(waitForSkipped(h, 1));
    // The replacement misbehaves the same way; still no Play fails.
    EXPECT_EQ(ParluneDa_Play(h, "Nor this.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_TRUE(waitForSkipped(h, 2));
    EXPECT_EQ(ParluneDa_Play(h, "", 100, 0, 0, 0), PARLUNE_DA_OK);
    release(h);

    struct sigaction after {};
    ASSERT_EQ(::sigaction(SIGPIPE, nullptr, &after), 0);
    EXPECT_EQ(after.sa_handler, before.sa_handler) << "SIGPIPE disposition changed";
    EXPECT_TRUE(m_wavDir.namesEndingIn(".wav").empty());
}

// A helper that ended while idle but is noticed only when the next text is
// sent to it (here: one that stops reading): the text goes to a fresh helper.
class HelperGoneUnnoticed : public EngineFixture {};

TEST_F(HelperGoneUnnoticed, TheWaitingTextGoesToAFreshHelper) {
    TempDir marks;
    ::setenv("PARLUNE_HELPER", PARLUNE_FAKE_HELPER, 1);
    ::setenv("FAKE_HELPER_MODE", "deaf-once", 1);
    ::setenv("FAKE_HELPER_MARK", marks.file("deaf").c_str(), 1);
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(ParluneDa_Play(h, "Sent twice, spoken once.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_FALSE(waitForUtterance("Sent twice, spoken once.").empty());
    EXPECT_EQ(ParluneDa_SkippedTexts(h), 0);
    release(h);
    ::unsetenv("FAKE_HELPER_MODE");
    ::unsetenv("FAKE_HELPER_MARK");
}

// A helper that ended while a program it started still holds its socket: no
// end of file tells, its process does. The next text goes to a fresh helper.
TEST_F(HelperGoneUnnoticed, AHelperWhoseSocketOutlivesItIsReplacedToo) {
    TempDir marks;
    ::setenv("PARLUNE_HELPER", PARLUNE_FAKE_HELPER, 1);
    ::setenv("PARLUNE_HELPER_TIMEOUT_MS", "2000", 1);
    ::setenv("FAKE_HELPER_MODE", "gone-once", 1);
    ::setenv("FAKE_HELPER_MARK", marks.file("gone").c_str(), 1);
    ParluneDaHandle h = create();
    ASSERT_NE(h, nullptr);
    // Only once it has ended: a text sent before could have been its last.
    const pid_t first = static_cast<pid_t>(std::atoi(readFile(marks.file("gone")).c_str()));
    ASSERT_GT(first, 0);
    bool ended = false;
    for (int i = 0; i < 500 && !ended; ++i, pause(10)) {
        ended = true;
        for (const ProcessProbe::Child& child : ProcessProbe::children()) {
            ended = ended && (child.pid != first || child.state == 'Z');
        }
    }
    ASSERT_TRUE(ended);
    ASSERT_EQ(ParluneDa_Play(h, "Not for the one that left.", 100, 0, 0, 0), PARLUNE_DA_OK);
    EXPECT_FALSE(waitForUtterance("Not for the one that left.").empty());
    EXPECT_EQ(ParluneDa_SkippedTexts(h), 0);
    release(h);
    ::unsetenv("FAKE_HELPER_MODE");
    ::unsetenv("FAKE_HELPER_MARK");
}

INSTANTIATE_TEST_SUITE_P(Modes, HelperMisbehaviour, ::testing::Values("deaf", "garbage", "silent"));

}  // namespace
}  // namespace parlune::test

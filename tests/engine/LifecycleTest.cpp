// Many Create/Release cycles leave no thread, descriptor, process or memory
// behind.
#include "EngineFixture.h"
#include "ProcessProbe.h"
#include "support/Sanitizers.h"

namespace parlune::test {
namespace {

class Lifecycle : public EngineFixture {
  protected:
    void cycle() {
        ParluneDaHandle h = ParluneDa_Create();
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(ParluneDa_Play(h, "Cycle.", 100, 0, 0, 0), PARLUNE_DA_OK);
        ParluneDa_Release(h);
    }
};

TEST_F(Lifecycle, FiveHundredCyclesLeaveNothingBehind) {
    ::setenv("PARLUNE_AUDIO", "null", 1);
    for (int i = 0; i < 20; ++i) {
        cycle();  // warm up allocator and lazily loaded libraries
    }
    const size_t threads = ProcessProbe::threadCount();
    const size_t fds = ProcessProbe::openFdCount();
    const long rssKb = ProcessProbe::residentKb();

    // 500 cycles; a sanitizer build, many times slower per cycle, runs 100.
    const int cycles = testsupport::rounds(500, 100);
    for (int i = 0; i < cycles && !HasFailure(); ++i) {
        cycle();
    }
    EXPECT_EQ(ProcessProbe::threadCount(), threads);
    EXPECT_EQ(ProcessProbe::openFdCount(), fds);
#if defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer keeps freed memory in quarantine, so RSS grows here;
    // its leak checker looks at memory instead when the process ends.
    (void)rssKb;
#else
    EXPECT_LT(ProcessProbe::residentKb() - rssKb, 8 * 1024) << "resident memory grew";
#endif
    EXPECT_TRUE(ProcessProbe::children().empty()) << "helper processes or zombies left";
}

}  // namespace
}  // namespace parlune::test

// The engine's C functions when memory runs out: an allocation fails at each
// step of ParluneDa_Create and ParluneDa_Play in turn. The calls answer with
// their result codes (NULL and a reason, PARLUNE_DA_E_QUEUE_FULL); no C++
// exception reaches the caller, and nothing is left behind.
//
// The process's allocation functions are replaced here, so this is a test
// program of its own; only allocations of the test's thread are made to fail.
#include <cstdlib>
#include <new>

#include "EngineFixture.h"
#include "ProcessProbe.h"

namespace {

// Allocations to let through before one fails; negative: none fails.
thread_local long t_allowed = -1;
thread_local bool t_failed = false;

void* allocate(std::size_t size) {
    if (t_allowed == 0) {
        t_allowed = -1;
        t_failed = true;
        throw std::bad_alloc();
    }
    if (t_allowed > 0) --t_allowed;
    void* p = std::malloc(size != 0 ? size : 1);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

// Makes the allocation after `allowed` more of this thread fail.
void failAfter(long allowed) {
    t_failed = false;
    t_allowed = allowed;
}

// Ends the injection; true when an allocation was made to fail.
bool injected() {
    t_allowed = -1;
    return t_failed;
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace parlune::test {
namespace {

// Far more allocations than one call makes; reaching it means the injection
// never got past the call.
constexpr long kMostAllocations = 20000;

class AllocationFailure : public EngineFixture {
  protected:
    void SetUp() override {
        EngineFixture::SetUp();
        ::setenv("PARLUNE_AUDIO", "null", 1);
    }
};

TEST_F(AllocationFailure, CreateAnswersNullWithAReasonAtEveryFailedStep) {
    // Warm up lazily loaded libraries and the registry.
    release(create());
    const size_t threads = ProcessProbe::threadCount();
    const size_t fds = ProcessProbe::openFdCount();

    long allowed = 0;
    for (; allowed < kMostAllocations; ++allowed) {
        ParluneDaHandle handle = nullptr;
        bool threw = false;
        failAfter(allowed);
        try {
            handle = ParluneDa_Create();
        } catch (...) {
            threw = true;
        }
        const bool failed = injected();
        ASSERT_FALSE(threw) << "an exception left ParluneDa_Create, allocation " << allowed;
        if (handle == nullptr) {
            ASSERT_TRUE(failed) << "no engine without a failure, allocation " << allowed;
            EXPECT_STRNE("", ParluneDa_CreateError()) << "allocation " << allowed;
            continue;
        }
        // A handle given out works.
        EXPECT_EQ(PARLUNE_DA_OK, ParluneDa_Play(handle, "Still here.", 100, 0, 0, 0));
        ParluneDa_Release(handle);
        if (!failed) break;
    }
    EXPECT_LT(allowed, kMostAllocations);
    EXPECT_GT(allowed, 0);
    EXPECT_EQ(threads, ProcessProbe::threadCount());
    EXPECT_EQ(fds, ProcessProbe::openFdCount());
    EXPECT_TRUE(ProcessProbe::helpers().empty());
}

TEST_F(AllocationFailure, PlayAnswersQueueFullAndTheEngineGoesOn) {
    ParluneDaHandle handle = create();
    ASSERT_NE(nullptr, handle);
    ASSERT_EQ(PARLUNE_DA_OK, ParluneDa_EnableEvents(handle));
    const std::string text = "A text " + std::string(1000, 'a') + ".";
    long allowed = 0;
    for (; allowed < kMostAllocations; ++allowed) {
        int result = -1;
        bool threw = false;
        failAfter(allowed);
        try {
            result = ParluneDa_Play(handle, text.c_str(), 100, 0, 0, 0);
        } catch (...) {
            threw = true;
        }
        const bool failed = injected();
        ASSERT_FALSE(threw) << "an exception left ParluneDa_Play, allocation " << allowed;
        if (!failed) {
            EXPECT_EQ(PARLUNE_DA_OK, result);
            break;
        }
        // A failed step keeps nothing: the text is not queued.
        ASSERT_EQ(PARLUNE_DA_E_QUEUE_FULL, result) << "allocation " << allowed;
    }
    EXPECT_LT(allowed, kMostAllocations);
    EXPECT_GT(allowed, 0);
    EXPECT_EQ(PARLUNE_DA_OK, ParluneDa_Play(handle, "Afterwards.", 100, 0, 0, 0));
    // The one text taken in the loop and this one, numbered 1 and 2, both
    // spoken: the refused attempts left no trace in the queue.
    std::vector<uint64_t> finished;
    for (const ParluneDaEvent& e : eventsThrough(handle, 2)) {
        if (e.kind == PARLUNE_DA_EVENT_FINISHED) finished.push_back(e.text);
    }
    EXPECT_EQ(finished, (std::vector<uint64_t>{1, 2}));
    EXPECT_EQ(0, ParluneDa_SkippedTexts(handle));
}

TEST_F(AllocationFailure, PlayThatFailsTakesNoNumberFromTheEvents) {
    ParluneDaHandle handle = create();
    ASSERT_NE(nullptr, handle);
    ASSERT_EQ(PARLUNE_DA_OK, ParluneDa_EnableEvents(handle));
    uint64_t accepted = 0;
    for (long allowed = 0; allowed < 40; ++allowed) {
        failAfter(allowed);
        const int result = ParluneDa_Play(handle, "Numbered.", 100, 0, 0, 0);
        injected();
        ASSERT_TRUE(result == PARLUNE_DA_E_QUEUE_FULL || result == PARLUNE_DA_OK) << result;
        accepted += result == PARLUNE_DA_OK ? 1 : 0;
    }
    ASSERT_GT(accepted, 0u);
    // Every accepted text, and only those, numbered 1.. in order.
    std::vector<uint64_t> queued, ended;
    for (const ParluneDaEvent& e : eventsThrough(handle, accepted)) {
        if (e.kind == PARLUNE_DA_EVENT_QUEUED) queued.push_back(e.text);
        if (e.kind == PARLUNE_DA_EVENT_FINISHED) ended.push_back(e.text);
    }
    std::vector<uint64_t> expected;
    for (uint64_t t = 1; t <= accepted; ++t) expected.push_back(t);
    EXPECT_EQ(queued, expected);
    EXPECT_EQ(ended, expected);
}

}  // namespace
}  // namespace parlune::test

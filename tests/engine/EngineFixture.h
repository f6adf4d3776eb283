// Base of the engine tests: a clean PARLUNE_* environment with output to a
// fresh WAV directory, handles released at the end, and polling helpers.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ParluneDa.h"
#include "WavFile.h"
#include "support/TempDir.h"

namespace parlune::test {

using testsupport::TempDir;

class EngineFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // ParluneDa_Create, released in TearDown unless released before.
    ParluneDaHandle create();
    void release(ParluneDaHandle handle);

    // Waits until the WAV directory holds at least `count` .wav files and
    // returns their names; fails the test after a generous deadline.
    std::vector<std::string> waitForWavs(size_t count, int deadlineSeconds = 60);
    // Waits for a .wav whose .txt holds exactly `text`; returns its base
    // name (NNNNNN) or "" after the deadline.
    std::string waitForUtterance(const std::string& text);
    // Base names (NNNNNN) of the utterances whose .txt holds `text`.
    std::vector<std::string> utterancesOf(const std::string& text);
    // Plays empty texts until Play reports something other than OK (or the
    // deadline passes) and returns that result.
    int waitForFailure(ParluneDaHandle handle);
    // Speaks each text at `speed` on one fresh handle (created from the
    // environment as it is now, released afterwards) and returns the WAV
    // files in order; empty when the handle could not be created.
    std::vector<WavFile> spoken(const std::vector<std::string>& texts, int speed = 100);
    // Waits until the handle has skipped at least `count` texts; false after
    // the deadline.
    bool waitForSkipped(ParluneDaHandle handle, int64_t count);
    // Takes the handle's events as they fall due until the IDLE that follows
    // the final event of text `last`, and returns all it took; after the
    // deadline, what it took so far.
    std::vector<ParluneDaEvent> eventsThrough(ParluneDaHandle handle, uint64_t last,
                                              int deadlineSeconds = 60);

    TempDir m_wavDir;

  private:
    std::vector<ParluneDaHandle> m_handles;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_locale;
};

// Sleeps a little between polls.
void pause(int milliseconds);

}  // namespace parlune::test

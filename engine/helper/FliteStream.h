// flite's CG synthesis (its Wave_Synth stage for the rms, slt and awb
// voices) made to stream within a sentence. flite predicts every frame's
// parameters, smooths the whole track and only then starts the vocoder, so
// a long sentence's first sound waits for all of it. Here the frames are
// predicted in order, smoothed as soon as the frames a step reads are known,
// and vocoded block by block with the vocoder's state kept: the first
// samples go out after the first block and a look-ahead margin.
//
// The samples are flite's own: each frame's prediction reads only the
// utterance's structure; the F0 contour of a syllable is made once its
// frames and the next syllable's middle are known; the vocoder is flite's,
// called frame by frame in flite's order (so its noise takes the same
// values from rand()). The one approximation is the parameter smoothing
// (flite solves one banded system over the whole sentence): its factoring
// and forward pass are exact frame by frame, the backward pass starts
// `marginFrames` after the block instead of at the sentence's end, and what
// that changes fades by orders of magnitude within the margin.
#pragma once

struct cst_voice_struct;
struct cst_utterance_struct;

namespace parlune::helper::flitestream {

struct Options {
    int firstFrames = 20;    // frames (5 ms) vocoded before the first look at the next
    int blockFrames = 40;    // frames vocoded per later block
    int marginFrames = 100;  // frames predicted past a block before it is vocoded
};

// Whether the voice synthesises with flite's CG models in a shape this
// synthesis reproduces (smoothing on, an odd delta window).
bool supports(const cst_voice_struct* voice);

// Makes `voice` synthesise through stream() (`streamed`) or through flite's
// own cg_synth; returns false, changing nothing, when the voice is not
// supported. flite's voices are one per process, whoever registers them:
// the choice holds for every user of the voice until the next one.
bool choose(cst_voice_struct* voice, bool streamed);

// For all voices of the process (flite synthesises on one thread).
void setOptions(const Options& options);
Options options();

// The Wave_Synth step: the utterance's wave, passed on through the voice's
// "streaming_info" callback as it is made, exactly as flite's cg_synth does.
cst_utterance_struct* stream(cst_utterance_struct* utt);

}  // namespace parlune::helper::flitestream

/* flite's own CG synthesis steps, compiled from its source (see
   FliteCgSteps.c), for the streaming synthesis in FliteStream.cpp. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

/* flite's CG header has no C++ guard of its own. */
#include <flite/cst_cg.h>

/* Puts the HMM states and the frame items (relation "mcep") below the
   utterance's segments and sets "param_track_num_frames". */
void parlune_cg_make_frames(cst_utterance* utt);

/* The rest of flite's own cg_synth after parlune_cg_make_frames: the whole
   track predicted, smoothed and vocoded. */
void parlune_cg_finish(cst_utterance* utt);

/* Model vector `f` of parameter model `pm`, unpacked into `v`
   (num_channels[pm] values). */
void parlune_cg_unpack(cst_cg_db* db, int pm, int f, float* v);

/* Whether frame item `mcep` is voiced (reads its "voicing" feature). */
int parlune_cg_voiced(cst_item* mcep);

/* flite's Catmull-Rom step of the F0 contour. */
float parlune_cg_spline(float p, float p0, float p1, float p2, float p3);

/* The MLSA vocoder with its state kept between frames. */
typedef struct parlune_cg_vocoder parlune_cg_vocoder;
/* NULL when out of memory. */
parlune_cg_vocoder* parlune_cg_vocoder_new(cst_cg_db* db, double rate, int frameLength, int order,
                                           int mixed);
/* One frame's samples into wave->samples[*pos...]; the first frame only
   sets the filter up and gives none, as in flite. */
void parlune_cg_vocoder_frame(parlune_cg_vocoder* v, cst_cg_db* db, double f0, double* mcep,
                              const float* strengths, int order, cst_wave* wave, long* pos);
void parlune_cg_vocoder_delete(parlune_cg_vocoder* v);

#ifdef __cplusplus
}
#endif

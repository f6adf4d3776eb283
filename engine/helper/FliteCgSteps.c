/* Reaches the static steps of flite 2.2's CG synthesis by compiling its own
   source, unchanged, from the cache that scripts/fetch-flite-source fills:
   cst_cg.c (states, frames, model vectors, voicing, F0 spline) and
   cst_mlsa.c (the vocoder). Their public functions are renamed here, so
   libflite's own stay the ones every other caller reaches. */
#include <flite/cst_val.h>

/* libflite registers the cg_db value type already. */
#undef CST_VAL_REGISTER_TYPE
#define CST_VAL_REGISTER_TYPE(NAME, TYPE)
#define delete_cg_db parlune_cg_copy_delete_cg_db
#define cg_synth parlune_cg_copy_cg_synth
#define mlsa_resynthesis parlune_cg_copy_mlsa_resynthesis

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#include "cst_cg.c"
#include "cst_mlsa.c"
#pragma GCC diagnostic pop

#undef delete_cg_db
#undef cg_synth
#undef mlsa_resynthesis

#include "FliteCgSteps.h"

void parlune_cg_make_frames(cst_utterance* utt) {
    cg_make_hmmstates(utt);
    cg_make_params(utt);
}

void parlune_cg_finish(cst_utterance* utt) {
    cg_predict_params(utt);
    if (val_cg_db(utt_feat_val(utt, "cg_db"))->spamf0) {
        cst_spamf0(utt);
    }
    cg_resynth(utt);
}

void parlune_cg_unpack(cst_cg_db* db, int pm, int f, float* v) {
    unpack_model_vector(db, pm, f, v);
}

int parlune_cg_voiced(cst_item* mcep) { return voiced_frame(mcep); }

float parlune_cg_spline(float p, float p0, float p1, float p2, float p3) {
    return catmull_rom_spline(p, p0, p1, p2, p3);
}

struct parlune_cg_vocoder {
    VocoderSetup setup;
};

parlune_cg_vocoder* parlune_cg_vocoder_new(cst_cg_db* db, double rate, int frameLength, int order,
                                           int mixed) {
    parlune_cg_vocoder* v = cst_alloc(parlune_cg_vocoder, 1);
    if (v == NULL) {
        return NULL;
    }
    init_vocoder(rate, frameLength, order, &v->setup, db);
    /* Mixed excitation takes its noise from rand(), as flite's does. */
    if (mixed) {
        v->setup.gauss = MFALSE;
    }
    return v;
}

void parlune_cg_vocoder_frame(parlune_cg_vocoder* v, cst_cg_db* db, double f0, double* mcep,
                              const float* strengths, int order, cst_wave* wave, long* pos) {
    vocoder(f0, mcep, strengths, order, db, &v->setup, wave, pos);
}

void parlune_cg_vocoder_delete(parlune_cg_vocoder* v) {
    if (v == NULL) {
        return;
    }
    free_vocoder(&v->setup);
    cst_free(v);
}

/*
 * ParluneDa: the speech engine behind the Parlune component.
 *
 * ParluneDa_Play only validates and queues the text; a worker thread per
 * handle speaks the queued texts in order. Synthesis runs in a helper process
 * (parlune-da-helper), so no text can take down the calling process.
 * Output, voice and helper location are chosen by environment variables read
 * at ParluneDa_Create; see engine/README.md.
 *
 * All three functions may be called from any thread.
 */
#pragma once

#include <stdint.h>

#if defined(PARLUNE_DA_BUILDING)
#define PARLUNE_DA_API __attribute__((visibility("default")))
#else
#define PARLUNE_DA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Opaque engine handle. It is only a key into the library's table of live
 * engines and is never dereferenced; NULL means "no engine". */
typedef struct ParluneDaEngine* ParluneDaHandle;

/* Largest accepted text, in bytes before the terminating NUL. */
#define PARLUNE_DA_MAX_TEXT_BYTES 16384

/* Accepted speed range, in percent of the voice's normal rate (100). */
#define PARLUNE_DA_SPEED_MIN 50
#define PARLUNE_DA_SPEED_NORMAL 100
#define PARLUNE_DA_SPEED_MAX 300

/* Texts that may wait behind the one being spoken, per handle. */
#define PARLUNE_DA_QUEUE_CAPACITY 32

/* Results of ParluneDa_Play. Any non-zero result means the text was not
 * queued. */
enum ParluneDaResult {
    /* The text was queued and will be spoken after the ones before it. */
    PARLUNE_DA_OK = 0,
    /* The handle is NULL, was never returned by ParluneDa_Create, or has
     * already been released. */
    PARLUNE_DA_E_HANDLE = 1,
    /* The text pointer is NULL. */
    PARLUNE_DA_E_TEXT_NULL = 2,
    /* The text is longer than PARLUNE_DA_MAX_TEXT_BYTES bytes. */
    PARLUNE_DA_E_TEXT_TOO_LONG = 3,
    /* The speed is outside PARLUNE_DA_SPEED_MIN..PARLUNE_DA_SPEED_MAX. */
    PARLUNE_DA_E_SPEED = 4,
    /* PARLUNE_DA_QUEUE_CAPACITY texts are already waiting. */
    PARLUNE_DA_E_QUEUE_FULL = 5,
    /* An earlier, accepted text could not be synthesised (the synthesis
     * helper crashed, hung or failed; a fresh helper serves the next text).
     * Reported once, by the next Play after the failure. */
    PARLUNE_DA_E_SYNTHESIS = 6,
    /* An earlier, accepted text could not be output (no audio server, the
     * audio stream failed, or a WAV file could not be written). Reported
     * once, by the next Play after the failure. */
    PARLUNE_DA_E_AUDIO = 7
};

/* Starts an engine instance and its synthesis helper. Returns NULL when the
 * engine cannot start: invalid PARLUNE_AUDIO, unusable WAV directory, helper
 * not found, or the helper cannot load its voice data or the voice. */
PARLUNE_DA_API ParluneDaHandle ParluneDa_Create(void);

/* Queues `text` (NUL-terminated bytes in the sender's narrow encoding: valid
 * UTF-8 is read as UTF-8, anything else as Latin-1; no markup; empty text is
 * a silent utterance) to be spoken at `speed` percent of the normal rate.
 * The three trailing arguments are reserved and ignored. Returns at once
 * with a ParluneDaResult. */
PARLUNE_DA_API int ParluneDa_Play(ParluneDaHandle handle, const char* text, int32_t speed,
                                  int32_t reserved1, int32_t reserved2, int32_t reserved3);

/* Stops the current utterance, drops the queued ones, stops the helper and
 * forgets the handle. NULL, unknown and already released handles are
 * ignored. */
PARLUNE_DA_API void ParluneDa_Release(ParluneDaHandle handle);

#ifdef __cplusplus
}
#endif

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

#include <stddef.h>
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

/* Largest accepted text, in bytes before the terminating NUL (4 MiB). */
#define PARLUNE_DA_MAX_TEXT_BYTES 4194304

/* Speeds are percent of the voice's normal rate (100); values outside
 * PARLUNE_DA_SPEED_MIN..PARLUNE_DA_SPEED_MAX are taken as the nearer end. */
#define PARLUNE_DA_SPEED_MIN 50
#define PARLUNE_DA_SPEED_NORMAL 100
#define PARLUNE_DA_SPEED_MAX 300

/* What may wait behind the text being spoken, per handle: this many bytes
 * of text (4 MiB) and this many texts, whichever is reached first. */
#define PARLUNE_DA_QUEUE_BYTES 4194304
#define PARLUNE_DA_QUEUE_TEXTS 4096

/* Results of ParluneDa_Play. Only PARLUNE_DA_E_AUDIO and
 * PARLUNE_DA_E_SYNTHESIS come with the text queued all the same. */
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
    /* No longer returned: speeds are clamped. Kept so the numbers stay. */
    PARLUNE_DA_E_SPEED = 4,
    /* The queue holds PARLUNE_DA_QUEUE_BYTES bytes or PARLUNE_DA_QUEUE_TEXTS
     * texts (or too many for this text to fit), or there is no memory to
     * copy the text; the text is not queued and may be offered again; the
     * queued ones are still spoken. */
    PARLUNE_DA_E_QUEUE_FULL = 5,
    /* No synthesis helper could be started for an earlier text, so nothing
     * can be spoken at the moment (a text that merely crashes or hangs the
     * helper is skipped and counted instead, see ParluneDa_SkippedTexts).
     * Reported once; this call's text is queued all the same. */
    PARLUNE_DA_E_SYNTHESIS = 6,
    /* An earlier, accepted text could not be output (no audio server, the
     * audio stream failed, or a WAV file could not be written). Reported
     * once, by the next Play after the failure; this call's text is queued
     * all the same. */
    PARLUNE_DA_E_AUDIO = 7
};

/* Starts an engine instance and its synthesis helper. Returns NULL when the
 * engine cannot start: invalid PARLUNE_AUDIO, unusable WAV directory, helper
 * not found, unknown PARLUNE_ENCODING, or the helper cannot load its voice
 * data or the voice; ParluneDa_CreateError then says which. */
PARLUNE_DA_API ParluneDaHandle ParluneDa_Create(void);

/* Queues `text` (NUL-terminated bytes in the sender's narrow encoding: valid
 * UTF-8 is read as UTF-8, anything else in PARLUNE_ENCODING or else the
 * locale's character set (under a UTF-8 locale, the Windows code page of its
 * language), undecodable bytes replaced by U+FFFD; no markup; empty text
 * is a silent utterance) to be spoken at `speed` percent of the normal rate.
 * The three trailing arguments are reserved and ignored. Returns at once
 * with a ParluneDaResult. */
PARLUNE_DA_API int ParluneDa_Play(ParluneDaHandle handle, const char* text, int32_t speed,
                                  int32_t reserved1, int32_t reserved2, int32_t reserved3);

/* Stops the current utterance, drops the queued ones, stops the helper and
 * forgets the handle. NULL, unknown and already released handles are
 * ignored. */
PARLUNE_DA_API void ParluneDa_Release(ParluneDaHandle handle);

/* Diagnostics beside the three engine functions; a caller that may run
 * against an engine without them declares them weak. */

/* Why the last ParluneDa_Create on the calling thread returned NULL, naming
 * the environment variable and its value; "" after a successful one. The
 * text stays valid until the thread's next ParluneDa_Create. */
PARLUNE_DA_API const char* ParluneDa_CreateError(void);

/* After a ParluneDa_Create on the calling thread that succeeded with less
 * than was asked for, a line saying what is missing and what speaks instead
 * (e.g. a Japanese voice file that is missing or damaged: Japanese is then
 * read by espeak-ng's kana-only voice); "" otherwise. A caller logs it as a
 * warning. Valid until the thread's next ParluneDa_Create. */
PARLUNE_DA_API const char* ParluneDa_CreateWarning(void);

/* How many accepted texts this engine instance skipped because synthesising
 * them crashed, hung or failed (each was replaced by silence, the helper by
 * a fresh one), plus the texts of which a sentence failed and was left out
 * while the rest was spoken; -1 for a NULL, unknown or released handle. */
PARLUNE_DA_API int64_t ParluneDa_SkippedTexts(ParluneDaHandle handle);

/* Takes the oldest line worth a warning that this engine instance has to say
 * since it was created (e.g. its synthesis helper keeps ending right after
 * it starts: one line for the whole run of such ends), copied into `buffer`
 * (cut to `size` - 1 bytes, NUL-terminated): 1. 0 when there is none; -1 for
 * a NULL buffer, a zero size, or a NULL, unknown or released handle. Never
 * waits for the engine's threads. A caller logs the line as a warning. */
PARLUNE_DA_API int ParluneDa_NextWarning(ParluneDaHandle handle, char* buffer, size_t size);

/* What became of each text: an event queue per handle, off until
 * ParluneDa_EnableEvents. The engine's threads only append to it; the caller
 * drains it with ParluneDa_NextEvent from a thread of its own choosing, so no
 * caller code ever runs on the engine's threads. While off, nothing is kept.
 * At most PARLUNE_DA_EVENTS_KEPT events wait to be taken: when one more comes,
 * the oldest is dropped, so a caller that stops taking them never slows speech
 * nor makes memory grow without limit (a text then lacks its first events). */
#define PARLUNE_DA_EVENTS_KEPT 65536

/* Kinds of event. Every text Play accepted (PARLUNE_DA_OK, _E_SYNTHESIS or
 * _E_AUDIO) gets QUEUED and then exactly one of FINISHED, SKIPPED or
 * DROPPED, with STARTED before a FINISHED; texts of one handle in the order
 * Play accepted them. */
enum ParluneDaEventKind {
    PARLUNE_DA_EVENT_QUEUED = 1,   /* Play accepted the text */
    PARLUNE_DA_EVENT_STARTED = 2,  /* its first sample is audible (or written) */
    PARLUNE_DA_EVENT_FINISHED = 3, /* its last sample has been played (or written) */
    PARLUNE_DA_EVENT_SKIPPED = 4,  /* synthesis or output failed; detail says why */
    PARLUNE_DA_EVENT_DROPPED = 5,  /* never spoken */
    PARLUNE_DA_EVENT_IDLE = 6      /* the last text ended and none waits; text is 0 */
};

#define PARLUNE_DA_EVENT_DETAIL_BYTES 48

typedef struct ParluneDaEvent {
    int32_t kind; /* a ParluneDaEventKind */
    /* Which text: 1 for the first text Play accepted on this handle, 2 for
     * the next, and so on; 0 for PARLUNE_DA_EVENT_IDLE. */
    uint64_t text;
    /* When it happened, CLOCK_MONOTONIC nanoseconds; for STARTED and FINISHED
     * when the sample is heard, as far as the audio path can tell. */
    int64_t time_ns;
    /* One word or "", NUL-terminated. SKIPPED: "crash" (the helper died on
     * the text), "hang" (it stayed silent too long), "refused" (the
     * synthesiser failed it), "nohelper" (none could be started) or "audio"
     * (it could not be output). FINISHED: "partly" when a sentence of it was
     * left out, else "". FINISHED and DROPPED: "interrupted" after
     * ParluneDa_Interrupt. */
    char detail[PARLUNE_DA_EVENT_DETAIL_BYTES];
} ParluneDaEvent;

/* Starts keeping events for `handle`, from the next Play on. Returns
 * PARLUNE_DA_OK, or PARLUNE_DA_E_HANDLE. */
PARLUNE_DA_API int ParluneDa_EnableEvents(ParluneDaHandle handle);

/* ParluneDa_Release ends the events too: a text that had no final event by
 * then was dropped, and it is the caller that reports it. */

/* Takes the oldest event that is due (an event is due once its time_ns has
 * come; later ones wait behind it) into `*event`. Returns 1 when it did, 0
 * when none is due, -1 for a NULL event or a NULL, unknown or released
 * handle. Never blocks on the engine's work. */
PARLUNE_DA_API int ParluneDa_NextEvent(ParluneDaHandle handle, ParluneDaEvent* event);

/* Steering the voice, beside the three engine functions (a caller that may
 * run against an engine without them declares them weak, as above). */

/* Volumes are percent of the voice's level (0 is silence, 50 is -6 dB, above
 * 100 a peak limiter keeps every sample in range); pitches percent of the
 * voice's normal pitch (150: its median F0 times 1.5). Values outside the
 * ranges are taken as the nearer end. */
#define PARLUNE_DA_VOLUME_MIN 0
#define PARLUNE_DA_VOLUME_NORMAL 100
#define PARLUNE_DA_VOLUME_MAX 200
#define PARLUNE_DA_PITCH_MIN 50
#define PARLUNE_DA_PITCH_NORMAL 100
#define PARLUNE_DA_PITCH_MAX 200

/* ParluneDa_Play with the text's volume and pitch; the same results. */
PARLUNE_DA_API int ParluneDa_PlayWith(ParluneDaHandle handle, const char* text, int32_t speed,
                                      int32_t volume, int32_t pitch);

/* Silences the text being spoken at once (the audio server's stream is
 * flushed, not drained; a WAV file is completed with what was written until
 * now) and drops every queued text. Texts played afterwards are spoken as
 * usual, the first of them next. Events: the cut text ends FINISHED with
 * detail "interrupted" when some of it was heard, else DROPPED
 * "interrupted"; every dropped one DROPPED "interrupted" (these final events
 * come before the cut text's, whatever their order of acceptance). Returns
 * PARLUNE_DA_OK, or PARLUNE_DA_E_HANDLE. */
PARLUNE_DA_API int ParluneDa_Interrupt(ParluneDaHandle handle);

/* The sound as data, beside the three engine functions (a caller that may run
 * against an engine without them declares them weak, as above).
 *
 * Off until ParluneDa_EnableAudio. Then every sample the engine plays (after
 * volume, as it is heard) is also kept for the caller, converted to the rate
 * asked for and cut into chunks of at most 20 ms that never span two texts.
 * A chunk is due once its first sample is heard: ParluneDa_NextAudio hands
 * chunks out no earlier, so they leave at the pace of the audio clock (the
 * audio server's; with PARLUNE_AUDIO=wav:DIR or null, which have none, the
 * engine paces its output by the wall clock while this is on, as if it were
 * playing: a WAV file then takes as long to write as to hear). At most
 * PARLUNE_DA_AUDIO_CHUNKS_KEPT chunks wait to be taken: when one more comes,
 * the oldest is dropped, so a caller that stops taking them never slows
 * speech nor makes memory grow. What an interrupt silences before it is
 * heard is taken back. */
#define PARLUNE_DA_AUDIO_CHUNKS_KEPT 256
/* 20 ms at the highest rate offered, 48000 Hz. */
#define PARLUNE_DA_AUDIO_CHUNK_SAMPLES_MAX 960

typedef struct ParluneDaAudioChunk {
    /* Which text, numbered as in ParluneDaEvent. */
    uint64_t text;
    /* When its first sample is heard, CLOCK_MONOTONIC nanoseconds, by the
     * estimate that times PARLUNE_DA_EVENT_STARTED: a text's first chunk
     * has that event's time_ns. */
    int64_t time_ns;
    /* Samples per second, and how many of `samples` hold sound. */
    int32_t rate;
    int32_t count;
    /* Mono signed 16-bit samples in the host's byte order. */
    int16_t samples[PARLUNE_DA_AUDIO_CHUNK_SAMPLES_MAX];
} ParluneDaAudioChunk;

/* Starts keeping the sound for `handle`, from the next text on, at `rate`
 * samples per second: 16000, 22050 or 48000, or 0 for the rate the engine
 * plays at (22050 today). At the rate it plays at, the samples are exactly
 * those played; at another they are resampled from them. Called again, changes the
 * rate from the next text on. Returns PARLUNE_DA_OK, PARLUNE_DA_E_HANDLE, or
 * -1 for a rate not offered (nothing changes). */
PARLUNE_DA_API int ParluneDa_EnableAudio(ParluneDaHandle handle, int32_t rate);

/* Takes the oldest chunk that is due into `*chunk`, waiting up to `wait_ms`
 * milliseconds (0: not at all, at most 1000) for one to come due. Returns 1
 * when it did, 0 when none came due in time, -1 for a NULL chunk or a NULL,
 * unknown or released handle (a wait ends when the handle is released). */
PARLUNE_DA_API int ParluneDa_NextAudio(ParluneDaHandle handle, ParluneDaAudioChunk* chunk,
                                       int32_t wait_ms);

/* Timing marks, beside the three engine functions (a caller that may run
 * against an engine without them declares them weak, as above): a queue per
 * handle, off until ParluneDa_EnableMarks, drained like the events. Each
 * sentence of a text as the helper cuts it (neighbouring sentences of one
 * voice together, within pieces of at most 4 KiB) yields one sample, queued
 * no later than the sentence's first sample is heard. A sample is lines ending
 * in '\n':
 *   SEC.NSEC                          CLOCK_REALTIME at which the text's
 *                                     first sample is heard (the estimate of
 *                                     PARLUNE_DA_EVENT_STARTED)
 *   sentence START END OFFSET LENGTH  then one line per mark, by START;
 *   word START END OFFSET LENGTH      marks starting together in this order
 *   viseme START END CLASS
 *   phoneme START END SYMBOL
 * START and END are milliseconds from the text's first audible sample;
 * OFFSET and LENGTH bytes of the text's UTF-8 form (the text as given when it
 * is UTF-8). The visemes cover the sentence's sound without gaps, silence
 * being "sil"; CLASS is one of sil PP FF TH DD kk CH SS nn RR aa E ih oh ou.
 * A text cut by ParluneDa_Interrupt after some of it was heard, or ended by
 * a failure midway, gets one more sample:
 *   SEC.NSEC
 *   stopped AT OFFSET WHY             AT ms after its first audible sample,
 *                                     OFFSET the byte after the last word
 *                                     heard, WHY "interrupted" or "failed"
 * At most PARLUNE_DA_MARKS_KEPT samples wait; when one more comes the oldest
 * is dropped. */
#define PARLUNE_DA_MARKS_KEPT 4096
/* Starts keeping marks for `handle`, from the next Play on. Returns
 * PARLUNE_DA_OK, or PARLUNE_DA_E_HANDLE. */
PARLUNE_DA_API int ParluneDa_EnableMarks(ParluneDaHandle handle);
/* The oldest sample's length in bytes (without its NUL). When it is less than
 * `size` the sample is taken: copied NUL-terminated into `buffer`, and the
 * text it belongs to (numbered as in ParluneDaEvent) stored in `*text`;
 * otherwise nothing is taken, and the caller asks again with a larger
 * buffer. 0 when none waits; -1 for a NULL buffer or text, or a NULL, unknown
 * or released handle. Never blocks on the engine's work. */
PARLUNE_DA_API int64_t ParluneDa_NextMarks(ParluneDaHandle handle, uint64_t* text, char* buffer,
                                           size_t size);

#ifdef __cplusplus
}
#endif

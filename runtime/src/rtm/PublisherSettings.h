// How an output port sends on one connection, read from the connection's
// properties. Each key is looked up as "dataport.outport.<key>" first, then
// as "dataport.<key>":
//   io_mode, or else subscription_type (default flush):
//       flush or block   - write() sends at once, in the writer's thread
//       new or nonblock  - write() stores the sample; a thread of the
//                          connection sends it right away
//       periodic         - the thread sends at publisher.push_rate (Hz,
//                          required; push_rate is accepted too)
//   publisher.push_policy  all, fifo, skip or new (default new)
//   publisher.skip_count   samples left out between two sent (skip; default 0)
//   buffer.length, buffer.write.full_policy (overwrite, do_nothing, block),
//   buffer.write.timeout, buffer.read.empty_policy (readback, do_nothing,
//   block), buffer.read.timeout (seconds)
//   buffer_type (ring_buffer), thread_type (default), marshaling_type (cdr)
#pragma once

#include <coil/Properties.h>

#include "CdrBuffer.h"

#include <string>

namespace RTC {

struct PublisherSettings {
    enum class Kind { Flush, New, Periodic };
    enum class PushPolicy { All, Fifo, Skip, New };

    Kind kind = Kind::Flush;
    PushPolicy policy = PushPolicy::New;
    int skipCount = 0;
    double pushRate = 0.0;  // periodic only
    BufferSettings buffer;

    // False, with the reason in *error, for a value this runtime does not
    // implement or cannot read; the connection is then refused.
    static bool fromConnection(const coil::Properties& connection, PublisherSettings& settings,
                               std::string* error);

    // "flush", "new" or "periodic".
    const char* kindName() const;
};

// What an output port advertises in its profile: every subscription type
// (and io_mode) fromConnection() accepts.
inline constexpr const char* kOutPortSubscriptionTypes = "block,flush,new,nonblock,periodic";

}  // namespace RTC

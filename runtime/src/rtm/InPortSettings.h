// How an input port stores what one connection delivers, read from the
// connection's properties. Each key is looked up as "dataport.inport.<key>"
// first, then as "dataport.<key>":
//   buffer.length            samples the connection may have waiting
//                            (default 1024, at most 65536)
//   buffer.write.full_policy overwrite, do_nothing or block (default block):
//                            what a sample that finds the connection's
//                            samples at the length does
//   buffer.write.timeout     seconds a blocked sample waits for a read
//                            (default 1)
//   buffer.read.empty_policy readback, do_nothing or block (default readback)
//   buffer.read.timeout      seconds a read waits under block (default 1)
// The defaults keep a burst: a sender that outruns the reader by more than
// the length is held back (its put waits) instead of losing samples, and
// after the write timeout it hears BUFFER_TIMEOUT. A value that cannot be
// read is reported and its key's default used; the connection stays.
#pragma once

#include <coil/Properties.h>

#include "CdrBuffer.h"

#include <cstddef>
#include <string>
#include <vector>

namespace RTC {

struct InPortSettings {
    static constexpr std::size_t kDefaultLength = 1024;
    static constexpr std::size_t kMaxLength = 65536;

    // The settings of a connection that sets none of the keys.
    static BufferSettings defaults();
    // The connection's settings; each value that was not understood adds a
    // line to *problems naming the key, the value and the default used.
    static BufferSettings fromConnection(const coil::Properties& connection,
                                         std::vector<std::string>* problems);
};

}  // namespace RTC

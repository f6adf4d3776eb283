// The ORB's TLS transport (Debian's libomnisslTP4), loaded into the process
// only when TLS is asked for, and the ORB options that give it this
// process's certificate authority, key and certificate.
#pragma once

#include <string>
#include <vector>

namespace corbakit {

class TlsTransport {
  public:
    // Loads the transport once (later calls report the first result); it
    // must be in the process before the ORB starts. False with a reason.
    static bool load(std::string& why);

    // Checks that the files can be read. key_file holds the private key and
    // the certificate (PEM); password may be empty for an unencrypted key.
    static bool checkFiles(const std::string& ca_file, const std::string& key_file,
                           std::string& why);
    static std::vector<std::string> orbArgs(const std::string& ca_file, const std::string& key_file,
                                            const std::string& password);
};

}  // namespace corbakit

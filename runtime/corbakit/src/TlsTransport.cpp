#include "corbakit/TlsTransport.h"

#include <dlfcn.h>
#include <unistd.h>

#include <mutex>

namespace corbakit {

namespace {
const char* const kLibraries[] = {"libomnisslTP4.so.2", "libomnisslTP4.so"};
}

bool TlsTransport::load(std::string& why) {
    static std::once_flag once;
    static bool loaded = false;
    static std::string error;
    std::call_once(once, [] {
        for (const char* name : kLibraries) {
            // Stays loaded for the life of the process: the ORB keeps its objects.
            if (dlopen(name, RTLD_NOW | RTLD_GLOBAL) != nullptr) {
                loaded = true;
                return;
            }
            const char* e = dlerror();
            error = e != nullptr ? e : name;
        }
    });
    if (!loaded) why = "the ORB's TLS transport could not be loaded (" + error + ")";
    return loaded;
}

bool TlsTransport::checkFiles(const std::string& ca_file, const std::string& key_file,
                              std::string& why) {
    if (ca_file.empty() || key_file.empty()) {
        why = "TLS needs corba.ssl.certificate_authority_file and corba.ssl.key_file";
        return false;
    }
    for (const std::string* file : {&ca_file, &key_file}) {
        if (access(file->c_str(), R_OK) != 0) {
            why = "cannot read " + *file;
            return false;
        }
    }
    return true;
}

std::vector<std::string> TlsTransport::orbArgs(const std::string& ca_file,
                                               const std::string& key_file,
                                               const std::string& password) {
    // The transport refuses to use a key without a password even when the
    // key is not encrypted; the password is then never asked for.
    return {"-ORBsslCAFile",      ca_file,
            "-ORBsslKeyFile",     key_file,
            "-ORBsslKeyPassword", password.empty() ? "-" : password};
}

}  // namespace corbakit

#pragma once

#include <string>
#include <vector>

namespace rtctl {

// rtctl's command line, checked completely before anything is contacted:
//   rtctl [-n HOST:PORT] [--endpoint ADDRESS] [--ca FILE --key FILE [--cert FILE]
//         [--key-password PW]] [-ORBoption VALUE]... VERB [ARGS]
class CommandLine {
  public:
    // Throws ToolError with the usage status on anything malformed.
    static CommandLine parse(int argc, const char* const argv[]);
    static const char* usage();

    bool help() const;
    // The naming service, "host:port" (127.0.0.1:2809 unless -n).
    const std::string& naming() const;
    const std::vector<std::string>& orbOptions() const;
    // Where rtctl's own listener is (--endpoint, else $RTCTL_ENDPOINT, else
    // 127.0.0.1), as an ORB endpoint URI.
    const std::string& endpoint() const;
    // TLS: the certificate authority, the private key and its certificate
    // (one PEM file or two), the key's password. Empty when not asked for.
    const std::string& caFile() const;
    const std::string& keyFile() const;
    const std::string& certFile() const;
    const std::string& keyPassword() const;
    bool tls() const;
    const std::string& verb() const;
    // The verb's operands, options removed.
    const std::vector<std::string>& operands() const;

    // ls -l
    bool longListing() const;
    // connect -p KEY=VALUE (in order) and --name NAME
    const std::vector<std::string>& properties() const;
    const std::string& connectorName() const;
    // print -n COUNT (0: until interrupted) and -t SECONDS (0: no limit)
    unsigned long count() const;
    unsigned long timeoutSeconds() const;
    // print --tm: each line starts with the sample's time stamp
    bool stamps() const;
    // inject --keep and -w SECONDS
    bool keep() const;
    double waitSeconds() const;
    // A disconnect operand that names a connector rather than a port.
    static bool isConnectorId(const std::string& text);

  private:
    void checkNetwork();
    void parseVerb(const std::vector<std::string>& args);
    void parseOperands(const std::vector<std::string>& args);

    bool m_help = false;
    std::string m_naming = "127.0.0.1:2809";
    std::vector<std::string> m_orbOptions;
    std::string m_endpoint;
    std::string m_ca;
    std::string m_key;
    std::string m_cert;
    std::string m_keyPassword;
    std::string m_verb;
    std::vector<std::string> m_operands;
    bool m_long = false;
    std::vector<std::string> m_properties;
    std::string m_connectorName;
    unsigned long m_count = 0;
    unsigned long m_timeout = 0;
    bool m_stamps = false;
    bool m_keep = false;
    double m_wait = 1.0;
};

}  // namespace rtctl

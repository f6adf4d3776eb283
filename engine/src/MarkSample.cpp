#include "MarkSample.h"

#include <time.h>

#include <cstdio>

namespace parlune {

namespace {

namespace proto = protocol;

int64_t clockNs(clockid_t clock) {
    timespec ts{};
    ::clock_gettime(clock, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void appendTime(std::string& out, int64_t ns) {
    char line[48];
    std::snprintf(line, sizeof line, "%lld.%09lld\n", static_cast<long long>(ns / 1000000000),
                  static_cast<long long>(ns % 1000000000));
    out += line;
}

// Up to the first NUL, space or control byte.
std::string nameOf(const proto::MarkRecord& mark) {
    std::string name;
    for (char c : mark.name) {
        if (static_cast<unsigned char>(c) <= ' ') {
            break;
        }
        name += c;
    }
    return name.empty() ? "?" : name;
}

}  // namespace

int64_t MarkSample::realtimeOf(int64_t monotonicNs) {
    return monotonicNs + (clockNs(CLOCK_REALTIME) - clockNs(CLOCK_MONOTONIC));
}

int64_t MarkSample::milliseconds(size_t samples, int rate) {
    if (rate <= 0) {
        return 0;
    }
    return static_cast<int64_t>(
        (static_cast<unsigned long long>(samples) * 1000 + static_cast<unsigned>(rate) / 2) /
        static_cast<unsigned>(rate));
}

std::string MarkSample::sentence(const Sentence& where,
                                 const std::vector<proto::MarkRecord>& marks) {
    std::string out;
    appendTime(out, where.heardNs);
    char line[96];
    for (const proto::MarkRecord& mark : marks) {
        const long long start = milliseconds(where.before + mark.start, where.rate);
        const long long end = milliseconds(where.before + mark.end, where.rate);
        const bool inPiece =
            mark.offset <= where.pieceBytes && mark.length <= where.pieceBytes - mark.offset;
        switch (mark.kind) {
            case proto::kMarkSentence:
            case proto::kMarkWord:
                if (!inPiece) {
                    continue;
                }
                std::snprintf(line, sizeof line, "%s %lld %lld %zu %u\n",
                              mark.kind == proto::kMarkWord ? "word" : "sentence", start, end,
                              where.pieceOffset + mark.offset, mark.length);
                break;
            case proto::kMarkViseme:
            case proto::kMarkPhoneme:
                std::snprintf(line, sizeof line, "%s %lld %lld %s\n",
                              mark.kind == proto::kMarkViseme ? "viseme" : "phoneme", start, end,
                              nameOf(mark).c_str());
                break;
            default:
                continue;
        }
        out += line;
    }
    return out;
}

std::string MarkSample::stopped(int64_t heardNs, int64_t atMs, size_t offset, const char* why) {
    std::string out;
    appendTime(out, heardNs);
    char line[96];
    std::snprintf(line, sizeof line, "stopped %lld %zu %s\n", static_cast<long long>(atMs), offset,
                  why);
    out += line;
    return out;
}

}  // namespace parlune

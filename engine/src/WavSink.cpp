#include "WavSink.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace parlune {

namespace {

constexpr size_t kHeaderBytes = 44;
// A RIFF file cannot describe more than 4 GiB.
constexpr unsigned long long kMaxDataBytes = 0xFFFFFFFFull - kHeaderBytes;

bool writeAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void put16(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char* p, uint32_t v) {
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
}

// Canonical 44-byte header of a mono 16-bit PCM file.
void fillHeader(unsigned char* h, int sampleRate, uint32_t dataBytes) {
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 1);  // PCM
    put16(h + 22, 1);  // mono
    put32(h + 24, static_cast<uint32_t>(sampleRate));
    put32(h + 28, static_cast<uint32_t>(sampleRate) * 2);
    put16(h + 32, 2);
    put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, dataBytes);
}

// Number in a name "123456.wav" or "123456.txt", or 0.
unsigned long long numberOf(const char* name) {
    size_t digits = std::strspn(name, "0123456789");
    if (digits == 0 || digits > 18 ||
        (std::strcmp(name + digits, ".wav") != 0 && std::strcmp(name + digits, ".txt") != 0)) {
        return 0;
    }
    return std::strtoull(name, nullptr, 10);
}

std::string partName(const std::string& dir, const std::string& name, const char* ext) {
    return dir + "/." + name + ext + ".part";
}

std::string finalName(const std::string& dir, const std::string& name, const char* ext) {
    return dir + "/" + name + ext;
}

}  // namespace

WavSink::WavSink(std::string directory) : m_directory(std::move(directory)) {}

WavSink::~WavSink() { abandon(); }

unsigned long long WavSink::nextNumber(const std::string& directory) {
    static std::mutex mutex;
    static std::map<std::string, unsigned long long> next;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = next.find(directory);
    if (it == next.end()) {
        unsigned long long highest = 0;
        if (DIR* dir = ::opendir(directory.c_str())) {
            while (dirent* entry = ::readdir(dir)) {
                highest = std::max(highest, numberOf(entry->d_name));
            }
            ::closedir(dir);
        }
        it = next.emplace(directory, highest + 1).first;
    }
    return it->second++;
}

bool WavSink::begin(const std::string& text, int sampleRate) {
    abandon();
    char name[32];
    std::snprintf(name, sizeof name, "%06llu", nextNumber(m_directory));
    m_name = name;
    m_sampleRate = sampleRate;
    m_dataBytes = 0;

    std::string txtPart = partName(m_directory, m_name, ".txt");
    UniqueFd txt(::open(txtPart.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    bool ok = txt.valid() && writeAll(txt.get(), text.data(), text.size());
    ok = txt.close() && ok;
    std::string wavPart = partName(m_directory, m_name, ".wav");
    if (ok) {
        m_wav.reset(::open(wavPart.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        unsigned char header[kHeaderBytes];
        fillHeader(header, sampleRate, 0);
        ok = m_wav.valid() && writeAll(m_wav.get(), header, sizeof header);
    }
    if (!ok) {
        abandon();
    }
    return ok;
}

bool WavSink::write(const int16_t* samples, size_t count) {
    if (!m_wav.valid()) {
        return false;
    }
    size_t bytes = count * sizeof(int16_t);
    if (m_dataBytes + bytes > kMaxDataBytes || !writeAll(m_wav.get(), samples, bytes)) {
        abandon();
        return false;
    }
    m_dataBytes += bytes;
    return true;
}

bool WavSink::finish() {
    if (!m_wav.valid()) {
        return false;
    }
    unsigned char header[kHeaderBytes];
    fillHeader(header, m_sampleRate, static_cast<uint32_t>(m_dataBytes));
    bool ok =
        ::pwrite(m_wav.get(), header, sizeof header, 0) == static_cast<ssize_t>(sizeof header);
    ok = m_wav.close() && ok;
    const std::string txt = finalName(m_directory, m_name, ".txt");
    ok = ok && ::rename(partName(m_directory, m_name, ".txt").c_str(), txt.c_str()) == 0;
    ok = ok && ::rename(partName(m_directory, m_name, ".wav").c_str(),
                        finalName(m_directory, m_name, ".wav").c_str()) == 0;
    if (!ok) {
        ::unlink(txt.c_str());  // no text file without its sound
        abandon();
    }
    m_name.clear();
    return ok;
}

void WavSink::abandon() {
    m_wav.reset();
    if (!m_name.empty()) {
        ::unlink(partName(m_directory, m_name, ".txt").c_str());
        ::unlink(partName(m_directory, m_name, ".wav").c_str());
        m_name.clear();
    }
}

}  // namespace parlune

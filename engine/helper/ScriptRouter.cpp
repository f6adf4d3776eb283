#include "ScriptRouter.h"

#include "Utf8.h"

namespace parlune::helper {

namespace {

using Script = ScriptRouter::Script;
using Segment = ScriptRouter::Segment;

bool isAsciiAlnum(char32_t cp) {
    return (cp >= '0' && cp <= '9') || (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z');
}

bool isLatinLetter(char32_t cp) {
    return isAsciiAlnum(cp) || (cp >= 0xC0 && cp <= 0x24F && cp != 0xD7 && cp != 0xF7) ||
           (cp >= 0x1E00 && cp <= 0x1EFF);
}

// Letters of scripts other than Latin, kana and ideographs: Greek,
// Cyrillic, Hebrew, Arabic, Indic, Thai, Hangul, ...
bool isOtherLetter(char32_t cp) {
    return (cp >= 0x370 && cp <= 0x1DFF) || (cp >= 0x2C00 && cp <= 0x2DFF) ||
           (cp >= 0x3100 && cp <= 0x318F) || (cp >= 0xA000 && cp <= 0xD7AF);
}

// Removed before anything else: C0 and C1 controls other than line ends and
// tabs, format characters, the byte-order mark, undecodable bytes.
bool isDropped(char32_t cp) {
    return (cp < 0x20 && cp != '\n' && cp != '\t') || (cp >= 0x7F && cp <= 0x9F) ||
           (cp >= 0x200B && cp <= 0x200F) || (cp >= 0x202A && cp <= 0x202E) || cp == 0xFEFF ||
           cp == 0xFFFD || cp == utf8::kInvalid;
}

bool isLineEnd(char32_t cp) { return cp == '\n' || cp == 0x2028 || cp == 0x2029 || cp == 0x85; }

bool isSpace(char32_t cp) { return cp == ' ' || cp == '\t' || cp == 0x3000 || cp == 0xA0; }

bool isFullStop(char32_t cp) { return cp == 0x3002 || cp == 0xFF01 || cp == 0xFF1F; }

// Closing marks that belong to the sentence they follow.
bool isCloser(char32_t cp) {
    return cp == 0x300D || cp == 0x300F || cp == 0xFF09 || cp == ')' || cp == '"' || cp == '\'' ||
           cp == 0x201D || cp == 0x2019;
}

// A place where a long Japanese sentence may be cut: after 、 or ，, or a space.
bool isPause(char32_t cp) { return cp == 0x3001 || cp == 0xFF0C || cp == ',' || isSpace(cp); }

bool isBlank(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = utf8::next(text, pos);
        if (!isSpace(cp)) {
            return false;
        }
    }
    return true;
}

std::string trimmed(std::string_view text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) {
        return std::string();
    }
    size_t end = text.find_last_not_of(" \t");
    return std::string(text.substr(begin, end - begin + 1));
}

struct Classes {
    bool japanese = false;
    bool latin = false;
    bool other = false;
};

Classes classify(std::string_view text, bool hanziAreJapanese) {
    Classes c;
    bool kana = false;
    bool hanzi = false;
    size_t pos = 0;
    while (pos < text.size()) {
        char32_t cp = utf8::next(text, pos);
        kana = kana || ScriptRouter::isKana(cp);
        hanzi = hanzi || ScriptRouter::isIdeograph(cp);
        c.latin = c.latin || isLatinLetter(cp);
        c.other = c.other || isOtherLetter(cp);
    }
    c.japanese = kana || (hanzi && hanziAreJapanese);
    c.other = c.other || (hanzi && !c.japanese);
    return c;
}

// Splits the text into sentences at line ends, at 。！？ and at . ! ?
// followed by a space or the end.
std::vector<std::string> sentences(std::string_view text) {
    std::vector<std::string> out;
    std::string current;
    auto flush = [&] {
        if (!isBlank(current)) {
            out.push_back(trimmed(current));
        }
        current.clear();
    };
    size_t pos = 0;
    bool ended = false;  // the sentence has ended; closers may still follow
    while (pos < text.size()) {
        size_t start = pos;
        char32_t cp = utf8::next(text, pos);
        if (isDropped(cp)) {
            continue;
        }
        if (isLineEnd(cp)) {
            flush();
            ended = false;
            continue;
        }
        if (ended && !isCloser(cp)) {
            flush();
            ended = false;
        }
        current.append(text.substr(start, pos - start));
        if (isFullStop(cp)) {
            ended = true;
        } else if ((cp == '.' || cp == '!' || cp == '?') &&
                   (pos == text.size() || text[pos] == ' ' || text[pos] == '\t' ||
                    text[pos] == '\n')) {
            ended = true;
        }
    }
    flush();
    return out;
}

void addSegment(std::vector<Segment>& out, Script script, std::string text) {
    text = trimmed(text);
    if (text.empty()) {
        return;
    }
    // Neighbours read by the same voice go together, except Japanese, which
    // is synthesised one sentence at a time.
    if (script != Script::Japanese && !out.empty() && out.back().script == script) {
        out.back().text += ' ';
        out.back().text += text;
        return;
    }
    out.push_back(Segment{script, std::move(text)});
}

// A run cut from a Japanese sentence: Japanese if it still holds kana or
// kanji, Latin if only letters or digits are left, nothing otherwise.
void addJapaneseRun(std::vector<Segment>& out, std::string run, bool hanziAreJapanese) {
    Classes c = classify(run, hanziAreJapanese);
    if (c.japanese) {
        addSegment(out, Script::Japanese, std::move(run));
    } else if (c.latin) {
        addSegment(out, Script::Latin, std::move(run));
    } else if (c.other) {
        addSegment(out, Script::Other, std::move(run));
    }
}

void splitJapanese(std::vector<Segment>& out, std::string_view sentence, bool hanziAreJapanese,
                   const ScriptRouter::Limits& limits) {
    std::string chunk;
    size_t chunkAscii = 0;
    size_t lastPause = 0;  // bytes of `chunk` up to its last pause, 0 if none
    size_t asciiAtPause = 0;
    auto cutChunk = [&](size_t bytes, size_t ascii) {
        addJapaneseRun(out, chunk.substr(0, bytes), hanziAreJapanese);
        chunk.erase(0, bytes);
        chunkAscii -= ascii;
        lastPause = 0;
        asciiAtPause = 0;
    };
    size_t pos = 0;
    while (pos < sentence.size()) {
        // A long ASCII run leaves the sentence for the Latin voice.
        size_t runEnd = pos;
        while (runEnd < sentence.size() && static_cast<unsigned char>(sentence[runEnd]) < 0x80) {
            ++runEnd;
        }
        if (runEnd - pos >= limits.asciiRunToLatin) {
            if (!chunk.empty()) {
                cutChunk(chunk.size(), chunkAscii);
            }
            addJapaneseRun(out, std::string(sentence.substr(pos, runEnd - pos)), hanziAreJapanese);
            pos = runEnd;
            continue;
        }
        size_t start = pos;
        char32_t cp = utf8::next(sentence, pos);
        size_t bytes = pos - start;
        bool ascii = cp < 0x80;
        if (chunk.size() + bytes > limits.japaneseBytes ||
            chunkAscii + (ascii ? 1 : 0) > limits.japaneseAscii) {
            if (lastPause > 0) {
                cutChunk(lastPause, asciiAtPause);
            } else {
                cutChunk(chunk.size(), chunkAscii);
            }
        }
        chunk.append(sentence.substr(start, bytes));
        chunkAscii += ascii ? 1 : 0;
        if (isPause(cp)) {
            lastPause = chunk.size();
            asciiAtPause = chunkAscii;
        }
    }
    if (!chunk.empty()) {
        addJapaneseRun(out, std::move(chunk), hanziAreJapanese);
    }
}

}  // namespace

bool ScriptRouter::isKana(char32_t cp) {
    return (cp >= 0x3041 && cp <= 0x3096) || (cp >= 0x30A1 && cp <= 0x30FA) ||
           (cp >= 0x31F0 && cp <= 0x31FF) || (cp >= 0xFF66 && cp <= 0xFF9D);
}

bool ScriptRouter::isIdeograph(char32_t cp) {
    return (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x4E00 && cp <= 0x9FFF) ||
           (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0x20000 && cp <= 0x2FA1F);
}

std::vector<Segment> ScriptRouter::split(std::string_view utf8Text, bool hanziAreJapanese,
                                         const Limits& limits) {
    std::vector<Segment> out;
    for (const std::string& sentence : sentences(utf8Text)) {
        Classes c = classify(sentence, hanziAreJapanese);
        if (c.japanese) {
            splitJapanese(out, sentence, hanziAreJapanese, limits);
        } else if (c.latin && !c.other) {
            addSegment(out, Script::Latin, sentence);
        } else {
            addSegment(out, Script::Other, sentence);
        }
    }
    return out;
}

}  // namespace parlune::helper

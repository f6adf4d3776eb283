#include "SentenceSplitter.h"

namespace parlune {

namespace {

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Length of the sentence end (".", "!", "?", newline, or the ideographic
// "。", "！", "？") that ends just before `end`, or 0.
size_t sentenceEndBefore(std::string_view text, size_t end) {
    char last = text[end - 1];
    if (last == '.' || last == '!' || last == '?' || last == '\n') {
        return 1;
    }
    if (end >= 3) {
        std::string_view tail = text.substr(end - 3, 3);
        if (tail == "\xE3\x80\x82" || tail == "\xEF\xBC\x81" || tail == "\xEF\xBC\x9F") {
            return 3;
        }
    }
    return 0;
}

// Where the first piece of `text` (longer than maxPiece) should end.
size_t cutPoint(std::string_view text, size_t maxPiece) {
    size_t space = 0;
    for (size_t end = maxPiece; end > maxPiece / 4; --end) {
        if (isContinuationByte(text[end])) {
            continue;  // `end` must start a character
        }
        if (sentenceEndBefore(text, end) != 0) {
            return end;
        }
        if (space == 0 && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
            space = end;
        }
    }
    if (space != 0) {
        return space;
    }
    size_t end = maxPiece;
    while (end > 1 && isContinuationByte(text[end])) {
        --end;
    }
    return end;
}

}  // namespace

std::vector<std::string_view> SentenceSplitter::split(std::string_view text, size_t maxPiece) {
    std::vector<std::string_view> pieces;
    while (text.size() > maxPiece) {
        size_t end = cutPoint(text, maxPiece);
        pieces.push_back(text.substr(0, end));
        text.remove_prefix(end);
    }
    pieces.push_back(text);
    return pieces;
}

}  // namespace parlune

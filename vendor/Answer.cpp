// The switched answer and the generated body: see Answer.h.
#include "vendor/Answer.h"

#include <algorithm>

namespace zumo::vendor {

namespace {

constexpr const char GeneratedHead[] = "{\"pad\":\"";
constexpr const char GeneratedTail[] = "\"}";

bool bodyless(int status)
{
    return status == 204 || status == 304;
}

void dropBody(Answer& answer)
{
    answer.text.clear();
    answer.file.clear();
    answer.fileSize = 0;
    answer.generated = 0;
}

void malform(Answer& answer, Malformed kind)
{
    switch (kind) {
    case Malformed::None:
        return;
    case Malformed::Truncated:
        // Half of whatever body there was: for a file, the announced length shrinks with it.
        if (!answer.file.empty())
            answer.fileSize /= 2;
        else if (answer.generated)
            answer.generated /= 2;
        else
            answer.text.resize(answer.text.size() / 2);
        return;
    case Malformed::NotJson:
        dropBody(answer);
        answer.text = "<html><body>Service temporarily unavailable</body></html>";
        return;
    case Malformed::NotObject:
        dropBody(answer);
        answer.text = "[\"version\", \"url\", \"sha256\"]";
        return;
    case Malformed::Empty:
        dropBody(answer);
        return;
    case Malformed::Binary:
        dropBody(answer);
        answer.text = std::string("\xff\xfe{\"\x00\x01\xc3\x28\x80}", 11);
        return;
    }
}

} // namespace

Answer textAnswer(int status, std::string text, std::string contentType)
{
    Answer answer;
    answer.status = status;
    answer.text = std::move(text);
    answer.contentType = std::move(contentType);
    return answer;
}

Answer switched(Answer answer, const Rule& rule)
{
    answer.delayMs = rule.delayMs;
    answer.dripMs = rule.dripMs;
    answer.chunked = rule.chunked;
    if (!rule.redirect.empty()) {
        bool redirectStatus = rule.status && *rule.status >= 300 && *rule.status <= 308 && *rule.status != 304;
        dropBody(answer);
        answer.status = redirectStatus ? *rule.status : 302;
        answer.headers = {{"Location", rule.redirect}};
        answer.text = "Moved to " + rule.redirect + "\n";
        answer.contentType = "text/plain; charset=utf-8";
    } else if (rule.status) {
        // The normal body stays, so a client that reads a body without checking the status
        // is caught by a well-formed document under an error status.
        answer.status = *rule.status;
    }
    if (rule.oversize) {
        dropBody(answer);
        answer.generated = *rule.oversize;
    }
    malform(answer, rule.malformed);
    if (bodyless(answer.status))
        dropBody(answer);
    return answer;
}

std::string generatedBytes(uint64_t total, uint64_t offset, size_t length)
{
    const uint64_t head = sizeof(GeneratedHead) - 1, tail = sizeof(GeneratedTail) - 1;
    uint64_t end = std::min<uint64_t>(total, offset + length);
    std::string bytes(end > offset ? size_t(end - offset) : 0, 'a');
    if (total < head + tail)
        return bytes;
    for (uint64_t at = offset; at < std::min(end, head); ++at)
        bytes[size_t(at - offset)] = GeneratedHead[at];
    for (uint64_t at = std::max(offset, total - tail); at < end; ++at)
        bytes[size_t(at - offset)] = GeneratedTail[at - (total - tail)];
    return bytes;
}

} // namespace zumo::vendor

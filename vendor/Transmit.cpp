// Sending an Answer: see Transmit.h.
#include "vendor/Transmit.h"

#include "vendor/ConnectionGuard.h"

#include <algorithm>
#include <fstream>
#include <httplib.h>
#include <memory>

namespace zumo::vendor {

namespace {

constexpr size_t PieceBytes = 64 * 1024;

// Reads pieces of the answer's body wherever it comes from.
class BodySource {
public:
    explicit BodySource(const Answer& answer) : m_answer(answer)
    {
        if (!answer.file.empty())
            m_file.open(answer.file, std::ios::binary);
    }

    std::string read(uint64_t offset, size_t length)
    {
        if (!m_answer.file.empty())
            return readFile(offset, length);
        if (m_answer.generated)
            return generatedBytes(m_answer.generated, offset, length);
        return m_answer.text.substr(size_t(std::min<uint64_t>(offset, m_answer.text.size())), length);
    }

private:
    std::string readFile(uint64_t offset, size_t length)
    {
        std::string bytes(length, '\0');
        m_file.seekg(std::streamoff(offset));
        m_file.read(bytes.data(), std::streamsize(length));
        bytes.resize(size_t(std::max<std::streamsize>(m_file.gcount(), 0)));
        return bytes;
    }

    Answer m_answer;
    std::ifstream m_file;
};

// Writes the next piece at offset; false ends the response (client gone, file shrunk, stopping).
bool writePiece(BodySource& source, const Answer& answer, uint64_t offset, httplib::DataSink& sink, StopSignal& stop)
{
    uint64_t remaining = answer.bodySize() - offset;
    size_t length = answer.dripMs ? 1 : size_t(std::min<uint64_t>(remaining, PieceBytes));
    ConnectionGuard::progressed(); // a slow download is still an answer under way
    std::string piece = source.read(offset, length);
    if (piece.empty() || !sink.write(piece.data(), piece.size()))
        return false;
    return !answer.dripMs || stop.sleep(answer.dripMs);
}

} // namespace

bool StopSignal::sleep(int ms)
{
    std::unique_lock lock(m_mutex);
    return !m_changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_stopping.load(); });
}

void StopSignal::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
}

void transmit(const Answer& answer, httplib::Response& response, StopSignal& stop)
{
    if (answer.delayMs && !stop.sleep(answer.delayMs)) {
        response.status = 503;
        return;
    }
    response.status = answer.status;
    for (const auto& [name, value] : answer.headers)
        response.set_header(name, value);
    uint64_t size = answer.bodySize();
    bool streamed = answer.dripMs || answer.chunked || !answer.file.empty() || answer.generated;
    if (!streamed) {
        if (answer.status != 204 && answer.status != 304)
            response.set_content(answer.text, answer.contentType);
        return;
    }
    auto source = std::make_shared<BodySource>(answer);
    if (answer.chunked) {
        response.set_chunked_content_provider(answer.contentType, [=, &stop](size_t offset, httplib::DataSink& sink) {
            if (offset >= size) {
                sink.done();
                return true;
            }
            return writePiece(*source, answer, offset, sink, stop);
        });
        return;
    }
    response.set_content_provider(size, answer.contentType,
                                  [=, &stop](size_t offset, size_t, httplib::DataSink& sink) {
                                      return writePiece(*source, answer, offset, sink, stop);
                                  });
}

} // namespace zumo::vendor

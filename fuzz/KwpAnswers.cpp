// The K-line answer path: the bytes after the echo parsed as a frame, then the
// answer checked against the request it answers.
// Input: request choice, flags, [request bytes], received bytes.
#include "FuzzCheck.h"
#include "ecu/KwpFrame.h"
#include "ecu/ResponseCheck.h"

#include <array>

using namespace korvel;
using korvel::fuzz::require;

namespace {

QByteArray bytesOf(std::initializer_list<std::uint8_t> values) {
    QByteArray out;
    for (auto value : values)
        out.append(static_cast<char>(value));
    return out;
}

// The requests the tester sends; other choices take the request from the input.
const std::array<QByteArray, 11> &requests() {
    static const std::array<QByteArray, 11> table{
        bytesOf({0x81}),
        bytesOf({0x82}),
        bytesOf({0x10, 0x81}),
        bytesOf({0x20}),
        bytesOf({0x3E, 0x01}),
        bytesOf({0x30, 0x0F, 0x06, 0x01}),
        bytesOf({0x21, 0x0F}),
        bytesOf({0x21, 0x01}),
        bytesOf({0x23, 0x00, 0x5F, 0x00, 0x08}),
        bytesOf({0x23, 0x00, 0x61, 0x3C, 0x40}),
        bytesOf({0x23, 0x00, 0x12, 0x34, 0x60}),
    };
    return table;
}

// Data only from a complete frame whose announced length and checksum hold.
void checkFrame(const QByteArray &received, const QByteArray &data) {
    if (data.isEmpty())
        return;
    require(received.size() >= 4, "a frame needs a header and a checksum");
    const int inFormat = static_cast<std::uint8_t>(received[0]) & 0x3F;
    const qsizetype start = inFormat != 0 ? 3 : 4;
    const qsizetype length = inFormat != 0 ? inFormat : static_cast<std::uint8_t>(received[3]);
    require(data.size() == length, "data length is the announced one");
    require(start + length < received.size(), "the checksum lies inside the bytes");
    require(KwpFrame::checksum(QByteArrayView(received).first(start + length)) ==
                static_cast<std::uint8_t>(received[start + length]),
            "the checksum holds");
    require(data == received.mid(start, length), "the data are the frame's");
    require(KwpFrame::parse(KwpFrame::build(data)) == data, "built frames parse back");
}

void checkVerdict(const QByteArray &request, const QByteArray &response, bool ready) {
    const ResponseVerdict verdict = ResponseCheck(request, response, ready);
    if (!verdict.success)
        return;
    switch (verdict.use) {
    case AnswerUse::DiagnosticFrame:
        require(request == bytesOf({0x21, 0x0F}) || request == bytesOf({0x21, 0x01}), "diagnostic request");
        require(response.size() == (request[1] == 0x0F ? kFastAnswerLength : kStandardAnswerLength),
                "diagnostic answer length");
        require(verdict.payload == response.mid(2), "diagnostic payload");
        break;
    case AnswerUse::MemoryRead:
        require(request.size() == 5, "read request length");
        require(static_cast<std::uint8_t>(response.at(0)) == 0x63, "read answer service");
        require(verdict.payload.size() == static_cast<std::uint8_t>(request[4]), "read length as asked");
        require(verdict.payload.size() <= kLongestRead, "read within the longest read");
        require(verdict.payload == response.mid(1), "read payload");
        break;
    case AnswerUse::ActuatorState:
        require(request.startsWith('\x30') && !response.isEmpty(), "actuator answer");
        break;
    case AnswerUse::None:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t choice = input.byte();
    const std::uint8_t flags = input.byte();
    const QByteArray request =
        choice < requests().size() ? requests()[choice] : input.bytes(choice - qsizetype(requests().size()));
    const QByteArray received = input.rest();
    const bool ready = (flags & 1) != 0;

    const QByteArray answer = KwpFrame::parse(received);
    checkFrame(received, answer);
    checkVerdict(request, answer, ready);
    checkVerdict(request, received, ready); // the raw bytes, as a hostile frame's data
    return 0;
}

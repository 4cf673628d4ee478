#include "sim/Faults.h"

#include "sim/SplitMix.h"

#include <algorithm>
#include <array>

namespace korvel::sim {

namespace {

struct FaultName {
    FaultKind kind;
    const char *name;
};

constexpr std::array kFaultNames{
    FaultName{FaultKind::NoAnswer, "no-answer"},
    FaultName{FaultKind::BadChecksum, "bad-checksum"},
    FaultName{FaultKind::WrongLength, "wrong-length"},
    FaultName{FaultKind::NegativeResponse, "negative"},
    FaultName{FaultKind::GarbageBeforeAnswer, "garbage"},
    FaultName{FaultKind::LateAnswer, "late"},
    FaultName{FaultKind::Vanish, "vanish"},
    FaultName{FaultKind::CorruptWrite, "corrupt-write"},
};

constexpr std::array<char, 3> kGarbage{'\x00', '\x55', '\xFF'};

constexpr int kWriteHeader = 5; // 3D 00 high low length

bool matches(const std::optional<RequestKind> &on, RequestKind kind) {
    return !on || *on == kind;
}

bool matches(const FaultRule &rule, RequestKind kind) {
    if (rule.kind == FaultKind::CorruptWrite && kind != RequestKind::WriteMemory)
        return false;
    return matches(rule.on, kind);
}

} // namespace

QString faultKindName(FaultKind kind) {
    for (const FaultName &f : kFaultNames)
        if (f.kind == kind)
            return QString::fromLatin1(f.name);
    return {};
}

std::optional<FaultKind> faultKindFromName(const QString &name) {
    for (const FaultName &f : kFaultNames)
        if (name.compare(QLatin1String(f.name), Qt::CaseInsensitive) == 0)
            return f.kind;
    return std::nullopt;
}

void FaultBoard::inject(const FaultRule &rule) {
    std::lock_guard lock(m_mutex);
    m_rules.push_back(rule);
}

void FaultBoard::setRandom(const RandomFaults &random) {
    std::lock_guard lock(m_mutex);
    m_random = random;
    m_randomState = random.seed;
}

void FaultBoard::clear() {
    std::lock_guard lock(m_mutex);
    m_rules.clear();
    m_random.reset();
}

std::optional<FaultRule> FaultBoard::take(RequestKind kind) {
    std::lock_guard lock(m_mutex);
    for (auto it = m_rules.begin(); it != m_rules.end(); ++it) {
        if (!matches(*it, kind))
            continue;
        if (it->after > 0) {
            --it->after; // this one passes untouched
            return std::nullopt;
        }
        FaultRule hit = *it;
        if (it->count > 0 && --it->count == 0)
            m_rules.erase(it);
        return hit;
    }
    if (!m_random || !matches(m_random->on, kind) || m_random->probability <= 0)
        return std::nullopt;
    const double draw = nextUnit(m_randomState);
    if (draw >= m_random->probability)
        return std::nullopt;
    static const std::vector<FaultKind> kRandomKinds{
        FaultKind::NoAnswer,         FaultKind::BadChecksum,         FaultKind::WrongLength,
        FaultKind::NegativeResponse, FaultKind::GarbageBeforeAnswer, FaultKind::LateAnswer};
    const std::vector<FaultKind> &kinds = m_random->kinds.empty() ? kRandomKinds : m_random->kinds;
    FaultRule hit;
    hit.kind = kinds[nextRandom(m_randomState) % kinds.size()];
    hit.delayMs = m_random->delayMs;
    return hit;
}

bool faultSkipsRequest(FaultKind kind) {
    return kind == FaultKind::NoAnswer || kind == FaultKind::NegativeResponse || kind == FaultKind::Vanish;
}

QByteArray requestAfterFault(const QByteArray &request, const std::optional<FaultRule> &fault) {
    if (!fault || fault->kind != FaultKind::CorruptWrite || request.size() <= kWriteHeader ||
        classifyRequest(request) != RequestKind::WriteMemory)
        return request;
    QByteArray taken = request;
    const qsizetype at = kWriteHeader + std::clamp<qsizetype>(fault->corruptByte, 0, request.size() - kWriteHeader - 1);
    taken[at] = static_cast<char>(~static_cast<std::uint8_t>(taken[at]));
    return taken;
}

QByteArray answerOnLine(const QByteArray &request, const EcuReply &reply, HeaderForm form,
                        const std::optional<FaultRule> &fault) {
    const FaultKind kind = fault ? fault->kind : FaultKind::LateAnswer; // "late" leaves the bytes alone
    if (fault && (kind == FaultKind::NoAnswer || kind == FaultKind::Vanish))
        return {};
    if (fault && kind == FaultKind::NegativeResponse)
        return encodeAnswerFrame(
            negativeResponse(static_cast<std::uint8_t>(request.isEmpty() ? 0 : request[0]), fault->negativeCode), form);
    if (!reply.answered)
        return {};
    QByteArray data = reply.data;
    if (fault && kind == FaultKind::WrongLength) {
        if (data.size() > 1)
            data.chop(1);
        else
            data.append('\0');
    }
    QByteArray wire = encodeAnswerFrame(data, form);
    if (fault && kind == FaultKind::BadChecksum)
        wire[wire.size() - 1] = static_cast<char>(static_cast<std::uint8_t>(wire.back()) + 1);
    if (fault && kind == FaultKind::GarbageBeforeAnswer) {
        QByteArray garbage;
        for (int i = 0; i < fault->garbageBytes; ++i)
            garbage.append(kGarbage[static_cast<std::size_t>(i) % kGarbage.size()]);
        wire.prepend(garbage);
    }
    return wire;
}

} // namespace korvel::sim

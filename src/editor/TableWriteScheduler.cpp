#include "editor/TableWriteScheduler.h"

#include <algorithm>

namespace korvel {

std::vector<BlockWrite> TableBlockWrite::blocks() const {
    std::vector<BlockWrite> list;
    for (int b = 0; b < blockCount; ++b)
        list.push_back({address + b * kTableBlockSize, data.mid(b * kTableBlockSize, kTableBlockSize)});
    return list;
}

TableBlockWrite splitTableWrite(const FirmwareImage &image, int address, int size) {
    TableBlockWrite w;
    w.address = address;
    w.size = std::max(0, size);
    w.blockCount = (w.size + kTableBlockSize - 1) / kTableBlockSize;
    w.lastBlockLength = w.blockCount == 0 ? 0 : w.size - (w.blockCount - 1) * kTableBlockSize;
    if (address >= 0 && address < kFirmwareSize)
        w.data = image.bytes().mid(address, w.blockCount * kTableBlockSize);
    return w;
}

TableWriteScheduler::TableWriteScheduler(const FirmwareImage &image, QObject *parent)
    : QObject(parent), m_image(image) {
    m_timer.setObjectName(QStringLiteral("TimerRW"));
    m_timer.setSingleShot(true);
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &TableWriteScheduler::tick);
}

void TableWriteScheduler::schedule(int address, int size) {
    m_request = std::make_pair(address, size);
    m_timer.start();
}

void TableWriteScheduler::tick() {
    m_timer.stop();
    if (m_request && m_link && m_link->connected()) {
        if (m_link->busy()) {
            m_timer.start(); // the worker is still busy: again in 200 ms
        } else {
            const TableBlockWrite write = splitTableWrite(m_image, m_request->first, m_request->second);
            m_request.reset();
            m_link->correct23DF(write);
            emit handedOver(write);
        }
    } else {
        m_request.reset();
    }
    emit tickDone();
}

} // namespace korvel

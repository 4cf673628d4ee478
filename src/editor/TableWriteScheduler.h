#pragma once

#include "firmware/FirmwareImage.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <optional>
#include <vector>

namespace korvel {

// Sending an edited table into the ECU's RAM: the worker writes it in whole
// 64-byte blocks ("correct23DF"), so up to 63 bytes after the table are
// rewritten with what the image holds there.

inline constexpr int kTableBlockSize = 64;
inline const QString kCorrect23DF = QStringLiteral("correct23DF");

struct BlockWrite {
    int address = 0;
    QByteArray bytes;
    friend bool operator==(const BlockWrite &, const BlockWrite &) = default;
};

// The hand-over of one table: the image bytes of every block, the block
// count and the length of the last block (the worker's byte count).
struct TableBlockWrite {
    int address = 0;
    int size = 0;
    int blockCount = 0;
    int lastBlockLength = 0;
    QByteArray data; // blockCount * 64 bytes from the address (fewer at the end of the image)

    std::vector<BlockWrite> blocks() const;
};

TableBlockWrite splitTableWrite(const FirmwareImage &image, int address, int size);

// What the table timer needs of the ECU worker.
class TableWriteLink {
public:
    virtual ~TableWriteLink() = default;
    virtual bool connected() const = 0; // port open and the ECU answering
    virtual bool busy() const = 0;      // a command is still pending
    virtual void correct23DF(const TableBlockWrite &write) = 0;
};

// `TimerRW`: 200 ms after a request it hands the table to the worker, or
// tries again 200 ms later while the worker is busy. A lost connection drops
// the request silently.
class TableWriteScheduler : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 200;

    TableWriteScheduler(const FirmwareImage &image, QObject *parent = nullptr);

    void setLink(TableWriteLink *link) { m_link = link; }
    // Address of the table (its low 16 bits) and its size in bytes.
    void schedule(int address, int size);
    bool scheduled() const { return m_timer.isActive(); }
    // One tick of the timer (run by the timer; tests call it directly).
    void tick();

signals:
    void handedOver(const TableBlockWrite &write);
    // Every tick ends by letting the engine timer run again.
    void tickDone();

private:
    const FirmwareImage &m_image;
    TableWriteLink *m_link = nullptr;
    QTimer m_timer;
    std::optional<std::pair<int, int>> m_request;
};

} // namespace korvel

#include "live/CsvLogWriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <utility>

namespace korvel {
namespace {

const QString kWriteFailed = QStringLiteral("Не удалось записать лог %1: %2");
const QString kNoFolder = QStringLiteral("папка логов не создана");
const QString kEarlierLogKept = QStringLiteral("Лог предыдущего подключения сохранён: %1");
const QString kFileChangedOutside =
    QStringLiteral("Файл лога %1 удалён или изменён другой программой: запись продолжается в новый файл");
const QString kEarlierLogLost = QStringLiteral("Не удалось сохранить лог предыдущего подключения %1");

// "лог.csv" -> "лог_1.csv", "лог_2.csv", ...: the first name not taken in the folder.
QString freeEarlierName(const QDir &folder, const QString &fileName) {
    const QFileInfo name(fileName);
    for (int n = 1;; ++n) {
        const QString candidate =
            name.completeBaseName() + QLatin1Char('_') + QString::number(n) + QLatin1Char('.') + name.suffix();
        if (!folder.exists(candidate))
            return candidate;
    }
}

} // namespace

CsvLogWriter::CsvLogWriter(std::function<void()> notify) : m_notify(std::move(notify)), m_thread([this] { run(); }) {}

CsvLogWriter::~CsvLogWriter() {
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void CsvLogWriter::begin(const QString &folder, const QString &fileName, const QByteArray &header) {
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({Job::Kind::Begin, header, 0, folder, fileName});
    }
    m_wake.notify_all();
}

void CsvLogWriter::append(const QByteArray &bytes, int lines) {
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({Job::Kind::Append, bytes, lines, {}, {}});
    }
    m_wake.notify_all();
}

void CsvLogWriter::end() {
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({Job::Kind::End, {}, 0, {}, {}});
    }
    m_wake.notify_all();
}

void CsvLogWriter::waitIdle() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_jobs.empty() && !m_busy; });
}

QStringList CsvLogWriter::takeMessages() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_messages, {});
}

// Takes every job waiting at once, so that batches that piled up behind a
// slow disk go out in one write.
void CsvLogWriter::run() {
    for (;;) {
        std::deque<Job> jobs;
        {
            std::unique_lock lock(m_mutex);
            m_busy = false;
            if (m_jobs.empty())
                m_idle.notify_all();
            m_wake.wait(lock, [this] { return m_quit || !m_jobs.empty(); });
            if (m_jobs.empty())
                break; // quitting with nothing left to write
            jobs.swap(m_jobs);
            m_busy = true;
        }
        QByteArray bytes;
        int lines = 0;
        bool batch = false;
        const auto flush = [&] {
            if (batch)
                doAppend(bytes, lines);
            bytes.clear();
            lines = 0;
            batch = false;
        };
        for (const Job &job : jobs) {
            if (job.kind == Job::Kind::Append) {
                bytes += job.bytes;
                lines += job.lines;
                batch = true;
                continue;
            }
            flush();
            if (job.kind == Job::Kind::Begin)
                doBegin(job);
            else {
                m_file.close();
                m_fileOpen = false;
            }
        }
        flush();
    }
    m_file.close();
}

void CsvLogWriter::doBegin(const Job &job) {
    m_file.close();
    m_fileOpen = false;
    m_folder = job.folder;
    m_fileName = job.fileName;
    m_header = job.bytes;
    m_backlog.clear();
    m_backlogLines = 0;
    m_onDisk = 0;
    m_linesOnDisk.store(0, std::memory_order_release);
    m_failureReported = false;
}

// The file of an earlier connection moves aside instead of being replaced.
void CsvLogWriter::keepEarlier(const QString &path) {
    if (!QFileInfo::exists(path))
        return;
    const QDir folder(m_folder);
    const QString earlier = freeEarlierName(folder, m_fileName);
    if (QFile::rename(path, folder.filePath(earlier)))
        say(kEarlierLogKept.arg(earlier));
    else
        say(kEarlierLogLost.arg(path));
}

bool CsvLogWriter::openFresh(const QString &path) {
    keepEarlier(path);
    if (const QString why = m_file.create(path); !why.isEmpty()) {
        failed(path, why);
        return false;
    }
    m_fileOpen = true;
    m_onDisk = 0;
    m_linesOnDisk.store(0, std::memory_order_release);
    return true;
}

// The header goes first into an empty file. A file that is no longer the one
// we left (deleted or cut from outside) is not ours to repair: it is kept
// aside and a new one starts with the lines not yet written.
void CsvLogWriter::doAppend(const QByteArray &bytes, int lines) {
    m_backlog += bytes;
    m_backlogLines += lines;
    if (!QDir().mkpath(m_folder)) {
        failed(m_folder, kNoFolder);
        return;
    }
    const QString path = QDir(m_folder).filePath(m_fileName);
    if (m_fileOpen && !m_file.unchangedOnDisk()) {
        say(kFileChangedOutside.arg(path));
        m_file.close();
        m_fileOpen = false;
    }
    if (!m_fileOpen && !openFresh(path))
        return;
    const bool header = m_onDisk == 0;
    const QByteArray out = header ? m_header + m_backlog : m_backlog;
    if (const QString why = m_file.append(out); !why.isEmpty()) {
        failed(path, why);
        return;
    }
    m_onDisk += m_backlogLines + (header ? 1 : 0);
    m_linesOnDisk.store(m_onDisk, std::memory_order_release);
    m_backlog.clear();
    m_backlogLines = 0;
    m_failureReported = false;
}

// One line per run of failures: the lines stay and go with the next write.
void CsvLogWriter::failed(const QString &path, const QString &reason) {
    if (m_failureReported)
        return;
    m_failureReported = true;
    say(kWriteFailed.arg(path, reason));
}

void CsvLogWriter::say(const QString &message) {
    {
        std::lock_guard lock(m_mutex);
        m_messages += message;
    }
    if (m_notify)
        m_notify();
}

} // namespace korvel

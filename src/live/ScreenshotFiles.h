#pragma once

#include <QByteArray>
#include <QString>

namespace korvel {

class LogDirectory;

// Screenshots of a run: LogDirectory + "/pic/screenshot_" + n + ".jpg", n from 0.
class ScreenshotFiles {
public:
    struct Result {
        QString path;  // the file written
        QString error; // empty on success
    };

    explicit ScreenshotFiles(LogDirectory &directory) : m_directory(directory) {}

    // Saves the grabbed screen (rows of R, G, B) as the next screenshot at
    // quality 100; the number advances only when the file was written.
    Result save(int width, int height, const QByteArray &rgb888);
    int counter() const { return m_counter; }

    static QString fileName(int counter);

private:
    LogDirectory &m_directory;
    int m_counter = 0;
};

} // namespace korvel

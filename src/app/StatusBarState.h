#pragma once

#include <QString>

#include <array>

namespace korvel {

// What the status bar shows; painted by the window, decided by the status timer.
struct StatusBarState {
    static constexpr std::array<int, 7> kPanelWidths = {50, 50, 70, 350, 182, 160, 40};
    static constexpr int kGreen = 0x008000;
    static constexpr int kYellow = 0xFFFF00;
    static constexpr int kOlive = 0x808000;
    static constexpr int kRed = 0xFF0000;

    struct Area {
        QString text;
        int background = kYellow;
        int textX = 0; // where the text starts, in status-bar pixels
        int fromX = 0; // painted rectangle, y from 2 to 17
        int toX = 0;
        bool operator==(const Area &) const = default;
    };

    Area port{QString(), kYellow, 5, 0, 48};
    Area link{QStringLiteral("OFFLINE"), kYellow, 53, 50, 98};
    Area lambda{QStringLiteral("УДК"), kOlive, 115, 100, 168};
    Area identity{QString(), kGreen, 523, 518, 700};
    std::array<QString, 7> panelText{};
    bool progressVisible = true;
    int progressMaximum = 100;
    int progressPosition = 0;
    // A table write into ECU RAM in progress: blocks written of all; while
    // `writeBlocksTotal` is not 0 the progress bar shows the write with `writeText`.
    int writeBlocksDone = 0;
    int writeBlocksTotal = 0;
    QString writeText;

    bool operator==(const StatusBarState &) const = default;
};

} // namespace korvel

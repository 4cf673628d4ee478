#pragma once

#include <QWidget>

namespace korvel {
class Session;
}

namespace korvel::ui {

// `PanelSett`: the settings grid `ValueListEditor1` and the save button `BitBtn14`.
class SettingsPage : public QWidget {
    Q_OBJECT
public:
    explicit SettingsPage(Session &session, QWidget *parent = nullptr);
};

} // namespace korvel::ui

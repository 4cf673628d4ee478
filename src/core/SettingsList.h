#pragma once

#include "core/TextFile.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>

#include <optional>
#include <vector>

namespace korvel {

class ProgramLog;

// The name/value settings of config.ini in file order: the model behind the
// settings page. Lookup is case-insensitive, Cyrillic included.
class SettingsList : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int PickListRole = Qt::UserRole + 1;
    static constexpr int NameColumn = 0;
    static constexpr int ValueColumn = 1;

    explicit SettingsList(QObject *parent = nullptr);

    // Replaces the list with config.ini's entries and installs the drop-down
    // lists. False (and the list unchanged) when the file cannot be read.
    bool load(const QString &path);
    // Writes the displayed lines in order, in the encoding the file was read
    // in, through a temporary file. Returns an empty string or the reason.
    QString save(const QString &path) const;

    QString value(const QString &name) const;
    bool contains(const QString &name) const { return indexOf(name) >= 0; }
    void setValue(const QString &name, const QString &value); // appends when absent
    // Reads a decimal integer; an empty or malformed value logs a line naming
    // the setting and the value and yields nothing, so the caller stops.
    std::optional<int> integer(const QString &name, ProgramLog &log) const;

    QStringList pickList(const QString &name) const;
    void addPortChoice(const QString &port);
    void clearPortChoices();

    bool isEditable() const { return m_editable; }
    void setEditable(bool on);

    // A new entry with a name not yet in the list; false for a duplicate.
    bool appendEntry(const QString &name, const QString &value);
    int count() const { return static_cast<int>(m_entries.size()); }
    QString nameAt(int row) const { return m_entries.at(static_cast<std::size_t>(row)).name; }
    QStringList lines() const;

    // QAbstractTableModel
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

signals:
    void editableChanged(bool on);

private:
    struct Entry {
        QString name;
        QString value;
        QStringList pickList;
        bool dropDown = false;
    };

    int indexOf(const QString &name) const;
    void installPickLists();
    void resetTo(std::vector<Entry> entries);
    void rebuildIndex();
    static QString key(const QString &name) { return name.toCaseFolded(); }

    std::vector<Entry> m_entries;
    // Case-folded name -> the first row of that name: a file may hold a name
    // twice, and the first one is the one read and changed.
    QHash<QString, int> m_index;
    TextLayout m_layout;
    bool m_editable = true;
};

// Parses a decimal integer the way the settings expect: optional sign, digits only.
std::optional<int> parseDecimalInt(const QString &text);

} // namespace korvel

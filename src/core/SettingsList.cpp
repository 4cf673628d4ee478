#include "core/SettingsList.h"

#include "core/Cp1251.h"
#include "core/ProgramLog.h"
#include "core/SafeFile.h"
#include "core/SettingNames.h"

#include <QRegularExpression>

namespace korvel {

SettingsList::SettingsList(QObject *parent) : QAbstractTableModel(parent) {
    std::vector<Entry> builtIn;
    for (const SettingDefinition &def : settingDefinitions())
        builtIn.push_back({def.name, def.initial, {}, false});
    resetTo(std::move(builtIn));
}

void SettingsList::resetTo(std::vector<Entry> entries) {
    beginResetModel();
    m_entries = std::move(entries);
    rebuildIndex();
    endResetModel();
}

void SettingsList::rebuildIndex() {
    m_index.clear();
    m_index.reserve(static_cast<qsizetype>(m_entries.size()));
    // From the end, so that the first row of a name is the one left.
    for (std::size_t i = m_entries.size(); i-- > 0;)
        m_index.insert(key(m_entries[i].name), static_cast<int>(i));
}

bool SettingsList::load(const QString &path) {
    TextLines text;
    if (!readTextFile(path, text))
        return false;
    std::vector<Entry> entries;
    for (const QString &line : std::as_const(text.lines)) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0)
            entries.push_back({line, {}, {}, false});
        else
            entries.push_back({line.left(eq), line.mid(eq + 1), {}, false});
    }
    m_layout = text.layout;
    resetTo(std::move(entries));
    installPickLists();
    return true;
}

QStringList SettingsList::lines() const {
    QStringList out;
    for (const Entry &e : m_entries)
        out.append(e.name + QLatin1Char('=') + e.value);
    return out;
}

QString SettingsList::save(const QString &path) const {
    TextLayout layout = m_layout;
    // A file read as Windows-1251 that now holds text outside the code page
    // would lose it: such a file is written as UTF-8 with a mark instead.
    if (layout.encoding == TextEncoding::Cp1251 && !cp1251::canEncode(lines().join(QString())))
        layout.encoding = TextEncoding::Utf8Bom;
    return writeFileSafely(path, encodeLines(lines(), layout));
}

int SettingsList::indexOf(const QString &name) const {
    return m_index.value(key(name), -1);
}

QString SettingsList::value(const QString &name) const {
    const int i = indexOf(name);
    return i < 0 ? QString() : m_entries[static_cast<std::size_t>(i)].value;
}

void SettingsList::setValue(const QString &name, const QString &value) {
    const int i = indexOf(name);
    if (i < 0) {
        appendEntry(name, value);
        return;
    }
    m_entries[static_cast<std::size_t>(i)].value = value;
    emit dataChanged(index(i, ValueColumn), index(i, ValueColumn));
}

std::optional<int> parseDecimalInt(const QString &text) {
    // Anchored to the whole text: "$" alone would also match before a final line feed.
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral("[+-]?[0-9]+")));
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    return ok ? std::optional<int>(v) : std::nullopt;
}

std::optional<int> SettingsList::integer(const QString &name, ProgramLog &log) const {
    const QString text = value(name);
    const auto v = parseDecimalInt(text);
    if (!v)
        log.append(QStringLiteral("Ошибка: '%1' не является целым числом (настройка \"%2\")").arg(text, name));
    return v;
}

QStringList SettingsList::pickList(const QString &name) const {
    const int i = indexOf(name);
    return i < 0 ? QStringList() : m_entries[static_cast<std::size_t>(i)].pickList;
}

void SettingsList::installPickLists() {
    for (const QString &name : pickListOrder()) {
        const int i = indexOf(name);
        if (i < 0)
            continue;
        Entry &e = m_entries[static_cast<std::size_t>(i)];
        e.dropDown = true;
        for (const SettingDefinition &def : settingDefinitions())
            if (def.name == name)
                e.pickList += def.pickList;
    }
    emit dataChanged(index(0, 0), index(rowCount() - 1, 1));
}

void SettingsList::addPortChoice(const QString &port) {
    for (const QString &name : {setting::LambdaCom, setting::EcuComPickList}) {
        const int i = indexOf(name);
        if (i < 0)
            continue;
        Entry &e = m_entries[static_cast<std::size_t>(i)];
        e.dropDown = true;
        e.pickList.append(port);
    }
}

void SettingsList::clearPortChoices() {
    for (const QString &name : {setting::LambdaCom, setting::EcuComPickList}) {
        const int i = indexOf(name);
        if (i >= 0)
            m_entries[static_cast<std::size_t>(i)].pickList.clear();
    }
}

void SettingsList::setEditable(bool on) {
    if (m_editable == on)
        return;
    m_editable = on;
    emit editableChanged(on);
}

bool SettingsList::appendEntry(const QString &name, const QString &value) {
    if (indexOf(name) >= 0)
        return false;
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_entries.push_back({name, value, {}, false});
    m_index.insert(key(name), row);
    endInsertRows();
    return true;
}

int SettingsList::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int SettingsList::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant SettingsList::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Entry &e = m_entries[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return index.column() == NameColumn ? e.name : e.value;
    if (role == PickListRole && index.column() == ValueColumn && e.dropDown)
        return e.pickList;
    return {};
}

QVariant SettingsList::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return section == NameColumn ? QStringLiteral("Параметры") : QStringLiteral("Значения");
}

Qt::ItemFlags SettingsList::flags(const QModelIndex &index) const {
    Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (m_editable && index.isValid())
        f |= Qt::ItemIsEditable;
    return f;
}

bool SettingsList::setData(const QModelIndex &index, const QVariant &value, int role) {
    if (!m_editable || !index.isValid() || role != Qt::EditRole)
        return false;
    Entry &e = m_entries[static_cast<std::size_t>(index.row())];
    const QString text = value.toString();
    if (index.column() == NameColumn) {
        // Names stay unique: a rename onto another entry's name is refused.
        const int other = indexOf(text);
        if (other >= 0 && other != index.row())
            return false;
        e.name = text;
        rebuildIndex(); // a duplicate read from the file may take the old name's place
    } else {
        e.value = text;
    }
    emit dataChanged(index, index);
    return true;
}

} // namespace korvel

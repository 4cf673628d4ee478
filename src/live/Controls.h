#pragma once

#include <QString>

// The window controls that the live data drives, by object name, and their colours.
namespace korvel::control {

// Main panel (labels) and its trouble-code and knock indications.
inline const QString RPMlabel = QStringLiteral("RPMlabel");
inline const QString DRLabel = QStringLiteral("DRLabel");
inline const QString labelpress = QStringLiteral("labelpress");
inline const QString Labeldtv = QStringLiteral("Labeldtv");
inline const QString ULabel = QStringLiteral("ULabel");
inline const QString TWLabel = QStringLiteral("TWLabel");
inline const QString AFRlabel = QStringLiteral("AFRlabel");
inline const QString RXXLabel = QStringLiteral("RXXLabel");
inline const QString UOZlabel = QStringLiteral("UOZlabel");
inline const QString INJlabel = QStringLiteral("INJlabel");
inline const QString Mlabel = QStringLiteral("Mlabel");
inline const QString AFRLClabel = QStringLiteral("AFRLClabel");
inline const QString COEFlabel = QStringLiteral("COEFlabel");
inline const QString Labelxx = QStringLiteral("Labelxx");
inline const QString Label35 = QStringLiteral("Label35");
inline const QString Labelerror = QStringLiteral("Labelerror");
inline const QString BitBtn2 = QStringLiteral("BitBtn2");
inline const QString Panel8 = QStringLiteral("Panel8");
inline const QString Image1 = QStringLiteral("Image1");

// The second main panel (edit fields), filled in the fast protocol only.
inline const QString EditRPM = QStringLiteral("EditRPM");
inline const QString EditDr = QStringLiteral("EditDr");
inline const QString EditPress = QStringLiteral("EditPress");
inline const QString EditTempDTV = QStringLiteral("EditTempDTV");
inline const QString EditU = QStringLiteral("EditU");
inline const QString EditTemp = QStringLiteral("EditTemp");
inline const QString EditAFR = QStringLiteral("EditAFR");
inline const QString EditRXX = QStringLiteral("EditRXX");
inline const QString EditUoz = QStringLiteral("EditUoz");
inline const QString EditTimeVpr = QStringLiteral("EditTimeVpr");
inline const QString EditAirMas = QStringLiteral("EditAirMas");
inline const QString EditAirZicl = QStringLiteral("EditAirZicl");
inline const QString EditKoefKor = QStringLiteral("EditKoefKor");
inline const QString EditAFRLC1 = QStringLiteral("EditAFRLC1");
inline const QString LabelXX2 = QStringLiteral("LabelXX2");

// The acceleration panel's speed label, written once per new request.
inline const QString RazgonSpeed = QStringLiteral("RazgonSpeed");

inline const QString PanelMain = QStringLiteral("PanelMain");
inline const QString PanelMain2 = QStringLiteral("PanelMain2");

inline constexpr int kRed = 0xFF0000;
inline constexpr int kGreen = 0x008000;
inline constexpr int kOlive = 0x808000;

} // namespace korvel::control

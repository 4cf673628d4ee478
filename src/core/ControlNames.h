#pragma once

#include <QString>
#include <QStringList>

// The one registry of the window's control names: pages, toolbar buttons and
// every other control the core decides about. The window gives its widgets
// exactly these names; a test checks that each is carried by one widget.
namespace korvel::control {

// Pages of the main area, brought to the front by the toolbar.
inline const QString Eculog = QStringLiteral("Eculog");
inline const QString PanelSett = QStringLiteral("PanelSett");
inline const QString PanelMain = QStringLiteral("PanelMain");
inline const QString PanelMain2 = QStringLiteral("PanelMain2");
inline const QString Paneldia = QStringLiteral("Paneldia");
inline const QString Paneldia2 = QStringLiteral("Paneldia2");
inline const QString PanelGrid = QStringLiteral("PanelGrid");
inline const QString Calibrpanel = QStringLiteral("Calibrpanel");
inline const QString Checkbinpanel = QStringLiteral("Checkbinpanel");
inline const QString PanelChart = QStringLiteral("PanelChart");
inline const QString Panelsettcharts = QStringLiteral("Panelsettcharts");
inline const QString Panelrazgon = QStringLiteral("Panelrazgon");
inline const QString Toys = QStringLiteral("toys");
inline const QString Toysset = QStringLiteral("toysset");

// Toolbar and its buttons.
inline const QString ControlBar1 = QStringLiteral("ControlBar1");
inline const QString TButConnectEcu = QStringLiteral("TButConnectEcu");
inline const QString TButDisconnectEcu = QStringLiteral("TButDisconnectEcu");
inline const QString TButMemo = QStringLiteral("TButMemo");
inline const QString TButSettings = QStringLiteral("TButSettings");
inline const QString TButOpenfirmware = QStringLiteral("TButOpenfirmware");
inline const QString TButLoadfirmware = QStringLiteral("TButLoadfirmware");
inline const QString TButTune = QStringLiteral("TButTune");
inline const QString TButStopTune = QStringLiteral("TButStopTune");
inline const QString TButReTune = QStringLiteral("TButReTune");
inline const QString TButshowgrid = QStringLiteral("TButshowgrid");
inline const QString TButshowSmallDia = QStringLiteral("TButshowSmallDia");
inline const QString TButshowBiglDia = QStringLiteral("TButshowBiglDia");
inline const QString TButshowcalibr = QStringLiteral("TButshowcalibr");
inline const QString TButCalibrovka = QStringLiteral("TButCalibrovka");
inline const QString TButRazgon = QStringLiteral("TButRazgon");
inline const QString Hexeditor = QStringLiteral("Hexeditor");
inline const QString ToolButton16 = QStringLiteral("ToolButton16");
inline const QString TButExit = QStringLiteral("TButExit");

// Other controls the core decides about.
inline const QString BitBtn1 = QStringLiteral("BitBtn1");   // screenshot
inline const QString BitBtn5 = QStringLiteral("BitBtn5");   // open firmware (second place)
inline const QString BitBtn14 = QStringLiteral("BitBtn14"); // save settings
inline const QString BitBtn16 = QStringLiteral("BitBtn16"); // clear the program log
inline const QString Label42 = QStringLiteral("Label42");
inline const QString Label43 = QStringLiteral("Label43");
inline const QString Label44 = QStringLiteral("Label44");
inline const QString Label35 = QStringLiteral("Label35");
inline const QString labelpress = QStringLiteral("labelpress");
inline const QString Labeldtv = QStringLiteral("Labeldtv");
inline const QString Label59 = QStringLiteral("Label59");
inline const QString Label60 = QStringLiteral("Label60");

inline const QString BitBtn3 = QStringLiteral("BitBtn3"); // change the calibration map
inline const QString BitBtn4 = QStringLiteral("BitBtn4"); // save firmware as
inline const QString BitBtn6 = QStringLiteral("BitBtn6"); // re-tune the selected table
inline const QString BitBtn9 = QStringLiteral("BitBtn9");
inline const QString BitBtn10 = QStringLiteral("BitBtn10"); // open a comparison firmware
inline const QString BitBtn17 = QStringLiteral("BitBtn17");
inline const QString BitBtn19 = QStringLiteral("BitBtn19"); // export the open table (.kv)
inline const QString BitBtn20 = QStringLiteral("BitBtn20"); // import into the open table (.kv)
inline const QString BitBtn26 = QStringLiteral("BitBtn26"); // undo one step
inline const QString Panel5 = QStringLiteral("Panel5");     // ignition rework panel
inline const QString BitBtn15 = QStringLiteral("BitBtn15"); // compute the part-load ignition rework
inline const QString Button7 = QStringLiteral("Button7");   // write the reworked ignition table
inline const QString ScrollBox2 = QStringLiteral("ScrollBox2");
inline const QString StringGrid2 = QStringLiteral("StringGrid2");
inline const QString CheckBoxcolodgrid = QStringLiteral("CheckBoxcolodgrid");
inline const QString Maingridchange_CBOX = QStringLiteral("Maingridchange_CBOX"); // the grid choice
inline const QString LabelGridMax = QStringLiteral("LabelGridMax");               // the grid's scale: maximum
inline const QString LabelGridAvg = QStringLiteral("LabelGridAvg");               // average
inline const QString LabelGridMin = QStringLiteral("LabelGridMin");               // minimum
inline const QString LabelGridCorner = QStringLiteral("LabelGridCorner");         // "ОК" + evaluations
inline const QString PanelTest = QStringLiteral("PanelTest");                     // the working point's workings
inline const QString ButtonPanelTest = QStringLiteral("ButtonPanelTest");         // shows PanelTest
inline const QString firmwarenameEdit = QStringLiteral("firmwarenameEdit");       // the firmware type's name
inline const QString ValueListEditor1 = QStringLiteral("ValueListEditor1");       // the settings grid
inline const QString StatusProgressBar = QStringLiteral("StatusProgressBar");
inline const QString TreeView = QStringLiteral("TreeView"); // the calibration catalogue

// Main panel (labels) and its trouble-code and knock indications.
inline const QString RPMlabel = QStringLiteral("RPMlabel");
inline const QString DRLabel = QStringLiteral("DRLabel");
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

inline constexpr int kRed = 0xFF0000;
inline constexpr int kGreen = 0x008000;
inline constexpr int kOlive = 0x808000;

// Labels and check boxes named by the firmware and tuning rules.
inline const QString Labelpressname = QStringLiteral("Labelpressname");
inline const QString Labeldtvname = QStringLiteral("Labeldtvname");
inline const QString vs = QStringLiteral("vs"); // the comparison firmware is loaded
inline const QString LabelSpeed = QStringLiteral("LabelSpeed");
inline const QString ComboBoxRazgon = QStringLiteral("ComboBoxRazgon"); // one entry per finished run

// Actuator controls on Paneldia2, built once diagnostics first run in the fast
// protocol; each row's name label and indicator add the row number, 1 to 8.
inline const QString CheckBoxActuators = QStringLiteral("CheckBoxActuators");
inline const QString ComboBoxActuators = QStringLiteral("ComboBoxActuators");
inline const QString TrackBar6 = QStringLiteral("TrackBar6");
inline const QString LabelActuatorValue = QStringLiteral("LabelActuatorValue");
inline const QString LabelActuatorRow = QStringLiteral("LabelActuatorRow");
inline const QString ImageActuatorRow = QStringLiteral("ImageActuatorRow");
// The hex view's grid and its search.
inline const QString StringGridhex = QStringLiteral("StringGridhex");
inline const QString Edithexfind = QStringLiteral("Edithexfind");
inline const QString Findhexbut = QStringLiteral("Findhexbut");
inline const QString Buttonhexfindnext = QStringLiteral("Buttonhexfindnext");
// The calibration editor's table view, editing and entry panels.
inline const QString Label1dname = QStringLiteral("Label1dname");
inline const QString gr2d = QStringLiteral("gr2d");
inline const QString StringGrid4 = QStringLiteral("StringGrid4");
inline const QString Chart1 = QStringLiteral("Chart1");
inline const QString DBChart1 = QStringLiteral("DBChart1");
inline const QString Labeltrack = QStringLiteral("Labeltrack");
inline const QString Check3D = QStringLiteral("Check3D");
inline const QString TrackBar1 = QStringLiteral("TrackBar1");
inline const QString BitBtn7 = QStringLiteral("BitBtn7"); // display mode
inline const QString Panel1 = QStringLiteral("Panel1");   // chart marks
inline const QString Checkmarks = QStringLiteral("Checkmarks");
inline const QString TrackBar3 = QStringLiteral("TrackBar3");
inline const QString TrackBar4 = QStringLiteral("TrackBar4");
inline const QString TrackBar5 = QStringLiteral("TrackBar5");
inline const QString Label63 = QStringLiteral("Label63");
inline const QString Label64 = QStringLiteral("Label64");
inline const QString Label66 = QStringLiteral("Label66");
inline const QString Label67 = QStringLiteral("Label67");
inline const QString BitBtn18 = QStringLiteral("BitBtn18"); // marks font colour
inline const QString LabelChangepoints = QStringLiteral("LabelChangepoints");
inline const QString EditChangepoints = QStringLiteral("EditChangepoints");
inline const QString BitBtn21 = QStringLiteral("BitBtn21");   // smooth the range
inline const QString BitBtn22 = QStringLiteral("BitBtn22");   // lower by the step
inline const QString BitBtn23 = QStringLiteral("BitBtn23");   // raise by the step
inline const QString BitBtn24 = QStringLiteral("BitBtn24");   // set to the step
inline const QString Labeldiff = QStringLiteral("Labeldiff"); // cells changed against the comparison
inline const QString unknow = QStringLiteral("unknow");
inline const QString gr1d = QStringLiteral("gr1d");
inline const QString Edit78 = QStringLiteral("Edit78");
inline const QString Label1d = QStringLiteral("Label1d");
inline const QString BitBtn8 = QStringLiteral("BitBtn8"); // previous value back
inline const QString Label5 = QStringLiteral("Label5");
inline const QString Label7 = QStringLiteral("Label7");
inline const QString flags = QStringLiteral("flags");
inline const QString ident = QStringLiteral("ident");

} // namespace korvel::control

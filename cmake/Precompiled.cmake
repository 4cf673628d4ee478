# Precompiled headers: the Qt and standard headers most of our files include
# are parsed once per kind of target instead of once per file. GCC takes a
# precompiled header only where the flags it was made with match (position
# independence, Qt modules), so each kind has a small donor target of its own
# and every target of that kind reuses the donor's header.
option(KORVEL_PCH "Precompile the common Qt and standard headers" ON)

set(KORVEL_PCH_CORE_HEADERS
  <QByteArray> <QByteArrayView> <QDir> <QFile> <QFileInfo> <QList> <QObject> <QString>
  <QStringList> <QTimer>
  <algorithm> <array> <cmath> <cstdint> <functional> <memory> <optional> <utility> <vector>)
set(KORVEL_PCH_WIDGET_HEADERS
  <QCheckBox> <QComboBox> <QHeaderView> <QLabel> <QLineEdit> <QPainter> <QPushButton>
  <QTableView> <QVBoxLayout> <QWidget>)

# A donor: one empty source compiled with the kind's flags and links. Qt
# makes every target of ours position independent (-fPIC), libraries and
# programs alike, so a static library serves as the donor for both.
function(korvel_pch_donor name)
  cmake_parse_arguments(K "" "" "HEADERS;LINKS" ${ARGN})
  add_library(${name} STATIC EXCLUDE_FROM_ALL ${PROJECT_SOURCE_DIR}/cmake/pch/Donor.cpp)
  target_link_libraries(${name} PRIVATE ${K_LINKS})
  target_compile_options(${name} PRIVATE -Wall -Wextra -Wpedantic -Werror)
  target_precompile_headers(${name} PRIVATE ${K_HEADERS})
endfunction()

if(KORVEL_PCH)
  korvel_pch_donor(korvel_pch_library HEADERS ${KORVEL_PCH_CORE_HEADERS} LINKS Qt6::Core)
  korvel_pch_donor(korvel_pch_widgets
    HEADERS ${KORVEL_PCH_CORE_HEADERS} ${KORVEL_PCH_WIDGET_HEADERS} LINKS Qt6::Widgets)
endif()

# Lets `target` reuse the precompiled header of its kind: LIBRARY, WIDGETS,
# TEST or GUI_TEST (the test donors are made where GoogleTest is found).
# Targets of one or two files gain nothing and are left out.
function(korvel_precompiled target kind)
  get_target_property(sources ${target} SOURCES)
  list(LENGTH sources count)
  if(NOT KORVEL_PCH OR count LESS 3)
    return()
  endif()
  set(donor_LIBRARY korvel_pch_library)
  set(donor_WIDGETS korvel_pch_widgets)
  set(donor_TEST korvel_pch_test)
  set(donor_GUI_TEST korvel_pch_guitest)
  target_precompile_headers(${target} REUSE_FROM ${donor_${kind}})
endfunction()

#!/usr/bin/env bash
# Layers point down only: the core folders never include the session or the
# window, src/core includes nothing else of ours, and only src/ui (and the
# launcher, a window of its own) knows widgets.
set -uo pipefail
cd "$1/src"
status=0
report() { echo "$1"; status=1; }

for dir in core ecu lambda live firmware tuning editor; do
  [ -d "$dir" ] || continue
  hits=$(grep -rnE '#include "(app|ui|cli|sim|launcher)/' "$dir" || true)
  [ -n "$hits" ] && report "$dir reaches up: $hits"
done
hits=$(grep -rnE '#include "(ecu|lambda|live|firmware|tuning|editor|app|ui|cli|sim)/' core || true)
[ -n "$hits" ] && report "core includes more than itself: $hits"
hits=$(grep -rlE '#include <(QtWidgets|QWidget|QMainWindow|QLabel|QTableView|QTableWidget|QPushButton|QMessageBox|QFileDialog|QtCharts|QtDataVisualization|QApplication)' \
       --include=*.h --include=*.cpp . | grep -vE '^\./(ui|launcher)/' || true)
[ -n "$hits" ] && report "widgets outside ui: $hits"
# The simulated ECU judges the tuner, so it never borrows the tuner's code.
hits=$(grep -rn 'tuning/' sim || true)
[ -n "$hits" ] && report "sim uses the tuner's code: $hits"
exit $status
